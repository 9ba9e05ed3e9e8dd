#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

// Walks one directory tree depth-first and reports every entry whose name matches a wildcard
// pattern ('*' any run, '?' one character, letter case ignored). Names and paths are the file
// system's bytes, which need not be valid UTF-8. Symbolic links are reported but never
// entered; folders that cannot be read yield nothing. Callbacks run on the calling thread; an
// instance is not meant to be touched from another thread while it walks.
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

    // Directory entries examined by the last sStartSearch.
    uint64_t entriesSeen() const;

private:
    void walk();

    std::string m_searchpath;
    std::string m_fileToFind;
    bool m_inclSubfolders = true;
    int32_t m_fileFlag = 439;
    // Bumped on every pattern change, so a running walk picks up a new pattern cheaply.
    uint64_t m_patternGeneration = 0;
    uint64_t m_entriesSeen = 0;
};
