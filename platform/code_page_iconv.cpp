#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// GBK follows glibc's iconv ("CP936"), learnt from it once into tables; UTF-8 is coded by hand.
//
// What stands for input that cannot be converted (flags 0 asks for no errors):
// - reading UTF-8, each maximal invalid subpart (overlong forms, encoded surrogates, values above
//   U+10FFFF, stray or missing continuation bytes) becomes one U+FFFD;
// - reading GBK, a lead byte with a byte of the trail range after it is one character even when
//   the pair is unassigned, and such a pair becomes one U+FFFD; a lead byte without a trail byte
//   after it, and 0xFF, become one U+FFFD each, and the following byte is read afresh. 0x80 is
//   the euro sign in both directions;
// - writing GBK, a character that GBK lacks, a surrogate pair among them, and a lone surrogate
//   become the default character ('?' unless one is given); glibc drops the tag characters
//   U+E0000..U+E007F instead, and so do we;
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

// --- ASCII runs ---
//
// Most of a page is markup, so runs of ASCII go 16 at a time. Nothing is written past the run:
// a caller's buffer beyond the converted text keeps what it held.

constexpr std::uint64_t kHighBits = 0x8080808080808080;

// Copies (or, without kStore, only counts) the ASCII bytes at the start of s, at most n of them,
// widened to units.
template <bool kStore>
std::size_t WidenAscii(const unsigned char* s, std::size_t n, char16_t* d) {
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; n - i >= 16; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(v) != 0) break;
        if constexpr (kStore) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi8(v, zero));
        }
    }
#else
    for (; n - i >= 8; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s + i, sizeof word);
        if ((word & kHighBits) != 0) break;
        if constexpr (kStore) {
            for (std::size_t k = 0; k < 8; ++k) d[i + k] = s[i + k];
        }
    }
#endif
    for (; i < n && s[i] < 0x80; ++i) {
        if constexpr (kStore) d[i] = s[i];
    }
    return i;
}

// The same the other way: the units below 0x80 at the start of s, narrowed to bytes.
template <bool kStore>
std::size_t NarrowAscii(const char16_t* s, std::size_t n, char* d) {
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (; n - i >= 16; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 8));
        const __m128i outside = _mm_and_si128(_mm_or_si128(a, b), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(outside, zero)) != 0xFFFF) break;
        if constexpr (kStore) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(a, b));
        }
    }
