#include "tst_frmdriver.h"

#include <QLabel>
#include <QStyle>

// The password prompt shown modally, answered through its own widgets. Every action ends by
// closing the prompt; what it saw on the way is recorded and checked afterwards.
class tst_frmPass : public CipherWindowTest
{
    Q_OBJECT

private slots:
    void layout();
    void storesDerivedKey_data();
    void storesDerivedKey();
    void emptyPasswordRefused();
    void oneCharacterRefused();
    void cancelStoresEmptyKey_data();
    void cancelStoresEmptyKey();
    void sichbarTogglesMask();

private:
    // Shows the prompt for the cipher window with one scripted answer; returns the cache.
    QString ask(const PromptDriver::Action &action)
    {
        PromptDriver driver;
        driver.script << action;
        frmPass::ask(frmMain::instance());
        if (driver.shown != 1)
            qWarning("prompt shown %d times", driver.shown);
        return frmMain::instance()->lblPwCache->text();
    }
};

void tst_frmPass::layout()
{
    QString title;
    QSize size;
    bool frameless = false;
    bool focusOnPassword = false;
    QStringList texts;
    QColor background;
    ask([&](frmPass *prompt) {
        title = prompt->windowTitle();
        size = prompt->size();
        frameless = prompt->windowFlags().testFlag(Qt::FramelessWindowHint);
        focusOnPassword = prompt->focusWidget() == prompt->txtPass;
        texts << prompt->lbl_passlook->text() << prompt->Check1->text()
              << prompt->img_do->toolTip() << prompt->img_exit->toolTip();
        background = prompt->palette().color(QPalette::Window);
        QTest::mouseClick(prompt->img_exit, Qt::LeftButton);
    });
    QCOMPARE(title, QStringLiteral("password"));
    QCOMPARE(size, QSize(282, 62));
    QVERIFY(frameless);
    QVERIFY(focusOnPassword);
    QCOMPARE(texts, (QStringList{QStringLiteral("password:"), QStringLiteral("sichbar"),
                                 QStringLiteral("Action"), QStringLiteral("EXIT")}));
    QCOMPARE(background, QColor(192, 192, 192));
}

void tst_frmPass::storesDerivedKey_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("byPicture");
    QTest::addColumn<QString>("key");

    // Worked out by hand from the Windows-1252 codes.
    QTest::newRow("two different, Enter") << QStringLiteral("ab") << false << QStringLiteral("33");
    QTest::newRow("two different, picture") << QStringLiteral("ab") << true << QStringLiteral("33");
    QTest::newRow("two equal") << QStringLiteral("aa") << false << QString();
    QTest::newRow("two digits per code") << QStringLiteral("aQ") << false << QStringLiteral("3030");
    QTest::newRow("code 0 in the middle") << QStringLiteral("aba") << false << QStringLiteral("33");
    QTest::newRow("mixing string lengthened") << QStringLiteral("abcde") << true << QStringLiteral("57261");
    QTest::newRow("even length") << QStringLiteral("geheim") << false << QStringLiteral("2C52C5");
    QTest::newRow("euro sign") << QStringLiteral("€a") << true << QStringLiteral("E1E1");
}

void tst_frmPass::storesDerivedKey()
{
    QFETCH(QString, password);
    QFETCH(bool, byPicture);
    QFETCH(QString, key);

    QString leftInField = QStringLiteral("<not seen>");
    const QString cache = ask([&](frmPass *prompt) {
        typeInto(prompt->txtPass, password);
        if (byPicture)
            QTest::mouseClick(prompt->img_do, Qt::LeftButton);
        else
            QTest::keyClick(prompt->txtPass, Qt::Key_Return);
        leftInField = prompt->txtPass->text();
    });
    QCOMPARE(cache, key);
    QCOMPARE(env->messageTexts(), QStringList());
    // The password does not stay behind in the closed prompt.
    QCOMPARE(leftInField, QString());
}

