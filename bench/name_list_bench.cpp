// Loading a list of a million titles against `wc -l` on the same file, and draining lists of one
// and two million titles, so that the ratios can be read off one run:
//   bench_name_list [benchmark options]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "batch/name_lists.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Chinese titles of 2 to 16 characters from the common block of GBK, some with ASCII digits or a
// bracketed note as real lists have, each ended by CR LF.
std::string MakeTitles(std::size_t count) {
    std::mt19937 random(936);
    std::string text;
    text.reserve(count * 21);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned length = 2 + random() % 15;
        for (unsigned c = 0; c < length; ++c) {
            text += static_cast<char>(0xB0 + random() % 40);
            text += static_cast<char>(0xA1 + random() % 94);
        }
        switch (random() % 10) {
            case 0:
                text += std::to_string(random() % 100);
                break;
            case 1:
                text += "(\xC8\xAB\xB1\xBE)";  // (全本)
                break;
            default:
                break;
        }
        text += "\r\n";
    }
    return text;
}

class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "mojing-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// `wc -l file` as a shell would run it, its output thrown away.
bool RunWordCount(const std::string& file) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "wc";
    std::string option = "-l";
    std::string argument = file;
    char* argv[] = {program.data(), option.data(), argument.data(), nullptr};
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, "wc", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return failed == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

double Minimum(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // Best of the repetitions: the machine is shared, and others' load only adds time.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min" &&
                !run.error_occurred) {
                milliseconds[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> milliseconds;
};

void PrintRatio(const RecordingReporter& reporter, const char* what, const std::string& slow,
                const std::string& fast, double goal) {
    const auto s = reporter.milliseconds.find(slow);
    const auto f = reporter.milliseconds.find(fast);
    if (s == reporter.milliseconds.end() || f == reporter.milliseconds.end()) {
        return;
    }
    const double ratio = s->second / f->second;
    std::printf("%-34s best %8.2f ms / %8.2f ms = %5.2fx (goal <= %.1fx) %s\n", what, s->second,
                f->second, ratio, goal, ratio <= goal ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);

    constexpr std::size_t kMillion = 1'000'000;
    const TemporaryFolder folder;
    if (folder.path().empty()) return 1;
    const fs::path listFile = folder.path() / "titles.txt";
    {
        const std::string titles = MakeTitles(kMillion);
        std::ofstream(listFile, std::ios::binary).write(titles.data(), titles.size());
        std::printf("list: %zu titles, %zu bytes, in %s\n", kMillion, titles.size(),
                    listFile.c_str());
    }
    const std::string path = listFile.string();

    benchmark::RegisterBenchmark("LoadNameList/1M",
                                 [&](benchmark::State& state) {
                                     for (auto _ : state) mojing::LoadNameList(path);
                                     if (mojing::PendingNames().Count() != kMillion) {
                                         state.SkipWithError("wrong count");
                                     }
                                     mojing::PendingNames().Clear();
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(5)
        ->DisplayAggregatesOnly(true)
        ->ComputeStatistics("min", Minimum);
    benchmark::RegisterBenchmark("wc -l/1M",
                                 [&](benchmark::State& state) {
                                     for (auto _ : state) {
                                         if (!RunWordCount(path)) state.SkipWithError("no wc");
                                     }
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(5)
        ->DisplayAggregatesOnly(true)
        ->ComputeStatistics("min", Minimum);
    for (const std::size_t count : {kMillion, 2 * kMillion}) {
        const std::string titles = MakeTitles(count);
        benchmark::RegisterBenchmark(("Drain/" + std::to_string(count / kMillion) + "M").c_str(),
                                     [titles](benchmark::State& state) {
                                         mojing::NameList list;
                                         for (auto _ : state) {
                                             state.PauseTiming();
                                             list.ReplaceWith(mojing::SplitNameList(titles));
                                             state.ResumeTiming();
                                             while (list.Count() > 0) {
                                                 benchmark::DoNotOptimize(list.Front());
                                                 list.RemoveHead();
                                             }
                                         }
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Repetitions(5)
            ->DisplayAggregatesOnly(true)
            ->ComputeStatistics("min", Minimum);
    }

    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\n");
    PrintRatio(reporter, "LoadNameList vs wc -l, 1M titles", "LoadNameList/1M", "wc -l/1M", 3.0);
    PrintRatio(reporter, "drain 2M vs 1M titles", "Drain/2M", "Drain/1M", 2.2);
    return 0;
}
