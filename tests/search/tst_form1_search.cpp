// The search run through the search window: the searched text, stopping, a new start or closing
// while a walk runs or hangs, what the window keeps for the next start, and the hit list's cost
// per batch of hits.
#include "hitsfixture.h"
#include "listinggate.h"

#include "cipher/frmmain.h"
#include "search/core/cfindfile.h"
#include "search/frmsplash.h"
#include "search/hitlistview.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <cerrno>
#include <thread>

using namespace SearchFixture;
using namespace Qt::StringLiterals;

static QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The names, blank-separated, below a folder as full paths in name order.
static QStringList under(const QString &folder, const QString &names)
{
    return sorted(QString(u' ' + names).replace(u' ', QString(u' ' + folder + u'/')).split(u' ', Qt::SkipEmptyParts));
}

// Counts what the view asks of the model per row.
class CountingModel : public HitListModel
{
public:
    mutable long rowRequests = 0;
    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override
    {
        ++rowRequests;
        return HitListModel::index(row, column, parent);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        ++rowRequests;
        return HitListModel::data(index, role);
    }
};

class TestForm1Search : public QObject, HitsSession
{
    Q_OBJECT

    // Starts on search paths p1, p2, ... each holding the files named, and the paths `more`.
    QStringList startOn(int paths, const QString &files, const QStringList &more = {})
    {
        QStringList list;
        for (int i = 1; i <= paths; ++i) {
            list << env->makeDir(u"p%1"_s.arg(i));
            for (const QString &f : files.split(u' '))
                env->writeFile(u"p%1/"_s.arg(i) + f);
        }
        form = start(*env, list << more);
        return list;
    }
    QString text(const char *label) const { return child<QLabel>(form, label)->text(); }

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // Beginnings in all subfolders, folders too; a comma is searched as a dot. The text searched
    // is exactly the one typed, never completed from the history of earlier searches, which
    // keeps each text once.
    void searchedTextIsExactlyTheTypedText_data()
    {
        QTest::addColumn<QString>("before"); // searched first, so it is in the history
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("searched");
        QTest::addColumn<QString>("expected");
        const QString plain = u"4711-b.pdf 4711.dwg other/4711dir sub/4711x.TXT sub/deep/4711.DWG"_s;
        QTest::newRow("beginning") << QString() << u"4711"_s << u"4711"_s << plain;
        QTest::newRow("the same again") << u"4711"_s << u"4711"_s << u"4711"_s << plain;
        QTest::newRow("beginning of an earlier text") << u"4711"_s << u"47"_s << u"47"_s << plain + u" 4720-b.dwg"_s;
        QTest::newRow("star after a star text") << u"*4711"_s << u"*"_s << u"*"_s
                                                << plain + u" 12.5.dwg 4720-b.dwg A4711.dwg other other/4711dir/inner.txt sub sub/deep sub/xx4711.pdf"_s;
        QTest::newRow("other case") << u"A4711"_s << u"a"_s << u"a"_s << u"A4711.dwg"_s;
        QTest::newRow("comma") << QString() << u"12,5"_s << u"12.5"_s << u"12.5.dwg"_s;
    }
    void searchedTextIsExactlyTheTypedText()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, searched);
        QFETCH(QString, expected);
        const QString root = startOn(1, u"4711.dwg 4711-b.pdf 4720-b.dwg A4711.dwg 12.5.dwg sub/4711x.TXT sub/xx4711.pdf sub/deep/4711.DWG other/4711dir/inner.txt"_s).first();
        QVERIFY(before.isEmpty() || search(form, before));
        QVERIFY(search(form, typed));
        auto *combo = child<QComboBox>(form, "Combo1");
        QCOMPARE(combo->currentText(), searched);
        QCOMPARE(combo->count(), before.isEmpty() || before == typed ? 1 : 2);
        QCOMPARE(sorted(hits(form)), under(root, expected));
        QCOMPARE(text("Label6"), QString::number(expected.count(u' ') + 1));
        QVERIFY(child<QLabel>(form, "Label7")->isVisible() && !frmSplash::existing() && !child<QPushButton>(form, "cmdStop")->isEnabled());
    }

    // A search without hits opens the notice for four seconds from its opening: a second one
    // does not restart the time; a key closes it.
    void noHitNotice()
    {
        startOn(1, u"4711.dwg"_s);
        QVERIFY(search(form, u"0815"_s));
        QPointer<frmSplash> notice = frmSplash::existing();
        QVERIFY(notice && notice->isVisible() && text("Label6") == u"0"_s && child<QWidget>(form, "List1")->isVisible());
        QCOMPARE(child<QLabel>(notice, "Label1")->text(), u"Kein Treffer !"_s);
        auto *timer = child<QTimer>(notice, "Timer1");
        QVERIFY(timer->isActive() && timer->interval() == 4000);
        QTest::qWait(600); // beyond the slack of a coarse timer
        const int left = timer->remainingTime();
        QVERIFY(search(form, u"0816"_s));
        QCOMPARE(frmSplash::existing(), notice.data());
        QVERIFY(timer->remainingTime() <= left); // not started again
        QTest::keyClick(notice, Qt::Key_A);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!notice);
    }

    // While a walk is held, the user stops it, starts a search with an empty field, or has the
    // info window reread a shortened search-path file; or the walk runs out of descriptors in
    // every path, which is told once. A stopped walk still
    // gives each later path's own folder; the running search keeps the paths it started with;
    // the count is that before duplicates are removed. The next search walks everything again.
    void whileASearchRuns_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<int>("counted");
        const QString all = u"p1/hit p1/sub/hit p2/hit p2/sub/hit p3/hit p3/sub/hit"_s;
        QTest::newRow("stop button") << u"stop"_s << u"p1/hit p1/sub/hit p2/hit p3/hit"_s << 4;
        QTest::newRow("empty start") << QString() << all << 7;
        QTest::newRow("info window rereads the paths") << u"info"_s << all << 7;
        QTest::newRow("out of descriptors") << u"full"_s << u"p1/hit p1/sub/hit p2/hit p3/hit"_s << 4;
    }
    void whileASearchRuns()
    {
        QFETCH(QString, action);
        QFETCH(QString, listed);
        QFETCH(int, counted);
        const QStringList paths = startOn(3, u"hit sub/hit"_s, {QString(), env->at(u"p1/sub"_s)}); // a blank one is left out
        HeldWalk walk;
        if (action == u"full"_s)
            SearchSession::setOpenHook([](const std::string &path) { return path == "sub" ? EMFILE : 0; });
        startWithButton(form, u"hit"_s);
        SearchSession::setOpenHook(nullptr);
        QTRY_VERIFY(walk.held() && form->hitModel()->count() == 1 && child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(text("Label1"), paths.first());
        if (action == u"stop"_s) {
            QTest::mouseClick(child<QPushButton>(form, "cmdStop"), Qt::LeftButton);
        } else if (action == u"info"_s) {
            writeSearchPaths(*env, {paths.first()});
            QTest::mouseClick(child<QPushButton>(openInfo(), "cmd_exit"), Qt::LeftButton);
            QCOMPARE(form->searchPaths(), QStringList{paths.first()});
        } else if (action.isEmpty()) {
            startWithButton(form, action);
        }
        walk.release();
        QTRY_VERIFY(!form->isSearching());
        QCOMPARE(sorted(hits(form)), under(env->root(), listed));
        QCOMPARE(text("Label6"), QString::number(counted));
        QCOMPARE(env->messageTexts(), action == u"full"_s ? QStringList{u"Fehler bei sStartSearch"_s} : QStringList());
        QVERIFY(action != u"full"_s || env->messages.first().icon == Platform::Icon::Error);
        QVERIFY(!child<QPushButton>(form, "cmdStop")->isEnabled() && text("Label1") == paths.last());
        if (action != u"info"_s) {
            QVERIFY(search(form, u"hit"_s));
            QCOMPARE(form->hitModel()->count(), 6);
        }
    }

    // The first listing of "hangs" blocks until released; a watchdog releases it after a long
    // while, so a window that waits for it fails instead of hanging the test. What was found
    // before the wait is shown during it.
    void closeAndNewSearchDoNotWaitForAHangingListing_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("close the window") << u"close"_s;
        QTest::newRow("new search") << u"search"_s;
        QTest::newRow("stop button") << u"stop"_s;
    }
    void closeAndNewSearchDoNotWaitForAHangingListing()
    {
        QFETCH(QString, action);
        const QString p = startOn(1, u"plan.dwg hangs/plan.dwg"_s).first();
        const auto gate = ListingGate::at("hangs");
        SearchSession::setOpenHook(ListingGate::hook(gate));
        std::atomic<bool> inTime{true};
        std::thread watchdog([gate, &inTime] { inTime = gate->release(std::chrono::seconds(10)); });
        startWithButton(form, u"plan"_s);
        QTRY_VERIFY(gate->reached);
        QTRY_COMPARE(hits(form), under(p, u"plan.dwg"_s));
        SearchSession::setOpenHook(nullptr); // for the next search
        QPointer<Form1> window = form;
        if (action == u"close"_s) {
            form->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        } else if (action == u"stop"_s) {
            QSignalSpy finished(form, &Form1::searchFinished);
            QTest::mouseClick(child<QPushButton>(form, "cmdStop"), Qt::LeftButton);
            QVERIFY(finished.count() > 0 || finished.wait(2000));
            QCOMPARE(child<QLabel>(form, "Label6")->text(), u"1"_s);
        } else {
            QVERIFY(search(form, u"plan"_s));
            QCOMPARE(sorted(hits(form)), under(p, u"hangs/plan.dwg plan.dwg"_s));
        }
        QCOMPARE(window.isNull(), action == u"close"_s);
        gate->release();
        watchdog.join();
        QVERIFY(inTime);
        QTRY_COMPARE(cFindFile::readersRunning(), 0);
    }

    // Closing the window and the exit button both keep the three texts for the next start and
    // close every other window of the program, hidden ones too.
    void settingsSurviveARestart_data()
    {
        QTest::addColumn<bool>("exitButton");
        QTest::newRow("window closed") << false;
        QTest::newRow("exit button") << true;
    }
    void settingsSurviveARestart()
    {
        QFETCH(bool, exitButton);
        form = start(*env, {});
        child<QComboBox>(form, "Combo1")->setEditText(u"387-123"_s);
        child<QLineEdit>(form, "Text2")->setText(u"/tmp/ziel/"_s);
        child<QPlainTextEdit>(form, "Text1")->setPlainText(u"Notizen\r\nA-100"_s);
        (new QWidget)->setAttribute(Qt::WA_DeleteOnClose);
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible()); // the info window, loaded hidden
        if (exitButton) {
            openInfo();
            frmMain::showWindow();
            QTest::mouseClick(child<QPushButton>(form, "Command4"), Qt::LeftButton);
        } else {
            form->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(QApplication::topLevelWidgets().size(), 0);
        form = Form1::instance();
        QCOMPARE(QStringList({child<QComboBox>(form, "Combo1")->currentText(), child<QLineEdit>(form, "Text2")->text(),
                              child<QPlainTextEdit>(form, "Text1")->toPlainText()}), QStringList({u"387-123"_s, u"/tmp/ziel/"_s, u"Notizen\nA-100"_s}));
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 0); // the history is not kept
    }

    // 200,000 hits in batches while the list is shown, every other batch handed over (a full one
    // becomes a block of the model's own, the others are copied), and the first batch once more:
    // the view may look at the rows it shows, not at every row again and again. Every row can be
    // reached and holds its path, and duplicates across blocks are found.
    void appendingCostsTheViewNothingPerRow()
    {
        CountingModel model;
        HitListView view;
        view.setModel(&model);
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const auto plan = [](int i) { return "/archiv/plan-" + std::to_string(i % 200000) + ".dwg"; };
        for (int batch = 0; batch <= 25; ++batch) {
            std::string bytes;
            std::vector<uint32_t> ends;
            for (int i = batch * 8000; i < (batch + 1) * 8000; ++i)
                ends.push_back(uint32_t((bytes += plan(i)).size()));
            bytes.shrink_to_fit();
            batch % 2 ? model.appendPacked(std::move(bytes), ends) : model.appendPacked(bytes, ends);
            QApplication::processEvents();
        }
        const int rowHeight = view.visualRect(model.index(0, 0)).height();
        QVERIFY2(model.rowRequests < 26L * (view.viewport()->height() / rowHeight + 2) * 8, std::to_string(model.rowRequests).c_str());
        view.setFocus();
        view.setCurrentIndex(model.index(0, 0));
        QTest::keyClick(&view, Qt::Key_End);
        QCOMPARE(view.currentIndex().row(), 207999);
        QVERIFY(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));
        QCOMPARE(view.indexAt(view.visualRect(view.currentIndex()).center()).row(), 207999);
        bool same = model.count() == 208000;
        for (int i = 0; same && i < model.count(); ++i)
            same = model.rawPath(i) == plan(i);
        QVERIFY(same && model.removeDuplicates() && model.count() == 200000);
        for (int i = 0; same && i < model.count(); ++i)
            same = model.rawPath(i) == plan(i);
        QVERIFY(same);
    }
};

QTEST_MAIN(TestForm1Search)
#include "tst_form1_search.moc"
