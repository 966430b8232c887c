#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace mojing::platform {

// Bounds that keep a stalled or endless server from hanging or exhausting the program.
struct HttpLimits {
    std::chrono::seconds connectTimeout{30};
    std::chrono::seconds stallTimeout{60};  // no byte for this long ends the transfer
    std::size_t maxBodyBytes = 16u << 20;
};

// One GET of url over HTTP/1.0, as the program's one client per process sends it: its user
// agent, "Accept: */*", no cache, redirects followed, the path sent as it stands, the system
// proxy from the environment. The status code is not looked at. The body's bytes; on any
// failure the bytes received until then.
std::string HttpGet(std::string_view url, const HttpLimits& limits = {});

}  // namespace mojing::platform
