#include "text/code_page_conversion.h"

#include <algorithm>
#include <climits>
#include <cstddef>

#include "platform/code_page.h"

namespace mojing {
namespace {

int Capacity(std::size_t units) { return static_cast<int>(std::min<std::size_t>(units, INT_MAX)); }

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    return Utf16ToMultiByte(MultiByteToUtf16(gbk, platform::kGbkCodePage), platform::kUtf8CodePage);
}

std::string Utf8ToGbk(std::string_view utf8) {
    return Utf16ToMultiByte(MultiByteToUtf16(utf8), platform::kGbkCodePage);
}

std::u16string MultiByteToUtf16(std::string_view text, std::optional<unsigned> codePage) {
    const unsigned page = codePage.value_or(platform::kUtf8CodePage);
    if (text.data() == nullptr) return {};  // an absent text measures 0
    // The text ends at its first zero byte, as the calls read it with a length of -1.
    const std::string terminated(text);
    // Sized in the ANSI page whatever page is read: input that is not valid in that page can
    // need more units than this.
    const int n = platform::MultiByteToWideChar(platform::kAnsiCodePage, 0, terminated.c_str(), -1,
                                                nullptr, 0);
    std::u16string data(static_cast<std::size_t>(n), u'\0');
    if (n > 1) {
        // The last unit is kept out of reach, so that data which did not fit still ends with a
        // zero unit and holds no half of a surrogate pair. Data that fits is the same either way.
        platform::MultiByteToWideChar(page, 0, terminated.c_str(), -1, data.data(), n - 1);
    }
    return data;
}

std::string Utf16ToMultiByte(std::u16string_view data, std::optional<unsigned> codePage) {
    const unsigned page = codePage.value_or(platform::kAnsiCodePage);
    if (data.empty()) return {};
    // The calls read up to the first zero unit; data without one is read as if it ended there.
    std::u16string terminated;
    const char16_t* units = data.data();
    if (data.find(u'\0') == std::u16string_view::npos) {
        terminated.assign(data);
        units = terminated.c_str();
    }
    const int m = platform::WideCharToMultiByte(platform::kAnsiCodePage, 0, units, -1, nullptr, 0,
                                                nullptr, nullptr);
    if (m == 0) return {};
    // Twice the ANSI measurement: UTF-8 takes three bytes where GBK takes two. What does not fit
    // even so stops at the last whole character, and the rest of the buffer stays spaces.
    std::string buffer(2 * static_cast<std::size_t>(m), ' ');
    platform::WideCharToMultiByte(page, 0, units, -1, buffer.data(), Capacity(buffer.size()),
                                  nullptr, nullptr);
    buffer.resize(std::min(buffer.find('\0'), buffer.size()));
    return buffer;
}

}  // namespace mojing
