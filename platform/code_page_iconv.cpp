#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

// GBK goes through glibc's iconv ("CP936"); UTF-8 is coded by hand.
//
// Replacements, as the Windows calls make them with flags 0:
// - reading UTF-8, each maximal invalid subpart (overlong forms, encoded surrogates, values above
//   U+10FFFF, stray or missing continuation bytes) becomes one U+FFFD;
// - reading GBK, a lead byte with a byte of the trail range after it is one character even when
//   the pair is unassigned, and such a pair becomes one U+FFFD; a lead byte without a trail byte
//   after it, and 0xFF, become one U+FFFD each, and the following byte is read afresh. 0x80 is
//   the euro sign in both directions;
// - writing GBK, a character that GBK lacks, a surrogate pair among them, and a lone surrogate
//   become the default character ('?' unless one is given);
// - writing UTF-8, a lone surrogate becomes U+FFFD.
namespace mojing::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// A count of 0 means failure: every input the calls accept has at least one character.
constexpr std::size_t kFailed = 0;

class IconvDescriptor {
  public:
    IconvDescriptor(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvDescriptor() {
        if (IsOpen()) iconv_close(cd_);
    }
    IconvDescriptor(const IconvDescriptor&) = delete;
    IconvDescriptor& operator=(const IconvDescriptor&) = delete;

    bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }
    std::size_t Convert(char** in, std::size_t* inLeft, char** out, std::size_t* outLeft) {
        return iconv(cd_, in, inLeft, out, outLeft);
    }

  private:
    iconv_t cd_;
};

// A descriptor may not be shared between threads, and opening one per call costs more than
// many short conversions; each thread keeps its own.
IconvDescriptor& GbkDecoder() {
    thread_local IconvDescriptor decoder("WCHAR_T", "CP936");
    return decoder;
}

IconvDescriptor& GbkEncoder() {
    thread_local IconvDescriptor encoder("CP936", "WCHAR_T");
    return encoder;
}

bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool IsGbkTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }
bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool IsSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// Bytes one GBK character, valid or not, takes at s.
std::size_t GbkCharacterLength(const unsigned char* s, std::size_t left) {
    return IsGbkLead(s[0]) && left > 1 && IsGbkTrail(s[1]) ? 2 : 1;
}

// Collects units, only counting them when measuring. Put refuses a character that does not fit
// whole, so output stops at the last character that fits.
template <typename Unit>
class Output {
  public:
    Output(Unit* destination, std::size_t capacity)
        : destination_(destination), capacity_(capacity) {}

    bool Measuring() const { return capacity_ == 0; }
    std::size_t Count() const { return count_; }

    bool Put(const Unit* units, std::size_t n) {
        if (!Measuring()) {
            if (capacity_ - count_ < n) return false;
            std::memcpy(destination_ + count_, units, n * sizeof(Unit));
        }
        count_ += n;
        return true;
    }
    bool Put(Unit unit) { return Put(&unit, 1); }

    // For writers that fill the room themselves; when measuring, Advance only counts.
    Unit* Cursor() { return destination_ + count_; }
    std::size_t Room() const { return capacity_ - count_; }
    void Advance(std::size_t n) { count_ += n; }

  private:
    Unit* destination_;
    std::size_t capacity_;
    std::size_t count_ = 0;
};

// --- UTF-8 ---

struct Utf8Character {
    std::size_t length;  // bytes taken: the whole sequence, or its maximal invalid subpart
    char32_t codePoint;
    bool valid;
};

Utf8Character ReadUtf8(const unsigned char* s, std::size_t left) {
    const unsigned char first = s[0];
    if (first < 0x80) return {1, first, true};
    std::size_t continuations;
    char32_t codePoint;
    // The range of the second byte excludes overlong forms, surrogates and values past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        continuations = 1;
        codePoint = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        continuations = 2;
        codePoint = first & 0x0F;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        continuations = 3;
        codePoint = first & 0x07;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return {1, 0, false};
    }
    for (std::size_t i = 1; i <= continuations; ++i) {
        if (i >= left || s[i] < low || s[i] > high) return {i, 0, false};
        codePoint = (codePoint << 6) | (s[i] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {continuations + 1, codePoint, true};
}

std::size_t Utf8ToUtf16(const unsigned char* s, std::size_t n, Output<char16_t>& out) {
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            if (!out.Put(static_cast<char16_t>(s[i]))) return kFailed;
            ++i;
            continue;
        }
        const Utf8Character c = ReadUtf8(s + i, n - i);
        i += c.length;
        bool fits;
        if (!c.valid) {
            fits = out.Put(kReplacement);
        } else if (c.codePoint >= 0x10000) {
            const char32_t v = c.codePoint - 0x10000;
            const char16_t pair[2] = {static_cast<char16_t>(0xD800 + (v >> 10)),
                                      static_cast<char16_t>(0xDC00 + (v & 0x3FF))};
            fits = out.Put(pair, 2);
        } else {
            fits = out.Put(static_cast<char16_t>(c.codePoint));
        }
        if (!fits) return kFailed;
    }
    return out.Count();
}

