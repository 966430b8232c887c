#include "batch/name_lists.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace mojing {
namespace {

// Holds a value that is never destroyed: the lists must outlive every worker thread, and a
// worker may still run while the process exits.
template <typename T>
class Immortal {
  public:
    Immortal() : value_() {}
    ~Immortal() {}
    Immortal(const Immortal&) = delete;
    Immortal& operator=(const Immortal&) = delete;

    T& operator*() { return value_; }

  private:
    union {
        T value_;
    };
};

constexpr std::size_t kBlock = 64;

// Eight bytes of the text, byte i in bits 8i to 8i + 7.
std::uint64_t LoadWord(const unsigned char* bytes) {
    std::uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, bytes, 8);
    } else {
        for (std::size_t i = 0; i < 8; ++i) word |= std::uint64_t{bytes[i]} << (8 * i);
    }
    return word;
}

// The top bits of the eight bytes of x (all other bits clear) as bits 0 to 7.
std::uint64_t GatherTopBits(std::uint64_t x) { return (x * 0x0002040810204081) >> 56; }

struct BlockMasks {
    std::uint64_t ends = 0;  // bytes below 0x80, each of which ends a character
    std::uint64_t crs = 0;
};

// One bit per byte of a 64-byte block.
BlockMasks MasksOf(const unsigned char* block) {
    constexpr std::uint64_t kTopBits = 0x8080808080808080;
    constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7F;
    constexpr std::uint64_t kCarriageReturns = 0x0D0D0D0D0D0D0D0D;
    BlockMasks masks;
    for (unsigned i = 0; i < kBlock / 8; ++i) {
        const std::uint64_t word = LoadWord(block + 8 * i);
        const std::uint64_t notCr = word ^ kCarriageReturns;
        const std::uint64_t crs = ~(((notCr & kLowBits) + kLowBits) | notCr | kLowBits);
        masks.ends |= GatherTopBits(~word & kTopBits) << (8 * i);
        masks.crs |= GatherTopBits(crs) << (8 * i);
    }
    return masks;
}

// Names become spans into the text's own bytes: one pass, 64 bytes at a time, no allocation
// per name.
NameList SplitStorage(std::string storage) {
    const auto* const text = reinterpret_cast<const unsigned char*>(storage.data());
    const std::size_t size = storage.size();
    if (size == 0) return NameList();

    std::vector<NameList::Span> spans;
    spans.reserve(size / 16 + 16);
    std::size_t nameStart = 0;
    // Whether the first byte of the next block is the second byte of a character.
    unsigned secondByte = 0;
    for (std::size_t base = 0; base < size; base += kBlock) {
        // The last block is read from a copy padded with zero bytes, which are no CR and end
        // every character.
        unsigned char padded[kBlock] = {};
        const unsigned char* block = text + base;
        if (size - base < kBlock) {
            std::memcpy(padded, block, size - base);
            block = padded;
        }
        const BlockMasks masks = MasksOf(block);
        // A byte below 0x80 always ends a character, so the parity of the run of bytes from
        // 0x80 on right before a CR decides whether the CR is the second byte of a character.
        for (std::uint64_t crs = masks.crs; crs != 0; crs &= crs - 1) {
            const unsigned k = static_cast<unsigned>(std::countr_zero(crs));
            const std::uint64_t endsBefore = masks.ends & ((std::uint64_t{1} << k) - 1);
            const unsigned run =
                endsBefore != 0 ? k - 1 - static_cast<unsigned>(63 - std::countl_zero(endsBefore))
                                : k - secondByte;
            const std::size_t cr = base + k;
            if (run % 2 == 0 && cr + 1 < size && text[cr + 1] == '\n') {
                spans.push_back({nameStart, cr - nameStart});
                nameStart = cr + 2;
            }
        }
        if (masks.ends != 0) secondByte = static_cast<unsigned>(std::countl_zero(masks.ends)) % 2;
    }
    // A final CR LF adds no empty name.
    if (nameStart < size) spans.push_back({nameStart, size - nameStart});
    return NameList(std::move(storage), std::move(spans));
}

}  // namespace

NameList& PendingNames() {
    static Immortal<NameList> list;
    return *list;
}

NameList& FoundFiles() {
    static Immortal<NameList> list;
    return *list;
}

void CreateNameLists() {
    PendingNames().Clear();
    FoundFiles().Clear();
    FoundFiles().Append("");
}

void ReleaseNameLists() {
    PendingNames().Clear();
    FoundFiles().Clear();
}

NameList SplitNameList(std::string_view text) { return SplitStorage(std::string(text)); }

void LoadNameList(std::string_view path) {
    std::string bytes = platform::ReadWholeFileDenyingWriters(path);
    if (const void* zero = std::memchr(bytes.data(), '\0', bytes.size())) {
        bytes.resize(static_cast<std::size_t>(static_cast<const char*>(zero) - bytes.data()));
    }
    PendingNames().ReplaceWith(SplitStorage(std::move(bytes)));
}

void RemoveHead(NameList& list) { list.RemoveHead(); }

}  // namespace mojing
