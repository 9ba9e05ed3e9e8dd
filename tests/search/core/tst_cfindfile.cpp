// The finder: what a walk reports, in exactly the order of a plain serial walk while readers
// list folders ahead of it, and which faults of the file system end it and which do not; and
// the search session's abort over it.
#include "helpers/testenv.h"
#include "search/core/cfindfile.h"
#include "search/core/searchsession.h"
#include "search/listinggate.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <set>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// A test's tree, in memory when possible (many folders take minutes on a slow disk), built from
// words: "a/b" a file, "a/" a folder, "l->t" a link to t. Deep trees exceed the path length
// limit: built from inside, by relative steps, and removed by rm, as are names that are no UTF-8.
struct Tree
{
    QTemporaryDir dir{(QFileInfo(u"/dev/shm"_s).isWritable() ? u"/dev/shm"_s : QDir::tempPath()) + u"/tarvo-walk-XXXXXX"_s};
    const std::string root = QFile::encodeName(dir.path()).toStdString();
    const QString saved = QDir::currentPath();

    explicit Tree(const QByteArray &tree = {})
    {
        QDir::setCurrent(dir.path());
        for (const QByteArray &w : tree.split(' ')) {
            const qsizetype arrow = w.indexOf("->");
            for (qsizetype s = w.indexOf('/'); s > 0 && (arrow < 0 || s < arrow); s = w.indexOf('/', s + 1))
                mkdir(w.left(s).constData(), 0755);
            if (arrow > 0)
                QVERIFY(symlink(w.mid(arrow + 2).constData(), w.left(arrow).constData()) == 0);
            else if (!w.isEmpty() && !w.endsWith('/'))
                close(open(w.constData(), O_WRONLY | O_CREAT, 0644));
        }
    }
    ~Tree()
    {
        QDir::setCurrent(saved);
        QProcess::execute(u"rm"_s, {u"-rf"_s, dir.path()});
    }
};

// Makes folder `name` in the current one and below it folders "d" down to level `depth`,
// calls at(level) in each and puts a file `leaf` in the deepest; returns to where it started.
bool branch(const char *name, int depth, const char *leaf, const std::function<bool(int)> &at = {}, int level = 1)
{
    if (mkdir(name, 0755) != 0 || chdir(name) != 0)
        return false;
    const bool ok = (!at || at(level)) && (level < depth ? branch("d", depth, leaf, at, level + 1) : close(open(leaf, O_WRONLY | O_CREAT, 0644)) == 0);
    return chdir("..") == 0 && ok;
}

