#pragma once

#include <string>

// Built-in defaults, each replaced at run time by its environment variable (MOJING_SEARCH_HOST,
// MOJING_SEARCH_SOURCE_TAG, MOJING_NOVEL_SITE_HOST, MOJING_DOWNLOAD_HOST). A host may carry a port.
namespace mojing {

std::string SearchHost();
std::string SearchSourceTag();
std::string NovelSiteHost();
std::string DownloadHost();

}  // namespace mojing