void tst_frmPass::emptyPasswordRefused()
{
    QList<bool> openAfterRefusal;
    const QString cache = ask([&](frmPass *prompt) {
        QTest::mouseClick(prompt->img_do, Qt::LeftButton);
        openAfterRefusal << prompt->isVisible();
        QTest::keyClick(prompt->txtPass, Qt::Key_Return);
        openAfterRefusal << prompt->isVisible();
        typeInto(prompt->txtPass, QStringLiteral("ab"));
        QTest::keyClick(prompt->txtPass, Qt::Key_Return);
    });
    QCOMPARE(openAfterRefusal, (QList<bool>{true, true}));
    QCOMPARE(env->messageTexts(), (QStringList{QStringLiteral("Es wurde kein Passwort eingegeben !"),
                                               QStringLiteral("Es wurde kein Passwort eingegeben !")}));
    QCOMPARE(env->messages.at(0).buttons, Platform::Buttons::Ok);
    QCOMPARE(cache, QStringLiteral("33"));
}

void tst_frmPass::oneCharacterRefused()
{
    QList<bool> openAfterRefusal;
    QStringList cacheWhileOpen;
    const QString cache = ask([&](frmPass *prompt) {
        typeInto(prompt->txtPass, QStringLiteral("x"));
        QTest::keyClick(prompt->txtPass, Qt::Key_Return);
        openAfterRefusal << prompt->isVisible();
        QTest::mouseClick(prompt->img_do, Qt::LeftButton);
        openAfterRefusal << prompt->isVisible();
        cacheWhileOpen << frmMain::instance()->lblPwCache->text() << prompt->txtPass->text();
        typeInto(prompt->txtPass, QStringLiteral("y"));
        QTest::keyClick(prompt->txtPass, Qt::Key_Return);
    });
    QCOMPARE(openAfterRefusal, (QList<bool>{true, true}));
    QCOMPARE(cacheWhileOpen, (QStringList{QString(), QStringLiteral("x")}));
    const QString refusal = QStringLiteral("Das Passwort muss mindestens zwei Zeichen haben !");
    QCOMPARE(env->messageTexts(), (QStringList{refusal, refusal}));
    // "xy": 78 ^ 79 = 01, twice.
    QCOMPARE(cache, QStringLiteral("11"));
}

void tst_frmPass::cancelStoresEmptyKey_data()
{
    QTest::addColumn<PromptDriver::Action>("answer");
    QTest::newRow("cancel picture") << PromptDriver::cancel(QStringLiteral("geheim"));
    QTest::newRow("escape") << PromptDriver::Action([](frmPass *prompt) {
        typeInto(prompt->txtPass, QStringLiteral("geheim"));
        QTest::keyClick(prompt->txtPass, Qt::Key_Escape);
    });
    QTest::newRow("closed by the program") << PromptDriver::Action([](frmPass *prompt) {
        typeInto(prompt->txtPass, QStringLiteral("geheim"));
        prompt->close();
    });
}

void tst_frmPass::cancelStoresEmptyKey()
{
    QFETCH(PromptDriver::Action, answer);
    frmMain::instance()->lblPwCache->setText(QStringLiteral("ABC"));
    QCOMPARE(ask(answer), QString());
    QCOMPARE(env->messageTexts(), QStringList());
}

void tst_frmPass::sichbarTogglesMask()
{
    QList<QLineEdit::EchoMode> modes;
    QStringList texts;
    int maskCharacter = 0;
    ask([&](frmPass *prompt) {
        typeInto(prompt->txtPass, QStringLiteral("ab"));
        maskCharacter = prompt->txtPass->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter,
                                                            nullptr, prompt->txtPass);
        modes << prompt->txtPass->echoMode();
        for (int i = 0; i < 2; ++i) {
            QTest::mouseClick(prompt->Check1, Qt::LeftButton);
            modes << prompt->txtPass->echoMode();
            texts << prompt->txtPass->text();
        }
        QTest::mouseClick(prompt->img_exit, Qt::LeftButton);
    });
    QCOMPARE(maskCharacter, int('*'));
    QCOMPARE(modes, (QList<QLineEdit::EchoMode>{QLineEdit::Password, QLineEdit::Normal,
                                               QLineEdit::Password}));
    QCOMPARE(texts, (QStringList{QStringLiteral("ab"), QStringLiteral("ab")}));
}

QTEST_MAIN(tst_frmPass)
#include "tst_frmpass.moc"