#endif
    for (; i < n && s[i] < 0x80; ++i) {
        if constexpr (kStore) d[i] = static_cast<char>(s[i]);
    }
    return i;
}

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
            const std::size_t run =
                out.Measuring()
                    ? WidenAscii<false>(s + i, n - i, nullptr)
                    : WidenAscii<true>(s + i, std::min(n - i, out.Room()), out.Cursor());
            out.Advance(run);
            i += run;
            if (i < n && s[i] < 0x80) return kFailed;  // the room ran out
            continue;
        }
        // Three bytes whose second byte needs no range check beyond continuation: most of CJK.
        const unsigned char first = s[i];
        if (first >= 0xE1 && first <= 0xEF && first != 0xED && n - i >= 3 &&
            (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80) {
            const auto unit = static_cast<char16_t>(((first & 0x0F) << 12) |
                                                    ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
            if (!out.Put(unit)) return kFailed;
            i += 3;
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

// With untilZero the input ends with its first zero unit, converted too, and n is no bound:
// finding the end on the way saves a pass over long input, but nothing may be read ahead then.
// A terminated input can always be read one unit past a high surrogate.
std::size_t Utf16ToUtf8(const char16_t* s, std::size_t n, bool untilZero, Output<char>& out) {
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            if (!untilZero) {
                const std::size_t run =
                    out.Measuring()
                        ? NarrowAscii<false>(s + i, n - i, nullptr)
                        : NarrowAscii<true>(s + i, std::min(n - i, out.Room()), out.Cursor());
                out.Advance(run);
                i += run;
                if (i < n && s[i] < 0x80) return kFailed;  // the room ran out
                --i;
                continue;
            }
            if (!out.Put(static_cast<char>(c))) return kFailed;
            if (c == 0) break;
            continue;
        }
        if (c >= 0x800 && !IsSurrogate(s[i])) {  // most of CJK, written straight away
            const char bytes[3] = {static_cast<char>(0xE0 | (c >> 12)),
                                   static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                                   static_cast<char>(0x80 | (c & 0x3F))};
            if (!out.Put(bytes, 3)) return kFailed;
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

static_assert(sizeof(wchar_t) == 4, "iconv's WCHAR_T is taken to be UCS-4");
constexpr std::size_t kChunk = 4096;  // code points per iconv call

// What glibc makes of every GBK byte and pair and of every BMP character, asked once in bulk:
// a call per character costs more than the conversion itself.
class GbkTables {
  public:
    static constexpr std::uint16_t kUnmapped = 0xFFFF;  // 0xFF is no lead byte

    GbkTables() { available_ = LearnDecoding() && LearnEncoding(); }

    bool Available() const { return available_; }
    // A byte that is not part of a pair.
    char16_t Single(unsigned char b) const { return single_[b]; }
    // The character that the two bytes at s make, or kNoPair when they are no lead byte and
    // trail byte.
    static constexpr char16_t kNoPair = 0;
    char16_t Pair(const unsigned char* s) const { return pairs_[PairIndex(s[0], s[1])]; }
    // The byte, the lead byte << 8 | the trail byte, or kUnmapped; a lone surrogate is taken for
    // U+FFFD.
    std::uint16_t Encoded(char16_t c) const { return encoded_[c]; }

  private:
    static std::size_t PairIndex(unsigned char lead, unsigned char trail) {
        // Written so that the compiler reads both bytes with one load.
        return (static_cast<std::size_t>(lead) << 8) | trail;
    }

    bool LearnDecoding() {
        IconvDescriptor decoder("WCHAR_T", "CP936");
        if (!decoder.IsOpen()) return false;
        for (unsigned b = 0; b < 256; ++b) {
            char byte = static_cast<char>(b);
            char* in = &byte;
            std::size_t inLeft = 1;
            wchar_t unit = 0;
            char* cursor = reinterpret_cast<char*>(&unit);
            std::size_t outLeft = sizeof unit;
            decoder.Reset();
            if (decoder.Convert(&in, &inLeft, &cursor, &outLeft) != static_cast<std::size_t>(-1)) {
                if (outLeft != 0) return false;
                single_[b] = static_cast<char16_t>(unit);
            } else if (errno == EILSEQ || errno == EINVAL) {
                single_[b] = kReplacement;  // a lead byte alone, or 0xFF
            } else {
                return false;
            }
            if (b < 0x80 && single_[b] != b) return false;  // the ASCII runs copy bytes as they are
        }

        std::vector<unsigned char> all;
        std::vector<std::size_t> slots;
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (!IsGbkTrail(static_cast<unsigned char>(trail))) continue;
                all.push_back(static_cast<unsigned char>(lead));
                all.push_back(static_cast<unsigned char>(trail));
                slots.push_back(
                    PairIndex(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)));
            }
        }
        decoder.Reset();
        std::size_t next = 0;  // the pair the next call starts at
        while (next < slots.size()) {
            char* start = reinterpret_cast<char*>(all.data() + 2 * next);
            char* in = start;
            std::size_t inLeft = 2 * (slots.size() - next);
            wchar_t staged[kChunk];
            char* cursor = reinterpret_cast<char*>(staged);
            std::size_t outLeft = sizeof staged;
            const bool done =
                decoder.Convert(&in, &inLeft, &cursor, &outLeft) != static_cast<std::size_t>(-1);
            const int error = errno;
            const std::size_t consumed = static_cast<std::size_t>(in - start);
            const std::size_t produced = kChunk - outLeft / sizeof(wchar_t);
            if (consumed != 2 * produced) return false;  // each pair must make one character
            for (std::size_t k = 0; k < produced; ++k) {
                const auto unit = static_cast<char16_t>(staged[k]);
                if (unit == kNoPair) return false;
                pairs_[slots[next + k]] = unit;
            }
            next += produced;
            if (done) break;
            if (error == EILSEQ || error == EINVAL) {
                pairs_[slots[next++]] = kReplacement;  // an unassigned pair
            } else if (error != E2BIG) {
                return false;
            }
        }
        return next == slots.size();
    }

    bool LearnEncoding() {
        IconvDescriptor encoder("CP936", "WCHAR_T");
        if (!encoder.IsOpen()) return false;
        encoded_.fill(kUnmapped);
        std::vector<wchar_t> all;
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (!IsSurrogate(static_cast<char16_t>(c))) all.push_back(static_cast<wchar_t>(c));
        }
        std::size_t next = 0;
        while (next < all.size()) {
            char* start = reinterpret_cast<char*>(all.data() + next);
            char* in = start;
            std::size_t inLeft = (all.size() - next) * sizeof(wchar_t);
            unsigned char converted[2 * kChunk];
            char* cursor = reinterpret_cast<char*>(converted);
            std::size_t outLeft = sizeof converted;
            const bool done =
                encoder.Convert(&in, &inLeft, &cursor, &outLeft) != static_cast<std::size_t>(-1);
            const int error = errno;
            const std::size_t consumed = static_cast<std::size_t>(in - start) / sizeof(wchar_t);
            // The output is whole GBK characters, one for each code point taken.
            const unsigned char* p = converted;
            const auto* end = reinterpret_cast<const unsigned char*>(cursor);
            for (std::size_t k = 0; k < consumed; ++k) {
                if (p == end) return false;
                const std::size_t length = GbkCharacterLength(p, static_cast<std::size_t>(end - p));
                encoded_[static_cast<std::size_t>(all[next + k])] =
                    static_cast<std::uint16_t>(length == 1 ? p[0] : (p[0] << 8) | p[1]);
                p += length;
            }
            if (p != end) return false;
            next += consumed;
            if (done) break;
            if (error == EILSEQ) {
                ++next;  // a character that GBK lacks stays unmapped
            } else if (error != E2BIG) {
                return false;
            }
        }
        for (std::size_t c = 0; c < 0x80; ++c) {
            if (encoded_[c] != c) return false;  // the ASCII runs copy units as they are
        }
        std::fill(encoded_.begin() + 0xD800, encoded_.begin() + 0xE000, encoded_[kReplacement]);
        return next == all.size();
    }

    std::array<char16_t, 256> single_{};
    std::array<char16_t, 0x10000> pairs_{};  // kNoPair where no lead and trail byte
    std::array<std::uint16_t, 0x10000> encoded_{};
    bool available_ = false;
};

