// finder_bench [--print] [--readers N] [--ahead N] PATTERN ROOT...
// Runs the file finder over each ROOT with PATTERN, without any window. With --print every
// hit's full path goes to stdout on its own line, in report order. --readers and --ahead set
// the listing requests in flight and the listings read ahead (defaults: the finder's own).
// The last line on stderr is always "hits N entries M seconds S peak-ahead P".

#include "search/core/cfindfile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    int arg = 1;
    bool print = false;
    int readers = 0;
    int ahead = 0;
    for (; arg < argc; ++arg) {
        if (std::strcmp(argv[arg], "--print") == 0)
            print = true;
        else if (std::strcmp(argv[arg], "--readers") == 0 && arg + 1 < argc)
            readers = std::atoi(argv[++arg]);
        else if (std::strcmp(argv[arg], "--ahead") == 0 && arg + 1 < argc)
            ahead = std::atoi(argv[++arg]);
        else
            break;
    }
    if (argc - arg < 2) {
        std::fprintf(stderr, "usage: finder_bench [--print] [--readers N] [--ahead N] PATTERN ROOT...\n");
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
    finder.setReadAhead(readers, ahead);

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
    std::fprintf(stderr, "hits %llu entries %llu seconds %.3f peak-ahead %zu\n", static_cast<unsigned long long>(hits),
                 static_cast<unsigned long long>(entries), seconds, finder.readAheadPeak());
    return std::ferror(stdout) ? 1 : 0;
}
