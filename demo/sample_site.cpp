#include "demo/sample_site.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace mojing::demo {
namespace {

constexpr const char* kLoopback = "127.0.0.1";

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool StartsWithLetters(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameLetters(text.substr(0, prefix.size()), prefix);
}

// cpp-httplib files the peer's and its own address among the headers; the client sent none of
// them.
bool IsAddedByServer(std::string_view name) {
    for (std::string_view added : {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"}) {
        if (SameLetters(name, added)) return true;
    }
    return false;
}

// The raw value of key in a query string: "q=%D0%A1&ie=gbk" gives "%D0%A1" for "q".
std::string RawQueryValue(std::string_view query, std::string_view key) {
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) == key) {
            return equals == std::string_view::npos ? "" : std::string(pair.substr(equals + 1));
        }
        query.remove_prefix(std::min(end + 1, query.size()));
    }
    return {};
}

std::string LoopbackHost(int port) { return std::string(kLoopback) + ":" + std::to_string(port); }

}  // namespace

std::string RecordedRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (SameLetters(key, name)) return value;
    }
    return {};
}

struct SampleSite::State {
    struct Page {
        std::string body;
        int status = 200;
    };
    struct Book {
        std::string bytes;
        std::chrono::seconds duration{0};
    };

    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable stopped;
    bool stopping = false;
    std::map<std::string, Page> resultPages;
    Page defaultPage;
    std::map<std::string, Book> books;
    std::map<std::string, std::string> redirects;
    std::vector<RecordedRequest> requests;

    void Record(const httplib::Request& request, bool viaProxy) {
        RecordedRequest record{request.method, request.version, request.target, {}, viaProxy};
        for (const auto& [name, value] : request.headers) {
            if (!IsAddedByServer(name)) record.headers.emplace_back(name, value);
        }
        std::lock_guard lock(mutex);
        requests.push_back(std::move(record));
    }

    // Serves an origin-form target ("/path?query") from the tables.
    void Serve(std::string_view target, httplib::Response& response) {
        const std::size_t question = target.find('?');
        const std::string_view path = target.substr(0, question);
        const std::string_view query =
            question == std::string_view::npos ? "" : target.substr(question + 1);
        constexpr std::string_view kBooks = "/packdown/fulltxt/";
        constexpr std::string_view kText = ".txt";

        std::unique_lock lock(mutex);
        if (auto redirect = redirects.find(std::string(path)); redirect != redirects.end()) {
            response.status = 302;
            response.set_header("Location", redirect->second);
        } else if (path == "/s") {
            auto page = resultPages.find(RawQueryValue(query, "q"));
            const Page& chosen = page == resultPages.end() ? defaultPage : page->second;
            response.status = chosen.status;
            response.set_content(chosen.body, "text/html; charset=utf-8");
        } else if (path.starts_with(kBooks) && path.ends_with(kText) &&
                   path.size() > kBooks.size() + kText.size()) {
            const std::string id(
                path.substr(kBooks.size(), path.size() - kBooks.size() - kText.size()));
            auto book = books.find(id);
            if (book == books.end()) {
                response.status = 404;
            } else if (book->second.duration.count() == 0) {
                response.set_content(book->second.bytes, "text/plain");
            } else {
                ServeSlowly(book->second, response);
            }
        } else {
            response.status = 404;
        }
    }

    void ServeSlowly(const Book& book, httplib::Response& response) {
        auto bytes = std::make_shared<const std::string>(book.bytes);
        const std::size_t steps =
            std::clamp<std::size_t>(static_cast<std::size_t>(book.duration.count()) * 10, 1,
                                    std::max<std::size_t>(bytes->size(), 1));
        const std::size_t chunk = (bytes->size() + steps - 1) / steps;
        const auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(book.duration) /
                           static_cast<long>(steps);
        response.set_content_provider(
            bytes->size(), "text/plain",
            [this, bytes, chunk, pause](std::size_t offset, std::size_t length,
                                        httplib::DataSink& sink) {
                const std::size_t count = std::min(chunk, length);
                if (!sink.write(bytes->data() + offset, count)) return false;
                if (count == length) return true;
                std::unique_lock lock(mutex);
                return !stopped.wait_for(lock, pause, [this] { return stopping; });
            });
    }

    httplib::Server::HandlerResponse Handle(const httplib::Request& request,
                                            httplib::Response& response) {
        constexpr std::string_view kScheme = "http://";
        const std::string_view target = request.target;
        if (!StartsWithLetters(target, kScheme)) {
            Record(request, false);
            Serve(target, response);
            return httplib::Server::HandlerResponse::Handled;
        }
        Record(request, true);
        const std::string_view rest = target.substr(kScheme.size());
        const std::size_t slash = std::min(rest.find('/'), rest.size());
        const std::string_view authority = rest.substr(0, slash);
        const std::string_view originForm = slash < rest.size() ? rest.substr(slash) : "/";
        if (SameLetters(authority, kProxyOnlyHost) ||
            SameLetters(authority, std::string(kProxyOnlyHost) + ":80") ||
            authority == LoopbackHost(port)) {
            Serve(originForm, response);
        } else {
            response.status = 502;
        }
        return httplib::Server::HandlerResponse::Handled;
    }
};

SampleSite::SampleSite() : state_(std::make_unique<State>()) {
    State& state = *state_;
    // One request per connection, so that stopping never waits on an idle keep-alive.
    state.server.set_keep_alive_max_count(1);
    state.server.set_pre_routing_handler(
        [&state](const httplib::Request& request, httplib::Response& response) {
            return state.Handle(request, response);
        });
    state.port = state.server.bind_to_any_port(kLoopback);
    if (state.port <= 0) throw std::runtime_error("sample site cannot bind 127.0.0.1");
    std::atomic<bool> ended = false;
    state.thread = std::thread([&state, &ended] {
        state.server.listen_after_bind();
        ended = true;
    });
    // stop() does nothing until the server runs, so a quick destruction must wait for that.
    while (!state.server.is_running() && !ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (ended) {
        state.thread.join();
        throw std::runtime_error("sample site did not start");
    }
}

SampleSite::~SampleSite() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->stopped.notify_all();
    state_->server.stop();
    state_->thread.join();
}

int SampleSite::Port() const { return state_->port; }

std::string SampleSite::Host() const { return LoopbackHost(state_->port); }

void SampleSite::SetResultPage(std::string query, std::string utf8, int status) {
    std::lock_guard lock(state_->mutex);
    state_->resultPages[std::move(query)] = {std::move(utf8), status};
}

void SampleSite::SetDefaultResultPage(std::string utf8, int status) {
    std::lock_guard lock(state_->mutex);
    state_->defaultPage = {std::move(utf8), status};
}

void SampleSite::SetBook(std::string id, std::string bytes) {
    std::lock_guard lock(state_->mutex);
    state_->books[std::move(id)] = {std::move(bytes), std::chrono::seconds(0)};
}

void SampleSite::SetSlowBook(std::string id, std::string bytes, std::chrono::seconds duration) {
    std::lock_guard lock(state_->mutex);
    state_->books[std::move(id)] = {std::move(bytes), duration};
}

void SampleSite::SetRedirect(std::string path, std::string location) {
    std::lock_guard lock(state_->mutex);
    state_->redirects[std::move(path)] = std::move(location);
}

std::vector<RecordedRequest> SampleSite::Requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

}  // namespace mojing::demo
