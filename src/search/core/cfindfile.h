#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace ReadAhead {
class Walk;
}

// Walks one directory tree depth-first and reports every entry whose name matches a wildcard
// pattern ('*' any run, '?' one character, letter case ignored). Names and paths are the file
// system's bytes, which need not be valid UTF-8. Symbolic links are reported but never
// entered; folders that cannot be read (no access, gone, not a folder) yield nothing, while
// running out of descriptors or memory is an error of the walk.
//
// Callbacks run on the calling thread, in the serial depth-first order. Underneath, reader
// threads open and list the folders the walk will enter next, so on a network share many
// listings are in flight at once. Apart from abort(), an instance is not meant to be touched
// from another thread while it walks.
class cFindFile
{
public:
    struct Error : std::exception
    {
        long number = 9999;
        std::string source;
        std::string description;
        const char *what() const noexcept override;
    };

    cFindFile();

    // sFilePath is the searched directory ending in exactly one separator.
    std::function<void(const std::string &sFilename, const std::string &sFilePath)> MatchFound;
    // Raised before each descent; set Cancel to stop descending at this level.
    std::function<void(bool &Cancel)> StopSearch;
    // Raised when the walk has to wait for the file system (a slow or hung share), so that the
    // owner can hand on what was found so far.
    std::function<void()> Waiting;

    std::string sSearchpath() const;
    void sSearchpath(const std::string &vData);
    std::string sFileToFind() const;
    void sFileToFind(const std::string &vData);
    bool sInclSubfolders() const;
    void sInclSubfolders(bool vData);
    int32_t sFileFlag() const;
    void sFileFlag(int32_t vData);

    // Rewrites sSearchpath to each folder before entering it. A pattern or descend flag set
    // from a callback applies to the folders listed afterwards.
    void sStartSearch();

    // Any thread: ends a running sStartSearch at once, without further events and without
    // waiting for the file system, and makes every later one return at once until
    // clearAbort().
    void abort();
    void clearAbort();
    // Any thread: a descent the running sStartSearch waits for is not made, as if StopSearch
    // had cancelled it, so that a stop is answered even while a listing hangs.
    void stopDescending();

    // Listing requests in flight at most, and listings read ahead of the walk at most; 0
    // keeps a value as it is.
    void setReadAhead(int readers, int listings);

    // Directory entries examined by the last sStartSearch.
    uint64_t entriesSeen() const;
    // Most listings held ahead of the walk at one time during the last sStartSearch.
    size_t readAheadPeak() const;
    // Reader threads still running, of all walks; a reader stuck in the file system after an
    // abort counts until it returns.
    static int readersRunning();

    // Tests: runs on a reader thread before each folder is opened, with its path below the
    // start folder ("" for the start folder); a nonzero result is taken as the errno of
    // opening it. It may block, and must stay callable until readersRunning() is 0.
    std::function<int(const std::string &relativePath)> beforeOpen;

private:
    void walk();

    std::string m_searchpath;
    std::string m_fileToFind;
    bool m_inclSubfolders = true;
    int32_t m_fileFlag = 439;
    // Bumped on every pattern change, so a running walk picks up a new pattern cheaply.
    uint64_t m_patternGeneration = 0;
    uint64_t m_entriesSeen = 0;
    size_t m_readAheadPeak = 0;
    int m_readers = 0;       // 0: the walk's own
    int m_listingsAhead = 0;

    std::atomic<bool> m_aborted{false};
    std::mutex m_runningMutex;
    std::shared_ptr<ReadAhead::Walk> m_running;
};
