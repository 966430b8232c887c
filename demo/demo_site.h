#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "demo/sample_site.h"

// The demo: five titles, a search engine that knows four of them and a download server holding
// their books, all on one sample site on 127.0.0.1.
namespace mojing::demo {

struct DemoTitle {
    std::string utf8;
    // How the search engine shows it: a text page, the book-page fallback of both modes, or not
    // at all.
    enum class Result { TextPage, Fallback, None } result;
};

// In the order of the demo list.
const std::vector<DemoTitle>& DemoTitles();

// A book of a few hundred lines made up from a stock of sentences of our own, GBK with CR LF;
// the same title always gives the same book.
std::string SampleBook(std::string_view titleUtf8);

// Result pages and books of every demo title. The result links name novelSiteHost.
void FillDemoSite(SampleSite& site, std::string_view novelSiteHost);

// The demo list "小说名.txt" (GBK, CR LF) in folder (a GBK path, made when missing), after
// removing what an earlier demo run left there: its books and the failure list. False when the
// folder cannot be made or the list cannot be written.
bool PrepareDemoFolder(std::string_view folder);

// The demo site on a server of its own, with the four configured hosts pointed at it.
class DemoSite {
  public:
    DemoSite();  // throws std::runtime_error when 127.0.0.1 cannot be bound
    std::string Host() const { return site_.Host(); }

  private:
    SampleSite site_;
};

}  // namespace mojing::demo
