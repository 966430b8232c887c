#include "batch/address_lookup.h"

#include "batch/configured_values.h"
#include "batch/window_interface.h"
#include "platform/http_client.h"
#include "text/code_page_conversion.h"
#include "text/percent_encode.h"
#include "text/regex_object.h"

namespace mojing {
namespace {

const std::string& LatestChapters() {
    static const std::string text = Utf8ToGbk("最新章节");
    return text;
}

const std::string kResultParagraph = "<p class=\"res-linkinfo\"><cite>";

// The first occurrence of needle that begins where a character begins: the scan steps over a
// double-byte character whole, so a match can never start on its second byte.
bool ContainsAtCharacterStart(std::string_view page, std::string_view needle) {
    if (needle.size() > page.size()) return false;
    const std::size_t last = page.size() - needle.size();
    for (std::size_t i = 0; i <= last;) {
        if (page.compare(i, needle.size(), needle) == 0) return true;
        i += static_cast<unsigned char>(page[i]) >= 0x80 ? 2 : 1;
    }
    return false;
}

std::string DownloadAddress(std::string_view identifier) {
    return "http://" + DownloadHost() + "/packdown/fulltxt/" + std::string(identifier) + ".txt";
}

std::string FallbackKey(BatchMode mode, const std::string& title) {
    if (mode == BatchMode::Normal) return "<em>" + title + "</em>" + LatestChapters();
    return LatestChapters() + ",<em>" + title + "</em>";
}

}  // namespace

const std::string& NoAddressText() {
    static const std::string text = Utf8ToGbk("没有搜到正确下载地址");
    return text;
}

std::string SearchAddress(std::string_view title) {
    return "http://" + SearchHost() + "/s?q=" + PercentEncode(title) +
           "&ie=gbk&src=" + SearchSourceTag() + "&site=" + NovelSiteHost() + "&rg=1";
}

std::string AddressFromPage(BatchMode mode, std::string_view page,
                            const std::function<std::string()>& readTitle, RegexObject& regex) {
    const std::string site = NovelSiteHost();
    if (ContainsAtCharacterStart(page, kResultParagraph + site + "/text/")) {
        regex.Create(kResultParagraph + site + "/text/(.*?).html</cite>", page);
        return DownloadAddress(regex.GetSubMatchText(1, 1));
    }
    if (ContainsAtCharacterStart(page, FallbackKey(mode, readTitle()))) {
        regex.Create(kResultParagraph + site + "/b/(.*?)/(.*?)/(.*?).html</cite>", page);
        if (mode == BatchMode::Normal) {
            return DownloadAddress(regex.GetSubMatchText(1, 1) + "/" + regex.GetSubMatchText(1, 2));
        }
        return DownloadAddress(regex.GetSubMatchText(1, 1));
    }
    return NoAddressText();
}

std::string LookUpDownloadAddress(BatchMode mode, RegexObject& regex, WindowInterface& window) {
    const std::string body = platform::HttpGet(SearchAddress(window.GetText(EditBox::编辑框1)));
    const std::string page = Utf8ToGbk(std::string_view(body.c_str()));  // up to the first NUL
    return AddressFromPage(
        mode, page, [&window] { return window.GetText(EditBox::编辑框1); }, regex);
}

}  // namespace mojing
