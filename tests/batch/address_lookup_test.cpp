#include "batch/address_lookup.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "batch/window_interface.h"
#include "tests/fakes/recording_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"
#include "text/percent_encode.h"
#include "text/regex_object.h"

namespace mojing {
namespace {

using test::Gbk;

constexpr const char* kSite = "www.bixia.example";

std::string TextResult(const std::string& id) {
    return "<p class=\"res-linkinfo\"><cite>" + std::string(kSite) + "/text/" + id +
           ".html</cite> - 快照</p>\n";
}

std::string BookResult(const std::string& a, const std::string& b, const std::string& c) {
    return "<p class=\"res-linkinfo\"><cite>" + std::string(kSite) + "/b/" + a + "/" + b + "/" + c +
           ".html</cite></p>\n";
}

// A loopback port that nothing listens on.
int UnusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class AddressLookup : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("MOJING_NOVEL_SITE_HOST", kSite, 1);
        setenv("MOJING_DOWNLOAD_HOST", "down.example", 1);
        setenv("MOJING_SEARCH_SOURCE_TAG", "srp", 1);
    }
    static std::string Address(const std::string& id) {
        return "http://down.example/packdown/fulltxt/" + id + ".txt";
    }
};

struct PageCase {
    const char* name;
    BatchMode mode;
    std::string pageUtf8;
    std::string expected;  // empty: NoAddressText
};

TEST_F(AddressLookup, PagesGiveTheAddressOfTheirFirstFittingResult) {
    const std::string normalKey = "<em>吞噬星空</em>最新章节";
    const std::string proxyKey = "最新章节,<em>吞噬星空</em>";
    const std::string marker = "<p class=\"res-linkinfo\"><cite>" + std::string(kSite) + "/text/";
    const PageCase cases[] = {
        {"text page", BatchMode::Normal, "<html>" + TextResult("12345") + "</html>",
         Address("12345")},
        {"text page in proxy mode", BatchMode::Proxy, TextResult("12345"), Address("12345")},
        {"first of several results", BatchMode::Normal, TextResult("first") + TextResult("second"),
         Address("first")},
        {"book page, normal mode joins two parts", BatchMode::Normal,
         normalKey + BookResult("A", "B", "C"), Address("A/B")},
        {"book page, proxy mode takes the first part", BatchMode::Proxy,
         proxyKey + BookResult("A", "B", "C"), Address("A")},
        {"proxy key does not count in normal mode", BatchMode::Normal,
         proxyKey + BookResult("A", "B", "C"), ""},
        {"normal key does not count in proxy mode", BatchMode::Proxy,
         normalKey + BookResult("A", "B", "C"), ""},
        {"marker in other letter case is not found", BatchMode::Normal,
         "<P CLASS=\"res-linkinfo\"><cite>" + std::string(kSite) + "/text/1.html</cite>", ""},
        {"once the marker is found the pattern ignores case", BatchMode::Normal,
         marker + "cut short\n<P CLASS=\"RES-LINKINFO\"><CITE>" + kSite + "/TEXT/77.HTML</CITE>",
         Address("77")},
        {"marker without a full address gives an empty identifier", BatchMode::Normal,
         marker + "cut short", Address("")},
        {"'.' in the host is any character", BatchMode::Normal,
         "<p class=\"res-linkinfo\"><cite>wwwXbixia.example/text/1.html</cite>" + marker,
         Address("1")},
        {"a result never spans lines", BatchMode::Normal, marker + "1\n.html</cite>", Address("")},
        {"no result at all", BatchMode::Normal, "<html>nothing here</html>", ""},
        {"empty page", BatchMode::Proxy, "", ""},
    };
    for (const PageCase& c : cases) {
        RegexObject regex;
        const std::string address = AddressFromPage(
            c.mode, Gbk(c.pageUtf8), [] { return Gbk("吞噬星空"); }, regex);
        EXPECT_EQ(address, c.expected.empty() ? NoAddressText() : c.expected) << c.name;
    }
}

TEST_F(AddressLookup, MarkerCountsOnlyWhereACharacterStarts) {
    const std::string marker = "<p class=\"res-linkinfo\"><cite>" + std::string(kSite) + "/text/";
    RegexObject regex;
    // B0 and '<' form one character, so the marker's '<' is a second byte.
    const std::string shifted = "\xB0" + marker + "1.html</cite>";
    EXPECT_EQ(AddressFromPage(
                  BatchMode::Normal, shifted, [] { return std::string(); }, regex),
              NoAddressText());
    const std::string aligned = "\xB0\xA1" + marker + "1.html</cite>";
    EXPECT_EQ(AddressFromPage(
                  BatchMode::Normal, aligned, [] { return std::string(); }, regex),
              Address("1"));
}

