#include "search/hitsfixture.h"

#include "cipher/frmmain.h"

#include <QCheckBox>

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

    // Without a search-path file one is created, said, and opened in the editor; where none can
    // be, that is said as an error.
    void searchPathFileMissing_data()
    {
        QTest::addColumn<bool>("creatable");
        QTest::newRow("created") << true;
        QTest::newRow("program folder below a file") << false;
    }
    void searchPathFileMissing()
    {
        QFETCH(bool, creatable);
        const QString folder = creatable ? env->programFolder() : env->writeFile(QStringLiteral("blocker"), "x") + QStringLiteral("/program");
        env->useProgramFolder(folder); // a folder below a plain file can never be created, not even by root
        form = Form1::instance();
        QVERIFY(form->searchPaths().isEmpty() && env->messages.size() == 1);
        QVERIFY(env->messageTexts().first().startsWith(creatable ? QStringLiteral("Bitte zunächst die Suchpfade eingeben ! Anschließend muß das Programm neu gestartet werden !") : QStringLiteral("Die Datei "))
                && env->messages.first().icon == (creatable ? Platform::Icon::None : Platform::Icon::Error));
        QCOMPARE(env->opened, creatable ? QStringList{folder + QStringLiteral("/suchpfad.txt")} : QStringList());
        QCOMPARE(QFile::exists(folder + QStringLiteral("/suchpfad.txt")), creatable);
    }

    // The start loads the info window hidden and sets the copy option; the copy frame waits for
    // the first click on a hit. Each change of the option is stored at once, the frame follows.
    // Delete and move, once on, stay while the window is closed and loaded again by a click on a
    // hit. Closing it rereads the search paths; a double-click on the cipher spot opens the cipher.
    void optionsAndClosing_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("way");
        QTest::newRow("first start, ok button") << QStringLiteral("none") << QStringLiteral("ok");
        QTest::newRow("1 stored, close box") << QStringLiteral("1") << QStringLiteral("close box");
        QTest::newRow("0 stored, double-click on the cipher spot") << QStringLiteral("0") << QStringLiteral("double-click");
    }
    void optionsAndClosing()
    {
        QFETCH(QString, stored);
        QFETCH(QString, way);
        const bool on = stored == QStringLiteral("1");
        if (stored != QStringLiteral("none"))
            Settings::write(QStringLiteral("Check1.Value"), stored);
        startWith({QStringLiteral("plan.dwg")});
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible() && child<QCheckBox>(Form2::existing(), "Check1")->isChecked() == on);
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
        // Line ends CR LF or LF, the last one optional; blank lines and blanks are kept.
        const QString added = env->makeDir(QStringLiteral("added"));
        env->writeFile(QStringLiteral("program/suchpfad.txt"), archive.toUtf8() + "\r\n" + added.toUtf8() + "\n\n  /Pl\xc3\xa4ne ");
        click(info, "lbl_Click");
        QVERIFY(info->isVisible() && form->searchPaths() == QStringList{archive});
        if (way == QStringLiteral("ok"))
            click(info, "cmd_exit");
        else if (way == QStringLiteral("close box"))
            info->close();
        else
            QTest::mouseDClick(child(info, "lbl_Click"), Qt::LeftButton);
        QCOMPARE(frmMain::existing() && frmMain::existing()->isVisible(), way == QStringLiteral("double-click"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Form2::existing());
        QCOMPARE(form->searchPaths(), (QStringList{archive, added, QString(), QStringLiteral("  /Pläne ")}));
        archive = added;
        env->writeFile(QStringLiteral("added/4711.dwg"));
        QVERIFY(SearchFixture::search(form, QStringLiteral("4711")));
        QCOMPARE(SearchFixture::hits(form), QStringList{hit(QStringLiteral("4711.dwg"))});
        click({QStringLiteral("4711.dwg")});
        QVERIFY(Form2::existing() && !Form2::existing()->isVisible() && child<QCheckBox>(Form2::existing(), "Check1")->isChecked() == on);
        QVERIFY(frame()->isVisible() == on && shows("Command5") && shows("cmd_move"));
        QVERIFY(child(openInfo(), "Command1")->isVisible());
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
