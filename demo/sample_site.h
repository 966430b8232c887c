#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mojing::demo {

struct RecordedRequest {
    std::string method;
    std::string version;  // "HTTP/1.0"
    std::string target;   // as sent: "/s?q=%D0%A1", or through the proxy "http://host/path"
    std::vector<std::pair<std::string, std::string>> headers;  // names as sent
    bool viaProxy = false;

    // The value of the first header of that name, in any letter case; empty when absent.
    std::string Header(std::string_view name) const;
};

// An HTTP server on 127.0.0.1 (the demo's sample site and the tests' site) with a port of its own,
// running on its own thread until it is destroyed. It plays the search engine (/s), the novels'
// download server
// (/packdown/fulltxt/<id>.txt) and an HTTP proxy that reaches a host nobody else knows.
class SampleSite {
  public:
    // Absolute-form requests for this host (or for the site itself) are served from the site's
    // own tables; any other host gets 502.
    static constexpr std::string_view kProxyOnlyHost = "novels.invalid";

    SampleSite();
    ~SampleSite();
    SampleSite(const SampleSite&) = delete;
    SampleSite& operator=(const SampleSite&) = delete;

    int Port() const;
    std::string Host() const;  // "127.0.0.1:port"

    // The page /s answers when its q value arrives exactly as query (raw, percent escapes and
    // all); utf8 is sent as it stands.
    void SetResultPage(std::string query, std::string utf8, int status = 200);
    // The page for every other query; an empty 200 page unless set.
    void SetDefaultResultPage(std::string utf8, int status = 200);

    // /packdown/fulltxt/<id>.txt; an id may contain '/'. Unknown ids get an empty 404.
    void SetBook(std::string id, std::string bytes);
    // The same, but the bytes trickle out evenly over duration, the first at once.
    void SetSlowBook(std::string id, std::string bytes, std::chrono::seconds duration);

    // Answers the path (without query) with 302 and this Location. A path that points at itself
    // is a redirect loop.
    void SetRedirect(std::string path, std::string location);

    // Every request so far, in the order they arrived.
    std::vector<RecordedRequest> Requests() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace mojing::demo
