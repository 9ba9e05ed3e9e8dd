#include "search/core/cfindfile.h"

#include "search/core/readahead.h"

#include <QChar>

#include <cstring>
#include <vector>

namespace {

// Markers in a decoded pattern; real characters and escaped bytes stay below them.
constexpr char32_t kStar = 0xFFFFFFFFu;
constexpr char32_t kAnyOne = 0xFFFFFFFEu;
// A byte that is not part of valid UTF-8 decodes to kRawByte + byte, so it can only equal the
// same raw byte.
constexpr char32_t kRawByte = 0x110000u;

[[noreturn]] void RaiseError(const char *operation, const char *description)
{
    cFindFile::Error e;
    e.number = 9999;
    e.source = operation;
    e.description = description;
    throw e;
}

struct AsciiLower
{
    unsigned char map[256];
    AsciiLower()
    {
        for (int i = 0; i < 256; ++i)
            map[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
    }
};
const AsciiLower kLower;

// Strict UTF-8 decoding; every byte that does not start a well-formed sequence stands for
// itself as a raw byte.
void decodeFolded(const char *s, size_t n, std::vector<char32_t> &out)
{
    out.clear();
    const auto *p = reinterpret_cast<const unsigned char *>(s);
    size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.push_back(kLower.map[b]);
            ++i;
            continue;
        }
        size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2; cp = b & 0x1F; min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3; cp = b & 0x0F; min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4; cp = b & 0x07; min = 0x10000;
        }
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            const unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (c & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (ok) {
            out.push_back(QChar::toCaseFolded(cp));
            i += len;
        } else {
            out.push_back(kRawByte + b);
            ++i;
        }
    }
}

bool isAscii(const char *s, size_t n)
{
    unsigned char any = 0;
    for (size_t i = 0; i < n; ++i)
        any |= static_cast<unsigned char>(s[i]);
    return any < 0x80;
}

// Greedy wildcard match with backtracking to the last star: linear for the usual patterns,
// never exponential.
template<typename P, typename S, typename Fold>
bool wildcardMatch(const P *pat, size_t pn, const S *str, size_t sn, P star, P anyOne, Fold fold)
{
    size_t pi = 0;
    size_t si = 0;
    size_t starP = static_cast<size_t>(-1);
    size_t starS = 0;
    while (si < sn) {
        if (pi < pn) {
            const P c = pat[pi];
            if (c == star) {
                while (pi < pn && pat[pi] == star)
                    ++pi;
                if (pi == pn)
                    return true;
                starP = pi;
                starS = si;
                continue;
            }
            if (c == anyOne || c == fold(str[si])) {
                ++pi;
                ++si;
                continue;
            }
        }
        if (starP == static_cast<size_t>(-1))
            return false;
        pi = starP;
        si = ++starS;
    }
    while (pi < pn && pat[pi] == star)
        ++pi;
    return pi == pn;
}

class Matcher
{
public:
    void compile(const std::string &pattern)
    {
        m_matchAll = pattern.find_first_not_of('*') == std::string::npos && !pattern.empty();
        m_ascii = isAscii(pattern.data(), pattern.size());
        m_lowered.assign(pattern);
        for (char &c : m_lowered)
            c = static_cast<char>(kLower.map[static_cast<unsigned char>(c)]);
        decodeFolded(pattern.data(), pattern.size(), m_folded);
        for (char32_t &c : m_folded) {
            if (c == U'*')
                c = kStar;
            else if (c == U'?')
                c = kAnyOne;
        }
    }

    bool matches(const char *name, size_t n)
    {
        if (m_matchAll)
            return true;
        if (m_ascii && isAscii(name, n)) {
            return wildcardMatch<char, char>(m_lowered.data(), m_lowered.size(), name, n, '*', '?',
                                             [](char c) {
                                                 return static_cast<char>(kLower.map[static_cast<unsigned char>(c)]);
                                             });
        }
        // Outside ASCII, folding can make different byte sequences equal (e.g. the Kelvin
        // sign and k), so compare whole characters.
        decodeFolded(name, n, m_name);
        return wildcardMatch<char32_t, char32_t>(m_folded.data(), m_folded.size(), m_name.data(),
                                                 m_name.size(), kStar, kAnyOne,
                                                 [](char32_t c) { return c; });
    }

private:
    bool m_matchAll = false;
    bool m_ascii = true;
    std::string m_lowered;
    std::vector<char32_t> m_folded;
    std::vector<char32_t> m_name;
};

} // namespace

const char *cFindFile::Error::what() const noexcept
{
    return description.c_str();
}

cFindFile::cFindFile() = default;

namespace {

// Runs one operation and turns any failure inside it into error 9999 with that operation's
// texts; a nested walk's error is wrapped again the same way.
template<typename F>
auto guarded(const char *source, const char *description, F operation) -> decltype(operation())
{
    try {
        return operation();
    } catch (...) {
        RaiseError(source, description);
    }
}

} // namespace

std::string cFindFile::sSearchpath() const
{
    return guarded("cFindFile:sSearchpath Property Get", "Fehler bei sSearchpath Property Get",
                   [&] { return m_searchpath; });
}

void cFindFile::sSearchpath(const std::string &vData)
{
    guarded("cFindFile:sSearchpath Property Let", "Fehler bei sSearchpath Property Let",
            [&] { m_searchpath = vData; });
}

std::string cFindFile::sFileToFind() const
{
    return guarded("cFindFile:sFileToFind Property Get", "Fehler bei sFileToFind Property Get",
                   [&] { return m_fileToFind; });
}

