#include "tests/support/test_site.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

namespace mojing::test {
namespace {

// A listening TCP socket on 127.0.0.1 with a port the kernel picks.
int ListenOnLoopback(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

std::string LoopbackHost(int port) { return "127.0.0.1:" + std::to_string(port); }

}  // namespace

SilentListener::SilentListener() { fd_ = ListenOnLoopback(port_); }

// Never accepting is enough: the kernel completes the handshake into the backlog, so the client
// is connected and waits for an answer that does not come.
SilentListener::~SilentListener() { close(fd_); }

std::string SilentListener::Host() const { return LoopbackHost(port_); }

struct DroppingServer::State {
    int fd = -1;
    int port = 0;
    std::string answer;
    std::thread thread;

    void Run() {
        for (;;) {
            const int connection = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                return;  // the listener was shut down
            }
            ReadHead(connection);
            (void)!write(connection, answer.data(), answer.size());
            close(connection);
        }
    }

    static void ReadHead(int connection) {
        std::string head;
        char buffer[1024];
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd ready{connection, POLLIN, 0};
            if (poll(&ready, 1, 5000) <= 0) return;
            const ssize_t count = read(connection, buffer, sizeof buffer);
            if (count <= 0) return;
            head.append(buffer, static_cast<std::size_t>(count));
        }
    }
};

DroppingServer::DroppingServer(std::string partialBody, std::size_t announcedLength)
    : state_(std::make_unique<State>()) {
    state_->fd = ListenOnLoopback(state_->port);
    state_->answer = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                     std::to_string(announcedLength) + "\r\n\r\n" + partialBody;
    state_->thread = std::thread([state = state_.get()] { state->Run(); });
}

DroppingServer::~DroppingServer() {
    // Shutting a listening socket down wakes the accept with an error.
    shutdown(state_->fd, SHUT_RDWR);
    state_->thread.join();
    close(state_->fd);
}

int DroppingServer::Port() const { return state_->port; }

std::string DroppingServer::Host() const { return LoopbackHost(state_->port); }

}  // namespace mojing::test
