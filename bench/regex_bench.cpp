// The address lookup's text-page pattern over a 1 MB result page. Ours is the regex object as the
// lookup calls it: Create over the GBK page (converted inside to UTF-16), then the first group of
// the first match. Beside it std::wregex (ECMAScript, case ignored) over the page already wide,
// both for the first match only (std::regex_search) and for every match (std::wsregex_iterator
// over the whole page), which is the work Create does, as the lookup searches with Global on.
// Each is repeated and the medians compared; the machine may be shared, so the ratios are given
// from CPU time and from wall-clock time.

#include "platform/code_page.h"
#include "platform/regexp_engine.h"
#include "text/code_page_conversion.h"
#include "text/regex_object.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char kTextPagePattern[] =
    "<p class=\"res-linkinfo\"><cite>www.bixia.example/text/(.*?).html</cite>";
constexpr wchar_t kTextPagePatternWide[] =
    L"<p class=\"res-linkinfo\"><cite>www.bixia.example/text/(.*?).html</cite>";
constexpr size_t kPageSize = 1 << 20;

// Deterministic filler so that every run sees the same page.
class Filler {
  public:
    uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    std::string Hanzi(size_t count) {
        // Common characters, three UTF-8 bytes each.
        static const std::string kChars =
            "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同"
            "工也能下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理"
            "起小物现实加量都两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义"
            "事平形相全表间样与关各重新线内数正心反你明看原又么利比或但质气第向道命此变条只没结";
        std::string out;
        for (size_t i = 0; i < count; ++i)
            out += kChars.substr(Next() % (kChars.size() / 3) * 3, 3);
        return out;
    }
    std::string Word() {
        std::string out;
        for (uint32_t n = 3 + Next() % 8; n > 0; --n) out += static_cast<char>('a' + Next() % 26);
        return out;
    }

  private:
    uint32_t state_ = 20240601;
};

enum class Layout { kFirstHitAfterHead, kCutShort };

// Pieces in order (a braced list fixes the order in which the filler is drawn).
void Add(std::string& out, std::initializer_list<std::string_view> pieces) {
    for (std::string_view piece : pieces) out += piece;
}

// A search result page in UTF-8: inline styles and scripts in the head (a quarter of the page),
// ten results, then the deferred scripts and page data that make up the rest. The text-page
// result is the second; with kCutShort its shown address is cut before ".html</cite>", as the
// search engine shortens long addresses, so the pattern has no match anywhere.
std::string ResultPage(Layout layout) {
    Filler fill;
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">\n"
        "<title>墨鲸传 - 搜索结果</title>\n<style>\n";
    while (page.size() < kPageSize / 8) {
        Add(page,
            {".s-", fill.Word(), "{margin:0 ", std::to_string(fill.Next() % 20), "px;color:#",
             std::to_string(100000 + fill.Next() % 800000), ";font:13px/1.5 arial,sans-serif}\n"});
    }
    page += "</style>\n<script>";
    while (page.size() < kPageSize / 4) {
        // Minified script: long lines.
        std::string line;
        while (line.size() < 4000) {
            Add(line, {"var ", fill.Word(), "=function(e,t){return e&&e.", fill.Word(), "(t,\"",
                       fill.Word(), "\")||{};};"});
        }
        Add(page, {line, "\n"});
    }
    page +=
        "</script></head>\n<body>\n<div id=\"header\"><form action=\"/s\"><input name=\"q\" "
        "value=\"墨鲸传\"></form></div>\n<div id=\"main\"><ul class=\"result\">\n";
    for (int result = 1; result <= 10; ++result) {
        const std::string id = std::to_string(1000 + fill.Next() % 90000);
        std::string shown;
        if (result != 2) {
            Add(shown, {"www.bixia.example/b/", std::to_string(result), "/", id, "/index.html"});
        } else {
            Add(shown,
                {"www.bixia.example/text/", id, layout == Layout::kCutShort ? "..." : ".html"});
        }
        Add(page, {"<li class=\"res-list\"><h3 class=\"res-title\"><a href=\"http://", shown,
                   "\" target=\"_blank\"><em>墨鲸传</em>最新章节_", fill.Hanzi(12),
                   "_笔下文学</a></h3>\n<p class=\"res-desc\">", fill.Hanzi(60), "<em>墨鲸传</em>",
                   fill.Hanzi(80), "</p>\n<p class=\"res-linkinfo\"><cite>", shown,
                   "</cite> - <a href=\"http://cache.example/c?m=", fill.Word(),
                   "\" class=\"m\">快照</a></p></li>\n"});
    }
    page += "</ul>\n<div id=\"rs\">相关搜索：";
    for (int i = 0; i < 10; ++i) {
        Add(page, {"<a href=\"/s?q=", fill.Word(), "\">", fill.Hanzi(6), "</a> "});
    }
    page += "</div></div>\n<script>window.__DATA__={";
    while (page.size() < kPageSize - 100) {
        Add(page, {"\"", fill.Word(), "\":{\"t\":\"", fill.Hanzi(10), "\",\"u\":\"/s?q=",
                   fill.Word(), "\",\"n\":", std::to_string(fill.Next() % 1000), "},\n"});
    }
    page += "\"end\":0};</script>\n</body></html>\n";
    return page;
}

struct Page {
    std::string gbk;
    std::wstring wide;
};

