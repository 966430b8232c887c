// A batch of 200 titles against the loopback site, and in the same run a shell loop doing the
// same work the way a user would script it: curl for the result page, grep and sed for the id,
// wget for the book. Prints both times and the ratio.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "batch/batch_run.h"
#include "batch/downloader.h"
#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "tests/fakes/recording_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"
#include "text/percent_encode.h"

namespace {

using mojing::test::Gbk;

constexpr int kTitles = 200;
constexpr const char* kSite = "www.bixia.example";

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

int main() {
    mojing::test::TestSite site;
    unsetenv("http_proxy");
    setenv("MOJING_SEARCH_HOST", site.Host().c_str(), 1);
    setenv("MOJING_NOVEL_SITE_HOST", kSite, 1);
    setenv("MOJING_DOWNLOAD_HOST", site.Host().c_str(), 1);

    const std::string book(50 * 1024, 'x');
    std::string listGbk;
    std::string shellInput;  // encoded query, tab, UTF-8 title
    for (int i = 0; i < kTitles; ++i) {
        const std::string titleUtf8 = "测试书名" + std::to_string(i);
        const std::string query = mojing::PercentEncode(Gbk(titleUtf8));
        std::string page = "<html><head><style>body{margin:0}</style></head><body>";
        for (int filler = 0; filler < 40; ++filler)
            page += "<div>其他结果 " + std::to_string(filler) + "</div>";
        page += "<p class=\"res-linkinfo\"><cite>" + std::string(kSite) + "/text/" +
                std::to_string(1000 + i) + ".html</cite></p></body></html>";
        site.SetResultPage(query, page);
        site.SetBook(std::to_string(1000 + i), book);
        listGbk += Gbk(titleUtf8) + "\r\n";
        shellInput += query + "\t" + titleUtf8 + "\n";
    }

    mojing::test::TempDir ours;
    mojing::test::TempDir theirs;

    // Ours: the program's own batch run, one downloader process per title.
    double oursSeconds = 0;
    {
        mojing::test::ScopedWorkingDirectory cwd(ours.path());
        mojing::SetProgramDirectory(ours.path().string());
        mojing::CreateNameLists();
        mojing::test::WriteBytes(ours / "list.txt", listGbk);
        mojing::LoadNameList("list.txt");
        mojing::test::RecordingWindow window;
        // The downloader reports on our standard error; keep the figures readable.
        const int savedStderr = dup(2);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 2);
        const auto start = std::chrono::steady_clock::now();
        mojing::RunBatch(mojing::BatchMode::Normal, window);
        oursSeconds = Seconds(std::chrono::steady_clock::now() - start);
        dup2(savedStderr, 2);
        close(devNull);
        close(savedStderr);
        mojing::DeleteDownloader();
    }

    // Theirs: a shell loop.
    mojing::test::WriteBytes(theirs / "titles.tsv", shellInput);
    const std::string script =
        "cd '" + theirs.path().string() +
        "' && while IFS=$'\\t' read -r q title; do "
        "page=$(curl -s \"http://" +
        site.Host() + "/s?q=$q&ie=gbk&src=srp&site=" + kSite +
        "&rg=1\"); "
        "id=$(printf '%s' \"$page\" | grep -o 'res-linkinfo\"><cite>[^<]*/text/[^<]*\\.html</cite>'"
        " | head -n 1 | sed -E 's|.*/text/(.*)\\.html</cite>|\\1|'); "
        "wget -q -N \"http://" +
        site.Host() +
        "/packdown/fulltxt/$id.txt\" -O \"$title.txt\"; "
        "done < titles.tsv";
    const std::string command = "bash -c " + std::string("\"$MOJING_BENCH_SCRIPT\"");
    setenv("MOJING_BENCH_SCRIPT", script.c_str(), 1);
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    const double theirsSeconds = Seconds(std::chrono::steady_clock::now() - start);

    int oursBooks = 0;
    int theirBooks = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ours.path())) {
        if (entry.path().extension() == ".txt" && entry.file_size() == book.size()) ++oursBooks;
    }
    for (const auto& entry : std::filesystem::directory_iterator(theirs.path())) {
        if (entry.path().extension() == ".txt" && entry.file_size() == book.size()) ++theirBooks;
    }
    std::printf("batch of %d titles (50 KiB books) on loopback\n", kTitles);
    std::printf("  mojing RunBatch : %8.3f s  (%d books)\n", oursSeconds, oursBooks);
    std::printf("  shell loop      : %8.3f s  (%d books, exit %d)\n", theirsSeconds, theirBooks,
                rc);
    std::printf("  ratio ours/loop : %8.3f  (goal <= 0.6)\n", oursSeconds / theirsSeconds);
    return oursBooks == kTitles && theirBooks == kTitles ? 0 : 1;
}
