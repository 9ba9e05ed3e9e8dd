#include "search/cfindfile.h"

#include <QChar>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Markers in a decoded pattern; real characters and escaped bytes stay below them.
constexpr char32_t kStar = 0xFFFFFFFFu;
constexpr char32_t kAnyOne = 0xFFFFFFFEu;
// A byte that is not part of valid UTF-8 decodes to kRawByte + byte, so it can only equal the
// same raw byte.
constexpr char32_t kRawByte = 0x110000u;

// Directories kept open below the start directory; deeper trees reopen parents on the way up.
constexpr size_t kMaxOpenLevels = 64;

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

bool isDotOrDotDot(const char *n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// One directory level of the walk. Subdirectory names are packed into one buffer, each ended
// by a NUL, so a level costs no allocation per entry once the buffers have grown.
struct Level
{
    std::string subdirs;
    size_t next = 0;
    size_t baseLen = 0; // length of this level's base (with separator) in the path buffer
    DIR *dir = nullptr; // kept open only while children are being entered
    int fd = -1;        // opened for the same purpose when the level had to be reopened
    dev_t dev = 0;      // identity, recorded when the descriptor is given up
    ino_t ino = 0;
    bool descend = false;
    bool cancel = false;

    int handle() const { return dir ? dirfd(dir) : fd; }
    bool isOpen() const { return dir || fd >= 0; }
    void release()
    {
        if (dir)
            closedir(dir);
        else if (fd >= 0)
            close(fd);
        dir = nullptr;
        fd = -1;
    }
};

int openChildDir(int parentFd, const char *name)
{
    int fd;
    do {
        fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

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

namespace {

// Everything one walk holds; closes whatever is still open when the walk ends early, for
// instance because a callback threw.
struct WalkState
{
    std::vector<Level> levels;
    size_t depth = 0;      // index of the deepest live level
    size_t lowestOpen = 1; // levels [lowestOpen, depth] and level 0 hold descriptors
    ~WalkState()
    {
        for (Level &l : levels)
            l.release();
    }
};

} // namespace

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

    std::string name;
    WalkState st;
    st.levels.reserve(16);

    // Lists the directory open in `dir` whose base is `path`: reports matches and, when the
    // walk descends, remembers the subdirectories. Both come from the one listing, in its order.
    auto list = [&](Level &level, DIR *dir) {
        level.subdirs.clear();
        level.next = 0;
        level.cancel = false;
        level.descend = m_inclSubfolders;
        level.dev = 0;
        level.ino = 0;
        if (compiledGeneration != m_patternGeneration) {
            compiledGeneration = m_patternGeneration;
            matcher.compile(m_fileToFind);
        }
        if (!dir)
            return;
        const int fd = dirfd(dir);
        while (const dirent *e = readdir(dir)) {
            const char *n = e->d_name;
            if (isDotOrDotDot(n))
                continue;
            ++entries;
            const size_t len = strlen(n);
            if (level.descend) {
                bool isDir = e->d_type == DT_DIR;
                if (e->d_type == DT_UNKNOWN) {
                    struct stat sb;
                    isDir = fstatat(fd, n, &sb, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(sb.st_mode);
                }
                if (isDir) {
                    level.subdirs.append(n, len);
                    level.subdirs.push_back('\0');
                }
            }
            if (matcher.matches(n, len) && MatchFound) {
                name.assign(n, len);
                MatchFound(name, path);
            }
        }
    };

    // Reopens level i, whose descriptor was given up, from the nearest open ancestor. The
    // names of all levels down to the deepest one are still in `path`.
    auto reopen = [&](size_t i) {
        Level &level = st.levels[i];
        const Level &child = st.levels[i + 1];
        if (child.isOpen()) {
            int fd = openat(child.handle(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat sb;
            if (fd >= 0 && fstat(fd, &sb) == 0 && sb.st_dev == level.dev && sb.st_ino == level.ino) {
                level.fd = fd;
                return;
            }
            if (fd >= 0)
                close(fd);
        }
        size_t a = i;
        while (a > 0 && !st.levels[a].isOpen())
            --a;
        int fd = -1;
        int from = st.levels[a].handle();
        for (size_t k = a + 1; k <= i && from >= 0; ++k) {
            const size_t start = st.levels[k - 1].baseLen;
            const std::string component = path.substr(start, st.levels[k].baseLen - 1 - start);
            fd = openChildDir(from, component.c_str());
            if (from != st.levels[a].handle())
                close(from);
            from = fd;
        }
        level.fd = fd; // -1 when the path is gone: the level then enters nothing more
    };

    // Level 0: the start directory itself.
    st.levels.emplace_back();
    st.levels[0].baseLen = path.size();
    DIR *rootDir = opendir(path.c_str());
    st.levels[0].dir = rootDir;
    list(st.levels[0], rootDir);
    if (!st.levels[0].descend || st.levels[0].subdirs.empty())
        st.levels[0].release();

    for (;;) {
        Level &level = st.levels[st.depth];
        if (level.descend && level.next < level.subdirs.size() && level.isOpen()) {
            if (StopSearch)
                StopSearch(level.cancel);
            if (!level.cancel) {
                const char *child = level.subdirs.c_str() + level.next;
                const size_t childLen = strlen(child);
                level.next += childLen + 1;

                const size_t baseLen = level.baseLen;
                const int parentFd = level.handle();
                path.resize(baseLen);
                path.append(child, childLen);
                m_searchpath.assign(path);
                if (st.depth + 1 == st.levels.size())
                    st.levels.emplace_back(); // may move `level` and `child`: not used below

                // No trailing separator here: it would make O_NOFOLLOW follow a symlink.
                const int fd = openChildDir(parentFd, path.c_str() + baseLen);
                DIR *dir = fd >= 0 ? fdopendir(fd) : nullptr;
                if (fd >= 0 && !dir)
                    close(fd);
                path.push_back('/');
                ++st.depth;
                Level &sub = st.levels[st.depth];
                sub.baseLen = path.size();
                sub.dir = dir;
                sub.fd = -1;
                list(sub, dir);
                if (!sub.descend || sub.subdirs.empty()) {
                    sub.release();
                } else if (st.depth - st.lowestOpen + 1 > kMaxOpenLevels) {
                    // Deep tree: give up the shallowest descriptor to stay within fd limits.
                    Level &old = st.levels[st.lowestOpen];
                    struct stat sb;
                    if (old.isOpen() && fstat(old.handle(), &sb) == 0) {
                        old.dev = sb.st_dev;
                        old.ino = sb.st_ino;
                    }
                    old.release();
                    ++st.lowestOpen;
                }
                continue;
            }
        }
        // This level is done: go back to its parent.
        if (st.depth == 0) {
            level.release();
            break;
        }
        // Reopen a given-up parent through "..", which is cheap while the child is open; doing
        // it even for a finished parent keeps that chain going for the levels above.
        const size_t parent = st.depth - 1;
        if (parent > 0 && parent < st.lowestOpen && !st.levels[parent].isOpen())
            reopen(parent);
        level.release();
        --st.depth;
        if (st.depth > 0 && st.lowestOpen > st.depth)
            st.lowestOpen = st.depth;
    }
    m_entriesSeen = entries;
}