void cFindFile::sFileToFind(const std::string &vData)
{
    guarded("cFindFile:sFileToFind Property Let", "Fehler bei sFileToFind Property Let", [&] {
        m_fileToFind = vData;
        ++m_patternGeneration;
    });
}

bool cFindFile::sInclSubfolders() const
{
    return guarded("cFindFile:sInclSubfolders Property Get", "Fehler bei sInclSubfolders Property Get",
                   [&] { return m_inclSubfolders; });
}

void cFindFile::sInclSubfolders(bool vData)
{
    guarded("cFindFile:sInclSubfolders Property Let", "Fehler bei sInclSubfolders Property Let",
            [&] { m_inclSubfolders = vData; });
}

int32_t cFindFile::sFileFlag() const
{
    return guarded("cFindFile:sFileFlag Property Get", "Fehler bei sFileFlag Property Get",
                   [&] { return m_fileFlag; });
}

void cFindFile::sFileFlag(int32_t vData)
{
    guarded("cFindFile:sFileFlag Property Let", "Fehler bei sFileFlag Property Let",
            [&] { m_fileFlag = vData; });
}

uint64_t cFindFile::entriesSeen() const
{
    return m_entriesSeen;
}

void cFindFile::sStartSearch()
{
    guarded("cFindFile:sStartSearch Method", "Fehler bei sStartSearch", [&] { walk(); });
}

void cFindFile::abort()
{
    m_aborted = true;
    std::lock_guard<std::mutex> lock(m_runningMutex);
    if (m_running)
        m_running->abort();
}

void cFindFile::stopDescending()
{
    std::lock_guard<std::mutex> lock(m_runningMutex);
    if (m_running)
        m_running->stopDescending();
}

void cFindFile::clearAbort()
{
    m_aborted = false;
}

void cFindFile::setReadAhead(int readers, int listings)
{
    if (readers > 0)
        m_readers = readers;
    if (listings > 0)
        m_listingsAhead = listings;
}

size_t cFindFile::readAheadPeak() const
{
    return m_readAheadPeak;
}

int cFindFile::readersRunning()
{
    return ReadAhead::Walk::readersRunning();
}

void cFindFile::walk()
{
    uint64_t entries = 0;
    Matcher matcher;
    uint64_t compiledGeneration = m_patternGeneration;
    matcher.compile(m_fileToFind);

    // Base: the start directory with exactly one trailing separator.
    std::string path = m_searchpath;
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    path.push_back('/');

    ReadAhead::Options options;
    if (m_readers > 0)
        options.readers = m_readers;
    if (m_listingsAhead > 0)
        options.listingsAhead = m_listingsAhead;
    options.descend = m_inclSubfolders;
    options.beforeWait = Waiting;
    options.beforeOpen = beforeOpen;
    const std::shared_ptr<ReadAhead::Walk> run = ReadAhead::Walk::create(path, std::move(options));

    // Registered for abort() while it runs; however the walk ends, its readers are let go.
    struct Registration
    {
        cFindFile &finder;
        const std::shared_ptr<ReadAhead::Walk> &run;
        Registration(cFindFile &f, const std::shared_ptr<ReadAhead::Walk> &r) : finder(f), run(r)
        {
            std::lock_guard<std::mutex> lock(finder.m_runningMutex);
            finder.m_running = run;
        }
        ~Registration()
        {
            run->finish();
            finder.m_readAheadPeak = run->peakAhead();
            std::lock_guard<std::mutex> lock(finder.m_runningMutex);
            finder.m_running.reset();
        }
    } registration(*this, run);
    if (m_aborted)
        return;

    // One folder of the walk; its subfolders come from the same listing as its matches.
    struct Level
    {
        ReadAhead::Node *node;
        const ReadAhead::Listing *listing;
        size_t baseLen; // this folder's base (with separator) in `path`
        size_t next = 0;
        bool descend;
        bool cancel = false;
    };
    std::vector<Level> levels;
    std::string name;

    // Reports the matches of a folder the walk has entered; false when the walk was aborted.
    auto report = [&](const ReadAhead::Walk::Entered &entered) {
        if (entered.error)
            RaiseError("cFindFile:sStartSearch Method", "Fehler bei sStartSearch");
        if (!entered.node)
            return false;
        levels.push_back(Level{entered.node, entered.listing, path.size(), 0, m_inclSubfolders});
        if (compiledGeneration != m_patternGeneration) {
            compiledGeneration = m_patternGeneration;
            matcher.compile(m_fileToFind);
        }
        const ReadAhead::Listing &listing = *entered.listing;
        const char *n = listing.names.data();
        for (uint32_t k = 0; k < listing.count; ++k) {
            const size_t len = strlen(n);
            ++entries;
            if (matcher.matches(n, len) && MatchFound) {
                name.assign(n, len);
                MatchFound(name, path);
                if (run->aborted())
                    return false;
            }
            n += len + 1;
        }
        return true;
    };

    if (!report(run->enterStart()))
        return;
    while (!levels.empty()) {
        Level &level = levels.back();
        if (level.descend && level.next < level.listing->folders.size()) {
            if (StopSearch)
                StopSearch(level.cancel);
            if (run->aborted())
                return;
            if (!level.cancel) {
                const ReadAhead::Walk::Entered entered = run->enter(level.node);
                // A stop that came while the walk waited for this folder: as if cancelled here.
                level.cancel = entered.stopped;
                if (!level.cancel) {
                    path.resize(level.baseLen);
                    path.append(level.listing->folder(level.next++));
                    m_searchpath.assign(path);
                    path.push_back('/');
                    if (!report(entered))
                        return;
                    continue;
                }
            }
        }
        // This folder is done: back to its parent.
        run->leave(level.node);
        levels.pop_back();
    }
    m_entriesSeen = entries;
}
