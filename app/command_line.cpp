#include "app/command_line.h"

#include <CLI/CLI.hpp>
#include <iostream>

namespace mojing {

std::variant<CommandLine, int> ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    CLI::App app(
        "墨鲸书匣 downloads whole web novels as plain-text files, in batch. Without "
        "arguments it opens its window.",
        "mojing-shuxia");
    app.set_version_flag("--version", std::string("墨鲸书匣 ") + MOJING_VERSION);
    CLI::Option* batch = app.add_flag("--batch", line.batch,
                                      "Download the list without a window; exit code 0 when every "
                                      "title was saved, 1 when any failed, 2 for bad usage");
    CLI::Option* demo =
        app.add_flag("--demo", line.demo,
                     "Run on the built-in sample site, in $XDG_CACHE_HOME/mojing-shuxia/demo");
    app.add_option("LIST", line.list,
                   "The list of titles (GBK, one per line); default 小说名.txt in the folder")
        ->check(CLI::ExistingFile)
        ->needs(batch)
        ->excludes(demo);
    CLI::Option* proxy =
        app.add_option("--proxy", line.proxy,
                       "Download through this HTTP proxy (HOST:PORT); with --demo and no value, "
                       "through the sample site")
            ->expected(0, 1)
            ->needs(batch);
    app.add_option("--dir", line.dir, "Work and save in this folder instead of the current one")
        ->check(CLI::ExistingDirectory)
        ->needs(batch)
        ->excludes(demo);
    try {
        app.parse(argc, argv);
        if (proxy->count() > 0 && !line.proxy) line.proxy.emplace();
        if (line.proxy && line.proxy->empty() && !line.demo) {
            throw CLI::ValidationError("--proxy", "needs HOST:PORT (only --demo has its own)");
        }
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : 2;
    }
    return line;
}

}  // namespace mojing