std::size_t Utf16ToUtf8(const char16_t* s, std::size_t n, Output<char>& out) {
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            if (!out.Put(static_cast<char>(c))) return kFailed;
            continue;
        }
        if (IsHighSurrogate(s[i]) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (IsSurrogate(s[i])) {
            c = kReplacement;
        }
        char bytes[4];
        std::size_t length;
        if (c < 0x800) {
            bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            length = 2;
        } else if (c < 0x10000) {
            bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            length = 3;
        } else {
            bytes[0] = static_cast<char>(0xF0 | (c >> 18));
            length = 4;
        }
        for (std::size_t k = 1; k < length; ++k) {
            bytes[k] = static_cast<char>(0x80 | ((c >> (6 * (length - 1 - k))) & 0x3F));
        }
        if (!out.Put(bytes, length)) return kFailed;
    }
    return out.Count();
}

// --- GBK ---

// iconv converts between GBK and its own UCS-4 in one step. Going from UTF-16 would add a second
// step, and glibc then redoes the first step up to each unmappable character, which made pages
// with many of them a hundred times slower.
static_assert(sizeof(wchar_t) == 4, "iconv's WCHAR_T is taken to be UCS-4");
constexpr std::size_t kChunk = 4096;  // code points per iconv call

std::size_t GbkToUtf16(const unsigned char* s, std::size_t n, Output<char16_t>& out) {
    if (out.Measuring()) {
        // GBK has nothing outside the BMP, so every character, valid or not, is one unit.
        std::size_t count = 0;
        for (std::size_t i = 0; i < n; ++count) i += GbkCharacterLength(s + i, n - i);
        return count;
    }
    IconvDescriptor& decoder = GbkDecoder();
    if (!decoder.IsOpen()) return kFailed;
    decoder.Reset();
    char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(s));
    std::size_t inLeft = n;
    wchar_t staged[kChunk];
    while (inLeft > 0) {
        // One code point per unit: limiting the room to the capacity stops at the last
        // character that fits.
        const std::size_t room = std::min(kChunk, out.Room());
        if (room == 0) return kFailed;
        char* cursor = reinterpret_cast<char*>(staged);
        std::size_t outLeft = room * sizeof(wchar_t);
        const bool done =
            decoder.Convert(&in, &inLeft, &cursor, &outLeft) != static_cast<std::size_t>(-1);
        const int error = errno;
        const std::size_t produced = room - outLeft / sizeof(wchar_t);
        char16_t* destination = out.Cursor();
        for (std::size_t i = 0; i < produced; ++i) {
            destination[i] = static_cast<char16_t>(staged[i]);
        }
        out.Advance(produced);
        if (done) break;
        if (error == E2BIG) continue;
        if (error != EILSEQ && error != EINVAL) return kFailed;
        if (!out.Put(kReplacement)) return kFailed;
        const std::size_t skip =
            GbkCharacterLength(reinterpret_cast<const unsigned char*>(in), inLeft);
        in += skip;
        inLeft -= skip;
    }
    return out.Count();
}

std::size_t Utf16ToGbk(const char16_t* s, std::size_t n, Output<char>& out,
                       std::string_view defaultCharacter, bool& usedDefault) {
    IconvDescriptor& encoder = GbkEncoder();
    if (!encoder.IsOpen()) return kFailed;
    encoder.Reset();
    wchar_t staged[kChunk];
    // Measuring converts into scratch space; a chunk always fits, at two bytes a character.
    char scratch[2 * kChunk];
    std::size_t i = 0;
    while (i < n) {
        std::size_t count = 0;
        while (i < n && count < kChunk) {
            char32_t c = s[i++];
            if (IsHighSurrogate(static_cast<char16_t>(c)) && i < n && IsLowSurrogate(s[i])) {
                c = 0x10000 + ((c - 0xD800) << 10) + (s[i++] - 0xDC00);
            } else if (IsSurrogate(static_cast<char16_t>(c))) {
                c = kReplacement;  // which GBK lacks, so a lone surrogate gets the default too
            }
            staged[count++] = static_cast<wchar_t>(c);
        }
        char* in = reinterpret_cast<char*>(staged);
        std::size_t inLeft = count * sizeof(wchar_t);
        char* const start = out.Measuring() ? scratch : out.Cursor();
        const std::size_t room = out.Measuring() ? sizeof scratch : out.Room();
        char* cursor = start;
        std::size_t outLeft = room;
        while (inLeft > 0) {
            if (encoder.Convert(&in, &inLeft, &cursor, &outLeft) != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno != EILSEQ) return kFailed;  // E2BIG: it does not fit
            in += sizeof(wchar_t);
            inLeft -= sizeof(wchar_t);
            usedDefault = true;
            if (outLeft < defaultCharacter.size()) return kFailed;
            std::memcpy(cursor, defaultCharacter.data(), defaultCharacter.size());
            cursor += defaultCharacter.size();
            outLeft -= defaultCharacter.size();
        }
        out.Advance(static_cast<std::size_t>(cursor - start));
    }
    return out.Count();
}

