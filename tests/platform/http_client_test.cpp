#include "platform/http_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_site.h"

namespace mojing::platform {
namespace {

using test::DroppingServer;
using test::RecordedRequest;
using test::SilentListener;
using test::TestSite;

// Each test runs in a process of its own, so the proxy settings may be changed freely.
class HttpClient : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            unsetenv(name);
        }
    }

    std::string Url(std::string_view target) const {
        return "http://" + site.Host() + std::string(target);
    }

    TestSite site;
};

std::set<std::string> HeaderNames(const RecordedRequest& request) {
    std::set<std::string> names;
    for (const auto& header : request.headers) names.insert(header.first);
    return names;
}

TEST_F(HttpClient, SendsAnHttp10GetWithTheFixedHeaders) {
    site.SetResultPage("%D0%A1%CB%B5", "<p>小说</p>");

    EXPECT_EQ(HttpGet(Url("/s?q=%D0%A1%CB%B5&ie=gbk&src=srp&site=www.bixia.example&rg=1")),
              "<p>小说</p>");

    const auto requests = site.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& request = requests[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.target, "/s?q=%D0%A1%CB%B5&ie=gbk&src=srp&site=www.bixia.example&rg=1");
    EXPECT_FALSE(request.viaProxy);
    EXPECT_EQ(HeaderNames(request),
              (std::set<std::string>{"Accept", "Host", "Pragma", "User-Agent"}));
    EXPECT_EQ(request.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(request.Header("Accept"), "*/*");
    EXPECT_EQ(request.Header("Pragma"), "no-cache");
    EXPECT_EQ(request.Header("Host"), site.Host());
}

TEST_F(HttpClient, SendsThePathAsItStands) {
    for (const std::string target : {"/s?q=%d0%a1%25&x=%2F", "/a/../s?q=a+b", "/./s//x?q=%7E"}) {
        HttpGet(Url(target));
        ASSERT_FALSE(site.Requests().empty());
        EXPECT_EQ(site.Requests().back().target, target);
    }
}

TEST_F(HttpClient, ReturnsTheBodyWhateverTheStatus) {
    site.SetResultPage("gone", "<cite>still a page</cite>", 404);
    site.SetResultPage("broken", "server trouble", 500);
    site.SetResultPage("empty", "", 200);

    EXPECT_EQ(HttpGet(Url("/s?q=gone")), "<cite>still a page</cite>");
    EXPECT_EQ(HttpGet(Url("/s?q=broken")), "server trouble");
    EXPECT_EQ(HttpGet(Url("/s?q=empty")), "");
}

TEST_F(HttpClient, KeepsBytesThatAreNotText) {
    const std::string bytes("a\0b\xff\xfe\r\n\x80", 8);
    site.SetBook("raw", bytes);
    EXPECT_EQ(HttpGet(Url("/packdown/fulltxt/raw.txt")), bytes);
}

TEST_F(HttpClient, FollowsRedirects) {
    TestSite other;
    other.SetResultPage("moved", "the new page");
    site.SetRedirect("/old", "/older");
    site.SetRedirect("/older", "http://" + other.Host() + "/s?q=moved");

    EXPECT_EQ(HttpGet(Url("/old")), "the new page");
    ASSERT_EQ(site.Requests().size(), 2u);
    EXPECT_EQ(site.Requests()[1].target, "/older");
    ASSERT_EQ(other.Requests().size(), 1u);
    EXPECT_EQ(other.Requests()[0].target, "/s?q=moved");
    EXPECT_EQ(other.Requests()[0].version, "HTTP/1.0");
}

TEST_F(HttpClient, ARedirectLoopEnds) {
    site.SetRedirect("/loop", "/loop");

    EXPECT_EQ(HttpGet(Url("/loop")), "");
    EXPECT_GT(site.Requests().size(), 1u);
    EXPECT_LT(site.Requests().size(), 50u);
}

TEST_F(HttpClient, GivesNothingWhenNoRequestCanBeMade) {
    std::string closedPort;
    {
        TestSite gone;
        closedPort = gone.Host();
    }
    for (const std::string& url :
         {"http://" + closedPort + "/s?q=x", std::string("not an address"), std::string("http://"),
          std::string(""), "file://" + std::string("/etc/hostname")}) {
        EXPECT_EQ(HttpGet(url), "") << url;
    }
}

TEST_F(HttpClient, KeepsAtMostTheLimit) {
    std::string book;
    for (int i = 0; book.size() < 300000; ++i) book += std::to_string(i) + ",";
    site.SetBook("long", book);

    for (const std::size_t limit :
         {std::size_t{0}, std::size_t{1}, std::size_t{1000}, book.size() - 1}) {
        HttpLimits limits;
        limits.maxBodyBytes = limit;
        EXPECT_EQ(HttpGet(Url("/packdown/fulltxt/long.txt"), limits), book.substr(0, limit));
    }
    HttpLimits exact;
    exact.maxBodyBytes = book.size();
    EXPECT_EQ(HttpGet(Url("/packdown/fulltxt/long.txt"), exact), book);
}

TEST_F(HttpClient, KeepsWhatArrivedBeforeTheConnectionDropped) {
    DroppingServer server("the first part", 5000);
    EXPECT_EQ(HttpGet("http://" + server.Host() + "/s?q=x"), "the first part");
}

TEST_F(HttpClient, AStalledServerIsLeftAfterTheStallTimeout) {
    SilentListener stalled;
    HttpLimits limits;
    limits.stallTimeout = std::chrono::seconds(1);
    EXPECT_EQ(HttpGet("http://" + stalled.Host() + "/s?q=x", limits), "");
}

TEST_F(HttpClient, ASlowButSteadyServerIsNotAStall) {
    site.SetSlowBook("slow", std::string(2000, 'x'), std::chrono::seconds(2));
    HttpLimits limits;
    limits.stallTimeout = std::chrono::seconds(1);
    EXPECT_EQ(HttpGet(Url("/packdown/fulltxt/slow.txt"), limits), std::string(2000, 'x'));
}

TEST_F(HttpClient, GoesThroughTheProxyOfTheEnvironment) {
    site.SetBook("1/7", "the whole novel");
    ASSERT_EQ(setenv("http_proxy", ("http://" + site.Host()).c_str(), 1), 0);

    EXPECT_EQ(HttpGet("http://novels.invalid/packdown/fulltxt/1/7.txt"), "the whole novel");

    const auto requests = site.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].viaProxy);
    EXPECT_EQ(requests[0].target, "http://novels.invalid/packdown/fulltxt/1/7.txt");
    EXPECT_EQ(requests[0].version, "HTTP/1.0");
    EXPECT_EQ(HeaderNames(requests[0]),
              (std::set<std::string>{"Accept", "Host", "Pragma", "User-Agent"}));
}

