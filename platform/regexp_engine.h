#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The regular-expression component that the regex object drives. Its members are reached by
// name, as a late-bound caller reaches them: a member the engine lacks ("Singleline") makes the
// call fail and changes nothing. Patterns follow JavaScript (ECMAScript 3): lazy groups, '.'
// never matching a line feed, '^' and '$' at line ends only with Multiline, unset groups empty.
// Positions count UTF-16 units from 0.
namespace mojing::platform {

class RegExpSubMatches {
public:
    long Count() const;
    // Item from 0; nothing when out of range. A group that took no part reads as empty.
    std::optional<std::u16string> Item(long index) const;

    std::vector<std::u16string> values;
};

class RegExpMatch {
public:
    const std::u16string& Value() const { return value; }
    long FirstIndex() const { return firstIndex; }
    const RegExpSubMatches& SubMatches() const { return subMatches; }

    std::u16string value;
    long firstIndex = 0;
    RegExpSubMatches subMatches;
};

class RegExpMatchCollection {
public:
    long Count() const;
    // Item from 0; null when out of range.
    std::shared_ptr<const RegExpMatch> Item(long index) const;

    std::vector<std::shared_ptr<const RegExpMatch>> matches;
};

class RegExpEngine {
public:
    // Null when the component cannot be made.
    static std::shared_ptr<RegExpEngine> Create();

    RegExpEngine();
    ~RegExpEngine();
    RegExpEngine(const RegExpEngine&) = delete;
    RegExpEngine& operator=(const RegExpEngine&) = delete;

    // Logical properties: "IgnoreCase", "Multiline", "Global".
    bool PutBool(std::string_view member, bool value);
    std::optional<bool> GetBool(std::string_view member) const;
    // Text property: "Pattern".
    bool PutText(std::string_view member, std::u16string_view value);
    std::optional<std::u16string> GetText(std::string_view member) const;

    // Every match in order with Global, the first without; null when the pattern is rejected.
    std::shared_ptr<const RegExpMatchCollection> Execute(std::u16string_view subject) const;
    // The replacement's "$1".."$99", "$&", "$`", "$'" and "$$" as JavaScript reads them;
    // nothing when the pattern is rejected.
    std::optional<std::u16string> Replace(std::u16string_view source,
                                          std::u16string_view replacement) const;

private:
    struct Compiled;
    const Compiled* Compile() const;

    bool ignoreCase_ = false;
    bool multiline_ = false;
    bool global_ = false;
    std::u16string pattern_;
    mutable std::unique_ptr<Compiled> compiled_;  // made on first use after a change
};

}  // namespace mojing::platform
