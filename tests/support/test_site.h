#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "demo/sample_site.h"

namespace mojing::test {

using RecordedRequest = demo::RecordedRequest;

// The program's sample site (demo/), which the tests fill with pages and books of their own.
class TestSite : public demo::SampleSite {
  public:
    using demo::SampleSite::SampleSite;
};

// Takes connections (the kernel completes them) and never answers: a stalled server.
class SilentListener {
  public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int Port() const { return port_; }
    std::string Host() const;

  private:
    int fd_ = -1;
    int port_ = 0;
};

// Answers every request with a 200 head that announces announcedLength body bytes, sends
// partialBody, and drops the connection.
class DroppingServer {
  public:
    DroppingServer(std::string partialBody, std::size_t announcedLength);
    ~DroppingServer();
    DroppingServer(const DroppingServer&) = delete;
    DroppingServer& operator=(const DroppingServer&) = delete;

    int Port() const;
    std::string Host() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace mojing::test
