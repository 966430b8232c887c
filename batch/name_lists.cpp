#include "batch/name_lists.h"

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

// Names become spans into the text's own bytes: one pass, no allocation per name.
NameList SplitStorage(std::string storage) {
    const char* const text = storage.data();
    const std::size_t size = storage.size();
    if (size == 0) return NameList();

    std::vector<NameList::Span> spans;
    spans.reserve(size / 32 + 16);
    std::size_t nameStart = 0;
    // A position known to begin a character; every CR found lies after it.
    std::size_t characterStart = 0;
    while (characterStart < size) {
        const void* found = std::memchr(text + characterStart, '\r', size - characterStart);
        if (found == nullptr) break;
        const std::size_t cr = static_cast<std::size_t>(static_cast<const char*>(found) - text);
        if (cr + 1 == size) break;
        // A byte below 0x80 always ends a character, so only the run of lead and trail bytes
        // right before the CR decides whether the CR is itself the second byte of a character.
        std::size_t run = 0;
        for (std::size_t i = cr;
             i > characterStart && static_cast<unsigned char>(text[i - 1]) >= 0x80; --i) {
            ++run;
        }
        if (run % 2 == 0 && text[cr + 1] == '\n') {
            spans.push_back({nameStart, cr - nameStart});
            nameStart = cr + 2;
            characterStart = cr + 2;
        } else {
            characterStart = cr + 1;
        }
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