int openFdCount()
{
    return int(QDir(u"/proc/self/fd"_s).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// The finder's readers outlive a walk that ended early; descriptors and hooks are theirs until
// they are gone.
bool readersGone()
{
    for (QDeadlineTimer deadline(10000); cFindFile::readersRunning() > 0 && !deadline.hasExpired();)
        QThread::msleep(1);
    return cFindFile::readersRunning() == 0;
}

QByteArrayList words(const QByteArray &text)
{
    return text.isEmpty() ? QByteArrayList() : text.split(' ');
}

QByteArrayList sorted(QByteArrayList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

// One walk, by the finder or by a plain serial walk that reads the file system folder by folder
// (the reference the finder must match event for event), recorded as events: "<base below the
// root>|<name>" per match, "S" for a StopSearch answered false and "S!" for one answered true
// ('y' in answers; answers used up mean false).
struct Walk
{
    std::string root;
    QByteArray answers;
    QByteArrayList events;
    std::atomic<int> count{0}; // of events, for a test that watches a walk on another thread
    std::function<void(const QByteArray &)> onEvent;
    cFindFile finder;
    std::string pattern; // a new one applies to the folders listed afterwards

    explicit Walk(const std::string &start, const QByteArray &stops = {}) : root(start), answers(stops)
    {
        finder.MatchFound = [this](const std::string &name, const std::string &base) { match(base, name); };
        finder.StopSearch = [this](bool &cancel) {
            cancel = answers.startsWith('y');
            answers.remove(0, 1);
            record(cancel ? "S!" : "S");
        };
        finder.sSearchpath(start);
    }
    void match(const std::string &base, const std::string &name) { record(QByteArray::fromStdString(base.substr(root.size()) + '|' + name)); }
    void record(const QByteArray &e)
    {
        events << e;
        ++count;
        if (onEvent)
            onEvent(e);
    }
    void setPattern(const std::string &p) { finder.sFileToFind(pattern = p); }
    QByteArrayList run(const std::string &p)
    {
        setPattern(p);
        finder.sStartSearch();
        return events;
    }
    void serially(const std::string &base)
    {
        const std::string patternHere = pattern;
        std::vector<std::string> subfolders;
        DIR *d = opendir(base.c_str());
        while (const dirent *e = d ? readdir(d) : nullptr) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            if (e->d_type == DT_DIR) // the trees are in memory or on a local disk, which tell the type
                subfolders.push_back(name);
            if (fnmatch(patternHere.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
                match(base, name);
        }
        if (d)
            closedir(d);
        bool cancel = false; // answered as the finder's StopSearch is
        for (size_t i = 0; i < subfolders.size() && (finder.StopSearch(cancel), !cancel); ++i)
            serially(base + subfolders[i] + '/');
    }
};

// Rows of the tables below.
struct Matching {
    const char *tree, *pattern, *expected, *from = ""; // appended to the start folder; "-": subfolders not entered
};
struct Serial {
    QByteArray tree;
    const char *pattern;
    int readers, ahead; // 0: as the finder sets them
    bool delays;        // readers wait a little, each folder its own time, so listings come back out of order
    int step;           // cancel points tried: every one, or every step-th in big trees
};
struct Fault {
    QByteArray tree; // the walk starts in "start"
    const char *at;  // the folder, or the event after which the callback throws
    QByteArray fault, expected; // an errno in opening the folder, or what else happens there
};

} // namespace

Q_DECLARE_METATYPE(Matching)
Q_DECLARE_METATYPE(Serial)
Q_DECLARE_METATYPE(Fault)

class TestFindFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }
    void cleanup() { QVERIFY(readersGone()); } // before the next test counts descriptors

    // Which entries match; their order is the serial walk's, compared below.
    void walk_data()
    {
        QTest::addColumn<Matching>("m");
        const auto row = [](const char *name, const Matching &m) { QTest::newRow(name) << m; };
        const char *chain = "m0.dwg a/m1.dwg a/b/m2.dwg a/b/c/m3.dwg a/b/c/n.txt";
        row("start with a separator", {chain, "m*", "/|m0.dwg S /a/|m1.dwg S /a/b/|m2.dwg S /a/b/c/|m3.dwg", "/"});
        row("question mark is one character", {"4711-b.pdf 4711-bb.pdf 4711-.pdf 4711.pdf", "4711-?.pdf", "/|4711-b.pdf"});
        row("two stars match all, dot files too", {".hidden plain d/", "**", "/|.hidden /|d /|plain S"});
        row("backtracking star", {"abab-ab.dwg ab.dwgx", "*ab*ab.dwg", "/|abab-ab.dwg"});
        row("umlaut, lower pattern", {"Äpfel.dwg äpfel2 apfel", "ä*", "/|Äpfel.dwg /|äpfel2"});
        row("question mark takes a whole umlaut", {"Äpfel xx", "?pfel*", "/|Äpfel"});
        row("each stray byte is one character", {"Gr\xfc\xdf" "e.dwg Grxe.dwg", "gr??e.dwg", "/|Gr\xfc\xdf" "e.dwg"});
        row("stray byte next to a valid umlaut", {"\xc3\xa4\xff.txt", "\xc3\x84?.TXT", "/|\xc3\xa4\xff.txt"});
        row("stray bytes match themselves, not folded or a valid letter", {"\xfc" "ber \xdc" "ber über", "\xfc*", "/|\xfc" "ber"});
    }
    void walk()
    {
        QFETCH(Matching, m);
        const Tree t(m.tree);
        Walk w(t.root + (m.from == "-"_ba ? "" : m.from));
        w.root = t.root;
        w.finder.sInclSubfolders(m.from != "-"_ba);
        QCOMPARE(sorted(w.run(m.pattern)), sorted(words(m.expected)));
    }

    void matchesTheSerialWalk_data()
    {
        QTest::addColumn<Serial>("s");
        const QByteArray branches = "x0 a/x1 a/b/x2 a/b/c/x3 a/b/c/y a/b/d/x4 a/e/x5 a/e/f/ f/x6 f/g/x7 f/g/h/i/x8 j/ k/l/m/x9 "
                                    "k/l/n/x10 k/o/x11 k/o/p/q/r/s/x12"_ba;
        // Every level of the comb keeps three side folders besides the way down, so more folders
        // have children left to open than the finder keeps open: it reopens some by name.
        QByteArray comb, path;
        for (int i = 0; i < 80; ++i, path += "c/")
            comb += path + "x" + QByteArray::number(i) + " " + path + "s1/x " + path + "s2/y/x " + path + "s3/ ";
        QTest::newRow("branches") << Serial{branches, "x*", 0, 0, false, 1};
        QTest::newRow("branches, one reader, one ahead") << Serial{branches, "*", 1, 1, false, 1};
        QTest::newRow("branches, slow, two ahead") << Serial{branches, "x1*", 4, 2, true, 1};
        QTest::newRow("links and loops, slow") << Serial{"x0 a/x1 a/loop->.. a/up->../a b/x2 b/self->. c->a d/xd/x3 d/xd/back->../.."_ba, "*", 8, 0, true, 1};
        QTest::newRow("comb deeper than the folders kept open, slow") << Serial{comb + path + "bottom.x", "x*", 16, 0, true, 37};
    }
    void matchesTheSerialWalk()
    {
        QFETCH(Serial, s);
        const Tree t(s.tree);
        const std::string pattern = s.pattern;
        Walk whole(t.root);
        whole.setPattern(pattern);
        whole.serially(t.root + '/');
        const qsizetype stops = whole.events.count("S");

        // Cancel at each StopSearch once, or from there on (as the stop button does), or set
        // another pattern there; and none of these.
        for (qsizetype at = 0; at <= stops; at = at < stops ? std::min<qsizetype>(at + s.step, stops) : stops + 1) {
            for (const QByteArray &answers : QByteArrayList{QByteArray(at, 'n') + 'y', QByteArray(at, 'n') + QByteArray(stops + 1, 'y'), {}}) {
                Walk serial(t.root, answers), w(t.root, answers);
                for (Walk *one : {&serial, &w}) {
                    one->setPattern(pattern);
                    one->onEvent = [=, n = qsizetype(0)](const QByteArray &e) mutable {
                        if (answers.isEmpty() && e == "S" && n++ == at)
                            one->setPattern(pattern == "*" ? "x1*" : "*");
                    };
                }
                serial.serially(t.root + '/');
                w.finder.setReadAhead(s.readers, s.ahead);
                if (s.delays) {
                    w.finder.beforeOpen = [](const std::string &path) {
                        std::this_thread::sleep_for(std::chrono::microseconds(std::hash<std::string>()(path) % 800));
                        return 0;
                    };
                }
                w.finder.sStartSearch();
                QVERIFY2(w.events == serial.events, QByteArray(answers + " at " + QByteArray::number(at) + ":\n" + w.events.join(' ') + "\nexpected:\n"
                                                               + serial.events.join(' ')).constData());
                QVERIFY(w.finder.readAheadPeak() <= size_t(s.ahead > 0 ? s.ahead + 1 : 257));
            }
        }
    }

    void deepChain()
    {
        // 5000 levels, far past any path length limit and the descriptors left, with side folders
        // on the way so that many folders wait for children at once: the walk must give descriptors
        // up on the way down and find its way back up. At the bottom of branch p of level 49, p is
        // moved to the start folder, so ".." no longer leads to level 49: the walk must still enter
        // q there, not the decoy of that name on top.
        const Tree t("p/decoy.x q/decoy.x");
        QVERIFY(branch("d", 5000, "bottom.x", [](int l) {
            return l == 49 ? branch("p", 101, "branch.x") && branch("q", 101, "branch.x") : l % 50 != 0 || branch("e", 3, "side.x");
        }));
        const int fdsBefore = openFdCount();
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_NOFILE, &saved); });
        const int lowestFree = open("/dev/null", O_RDONLY | O_CLOEXEC);
        close(lowestFree);
        for (const int spare : {0, 6}) { // descriptors left; with none the walk cannot even start, and says so
            Walk w(t.root);
            bool moved = false;
            w.onEvent = [&](const QByteArray &e) {
                if (e.endsWith("|branch.x") && e.at(99) != 'd' && !std::exchange(moved, true)) // below level 49
                    QCOMPARE(rename((t.root + e.left(100).toStdString()).c_str(), (t.root + "/moved").c_str()), 0);
            };
            const rlimit low{rlim_t(lowestFree + spare), saved.rlim_max};
            setrlimit(RLIMIT_NOFILE, &low);
            try {
                w.run("*.x");
            } catch (const cFindFile::Error &e) {
                w.events << QByteArray::number(qlonglong(e.number));
            }
            QVERIFY(readersGone());
            setrlimit(RLIMIT_NOFILE, &saved);
            QCOMPARE(openFdCount(), fdsBefore);
            if (spare == 0) {
                QCOMPARE(w.events, QByteArrayList{"9999"});
                continue;
            }
            QVERIFY(moved);
            QCOMPARE(w.events.removeAll("S"), qsizetype(5000 + 2 + 2 * 101 + 100 * 3));
            const QByteArray d = QByteArray("/d").repeated(5000);
            QByteArrayList expected{d + "/|bottom.x", "/p/|decoy.x", "/q/|decoy.x"};
            for (const char *side : {"/p", "/q"})
                expected << d.left(98) + side + d.left(200) + "/|branch.x";
            for (int level = 50; level <= 5000; level += 50)
                expected << d.left(2 * level) + "/e/d/d/|side.x";
            QCOMPARE(sorted(w.events), sorted(expected));
            QCOMPARE(w.finder.entriesSeen(), uint64_t(5000 + 2 + 2 * 101 + 100 * 3 + 105));
        }
    }

    void manySubfolders()
    {
        // Far more subfolders in one folder than a 16-bit count could hold; each is entered
        // once, and the listings read ahead stay within the finder's bound (256, and the one
        // the walk waits for) instead of growing with the folder.
        const Tree t;
        for (int i = 0; i < 200000; ++i)
            QVERIFY(mkdir(std::to_string(i).c_str(), 0755) == 0);
        std::set<std::string> entered;
        cFindFile f;
        f.StopSearch = [&](bool &) { entered.insert(f.sSearchpath()); };
        f.sSearchpath(t.root);
        f.sFileToFind("x");
        f.sStartSearch();
        entered.insert(f.sSearchpath()); // the last one entered
        QVERIFY(entered.size() == 200001 && f.entriesSeen() == 200000);
        QVERIFY2(f.readAheadPeak() > 1 && f.readAheadPeak() <= 257, std::to_string(f.readAheadPeak()).c_str());
    }

    // Faults while the finder walks: a listing that hangs, as on a share that stops answering,
    // which an abort ends at once; a folder that changes while a reader is about to open it,
    // which yields what stands there then (a link is not followed); a folder that cannot be
    // opened, which yields nothing; running out of descriptors or memory, and a failing
    // callback, which end the walk with error 9999 rather than a partial result. No descriptor
    // is left open, and the finder walks as before afterwards, once an abort is cleared.
    void faults_data()
    {
        QTest::addColumn<Fault>("f");
        const auto row = [](const char *name, const Fault &f) { QTest::newRow(name) << f; };
        const QByteArray chain = "start/top.x start/a/in.x start/a/b/deep.x"_ba, before = "/|a /|top.x S /a/|b /a/|in.x S"_ba;
        const QByteArray v = "start/a.x start/v/v.x start/v/deep/d.x start/w/w.x elsewhere/other.x"_ba, beside = "/|a.x /|v /|w S S /w/|w.x"_ba;
        const auto number = [](int error) { return QByteArray::number(error); };
        row("abort", {chain, "a/b", "abort", before});
        row("removed", {v, "v", "remove", beside});
        row("replaced by a link to a folder", {v, "v", "link", beside});
        row("replaced by another folder", {v, "v", "folder", beside + " /v/|other.x"});
        row("access denied, start folder", {chain, "", number(EACCES), ""});
        row("no descriptor, start folder", {chain, "", number(EMFILE), "9999"});
        row("no descriptor in the system, deepest", {chain, "a/b", number(ENFILE), before + " 9999"});
        row("no memory, subfolder", {chain, "a", number(ENOMEM), "/|a /|top.x S 9999"});
        row("no buffer space, deepest", {chain, "a/b", number(ENOBUFS), before + " 9999"});
        row("a match throws", {chain, "/a/b/|deep.x", "throw", before + " /a/b/|deep.x 9999"});
        row("StopSearch throws an int", {chain, "S", "throw int", "/|a /|top.x S 9999"});
    }
    void faults()
    {
        QFETCH(Fault, f);
        const QByteArray at = f.at, &fault = f.fault, &expected = f.expected;
        const Tree t(f.tree);
        const std::string start = t.root + "/start", folder = start + '/' + at.toStdString(), elsewhere = t.root + "/elsewhere";
        const int fdsBefore = openFdCount();
        const auto gate = ListingGate::at(at.toStdString());
        Walk w(start);
        w.finder.beforeOpen = ListingGate::hook(gate);
        if (fault.toInt() > 0)
            w.finder.beforeOpen = [&](const std::string &p) { return p == gate->folder ? fault.toInt() : 0; };
        w.onEvent = [&](const QByteArray &e) {
            if (e == at && fault == "throw int")
                throw 42;
            if (e == at && fault == "throw")
                throw std::runtime_error("boom");
        };
        std::string failure;
        auto walk = std::async(std::launch::async, [&] {
            try {
                w.run("*");
            } catch (const cFindFile::Error &e) {
                failure = std::to_string(e.number) + '|' + e.source + '|' + e.description + '|' + e.what();
            }
        });
        const auto unblock = qScopeGuard([&] { gate->release(); }); // runs before the walk is waited for
        if (fault == "abort") {
            QTRY_VERIFY(gate->reached && w.count == int(words(expected).size()));
            QVERIFY(walk.wait_for(20ms) == std::future_status::timeout);
            w.finder.abort();
            QVERIFY(walk.wait_for(5s) == std::future_status::ready);
            QVERIFY(cFindFile::readersRunning() > 0); // the reader is still stuck in the file system
        } else if (fault == "remove" || fault == "link" || fault == "folder") {
            QTRY_VERIFY(gate->reached);
            QCOMPARE(rename(folder.c_str(), (t.root + "/gone").c_str()), 0);
            QVERIFY(fault != "link" || symlink(elsewhere.c_str(), folder.c_str()) == 0);
            QVERIFY(fault != "folder" || rename(elsewhere.c_str(), folder.c_str()) == 0);
        }
        gate->release();
        walk.wait();
        QVERIFY(readersGone());
        QCOMPARE(failure, std::string(expected.endsWith("9999") ? "9999|cFindFile:sStartSearch Method|Fehler bei sStartSearch|Fehler bei sStartSearch" : ""));
        QCOMPARE(sorted(w.events + words(failure.empty() ? "" : "9999")), sorted(words(expected)));
        QCOMPARE(openFdCount(), fdsBefore);
        if (f.tree.contains("elsewhere")) // changed for good
            return;
        w.onEvent = nullptr;
        w.finder.beforeOpen = nullptr;
        w.events.clear();
        if (fault == "abort") {
            w.finder.sSearchpath(start);
            QCOMPARE(w.run("*.x"), QByteArrayList());
            w.finder.clearAbort();
        }
        w.finder.sSearchpath(start);
        QCOMPARE(w.run("*.x"), words("/|top.x S /a/|in.x S /a/b/|deep.x"));
    }

    // The search session over the finder: an abort returns at once while a listing hangs and
    // drops what was not taken. (The search window starts its next search on the same session.)
    void sessionAbortDoesNotWaitForAHangingListing()
    {
        const Tree t("plan.dwg hangs/plan.dwg");
        const auto gate = ListingGate::at("hangs");
        SearchSession::setOpenHook(ListingGate::hook(gate));
        std::atomic<bool> stop{false};
        SearchSession session(stop);
        session.start(SearchSession::makeQuery({t.dir.path()}, u"plan"_s));
        SearchSession::setOpenHook(nullptr);
        QTRY_VERIFY(gate->reached);
        auto aborted = std::async(std::launch::async, [&] { session.abort(); });
        const bool returned = aborted.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        const bool readerStillStuck = cFindFile::readersRunning() > 0;
        gate->release();
        aborted.wait();
        QVERIFY(returned && readerStillStuck && !session.active() && session.take().empty());
    }
};

QTEST_GUILESS_MAIN(TestFindFile)
#include "tst_cfindfile.moc"
