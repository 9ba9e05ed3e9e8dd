#include "search/hitsfixture.h"

#include "cipher/frmmain.h"

#include <QCheckBox>
#include <QPlainTextEdit>

class TestForm2 : public QObject, HitsSession
{
    Q_OBJECT

    static QString option() { return Settings::read(QStringLiteral("Check1.Value"), QStringLiteral("none")); }
    QGroupBox *frame() const { return child<QGroupBox>(form, "Frame1"); }
    bool shows(const char *button) const { return child(form, button)->isVisibleTo(frame()); }
    static void click(QWidget *window, const char *name) { QTest::mouseClick(child(window, name), Qt::LeftButton); }
    using HitsSession::click;

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // The start loads the info window hidden and sets the copy option; the copy frame waits for
    // the first click on a hit. Each change of the option is stored at once and the frame
    // follows. Delete and move, once switched on, stay while the window is closed and loaded
    // again, hidden, by a click on a hit.
    void copyOptionAndDeleteSwitch_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("first start") << QStringLiteral("none");
        QTest::newRow("1 stored") << QStringLiteral("1");
        QTest::newRow("0 stored") << QStringLiteral("0");
    }
    void copyOptionAndDeleteSwitch()
    {
        QFETCH(QString, stored);
        const bool on = stored == QStringLiteral("1");
        if (stored != QStringLiteral("none"))
            Settings::write(QStringLiteral("Check1.Value"), stored);
        startWith({QStringLiteral("plan.dwg")});
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible());
        QCOMPARE(child<QCheckBox>(Form2::existing(), "Check1")->isChecked(), on);
        QCOMPARE(option(), on ? QStringLiteral("1") : QStringLiteral("0"));
        QVERIFY(!frame()->isVisible() && !shows("Command8"));
        click({QStringLiteral("plan.dwg")});
        QVERIFY(frame()->isVisible() == on && shows("Command8"));
        Form2 *info = openInfo();
        QVERIFY(info && info->isVisible() && !info->isModal());
        QCOMPARE(child<QPlainTextEdit>(info, "Text1")->toPlainText(), Form2::helpText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY(!shows("Command5") && !shows("cmd_move"));
        click(info, "Command1");
        QVERIFY(!child(info, "Command1")->isVisible() && shows("Command5") && shows("cmd_move"));
        for (const bool ticked : {!on, on}) {
            click(info, "Check1");
            QCOMPARE(option(), ticked ? QStringLiteral("1") : QStringLiteral("0"));
            QCOMPARE(frame()->isVisible(), ticked);
        }
        click(info, "cmd_exit");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Form2::existing());
        click({QStringLiteral("plan.dwg")});
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible());
        QCOMPARE(child<QCheckBox>(Form2::existing(), "Check1")->isChecked(), on);
        QVERIFY(frame()->isVisible() == on && shows("Command5") && shows("cmd_move"));
        QVERIFY(child(openInfo(), "Command1")->isVisible());
    }

    // Every way of closing the info window rereads the search paths, edited meanwhile; a single
    // click on the cipher spot does nothing, a double-click or Enter opens the cipher window.
    void closingRereadsTheSearchPaths_data()
    {
        QTest::addColumn<QString>("way");
        for (const char *way : {"ok button", "close box", "Escape", "double-click on the cipher spot", "Enter on the cipher spot"})
            QTest::newRow(way) << QString::fromLatin1(way);
    }
    void closingRereadsTheSearchPaths()
    {
        QFETCH(QString, way);
        const QString first = env->makeDir(QStringLiteral("first")), second = env->writeFile(QStringLiteral("second/4711.dwg"));
        form = SearchFixture::start(*env, {first});
        Form2 *info = openInfo();
        click(info, "cmd_path");
        QCOMPARE(env->opened, QStringList{env->programFolder() + QStringLiteral("/suchpfad.txt")});
        SearchFixture::writeSearchPaths(*env, {first, env->root() + QStringLiteral("/second")});
        QCOMPARE(form->searchPaths(), QStringList{first});
        click(info, "lbl_Click");
        QVERIFY(info->isVisible());
        if (way == QStringLiteral("ok button"))
            click(info, "cmd_exit");
        else if (way == QStringLiteral("close box"))
            info->close();
        else if (way.startsWith(QStringLiteral("double")))
            QTest::mouseDClick(child(info, "lbl_Click"), Qt::LeftButton);
        else if (way.startsWith(QStringLiteral("Enter")))
            QTest::keyClick(child(info, "lbl_Click"), Qt::Key_Return);
        else if (info->activateWindow(); QTest::qWaitForWindowActive(info))
            QTest::keyClick(child(info, "Text1"), Qt::Key_Escape);
        QCOMPARE(frmMain::existing() && frmMain::existing()->isVisible(), way.endsWith(QStringLiteral("spot")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Form2::existing());
        QVERIFY(SearchFixture::search(form, QStringLiteral("4711")));
        QCOMPARE(SearchFixture::hits(form), QStringList{second});
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
