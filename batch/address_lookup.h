#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "batch/batch_mode.h"

namespace mojing {

class RegexObject;
class WindowInterface;

// "没有搜到正确下载地址"
const std::string& NoAddressText();

// "http://" + SearchHost + "/s?q=" + encoded title + ... for a GBK title.
std::string SearchAddress(std::string_view title);

// The address a decoded result page gives, or NoAddressText. readTitle is asked for the title
// only when the fallback key is needed.
std::string AddressFromPage(BatchMode mode, std::string_view page,
                            const std::function<std::string()>& readTitle, RegexObject& regex);

// Reads the title from 编辑框1, fetches the result page, and gives the address or NoAddressText.
std::string LookUpDownloadAddress(BatchMode mode, RegexObject& regex, WindowInterface& window);

}  // namespace mojing
