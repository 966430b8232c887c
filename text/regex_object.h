#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace mojing {

namespace platform {
class RegExpEngine;
class RegExpMatchCollection;
}  // namespace platform

// The program's regular-expression object: an engine, the matches of its last search and a
// copy of the searched text, so that matches and groups can be read afterwards. Texts are GBK.
// Matches and groups are numbered from 1. Failures give empty text, 0 or false.
class RegexObject {
public:
    RegexObject();
    ~RegexObject();
    RegexObject(const RegexObject&) = delete;
    RegexObject& operator=(const RegexObject&) = delete;

    // The operations in the order of the class's operation table.
    void Destroy();
    std::unique_ptr<RegexObject> Clone() const;
    bool Create(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
                bool multiline = true, bool global = true, bool expandQuoteMarker = false);
    void Placeholder();
    std::string GetPattern() const;
    std::string ReplaceMatches(std::string_view replacement = {}) const;
    long GetMatchCount() const;
    // startPos, when given, receives the match's 0-based byte offset in the searched text, or
    // -2 when the position search finds nothing.
    std::string GetMatchText(long matchIndex, long* startPos = nullptr) const;
    std::string GetSubMatchText(long matchIndex, long subMatchIndex,
                                long* startPos = nullptr) const;
    long GetSubMatchCount() const;

private:
    struct CloneTag {};
    explicit RegexObject(CloneTag);
    long PositionOf(std::string_view found, long firstIndex) const;
    void SetEngineSubject(std::string_view subject);
    std::u16string_view EngineSubject() const;

    std::shared_ptr<platform::RegExpEngine> engine_;
    std::shared_ptr<const platform::RegExpMatchCollection> matches_;
    std::string subject_;
    // subject_ as the engine reads it, for ReplaceMatches; each Create reuses the buffer, which
    // is left uninitialised beyond the length.
    std::unique_ptr<char16_t[]> engineSubject_;
    size_t engineSubjectLength_ = 0;
    size_t engineSubjectCapacity_ = 0;
    bool initialisedCom_ = false;  // a clone does not initialise, so it does not uninitialise
    bool destroyed_ = false;
};

}  // namespace mojing