// The first character of the caller's default character, one or two GBK bytes.
std::string_view GbkDefaultCharacter(const char* defaultChar) {
    if (defaultChar == nullptr || defaultChar[0] == '\0') return "?";
    const auto* bytes = reinterpret_cast<const unsigned char*>(defaultChar);
    return {defaultChar, IsGbkLead(bytes[0]) && IsGbkTrail(bytes[1]) ? 2u : 1u};
}

unsigned ActualPage(unsigned codePage) {
    return codePage == kAnsiCodePage ? kGbkCodePage : codePage;
}

int AsResult(std::size_t count) { return count > INT_MAX ? 0 : static_cast<int>(count); }

template <typename Unit>
bool ValidArguments(unsigned flags, const Unit* source, int sourceLength, const void* destination,
                    int destinationCapacity) {
    return flags == 0 && source != nullptr && (sourceLength > 0 || sourceLength == -1) &&
           destinationCapacity >= 0 && (destinationCapacity == 0 || destination != nullptr);
}

std::size_t SourceLength(const char* source, int sourceLength) {
    return sourceLength == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(sourceLength);
}

std::size_t SourceLength(const char16_t* source, int sourceLength) {
    if (sourceLength != -1) return static_cast<std::size_t>(sourceLength);
    std::size_t n = 0;
    while (source[n] != 0) ++n;
    return n + 1;
}

std::string ConvertWhole(std::string_view text, unsigned fromPage, unsigned toPage) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(fromPage, 0, text.data(), length, nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    if (units == 0 ||
        MultiByteToWideChar(fromPage, 0, text.data(), length, wide.data(), units) != units) {
        return {};
    }
    const int bytes =
        WideCharToMultiByte(toPage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes), '\0');
    if (bytes == 0 || WideCharToMultiByte(toPage, 0, wide.data(), units, result.data(), bytes,
                                          nullptr, nullptr) != bytes) {
        return {};
    }
    return result;
}

}  // namespace

int MultiByteToWideChar(unsigned codePage, unsigned flags, const char* source, int sourceLength,
                        char16_t* destination, int destinationCapacity) {
    if (!ValidArguments(flags, source, sourceLength, destination, destinationCapacity)) return 0;
    const std::size_t length = SourceLength(source, sourceLength);
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    Output<char16_t> out(destination, static_cast<std::size_t>(destinationCapacity));
    switch (ActualPage(codePage)) {
        case kGbkCodePage:
            return AsResult(GbkToUtf16(bytes, length, out));
        case kUtf8CodePage:
            return AsResult(Utf8ToUtf16(bytes, length, out));
        default:
            return 0;
    }
}

int WideCharToMultiByte(unsigned codePage, unsigned flags, const char16_t* source, int sourceLength,
                        char* destination, int destinationCapacity, const char* defaultChar,
                        bool* usedDefaultChar) {
    if (!ValidArguments(flags, source, sourceLength, destination, destinationCapacity)) return 0;
    const std::size_t length = SourceLength(source, sourceLength);
    Output<char> out(destination, static_cast<std::size_t>(destinationCapacity));
    switch (ActualPage(codePage)) {
        case kGbkCodePage: {
            bool usedDefault = false;
            const std::size_t count =
                Utf16ToGbk(source, length, out, GbkDefaultCharacter(defaultChar), usedDefault);
            if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault;
            return AsResult(count);
        }
        case kUtf8CodePage:
            // UTF-8 has no default character; asking for one is an error, as on Windows.
            if (defaultChar != nullptr || usedDefaultChar != nullptr) return 0;
            return AsResult(Utf16ToUtf8(source, length, out));
        default:
            return 0;
    }
}

std::string AnsiToNative(std::string_view ansi) {
    return ConvertWhole(ansi, kGbkCodePage, kUtf8CodePage);
}

std::string NativeToAnsi(std::string_view native) {
    return ConvertWhole(native, kUtf8CodePage, kGbkCodePage);
}

}  // namespace mojing::platform
