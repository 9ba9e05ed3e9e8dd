#include "search/hitsfixture.h"

#include "cipher/frmmain.h"

#include <QCheckBox>

class TestForm2 : public QObject, HitsSession
{
    Q_OBJECT

    static QString option() { return Settings::read(QStringLiteral("Check1.Value"), QStringLiteral("none")); }
    static bool ticked() { return child<QCheckBox>(Form2::existing(), "Check1")->isChecked(); }
    QGroupBox *frame() const { return child<QGroupBox>(form, "Frame1"); }
    bool shows(const char *button) const { return child(form, button)->isVisibleTo(frame()); }
    static void click(QWidget *window, const char *name) { QTest::mouseClick(child(window, name), Qt::LeftButton); }
    using HitsSession::click;

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // The start loads the info window hidden and sets the copy option; the copy frame waits for
    // the first click on a hit. Each change of the option is stored at once, the frame follows.
    // Delete and move, once on, stay while the window is closed and loaded again, hidden, by a
    // click on a hit. Every way of closing it rereads the search paths, edited meanwhile; a
    // double-click or Enter on the cipher spot, not a click, opens the cipher window.
    void optionsAndClosing_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("way");
        QTest::newRow("first start, ok button") << QStringLiteral("none") << QStringLiteral("ok");
        QTest::newRow("1 stored, close box") << QStringLiteral("1") << QStringLiteral("close box");
        QTest::newRow("0 stored, double-click on the cipher spot") << QStringLiteral("0") << QStringLiteral("double-click");
        QTest::newRow("1 stored, Enter on the cipher spot") << QStringLiteral("1") << QStringLiteral("Enter");
    }
    void optionsAndClosing()
    {
        QFETCH(QString, stored);
        QFETCH(QString, way);
        const bool on = stored == QStringLiteral("1");
        if (stored != QStringLiteral("none"))
            Settings::write(QStringLiteral("Check1.Value"), stored);
        const QString added = env->writeFile(QStringLiteral("added/4711.dwg"));
        startWith({QStringLiteral("plan.dwg")});
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible() && ticked() == on);
        QCOMPARE(option(), QString::number(on));
        QVERIFY(!frame()->isVisible() && !shows("Command8"));
        click({QStringLiteral("plan.dwg")});
        QVERIFY(frame()->isVisible() == on && shows("Command8"));
        Form2 *info = openInfo();
        QVERIFY(info && info->isVisible() && !info->isModal() && !shows("Command5") && !shows("cmd_move"));
        click(info, "Command1");
        QVERIFY(!child(info, "Command1")->isVisible() && shows("Command5") && shows("cmd_move"));
        for (const bool now : {!on, on}) {
            click(info, "Check1");
            QVERIFY(option() == QString::number(now) && frame()->isVisible() == now);
        }
        click(info, "cmd_path");
        QCOMPARE(env->opened, QStringList{env->programFolder() + QStringLiteral("/suchpfad.txt")});
        SearchFixture::writeSearchPaths(*env, {archive, env->at(QStringLiteral("added"))});
        click(info, "lbl_Click");
        QVERIFY(info->isVisible() && form->searchPaths() == QStringList{archive});
        if (way == QStringLiteral("ok"))
            click(info, "cmd_exit");
        else if (way == QStringLiteral("close box"))
            info->close();
        else if (way == QStringLiteral("double-click"))
            QTest::mouseDClick(child(info, "lbl_Click"), Qt::LeftButton);
        else
            QTest::keyClick(child(info, "lbl_Click"), Qt::Key_Return);
        QCOMPARE(frmMain::existing() && frmMain::existing()->isVisible(), way == QStringLiteral("double-click") || way == QStringLiteral("Enter"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Form2::existing());
        QVERIFY(SearchFixture::search(form, QStringLiteral("4711")));
        QCOMPARE(SearchFixture::hits(form), QStringList{added});
        archive = env->at(QStringLiteral("added"));
        click({QStringLiteral("4711.dwg")});
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible() && ticked() == on);
        QVERIFY(frame()->isVisible() == on && shows("Command5") && shows("cmd_move"));
        QVERIFY(child(openInfo(), "Command1")->isVisible());
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
