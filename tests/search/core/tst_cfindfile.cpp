#include "search/treefixture.h"
#include "helpers/testenv.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <set>
#include <stdexcept>

using namespace TreeFixture;

namespace {
// A walk of a tree for a pattern and the events expected ({1}, {2}: the start folder's
// subfolders in listing order); the answers to StopSearch, whether subfolders are entered, what
// is appended to the start folder and the pattern set at the first StopSearch.
struct Walk {
    QByteArray tree, pattern, expected, answers;
    bool incl = true;
    QByteArray from, newPattern;
    Walk() = default;
    Walk(const char *t, const char *p, const char *e, const char *a = "", bool i = true, const char *f = "", const char *n = "")
        : tree(t), pattern(p), expected(e), answers(a), incl(i), from(f), newPattern(n) {}
};
} // namespace
Q_DECLARE_METATYPE(Walk)

class TestFindFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

    void walk_data()
    {
        QTest::addColumn<Walk>("w");
        const auto row = [](const char *name, const Walk &w) { QTest::newRow(name) << w; };
        const char *chain = "m0.dwg a/m1.dwg a/b/m2.dwg a/b/c/m3.dwg a/b/c/n.txt";
        const char *chainAll = "/|m0.dwg S /a/|m1.dwg S /a/b/|m2.dwg S /a/b/c/|m3.dwg";
        const char *twoBranches = "m0.dwg p/m1.dwg p/x/m2.dwg q/m1.dwg q/x/m2.dwg";
        row("abc example", {"ABC1.dwg xabc.dwg abcdef/abc2.txt abcdef/zz.txt", "abc*", "/|ABC1.dwg /|abcdef S /abcdef/|abc2.txt"});
        row("pre-order", {chain, "m*", chainAll});
        row("start with a separator", {chain, "m*", chainAll, "", true, "/"});
        row("missing start", {chain, "*", "", "", true, "/missing"});
        row("start is a file", {chain, "*", "", "", true, "/m0.dwg"});
        row("cancel at first StopSearch", {chain, "m*", "/|m0.dwg S!", "y"});
        row("cancel is per level", {twoBranches, "m*", "/|m0.dwg S /{1}/|m1.dwg S! S /{2}/|m1.dwg S /{2}/x/|m2.dwg", "nynn"});
        row("no subfolders", {chain, "m*", "/|m0.dwg", "", false});
        row("new pattern applies to folders listed afterwards", {"a1 b1 sub/a2 sub/b2", "a*", "/|a1 S /sub/|b2", "", true, "", "B*"});
        row("folder x.dwg reported and entered", {"x.dwg/inner.dwg y.txt", "*.dwg", "/|x.dwg S /x.dwg/|inner.dwg"});
        row("links reported, not entered", {"real/x.dwg real/up.dwg->.. self.dwg->. alias->real", "*",
            "/|alias /|real /|self.dwg S /real/|up.dwg /real/|x.dwg"});
        row("question mark is one character", {"4711-b.pdf 4711-bb.pdf 4711-.pdf 4711.pdf", "4711-?.pdf", "/|4711-b.pdf"});
        row("star spans dots and nothing", {"a.b.z az a.zz ba.z a.zq", "a*z", "/|a.b.z /|a.zz /|az"});
        row("two stars match all, dot files too", {".hidden plain d/", "**", "/|.hidden /|d /|plain S"});
        row("backtracking star", {"abab-ab.dwg ab.dwgx", "*ab*ab.dwg", "/|abab-ab.dwg"});
        row("umlaut, lower pattern", {"Äpfel.dwg äpfel2 apfel", "ä*", "/|Äpfel.dwg /|äpfel2"});
        row("umlaut, upper pattern", {"äpfel Öl", "ÄP*", "/|äpfel"});
        row("question mark takes a whole umlaut", {"Äpfel xx", "?pfel*", "/|Äpfel"});
        row("kelvin sign folds to k", {"\u212a1.dwg K2.dwg", "k*", "/|K2.dwg /|\u212a1.dwg"});
        row("empty pattern matches nothing", {"a/x", "", "S"});
        row("stray bytes between valid ends", {"Gr\xfc\xdf" "e.dwg", "gr*.DWG", "/|Gr\xfc\xdf" "e.dwg"});
        row("each stray byte is one character", {"Gr\xfc\xdf" "e.dwg Grxe.dwg", "gr??e.dwg", "/|Gr\xfc\xdf" "e.dwg"});
        row("stray byte next to a valid umlaut", {"\xc3\xa4\xff.txt", "\xc3\x84?.TXT", "/|\xc3\xa4\xff.txt"});
        row("overlong form is two bytes", {"\xc0\xaf x", "??", "/|\xc0\xaf"});
        row("stray bytes match themselves, not folded", {"\xfc" "ber \xdc" "ber", "\xfc*", "/|\xfc" "ber"});
    }
    void walk()
    {
        QFETCH(Walk, w);
        TestEnv env;
        const QString start = env.makeDir(QStringLiteral("start"));
        build(bytes(start) + '/', w.tree);
        const QByteArrayList order = listing(bytes(start), true);
        for (qsizetype i = 0; i < order.size(); ++i)
            w.expected.replace(QByteArray('{' + QByteArray::number(i + 1) + '}'), order[i]);
        Recorder r(bytes(start), w.answers);
        r.finder.sInclSubfolders(w.incl);
        r.onEvent = [&, changed = false](const QByteArray &e) mutable {
            if (e == "S" && !w.newPattern.isEmpty() && !std::exchange(changed, true))
                r.finder.sFileToFind(w.newPattern.toStdString());
        };
        const QByteArrayList events = r.run(bytes(start) + w.from.toStdString(), w.pattern.toStdString());
        const InDir in(start);
        emptyHere();
        QCOMPARE(events, w.expected.isEmpty() ? QByteArrayList() : canonical(w.expected.split(' ')));
    }

    // Nothing entered: the walk starts at the root.
    void emptySearchpathIsRoot()
    {
        const QStringList top = QDir(QStringLiteral("/")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        QVERIFY(!top.isEmpty());
        Recorder r(std::string{});
        QVERIFY(r.finder.sFileToFind().empty() && r.finder.sInclSubfolders() && r.finder.sFileFlag() == 439); // the defaults
        r.finder.sInclSubfolders(false);
        QCOMPARE(r.run(std::string(), bytes(top.first())), QByteArrayList{"/|" + QFile::encodeName(top.first())});
        QCOMPARE(r.finder.sSearchpath(), std::string()); // nothing entered
    }

    void deepTree()
    {
        // 5000 levels, far past any path length limit: the walk must give up descriptors on the
        // way down and find its way back up. Level 49 also has branches p and q; at the bottom of
        // the first, it is moved to the start folder, so ".." from it no longer leads to level
        // 49: the walk must still enter the other one there, not the decoy of that name on top.
        QTemporaryDir scratch(scratchBase() + QStringLiteral("/tarvo-deep-XXXXXX"));
        const InDir in(scratch.path());
        QVERIFY(branch("p", 1, "decoy.dwg") && branch("q", 1, "decoy.dwg"));
        QVERIFY(branch("d", 5000, "bottom.dwg", [](int l) {
            if (l == 49)
                return branch("p", 101, "branch.dwg") && branch("q", 101, "branch.dwg");
            return (l != 20 && l != 3000) || branch("e", 101, "branch.dwg");
        }));
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        const rlimit low{std::min<rlim_t>(saved.rlim_cur, 256), saved.rlim_max};
        setrlimit(RLIMIT_NOFILE, &low);
        QVERIFY(readersGone());
        const int fdsBefore = openFdCount();
        Recorder r(bytes(scratch.path()));
        bool moved = false;
        r.onEvent = [&](const QByteArray &e) {
            if (e.endsWith("|branch.dwg") && e.at(99) != 'd' && !std::exchange(moved, true)) // below level 49
                QCOMPARE(rename((r.root + e.left(100).toStdString()).c_str(), (r.root + "/moved").c_str()), 0);
        };
        QByteArrayList events = r.run(r.root, "*.dwg");
        QVERIFY(readersGone());
        const int fdsAfter = openFdCount();
        setrlimit(RLIMIT_NOFILE, &saved);
        emptyHere();

        QVERIFY(moved);
        QCOMPARE(events.removeAll("S"), qsizetype(5000 + 4 * 101 + 2));
        const QByteArray d = QByteArray("/d").repeated(5000);
        const auto leaf = [&](int level, const char *name) -> QByteArray { return d.left(2 * level) + name + d.left(200) + "/|branch.dwg"; };
        QByteArrayList expected{d + "/|bottom.dwg", leaf(20, "/e"), leaf(3000, "/e"), leaf(49, "/p"), leaf(49, "/q"), "/p/|decoy.dwg", "/q/|decoy.dwg"};
        std::sort(events.begin(), events.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(events, expected);
        QCOMPARE(r.finder.entriesSeen(), uint64_t(5000 + 4 * 101 + 2 + 7));
        QCOMPARE(fdsAfter, fdsBefore);
    }

    void manySubfolders()
    {
        // Far more subfolders in one folder than a 16-bit count could hold; each is entered
        // once, and the listings read ahead stay within the finder's bound (256, and the one
        // the walk waits for) instead of growing with the folder.
        QTemporaryDir scratch(scratchBase() + QStringLiteral("/tarvo-wide-XXXXXX"));
        const std::string start = bytes(scratch.path());
        const int count = 200000;
        for (int i = 0; i < count; ++i)
            QVERIFY(mkdir((start + '/' + std::to_string(i)).c_str(), 0755) == 0);
        std::set<std::string> entered;
        cFindFile f;
        f.StopSearch = [&](bool &) { entered.insert(f.sSearchpath()); };
        f.sSearchpath(start);
        f.sFileToFind("x");
        f.sStartSearch();
        QCOMPARE(f.sSearchpath(), start + '/' + listing(start).last().toStdString()); // the last one entered
        entered.insert(f.sSearchpath());
        QCOMPARE(int(entered.size()), count + 1);
        QCOMPARE(f.entriesSeen(), uint64_t(count));
        QVERIFY2(f.readAheadPeak() > 1 && f.readAheadPeak() <= 257, std::to_string(f.readAheadPeak()).c_str());
    }

    void failuresBecomeError9999_data()
    {
        QTest::addColumn<QByteArray>("where"); // the event after which the callback fails
        QTest::addColumn<int>("what");         // 0 runtime_error, 1 int
        QTest::newRow("match in start folder") << QByteArray("/|top.dwg") << 0;
        QTest::newRow("match two levels down") << QByteArray("/a/b/|deep.dwg") << 0;
        QTest::newRow("match two levels down, int") << QByteArray("/a/b/|deep.dwg") << 1;
        QTest::newRow("StopSearch") << QByteArray("S") << 0;
    }
    void failuresBecomeError9999()
    {
        QFETCH(QByteArray, where);
        QFETCH(int, what);
        TestEnv env;
        const std::string start = bytes(env.makeDir(QStringLiteral("s")));
        build(start + '/', "top.dwg a/b/deep.dwg");
        Recorder r(start);
        r.onEvent = [&](const QByteArray &e) {
            if (e != where)
                return;
            if (what == 0)
                throw std::runtime_error("boom");
            throw 42;
        };
        QVERIFY(readersGone());
        const int fdsBefore = openFdCount();
        try {
            r.run(start, "*.dwg");
            QFAIL("no error");
        } catch (const cFindFile::Error &e) {
            QCOMPARE(std::to_string(e.number) + '|' + e.source + '|' + e.description + '|' + e.what(),
                     std::string("9999|cFindFile:sStartSearch Method|Fehler bei sStartSearch|Fehler bei sStartSearch"));
        }
        QVERIFY(readersGone());
        QCOMPARE(openFdCount(), fdsBefore);
        QCOMPARE(r.events.last(), where);

        // Usable again afterwards.
        r.onEvent = nullptr;
        r.events.clear();
        QCOMPARE(r.run(start, "*.dwg"), (QByteArrayList{"/|top.dwg", "S", "S", "/a/b/|deep.dwg"}));
    }
};

QTEST_GUILESS_MAIN(TestFindFile)
#include "tst_cfindfile.moc"
