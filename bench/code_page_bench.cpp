// Conversions of a result page of about 1 MB: HTML markup around mostly Chinese text.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/code_page.h"
#include "text/code_page_conversion.h"

namespace {

constexpr std::size_t kPageBytes = 1 << 20;

constexpr const char* kSentences[] = {
    "墨海行舟是一部玄幻小说，讲述了少年林舟在云海大陆上历经磨难、逆天改命的故事。",
    "最新章节免费阅读，全文无弹窗，手机用户请访问移动版，支持下载全本。",
    "他抬头望着漫天星辰，心中暗暗发誓，总有一天要让那些看不起他的人后悔。",
    "本书已完结，共一千六百二十三章，字数约五百三十万，欢迎收藏与推荐。",
    "作者：青灯夜雨　状态：完本　类别：玄幻魔法　更新时间：二零二三年五月。",
};

// One search result: a linked title, a summary and the address; the number keeps them apart.
std::string ResultBlock(int number) {
    const std::string id = std::to_string(10000 + number);
    std::string block = "<div class=\"result\" id=\"" + std::to_string(number) +
                        "\">\n<h3 class=\"t\"><a href=\"https://www.bixia.example/book/" + id +
                        "/\" target=\"_blank\">第" + std::to_string(number) +
                        "部　墨海行舟_笔下文学</a></h3>\n<div class=\"summary\">";
    for (int i = 0; i < 4; ++i) block += kSentences[(number + i) % 5];
    block += "</div>\n<div class=\"source\"><a class=\"address\">www.bixia.example/book/" + id +
             "/</a> - 网页快照</div>\n</div>\n";
    return block;
}

std::string Utf8Page() {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>墨海行舟 srp "
        "笔下文学_搜索结果</title></head>\n<body><div id=\"results\">\n";
    for (int number = 1; page.size() < kPageBytes; ++number) page += ResultBlock(number);
    return page + "</div></body></html>\n";
}

std::string GbkPage() {
    std::string page = mojing::Utf8ToGbk("<!DOCTYPE html>\n<html><body>\n");
    for (int number = 1; page.size() < kPageBytes; ++number) {
        page += mojing::Utf8ToGbk(ResultBlock(number));
    }
    return page + "</body></html>\n";
}

void Utf8ToGbk(benchmark::State& state) {
    const std::string page = Utf8Page();
    for (auto _ : state) benchmark::DoNotOptimize(mojing::Utf8ToGbk(page));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(Utf8ToGbk)->Unit(benchmark::kMillisecond);

void GbkToUtf8(benchmark::State& state) {
    const std::string page = GbkPage();
    for (auto _ : state) benchmark::DoNotOptimize(mojing::GbkToUtf8(page));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(GbkToUtf8)->Unit(benchmark::kMillisecond);

// The single calls that the two conversions are made of, each over the same page; the bytes
// counted are those of the page, so the figures add up.
template <unsigned kPage>
void MultiByteToWideChar(benchmark::State& state) {
    const std::string page = kPage == mojing::platform::kUtf8CodePage ? Utf8Page() : GbkPage();
    const int length = static_cast<int>(page.size());
    std::u16string units(page.size() + 1, u'\0');
    const bool measure = state.range(0) == 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mojing::platform::MultiByteToWideChar(
            kPage, 0, page.data(), length, measure ? nullptr : units.data(),
            measure ? 0 : static_cast<int>(units.size())));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(MultiByteToWideChar<936>)
    ->ArgName("convert")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(MultiByteToWideChar<65001>)
    ->ArgName("convert")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

template <unsigned kPage>
void WideCharToMultiByte(benchmark::State& state) {
    const std::string page = Utf8Page();
    const std::u16string units =
        mojing::MultiByteToUtf16(mojing::GbkToUtf8(mojing::Utf8ToGbk(page)));
    const int length = static_cast<int>(units.find(u'\0'));
    std::string out(page.size() * 2, '\0');
    const bool measure = state.range(0) == 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mojing::platform::WideCharToMultiByte(
            kPage, 0, units.data(), length, measure ? nullptr : out.data(),
            measure ? 0 : static_cast<int>(out.size()), nullptr, nullptr));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(WideCharToMultiByte<936>)
    ->ArgName("convert")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(WideCharToMultiByte<65001>)
    ->ArgName("convert")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
