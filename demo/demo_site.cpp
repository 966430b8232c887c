#include "demo/demo_site.h"

#include <cstdint>
#include <cstdlib>

#include "batch/audit.h"
#include "platform/file_system.h"
#include "text/code_page_conversion.h"
#include "text/percent_encode.h"

namespace mojing::demo {
namespace {

constexpr std::string_view kSentences[] = {
    "晨雾从山脚慢慢升起，把整座小镇裹进一片灰白。",
    "他推开木门，院子里的桂花已经落了一地。",
    "老掌柜把算盘拨得噼啪作响，却始终没有抬头。",
    "远处传来几声犬吠，随后又归于寂静。",
    "她把信纸折成小小的方块，塞进了袖口。",
    "河面上漂着几盏纸灯，火光在水中轻轻摇晃。",
    "少年握紧手中的木剑，心里默数着对方的脚步。",
    "风从窗缝里钻进来，吹得烛火忽明忽暗。",
    "书架最上层落满了灰，只有一本旧册子像是常被翻动。",
    "集市上人声鼎沸，卖糖人的摊子前挤满了孩子。",
    "雨下了整整一夜，到天亮时才渐渐停歇。",
    "师父说过，剑快不如心定。",
    "他在地图上画了一个圈，那是明天要去的地方。",
    "茶已经凉了，可谁也没有起身去添水。",
    "山道尽头有一座破庙，檐角挂着生锈的铜铃。",
    "她笑了笑，没有回答，只是把灯芯挑亮了一些。",
    "马车在石板路上颠簸，车轮声一下一下敲在心上。",
    "城墙上的旗帜被风扯得猎猎作响。",
    "他忽然想起小时候在河边捉鱼的那个夏天。",
    "夜色渐深，街上的灯笼一盏接一盏熄灭。",
    "掌心的伤口还在隐隐作痛，他却顾不上了。",
    "那只白猫蹲在墙头，冷冷地看着院中的一切。",
    "账本上的数字对不上，少了整整三十两银子。",
    "钟声从山顶传来，惊起了一群栖鸟。",
};

constexpr std::string_view kChapterNames[] = {
    "初到小镇", "旧书铺", "雨夜来客", "山中古庙", "集市风波", "灯下长谈",
    "远行",     "渡口",   "故人",     "迷雾",     "归途",     "尾声",
};

constexpr int kChapters = 24;
constexpr int kParagraphsPerChapter = 12;

// Where each title's book lives on the download server; a fallback title's book page gives
// the normal mode "<a>/<b>" and the proxy mode "<a>".
struct Placement {
    std::string_view textPage;
    std::string_view bookDirectory;
    std::string_view bookNumber;
};
constexpr Placement kPlacements[] = {
    {"1001", "", ""}, {"1002", "", ""}, {"", "27", "2701"}, {"", "31", "3105"}, {"", "", ""},
};

// A small linear congruential generator: the books need variety, not randomness.
class Picker {
  public:
    explicit Picker(std::string_view seed) {
        for (unsigned char byte : seed) state_ = state_ * 131 + byte;
    }
    std::size_t Next(std::size_t bound) {
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return static_cast<std::size_t>(state_ >> 33) % bound;
    }

  private:
    std::uint64_t state_ = 1469598103934665603u;
};

std::string ResultPage(std::string_view title, std::string_view novelSiteHost,
                       const Placement& placement, DemoTitle::Result result) {
    const std::string t(title);
    const std::string cite = "<p class=\"res-linkinfo\"><cite>" + std::string(novelSiteHost);
    switch (result) {
        case DemoTitle::Result::TextPage:
            return "<html><body><h3><a href=\"#\"><em>" + t + "</em>全文阅读</a></h3>\n" + cite +
                   "/text/" + std::string(placement.textPage) +
                   ".html</cite></p>\n</body></html>\n";
        case DemoTitle::Result::Fallback:
            return "<html><body><h3><a href=\"#\"><em>" + t +
                   "</em>最新章节</a></h3>\n<p>最新章节,<em>" + t + "</em> 笔下文学</p>\n" + cite +
                   "/b/" + std::string(placement.bookDirectory) + "/" +
                   std::string(placement.bookNumber) + "/index.html</cite></p>\n</body></html>\n";
        case DemoTitle::Result::None:
            break;
    }
    return "<html><body><p>没有找到与“" + t + "”相关的结果。</p></body></html>\n";
}

void SetHost(const char* variable, const std::string& value) { setenv(variable, value.c_str(), 1); }

}  // namespace

const std::vector<DemoTitle>& DemoTitles() {
    static const std::vector<DemoTitle> titles = {
        {"墨海听潮", DemoTitle::Result::TextPage}, {"青灯夜读", DemoTitle::Result::TextPage},
        {"云岭书声", DemoTitle::Result::Fallback}, {"北窗寒梅", DemoTitle::Result::Fallback},
        {"无名残卷", DemoTitle::Result::None},
    };
    return titles;
}

std::string SampleBook(std::string_view titleUtf8) {
    Picker picker(titleUtf8);
    std::string book = std::string(titleUtf8) + "\r\n\r\n";
    for (int chapter = 1; chapter <= kChapters; ++chapter) {
        book += "第" + std::to_string(chapter) + "章 " +
                std::string(kChapterNames[picker.Next(std::size(kChapterNames))]) + "\r\n";
        for (int paragraph = 0; paragraph < kParagraphsPerChapter; ++paragraph) {
            book += "　　";
            const std::size_t sentences = 2 + picker.Next(3);
            for (std::size_t i = 0; i < sentences; ++i) {
                book += kSentences[picker.Next(std::size(kSentences))];
            }
            book += "\r\n";
        }
    }
    book += "（全书完）\r\n";
    return Utf8ToGbk(book);
}

void FillDemoSite(SampleSite& site, std::string_view novelSiteHost) {
    const auto& titles = DemoTitles();
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const DemoTitle& title = titles[i];
        const Placement& placement = kPlacements[i];
        site.SetResultPage(PercentEncode(Utf8ToGbk(title.utf8)),
                           ResultPage(title.utf8, novelSiteHost, placement, title.result));
        const std::string book = SampleBook(title.utf8);
        if (!placement.textPage.empty()) site.SetBook(std::string(placement.textPage), book);
        if (!placement.bookDirectory.empty()) {
            site.SetBook(
                std::string(placement.bookDirectory) + "/" + std::string(placement.bookNumber),
                book);
            site.SetBook(std::string(placement.bookDirectory), book);
        }
    }
}

bool PrepareDemoFolder(std::string_view folder) {
    if (!platform::MakeDirectories(folder)) return false;
    const std::string prefix = std::string(folder) + "/";
    std::string list;
    for (const DemoTitle& title : DemoTitles()) {
        const std::string gbk = Utf8ToGbk(title.utf8);
        platform::DeleteFile(prefix + gbk + ".txt");
        list += gbk + "\r\n";
    }
    platform::DeleteFile(prefix + FailureListName());
    const std::string listName = Utf8ToGbk("小说名.txt");
    return platform::CreateAlwaysAndWrite(
        prefix + listName, {reinterpret_cast<const unsigned char*>(list.data()), list.size()},
        0644);
}

DemoSite::DemoSite() {
    const std::string host = site_.Host();
    FillDemoSite(site_, host);
    SetHost("MOJING_SEARCH_HOST", host);
    SetHost("MOJING_SEARCH_SOURCE_TAG", "demo");
    SetHost("MOJING_NOVEL_SITE_HOST", host);
    SetHost("MOJING_DOWNLOAD_HOST", host);
}

}  // namespace mojing::demo
