#pragma once

#include <optional>
#include <string>
#include <string_view>

// Text inside the program is GBK; result pages arrive in UTF-8. Both conversions go by way of
// UTF-16, with buffers sized from a measurement in the ANSI page.
namespace mojing {

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// UTF-16 data of exactly n units, n being the ANSI measurement including the terminator; the
// converted units first, zero units after them. Omitting codePage reads UTF-8; an explicit 0
// reads the ANSI page.
std::u16string MultiByteToUtf16(std::string_view text, std::optional<unsigned> codePage = {});
// Text up to the first zero unit, in codePage; omitted means the ANSI page.
std::string Utf16ToMultiByte(std::u16string_view data, std::optional<unsigned> codePage = {});

}  // namespace mojing
