#include "hitsfixture.h"

#include "app/pathfunctions.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>

#include <memory>

using namespace SearchFixture;
using namespace HitsFixture;

class TestForm1Hits : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form1 *form = nullptr;
    QString archive;

    // Starts on an archive holding the given files and lists them all.
    void startWith(const QStringList &files)
    {
        for (const QString &f : files)
            env->writeFile(QStringLiteral("archive/") + f, "content");
        archive = env->root() + QStringLiteral("/archive");
        form = startAndListAll(*env, archive);
        QVERIFY(form);
    }
    QString hit(const QString &name) const { return archive + QLatin1Char('/') + name; }

    // A right-click as the window system delivers it: the button, then the menu request.
    void rightClick(const QPoint &at)
    {
        QWidget *viewport = form->List1->viewport();
        QTest::mouseClick(viewport, Qt::RightButton, Qt::NoModifier, at);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &request);
    }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        closeWindows(form);
        env.reset();
    }

    void clickShowsNameTypeAndDate_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::newRow("drawing") << QStringLiteral("plan.dwg") << QStringLiteral("plan") << QStringLiteral(".dwg");
        QTest::newRow("no dot") << QStringLiteral("readme") << QStringLiteral("readme") << QString();
        QTest::newRow("last dot counts") << QStringLiteral("plan.v2.dwg") << QStringLiteral("plan.v2") << QStringLiteral(".dwg");
        QTest::newRow("blanks trimmed from the name") << QStringLiteral("  A-100 .DWG") << QStringLiteral("A-100")
                                                      << QStringLiteral(".DWG");
        QTest::newRow("dot at the end") << QStringLiteral("entwurf.") << QStringLiteral("entwurf") << QString();
        QTest::newRow("markup stays text") << QStringLiteral("<b>fett<i>.txt") << QStringLiteral("<b>fett<i>")
                                           << QStringLiteral(".txt");
    }
    void clickShowsNameTypeAndDate()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QString, ext);
        startWith({file});
        QVERIFY(!form->Label8->isVisible());
        QVERIFY(!form->Command1->isVisible());
        clickHit(form, hit(file));
        QCOMPARE(form->Label3->text(), hit(file));
        QCOMPARE(form->Label8->text(), name);
        QCOMPARE(form->Label9->text(), ext);
        QCOMPARE(form->Label10->text(), QStringLiteral("Datentyp: ") + ext);
        QVERIFY(!form->lbl_filetime->text().isEmpty());
        for (QWidget *w : {static_cast<QWidget *>(form->Label8), static_cast<QWidget *>(form->Label10),
                           static_cast<QWidget *>(form->lbl_filetime), static_cast<QWidget *>(form->Command1)})
            QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
        QVERIFY(!form->Label9->isVisible());
        QVERIFY(!form->Label3->isVisible());
        // First start: the copy option is off, so the copy frame stays hidden.
        QVERIFY(!form->Frame1->isVisible());
        QVERIFY(form->Text2->isVisibleTo(form->Frame1));
        QVERIFY(form->Command8->isVisibleTo(form->Frame1));
        QVERIFY(!form->Command5->isVisibleTo(form->Frame1));
    }

    void dateIsTheLastChange()
    {
        startWith({QStringLiteral("plan.dwg")});
        QFile f(hit(QStringLiteral("plan.dwg")));
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QDateTime when(QDate(2006, 2, 21), QTime(14, 32, 10));
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        f.close();
        clickHit(form, hit(QStringLiteral("plan.dwg")));
        const QString shown = form->lbl_filetime->text();
        QVERIFY2(shown.startsWith(QLocale().toString(when.date(), QLocale::ShortFormat)), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("14:32:10")) || shown.contains(QStringLiteral("2:32:10")), qPrintable(shown));
        QCOMPARE(form->lbl_filetime->toolTip(), QStringLiteral("Dateidatum"));
    }

    void goneFileKeepsNameAndTypeWithoutDate()
    {
        startWith({QStringLiteral("a.dwg"), QStringLiteral("b.pdf")});
        clickHit(form, hit(QStringLiteral("a.dwg")));
        QVERIFY(!form->lbl_filetime->text().isEmpty());
        QVERIFY(QFile::remove(hit(QStringLiteral("b.pdf"))));
        clickHit(form, hit(QStringLiteral("b.pdf")));
        QCOMPARE(form->Label3->text(), hit(QStringLiteral("b.pdf")));
        QCOMPARE(form->Label8->text(), QStringLiteral("b"));
        QCOMPARE(form->Label10->text(), QStringLiteral("Datentyp: .pdf"));
        QCOMPARE(form->lbl_filetime->text(), QString());
        // Nothing stopped working: the next click shows a date again.
        clickHit(form, hit(QStringLiteral("a.dwg")));
        QVERIFY(!form->lbl_filetime->text().isEmpty());
        QCOMPARE(form->Label8->text(), QStringLiteral("a"));
    }

    void currentHitIsTheEntryClickedLast()
    {
        startWith({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        clickHit(form, hit(QStringLiteral("a")));
        clickHit(form, hit(QStringLiteral("b")), Qt::ControlModifier);
        clickHit(form, hit(QStringLiteral("c")), Qt::ControlModifier);
        // A Ctrl-click that deselects an entry still makes it the current hit.
        clickHit(form, hit(QStringLiteral("b")), Qt::ControlModifier);
        QCOMPARE(selectedPaths(form), (QStringList{hit(QStringLiteral("a")), hit(QStringLiteral("c"))}));
        QCOMPARE(form->currentHitPath(), hit(QStringLiteral("b")));
        QCOMPARE(form->Label8->text(), QStringLiteral("b"));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(env->opened, QStringList{hit(QStringLiteral("b"))});
    }

    void keyboardMovesTheCurrentHit()
    {
        startWith({QStringLiteral("a"), QStringLiteral("b")});
        const QString first = form->hitModel()->path(0);
        const QString second = form->hitModel()->path(1);
        clickHit(form, first);
        QTest::keyClick(form->List1, Qt::Key_Down);
        QCOMPARE(form->currentHitPath(), second);
        QCOMPARE(form->Label8->text(), Zerlege(second));
    }

    void focusAloneMakesNoHitCurrent()
    {
        startWith({QStringLiteral("a"), QStringLiteral("b")});
        form->activateWindow();
        form->List1->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(form->List1->hasFocus());
        QVERIFY(form->currentHitPath().isEmpty());
        QVERIFY(!form->Label8->isVisible());
        // The first key moves to the first entry, which then is the current hit.
        QTest::keyClick(form->List1, Qt::Key_Down);
        QCOMPARE(form->currentHitPath(), form->hitModel()->path(0));
    }

    void doubleClickOpensTheHit()
    {
        startWith({QStringLiteral("plan.dwg"), QStringLiteral("other.pdf")});
        doubleClickHit(form, hit(QStringLiteral("plan.dwg")));
        QCOMPARE(env->opened, QStringList{hit(QStringLiteral("plan.dwg"))});
        QCOMPARE(form->currentHitPath(), hit(QStringLiteral("plan.dwg")));
        QVERIFY(form->Command1->isVisible());
        QVERIFY(env->messages.isEmpty());
        // "aufrufen" opens the current hit again, and a gone file is opened without a word.
        QVERIFY(QFile::remove(hit(QStringLiteral("plan.dwg"))));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(env->opened.size(), 2);
        QVERIFY(env->messages.isEmpty());
    }

    void nameIntoNotes_data()
    {
        QTest::addColumn<bool>("clearFirst");
        QTest::addColumn<QString>("once");
        QTest::newRow("default notes") << false << QStringLiteral("Notizen\nplan");
        QTest::newRow("empty notes keep an empty first line") << true << QStringLiteral("\nplan");
    }
    void nameIntoNotes()
    {
        QFETCH(bool, clearFirst);
        QFETCH(QString, once);
        startWith({QStringLiteral("plan.dwg")});
        if (clearFirst)
            QTest::mouseClick(form->Command7, Qt::LeftButton);
        clickHit(form, hit(QStringLiteral("plan.dwg")));
        QCOMPARE(form->width(), 649);
        QTest::mouseDClick(form->Label8, Qt::LeftButton);
        QCOMPARE(form->width(), 821);
        QCOMPARE(form->Command6->text(), QStringLiteral("Notizen"));
        QCOMPARE(form->Text1->toPlainText(), once);
        QTest::mouseDClick(form->Label8, Qt::LeftButton);
        QCOMPARE(form->Text1->toPlainText(), once + QStringLiteral("\nplan"));
        // 821 counts as wide: the notes button narrows the window.
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QCOMPARE(form->width(), 649);
        QCOMPARE(form->Command6->text(), QStringLiteral(">>"));
    }

    void nameIntoNotesKeepsAMaximizedWindow()
    {
        startWith({QStringLiteral("plan.dwg")});
        form->showMaximized();
        QTRY_VERIFY(form->isMaximized());
        const int width = form->width();
        clickHit(form, hit(QStringLiteral("plan.dwg")));
        QTest::mouseDClick(form->Label8, Qt::LeftButton);
        QCOMPARE(form->width(), width);
        QCOMPARE(form->Text1->toPlainText(), QStringLiteral("Notizen\nplan"));
    }

    void typingWhileHitsAreListedKeepsTheCurrentHit()
    {
        storeCopyOption(true);
        startWith({QStringLiteral("a.dwg"), QStringLiteral("b.dwg")});
        const QString target = env->makeDir(QStringLiteral("target"));
        clickHit(form, hit(QStringLiteral("a.dwg")));
        clickHit(form, hit(QStringLiteral("b.dwg")), Qt::ControlModifier);
        QTest::keyClick(form->Combo1->lineEdit(), Qt::Key_X);
        QVERIFY(!form->List1->selectionModel()->hasSelection());
        QCOMPARE(form->currentHitPath(), hit(QStringLiteral("b.dwg")));
        QCOMPARE(form->Label8->text(), QStringLiteral("b"));
        QCOMPARE(form->hitModel()->count(), 2);
        // Nothing is selected any more, so a copy copies nothing.
        form->Text2->setText(target);
        QTest::mouseClick(form->Command8, Qt::LeftButton);
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Kopiervorgang beendet")});
        QVERIFY(QDir(target).isEmpty());
        // A click works as before.
        clickHit(form, hit(QStringLiteral("a.dwg")));
        QCOMPARE(form->currentHitPath(), hit(QStringLiteral("a.dwg")));
    }

    void contextMenuLeavesSelectionAndCurrentHit()
    {
        startWith({QStringLiteral("a.dwg"), QStringLiteral("b.dwg"), QStringLiteral("c.dwg")});
        auto *menu = form->findChild<QMenu *>(QStringLiteral("List1Menu"));
        QVERIFY(menu);
        const QPoint onC = rowCenter(form, rowOf(form, hit(QStringLiteral("c.dwg"))));

        // Before any hit was clicked there is nothing to open.
        rightClick(onC);
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(!form->actOpen->isEnabled());
        QVERIFY(!form->actOpenFolder->isEnabled());
        QVERIFY(!form->actCopyPaths->isEnabled());
        menu->hide();
        QVERIFY(form->currentHitPath().isEmpty());

        clickHit(form, hit(QStringLiteral("a.dwg")));
        clickHit(form, hit(QStringLiteral("b.dwg")), Qt::ShiftModifier);
        const QStringList selected = selectedPaths(form);
        QCOMPARE(selected.size(), 2);
        rightClick(onC);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(selectedPaths(form), selected);
        QCOMPARE(form->currentHitPath(), hit(QStringLiteral("b.dwg")));
        QCOMPARE(menu->actions().size(), 3);
        QCOMPARE(form->actOpen->text(), QStringLiteral("aufrufen"));
        QCOMPARE(form->actOpenFolder->text(), QStringLiteral("Ordner öffnen"));
        QCOMPARE(form->actCopyPaths->text(), QStringLiteral("Pfad kopieren"));

        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(form->actCopyPaths).center());
        // One path a line, in list order.
        QStringList inListOrder = selected;
        std::sort(inListOrder.begin(), inListOrder.end(),
                  [this](const QString &x, const QString &y) { return rowOf(form, x) < rowOf(form, y); });
        QCOMPARE(env->clipboard, inListOrder.join(QLatin1Char('\n')));
        rightClick(onC);
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(form->actOpenFolder).center());
        rightClick(onC);
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(form->actOpen).center());
        QCOMPARE(env->opened, (QStringList{archive, hit(QStringLiteral("b.dwg"))}));
        QCOMPARE(selectedPaths(form), selected);
    }
};

QTEST_MAIN(TestForm1Hits)
#include "tst_form1_hits.moc"
