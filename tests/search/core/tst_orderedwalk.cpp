// The finder's walk with its readers working ahead: the reports must be exactly those of a
// plain serial walk, for every tree, pattern and cancel point, and faults of the file system
// must neither reorder nor hang it.
#include "search/listinggate.h"
#include "search/treefixture.h"
#include "helpers/testenv.h"

#include <QTemporaryDir>
#include <QTest>

#include <fnmatch.h>
#include <sys/resource.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace TreeFixture;

namespace {

// The walk as one thread does it, folder by folder, straight from the file system: the
// reference the finder must match event for event. Events as the Recorder writes them.
struct SerialWalk : EventLog
{
    std::string pattern;

    SerialWalk(const std::string &start, const std::string &pat, const QByteArray &stopAnswers = {})
        : EventLog{start, stopAnswers, {}, {}}, pattern(pat)
    {
    }
    QByteArrayList run(const std::string &start)
    {
        std::string base = start;
        while (!base.empty() && base.back() == '/')
            base.pop_back();
        folder(base + '/');
        return events;
    }
    void folder(const std::string &base)
    {
        const std::string patternHere = pattern; // a change applies to folders listed afterwards
        std::vector<std::string> subfolders;
        if (DIR *d = opendir(base.c_str())) {
            while (const dirent *e = readdir(d)) {
                const std::string name = e->d_name;
                if (name == "." || name == "..")
                    continue;
                struct stat sb;
                if (e->d_type == DT_DIR || (e->d_type == DT_UNKNOWN && lstat((base + name).c_str(), &sb) == 0 && S_ISDIR(sb.st_mode)))
                    subfolders.push_back(name);
                if (fnmatch(patternHere.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
                    match(base, name);
            }
            closedir(d);
        }
        for (const std::string &sub : subfolders) {
            if (stop())
                break;
            folder(base + sub + '/');
        }
    }
};

// Trees in the words build() takes.
QByteArray comb(int levels)
{
    // Every level keeps three side folders besides the way down, so many folders at once have
    // children left to open: more than the finder keeps open, which makes it reopen some by name.
    QByteArray tree, path;
    for (int i = 0; i < levels; ++i) {
        tree += path + "x" + QByteArray::number(i) + " " + path + "s1/x " + path + "s2/y/x " + path + "s3/ ";
        path += "c/";
    }
    return tree + path + "bottom.x";
}

QByteArray wide(int folders)
{
    QByteArray tree;
    for (int i = 0; i < folders; ++i) {
        const QByteArray f = "f" + QByteArray::number(i) + "/";
        tree += f + "x1 " + f + "a/x2 " + f + "a/b/ " + f + "y " + f + "c/x3 ";
    }
    return tree + "xtop";
}

const char *kBranches = "x0 a/x1 a/b/x2 a/b/c/x3 a/b/c/y a/b/d/x4 a/e/x5 a/e/f/ f/x6 f/g/x7 f/g/h/i/x8 j/ k/l/m/x9 "
                        "k/l/n/x10 k/o/x11 k/o/p/q/r/s/x12";
const char *kLinks = "x0 a/x1 a/loop->.. a/up->../a b/x2 b/self->. c->a d/xd/x3 d/xd/back->../..";

// The path of a folder below the start folder decides whether the reader opening it waits
// a little: listings then come back in another order than they were asked for.
int delayFor(const std::string &path)
{
    const size_t h = std::hash<std::string>()(path);
    std::this_thread::sleep_for(std::chrono::microseconds(h % 800));
    return 0;
}

qsizetype countEndingIn(const QByteArrayList &events, const char *end)
{
    return std::count_if(events.begin(), events.end(), [&](const QByteArray &e) { return e.endsWith(end); });
}

// Lowers the descriptor limit so that only `spare` more can be opened, for as long as it lives.
struct DescriptorLimit
{
    rlimit saved{};
    explicit DescriptorLimit(int spare)
    {
        getrlimit(RLIMIT_NOFILE, &saved);
        const int lowestFree = open("/dev/null", O_RDONLY | O_CLOEXEC);
        close(lowestFree);
        const rlimit low{rlim_t(lowestFree + spare), saved.rlim_max};
        setrlimit(RLIMIT_NOFILE, &low);
    }
    ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved); }
};

} // namespace