const GbkTables& Tables() {
    static const GbkTables tables;
    return tables;
}

// GBK has nothing outside the BMP, but glibc passes over some characters there rather than
// refusing them, so these rare characters are put to iconv one by one. The bytes iconv makes
// of c, possibly none, or -1 when it refuses c.
int EncodeAstral(char32_t c, char (&bytes)[8]) {
    // A descriptor may not be shared between threads; each thread keeps its own.
    thread_local IconvDescriptor encoder("CP936", "WCHAR_T");
    if (!encoder.IsOpen()) return -1;
    encoder.Reset();
    wchar_t staged = static_cast<wchar_t>(c);
    char* in = reinterpret_cast<char*>(&staged);
    std::size_t inLeft = sizeof staged;
    char* cursor = bytes;
    std::size_t outLeft = sizeof bytes;
    if (encoder.Convert(&in, &inLeft, &cursor, &outLeft) == static_cast<std::size_t>(-1)) {
        return -1;
    }
    return static_cast<int>(sizeof bytes - outLeft);
}

char32_t CombineSurrogates(char16_t high, char16_t low) {
    return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

// Whether the eight bytes at s all lie in 0x81..0xFE, which are lead and trail bytes alike and
// so make four pairs.
bool AllLeadBytes(const unsigned char* s) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    const auto hasZeroByte = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHighBits) != 0; };
    std::uint64_t word;
    std::memcpy(&word, s, sizeof word);
    return (word & kHighBits) == kHighBits && !hasZeroByte(word & ~kHighBits) &&
           !hasZeroByte(~word);
}

// Every character, valid or not, is one unit. Eight bytes at a time where they are all ASCII,
// or all lead bytes.
std::size_t CountGbkCharacters(const unsigned char* s, std::size_t n) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, s + i, sizeof word);
            if ((word & kHighBits) == 0) {
                count += 8;
                i += 8;
                continue;
            }
            if (AllLeadBytes(s + i)) {
                count += 4;
                i += 8;
                continue;
            }
        }
        i += GbkCharacterLength(s + i, n - i);
        ++count;
    }
    return count;
}

// WidenAscii for GBK, which ends a run with one more block store instead of byte by byte: the
// units stored past the run are overwritten by the characters after it. Those take at most two
// bytes each, so with 32 bytes left from the block on there are at least 16 - k of them after
// the k ASCII bytes; and were the room to run out first, the call would fail only once every
// unit up to its end had been written.
std::size_t WidenGbkAscii(const unsigned char* s, std::size_t left, std::size_t room, char16_t* d) {
#ifdef __SSE2__
    const std::size_t n = std::min(left, room);
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; n - i >= 16; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const int high = _mm_movemask_epi8(v);
        if (high != 0 && left - i < 32) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi8(v, zero));
        if (high != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(high)));
    }
    return i + WidenAscii<true>(s + i, n - i, d + i);
#else
    return WidenAscii<true>(s, std::min(left, room), d);
#endif
}

