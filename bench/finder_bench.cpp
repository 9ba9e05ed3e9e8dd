// finder_bench [--print] PATTERN ROOT...
// Runs the file finder over each ROOT with PATTERN, without any window. With --print every
// hit's full path goes to stdout on its own line, in report order. The last line on stderr
// is always "hits N entries M seconds S".

#include "search/cfindfile.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    int arg = 1;
    bool print = false;
    if (arg < argc && std::strcmp(argv[arg], "--print") == 0) {
        print = true;
        ++arg;
    }
    if (argc - arg < 2) {
        std::fprintf(stderr, "usage: finder_bench [--print] PATTERN ROOT...\n");
        return 2;
    }
    const std::string pattern = argv[arg++];

    static char outBuffer[1 << 16];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

    uint64_t hits = 0;
    uint64_t entries = 0;
    cFindFile finder;
    if (print) {
        finder.MatchFound = [&hits](const std::string &name, const std::string &base) {
            ++hits;
            std::fwrite(base.data(), 1, base.size(), stdout);
            std::fwrite(name.data(), 1, name.size(), stdout);
            std::putc('\n', stdout);
        };
    } else {
        finder.MatchFound = [&hits](const std::string &, const std::string &) { ++hits; };
    }
    finder.StopSearch = [](bool &) {};
    finder.sFileToFind(pattern);

    const auto start = std::chrono::steady_clock::now();
    try {
        for (; arg < argc; ++arg) {
            finder.sSearchpath(argv[arg]);
            finder.sStartSearch();
            entries += finder.entriesSeen();
        }
    } catch (const cFindFile::Error &e) {
        std::fprintf(stderr, "%s: %s (%ld)\n", e.source.c_str(), e.description.c_str(), e.number);
        return 1;
    }
    std::fflush(stdout);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "hits %llu entries %llu seconds %.3f\n", static_cast<unsigned long long>(hits),
                 static_cast<unsigned long long>(entries), seconds);
    return std::ferror(stdout) ? 1 : 0;
}
