#include "platform/regexp_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <cstdint>

namespace mojing::platform {

namespace {

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
using CodePtr = std::unique_ptr<pcre2_code, CodeDeleter>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;
using CompileContextPtr = std::unique_ptr<pcre2_compile_context, CompileContextDeleter>;

PCRE2_SPTR Units(std::u16string_view text) { return reinterpret_cast<PCRE2_SPTR>(text.data()); }

// Members are found by name the way a late-bound caller finds them: without regard to case.
bool IsMember(std::string_view asked, std::string_view member) {
    return std::equal(asked.begin(), asked.end(), member.begin(), member.end(), [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    });
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Where the next search starts after an empty match at offset: one unit on, or past the whole
// pair when a surrogate pair starts there (a search may not begin inside a character).
PCRE2_SIZE StepPast(std::u16string_view subject, PCRE2_SIZE offset) {
    if (offset + 1 < subject.size() && IsHighSurrogate(subject[offset]) &&
        IsLowSurrogate(subject[offset + 1])) {
        return offset + 2;
    }
    return offset + 1;
}

// Calls onMatch with the offset vector of each match in order (only the first unless global).
// False when matching itself failed (a resource limit), so that a partial list is never
// taken for the whole.
template <typename OnMatch>
bool ForEachMatch(const pcre2_code* code, std::u16string_view subject, bool global,
                  OnMatch&& onMatch) {
    const MatchDataPtr data(pcre2_match_data_create_from_pattern(code, nullptr));
    if (!data) return false;
    PCRE2_SIZE start = 0;
    while (start <= subject.size()) {
        int rc = pcre2_match(code, Units(subject), subject.size(), start, 0, data.get(), nullptr);
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
            // The interpreter keeps its backtracking on the heap and goes deeper.
            rc = pcre2_match(code, Units(subject), subject.size(), start, PCRE2_NO_JIT, data.get(),
                             nullptr);
        }
        if (rc == PCRE2_ERROR_NOMATCH) return true;
        if (rc < 0) return false;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        onMatch(ovector, pcre2_get_ovector_count(data.get()));
        if (!global) return true;
        start = ovector[1] > ovector[0] ? ovector[1] : StepPast(subject, ovector[1]);
    }
    return true;
}

std::u16string Group(std::u16string_view subject, const PCRE2_SIZE* ovector, uint32_t pairs,
                     uint32_t group) {
    if (group >= pairs || ovector[2 * group] == PCRE2_UNSET) return {};
    return std::u16string(
        subject.substr(ovector[2 * group], ovector[2 * group + 1] - ovector[2 * group]));
}

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// Appends the replacement for one match: "$$", "$&", "$`", "$'" and "$n"/"$nn", where two digits
// are read as one group number only when that group exists, else as "$n" and a literal digit.
// Anything else, a lone "$" included, stands for itself.
void AppendReplacement(std::u16string& out, std::u16string_view replacement,
                       std::u16string_view source, const PCRE2_SIZE* ovector, uint32_t pairs,
                       uint32_t groupCount) {
    for (size_t i = 0; i < replacement.size(); ++i) {
        const char16_t unit = replacement[i];
        if (unit != u'$' || i + 1 == replacement.size()) {
            out.push_back(unit);
            continue;
        }
        const char16_t next = replacement[i + 1];
        if (next == u'$') {
            out.push_back(u'$');
            ++i;
        } else if (next == u'&') {
            out.append(source.substr(ovector[0], ovector[1] - ovector[0]));
            ++i;
        } else if (next == u'`') {
            out.append(source.substr(0, ovector[0]));
            ++i;
        } else if (next == u'\'') {
            out.append(source.substr(ovector[1]));
            ++i;
        } else if (IsDigit(next)) {
            uint32_t group = next - u'0';
            size_t digits = 1;
            if (i + 2 < replacement.size() && IsDigit(replacement[i + 2])) {
                const uint32_t twoDigits = group * 10 + (replacement[i + 2] - u'0');
                if (twoDigits <= groupCount) {
                    group = twoDigits;
                    digits = 2;
                }
            }
            if (group >= 1 && group <= groupCount) {
                out.append(Group(source, ovector, pairs, group));
            } else {
                out.append(replacement.substr(i, 1 + digits));
            }
            i += digits;
        } else {
            out.push_back(u'$');
        }
    }
}

}  // namespace

long RegExpSubMatches::Count() const { return static_cast<long>(values.size()); }

std::optional<std::u16string> RegExpSubMatches::Item(long index) const {
    if (index < 0 || static_cast<size_t>(index) >= values.size()) return std::nullopt;
    return values[static_cast<size_t>(index)];
}

long RegExpMatchCollection::Count() const { return static_cast<long>(matches.size()); }

std::shared_ptr<const RegExpMatch> RegExpMatchCollection::Item(long index) const {
    if (index < 0 || static_cast<size_t>(index) >= matches.size()) return nullptr;
    return matches[static_cast<size_t>(index)];
}

struct RegExpEngine::Compiled {
    CodePtr code;  // null when the pattern was rejected
    uint32_t groupCount = 0;
};

std::shared_ptr<RegExpEngine> RegExpEngine::Create() { return std::make_shared<RegExpEngine>(); }

RegExpEngine::RegExpEngine() = default;
RegExpEngine::~RegExpEngine() = default;

bool RegExpEngine::PutBool(std::string_view member, bool value) {
    if (IsMember(member, "Global")) {
        global_ = value;  // matching only; the compiled code stays valid
        return true;
    }
    bool* field = IsMember(member, "IgnoreCase")  ? &ignoreCase_
                  : IsMember(member, "Multiline") ? &multiline_
                                                  : nullptr;
    if (field == nullptr) return false;
    if (*field != value) {
        *field = value;
        compiled_.reset();
    }
    return true;
}

std::optional<bool> RegExpEngine::GetBool(std::string_view member) const {
    if (IsMember(member, "IgnoreCase")) return ignoreCase_;
    if (IsMember(member, "Multiline")) return multiline_;
    if (IsMember(member, "Global")) return global_;
    return std::nullopt;
}

bool RegExpEngine::PutText(std::string_view member, std::u16string_view value) {
    if (!IsMember(member, "Pattern")) return false;
    if (pattern_ != value) {
        pattern_ = value;
        compiled_.reset();
    }
    return true;
}

std::optional<std::u16string> RegExpEngine::GetText(std::string_view member) const {
    if (IsMember(member, "Pattern")) return pattern_;
    return std::nullopt;
}

const RegExpEngine::Compiled* RegExpEngine::Compile() const {
    if (!compiled_) {
        compiled_ = std::make_unique<Compiled>();
        // Script-language rules: '$' at the very end only (unless Multiline), a reference to a
        // group that has not been set matches empty, "\uXXXX", "[]" never matches and "[^]"
        // matches anything. Lone surrogates in the subject are passed over, never a failure.
        uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX |
                           PCRE2_DOLLAR_ENDONLY | PCRE2_MATCH_UNSET_BACKREF |
                           PCRE2_ALLOW_EMPTY_CLASS | PCRE2_NEVER_BACKSLASH_C;
        if (ignoreCase_) options |= PCRE2_CASELESS;
        if (multiline_) options |= PCRE2_MULTILINE;
        const CompileContextPtr context(pcre2_compile_context_create(nullptr));
        if (!context) return nullptr;
        // Lines end at CR, LF or CR LF: '.' matches neither, and Multiline's '^' and '$' meet
        // them.
        pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANYCRLF);
        int error = 0;
        PCRE2_SIZE errorOffset = 0;
        compiled_->code.reset(pcre2_compile(Units(pattern_), pattern_.size(), options, &error,
                                            &errorOffset, context.get()));
        if (compiled_->code) {
            pcre2_jit_compile(compiled_->code.get(), PCRE2_JIT_COMPLETE);  // interpreted without
            pcre2_pattern_info(compiled_->code.get(), PCRE2_INFO_CAPTURECOUNT,
                               &compiled_->groupCount);
        }
    }
    return compiled_->code ? compiled_.get() : nullptr;
}

