// The search run through the search window: start-up and the search-path file, the searched
// text, stopping, a new start or closing while a walk runs or hangs, the no-hit notice, and
// what the window keeps for the next start.
#include "hitsfixture.h"
#include "listinggate.h"

#include "cipher/frmmain.h"
#include "search/core/cfindfile.h"
#include "search/frmsplash.h"

#include <QApplication>
#include <QListWidget>
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
    QStringList list = names.split(u' ');
    for (QString &name : list)
        name.prepend(folder + u'/');
    return sorted(list);
}

class TestForm1Search : public QObject, HitsSession
{
    Q_OBJECT

    // Starts on search paths p1, p2, ... each holding the files named, and the paths `more`.
    QStringList startOn(int paths, const QStringList &files, const QStringList &more = {})
    {
        QStringList list;
        for (int i = 1; i <= paths; ++i) {
            list << env->makeDir(u"p%1"_s.arg(i));
            for (const QString &f : files)
                env->writeFile(u"p%1/"_s.arg(i) + f);
        }
        form = start(*env, list << more);
        return list;
    }
    QString count() const { return child<QLabel>(form, "Label6")->text(); }

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // Without a search-path file one is created, said and opened in the editor; where it cannot
    // be created, that is said. Either way a search finds nothing.
    void firstStart_data()
    {
        QTest::addColumn<bool>("creatable");
        QTest::addColumn<QString>("said");
        QTest::newRow("search-path file created") << true << u"Bitte zunächst die Suchpfade eingeben ! Anschließend muß das Programm neu gestartet werden !"_s;
        QTest::newRow("program folder below a file") << false << u"Die Datei "_s;
    }
    void firstStart()
    {
        QFETCH(bool, creatable);
        QFETCH(QString, said);
        const QString file = env->programFolder() + u"/suchpfad.txt"_s;
        if (!creatable) // a folder below a plain file can never be created, not even by root
            env->useProgramFolder(env->writeFile(u"blocker"_s, "x") + u"/program"_s);
        form = Form1::instance();
        form->show();
        QCOMPARE(env->messages.size(), 1);
        QVERIFY(env->messages.first().text.startsWith(said));
        QCOMPARE(env->messages.first().icon, creatable ? Platform::Icon::None : Platform::Icon::Error);
        QCOMPARE(env->opened, creatable ? QStringList{file} : QStringList());
        QCOMPARE(QFile::exists(file), creatable);
        QVERIFY(search(form, u"4711"_s));
        QCOMPARE(count(), u"0"_s);
        QVERIFY(frmSplash::existing());
    }

