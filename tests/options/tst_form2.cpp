#include "search/hitsfixture.h"

#include "cipher/frmmain.h"

#include <QCheckBox>
#include <QPlainTextEdit>

class TestForm2 : public QObject, HitsSession
{
    Q_OBJECT

    static QString storedOption() { return Settings::read(QStringLiteral("Check1.Value"), QStringLiteral("none")); }

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // The help text stands line for line as designed, CR LF between the lines and the terms of
    // use after an empty line; the details field shows the same lines.
    void helpTextLineForLine()
    {
        const QStringList lines = Form2::helpText().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.mid(0, 5), (QStringList{QStringLiteral("Dieses Programm dient zur schnellen Suche von "),
                                               QStringLiteral("Zeichnungsdateien und anderen Dokumenten an fest eingestellten Such-Orten. "),
                                               QStringLiteral("Die gefundene Datei kann entweder mit einem "),
                                               QStringLiteral("Doppelklick aus dem Listenfeld heraus oder mit einem "),
                                               QStringLiteral("einfachen Klick auf den Knopf \"diese Zeichnung ")}));
        QCOMPARE(lines.mid(15, 2), (QStringList{QStringLiteral("Dabei kann auch auf die Verwendung des Platzhalters "),
                                                QStringLiteral("\"?\" zurückgegriffen werden, also z.B. 387?123?05. ")}));
        QCOMPARE(lines.mid(23, 2), (QStringList{QStringLiteral("werden."), QString()}));
        QCOMPARE(child<QPlainTextEdit>(Form2::instance(), "Text1")->toPlainText().split(QLatin1Char('\n')), lines);
    }

    void startCases_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("first start") << QStringLiteral("none") << false;
        QTest::newRow("1 stored") << QStringLiteral("1") << true;
        QTest::newRow("0 stored") << QStringLiteral("0") << false;
    }
    void startCases()
    {
        QFETCH(QString, stored);
        QFETCH(bool, ticked);
        if (stored != QStringLiteral("none"))
            Settings::write(QStringLiteral("Check1.Value"), stored);
        startWith({QStringLiteral("plan.dwg")});
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible()); // loaded hidden by the start
        QCOMPARE(child<QCheckBox>(Form2::existing(), "Check1")->isChecked(), ticked);
        QCOMPARE(storedOption(), ticked ? QStringLiteral("1") : QStringLiteral("0"));
        QVERIFY(!child<QGroupBox>(form, "Frame1")->isVisible());
        click({QStringLiteral("plan.dwg")});
        QCOMPARE(child<QGroupBox>(form, "Frame1")->isVisible(), ticked);
    }

    // Each change of the option is stored at once; delete and move stay on while the window is
    // closed and loaded again.
    void copyOptionAndDeleteSwitch()
    {
        startWith({QStringLiteral("plan.dwg")});
        Form2 *info = openInfo();
        QVERIFY(info && info->isVisible() && !info->isModal());
        QTest::mouseClick(child<QCheckBox>(info, "Check1"), Qt::LeftButton);
        QCOMPARE(storedOption(), QStringLiteral("1"));
        QVERIFY(child<QGroupBox>(form, "Frame1")->isVisible() && !child<QPushButton>(form, "Command8")->isVisible()); // no hit clicked yet
        QVERIFY(!child<QPushButton>(form, "Command5")->isVisibleTo(child<QGroupBox>(form, "Frame1")) && !child<QPushButton>(form, "cmd_move")->isVisibleTo(child<QGroupBox>(form, "Frame1")));
        QTest::mouseClick(child<QPushButton>(info, "Command1"), Qt::LeftButton);
        QVERIFY(!child<QPushButton>(info, "Command1")->isVisible());
        QTest::mouseClick(child<QCheckBox>(info, "Check1"), Qt::LeftButton);
        QCOMPARE(storedOption(), QStringLiteral("0"));
        QVERIFY(!child<QGroupBox>(form, "Frame1")->isVisible());
        QTest::mouseClick(child<QCheckBox>(info, "Check1"), Qt::LeftButton);
        QCOMPARE(storedOption(), QStringLiteral("1"));
        QVERIFY(child<QGroupBox>(form, "Frame1")->isVisible() && child<QPushButton>(form, "Command5")->isVisible() && child<QPushButton>(form, "cmd_move")->isVisible());
        QTest::mouseClick(child<QPushButton>(info, "cmd_exit"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Form2::existing());
        // A click on a hit loads the closed window again, hidden, with the stored option.
        click({QStringLiteral("plan.dwg")});
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible() && child<QCheckBox>(Form2::existing(), "Check1")->isChecked());
        QVERIFY(child<QPushButton>(form, "Command8")->isVisible() && child<QPushButton>(form, "Command5")->isVisible() && child<QPushButton>(form, "cmd_move")->isVisible());
        QVERIFY(child<QPushButton>(openInfo(), "Command1")->isVisible());
    }

    void closingRereadsTheSearchPaths_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("ok button") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("double-click on the cipher spot") << 2;
    }
    void closingRereadsTheSearchPaths()
    {
        QFETCH(int, way);
        const QString first = env->makeDir(QStringLiteral("first"));
        const QString second = env->writeFile(QStringLiteral("second/4711.dwg"));
        form = SearchFixture::start(*env, {first});
        Form2 *info = openInfo();
        QTest::mouseClick(child<QPushButton>(info, "cmd_path"), Qt::LeftButton);
        QCOMPARE(env->opened, QStringList{env->programFolder() + QStringLiteral("/suchpfad.txt")});
        SearchFixture::writeSearchPaths(*env, {first, env->root() + QStringLiteral("/second")});
        QCOMPARE(form->searchPaths(), QStringList{first});
        QTest::mouseClick(child<ClickLabel>(info, "lbl_Click"), Qt::LeftButton); // a single click on the cipher spot does nothing
        QVERIFY(info->isVisible());
        if (way == 0)
            QTest::mouseClick(child<QPushButton>(info, "cmd_exit"), Qt::LeftButton);
        else if (way == 1)
            info->close();
        else
            QTest::mouseDClick(child<ClickLabel>(info, "lbl_Click"), Qt::LeftButton);
        QCOMPARE(frmMain::existing() && frmMain::existing()->isVisible(), way == 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Form2::existing());
        QVERIFY(SearchFixture::search(form, QStringLiteral("4711")));
        QCOMPARE(SearchFixture::hits(form), QStringList{second});
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