class TestOrderedWalk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }
    void cleanup() { QVERIFY(readersGone()); }

    void matchesTheSerialWalk_data()
    {
        QTest::addColumn<QByteArray>("tree");
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<int>("readers");
        QTest::addColumn<int>("ahead");
        QTest::addColumn<bool>("delays");
        QTest::addColumn<int>("step"); // cancel points tried: every one, or every step-th in big trees
        const auto row = [](const char *name, const QByteArray &tree, const char *pattern, int readers, int ahead, bool delays, int step = 1) {
            QTest::newRow(name) << tree << QByteArray(pattern) << readers << ahead << delays << step;
        };
        row("branches", kBranches, "x*", 0, 0, false);
        row("branches, every entry", kBranches, "*", 0, 0, false);
        row("branches, slow readers", kBranches, "x*", 8, 0, true);
        row("branches, one reader, one ahead", kBranches, "*", 1, 1, false);
        row("branches, slow, two ahead", kBranches, "x1*", 4, 2, true);
        row("links and loops", kLinks, "*", 0, 0, false);
        row("links, slow", kLinks, "*", 8, 0, true);
        row("comb deeper than the folders kept open", comb(80), "x*", 0, 0, false, 37);
        row("comb, slow", comb(12), "*x", 16, 0, true, 5);
        row("wide", wide(30), "x*", 0, 0, false, 7);
        row("wide, slow, few ahead", wide(10), "*", 8, 3, true, 7);
    }
    void matchesTheSerialWalk()
    {
        QFETCH(QByteArray, tree);
        QFETCH(QByteArray, pattern);
        QFETCH(int, readers);
        QFETCH(int, ahead);
        QFETCH(bool, delays);
        QFETCH(int, step);
        TestEnv env;
        const std::string start = bytes(env.makeDir(QStringLiteral("start")));
        build(start + '/', tree);

        SerialWalk whole{start, pattern.toStdString()};
        const qsizetype stops = whole.run(start).count("S");
        QVERIFY(stops > 2);

        // Cancel at each StopSearch once, or from there on (as the stop button does), or change
        // the pattern there; and no cancel at all.
        const QByteArray patternThere = pattern == "*" ? QByteArray("x1*") : QByteArray("*");
        for (qsizetype at = 0; at <= stops; at = at < stops ? std::min<qsizetype>(at + step, stops) : stops + 1) {
            for (const char *mode : {"once", "from there", "pattern"}) {
                const QByteArray nos(at, 'n');
                const QByteArray answers = qstrcmp(mode, "once") == 0 ? nos + 'y'
                    : qstrcmp(mode, "from there") == 0                ? nos + QByteArray(stops + 1, 'y')
                                                                      : QByteArray();
                SerialWalk serial{start, pattern.toStdString(), answers};
                Recorder r(start, answers);
                r.finder.setReadAhead(readers, ahead);
                if (delays)
                    r.finder.beforeOpen = delayFor;
                if (qstrcmp(mode, "pattern") == 0) {
                    serial.onEvent = [&, n = qsizetype(0)](const QByteArray &e) mutable {
                        if (e == "S" && n++ == at)
                            serial.pattern = patternThere.toStdString();
                    };
                    r.onEvent = [&, n = qsizetype(0)](const QByteArray &e) mutable {
                        if (e == "S" && n++ == at)
                            r.finder.sFileToFind(patternThere.toStdString());
                    };
                }
                const QByteArrayList expected = serial.run(start);
                r.finder.sSearchpath(start);
                r.finder.sFileToFind(pattern.toStdString());
                r.finder.sStartSearch();
                QVERIFY2(r.events == expected, qPrintable(QStringLiteral("%1 at StopSearch %2:\n%3\nexpected:\n%4")
                                                              .arg(QLatin1String(mode)).arg(at)
                                                              .arg(QString::fromUtf8(r.events.join(' ')), QString::fromUtf8(expected.join(' ')))));
                QVERIFY(r.finder.readAheadPeak() <= size_t(ahead > 0 ? ahead + 1 : 257));
            }
        }
        QVERIFY(readersGone());
        const InDir in(QString::fromStdString(start));
        emptyHere();
    }

    void abortDoesNotWaitForABlockedListing_data()
    {
        QTest::addColumn<QByteArray>("blocked"); // the folder whose listing hangs
        QTest::addColumn<QByteArray>("before");  // reported before the walk needs it
        QTest::newRow("start folder") << QByteArray("") << QByteArray();
        QTest::newRow("first subfolder") << QByteArray("a") << QByteArray("/|top.x S");
        QTest::newRow("deeper") << QByteArray("a/b") << QByteArray("/|top.x S /a/|in.x S");
    }
    void abortDoesNotWaitForABlockedListing()
    {
        QFETCH(QByteArray, blocked);
        QFETCH(QByteArray, before);
        TestEnv env;
        const std::string start = bytes(env.makeDir(QStringLiteral("start")));
        build(start + '/', "top.x a/in.x a/b/deep.x");
        const auto gate = ListingGate::at(blocked.toStdString());
        Recorder r(start);
        r.finder.beforeOpen = ListingGate::hook(gate);
        r.finder.sSearchpath(start);
        r.finder.sFileToFind("*.x");
        // Read here while the walk runs on its own thread.
        std::mutex seenMutex;
        QByteArrayList seen;
        r.onEvent = [&](const QByteArray &e) {
            std::lock_guard<std::mutex> lock(seenMutex);
            seen << e;
        };
        const auto snapshot = [&] {
            std::lock_guard<std::mutex> lock(seenMutex);
            return seen;
        };
        std::atomic<bool> returned{false};
        std::thread walker([&] {
            r.finder.sStartSearch();
            returned = true;
        });
        QTRY_VERIFY(gate->reached);
        // The walk has reported all it can and waits for the blocked folder.
        QTRY_COMPARE(snapshot(), before.isEmpty() ? QByteArrayList() : before.split(' '));
        QTest::qWait(20);
        QVERIFY(!returned);

        r.finder.abort();
        QTRY_VERIFY_WITH_TIMEOUT(returned, 5000);
        walker.join();
        // The reader is still stuck in the file system; the walk is over and reports nothing more.
        QVERIFY(cFindFile::readersRunning() > 0);
        const QByteArrayList atAbort = r.events;
        gate->release();
        QVERIFY(readersGone());
        QCOMPARE(r.events, atAbort);

        // Aborted stays aborted until cleared; then the finder walks again.
        r.onEvent = nullptr;
        r.events.clear();
        r.finder.sSearchpath(start);
        r.finder.sStartSearch();
        QCOMPARE(r.events, QByteArrayList());
        r.finder.clearAbort();
        r.finder.beforeOpen = nullptr;
        r.finder.sSearchpath(start);
        r.finder.sStartSearch();
        QCOMPARE(r.events, (QByteArrayList{"/|top.x", "S", "/a/|in.x", "S", "/a/b/|deep.x"}));
    }

    void changedWhileReadAhead_data()
    {
        QTest::addColumn<QByteArray>("change"); // made while a reader is about to open "v"
        QTest::addColumn<QByteArrayList>("inV"); // then reported for v
        QTest::newRow("removed") << QByteArray("remove") << QByteArrayList();
        QTest::newRow("replaced by a file") << QByteArray("file") << QByteArrayList();
        QTest::newRow("replaced by a link to a folder") << QByteArray("link") << QByteArrayList();
        QTest::newRow("replaced by another folder") << QByteArray("folder") << QByteArrayList{"/v/|other.x"};
    }
    void changedWhileReadAhead()
    {
        QFETCH(QByteArray, change);
        QFETCH(QByteArrayList, inV);
        TestEnv env;
        const std::string start = bytes(env.makeDir(QStringLiteral("start")));
        const std::string root = bytes(env.root());
        build(start + '/', "a.x v/v.x v/deep/d.x w/w.x");
        build(root + '/', "elsewhere/other.x");
        const std::string v = start + "/v";
        const QByteArrayList folderOrder = listing(start, true);
        const auto gate = ListingGate::at("v");
        Recorder r(start);
        r.finder.beforeOpen = ListingGate::hook(gate);
        r.finder.sSearchpath(start);
        r.finder.sFileToFind("*");
        std::thread walker([&] { r.finder.sStartSearch(); });
        QTRY_VERIFY(gate->reached);
        QCOMPARE(rename(v.c_str(), (root + "/gone").c_str()), 0);
        if (change == "file")
            touch(v);
        else if (change == "link")
            QCOMPARE(symlink((root + "/elsewhere").c_str(), v.c_str()), 0);
        else if (change == "folder")
            QCOMPARE(rename((root + "/elsewhere").c_str(), v.c_str()), 0);
        gate->release();
        walker.join();

        // The start folder was listed before the change; v then yields what stands there when
        // it is opened, and a link is not followed.
        QByteArrayList want{"/|a.x", "/|v", "/|w"};
        for (const QByteArray &folder : folderOrder) {
            want << "S";
            want << (folder == "v" ? inV : QByteArrayList{"/w/|w.x"});
        }
        QCOMPARE(canonical(r.events), canonical(want));
    }

    // A folder that cannot be listed yields nothing and the walk goes on; running out of
    // descriptors or memory ends the walk with error 9999 rather than a partial result.
    void openFailures_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QByteArray>("failing");
        QTest::addColumn<QByteArray>("expected"); // the events, then the error's number
        const std::pair<const char *, int> errors[] = {{"access denied", EACCES}, {"gone", ENOENT}, {"not a folder", ENOTDIR},
                                                       {"a link", ELOOP}, {"name too long", ENAMETOOLONG}};
        for (const auto &[what, error] : errors) { // as if the failing folder were empty
            QTest::addRow("%s, start folder", what) << error << QByteArray("") << QByteArray();
            QTest::addRow("%s, subfolder", what) << error << QByteArray("a") << QByteArray("/|top.x S");
            QTest::addRow("%s, deepest", what) << error << QByteArray("a/b") << QByteArray("/|top.x S /a/|in.x S");
        }
        for (const int error : {EMFILE, ENFILE, ENOMEM, ENOBUFS}) {
            QTest::addRow("start folder, errno %d", error) << error << QByteArray("") << QByteArray("9999");
            QTest::addRow("deep folder, errno %d", error) << error << QByteArray("a/b") << QByteArray("/|top.x S /a/|in.x S 9999");
        }
    }
    void openFailures()
    {
        QFETCH(int, error);
        QFETCH(QByteArray, failing);
        QFETCH(QByteArray, expected);
        TestEnv env;
        const std::string start = bytes(env.makeDir(QStringLiteral("start")));
        build(start + '/', "top.x a/in.x a/b/deep.x");
        Recorder r(start);
        r.finder.beforeOpen = [&](const std::string &p) { return p == failing.toStdString() ? error : 0; };
        try {
            r.run(start, "*.x");
        } catch (const cFindFile::Error &e) {
            QCOMPARE(e.source, std::string("cFindFile:sStartSearch Method"));
            r.events << QByteArray::number(qlonglong(e.number));
        }
        QCOMPARE(r.events, expected.isEmpty() ? QByteArrayList() : expected.split(' '));
    }

    void unreadableFolderOnDisk()
    {
        if (geteuid() == 0)
            QSKIP("root reads every folder");
        TestEnv env;
        const std::string start = bytes(env.makeDir(QStringLiteral("start")));
        build(start + '/', "a/in.x a/b/deep.x c/c.x");
        QCOMPARE(chmod((start + "/a").c_str(), 0), 0);
        Recorder r(start);
        const QByteArrayList events = r.run(start, "*.x");
        chmod((start + "/a").c_str(), 0755);
        QCOMPARE(events.count("S"), 2);
        QCOMPARE(countEndingIn(events, "|c.x") + countEndingIn(events, "in.x") + countEndingIn(events, "deep.x"), 1);
    }

    void outOfDescriptors()
    {
        // A chain deeper than any descriptor limit, with side folders on the way so that many
        // folders wait for children at once.
        QTemporaryDir scratch(scratchBase() + QStringLiteral("/tarvo-fds-XXXXXX"));
        const InDir in(scratch.path());
        QVERIFY(branch("d", 3000, "bottom.x", [](int level) { return level % 50 != 0 || branch("e", 3, "side.x"); }));
        const std::string start = bytes(scratch.path());
        QVERIFY(readersGone());
        const int fdsBefore = openFdCount();

        // No descriptor at all: the walk cannot even start, and says so.
        {
            Recorder r(start);
            const DescriptorLimit limit(0);
            bool failed = false;
            try {
                r.run(start, "*.x");
            } catch (const cFindFile::Error &e) {
                failed = e.number == 9999;
            }
            QVERIFY(failed);
            QCOMPARE(r.events, QByteArrayList());
        }
        QVERIFY(readersGone());

        // A handful: fewer than the finder would like to keep open, enough to go on.
        {
            Recorder r(start);
            QByteArrayList events;
            {
                const DescriptorLimit limit(6);
                events = r.run(start, "*.x");
                QVERIFY(readersGone());
            }
            QCOMPARE(events.count("S"), 3000 + 60 * 3);
            QCOMPARE(countEndingIn(events, "/|bottom.x"), 1);
            QCOMPARE(countEndingIn(events, "/|side.x"), 60);
        }
        QCOMPARE(openFdCount(), fdsBefore);
        emptyHere();
    }
};

QTEST_GUILESS_MAIN(TestOrderedWalk)
#include "tst_orderedwalk.moc"
