#include "search/core/searchsession.h"
#include "helpers/testenv.h"
#include "search/listinggate.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

#include <future>

using namespace Qt::StringLiterals;

class TestSearchSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

    // What a search walks: the search paths but blank ones, as the file system's bytes; the
    // typed text and a star; and whether one path lies inside another, so that a hit can come
    // twice.
    void query_data()
    {
        QTest::addColumn<QString>("paths"); // separated by '|'
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("walked"); // shown text, then the bytes in hex when they differ
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<bool>("mayRepeat");
        const QString stray = u"/Gr"_s + QChar(0xDCFC) + u"e"_s;
        QTest::newRow("blank entries left out") << u"|  |/a| /b|\t"_s << u"4711"_s << u"/a| /b"_s << QByteArray("4711*") << false;
        QTest::newRow("names that are not UTF-8") << stray << u"x"_s + QChar(0xDCFC) << stray + u"|2f4772fc65"_s << QByteArray("x\xfc*") << false;
        QTest::newRow("umlaut stays UTF-8") << u"/Pläne"_s << u"ä"_s << u"/Pläne"_s << QByteArray("\xc3\xa4*") << false;
        QTest::newRow("one inside another") << u"/a/|/a/inner"_s << u"p"_s << u"/a/|/a/inner"_s << QByteArray("p*") << true;
        QTest::newRow("inner first") << u"/a/inner|/a"_s << u"p"_s << u"/a/inner|/a"_s << QByteArray("p*") << true;
        QTest::newRow("same twice") << u"/a|/a//"_s << u"p"_s << u"/a|/a//"_s << QByteArray("p*") << true;
        QTest::newRow("name prefix only") << u"/a|/ab"_s << u"p"_s << u"/a|/ab"_s << QByteArray("p*") << false;
        QTest::newRow("blank one does not overlap") << u"|/a"_s << u"p"_s << u"/a"_s << QByteArray("p*") << false;
    }
    void query()
    {
        QFETCH(QString, paths);
        QFETCH(QString, typed);
        QFETCH(QString, walked);
        QFETCH(QByteArray, pattern);
        QFETCH(bool, mayRepeat);
        const SearchSession::Query q = SearchSession::makeQuery(paths.split(u'|'), typed);
        QStringList got;
        for (const SearchSession::Query::Path &p : q.paths) {
            got << p.shown;
            if (QByteArray::fromStdString(p.native) != p.shown.toUtf8())
                got << QString::fromLatin1(QByteArray::fromStdString(p.native).toHex());
        }
        QCOMPARE(got.join(u'|'), walked);
        QCOMPARE(QByteArray::fromStdString(q.pattern), pattern);
        QCOMPARE(q.mayRepeat, mayRepeat);
    }

    void abortDoesNotWaitForAHangingListing()
    {
        TestEnv env;
        env.writeFile(u"p/plan.dwg"_s);
        env.writeFile(u"p/hangs/plan.dwg"_s);
        const auto gate = ListingGate::at("hangs");
        SearchSession::setOpenHook(ListingGate::hook(gate));
        std::atomic<bool> stop{false};
        SearchSession session(stop);
        session.start(SearchSession::makeQuery({env.at(u"p"_s)}, u"plan"_s));
        SearchSession::setOpenHook(nullptr);
        QTRY_VERIFY(gate->reached);

        auto aborted = std::async(std::launch::async, [&] { session.abort(); });
        const bool returned = aborted.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        const bool readerStillStuck = cFindFile::readersRunning() > 0;
        gate->release();
        aborted.wait();
        QVERIFY(returned && readerStillStuck && !session.active());
        QCOMPARE(session.take().size(), size_t(0));
        QTRY_COMPARE(cFindFile::readersRunning(), 0);

        // The next search runs as usual: both hits, then the end.
        session.start(SearchSession::makeQuery({env.at(u"p"_s)}, u"plan"_s));
        size_t hits = 0;
        bool finished = false;
        for (QDeadlineTimer deadline(20000); !finished && !deadline.hasExpired(); QThread::msleep(1)) {
            for (const SearchSession::Item &item : session.take()) {
                hits += item.ends.size();
                finished = item.kind == SearchSession::Item::Finished;
            }
        }
        session.join();
        QVERIFY(finished);
        QCOMPARE(hits, size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestSearchSession)
#include "tst_searchsession.moc"
