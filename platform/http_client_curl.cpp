#include "platform/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

namespace mojing::platform {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr long kMaxRedirects = 10;

// libcurl's global state is set up once per process, on the first fetch, and kept until the
// process ends: worker threads may still be fetching when the program quits.
bool ClientReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

struct Body {
    std::string bytes;
    std::size_t maxBytes;
};

// Keeps at most maxBytes; taking fewer bytes than offered makes libcurl end the transfer.
std::size_t KeepBytes(char* data, std::size_t size, std::size_t count, void* user) {
    auto& body = *static_cast<Body*>(user);
    const std::size_t offered = size * count;
    const std::size_t taken = std::min(offered, body.maxBytes - body.bytes.size());
    body.bytes.append(data, taken);
    return taken;
}

HeaderList RequestHeaders() {
    curl_slist* list = nullptr;
    // A header with nothing after the colon removes one that libcurl would add on its own.
    for (const char* line : {"Accept: */*", "Pragma: no-cache", "Proxy-Connection:"}) {
        curl_slist* longer = curl_slist_append(list, line);
        if (longer == nullptr) {
            curl_slist_free_all(list);
            return nullptr;
        }
        list = longer;
    }
    return HeaderList(list);
}

}  // namespace

std::string HttpGet(std::string_view url, const HttpLimits& limits) {
    if (!ClientReady()) return {};
    EasyHandle handle(curl_easy_init());
    HeaderList headers = RequestHeaders();
    if (handle == nullptr || headers == nullptr) return {};

    const std::string address(url);
    Body body{{}, limits.maxBodyBytes};
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallTimeout.count()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, KeepBytes);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    // Whatever the outcome, the bytes that arrived are the result.
    (void)curl_easy_perform(h);
    return std::move(body.bytes);
}

}  // namespace mojing::platform
