#include "search/cfindfile.h"
#include "helpers/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string bytes(const QString &s)
{
    return QFile::encodeName(s).toStdString();
}

// Events of one walk as text: "M <base below the root>|<name>" for a match, "S" for a
// StopSearch answered false and "S!" for one answered true.
struct Recorder
{
    cFindFile finder;
    std::string root;
    QList<bool> answers; // answers for StopSearch, in order; false once used up
    QStringList events;
    std::vector<std::string> fullPaths;

    explicit Recorder(const std::string &searchRoot) : root(searchRoot)
    {
        finder.MatchFound = [this](const std::string &name, const std::string &base) {
            fullPaths.push_back(base + name);
            const std::string rel = base.compare(0, root.size(), root) == 0 ? base.substr(root.size()) : base;
            events << QStringLiteral("M ") + QString::fromStdString(rel) + QLatin1Char('|') + QString::fromStdString(name);
        };
        finder.StopSearch = [this](bool &cancel) {
            QVERIFY(!cancel);
            cancel = !answers.isEmpty() && answers.takeFirst();
            events << (cancel ? QStringLiteral("S!") : QStringLiteral("S"));
        };
    }
    void run(const std::string &searchpath, const std::string &pattern)
    {
        finder.sSearchpath(searchpath);
        finder.sFileToFind(pattern);
        finder.sStartSearch();
    }
};

// The order of matches inside one directory is the file system's; sort each run of matches
// with the same base so that tables can state them.
QStringList canonical(QStringList events)
{
    auto base = [](const QString &e) { return e.startsWith(QLatin1Char('M')) ? e.section(QLatin1Char('|'), 0, 0) : QString(); };
    for (qsizetype i = 0; i < events.size();) {
        qsizetype j = i + 1;
        while (!base(events[i]).isEmpty() && j < events.size() && base(events[j]) == base(events[i]))
            ++j;
        std::sort(events.begin() + i, events.begin() + j);
        i = j;
    }
    return events;
}

// Subdirectory names of dir in the order the file system lists them.
QStringList listingOrder(const QString &dir)
{
    QStringList names;
    DIR *d = opendir(QFile::encodeName(dir).constData());
    while (const dirent *e = d ? readdir(d) : nullptr) {
        const QString n = QFile::decodeName(e->d_name);
        if (n != QLatin1String(".") && n != QLatin1String("..") && QFileInfo(dir + QLatin1Char('/') + n).isDir())
            names << n;
    }
    if (d)
        closedir(d);
    return names;
}

// Big trees are made in memory when possible: creating and removing tens of thousands of
// folders on a disk takes minutes on a slow one.
QString scratchBase()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

int openFdCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// Takes away the root's power to read any directory, for this thread only, so that a
// directory with mode 000 really cannot be listed when the tests run as root.
class WithoutDacOverride
{
public:
    WithoutDacOverride()
    {
        if (geteuid() != 0) {
            m_ok = true;
            return;
        }
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_ok = syscall(SYS_capset, &m_header, reduced) == 0;
        m_restore = m_ok;
    }
    ~WithoutDacOverride()
    {
        if (m_restore)
            syscall(SYS_capset, &m_header, m_saved);
    }
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_ok = false;
    bool m_restore = false;
};

