#include "hitsfixture.h"


#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <memory>

using namespace SearchFixture;
using namespace HitsFixture;

class TestForm1Notes : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form1 *form = nullptr;

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        closeWindows(form);
        env.reset();
    }

    void toggleWidensAndNarrows()
    {
        form = start(*env, {});
        QCOMPARE(form->width(), 649);
        QCOMPARE(form->Command6->text(), QStringLiteral("Notizen"));
        QCOMPARE(form->Command6->toolTip(), QStringLiteral("Notizen"));
        QVERIFY(form->Text1->x() >= form->width()); // the panel lies beyond the narrow window
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QCOMPARE(form->width(), 822);
        QCOMPARE(form->Command6->text(), QStringLiteral("<<"));
        QVERIFY(form->Text1->geometry().right() < form->width());
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QCOMPARE(form->width(), 649);
        QCOMPARE(form->Command6->text(), QStringLiteral(">>"));
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QCOMPARE(form->Command6->text(), QStringLiteral("<<"));

        // Any other width counts as wide.
        form->resize(700, form->height());
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QCOMPARE(form->width(), 649);
        QCOMPARE(form->Command6->text(), QStringLiteral(">>"));

        form->showMaximized();
        QTRY_VERIFY(form->isMaximized());
        const int width = form->width();
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QCOMPARE(form->width(), width);
        QCOMPARE(form->Command6->text(), QStringLiteral(">>"));
    }

    void selectedHitsIntoNotes_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("expected"); // %1, %2: the selected paths in list order
        QTest::newRow("default notes, one hit") << QStringLiteral("Notizen") << 1 << QStringLiteral("Notizen\n%1");
        QTest::newRow("empty notes, two hits") << QString() << 2 << QStringLiteral("%1\n%2");
        QTest::newRow("nothing selected") << QStringLiteral("Notizen") << 0 << QStringLiteral("Notizen");
    }
    void selectedHitsIntoNotes()
    {
        QFETCH(QString, notes);
        QFETCH(int, selected);
        QFETCH(QString, expected);
        env->writeFile(QStringLiteral("archive/a.dwg"));
        env->writeFile(QStringLiteral("archive/b.dwg"));
        env->writeFile(QStringLiteral("archive/c.dwg"));
        form = startAndListAll(*env, env->root() + QStringLiteral("/archive"));
        QVERIFY(form);
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        form->Text1->setPlainText(notes);
        // Select rows 2 and 0 (clicked in that order); the notes take them in list order.
        const QStringList rows{form->hitModel()->path(0), form->hitModel()->path(2)};
        if (selected == 2) {
            clickHit(form, rows.at(1));
            clickHit(form, rows.at(0), Qt::ControlModifier);
        } else if (selected == 1) {
            clickHit(form, rows.at(0));
        }
        QTest::mouseClick(form->img_putlisttoinfo, Qt::LeftButton);
        QCOMPARE(form->Text1->toPlainText(), QString(expected).arg(rows.value(0), rows.value(1)));
        QCOMPARE(form->width(), 822);
        QCOMPARE(form->img_putlisttoinfo->toolTip(), QStringLiteral("Markierung in die Liste kopieren"));

        // "Liste löschen" empties the notes and leaves the hit list alone.
        QTest::mouseClick(form->Command7, Qt::LeftButton);
        QCOMPARE(form->Text1->toPlainText(), QString());
        QCOMPARE(form->hitModel()->count(), 3);
    }

    void pasteTakesTheClipboard_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("text") << QStringLiteral("387-123-05");
        QTest::newRow("no text") << QString();
    }
    void pasteTakesTheClipboard()
    {
        QFETCH(QString, clipboard);
        form = start(*env, {});
        env->clipboard = clipboard;
        QTest::mouseClick(form->cmd_paste, Qt::LeftButton);
        QCOMPARE(form->Combo1->currentText(), clipboard);
        QVERIFY(!form->isSearching());
        QVERIFY(!form->List1->isVisible()); // no search was started
    }

    void formatDrawingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("formatted");
        QTest::newRow("already formatted") << QStringLiteral("387-123-05") << QStringLiteral("387-123-05");
        QTest::newRow("digits only") << QStringLiteral("38712305") << QStringLiteral("387-123-05");
        QTest::newRow("two characters") << QStringLiteral("12") << QStringLiteral("12--");
        QTest::newRow("empty") << QString() << QStringLiteral("--");
        QTest::newRow("underscores") << QStringLiteral("387_123_05") << QStringLiteral("387-_12-3_");
        QTest::newRow("longer text cut") << QStringLiteral("3871230599") << QStringLiteral("387-123-05");
        QTest::newRow("hyphen elsewhere") << QStringLiteral("38-7") << QStringLiteral("38--7-");
    }
    void formatDrawingNumber()
    {
        QFETCH(QString, text);
        QFETCH(QString, formatted);
        form = start(*env, {});
        form->Combo1->setEditText(text);
        QTest::mouseClick(form->cmd_format, Qt::LeftButton);
        QCOMPARE(form->Combo1->currentText(), formatted);
        QVERIFY(!form->isSearching());
    }

    void infoButtonShowsTheInfoWindow()
    {
        form = start(*env, {});
        Form2 *info = Form2::existing();
        QVERIFY(info && !info->isVisible());
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(Form2::existing(), info); // the window loaded at start, now shown
        QVERIFY(info->isVisible());
        QVERIFY(!info->isModal());
        QVERIFY(form->isEnabled());
        QTest::mouseClick(info->cmd_exit, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Form2::existing());
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(Form2::existing() && Form2::existing()->isVisible());
    }
};

QTEST_MAIN(TestForm1Notes)
#include "tst_form1_notes.moc"
