#include "listinggate.h"
#include "searchfixture.h"

#include "app/core/pathfunctions.h"
#include "app/core/settings.h"
#include "cipher/frmmain.h"
#include "options/form2.h"
#include "search/core/cfindfile.h"
#include "search/frmsplash.h"

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace SearchFixture;

class TestForm1Search : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form1 *form = nullptr;

    QString sorted(QStringList list)
    {
        list.sort();
        return list.join(QLatin1Char('\n'));
    }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        close(form);
        form = nullptr;
        if (frmSplash *s = frmSplash::existing())
            delete s;
        env.reset();
    }

    void firstStartCreatesSearchPathFile()
    {
        form = Form1::instance();
        form->show();
        const QString file = env->programFolder() + QStringLiteral("/suchpfad.txt");
        QVERIFY(QFile::exists(file));
        QCOMPARE(env->messageTexts(),
                 QStringList{QStringLiteral("Bitte zunächst die Suchpfade eingeben ! Anschließend muß das Programm neu gestartet werden !")});
        QCOMPARE(env->opened, QStringList{file});
        QCOMPARE(child<QListWidget>(form, "List_path")->count(), 0);
        QCOMPARE(child<QLabel>(form, "Label1")->text(), QString());
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), QStringLiteral("*"));
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), qEnvironmentVariable("HOME") + QStringLiteral("/3d/"));
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), QStringLiteral("Notizen"));
        QVERIFY(!child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(form->windowTitle(), QStringLiteral("Suchmaske für Zeichnungen und Dokumente"));
        QCOMPARE(form->width(), 649);

        // An empty search-path list: nothing is visited, the count is 0 and the notice opens.
        QVERIFY(search(form, QStringLiteral("4711")));
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("0"));
        QVERIFY(child<QLabel>(form, "Label7")->isVisible());
        QVERIFY(child<QListView>(form, "List1")->isVisible());
        QVERIFY(frmSplash::existing());
    }

    void unwritableProgramFolder()
    {
        // A program folder below a plain file can never be created, not even by root.
        env->useProgramFolder(env->writeFile(QStringLiteral("blocker"), "x") + QStringLiteral("/program"));
        form = Form1::instance();
        QCOMPARE(env->messages.size(), 1);
        QVERIFY(env->messages.first().text.startsWith(QStringLiteral("Die Datei ")));
        QCOMPARE(env->messages.first().icon, Platform::Icon::Error);
        QVERIFY(env->opened.isEmpty());
        QVERIFY(search(form, QStringLiteral("x")));
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("0"));
    }

    void readpath_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("crlf") << QByteArray("/a\r\n/b\r\n") << QStringList{QStringLiteral("/a"), QStringLiteral("/b")};
        QTest::newRow("bare lf") << QByteArray("/a\n/b\n") << QStringList{QStringLiteral("/a"), QStringLiteral("/b")};
        QTest::newRow("no final line end") << QByteArray("/a\r\n/b") << QStringList{QStringLiteral("/a"), QStringLiteral("/b")};
        QTest::newRow("blank line kept") << QByteArray("/a\r\n\r\n/b\r\n")
                                         << QStringList{QStringLiteral("/a"), QString(), QStringLiteral("/b")};
        QTest::newRow("blanks kept") << QByteArray("  /a \r\n") << QStringList{QStringLiteral("  /a ")};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("umlaut") << QByteArray("/Pl\xc3\xa4ne\n") << QStringList{QStringLiteral("/Pläne")};
    }
    void readpath()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, entries);
        env->writeFile(QStringLiteral("program/suchpfad.txt"), content);
        form = Form1::instance();
        QCOMPARE(form->searchPaths(), entries);
        QVERIFY(env->messages.isEmpty());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), entries.value(0));
    }

    void searchFindsBeginningsInAllSubfolders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        const QStringList plain{QStringLiteral("4711.dwg"), QStringLiteral("4711-b.pdf"),
                                QStringLiteral("sub/4711x.TXT"), QStringLiteral("sub/deep/4711.DWG"),
                                QStringLiteral("other/4711dir")};
        QTest::newRow("beginning") << QStringLiteral("4711") << plain;
        QTest::newRow("any case") << QStringLiteral("4711-B") << QStringList{QStringLiteral("4711-b.pdf")};
        QTest::newRow("leading star") << QStringLiteral("*4711")
                                      << plain + QStringList{QStringLiteral("A4711.dwg"), QStringLiteral("sub/xx4711.pdf")};
        QTest::newRow("question mark") << QStringLiteral("4?11.d") << QStringList{QStringLiteral("4711.dwg"), QStringLiteral("sub/deep/4711.DWG")};
    }
    void searchFindsBeginningsInAllSubfolders()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        for (const char *f : {"4711.dwg", "4711-b.pdf", "A4711.dwg", "readme.txt", "sub/4711x.TXT",
                              "sub/xx4711.pdf", "sub/deep/4711.DWG", "other/4711dir/inner.txt"})
            env->writeFile(QStringLiteral("archive/") + QLatin1String(f), "data");
        const QString root = env->root() + QStringLiteral("/archive");
        form = start(*env, {root});
        QVERIFY(search(form, text));
        QStringList want;
        for (const QString &e : expected)
            want.append(root + QLatin1Char('/') + e);
        QCOMPARE(sorted(hits(form)), sorted(want));
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QString::number(want.size()));
        QVERIFY(child<QLabel>(form, "Label7")->isVisible());
        QVERIFY(!child<QLabel>(form, "logo")->isVisible());
        QVERIFY(!frmSplash::existing());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), root);
        QVERIFY(!child<QPushButton>(form, "cmdStop")->isEnabled());
    }

    void overlappingPathsAreListedOnce_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("listed");
        // The second path lies inside the first; a trailing separator on one of them.
        QTest::newRow("inside") << QStringList{QStringLiteral("a/"), QStringLiteral("a/inner")} << 3
                                << QStringList{QStringLiteral("a/inner/plan.dwg"), QStringLiteral("a/plan-top.dwg")};
        QTest::newRow("same twice") << QStringList{QStringLiteral("a"), QStringLiteral("a//")} << 4
                                    << QStringList{QStringLiteral("a/inner/plan.dwg"), QStringLiteral("a/plan-top.dwg")};
        QTest::newRow("name prefix only") << QStringList{QStringLiteral("a"), QStringLiteral("ab")} << 3
                                          << QStringList{QStringLiteral("a/inner/plan.dwg"), QStringLiteral("a/plan-top.dwg"),
                                                         QStringLiteral("ab/plan.dwg")};
    }
    void overlappingPathsAreListedOnce()
    {
        QFETCH(QStringList, paths);
        QFETCH(int, count);
        QFETCH(QStringList, listed);
        env->writeFile(QStringLiteral("a/plan-top.dwg"));
        env->writeFile(QStringLiteral("a/inner/plan.dwg"));
        env->writeFile(QStringLiteral("ab/plan.dwg"));
        QStringList full;
        for (const QString &p : paths)
            full.append(env->root() + QLatin1Char('/') + p);
        form = start(*env, full);
        QVERIFY(search(form, QStringLiteral("plan")));
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QString::number(count));
        QStringList want;
        for (const QString &p : listed)
            want.append(env->root() + QLatin1Char('/') + p);
        QCOMPARE(sorted(hits(form)), sorted(want));
    }

    void blankAndMissingPathsGiveNothing()
    {
        env->writeFile(QStringLiteral("a/plan.dwg"));
        const QString a = env->root() + QStringLiteral("/a");
        // Blank entries must not turn into the root of the file system.
        form = start(*env, {QString(), QStringLiteral("   "), env->root() + QStringLiteral("/missing"),
                            QStringLiteral(" ") + a, a});
        QVERIFY(search(form, QStringLiteral("plan")));
        QCOMPARE(hits(form), QStringList{a + QStringLiteral("/plan.dwg")});
        QVERIFY(env->messages.isEmpty());
    }

    void nonUtf8NameIsListedAndNamesTheFile()
    {
        const QByteArray dir = QFile::encodeName(env->makeDir(QStringLiteral("raw")));
        const QByteArray name = dir + "/plan-Gr\xfc\xdf" "e.dwg";
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        form = start(*env, {QFile::decodeName(dir)});
        QVERIFY(search(form, QStringLiteral("plan")));
        QCOMPARE(form->hitModel()->count(), 1);
        QVERIFY(FileExists(form->hitModel()->path(0)));
        QCOMPARE(QByteArray(form->hitModel()->rawPath(0).data(), int(form->hitModel()->rawPath(0).size())), name);
        ::unlink(name.constData()); // the temporary folder's own cleanup cannot name it
    }

    void historyCommaAndEmptyText()
    {
        env->writeFile(QStringLiteral("a/12.5.dwg"));
        form = start(*env, {env->root() + QStringLiteral("/a")});
        QVERIFY(search(form, QStringLiteral("12,5")));
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), QStringLiteral("12.5"));
        QCOMPARE(form->hitModel()->count(), 1);
        QVERIFY(search(form, QStringLiteral("12.5")));
        QVERIFY(search(form, QStringLiteral("nothing")));
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 2);
        QCOMPARE(child<QComboBox>(form, "Combo1")->itemText(0), QStringLiteral("12.5"));
        QCOMPARE(child<QComboBox>(form, "Combo1")->itemText(1), QStringLiteral("nothing"));
        QCOMPARE(child<QComboBox>(form, "Combo1")->lineEdit()->selectedText(), QStringLiteral("nothing"));

        // Empty text: Enter starts nothing, the last result stays.
        child<QComboBox>(form, "Combo1")->lineEdit()->clear();
        QTest::keyClick(child<QComboBox>(form, "Combo1")->lineEdit(), Qt::Key_Return);
        QVERIFY(!form->isSearching());
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 2);
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("0"));
    }

    void typingClearsTheSelection()
    {
        env->writeFile(QStringLiteral("a/p1"));
        env->writeFile(QStringLiteral("a/p2"));
        form = start(*env, {env->root() + QStringLiteral("/a")});
        QVERIFY(search(form, QStringLiteral("p")));
        child<QListView>(form, "List1")->selectAll();
        QVERIFY(child<QListView>(form, "List1")->selectionModel()->hasSelection());
        QTest::keyClick(child<QComboBox>(form, "Combo1")->lineEdit(), Qt::Key_X);
        QVERIFY(!child<QListView>(form, "List1")->selectionModel()->hasSelection());
        QCOMPARE(form->hitModel()->count(), 2);
    }

    void stopEndsDescentButLaterPathsKeepTheirTopLevel()
    {
        for (const char *p : {"p1/hit", "p1/sub/hit", "p1/sub/deeper/hit", "p2/hit", "p2/sub/hit", "p3/hit", "p3/sub/hit"})
            env->writeFile(QLatin1String(p));
        const QString p1 = env->root() + QStringLiteral("/p1");
        const QString p2 = env->root() + QStringLiteral("/p2");
        const QString p3 = env->root() + QStringLiteral("/p3");
        form = start(*env, {p1, p2, p3});

        // Hold the walk at its first descent until the stop button has been pressed.
        std::atomic<bool> held{false};
        SearchSession::setDescentHook([&] {
            held = true;
            while (!form->StopRequested)
                QThread::msleep(1);
        });
        QSignalSpy finished(form, &Form1::searchFinished);
        child<QComboBox>(form, "Combo1")->setEditText(QStringLiteral("hit"));
        QTest::mouseClick(child<QPushButton>(form, "Command3"), Qt::LeftButton);
        QTRY_VERIFY(held && child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), p1);
        QTest::mouseClick(child<QPushButton>(form, "cmdStop"), Qt::LeftButton);
        QVERIFY(finished.wait(20000));
        SearchSession::setDescentHook(nullptr);

        QCOMPARE(hits(form), (QStringList{p1 + QStringLiteral("/hit"), p2 + QStringLiteral("/hit"),
                                          p3 + QStringLiteral("/hit")}));
        QVERIFY(form->StopRequested);
        QVERIFY(!child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), p3);

        // The next search starts with the flag reset and walks everything again.
        QVERIFY(search(form, QStringLiteral("hit")));
        QCOMPARE(form->hitModel()->count(), 7);
    }

    void newStartEndsTheRunningWalk()
    {
        env->writeFile(QStringLiteral("p/sub/first"));
        env->writeFile(QStringLiteral("p/second"));
        const QString p = env->root() + QStringLiteral("/p");
        form = start(*env, {p});
        HeldWalk walk;
        startWithButton(form, QStringLiteral("first"));
        QTRY_VERIFY(walk.held());
        QVERIFY(form->isSearching());
        walk.release();
        QVERIFY(search(form, QStringLiteral("second")));
        QCOMPARE(hits(form), QStringList{p + QStringLiteral("/second")});
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("1"));
    }

    void infoWindowReloadsThePathsDuringASearch()
    {
        QStringList paths;
        for (const char *p : {"p1", "p2", "p3"}) {
            env->writeFile(QLatin1String(p) + QStringLiteral("/hit"));
            env->writeFile(QLatin1String(p) + QStringLiteral("/sub/hit"));
            paths.append(env->root() + QLatin1Char('/') + QLatin1String(p));
        }
        form = start(*env, paths);
        HeldWalk walk;
        QSignalSpy finished(form, &Form1::searchFinished);
        startWithButton(form, QStringLiteral("hit"));
        QTRY_VERIFY(walk.held());

        // The user shortens the search-path file and closes the info window, which reads it again.
        writeSearchPaths(*env, {paths.first()});
        QTest::mouseClick(child<QPushButton>(form, "Command2"), Qt::LeftButton);
        QPointer<Form2> info = Form2::existing();
        QVERIFY(info && info->isVisible());
        QTest::mouseClick(child<QPushButton>(info, "cmd_exit"), Qt::LeftButton);
        QCOMPARE(form->searchPaths(), QStringList{paths.first()});
        walk.release();
        QVERIFY(finished.count() > 0 || finished.wait(20000));

        // The running search walks the paths it started with and shows them as it goes.
        QCOMPARE(child<QLabel>(form, "Label1")->text(), paths.last());
        QCOMPARE(form->hitModel()->count(), 6);
    }

    void searchedTextIsExactlyTheTypedText_data()
    {
        QTest::addColumn<QString>("before"); // searched first, so it is in the history
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("beginning of an earlier text") << QStringLiteral("4711") << QStringLiteral("47")
                                                      << QStringList{QStringLiteral("4711.dwg"), QStringLiteral("4720-b.dwg")};
        QTest::newRow("star after a star text") << QStringLiteral("*4711") << QStringLiteral("*")
                                                << QStringList{QStringLiteral("4711.dwg"), QStringLiteral("4720-b.dwg"),
                                                               QStringLiteral("A4711.dwg")};
        QTest::newRow("other case") << QStringLiteral("A4711") << QStringLiteral("a")
                                    << QStringList{QStringLiteral("A4711.dwg")};
    }
    void searchedTextIsExactlyTheTypedText()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        for (const char *f : {"4711.dwg", "4720-b.dwg", "A4711.dwg"})
            env->writeFile(QStringLiteral("a/") + QLatin1String(f));
        const QString root = env->root() + QStringLiteral("/a");
        form = start(*env, {root});
        QVERIFY(search(form, before));
        QVERIFY(search(form, typed));
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), typed);
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 2);
        QStringList want;
        for (const QString &e : expected)
            want.append(root + QLatin1Char('/') + e);
        QCOMPARE(sorted(hits(form)), sorted(want));
    }

    void emptyStartDuringASearchLeavesNoDuplicates()
    {
        env->writeFile(QStringLiteral("a/plan-top.dwg"));
        env->writeFile(QStringLiteral("a/inner/plan.dwg"));
        const QString a = env->root() + QStringLiteral("/a");
        form = start(*env, {a, a + QStringLiteral("/inner")});
        HeldWalk walk;
        QSignalSpy finished(form, &Form1::searchFinished);
        startWithButton(form, QStringLiteral("plan"));
        QTRY_VERIFY(walk.held() && form->hitModel()->count() == 1);

        // "Suche starten" with an empty field while hits still arrive.
        startWithButton(form, QString());
        walk.release();
        QVERIFY(finished.count() > 0 || finished.wait(20000));

        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("3"));
        QCOMPARE(sorted(hits(form)), sorted({a + QStringLiteral("/inner/plan.dwg"), a + QStringLiteral("/plan-top.dwg")}));
    }

    void closeAndNewSearchDoNotWaitForAHangingListing_data()
    {
        QTest::addColumn<bool>("closeWindow"); // or start a new search
        QTest::newRow("close the window") << true;
        QTest::newRow("new search") << false;
    }
    void closeAndNewSearchDoNotWaitForAHangingListing()
    {
        QFETCH(bool, closeWindow);
        env->writeFile(QStringLiteral("p/plan.dwg"));
        env->writeFile(QStringLiteral("p/hangs/plan.dwg"));
        const QString p = env->root() + QStringLiteral("/p");
        // The first listing of "hangs" blocks until released; a watchdog releases it after a
        // long while, so a window that waits for it fails instead of hanging the test.
        const auto gate = ListingGate::at("hangs", true);
        SearchSession::setOpenHook(ListingGate::hook(gate));
        std::atomic<bool> inTime{true};
        std::thread watchdog([gate, &inTime] { inTime = gate->releasedWithin(std::chrono::seconds(10)); });
        form = start(*env, {p});
        startWithButton(form, QStringLiteral("plan"));
        QTRY_VERIFY(gate->reached);

        if (closeWindow) {
            QPointer<Form1> window = form;
            close(form);
            form = nullptr;
            QVERIFY(!window);
        } else {
            QVERIFY(search(form, QStringLiteral("plan")));
            QCOMPARE(sorted(hits(form)), sorted({p + QStringLiteral("/hangs/plan.dwg"), p + QStringLiteral("/plan.dwg")}));
        }
        gate->release();
        watchdog.join();
        SearchSession::setOpenHook(nullptr);
        QVERIFY(inTime);
        QTRY_COMPARE(cFindFile::readersRunning(), 0);
    }

    void runningOutOfDescriptorsIsToldOnce()
    {
        env->writeFile(QStringLiteral("p1/plan.dwg"));
        env->writeFile(QStringLiteral("p1/full/plan.dwg"));
        env->writeFile(QStringLiteral("p2/plan.dwg"));
        env->writeFile(QStringLiteral("p2/full/plan.dwg"));
        form = start(*env, {env->root() + QStringLiteral("/p1"), env->root() + QStringLiteral("/p2")});
        SearchSession::setOpenHook([](const std::string &path) { return path == "full" ? EMFILE : 0; });
        QVERIFY(search(form, QStringLiteral("plan")));
        SearchSession::setOpenHook(nullptr);
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("2"));
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Fehler bei sStartSearch")});
        QCOMPARE(env->messages.first().icon, Platform::Icon::Error);
    }

    // Closing the window and the exit button both keep the three texts for the next start; the
    // exit button also closes every other window of the program.
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
        child<QComboBox>(form, "Combo1")->setEditText(QStringLiteral("387-123"));
        child<QLineEdit>(form, "Text2")->setText(QStringLiteral("/tmp/ziel/"));
        child<QPlainTextEdit>(form, "Text1")->setPlainText(QStringLiteral("Notizen\r\nA-100"));
        if (exitButton) {
            QTest::mouseClick(child<QPushButton>(form, "Command2"), Qt::LeftButton);
            frmMain::showWindow();
            const QList<QPointer<QWidget>> windows{form, Form2::existing(), frmMain::existing()};
            QTest::mouseClick(child<QPushButton>(form, "Command4"), Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            for (const QPointer<QWidget> &w : windows)
                QVERIFY(!w);
            QCOMPARE(QApplication::topLevelWidgets().size(), 0);
        } else {
            close(form);
        }
        form = nullptr;
        QCOMPARE(Settings::read(QStringLiteral("combo1.Text"), QString()), QStringLiteral("387-123"));
        QCOMPARE(Settings::read(QStringLiteral("Text2.Text"), QString()), QStringLiteral("/tmp/ziel/"));
        QCOMPARE(Settings::read(QStringLiteral("Text1.Text"), QString()), QStringLiteral("Notizen\nA-100"));

        form = Form1::instance();
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), QStringLiteral("387-123"));
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("/tmp/ziel/"));
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), QStringLiteral("Notizen\nA-100"));
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 0); // the history is not kept
    }

    void closingTheSearchWindowClosesHiddenWindows()
    {
        form = start(*env, {});
        QPointer<Form2> info = Form2::existing();
        QVERIFY(info);
        QVERIFY(!info->isVisible());
        auto *stray = new QWidget;
        stray->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<QWidget> guard = stray;
        close(form);
        form = nullptr;
        QVERIFY(!info);
        QVERIFY(!guard);
    }
};

QTEST_MAIN(TestForm1Search)
#include "tst_form1_search.moc"
