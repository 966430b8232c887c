#include "text/code_page_conversion.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/code_page.h"

namespace mojing {
namespace {

int Capacity(std::size_t units) { return static_cast<int>(std::min<std::size_t>(units, INT_MAX)); }

// Where the first zero unit is, or the size when there is none; four units at a time.
std::size_t FirstZeroUnit(std::u16string_view data) {
    constexpr std::uint64_t kOnes = 0x0001000100010001;
    constexpr std::uint64_t kHighBits = 0x8000800080008000;
    std::size_t i = 0;
    for (; data.size() - i >= 4; i += 4) {
        std::uint64_t word;
        std::memcpy(&word, data.data() + i, sizeof word);
        if (((word - kOnes) & ~word & kHighBits) != 0) break;
    }
    while (i < data.size() && data[i] != u'\0') ++i;
    return i;
}

// The calls read a text up to its first zero with a length of -1. Passing the length of what
// comes before the zero instead converts the same characters, as every page ends a character
// at a zero; it spares copying a text that has no zero of its own, and lets the calls read
// ahead of the character they are at.
std::u16string MultiByteToUtf16Terminated(std::string_view text, unsigned page) {
    const std::string terminated(text);
    const int n = platform::MultiByteToWideChar(platform::kAnsiCodePage, 0, terminated.c_str(), -1,
                                                nullptr, 0);
    std::u16string data(static_cast<std::size_t>(n), u'\0');
    if (n > 1) {
        platform::MultiByteToWideChar(page, 0, terminated.c_str(), -1, data.data(), n - 1);
    }
    return data;
}

std::string Utf16ToMultiByteTerminated(std::u16string_view data, unsigned page) {
    std::u16string terminated;
    const char16_t* units = data.data();
    if (data.back() != u'\0') {
        terminated.assign(data);
        units = terminated.c_str();
    }
    const int m = platform::WideCharToMultiByte(platform::kAnsiCodePage, 0, units, -1, nullptr, 0,
                                                nullptr, nullptr);
    if (m == 0) return {};
    std::string buffer(2 * static_cast<std::size_t>(m), ' ');
    platform::WideCharToMultiByte(page, 0, units, -1, buffer.data(), Capacity(buffer.size()),
                                  nullptr, nullptr);
    buffer.resize(std::min(buffer.find('\0'), buffer.size()));
    return buffer;
}

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
    // The text ends at its first zero byte.
    const std::size_t length = std::min(text.find('\0'), text.size());
    // Sized in the ANSI page whatever page is read: input that is not valid in that page can
    // need more units than this.
    const int measured =
        length > 0 && length < INT_MAX
            ? platform::MultiByteToWideChar(platform::kAnsiCodePage, 0, text.data(),
                                            static_cast<int>(length), nullptr, 0)
            : 0;
    if (measured <= 0 || measured == INT_MAX) return MultiByteToUtf16Terminated(text, page);
    // One more unit for the zero that ends the data. It is kept out of reach, so that data which
    // did not fit still ends with a zero unit and holds no half of a surrogate pair. Data that
    // fits is the same either way.
    const int n = measured + 1;
    std::u16string data(static_cast<std::size_t>(n), u'\0');
    platform::MultiByteToWideChar(page, 0, text.data(), static_cast<int>(length), data.data(),
                                  n - 1);
    return data;
}

std::string Utf16ToMultiByte(std::u16string_view data, std::optional<unsigned> codePage) {
    const unsigned page = codePage.value_or(platform::kAnsiCodePage);
    if (data.empty()) return {};
    // The data ends at its first zero unit, or where it ends when it holds none.
    const std::size_t length = FirstZeroUnit(data);
    const int measured =
        length > 0 && length < INT_MAX
            ? platform::WideCharToMultiByte(platform::kAnsiCodePage, 0, data.data(),
                                            static_cast<int>(length), nullptr, 0, nullptr, nullptr)
            : 0;
    if (measured <= 0 || measured == INT_MAX) return Utf16ToMultiByteTerminated(data, page);
    // Twice the ANSI measurement, the zero byte counted: UTF-8 takes three bytes where GBK takes
    // two. What does not fit even so stops at the last whole character, and the rest of the
    // buffer stays spaces. The units before the zero make no zero byte, so the text is what was
    // written.
    std::string buffer(2 * (static_cast<std::size_t>(measured) + 1), ' ');
    const int written =
        platform::WideCharToMultiByte(page, 0, data.data(), static_cast<int>(length), buffer.data(),
                                      Capacity(buffer.size()), nullptr, nullptr);
    if (written > 0) buffer.resize(static_cast<std::size_t>(written));
    return buffer;
}

}  // namespace mojing
