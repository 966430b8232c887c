#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mojing {

// An ordered list of GBK names addressed from 1. Every operation is atomic with respect to the
// others on the same list, since the window thread replaces a list that a worker drains.
// The names live back to back in one buffer, so loading a million names is one allocation and
// taking the head off is O(1).
class NameList {
public:
    struct Span {
        std::size_t offset;
        std::size_t length;
    };

    NameList() = default;
    // A list over storage, each span naming one item's bytes in it.
    NameList(std::string storage, std::vector<Span> spans);
    NameList(const NameList&) = delete;
    NameList& operator=(const NameList&) = delete;

    std::size_t Count() const;
    // A copy of the item at position (from 1); empty text when there is none.
    std::string Item(std::size_t position) const;
    // The first item, or nothing when the list is empty: one step, so that a list replaced
    // between a count and a read cannot be read past its end.
    std::optional<std::string> Front() const;
    void Append(std::string_view name);
    void RemoveHead();
    void Clear();
    // Takes other's items in place of this list's, in one step; other is left empty.
    void ReplaceWith(NameList&& other);

private:
    mutable std::mutex mutex_;
    std::string storage_;
    std::vector<Span> spans_;
    std::size_t head_ = 0;  // spans before it are removed
};

}  // namespace mojing
