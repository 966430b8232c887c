#include "text/name_list.h"

#include <algorithm>

namespace mojing {
namespace {

// Below this many removed items the dead front is not worth copying the live names for.
constexpr std::size_t kCompactionThreshold = 4096;

std::string_view ViewOf(const std::string& storage, NameList::Span span) {
    // A span reaching past the storage reads as far as the storage goes.
    const std::size_t offset = std::min(span.offset, storage.size());
    return std::string_view(storage).substr(offset, std::min(span.length, storage.size() - offset));
}

}  // namespace

NameList::NameList(std::string storage, std::vector<Span> spans)
    : storage_(std::move(storage)), spans_(std::move(spans)) {}

std::size_t NameList::Count() const {
    const std::lock_guard lock(mutex_);
    return spans_.size() - head_;
}

std::string NameList::Item(std::size_t position) const {
    const std::lock_guard lock(mutex_);
    if (position == 0 || position > spans_.size() - head_) return {};
    return std::string(ViewOf(storage_, spans_[head_ + position - 1]));
}

std::optional<std::string> NameList::Front() const {
    const std::lock_guard lock(mutex_);
    if (head_ == spans_.size()) return std::nullopt;
    return std::string(ViewOf(storage_, spans_[head_]));
}

void NameList::Append(std::string_view name) {
    const std::lock_guard lock(mutex_);
    spans_.push_back({storage_.size(), name.size()});
    storage_.append(name);
}

void NameList::RemoveHead() {
    std::string freedStorage;
    std::vector<Span> freedSpans;
    {
        const std::lock_guard lock(mutex_);
        if (head_ == spans_.size()) return;
        ++head_;
        const std::size_t live = spans_.size() - head_;
        if (live == 0) {
            // Freed after the lock is let go.
            freedStorage.swap(storage_);
            freedSpans.swap(spans_);
            head_ = 0;
        } else if (head_ >= kCompactionThreshold && head_ > live) {
            // Keeps a list that is appended to and drained for a long time from growing without
            // end; each name is copied at most once per halving, so removal stays O(1) on average.
            std::size_t liveBytes = 0;
            for (std::size_t i = head_; i < spans_.size(); ++i) liveBytes += spans_[i].length;
            std::string storage;
            storage.reserve(liveBytes);
            std::vector<Span> spans;
            spans.reserve(live);
            for (std::size_t i = head_; i < spans_.size(); ++i) {
                const std::string_view name = ViewOf(storage_, spans_[i]);
                spans.push_back({storage.size(), name.size()});
                storage += name;
            }
            freedStorage = std::exchange(storage_, std::move(storage));
            freedSpans = std::exchange(spans_, std::move(spans));
            head_ = 0;
        }
    }
}

void NameList::Clear() {
    std::string freedStorage;
    std::vector<Span> freedSpans;
    const std::lock_guard lock(mutex_);
    freedStorage.swap(storage_);
    freedSpans.swap(spans_);
    head_ = 0;
}

void NameList::ReplaceWith(NameList&& other) {
    if (&other == this) return;
    std::string freedStorage;
    std::vector<Span> freedSpans;
    const std::scoped_lock lock(mutex_, other.mutex_);
    freedStorage = std::exchange(storage_, std::exchange(other.storage_, {}));
    freedSpans = std::exchange(spans_, std::exchange(other.spans_, {}));
    head_ = std::exchange(other.head_, 0);
}

}  // namespace mojing