TEST_F(HttpClient, LeavesTheProxyOutForHostsInNoProxy) {
    TestSite origin;
    origin.SetResultPage("x", "direct");
    ASSERT_EQ(setenv("http_proxy", ("http://" + site.Host()).c_str(), 1), 0);
    const std::string url = "http://" + origin.Host() + "/s?q=x";

    // Without no_proxy the request goes to the proxy, which cannot reach that origin.
    EXPECT_EQ(HttpGet(url), "");
    ASSERT_EQ(site.Requests().size(), 1u);
    EXPECT_EQ(site.Requests()[0].target, url);
    EXPECT_TRUE(origin.Requests().empty());

    ASSERT_EQ(setenv("no_proxy", "127.0.0.1", 1), 0);
    EXPECT_EQ(HttpGet(url), "direct");
    EXPECT_EQ(site.Requests().size(), 1u);
    ASSERT_EQ(origin.Requests().size(), 1u);
    EXPECT_EQ(origin.Requests()[0].target, "/s?q=x");
}

TEST_F(HttpClient, FetchesFromManyThreadsAtOnce) {
    for (int i = 0; i < 8; ++i) site.SetResultPage(std::to_string(i), "page " + std::to_string(i));
    std::vector<std::string> pages(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] { pages[i] = HttpGet(Url("/s?q=" + std::to_string(i))); });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(pages[i], "page " + std::to_string(i));
}

}  // namespace
}  // namespace mojing::platform
