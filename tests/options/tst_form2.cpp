#include "search/hitsfixture.h"

#include "cipher/frmmain.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <memory>

using namespace SearchFixture;
using namespace HitsFixture;

class TestForm2 : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form1 *form = nullptr;
    QString archive;

    void startWithOneHit()
    {
        archive = env->root() + QStringLiteral("/archive");
        env->writeFile(QStringLiteral("archive/plan.dwg"), "x");
        form = startAndListAll(*env, archive);
        QVERIFY(form);
    }
    Form2 *openInfo()
    {
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        return Form2::existing();
    }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    QString storedOption() const { return Settings::read(QStringLiteral("Check1.Value"), QStringLiteral("none")); }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        frmMain::closeAll();
        closeWindows(form);
        env.reset();
    }

    void helpTextLineForLine()
    {
        const QStringList expected{
            QStringLiteral("Dieses Programm dient zur schnellen Suche von "),
            QStringLiteral("Zeichnungsdateien und anderen Dokumenten an fest eingestellten Such-Orten. "),
            QStringLiteral("Die gefundene Datei kann entweder mit einem "),
            QStringLiteral("Doppelklick aus dem Listenfeld heraus oder mit einem "),
            QStringLiteral("einfachen Klick auf den Knopf \"diese Zeichnung "),
            QStringLiteral("anzeigen\" betrachtet werden. Es wird dann das "),
            QStringLiteral("entsprechende Betrachtungsprogramm gestartet.Um "),
            QStringLiteral("nach einer Zeichnung zu suchen geben Sie bitte "),
            QStringLiteral("zuerst im Feld \"Zeichnungsnummer\" die gesuchte "),
            QStringLiteral("Nummer oder einen Teil der Nummer ein."),
            QStringLiteral("Ein Eingabetext könnte beispielsweise 387-123-05 "),
            QStringLiteral("oder 387-123 lauten."),
            QStringLiteral("Führt diese Eingabe nicht zum Erfolg, so ist es auch "),
            QStringLiteral("möglich, daß die Datei unter der Bezeichnung "),
            QStringLiteral("387_123_05 abgelegt ist."),
            QStringLiteral("Dabei kann auch auf die Verwendung des Platzhalters "),
            QStringLiteral("\"?\" zurückgegriffen werden, also z.B. 387?123?05. "),
            QStringLiteral("Ebenso ist es möglich z.B. mit dem Platzhalter \"*\" in "),
            QStringLiteral("folgender Weise zu suchen: \"*123\"."),
            QStringLiteral("Ein Doppelklick auf den Zeichnungsnamen unter dem "),
            QStringLiteral("Listenfeld übernimmt den Zeichnungsnamen in ein "),
            QStringLiteral("Notizfeld. Dort können die Nummern über das "),
            QStringLiteral("Kontextmenü der rechten Maustaste weiterverarbeitet "),
            QStringLiteral("werden."),
        };
        const QStringList stored = Form2::helpText().split(QStringLiteral("\r\n"));
        QCOMPARE(stored.mid(0, 24), expected);
        QVERIFY(!Form2::helpText().contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
        // A terms-of-use paragraph follows after an empty line.
        QVERIFY(stored.size() > 26);
        QCOMPARE(stored.at(24), QString());
        QVERIFY(stored.mid(25).join(QString()).contains(QStringLiteral("Haftung")));

        Form2 *info = Form2::instance();
        QCOMPARE(info->Text1->toPlainText().split(QLatin1Char('\n')).mid(0, 24), expected);
        QCOMPARE(info->windowTitle(), QStringLiteral("INFO"));
        QCOMPARE(info->Label1->text(), QStringLiteral("Tarvo 6.2"));
        QCOMPARE(info->width(), 303);
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
        startWithOneHit();
        Form2 *info = Form2::existing();
        QVERIFY(info);
        QVERIFY(!info->isVisible()); // loaded hidden by the search window's start
        QCOMPARE(info->Check1->isChecked(), ticked);
        QCOMPARE(storedOption(), ticked ? QStringLiteral("1") : QStringLiteral("0"));
        QVERIFY(!form->Frame1->isVisible());
        clickHit(form, archive + QStringLiteral("/plan.dwg"));
        QCOMPARE(form->Frame1->isVisible(), ticked);
    }

    void ownLoadTicksWithoutStoring()
    {
        Form2 *info = Form2::instance();
        QVERIFY(info->Check1->isChecked());
        QCOMPARE(storedOption(), QStringLiteral("none"));
        QCOMPARE(info->Check1->text(), QStringLiteral("Copy Button"));
    }

    void copyOptionIsStoredOnEveryChangeAndDrivesTheFrame()
    {
        startWithOneHit();
        Form2 *info = openInfo();
        QVERIFY(info && info->isVisible());
        QVERIFY(!info->isModal());
        QTest::mouseClick(info->Check1, Qt::LeftButton);
        QCOMPARE(storedOption(), QStringLiteral("1"));
        // Before any click on a hit the frame shows only itself.
        QVERIFY(form->Frame1->isVisible());
        QVERIFY(!form->Command8->isVisible());

        clickHit(form, archive + QStringLiteral("/plan.dwg"));
        QTest::mouseClick(info->Command1, Qt::LeftButton);
        QVERIFY(form->Command5->isVisible());
        QTest::mouseClick(info->Check1, Qt::LeftButton);
        QCOMPARE(storedOption(), QStringLiteral("0"));
        QVERIFY(!form->Frame1->isVisible());
        QVERIFY(!form->Command5->isVisible());
        QTest::mouseClick(info->Check1, Qt::LeftButton);
        QCOMPARE(storedOption(), QStringLiteral("1"));
        for (QWidget *w : {static_cast<QWidget *>(form->Command8), static_cast<QWidget *>(form->cmd_move),
                           static_cast<QWidget *>(form->Command5), static_cast<QWidget *>(form->Text2)})
            QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
    }

    void deleteSwitchLastsUntilTheEnd()
    {
        startWithOneHit();
        Form2 *info = openInfo();
        QTest::mouseClick(info->Command1, Qt::LeftButton);
        QVERIFY(!info->Command1->isVisible());
        QVERIFY(form->Command5->isVisibleTo(form->Frame1));
        QVERIFY(form->cmd_move->isVisibleTo(form->Frame1));
        QTest::mouseClick(info->cmd_exit, Qt::LeftButton);
        flushDeletes();
        QVERIFY(!Form2::existing());

        info = openInfo();
        QVERIFY(info->isVisible());
        QVERIFY(info->Command1->isVisible());
        QVERIFY(form->Command5->isVisibleTo(form->Frame1));
        QVERIFY(form->cmd_move->isVisibleTo(form->Frame1));
    }

    void clickOnAHitLoadsTheClosedWindowHidden()
    {
        startWithOneHit();
        Form2 *info = openInfo();
        QTest::mouseClick(info->Check1, Qt::LeftButton); // ticked and stored
        QTest::mouseClick(info->cmd_exit, Qt::LeftButton);
        flushDeletes();
        QVERIFY(!Form2::existing());
        clickHit(form, archive + QStringLiteral("/plan.dwg"));
        QVERIFY(Form2::existing());
        QVERIFY(!Form2::existing()->isVisible());
        QVERIFY(Form2::existing()->Check1->isChecked());
        QVERIFY(form->Frame1->isVisible());
    }

    void closingRereadsTheSearchPaths_data()
    {
        QTest::addColumn<bool>("byOk");
        QTest::newRow("ok button") << true;
        QTest::newRow("close box") << false;
    }
    void closingRereadsTheSearchPaths()
    {
        QFETCH(bool, byOk);
        const QString first = env->makeDir(QStringLiteral("first"));
        env->writeFile(QStringLiteral("second/4711.dwg"));
        const QString second = env->root() + QStringLiteral("/second");
        form = start(*env, {first});
        Form2 *info = openInfo();
        QTest::mouseClick(info->cmd_path, Qt::LeftButton);
        QCOMPARE(env->opened, QStringList{env->programFolder() + QStringLiteral("/suchpfad.txt")});

        writeSearchPaths(*env, {first, second});
        QCOMPARE(form->searchPaths(), QStringList{first});
        if (byOk)
            QTest::mouseClick(info->cmd_exit, Qt::LeftButton);
        else
            info->close();
        flushDeletes();
        QVERIFY(!Form2::existing());
        QCOMPARE(form->searchPaths(), (QStringList{first, second}));
        QVERIFY(search(form, QStringLiteral("4711")));
        QCOMPARE(hits(form), QStringList{second + QStringLiteral("/4711.dwg")});
    }

    void authorLabelWidensAndLinksOpen()
    {
        startWithOneHit();
        Form2 *info = openInfo();
        QVERIFY(info->Label3->text().contains(QStringLiteral("21.02.2006")));
        QVERIFY(!info->Label10->isVisible());
        QVERIFY(!info->Label11->isVisible());
        QVERIFY(!info->Image1->isVisible());
        QTest::mouseClick(info->Label3, Qt::LeftButton);
        QCOMPARE(info->width(), 428);
        for (QWidget *w : {static_cast<QWidget *>(info->Label10), static_cast<QWidget *>(info->Label11),
                           static_cast<QWidget *>(info->Image4), static_cast<QWidget *>(info->Image1)})
            QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
        QTest::mouseClick(info->Label10, Qt::LeftButton);
        QTest::mouseClick(info->Label11, Qt::LeftButton);
        QCOMPARE(env->opened, (QStringList{QStringLiteral("https://tarvo.example.org"), QStringLiteral("mailto:tarvo@example.org")}));
    }

    void shellExec_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("started");
        QTest::newRow("link") << QStringLiteral("https://tarvo.example.org") << QStringLiteral("open") << true;
        QTest::newRow("local file") << QStringLiteral("/archiv/plan:2.dwg") << QStringLiteral("open") << true;
        QTest::newRow("default action") << QStringLiteral("mailto:tarvo@example.org") << QString() << true;
        QTest::newRow("unknown operation") << QStringLiteral("/archiv/plan.dwg") << QStringLiteral("print") << false;
    }
    void shellExec()
    {
        QFETCH(QString, file);
        QFETCH(QString, operation);
        QFETCH(bool, started);
        QCOMPARE(Form2::instance()->ShellExec(file, 1, operation), started);
        QCOMPARE(env->opened, started ? QStringList{file} : QStringList{});
    }

    void doubleClickOnTheBlankSpotOpensTheCipherWindow()
    {
        startWithOneHit();
        Form2 *info = openInfo();
        QTest::mouseClick(info->lbl_Click, Qt::LeftButton);
        QVERIFY(info->isVisible());
        QVERIFY(!frmMain::existing() || !frmMain::existing()->isVisible());
        QTest::mouseDClick(info->lbl_Click, Qt::LeftButton);
        QVERIFY(frmMain::existing() && frmMain::existing()->isVisible());
        flushDeletes();
        QVERIFY(!Form2::existing());
    }

    void copyOptionSurvivesTwoStarts()
    {
        startWithOneHit();
        QTest::mouseClick(openInfo()->Check1, Qt::LeftButton);
        close(form);
        flushDeletes();
        QVERIFY(!Form2::existing());

        form = start(*env, {archive});
        QVERIFY(Form2::existing()->Check1->isChecked());
        QCOMPARE(storedOption(), QStringLiteral("1"));
        QVERIFY(search(form, QStringLiteral("plan")));
        clickHit(form, archive + QStringLiteral("/plan.dwg"));
        QVERIFY(form->Frame1->isVisible());
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
