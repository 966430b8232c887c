#include "text/percent_encode.h"

#include "text/code_page_conversion.h"

namespace mojing {
namespace {

bool IsKeptPlain(unsigned char b) {
    return (b >= 0x2D && b <= 0x39 && b != 0x2F) || (b >= 0x41 && b <= 0x5A) ||
           (b >= 0x61 && b <= 0x7A);
}

}  // namespace

std::string PercentEncode(std::string_view text, bool keepPlain, bool asUtf8) {
    // The text ends at its first zero byte, as GbkToUtf8 reads it.
    text = text.substr(0, text.find('\0'));
    const std::string utf8 = asUtf8 ? GbkToUtf8(text) : std::string();
    const std::string_view bytes = asUtf8 ? std::string_view(utf8) : text;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (keepPlain && IsKeptPlain(b)) {
            out += c;
        } else {
            out += '%';
            out += kDigits[b >> 4];
            out += kDigits[b & 0x0F];
        }
    }
    return out;
}

}  // namespace mojing
