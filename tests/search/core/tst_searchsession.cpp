#include "search/core/searchsession.h"
#include "helpers/testenv.h"
#include "search/listinggate.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <future>

namespace {

// Everything a session reported until Finished, one line per item; hits as full paths.
QStringList runToEnd(SearchSession &session)
{
    QStringList lines;
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        for (SearchSession::Item &item : session.take()) {
            switch (item.kind) {
            case SearchSession::Item::Hits: {
                uint32_t start = 0;
                for (uint32_t end : item.ends) {
                    lines << QStringLiteral("hit ") + QString::fromUtf8(item.bytes.data() + start, end - start);
                    start = end;
                }
                break;
            }
            case SearchSession::Item::PathStarted:
                lines << QStringLiteral("start ") + item.path;
                break;
            case SearchSession::Item::PathFinished:
                lines << QStringLiteral("end");
                break;
            case SearchSession::Item::Error:
                lines << QStringLiteral("error ") + QString::fromStdString(item.text);
                break;
            case SearchSession::Item::Finished:
                session.join();
                return lines;
            }
        }
        QThread::msleep(1);
    }
    lines << QStringLiteral("timeout");
    return lines;
}

} // namespace

class TestSearchSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

    void query_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("walked"); // shown text, then the bytes in hex when they differ
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<bool>("mayRepeat");
        const QString stray = QStringLiteral("/Gr") + QChar(0xDCFC) + QStringLiteral("e");
        QTest::newRow("blank entries left out") << QStringList{QString(), QStringLiteral("  "), QStringLiteral("/a"), QStringLiteral(" /b"), QStringLiteral("\t")}
                                                << QStringLiteral("4711") << QStringList{QStringLiteral("/a"), QStringLiteral(" /b")}
                                                << QByteArray("4711*") << false;
        QTest::newRow("star typed") << QStringList{QStringLiteral("/a")} << QStringLiteral("*") << QStringList{QStringLiteral("/a")}
                                    << QByteArray("**") << false;
        QTest::newRow("names that are not UTF-8") << QStringList{stray} << QStringLiteral("x") + QChar(0xDCFC)
                                                  << QStringList{stray, QStringLiteral("2f4772fc65")} << QByteArray("x\xfc*") << false;
        QTest::newRow("umlaut stays UTF-8") << QStringList{QStringLiteral("/Pläne")} << QStringLiteral("ä") << QStringList{QStringLiteral("/Pläne")}
                                            << QByteArray("\xc3\xa4*") << false;
        QTest::newRow("one inside another") << QStringList{QStringLiteral("/a/"), QStringLiteral("/a/inner")} << QStringLiteral("p")
                                            << QStringList{QStringLiteral("/a/"), QStringLiteral("/a/inner")} << QByteArray("p*") << true;
        QTest::newRow("inner first") << QStringList{QStringLiteral("/a/inner"), QStringLiteral("/a")} << QStringLiteral("p")
                                     << QStringList{QStringLiteral("/a/inner"), QStringLiteral("/a")} << QByteArray("p*") << true;
        QTest::newRow("same twice") << QStringList{QStringLiteral("/a"), QStringLiteral("/a//")} << QStringLiteral("p")
                                    << QStringList{QStringLiteral("/a"), QStringLiteral("/a//")} << QByteArray("p*") << true;
        QTest::newRow("name prefix only") << QStringList{QStringLiteral("/a"), QStringLiteral("/ab")} << QStringLiteral("p")
                                          << QStringList{QStringLiteral("/a"), QStringLiteral("/ab")} << QByteArray("p*") << false;
        QTest::newRow("blank one does not overlap") << QStringList{QString(), QStringLiteral("/a")} << QStringLiteral("p")
                                                    << QStringList{QStringLiteral("/a")} << QByteArray("p*") << false;
    }
    void query()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, typed);
        QFETCH(QStringList, walked);
        QFETCH(QByteArray, pattern);
        QFETCH(bool, mayRepeat);
        const SearchSession::Query q = SearchSession::makeQuery(paths, typed);
        QStringList got;
        for (const SearchSession::Query::Path &p : q.paths) {
            got << p.shown;
            const QByteArray native = QByteArray::fromStdString(p.native);
            if (native != p.shown.toUtf8())
                got << QString::fromLatin1(native.toHex());
        }
        QCOMPARE(got, walked);
        QCOMPARE(QByteArray::fromStdString(q.pattern), pattern);
        QCOMPARE(q.mayRepeat, mayRepeat);
    }

    // Each path is reported as it is walked, a blank one left out; stopped before the start,
    // each path still gives the matches of its own folder; running out of descriptors ends the
    // walk of one path with an error, and the next path is walked.
    void reportsEachPathAsItGoes_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QString>("failing"); // a folder that cannot be opened for lack of descriptors
        QTest::addColumn<QString>("expected"); // {r} stands for the tree's root
        QTest::newRow("whole walk") << false << QString()
                                    << "start {r}/p1|hit {r}/p1/plan.dwg|hit {r}/p1/sub/plan.dwg|end|start {r}/missing|end|"
                                       "start {r}/p2/|hit {r}/p2/plan.dwg|hit {r}/p2/sub/plan.dwg|end";
        QTest::newRow("stop requested") << true << QString()
                                        << "start {r}/p1|hit {r}/p1/plan.dwg|end|start {r}/missing|end|"
                                           "start {r}/p2/|hit {r}/p2/plan.dwg|end";
        QTest::newRow("out of descriptors") << false << "sub"
                                            << "start {r}/p1|hit {r}/p1/plan.dwg|error Fehler bei sStartSearch|end|"
                                               "start {r}/missing|end|start {r}/p2/|hit {r}/p2/plan.dwg|"
                                               "error Fehler bei sStartSearch|end";
    }
    void reportsEachPathAsItGoes()
    {
        QFETCH(bool, stop);
        QFETCH(QString, failing);
        QFETCH(QString, expected);
        TestEnv env;
        for (const char *f : {"p1/plan.dwg", "p1/sub/plan.dwg", "p1/sub/other.txt", "p2/plan.dwg", "p2/sub/plan.dwg"})
            env.writeFile(QLatin1String(f));
        const QString r = env.root();
        SearchSession::setOpenHook([failing = failing.toStdString()](const std::string &path) { return !failing.empty() && path == failing ? EMFILE : 0; });
        std::atomic<bool> stopRequested{stop};
        SearchSession session(stopRequested);
        session.start(SearchSession::makeQuery({r + QStringLiteral("/p1"), QString(), r + QStringLiteral("/missing"), r + QStringLiteral("/p2/")},
                                               QStringLiteral("PLAN")));
        SearchSession::setOpenHook(nullptr);
        QCOMPARE(runToEnd(session), expected.replace(QStringLiteral("{r}"), r).split(QLatin1Char('|')));
        QVERIFY(!session.active());
    }

    void abortDoesNotWaitForAHangingListing()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("p/plan.dwg"));
        env.writeFile(QStringLiteral("p/hangs/plan.dwg"));
        const auto gate = ListingGate::at("hangs");
        SearchSession::setOpenHook(ListingGate::hook(gate));
        std::atomic<bool> stop{false};
        SearchSession session(stop);
        session.start(SearchSession::makeQuery({env.root() + QStringLiteral("/p")}, QStringLiteral("plan")));
        SearchSession::setOpenHook(nullptr);
        QTRY_VERIFY(gate->reached);

        auto aborted = std::async(std::launch::async, [&] { session.abort(); });
        const bool returned = aborted.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        const bool readerStillStuck = cFindFile::readersRunning() > 0;
        gate->release();
        aborted.wait();
        QVERIFY(returned);
        QVERIFY(readerStillStuck);
        QVERIFY(!session.active());
        QCOMPARE(session.take().size(), size_t(0));
        QTRY_COMPARE(cFindFile::readersRunning(), 0);

        // The next search runs as usual.
        session.start(SearchSession::makeQuery({env.root() + QStringLiteral("/p")}, QStringLiteral("plan")));
        QCOMPARE(runToEnd(session).size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestSearchSession)
#include "tst_searchsession.moc"
