#include "text/regex_object.h"

#include "platform/code_page.h"
#include "platform/com.h"
#include "platform/regexp_engine.h"

#include <climits>
#include <memory>

namespace mojing {

namespace {

// "#引号" in GBK.
constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";

// One pass: a GBK byte never makes more than one unit, so a unit per byte is room enough and
// nothing needs measuring first.
std::u16string ToEngine(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    std::u16string wide(text.size(), u'\0');
    const int written = platform::MultiByteToWideChar(platform::kGbkCodePage, 0, text.data(),
                                                      length, wide.data(), length);
    wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return wide;
}

std::string FromEngine(std::u16string_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) return {};
    const int length = static_cast<int>(wide.size());
    const int needed = platform::WideCharToMultiByte(platform::kGbkCodePage, 0, wide.data(), length,
                                                     nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string text(static_cast<size_t>(needed), '\0');
    const int written = platform::WideCharToMultiByte(
        platform::kGbkCodePage, 0, wide.data(), length, text.data(), needed, nullptr, nullptr);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return text;
}

bool IsLeadByte(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }

// Each "#引号" becomes a double quote. The scan moves over whole characters, so the marker is
// never found straddling two of them.
std::string ExpandQuoteMarker(std::string_view pattern) {
    std::string out;
    out.reserve(pattern.size());
    size_t i = 0;
    while (i < pattern.size()) {
        if (pattern.substr(i, kQuoteMarker.size()) == kQuoteMarker) {
            out += '"';
            i += kQuoteMarker.size();
            continue;
        }
        const size_t width = IsLeadByte(pattern[i]) && i + 1 < pattern.size() ? 2 : 1;
        out.append(pattern.substr(i, width));
        i += width;
    }
    return out;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameBytes(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ignoreCase ? AsciiLower(a[i]) != AsciiLower(b[i]) : a[i] != b[i]) return false;
    }
    return true;
}

// Item n - 1 for a match number n from 1; numbers below 1 have no item.
long ItemIndex(long number) { return number >= 1 ? number - 1 : -1; }

}  // namespace

RegexObject::RegexObject() : initialisedCom_(true) { platform::CoInitialize(); }

RegexObject::RegexObject(CloneTag) {}

RegexObject::~RegexObject() {
    if (!destroyed_) Destroy();
}

void RegexObject::Destroy() {
    engine_.reset();
    matches_.reset();
    subject_.clear();
    engineSubject_.reset();
    engineSubjectLength_ = engineSubjectCapacity_ = 0;
    if (initialisedCom_) {
        platform::CoUninitialize();
        initialisedCom_ = false;
    }
    destroyed_ = true;
}

std::unique_ptr<RegexObject> RegexObject::Clone() const {
    // The constructor for clones is private, so make_unique cannot reach it.
    std::unique_ptr<RegexObject> copy(new RegexObject(CloneTag{}));
    copy->engine_ = engine_;
    copy->matches_ = matches_;
    copy->subject_ = subject_;
    copy->SetEngineSubject(subject_);
    return copy;
}

// One pass into the kept buffer, as ToEngine does.
void RegexObject::SetEngineSubject(std::string_view subject) {
    engineSubjectLength_ = 0;
    if (subject.empty() || subject.size() > INT_MAX) return;
    if (engineSubjectCapacity_ < subject.size()) {
        engineSubject_.reset();  // the old buffer goes before the new one is made
        engineSubjectCapacity_ = 0;
        engineSubject_ = std::make_unique_for_overwrite<char16_t[]>(subject.size());
        engineSubjectCapacity_ = subject.size();
    }
    const int length = static_cast<int>(subject.size());
    const int written = platform::MultiByteToWideChar(platform::kGbkCodePage, 0, subject.data(),
                                                      length, engineSubject_.get(), length);
    engineSubjectLength_ = written > 0 ? static_cast<size_t>(written) : 0;
}

std::u16string_view RegexObject::EngineSubject() const {
    // The engine is never handed a null subject, empty or not.
    if (engineSubjectLength_ == 0) return u"";
    return {engineSubject_.get(), engineSubjectLength_};
}

bool RegexObject::Create(std::string_view pattern, std::string_view subject, bool caseSensitive,
                         bool multiline, bool global, bool expandQuoteMarker) {
    engine_.reset();
    matches_.reset();
    engine_ = platform::RegExpEngine::Create();
    if (engine_) {
        // Written as the engine's users always have, Singleline included: the engine has no
        // such member, so '.' keeps stopping at a line feed.
        engine_->PutBool("IgnoreCase", !caseSensitive);
        engine_->PutBool("Multiline", multiline);
        engine_->PutBool("Singleline", true);
        engine_->PutBool("Global", global);
        engine_->PutText("Pattern",
                         ToEngine(expandQuoteMarker ? ExpandQuoteMarker(pattern) : pattern));
        SetEngineSubject(subject);
        matches_ = engine_->Execute(EngineSubject());
    }
    subject_ = subject;
    return matches_ != nullptr;
}

void RegexObject::Placeholder() {}

std::string RegexObject::GetPattern() const {
    if (!engine_) return {};
    return FromEngine(engine_->GetText("Pattern").value_or(std::u16string()));
}

std::string RegexObject::ReplaceMatches(std::string_view replacement) const {
    if (!engine_) return {};
    const auto result = engine_->Replace(EngineSubject(), ToEngine(replacement));
    return result ? FromEngine(*result) : std::string();
}

long RegexObject::GetMatchCount() const { return matches_ ? matches_->Count() : 0; }

std::string RegexObject::GetMatchText(long matchIndex, long* startPos) const {
    const auto match = matches_ ? matches_->Item(ItemIndex(matchIndex)) : nullptr;
    std::string text = match ? FromEngine(match->Value()) : std::string();
    if (startPos != nullptr) *startPos = PositionOf(text, match ? match->FirstIndex() : 0);
    return text;
}

std::string RegexObject::GetSubMatchText(long matchIndex, long subMatchIndex,
                                         long* startPos) const {
    const auto match = matches_ ? matches_->Item(ItemIndex(matchIndex)) : nullptr;
    std::string text;
    if (match) {
        const auto value = match->SubMatches().Item(ItemIndex(subMatchIndex));
        if (value) text = FromEngine(*value);
    }
    if (startPos != nullptr) *startPos = PositionOf(text, match ? match->FirstIndex() : 0);
    return text;
}

long RegexObject::GetSubMatchCount() const {
    const auto first = matches_ ? matches_->Item(0) : nullptr;
    return first ? first->SubMatches().Count() : 0;
}

// The engine counts UTF-16 units and the stored subject is GBK bytes; the unit count is taken
// as a byte position to start from, as the object has always done, so a search that starts
// inside a double-byte character pairs the bytes after it wrongly and can miss.
long RegexObject::PositionOf(std::string_view found, long firstIndex) const {
    const bool ignoreCase = engine_ ? engine_->GetBool("IgnoreCase").value_or(false) : false;
    constexpr long kNotFound = -2;
    size_t offset = firstIndex > 1 ? static_cast<size_t>(firstIndex - 1) : 0;
    if (offset >= subject_.size()) return kNotFound;
    if (found.empty()) return 0;
    const std::string_view subject = subject_;
    while (offset < subject.size()) {
        if (SameBytes(subject.substr(offset, found.size()), found, ignoreCase)) {
            return static_cast<long>(offset);
        }
        if (IsLeadByte(subject[offset])) {
            if (offset + 1 >= subject.size()) return kNotFound;
            offset += 2;
        } else {
            offset += 1;
        }
    }
    return kNotFound;
}

}  // namespace mojing