// Builds a chain of `depth` directories named "d" below dirFd with relative calls only (the
// full path is longer than the kernel accepts); calls extra(fd, level) in each new one.
template<typename Extra>
bool makeChain(int dirFd, int depth, Extra extra)
{
    int fd = dup(dirFd);
    for (int level = 1; level <= depth && fd >= 0; ++level) {
        if (mkdirat(fd, "d", 0755) != 0) {
            close(fd);
            return false;
        }
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        if (fd >= 0)
            extra(fd, level);
    }
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// Empties the directory open as dirFd, deepest first: it follows chains of folders named "d"
// with relative calls and climbs back through "..", recursing only into other folders.
void removeContents(int dirFd)
{
    int fd = dup(dirFd);
    int depth = 0;
    for (int next; (next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW)) >= 0; ++depth) {
        close(fd);
        fd = next;
    }
    for (;;) {
        std::vector<std::string> dirs;
        DIR *d = fdopendir(dup(fd));
        while (const dirent *e = d ? readdir(d) : nullptr) {
            const std::string n = e->d_name;
            if (n != "." && n != ".." && unlinkat(fd, n.c_str(), 0) != 0)
                dirs.push_back(n);
        }
        if (d)
            closedir(d);
        for (const std::string &n : dirs) {
            const int sub = openat(fd, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (sub >= 0) {
                removeContents(sub);
                close(sub);
            }
            unlinkat(fd, n.c_str(), AT_REMOVEDIR);
        }
        if (depth-- == 0)
            break;
        const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = parent;
        unlinkat(fd, "d", AT_REMOVEDIR);
    }
    close(fd);
}

void removeContents(const std::string &dir)
{
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        removeContents(fd);
        close(fd);
    }
}

void touchAt(int fd, const char *name)
{
    const int f = openat(fd, name, O_WRONLY | O_CREAT, 0644);
    if (f >= 0)
        close(f);
}

} // namespace

class TestFindFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

    void walk_data()
    {
        QTest::addColumn<QStringList>("tree"); // relative paths; a trailing "/" makes a directory
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("inclSubfolders");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("expected"); // {1} and {2}: the start folder's subfolders in listing order

        const QStringList abc{QStringLiteral("ABC1.dwg"), QStringLiteral("xabc.dwg"), QStringLiteral("abcdef/abc2.txt"), QStringLiteral("abcdef/zz.txt")};
        const QStringList chain{QStringLiteral("m0.dwg"), QStringLiteral("a/m1.dwg"), QStringLiteral("a/b/m2.dwg"), QStringLiteral("a/b/c/m3.dwg"), QStringLiteral("a/b/c/n.txt")};
        const QStringList chainAll{QStringLiteral("M /|m0.dwg"), QStringLiteral("S"), QStringLiteral("M /a/|m1.dwg"), QStringLiteral("S"), QStringLiteral("M /a/b/|m2.dwg"), QStringLiteral("S"), QStringLiteral("M /a/b/c/|m3.dwg")};
        const QStringList twoBranches{QStringLiteral("m0.dwg"), QStringLiteral("p/m1.dwg"), QStringLiteral("p/x/m2.dwg"), QStringLiteral("q/m1.dwg"), QStringLiteral("q/x/m2.dwg")};
        const QList<bool> none;

        QTest::newRow("abc example") << abc << QStringLiteral("abc*") << true << none
                                     << QStringList{QStringLiteral("M /|ABC1.dwg"), QStringLiteral("M /|abcdef"), QStringLiteral("S"), QStringLiteral("M /abcdef/|abc2.txt")};
        QTest::newRow("a/b/c pre-order") << chain << QStringLiteral("m*") << true << none << chainAll;
        QTest::newRow("cancel at first StopSearch") << chain << QStringLiteral("m*") << true << QList<bool>{true}
                                                    << QStringList{QStringLiteral("M /|m0.dwg"), QStringLiteral("S!")};
        QTest::newRow("cancel deep, nothing above to enter") << chain << QStringLiteral("m*") << true << QList<bool>{false, false, true}
                                                             << (chainAll.mid(0, 5) << QStringLiteral("S!"));
        QTest::newRow("cancel is per level") << twoBranches << QStringLiteral("m*") << true << QList<bool>{false, true, false, false}
                                             << QStringList{QStringLiteral("M /|m0.dwg"), QStringLiteral("S"), QStringLiteral("M /{1}/|m1.dwg"), QStringLiteral("S!"),
                                                            QStringLiteral("S"), QStringLiteral("M /{2}/|m1.dwg"), QStringLiteral("S"), QStringLiteral("M /{2}/x/|m2.dwg")};
        QTest::newRow("cancel at upper level after deeper ones") << twoBranches << QStringLiteral("m*") << true << QList<bool>{false, false, true}
                                                                 << QStringList{QStringLiteral("M /|m0.dwg"), QStringLiteral("S"), QStringLiteral("M /{1}/|m1.dwg"), QStringLiteral("S"),
                                                                                QStringLiteral("M /{1}/x/|m2.dwg"), QStringLiteral("S!")};
        QTest::newRow("no subfolders") << chain << QStringLiteral("m*") << false << QList<bool>{false} << QStringList{QStringLiteral("M /|m0.dwg")};
        QTest::newRow("directory x.dwg reported and entered") << QStringList{QStringLiteral("x.dwg/inner.dwg"), QStringLiteral("y.txt")} << QStringLiteral("*.dwg") << true << none
                                                              << QStringList{QStringLiteral("M /|x.dwg"), QStringLiteral("S"), QStringLiteral("M /x.dwg/|inner.dwg")};
        QTest::newRow("question mark is one character") << QStringList{QStringLiteral("4711-b.pdf"), QStringLiteral("4711-bb.pdf"), QStringLiteral("4711-.pdf"), QStringLiteral("4711.pdf")}
                                                        << QStringLiteral("4711-?.pdf") << true << none << QStringList{QStringLiteral("M /|4711-b.pdf")};
        QTest::newRow("star spans dots and nothing") << QStringList{QStringLiteral("a.b.z"), QStringLiteral("az"), QStringLiteral("a.zz"), QStringLiteral("ba.z"), QStringLiteral("a.zq")}
                                                     << QStringLiteral("a*z") << true << none
                                                     << QStringList{QStringLiteral("M /|a.b.z"), QStringLiteral("M /|a.zz"), QStringLiteral("M /|az")};
        QTest::newRow("two stars match all, dot files too") << QStringList{QStringLiteral(".hidden"), QStringLiteral("plain"), QStringLiteral("d/")} << QStringLiteral("**") << true << none
                                                            << QStringList{QStringLiteral("M /|.hidden"), QStringLiteral("M /|d"), QStringLiteral("M /|plain"), QStringLiteral("S")};
        QTest::newRow("typed text is a prefix") << QStringList{QStringLiteral("4711.dwg"), QStringLiteral("4711-b.pdf"), QStringLiteral("A4711.dwg")} << QStringLiteral("4711*") << true << none
                                                << QStringList{QStringLiteral("M /|4711-b.pdf"), QStringLiteral("M /|4711.dwg")};
        QTest::newRow("leading star") << QStringList{QStringLiteral("4711.dwg"), QStringLiteral("A4711.dwg"), QStringLiteral("x.dwg")} << QStringLiteral("*4711*") << true << none
                                      << QStringList{QStringLiteral("M /|4711.dwg"), QStringLiteral("M /|A4711.dwg")};
        QTest::newRow("backtracking star") << QStringList{QStringLiteral("abab-ab.dwg"), QStringLiteral("ab.dwgx")} << QStringLiteral("*ab*ab.dwg") << true << none
                                           << QStringList{QStringLiteral("M /|abab-ab.dwg")};
        QTest::newRow("ascii case") << QStringList{QStringLiteral("ABC.DWG"), QStringLiteral("aBc"), QStringLiteral("ab")} << QStringLiteral("abc*") << true << none
                                    << QStringList{QStringLiteral("M /|ABC.DWG"), QStringLiteral("M /|aBc")};
        QTest::newRow("umlaut lower pattern") << QStringList{QStringLiteral("\u00c4pfel.dwg"), QStringLiteral("\u00e4pfel2"), QStringLiteral("apfel")} << QStringLiteral("\u00e4*") << true << none
                                              << QStringList{QStringLiteral("M /|\u00c4pfel.dwg"), QStringLiteral("M /|\u00e4pfel2")};
        QTest::newRow("umlaut upper pattern") << QStringList{QStringLiteral("\u00e4pfel"), QStringLiteral("\u00d6l")} << QStringLiteral("\u00c4P*") << true << none
                                              << QStringList{QStringLiteral("M /|\u00e4pfel")};
        QTest::newRow("greek") << QStringList{QStringLiteral("\u03a3\u03c7\u03ad\u03b4\u03b9\u03bf.dwg")} << QStringLiteral("\u03c3\u03a7*") << true << none
                               << QStringList{QStringLiteral("M /|\u03a3\u03c7\u03ad\u03b4\u03b9\u03bf.dwg")};
        QTest::newRow("question mark takes a whole umlaut") << QStringList{QStringLiteral("\u00c4pfel"), QStringLiteral("xx")} << QStringLiteral("?pfel*") << true << none
                                                            << QStringList{QStringLiteral("M /|\u00c4pfel")};
        QTest::newRow("kelvin sign folds to k") << QStringList{QStringLiteral("\u212a1.dwg"), QStringLiteral("K2.dwg")} << QStringLiteral("k*") << true << none
                                                << QStringList{QStringLiteral("M /|K2.dwg"), QStringLiteral("M /|\u212a1.dwg")};
        QTest::newRow("empty pattern matches nothing") << QStringList{QStringLiteral("a/x")} << QString() << true << none << QStringList{QStringLiteral("S")};
    }
    void walk()
    {
        QFETCH(QStringList, tree);
        QFETCH(QString, pattern);
        QFETCH(bool, inclSubfolders);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, expected);

        TestEnv env;
        const QString start = env.makeDir(QStringLiteral("start"));
        for (const QString &p : tree) {
            if (p.endsWith(QLatin1Char('/')))
                env.makeDir(QStringLiteral("start/") + p);
            else
                env.writeFile(QStringLiteral("start/") + p);
        }
        const QStringList order = listingOrder(start);
        for (QString &e : expected) {
            for (qsizetype i = 0; i < order.size(); ++i)
                e.replace(QStringLiteral("{%1}").arg(i + 1), order[i]);
        }

        Recorder r(bytes(start));
        r.answers = answers;
        r.finder.sInclSubfolders(inclSubfolders);
        r.run(bytes(start), bytes(pattern));
        QCOMPARE(canonical(r.events), canonical(expected));
    }

    void startDirectoryForms_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("no separator") << QString();
        QTest::newRow("one separator") << QStringLiteral("/");
        QTest::newRow("two separators") << QStringLiteral("//");
    }
    void startDirectoryForms()
    {
        QFETCH(QString, suffix);
        TestEnv env;
        env.writeFile(QStringLiteral("s/4711.dwg"));
        env.writeFile(QStringLiteral("s/sub/4711-b.pdf"));
        const std::string start = bytes(env.root() + QStringLiteral("/s"));
        Recorder r(start);
        r.run(start + bytes(suffix), "4711*");
        std::sort(r.fullPaths.begin(), r.fullPaths.end());
        QCOMPARE(r.fullPaths, (std::vector<std::string>{start + "/4711.dwg", start + "/sub/4711-b.pdf"}));
        QCOMPARE(canonical(r.events), (QStringList{QStringLiteral("M /|4711.dwg"), QStringLiteral("S"), QStringLiteral("M /sub/|4711-b.pdf")}));
        QCOMPARE(r.finder.sSearchpath(), start + "/sub");
    }

    void nothingToList_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing") << QStringLiteral("missing");
        QTest::newRow("missing below missing") << QStringLiteral("missing/deeper/");
        QTest::newRow("a file") << QStringLiteral("file.txt");
    }
    void nothingToList()
    {
        QFETCH(QString, relative);
        TestEnv env;
        env.writeFile(QStringLiteral("file.txt"));
        Recorder r(bytes(env.root()));
        r.run(bytes(env.root() + QLatin1Char('/') + relative), "*");
        QCOMPARE(r.events, QStringList());
        QCOMPARE(r.finder.entriesSeen(), uint64_t(0));
    }

    void emptySearchpathIsRoot()
    {
        const QStringList top = QDir(QStringLiteral("/")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        QVERIFY(!top.isEmpty());
        Recorder r(std::string{});
        r.finder.sInclSubfolders(false);
        r.run(std::string(), bytes(top.first()));
        QCOMPARE(r.events, QStringList{QStringLiteral("M /|") + top.first()});
    }

    void unreadableDirectory()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("s/closed.dwg/inside.dwg"));
        env.writeFile(QStringLiteral("s/open/seen.dwg"));
        const QString closed = env.root() + QStringLiteral("/s/closed.dwg");
        QVERIFY(QFile::setPermissions(closed, QFileDevice::Permissions()));
        const std::string start = bytes(env.root() + QStringLiteral("/s"));
        QStringList events;
        {
            WithoutDacOverride guard;
            if (!guard.ok()) {
                QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
                QSKIP("running as root and the capabilities to read any directory cannot be dropped");
            }
            QVERIFY(opendir(QFile::encodeName(closed).constData()) == nullptr);
            Recorder r(start);
            r.run(start, "*.dwg");
            events = r.events;
        }
        QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // The closed directory is still a match and a descent; it just yields nothing.
        QCOMPARE(std::count(events.cbegin(), events.cend(), QStringLiteral("S")), 2);
        events.removeAll(QStringLiteral("S"));
        std::sort(events.begin(), events.end());
        QCOMPARE(events, (QStringList{QStringLiteral("M /open/|seen.dwg"), QStringLiteral("M /|closed.dwg")}));
    }

    void symlinksAreNotEntered()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("s/real/x.dwg"));
        const QString s = env.root() + QStringLiteral("/s");
        QVERIFY(QFile::link(QStringLiteral(".."), s + QStringLiteral("/real/up.dwg")));
        QVERIFY(QFile::link(QStringLiteral("."), s + QStringLiteral("/self.dwg")));
        QVERIFY(QFile::link(s + QStringLiteral("/real"), s + QStringLiteral("/alias")));
        Recorder r(bytes(s));
        r.run(bytes(s), "*");
        QCOMPARE(canonical(r.events), (QStringList{QStringLiteral("M /|alias"), QStringLiteral("M /|real"), QStringLiteral("M /|self.dwg"), QStringLiteral("S"),
                                                   QStringLiteral("M /real/|up.dwg"), QStringLiteral("M /real/|x.dwg")}));
        QCOMPARE(r.finder.entriesSeen(), uint64_t(5));
    }

    void nonUtf8Names_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<bool>("matches");
        const QByteArray latin1("Gr\xfc\xdf" "e.dwg");
        QTest::newRow("valid prefix") << latin1 << QByteArray("gr*") << true;
        QTest::newRow("valid suffix, other case") << latin1 << QByteArray("*.DWG") << true;
        QTest::newRow("each stray byte is one character") << latin1 << QByteArray("gr??e.dwg") << true;
        QTest::newRow("stray bytes are not one character together") << latin1 << QByteArray("gr?e.dwg") << false;
        QTest::newRow("mixed with a valid umlaut") << QByteArray("\xc3\xa4\xff.txt") << QByteArray("\xc3\x84?.TXT") << true;
        QTest::newRow("overlong form is two bytes") << QByteArray("\xc0\xaf") << QByteArray("?") << false;
        QTest::newRow("overlong form matched by two") << QByteArray("\xc0\xaf") << QByteArray("??") << true;
        QTest::newRow("same stray byte in pattern") << QByteArray("\xfc" "ber") << QByteArray("\xfc*") << true;
        QTest::newRow("stray bytes are not case folded") << QByteArray("\xfc" "ber") << QByteArray("\xdc*") << false;
    }
    void nonUtf8Names()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, pattern);
        QFETCH(bool, matches);
        TestEnv env;
        const std::string start = bytes(env.makeDir(QStringLiteral("s")));
        const std::string full = start + '/' + name.toStdString();
        const int fd = open(full.c_str(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        close(fd);

        std::vector<std::pair<std::string, std::string>> hits;
        cFindFile f;
        f.MatchFound = [&](const std::string &n, const std::string &base) { hits.emplace_back(n, base); };
        f.sSearchpath(start);
        f.sFileToFind(pattern.toStdString());
        f.sStartSearch();
        unlink(full.c_str()); // QTemporaryDir cannot remove a name it cannot decode
        if (matches)
            QCOMPARE(hits, (std::vector<std::pair<std::string, std::string>>{{name.toStdString(), start + '/'}}));
        else
            QVERIFY(hits.empty());
    }

    void deepTree()
    {
        // 5,000 levels, far past any path length limit, with branches deep down so that the
        // walk must find its way back up after giving up descriptors.
        QTemporaryDir scratch(scratchBase() + QStringLiteral("/tarvo-deep-XXXXXX"));
        QVERIFY(scratch.isValid());
        const std::string start = bytes(scratch.path());
        const int top = open(start.c_str(), O_RDONLY | O_DIRECTORY);
        QVERIFY(top >= 0);
        const int branchAt = 3000;
        const bool built = makeChain(top, 5000, [&](int fd, int level) {
            if (level == 5000)
                touchAt(fd, "bottom.dwg");
            if (level == 20 || level == branchAt) {
                mkdirat(fd, "e", 0755);
                const int e = openat(fd, "e", O_RDONLY | O_DIRECTORY);
                makeChain(e, 300, [](int inner, int l) { if (l == 300) touchAt(inner, "branch.dwg"); });
                close(e);
            }
        });
        close(top);
        QVERIFY(built);

        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit low = saved;
        low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 256);
        setrlimit(RLIMIT_NOFILE, &low);
        const int fdsBefore = openFdCount();
        int stops = 0;
        std::vector<std::string> hits;
        cFindFile f;
        f.MatchFound = [&](const std::string &n, const std::string &base) {
            if (n != "d" && n != "e")
                hits.push_back(base + n);
        };
        f.StopSearch = [&](bool &) { ++stops; };
        f.sSearchpath(start);
        f.sFileToFind("*");
        f.sStartSearch();
        const int fdsAfter = openFdCount();
        setrlimit(RLIMIT_NOFILE, &saved);
        removeContents(start);

        std::string d5000 = start + '/';
        for (int i = 0; i < 5000; ++i)
            d5000 += "d/";
        const auto below = [&](int levels) { return d5000.substr(0, start.size() + 1 + 2 * levels); };
        std::string e300;
        for (int i = 0; i < 300; ++i)
            e300 += "d/";
        std::sort(hits.begin(), hits.end());
        std::vector<std::string> expected{d5000 + "bottom.dwg", below(20) + "e/" + e300 + "branch.dwg", below(branchAt) + "e/" + e300 + "branch.dwg"};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(hits.size(), expected.size());
        QVERIFY(hits == expected);
        QCOMPARE(stops, 5000 + 2 * 301);
        QCOMPARE(f.entriesSeen(), uint64_t(5000 + 2 * 301 + 3));
        QCOMPARE(fdsAfter, fdsBefore);
    }

    void directoryMovedDuringWalk()
    {
        // Level 49 has two deep branches p and q. While the walk is at the bottom of the first,
        // that branch is moved to the start folder, so ".." from it no longer leads to level 49.
        // The walk must still enter the second branch below level 49, not the decoy of the
        // same name in the start folder.
        TestEnv env;
        const std::string start = bytes(env.makeDir(QStringLiteral("m")));
        const int top = open(start.c_str(), O_RDONLY | O_DIRECTORY);
        QVERIFY(top >= 0);
        for (const char *k : {"p", "q"}) {
            mkdirat(top, k, 0755);
            const int fd = openat(top, k, O_RDONLY | O_DIRECTORY);
            touchAt(fd, "decoy.dwg");
            close(fd);
        }
        const bool built = makeChain(top, 49, [&](int fd, int level) {
            if (level != 49)
                return;
            for (const char *k : {"p", "q"}) {
                mkdirat(fd, k, 0755);
                const int sub = openat(fd, k, O_RDONLY | O_DIRECTORY);
                makeChain(sub, 100, [](int inner, int l) { if (l == 100) touchAt(inner, "bottom.dwg"); });
                close(sub);
            }
        });
        close(top);
        QVERIFY(built);

        std::vector<std::string> names;
        bool moved = false;
        cFindFile f;
        f.MatchFound = [&](const std::string &n, const std::string &base) {
            names.push_back(n);
            if (n == "bottom.dwg" && !moved) {
                moved = true;
                const std::string branch = base.substr(0, start.size() + 2 * 49 + 2);
                QCOMPARE(rename(branch.c_str(), (start + "/moved").c_str()), 0);
            }
        };
        f.sSearchpath(start);
        f.sFileToFind("*.dwg");
        f.sStartSearch();
        removeContents(start);

        QVERIFY(moved);
        QCOMPARE(std::count(names.cbegin(), names.cend(), std::string("bottom.dwg")), 2L);
        QCOMPARE(std::count(names.cbegin(), names.cend(), std::string("decoy.dwg")), 2L);
    }

    void manySubdirectories()
    {
        // More subdirectories in one folder than a 16-bit count could hold.
        QTemporaryDir scratch(scratchBase() + QStringLiteral("/tarvo-wide-XXXXXX"));
        QVERIFY(scratch.isValid());
        const std::string start = bytes(scratch.path());
        const int fd = open(start.c_str(), O_RDONLY | O_DIRECTORY);
        const int count = 32800;
        for (int i = 0; i < count; ++i)
            QVERIFY(mkdirat(fd, std::to_string(i).c_str(), 0755) == 0);
        close(fd);
        std::set<std::string> entered;
        cFindFile f;
        f.StopSearch = [&](bool &) { entered.insert(f.sSearchpath()); };
        f.MatchFound = [&](const std::string &, const std::string &) {};
        f.sSearchpath(start);
        f.sFileToFind("x");
        QVERIFY(std::string(f.sSearchpath()) == start);
        f.sStartSearch();
        entered.insert(f.sSearchpath());
        QCOMPARE(int(entered.size()), count + 1);
        QCOMPARE(f.entriesSeen(), uint64_t(count));
    }

    void searchpathFollowsTheWalk()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("s/a/b/hit.dwg"));
        const std::string start = bytes(env.root() + QStringLiteral("/s"));
        cFindFile f;
        std::string during;
        f.MatchFound = [&](const std::string &, const std::string &) { during = f.sSearchpath(); };
        f.sSearchpath(start + '/');
        f.sFileToFind("hit*");
        f.sStartSearch();
        QCOMPARE(during, start + "/a/b");
        QCOMPARE(f.sSearchpath(), start + "/a/b");

        f.sInclSubfolders(false);
        f.sSearchpath(start + '/');
        f.sStartSearch();
        QCOMPARE(f.sSearchpath(), start + '/');
    }

    void patternChangedDuringWalk()
    {
        // A pattern set while the walk runs applies to the folders entered afterwards.
        TestEnv env;
        env.writeFile(QStringLiteral("s/a1"));
        env.writeFile(QStringLiteral("s/b1"));
        env.writeFile(QStringLiteral("s/sub/a2"));
        env.writeFile(QStringLiteral("s/sub/b2"));
        const std::string start = bytes(env.root() + QStringLiteral("/s"));
        Recorder r(start);
        r.finder.StopSearch = [&](bool &) { r.finder.sFileToFind("B*"); };
        r.run(start, "a*");
        QCOMPARE(canonical(r.events), (QStringList{QStringLiteral("M /|a1"), QStringLiteral("M /sub/|b2")}));
        QCOMPARE(r.finder.sFileToFind(), std::string("B*"));
    }

    void failuresBecomeError9999_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("what");
        QTest::newRow("match in start folder, runtime_error") << QStringLiteral("top.dwg") << 0;
        QTest::newRow("match two levels down, runtime_error") << QStringLiteral("deep.dwg") << 0;
        QTest::newRow("match two levels down, int") << QStringLiteral("deep.dwg") << 1;
        QTest::newRow("match two levels down, nested error") << QStringLiteral("deep.dwg") << 2;
        QTest::newRow("StopSearch") << QStringLiteral("stop") << 0;
    }
    void failuresBecomeError9999()
    {
        QFETCH(QString, where);
        QFETCH(int, what);
        TestEnv env;
        env.writeFile(QStringLiteral("s/top.dwg"));
        env.writeFile(QStringLiteral("s/a/b/deep.dwg"));
        const std::string start = bytes(env.root() + QStringLiteral("/s"));
        const std::string trigger = bytes(where);
        const auto fail = [what]() {
            if (what == 0)
                throw std::runtime_error("boom");
            if (what == 1)
                throw 42;
            cFindFile inner;
            inner.MatchFound = [](const std::string &, const std::string &) { throw std::runtime_error("inner"); };
            inner.sSearchpath("/");
            inner.sInclSubfolders(false);
            inner.sFileToFind("*");
            inner.sStartSearch();
        };
        cFindFile f;
        int matches = 0;
        f.MatchFound = [&](const std::string &n, const std::string &) {
            ++matches;
            if (n == trigger)
                fail();
        };
        f.StopSearch = [&](bool &) {
            if (trigger == "stop")
                fail();
        };
        f.sSearchpath(start);
        f.sFileToFind("*.dwg");
        const int fdsBefore = openFdCount();
        bool caught = false;
        try {
            f.sStartSearch();
        } catch (const cFindFile::Error &e) {
            caught = true;
            QCOMPARE(e.number, 9999L);
            QCOMPARE(e.source, std::string("cFindFile:sStartSearch Method"));
            QCOMPARE(e.description, std::string("Fehler bei sStartSearch"));
            QCOMPARE(std::string(e.what()), std::string("Fehler bei sStartSearch"));
        }
        QVERIFY(caught);
        QCOMPARE(openFdCount(), fdsBefore);
        QCOMPARE(matches, trigger == "deep.dwg" ? 2 : 1);

        // The finder is usable again afterwards.
        f.MatchFound = [&](const std::string &, const std::string &) { ++matches; };
        f.StopSearch = nullptr;
        matches = 0;
        f.sSearchpath(start);
        f.sStartSearch();
        QCOMPARE(matches, 2);
    }

    void properties_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("flag");
        QTest::addColumn<bool>("incl");
        QTest::newRow("plain") << QByteArray("/srv/plaene") << 16 << false;
        QTest::newRow("non-UTF-8 bytes") << QByteArray("/srv/Gr\xfc\xdf" "e/") << -1 << true;
        QTest::newRow("empty") << QByteArray() << 0 << false;
        QTest::newRow("extremes") << QByteArray("**?") << int(INT32_MIN) << true;
    }
    void properties()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, flag);
        QFETCH(bool, incl);
        cFindFile f;
        QCOMPARE(f.sSearchpath(), std::string());
        QCOMPARE(f.sFileToFind(), std::string());
        QCOMPARE(f.sInclSubfolders(), true);
        QCOMPARE(f.sFileFlag(), int32_t(439));
        f.sSearchpath(text.toStdString());
        f.sFileToFind(text.toStdString() + "*");
        f.sFileFlag(flag);
        f.sInclSubfolders(incl);
        QCOMPARE(f.sSearchpath(), text.toStdString());
        QCOMPARE(f.sFileToFind(), text.toStdString() + "*");
        QCOMPARE(f.sFileFlag(), int32_t(flag));
        QCOMPARE(f.sInclSubfolders(), incl);
    }
};

QTEST_GUILESS_MAIN(TestFindFile)
#include "tst_cfindfile.moc"