TEST_F(AddressLookup, FallbackKeyIsBuiltFromTheTitleReadAfterThePage) {
    RegexObject regex;
    int reads = 0;
    const std::string page = Gbk("<em>星辰变</em>最新章节" + BookResult("9", "8", "7"));
    EXPECT_EQ(AddressFromPage(
                  BatchMode::Normal, page,
                  [&] {
                      ++reads;
                      return Gbk("星辰变");
                  },
                  regex),
              Address("9/8"));
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(AddressFromPage(
                  BatchMode::Normal, Gbk(TextResult("5")),
                  [&] {
                      ++reads;
                      return std::string();
                  },
                  regex),
              Address("5"));
    EXPECT_EQ(reads, 1) << "a text-page hit needs no title";
}

class AddressLookupOverHttp : public AddressLookup {
  protected:
    void SetUp() override {
        AddressLookup::SetUp();
        setenv("MOJING_SEARCH_HOST", site.Host().c_str(), 1);
        unsetenv("http_proxy");
    }
    std::string LookUp(BatchMode mode, const std::string& titleUtf8) {
        window.Preset(EditBox::编辑框1, Gbk(titleUtf8));
        RegexObject regex;
        return LookUpDownloadAddress(mode, regex, window);
    }
    test::TestSite site;
    test::RecordingWindow window;
};

TEST_F(AddressLookupOverHttp, RequestHasTheClientsExactShape) {
    site.SetResultPage("%D0%A1%CB%B5", TextResult("42"));
    EXPECT_EQ(LookUp(BatchMode::Normal, "小说"), Address("42"));
    const auto requests = site.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.target,
              "/s?q=%D0%A1%CB%B5&ie=gbk&src=srp&site=" + std::string(kSite) + "&rg=1");
    EXPECT_EQ(request.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(request.Header("Accept"), "*/*");
    EXPECT_EQ(request.Header("Pragma"), "no-cache");
}

TEST_F(AddressLookupOverHttp, ErrorStatusBodyIsReadLikeAnyPage) {
    site.SetResultPage(PercentEncode(Gbk("吞噬星空")), TextResult("404ok"), 404);
    EXPECT_EQ(LookUp(BatchMode::Normal, "吞噬星空"), Address("404ok"));
}

TEST_F(AddressLookupOverHttp, PageEndsAtTheFirstNul) {
    site.SetResultPage(PercentEncode(Gbk("吞噬星空")),
                       std::string("<html>\0", 7) + TextResult("hidden"));
    EXPECT_EQ(LookUp(BatchMode::Normal, "吞噬星空"), NoAddressText());
}

TEST_F(AddressLookupOverHttp, FallbackWorksOverHttpInBothModes) {
    const std::string query = PercentEncode(Gbk("吞噬星空"));
    site.SetResultPage(
        query, "<em>吞噬星空</em>最新章节 最新章节,<em>吞噬星空</em>" + BookResult("3", "4", "5"));
    EXPECT_EQ(LookUp(BatchMode::Normal, "吞噬星空"), Address("3/4"));
    EXPECT_EQ(LookUp(BatchMode::Proxy, "吞噬星空"), Address("3"));
}

TEST_F(AddressLookupOverHttp, EmptyTitleSearchesWithAnEmptyQuery) {
    site.SetResultPage("", TextResult("blank"));
    EXPECT_EQ(LookUp(BatchMode::Normal, ""), Address("blank"));
    ASSERT_EQ(site.Requests().size(), 1u);
    EXPECT_EQ(site.Requests()[0].target.rfind("/s?q=&ie=gbk", 0), 0u);
}

TEST_F(AddressLookup, UnreachableServerGivesNoAddress) {
    setenv("MOJING_SEARCH_HOST", ("127.0.0.1:" + std::to_string(UnusedPort())).c_str(), 1);
    test::RecordingWindow window;
    window.Preset(EditBox::编辑框1, Gbk("吞噬星空"));
    RegexObject regex;
    EXPECT_EQ(LookUpDownloadAddress(BatchMode::Normal, regex, window), NoAddressText());
}

TEST(SearchAddress, EscapesEveryByteOfTheGbkTitle) {
    setenv("MOJING_SEARCH_HOST", "so.example", 1);
    setenv("MOJING_SEARCH_SOURCE_TAG", "tag", 1);
    setenv("MOJING_NOVEL_SITE_HOST", "novel.example", 1);
    EXPECT_EQ(SearchAddress(Gbk("小说")),
              "http://so.example/s?q=%D0%A1%CB%B5&ie=gbk&src=tag&site=novel.example&rg=1");
    EXPECT_EQ(SearchAddress("a b"),
              "http://so.example/s?q=%61%20%62&ie=gbk&src=tag&site=novel.example&rg=1");
}

}  // namespace
}  // namespace mojing
