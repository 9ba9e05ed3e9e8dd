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
        QVERIFY(returned && readerStillStuck && !session.active() && session.take().empty());
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