const Page& GetPage(Layout layout) {
    static std::map<Layout, Page> pages;
    auto [it, added] = pages.try_emplace(layout);
    if (added) {
        const std::string utf8 = ResultPage(layout);
        it->second.gbk = mojing::Utf8ToGbk(utf8);
        const int units =
            mojing::platform::MultiByteToWideChar(mojing::platform::kUtf8CodePage, 0, utf8.data(),
                                                  static_cast<int>(utf8.size()), nullptr, 0);
        std::u16string utf16(static_cast<size_t>(units), u'\0');
        mojing::platform::MultiByteToWideChar(mojing::platform::kUtf8CodePage, 0, utf8.data(),
                                              static_cast<int>(utf8.size()), utf16.data(), units);
        it->second.wide.assign(utf16.begin(), utf16.end());  // the page has no astral characters
    }
    return it->second;
}

void RegexObjectCreate(benchmark::State& state, Layout layout) {
    const Page& page = GetPage(layout);
    mojing::RegexObject regex;
    std::string id;
    for (auto _ : state) {
        regex.Create(kTextPagePattern, page.gbk);
        id = regex.GetSubMatchText(1, 1);
        benchmark::DoNotOptimize(id);
    }
    state.SetLabel("id=" + id + ", page " + std::to_string(page.gbk.size()) + " GBK bytes");
}

// The engine alone over the page already in UTF-16: what the search costs without the
// conversions at the object's edge.
void EngineExecute(benchmark::State& state, Layout layout) {
    const Page& page = GetPage(layout);
    const std::u16string subject(page.wide.begin(), page.wide.end());
    long count = 0;
    for (auto _ : state) {
        const auto engine = mojing::platform::RegExpEngine::Create();
        engine->PutBool("IgnoreCase", true);
        engine->PutBool("Multiline", true);
        engine->PutBool("Global", true);
        engine->PutText("Pattern", std::u16string(std::begin(kTextPagePatternWide),
                                                  std::end(kTextPagePatternWide) - 1));
        const auto matches = engine->Execute(subject);
        count = matches ? matches->Count() : -1;
        benchmark::DoNotOptimize(count);
    }
    state.SetLabel(std::to_string(count) + " match(es)");
}

void StdWregexFirst(benchmark::State& state, Layout layout) {
    const Page& page = GetPage(layout);
    const std::wregex pattern(kTextPagePatternWide, std::regex::ECMAScript | std::regex::icase);
    std::wstring id;
    for (auto _ : state) {
        std::wsmatch match;
        id = std::regex_search(page.wide, match, pattern) ? match[1].str() : std::wstring();
        benchmark::DoNotOptimize(id);
    }
    state.SetLabel("id=" + std::string(id.begin(), id.end()) + ", page " +
                   std::to_string(page.wide.size()) + " characters");
}

void StdWregexAll(benchmark::State& state, Layout layout) {
    const Page& page = GetPage(layout);
    const std::wregex pattern(kTextPagePatternWide, std::regex::ECMAScript | std::regex::icase);
    std::wstring id;
    long count = 0;
    for (auto _ : state) {
        id.clear();
        count = 0;
        for (std::wsregex_iterator it(page.wide.begin(), page.wide.end(), pattern), end; it != end;
             ++it) {
            if (count++ == 0) id = (*it)[1].str();
        }
        benchmark::DoNotOptimize(id);
    }
    state.SetLabel("id=" + std::string(id.begin(), id.end()) + ", " + std::to_string(count) +
                   " match(es)");
}

struct Times {
    double cpu = 0;
    double real = 0;
};

// Prints as usual and keeps each benchmark's median times, for the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                !run.error_occurred) {
                medians[run.run_name.function_name] = {run.GetAdjustedCPUTime(),
                                                       run.GetAdjustedRealTime()};
            }
        }
    }
    std::map<std::string, Times> medians;
};

}  // namespace

int main(int argc, char** argv) {
    const std::pair<const char*, Layout> layouts[] = {
        {"first_hit_after_head", Layout::kFirstHitAfterHead},
        {"cut_short_no_match", Layout::kCutShort}};
    const std::pair<const char*, void (*)(benchmark::State&, Layout)> kinds[] = {
        {"RegexObject/", RegexObjectCreate},
        {"EngineOnly/", EngineExecute},
        {"StdWregexFirst/", StdWregexFirst},
        {"StdWregexAll/", StdWregexAll}};
    for (const auto& [name, layout] : layouts) {
        for (const auto& [kind, function] : kinds) {
            benchmark::RegisterBenchmark((std::string(kind) + name).c_str(), function, layout)
                ->Unit(benchmark::kMillisecond)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nMedians of 5 runs, ms; ratio = std::wregex time / ours.\n");
    std::printf("%-22s %-5s %9s %9s %12s %7s %12s %7s\n", "page", "clock", "ours", "engine",
                "wregex 1st", "ratio", "wregex all", "ratio");
    for (const auto& [name, layout] : layouts) {
        const auto times = [&](const char* kind) {
            const auto found = reporter.medians.find(std::string(kind) + name);
            return found == reporter.medians.end() ? Times() : found->second;
        };
        const Times ours = times("RegexObject/");
        const Times engine = times("EngineOnly/");
        const Times first = times("StdWregexFirst/");
        const Times all = times("StdWregexAll/");
        for (const bool cpu : {true, false}) {
            const auto pick = [cpu](const Times& t) { return cpu ? t.cpu : t.real; };
            if (pick(ours) <= 0) continue;
            std::printf("%-22s %-5s %9.3f %9.3f %12.3f %6.1fx %12.3f %6.1fx\n", name,
                        cpu ? "cpu" : "wall", pick(ours), pick(engine), pick(first),
                        pick(first) / pick(ours), pick(all), pick(all) / pick(ours));
        }
    }
    return 0;
}