std::shared_ptr<const RegExpMatchCollection> RegExpEngine::Execute(
    std::u16string_view subject) const {
    const Compiled* compiled = Compile();
    if (compiled == nullptr) return nullptr;
    auto collection = std::make_shared<RegExpMatchCollection>();
    const bool ran = ForEachMatch(
        compiled->code.get(), subject, global_, [&](const PCRE2_SIZE* ovector, uint32_t pairs) {
            auto match = std::make_shared<RegExpMatch>();
            match->value = Group(subject, ovector, pairs, 0);
            match->firstIndex = static_cast<long>(ovector[0]);
            match->subMatches.values.reserve(compiled->groupCount);
            for (uint32_t group = 1; group <= compiled->groupCount; ++group) {
                match->subMatches.values.push_back(Group(subject, ovector, pairs, group));
            }
            collection->matches.push_back(std::move(match));
        });
    if (!ran) return nullptr;
    return collection;
}

std::optional<std::u16string> RegExpEngine::Replace(std::u16string_view source,
                                                    std::u16string_view replacement) const {
    const Compiled* compiled = Compile();
    if (compiled == nullptr) return std::nullopt;
    std::u16string result;
    PCRE2_SIZE copied = 0;
    const bool ran = ForEachMatch(
        compiled->code.get(), source, global_, [&](const PCRE2_SIZE* ovector, uint32_t pairs) {
            result.append(source.substr(copied, ovector[0] - copied));
            AppendReplacement(result, replacement, source, ovector, pairs, compiled->groupCount);
            copied = ovector[1];
        });
    if (!ran) return std::nullopt;
    result.append(source.substr(copied));
    return result;
}

}  // namespace mojing::platform