std::size_t GbkToUtf16(const unsigned char* s, std::size_t n, Output<char16_t>& out) {
    if (out.Measuring()) return CountGbkCharacters(s, n);
    const GbkTables& tables = Tables();
    if (!tables.Available()) return kFailed;
    char16_t* destination = out.Cursor();
    const std::size_t room = out.Room();
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            const std::size_t run =
                WidenGbkAscii(s + i, n - i, room - written, destination + written);
            i += run;
            written += run;
            if (i == n) break;
        }
        // A run of double-byte characters, bounded once by the input and the room.
        const std::size_t most = std::min((n - i) / 2, room - written);
        const unsigned char* p = s + i;
        char16_t* d = destination + written;
        std::size_t pairs = 0;
        for (; pairs < most; ++pairs, p += 2) {
            const char16_t unit = tables.Pair(p);
            if (unit == GbkTables::kNoPair) break;
            d[pairs] = unit;
        }
        i += 2 * pairs;
        written += pairs;
        if (i == n) break;
        if (written == room) return kFailed;
        if (s[i] >= 0x80) destination[written++] = tables.Single(s[i++]);
    }
    out.Advance(written);
    return out.Count();
}

std::size_t MeasureGbk(const char16_t* s, std::size_t n, bool untilZero, std::size_t defaultLength,
                       bool& usedDefault) {
    const GbkTables& tables = Tables();
    if (!tables.Available()) return kFailed;
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            if (untilZero) {
                ++count;
                if (c == 0) break;
            } else {
                const std::size_t run = NarrowAscii<false>(s + i, n - i, nullptr);
                count += run;
                i += run - 1;
            }
            continue;
        }
        int width;
        if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
            char bytes[8];
            width = EncodeAstral(CombineSurrogates(c, s[i + 1]), bytes);
            ++i;
        } else {
            const std::uint16_t code = tables.Encoded(c);
            width = code == GbkTables::kUnmapped ? -1 : code < 0x100 ? 1 : 2;
        }
        if (width < 0) {
            usedDefault = true;
            count += defaultLength;
        } else {
            count += static_cast<std::size_t>(width);
        }
    }
    return count;
}

std::size_t Utf16ToGbk(const char16_t* s, std::size_t n, bool untilZero, Output<char>& out,
                       std::string_view defaultCharacter, bool& usedDefault) {
    if (out.Measuring()) return MeasureGbk(s, n, untilZero, defaultCharacter.size(), usedDefault);
    const GbkTables& tables = Tables();
    if (!tables.Available()) return kFailed;
    char* destination = out.Cursor();
    const std::size_t room = out.Room();
    std::size_t written = 0;
    const auto put = [&](const char* bytes, std::size_t length) {
        if (room - written < length) return false;
        std::memcpy(destination + written, bytes, length);
        written += length;
        return true;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            if (untilZero) {
                if (written == room) return kFailed;
                destination[written++] = static_cast<char>(c);
                if (c == 0) break;
                continue;
            }
            const std::size_t run =
                NarrowAscii<true>(s + i, std::min(n - i, room - written), destination + written);
            written += run;
            i += run;
            if (i < n && s[i] < 0x80) return kFailed;  // the room ran out
            --i;
            continue;
        }
        bool fits;
        if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
            char bytes[8];
            const int length = EncodeAstral(CombineSurrogates(c, s[i + 1]), bytes);
            ++i;
            if (length < 0) {
                usedDefault = true;
                fits = put(defaultCharacter.data(), defaultCharacter.size());
            } else {
                fits = put(bytes, static_cast<std::size_t>(length));
            }
        } else {
            const std::uint16_t code = tables.Encoded(c);
            if (code == GbkTables::kUnmapped) {
                usedDefault = true;
                fits = put(defaultCharacter.data(), defaultCharacter.size());
            } else if (code < 0x100) {
                const char byte = static_cast<char>(code);
                fits = put(&byte, 1);
            } else {
                const char pair[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
                fits = put(pair, 2);
            }
        }
        if (!fits) return kFailed;
    }
    out.Advance(written);
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
    const bool untilZero = sourceLength == -1;
    const std::size_t length = untilZero ? SIZE_MAX : static_cast<std::size_t>(sourceLength);
    Output<char> out(destination, static_cast<std::size_t>(destinationCapacity));
    switch (ActualPage(codePage)) {
        case kGbkCodePage: {
            bool usedDefault = false;
            const std::size_t count = Utf16ToGbk(source, length, untilZero, out,
                                                 GbkDefaultCharacter(defaultChar), usedDefault);
            if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault;
            return AsResult(count);
        }
        case kUtf8CodePage:
            // UTF-8 has no default character; asking for one is an error, as on Windows.
            if (defaultChar != nullptr || usedDefaultChar != nullptr) return 0;
            return AsResult(Utf16ToUtf8(source, length, untilZero, out));
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
