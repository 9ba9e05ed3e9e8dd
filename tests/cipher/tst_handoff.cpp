#include "tst_frmdriver.h"

#include "cipher/handoff.h"

// A file named on the command line goes to the cipher window, which stays hidden.
class tst_HandOff : public CipherWindowTest
{
    Q_OBJECT

public:
    enum class Outcome { Nothing, Decrypted, ReadyToEncrypt };
    Q_ENUM(Outcome)

private slots:
    void handOff_data();
    void handOff();
    void noArgument();
    void closeAllEndsHiddenWindow();
};

void tst_HandOff::handOff_data()
{
    QTest::addColumn<QString>("file");        // created below the test root; empty: none
    QTest::addColumn<bool>("asFolder");
    QTest::addColumn<QString>("argument");    // %1 stands for the test root
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("plain");       // the decrypted file, below the test root

    QTest::newRow(".D0C") << QStringLiteral("plan.dwg.D0C") << false
                          << QStringLiteral("%1/plan.dwg.D0C") << Outcome::Decrypted
                          << QStringLiteral("plan.dwg");
    QTest::newRow(".d0c") << QStringLiteral("plan.dwg.d0c") << false
                          << QStringLiteral("%1/plan.dwg.d0c") << Outcome::ReadyToEncrypt << QString();
    QTest::newRow("D0C without dot drops four characters")
        << QStringLiteral("abcD0C") << false << QStringLiteral("%1/abcD0C") << Outcome::Decrypted
        << QStringLiteral("ab");
    QTest::newRow("other file") << QStringLiteral("plan.dwg") << false << QStringLiteral("%1/plan.dwg")
                                << Outcome::ReadyToEncrypt << QString();
    QTest::newRow("missing file") << QString() << false << QStringLiteral("%1/fehlt.D0C")
                                  << Outcome::Nothing << QString();
    QTest::newRow("folder named .D0C") << QStringLiteral("ordner.D0C") << true
                                       << QStringLiteral("%1/ordner.D0C") << Outcome::Nothing << QString();
    // The shell removes quotes; quotes that reach the program belong to the name.
    QTest::newRow("quotes kept") << QStringLiteral("plan.dwg.D0C") << false
                                 << QStringLiteral("\"%1/plan.dwg.D0C\"") << Outcome::Nothing << QString();
    QTest::newRow("empty argument") << QString() << false << QString() << Outcome::Nothing << QString();
}

void tst_HandOff::handOff()
{
    QFETCH(QString, file);
    QFETCH(bool, asFolder);
    QFETCH(QString, argument);
    QFETCH(Outcome, outcome);
    QFETCH(QString, plain);

    const QByteArray content("Zeichnung");
    QString path;
    if (!file.isEmpty())
        path = asFolder ? env->makeDir(file) : env->writeFile(file, content);
    const QString arg = argument.contains(QLatin1String("%1")) ? argument.arg(env->root()) : argument;
    Platform::setArguments({arg, QStringLiteral("weiteres")});
    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"));

    CommandLineHandOff();

    frmMain *w = frmMain::existing();
    switch (outcome) {
    case Outcome::Nothing:
        QVERIFY(!w);
        QCOMPARE(driver.shown, 0);
        if (!file.isEmpty() && !asFolder)
            QCOMPARE(readAll(path), content);
        break;
    case Outcome::ReadyToEncrypt:
        QVERIFY(w);
        QVERIFY(!w->isVisible());
        QCOMPARE(w->txtEnc->text(), path);
        QCOMPARE(w->txtDec->text(), QString());
        QCOMPARE(driver.shown, 0);
        QCOMPARE(readAll(path), content);
        break;
    case Outcome::Decrypted: {
        QVERIFY(w);
        QVERIFY(!w->isVisible());
        QCOMPARE(driver.shown, 1);
        const QString plainPath = env->root() + QLatin1Char('/') + plain;
        QCOMPARE(readAll(plainPath), xorWith(content, "33"));
        QVERIFY(!QFile::exists(path));
        // Started with an argument: the result opens with its program at once.
        QCOMPARE(env->opened, QStringList{plainPath});
        QCOMPARE(w->txtEnc->text(), plainPath);
        QCOMPARE(w->txtDec->text(), QString());
        QCOMPARE(w->lblstatus->text(), QStringLiteral("Datei ist entschlüsselt"));
        break;
    }
    }
    QCOMPARE(env->messageTexts(), QStringList());
}

void tst_HandOff::noArgument()
{
    env->writeFile(QStringLiteral("plan.dwg.D0C"), "x");
    Platform::setArguments({});
    PromptDriver driver;
    CommandLineHandOff();
    QVERIFY(!frmMain::existing());
    QCOMPARE(driver.shown, 0);
}

void tst_HandOff::closeAllEndsHiddenWindow()
{
    const QString path = env->writeFile(QStringLiteral("plan.dwg"), "x");
    Platform::setArguments({path});
    CommandLineHandOff();
    QPointer<frmMain> hidden(frmMain::existing());
    QVERIFY(hidden);

    frmMain::closeAll();
    QVERIFY(!frmMain::existing());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(hidden.isNull());
    QCOMPARE(readAll(path), QByteArray("x"));
}

QTEST_MAIN(tst_HandOff)
#include "tst_handoff.moc"
