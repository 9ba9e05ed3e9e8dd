#include "listinggate.h"
#include "searchfixture.h"

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

using namespace SearchFixture;

class TestForm1Search : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form1 *form = nullptr;

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        form = nullptr;
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
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), QStringLiteral("Notizen"));
        QVERIFY(!child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(form->windowTitle(), QStringLiteral("Suchmaske für Zeichnungen und Dokumente"));

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

    // Every other test writes the file with CR LF.
    void readpath_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("entries");
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

    // Beginnings in all subfolders, folders too; the text searched is exactly the one typed,
    // never completed from the history of earlier searches.
    void searchedTextIsExactlyTheTypedText_data()
    {
        QTest::addColumn<QString>("before"); // searched first, so it is in the history
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        const QStringList plain{QStringLiteral("4711.dwg"), QStringLiteral("4711-b.pdf"), QStringLiteral("sub/4711x.TXT"),
                                QStringLiteral("sub/deep/4711.DWG"), QStringLiteral("other/4711dir")};
        const QStringList starred = plain + QStringList{QStringLiteral("A4711.dwg"), QStringLiteral("sub/xx4711.pdf")};
        QTest::newRow("beginning") << QString() << QStringLiteral("4711") << plain;
        QTest::newRow("any case") << QString() << QStringLiteral("4711-B") << QStringList{QStringLiteral("4711-b.pdf")};
        QTest::newRow("leading star") << QString() << QStringLiteral("*4711") << starred;
        QTest::newRow("question mark") << QString() << QStringLiteral("4?11.d")
                                       << QStringList{QStringLiteral("4711.dwg"), QStringLiteral("sub/deep/4711.DWG")};
        QTest::newRow("beginning of an earlier text") << QStringLiteral("4711") << QStringLiteral("47")
                                                      << plain + QStringList{QStringLiteral("4720-b.dwg")};
        QTest::newRow("star after a star text") << QStringLiteral("*4711") << QStringLiteral("*")
                                                << starred + QStringLiteral("4720-b.dwg readme.txt sub sub/deep other "
                                                                            "other/4711dir/inner.txt").split(QLatin1Char(' '));
        QTest::newRow("other case") << QStringLiteral("A4711") << QStringLiteral("a") << QStringList{QStringLiteral("A4711.dwg")};
    }
    void searchedTextIsExactlyTheTypedText()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        for (const char *f : {"4711.dwg", "4711-b.pdf", "4720-b.dwg", "A4711.dwg", "readme.txt", "sub/4711x.TXT",
                              "sub/xx4711.pdf", "sub/deep/4711.DWG", "other/4711dir/inner.txt"})
            env->writeFile(QStringLiteral("archive/") + QLatin1String(f));
        const QString root = env->at(QStringLiteral("archive"));
        form = start(*env, {root});
        QVERIFY(before.isEmpty() || search(form, before));
        QVERIFY(search(form, typed));
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), typed);
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), before.isEmpty() ? 1 : 2);
        QCOMPARE(sortedHits(form), under(root, expected));
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QString::number(expected.size()));
        QVERIFY(child<QLabel>(form, "Label7")->isVisible() && !child<QLabel>(form, "logo")->isVisible());
        QVERIFY(!frmSplash::existing() && !child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), root);
    }

    // A comma is searched as a dot; the history keeps each text once; typing clears the
    // selection; an empty text starts nothing and the last result stays.
    void searchFieldHistoryAndKeys()
    {
        env->writeFile(QStringLiteral("a/12.5.dwg"));
        form = start(*env, {env->at(QStringLiteral("a"))});
        QVERIFY(search(form, QStringLiteral("12,5")));
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), QStringLiteral("12.5"));
        QCOMPARE(form->hitModel()->count(), 1);
        child<QListView>(form, "List1")->selectAll();
        QVERIFY(child<QListView>(form, "List1")->selectionModel()->hasSelection());
        QTest::keyClick(child<QComboBox>(form, "Combo1")->lineEdit(), Qt::Key_X);
        QVERIFY(!child<QListView>(form, "List1")->selectionModel()->hasSelection());
        QCOMPARE(form->hitModel()->count(), 1);

        QVERIFY(search(form, QStringLiteral("12.5")));
        QVERIFY(search(form, QStringLiteral("nothing")));
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 2);
        QCOMPARE(child<QComboBox>(form, "Combo1")->itemText(0), QStringLiteral("12.5"));
        QCOMPARE(child<QComboBox>(form, "Combo1")->itemText(1), QStringLiteral("nothing"));
        QCOMPARE(child<QComboBox>(form, "Combo1")->lineEdit()->selectedText(), QStringLiteral("nothing"));
        child<QComboBox>(form, "Combo1")->lineEdit()->clear();
        QTest::keyClick(child<QComboBox>(form, "Combo1")->lineEdit(), Qt::Key_Return);
        QVERIFY(!form->isSearching());
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 2);
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("0"));
    }

    // The stop button ends the descent, but each later path still gives its own folder's
    // matches; a new start ends the running walk. The next search walks everything again.
    void interruptedSearch_data()
    {
        QTest::addColumn<bool>("stop"); // else: a new search started
        QTest::newRow("stop button") << true;
        QTest::newRow("new start") << false;
    }
    void interruptedSearch()
    {
        QFETCH(bool, stop);
        for (const char *p : {"p1/hit", "p1/sub/hit", "p1/sub/deeper/hit", "p2/hit", "p2/sub/hit", "p3/hit", "p3/sub/hit"})
            env->writeFile(QLatin1String(p));
        const QStringList paths{env->at(QStringLiteral("p1")), env->at(QStringLiteral("p2")), env->at(QStringLiteral("p3"))};
        form = start(*env, paths);
        HeldWalk walk;
        QSignalSpy finished(form, &Form1::searchFinished);
        startWithButton(form, QStringLiteral("hit"));
        QTRY_VERIFY(walk.held() && child<QPushButton>(form, "cmdStop")->isEnabled());
        QCOMPARE(child<QLabel>(form, "Label1")->text(), paths.first());
        if (stop) {
            QTest::mouseClick(child<QPushButton>(form, "cmdStop"), Qt::LeftButton);
            walk.release();
            QVERIFY(finished.wait(20000));
            QCOMPARE(hits(form), (QStringList{paths.at(0) + QStringLiteral("/hit"), paths.at(1) + QStringLiteral("/hit"),
                                              paths.at(2) + QStringLiteral("/hit")}));
            QVERIFY(form->StopRequested && !child<QPushButton>(form, "cmdStop")->isEnabled());
            QCOMPARE(child<QLabel>(form, "Label1")->text(), paths.last());
        } else {
            walk.release();
            QVERIFY(search(form, QStringLiteral("sub")));
            QCOMPARE(sortedHits(form), (QStringList{paths.at(0) + QStringLiteral("/sub"), paths.at(1) + QStringLiteral("/sub"),
                                                    paths.at(2) + QStringLiteral("/sub")}));
            QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("3"));
        }
        QVERIFY(search(form, QStringLiteral("hit")));
        QCOMPARE(form->hitModel()->count(), 7);
    }

    void infoWindowReloadsThePathsDuringASearch()
    {
        QStringList paths;
        for (const char *p : {"p1", "p2", "p3"}) {
            env->writeFile(QLatin1String(p) + QStringLiteral("/hit"));
            env->writeFile(QLatin1String(p) + QStringLiteral("/sub/hit"));
            paths.append(env->at(QLatin1String(p)));
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

    void emptyStartDuringASearchLeavesNoDuplicates()
    {
        env->writeFile(QStringLiteral("a/plan-top.dwg"));
        env->writeFile(QStringLiteral("a/inner/plan.dwg"));
        const QString a = env->at(QStringLiteral("a"));
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
        QCOMPARE(sortedHits(form), under(a, {QStringLiteral("inner/plan.dwg"), QStringLiteral("plan-top.dwg")}));
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
        const QString p = env->at(QStringLiteral("p"));
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
            QCOMPARE(sortedHits(form), under(p, {QStringLiteral("hangs/plan.dwg"), QStringLiteral("plan.dwg")}));
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
        form = start(*env, {env->at(QStringLiteral("p1")), env->at(QStringLiteral("p2"))});
        SearchSession::setOpenHook([](const std::string &path) { return path == "full" ? EMFILE : 0; });
        QVERIFY(search(form, QStringLiteral("plan")));
        SearchSession::setOpenHook(nullptr);
        QCOMPARE(child<QLabel>(form, "Label6")->text(), QStringLiteral("2"));
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Fehler bei sStartSearch")});
        QCOMPARE(env->messages.first().icon, Platform::Icon::Error);
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
        child<QComboBox>(form, "Combo1")->setEditText(QStringLiteral("387-123"));
        child<QLineEdit>(form, "Text2")->setText(QStringLiteral("/tmp/ziel/"));
        child<QPlainTextEdit>(form, "Text1")->setPlainText(QStringLiteral("Notizen\r\nA-100"));
        auto *stray = new QWidget;
        stray->setAttribute(Qt::WA_DeleteOnClose);
        QList<QPointer<QWidget>> windows{form, Form2::existing(), stray}; // the info window loaded hidden
        QVERIFY(windows.at(1) && !windows.at(1)->isVisible());
        if (exitButton) {
            QTest::mouseClick(child<QPushButton>(form, "Command2"), Qt::LeftButton);
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
        QCOMPARE(Settings::read(QStringLiteral("combo1.Text"), QString()), QStringLiteral("387-123"));
        QCOMPARE(Settings::read(QStringLiteral("Text2.Text"), QString()), QStringLiteral("/tmp/ziel/"));
        QCOMPARE(Settings::read(QStringLiteral("Text1.Text"), QString()), QStringLiteral("Notizen\nA-100"));

        form = Form1::instance();
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), QStringLiteral("387-123"));
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("/tmp/ziel/"));
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), QStringLiteral("Notizen\nA-100"));
        QCOMPARE(child<QComboBox>(form, "Combo1")->count(), 0); // the history is not kept
    }
};

QTEST_MAIN(TestForm1Search)
#include "tst_form1_search.moc"
