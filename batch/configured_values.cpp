#include "batch/configured_values.h"

#include <cstdlib>

namespace mojing {
namespace {

std::string FromEnvironment(const char* variable, const char* builtIn) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : builtIn;
}

}  // namespace

std::string SearchHost() {
    return FromEnvironment("MOJING_SEARCH_HOST", MOJING_DEFAULT_SEARCH_HOST);
}
std::string SearchSourceTag() {
    return FromEnvironment("MOJING_SEARCH_SOURCE_TAG", MOJING_DEFAULT_SEARCH_SOURCE_TAG);
}
std::string NovelSiteHost() {
    return FromEnvironment("MOJING_NOVEL_SITE_HOST", MOJING_DEFAULT_NOVEL_SITE_HOST);
}
std::string DownloadHost() {
    return FromEnvironment("MOJING_DOWNLOAD_HOST", MOJING_DEFAULT_DOWNLOAD_HOST);
}

}  // namespace mojing