    void readpath_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("bare lf") << QByteArray("/a\n/b\n") << QStringList{u"/a"_s, u"/b"_s};
        QTest::newRow("no final line end") << QByteArray("/a\r\n/b") << QStringList{u"/a"_s, u"/b"_s};
        QTest::newRow("blank line and blanks kept") << QByteArray("  /a \r\n\r\n/b\r\n") << QStringList{u"  /a "_s, QString(), u"/b"_s};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("umlaut") << QByteArray("/Pl\xc3\xa4ne\n") << QStringList{u"/Pläne"_s};
    }
    void readpath()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, entries);
        env->writeFile(u"program/suchpfad.txt"_s, content);
        form = Form1::instance();
        QCOMPARE(form->searchPaths(), entries);
        QVERIFY(env->messages.isEmpty());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), entries.value(0));
    }

    // Beginnings in all subfolders, folders too; the text searched is exactly the one typed,
    // never completed from the history of earlier searches.
    void searchedTextIsExactlyTheTypedText_data()
    {
        QTest::addColumn<QString>("before"); // searched first, so it is in the history
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        const QString plain = u"4711-b.pdf 4711.dwg other/4711dir sub/4711x.TXT sub/deep/4711.DWG"_s;
        QTest::newRow("beginning") << QString() << u"4711"_s << plain;
        QTest::newRow("beginning of an earlier text") << u"4711"_s << u"47"_s << plain + u" 4720-b.dwg"_s;
        QTest::newRow("star after a star text") << u"*4711"_s << u"*"_s
                                                << plain + u" 4720-b.dwg A4711.dwg other other/4711dir/inner.txt readme.txt sub sub/deep sub/xx4711.pdf"_s;
        QTest::newRow("other case") << u"A4711"_s << u"a"_s << u"A4711.dwg"_s;
    }
    void searchedTextIsExactlyTheTypedText()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        const QString root = startOn(1, QStringLiteral("4711.dwg 4711-b.pdf 4720-b.dwg A4711.dwg readme.txt sub/4711x.TXT sub/xx4711.pdf "
                                                       "sub/deep/4711.DWG other/4711dir/inner.txt").split(u' ')).first();
        QVERIFY(before.isEmpty() || search(form, before));
        QVERIFY(search(form, typed));
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), typed);
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), before.isEmpty() ? 1 : 2);
        QCOMPARE(sorted(hits(form)), under(root, expected));
        QCOMPARE(count(), QString::number(expected.count(u' ') + 1));
        QVERIFY(child<QLabel>(form, "Label7")->isVisible() && !child<QLabel>(form, "logo")->isVisible());
        QVERIFY(!frmSplash::existing() && !child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), root);
    }

    // A comma is searched as a dot; the history keeps each text once; typing clears the
    // selection; an empty text starts nothing and the last result stays.
    void searchFieldHistoryAndKeys()
    {
        startOn(1, {u"12.5.dwg"_s});
        auto *combo = child<QComboBox>(form, "Combo1");
        QVERIFY(search(form, u"12,5"_s));
        QCOMPARE(combo->currentText(), u"12.5"_s);
        QCOMPARE(form->hitModel()->count(), 1);
        child<QListView>(form, "List1")->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_X);
        QVERIFY(!child<QListView>(form, "List1")->selectionModel()->hasSelection());
        QVERIFY(search(form, u"12.5"_s) && search(form, u"nothing"_s));
        QCOMPARE(QStringList({combo->itemText(0), combo->itemText(1), combo->lineEdit()->selectedText()}),
                 QStringList({u"12.5"_s, u"nothing"_s, u"nothing"_s}));
        combo->lineEdit()->clear();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QVERIFY(!form->isSearching());
        QCOMPARE(combo->count(), 2);
        QCOMPARE(count(), u"0"_s);
    }

    // While a walk is held, the user stops it, starts another search, starts one with an empty
    // field, or has the info window reread a shortened search-path file. A stopped walk still
    // gives each later path's own folder; the running search keeps the paths it started with;
    // the count is that before duplicates are removed. The next search walks everything again.
    void whileASearchRuns_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<int>("counted");
        const QString all = u"p1/hit p1/sub/hit p2/hit p2/sub/hit p3/hit p3/sub/hit"_s;
        QTest::newRow("stop button") << u"stop"_s << u"p1/hit p1/sub/hit p2/hit p3/hit"_s << 4;
        QTest::newRow("new start") << u"sub"_s << u"p1/sub p2/sub p3/sub"_s << 3;
        QTest::newRow("empty start") << QString() << all << 7;
        QTest::newRow("info window rereads the paths") << u"info"_s << all << 7;
    }
    void whileASearchRuns()
    {
        QFETCH(QString, action);
        QFETCH(QString, listed);
        QFETCH(int, counted);
        const QStringList paths = startOn(3, {u"hit"_s, u"sub/hit"_s}, {env->at(u"p1/sub"_s)});
        HeldWalk walk;
        startWithButton(form, u"hit"_s);
        QTRY_VERIFY(walk.held() && form->hitModel()->count() == 1 && child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), paths.first());
        if (action == u"stop"_s) {
            QTest::mouseClick(child<QPushButton>(form, "cmdStop"), Qt::LeftButton);
        } else if (action == u"info"_s) {
            writeSearchPaths(*env, {paths.first()});
            QTest::mouseClick(child<QPushButton>(openInfo(), "cmd_exit"), Qt::LeftButton);
            QCOMPARE(form->searchPaths(), QStringList{paths.first()});
        } else {
            if (!action.isEmpty()) // the new search ends the held walk and waits for it
                walk.release();
            startWithButton(form, action);
        }
        walk.release();
        QTRY_VERIFY(!form->isSearching());
        QCOMPARE(sorted(hits(form)), under(env->root(), listed));
        QCOMPARE(count(), QString::number(counted));
        QVERIFY(!child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), paths.last());
        if (action != u"info"_s) {
            QVERIFY(search(form, u"hit"_s));
            QCOMPARE(form->hitModel()->count(), 6);
        }
    }

    // The first listing of "hangs" blocks until released; a watchdog releases it after a long
    // while, so a window that waits for it fails instead of hanging the test.
    void closeAndNewSearchDoNotWaitForAHangingListing_data()
    {
        QTest::addColumn<bool>("closeWindow"); // or start a new search
        QTest::newRow("close the window") << true;
        QTest::newRow("new search") << false;
    }
    void closeAndNewSearchDoNotWaitForAHangingListing()
    {
        QFETCH(bool, closeWindow);
        const QString p = startOn(1, {u"plan.dwg"_s, u"hangs/plan.dwg"_s}).first();
        const auto gate = ListingGate::at("hangs", true);
        SearchSession::setOpenHook(ListingGate::hook(gate));
        std::atomic<bool> inTime{true};
        std::thread watchdog([gate, &inTime] { inTime = gate->releasedWithin(std::chrono::seconds(10)); });
        startWithButton(form, u"plan"_s);
        QTRY_VERIFY(gate->reached);
        if (closeWindow) {
            QPointer<Form1> window = form;
            form->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!window);
        } else {
            QVERIFY(search(form, u"plan"_s));
            QCOMPARE(sorted(hits(form)), QStringList({p + u"/hangs/plan.dwg"_s, p + u"/plan.dwg"_s}));
        }
        gate->release();
        watchdog.join();
        SearchSession::setOpenHook(nullptr);
        QVERIFY(inTime);
        QTRY_COMPARE(cFindFile::readersRunning(), 0);
    }

    void runningOutOfDescriptorsIsToldOnce()
    {
        startOn(2, {u"plan.dwg"_s, u"full/plan.dwg"_s});
        SearchSession::setOpenHook([](const std::string &path) { return path == "full" ? EMFILE : 0; });
        QVERIFY(search(form, u"plan"_s));
        SearchSession::setOpenHook(nullptr);
        QCOMPARE(count(), u"2"_s);
        QCOMPARE(env->messageTexts(), QStringList{u"Fehler bei sStartSearch"_s});
        QCOMPARE(env->messages.first().icon, Platform::Icon::Error);
    }

    // The notice closes on a click or a key, or by itself four seconds after it opened: a second
    // search without hits meanwhile does not restart its time, but a fresh notice gets its own.
    void noHitNotice_data()
    {
        QTest::addColumn<QString>("closer");
        QTest::newRow("click") << QString();
        QTest::newRow("click on a text") << u"Label2"_s;
        QTest::newRow("key") << u"key"_s;
        QTest::newRow("time") << u"time"_s;
    }
    void noHitNotice()
    {
        QFETCH(QString, closer);
        form = start(*env, {});
        QVERIFY(search(form, u"x"_s));
        QPointer<frmSplash> notice = frmSplash::existing();
        QVERIFY(notice && notice->isVisible());
        if (closer == u"key"_s)
            QTest::keyClick(notice.data(), Qt::Key_A);
        else if (closer.isEmpty())
            QTest::mouseClick(notice.data(), Qt::LeftButton, {}, QPoint(3, 3));
        else if (closer != u"time"_s)
            QTest::mouseClick(notice->findChild<QLabel *>(closer), Qt::LeftButton);
        if (closer != u"time"_s) {
            QTRY_VERIFY(!notice);
            return;
        }
        QTest::qWait(1500);
        QVERIFY(search(form, u"y"_s));
        QCOMPARE(frmSplash::existing(), notice.data());
        QTRY_VERIFY_WITH_TIMEOUT(!notice, 3000);
        QVERIFY(search(form, u"z"_s));
        QVERIFY(child<QTimer>(frmSplash::existing(), "Timer1")->remainingTime() > 3000);
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
        auto *stray = new QWidget;
        stray->setAttribute(Qt::WA_DeleteOnClose);
        QList<QPointer<QWidget>> windows{form, Form2::existing(), stray}; // the info window loaded hidden
        QVERIFY(windows.at(1) && !windows.at(1)->isVisible());
        if (exitButton) {
            openInfo();
            frmMain::showWindow();
            windows << frmMain::existing();
            QTest::mouseClick(child<QPushButton>(form, "Command4"), Qt::LeftButton);
        } else {
            form->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const QPointer<QWidget> &w : windows)
            QVERIFY(!w);
        QCOMPARE(QApplication::topLevelWidgets().size(), 0);
        QCOMPARE(QStringList({Settings::read(u"combo1.Text"_s, QString()), Settings::read(u"Text2.Text"_s, QString()),
                              Settings::read(u"Text1.Text"_s, QString())}),
                 QStringList({u"387-123"_s, u"/tmp/ziel/"_s, u"Notizen\nA-100"_s}));
        form = Form1::instance();
        QCOMPARE(QStringList({child<QComboBox>(form, "Combo1")->currentText(), child<QLineEdit>(form, "Text2")->text(),
                              child<QPlainTextEdit>(form, "Text1")->toPlainText()}),
                 QStringList({u"387-123"_s, u"/tmp/ziel/"_s, u"Notizen\nA-100"_s}));
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 0); // the history is not kept
    }
};

QTEST_MAIN(TestForm1Search)
#include "tst_form1_search.moc"
