#include "tst_frmdriver.h"

#include "textcipher/frm_txtkrypt.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using Platform::Answer;
using Platform::Buttons;
using Platform::Icon;

// The cipher window driven through its pictures and buttons, with the password prompt
// answered through its own widgets.
class tst_frmMain : public CipherWindowTest
{
    Q_OBJECT

private slots:
    void layout();
    void roundTrip_data();
    void roundTrip();
    void promptOncePerOpening();
    void noKeyTouchesNothing_data();
    void noKeyTouchesNothing();
    void readOnlySource_data();
    void readOnlySource();
    void failedWriteKeepsSource_data();
    void failedWriteKeepsSource();
    void progressIsBounded();
    void noSecondOperationWhileOneRuns();
    void emptyFieldOpensChooser();
    void startedWithArgumentOpensDecrypted();
    void exitDiscardsWindowAndKey();
    void cryptATextOpensTextCipher();

private:
    // Writes a file with the given content and runs Encode on it through the window.
    QString encryptThroughWindow(frmMain *w, const QString &name, const QByteArray &content);
};

QString tst_frmMain::encryptThroughWindow(frmMain *w, const QString &name, const QByteArray &content)
{
    const QString plain = env->writeFile(name, content);
    w->txtEnc->setText(plain);
    QTest::mouseClick(w->img_file, Qt::LeftButton);
    return plain;
}

void tst_frmMain::layout()
{
    frmMain *w = shownCipherWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("D0C"));
    QCOMPARE(w->size(), QSize(475, 182));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QCOMPARE(w->fmeEncode->title(), QStringLiteral("verschlüsseln"));
    QCOMPARE(w->fmeDecode->title(), QStringLiteral("entschlüsseln"));
    QCOMPARE(w->img_file->toolTip(), QStringLiteral("Datei verschlüsseln"));
    QCOMPARE(w->img_decfile->toolTip(), QStringLiteral("Datei entschlüsseln"));
    QCOMPARE(w->cmd_txtKrypt->text(), QStringLiteral("crypt a text"));
    QCOMPARE(w->cmd_Anz->text(), QStringLiteral("Datei Anzeigen"));
    QCOMPARE(w->cmd_exit->text(), QStringLiteral("EXIT"));
    QVERIFY(w->txtEnc->isReadOnly());
    QVERIFY(w->txtDec->isReadOnly());
    QVERIFY(w->cmd_Anz->isHidden());
    QVERIFY(w->lblPwCache->isHidden());
    QCOMPARE(w->PBar->minimum(), 0);
    QCOMPARE(w->PBar->maximum(), 1000);
    QCOMPARE(w->PBar->value(), 0);
    QCOMPARE(w->txtEnc->geometry(), QRect(8, 80, 201, 19));
    QCOMPARE(w->PBar->geometry(), QRect(4, 124, 441, 17));
    QCOMPARE(w->findChild<QLineEdit *>(QStringLiteral("txtEnc")), w->txtEnc);
    QVERIFY(w->lblstatus->text().isEmpty());
    QVERIFY(w->lblPwCache->text().isEmpty());
}

void tst_frmMain::roundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("keyCodes");
    QTest::addColumn<QByteArray>("content");

    // "ab": 'a' ^ 'b' = 03 twice. "geheim": g^e 02, e^i 0C, h^m 05, then the same again.
    QTest::newRow("empty file") << QStringLiteral("ab") << QByteArray("33") << QByteArray();
    QTest::newRow("one byte") << QStringLiteral("ab") << QByteArray("33") << QByteArray(1, '\0');
    QTest::newRow("text") << QStringLiteral("geheim") << QByteArray("2C52C5")
                          << QByteArray("Zeichnung 4711, Blatt 2\r\n");
    // Windows-1252: 'ä' is E4, E4 ^ 62 = 86.
    QTest::newRow("umlaut password") << QStringLiteral("äb") << QByteArray("8686")
                                     << QByteArray("\x01\xff\x80 abc", 7);
}

void tst_frmMain::roundTrip()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, keyCodes);
    QFETCH(QByteArray, content);

    frmMain *w = shownCipherWindow();
    PromptDriver driver;
    driver.script << PromptDriver::enter(password);

    const QString plain = encryptThroughWindow(w, QStringLiteral("plaene/Plan.dwg"), content);
    const QString encrypted = plain + QStringLiteral(".D0C");
    QCOMPARE(driver.shown, 1);
    QCOMPARE(w->lblPwCache->text(), QString::fromLatin1(keyCodes));
    QVERIFY(!QFile::exists(plain));
    QCOMPARE(readAll(encrypted), xorWith(content, keyCodes));
    QCOMPARE(w->txtEnc->text(), QString());
    QCOMPARE(w->txtDec->text(), encrypted);
    QCOMPARE(w->lbl_file->text(), QString());
    QCOMPARE(w->lblstatus->text(), QStringLiteral("Datei ist verschlüsselt"));
    QVERIFY(w->cmd_Anz->isHidden());
    QCOMPARE(w->PBar->value(), 0);

    // The new ".D0C" path is ready in the decrypt field; the cached key needs no question.
    QTest::mouseClick(w->img_decfile, Qt::LeftButton);
    QCOMPARE(driver.shown, 1);
    QVERIFY(!QFile::exists(encrypted));
    QCOMPARE(readAll(plain), content);
    QCOMPARE(w->txtEnc->text(), plain);
    QCOMPARE(w->txtDec->text(), QString());
    QCOMPARE(w->lbl_file->text(), plain);
    QCOMPARE(w->lblstatus->text(), QStringLiteral("Datei ist entschlüsselt"));
    QVERIFY(!w->cmd_Anz->isHidden());
    QCOMPARE(w->PBar->value(), 0);
    QCOMPARE(env->messageTexts(), QStringList());
    QCOMPARE(env->opened, QStringList());

    // Started without argument: the user opens the result with "Datei Anzeigen".
    QTest::mouseClick(w->cmd_Anz, Qt::LeftButton);
    QCOMPARE(env->opened, QStringList{plain});
}

void tst_frmMain::promptOncePerOpening()
{
    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"))
                  << PromptDriver::enter(QStringLiteral("geheim"));
    const QByteArray content("Stückliste");

    frmMain *w = shownCipherWindow();
    const QString first = encryptThroughWindow(w, QStringLiteral("one.txt"), content);
    const QString second = encryptThroughWindow(w, QStringLiteral("two.txt"), content);
    QCOMPARE(driver.shown, 1);
    QCOMPARE(readAll(second + QStringLiteral(".D0C")), xorWith(content, "33"));

    QTest::mouseClick(w->cmd_exit, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frmMain::existing());

    w = shownCipherWindow();
    QVERIFY(w->lblPwCache->text().isEmpty());
    const QString third = encryptThroughWindow(w, QStringLiteral("three.txt"), content);
    QCOMPARE(driver.shown, 2);
    QCOMPARE(readAll(third + QStringLiteral(".D0C")), xorWith(content, "2C52C5"));
    QCOMPARE(readAll(first + QStringLiteral(".D0C")), xorWith(content, "33"));
}

void tst_frmMain::noKeyTouchesNothing_data()
{
    QTest::addColumn<PromptDriver::Action>("answer");
    QTest::newRow("cancel picture after typing") << PromptDriver::cancel(QStringLiteral("geheim"));
    QTest::newRow("escape after typing") << PromptDriver::Action([](frmPass *prompt) {
        typeInto(prompt->txtPass, QStringLiteral("geheim"));
        QTest::keyClick(prompt->txtPass, Qt::Key_Escape);
    });
    // Two equal characters mix to code 0: no key at all.
    QTest::newRow("password without key") << PromptDriver::enter(QStringLiteral("aa"));
}

void tst_frmMain::noKeyTouchesNothing()
{
    QFETCH(PromptDriver::Action, answer);
    PromptDriver driver;
    driver.script << answer;

    frmMain *w = shownCipherWindow();
    const QString earlier = env->writeFile(QStringLiteral("earlier.D0C"), "e");
    w->txtDec->setText(earlier);
    w->lblstatus->setText(QStringLiteral("Datei ist entschlüsselt"));
    const QString plain = encryptThroughWindow(w, QStringLiteral("plan.dwg"), "inhalt");

    QCOMPARE(driver.shown, 1);
    QCOMPARE(w->lblPwCache->text(), QString());
    QCOMPARE(readAll(plain), QByteArray("inhalt"));
    QVERIFY(!QFile::exists(plain + QStringLiteral(".D0C")));
    QCOMPARE(w->txtEnc->text(), plain);
    QCOMPARE(w->txtDec->text(), earlier);
    QCOMPARE(w->lblstatus->text(), QStringLiteral("Datei ist entschlüsselt"));
    QVERIFY(w->cmd_Anz->isHidden());
    QCOMPARE(env->messageTexts(), QStringList());
}

void tst_frmMain::readOnlySource_data()
{
    QTest::addColumn<bool>("decrypt");
    QTest::addColumn<bool>("removeProtection");
    QTest::newRow("encrypt, yes") << false << true;
    QTest::newRow("encrypt, no") << false << false;
    QTest::newRow("decrypt, yes") << true << true;
    QTest::newRow("decrypt, no") << true << false;
}

void tst_frmMain::readOnlySource()
{
    QFETCH(bool, decrypt);
    QFETCH(bool, removeProtection);
    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"));
    env->answers << (removeProtection ? Answer::Yes : Answer::No);

    const QByteArray content("Blatt 1 von 3");
    const QString source = env->writeFile(decrypt ? QStringLiteral("x.dwg.D0C") : QStringLiteral("x.dwg"),
                                          content);
    const QString target = decrypt ? source.chopped(4) : source + QStringLiteral(".D0C");
    QVERIFY(QFile::setPermissions(source, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    frmMain *w = shownCipherWindow();
    (decrypt ? w->txtDec : w->txtEnc)->setText(source);
    QTest::mouseClick(decrypt ? w->img_decfile : w->img_file, Qt::LeftButton);

    QCOMPARE(readAll(target), xorWith(content, "33"));
    QVERIFY(env->messages.size() >= 1);
    QCOMPARE(env->messages.at(0).text, QStringLiteral("Soll der Schreibschutz der Datei entfernt werden ?"));
    QCOMPARE(env->messages.at(0).buttons, Buttons::YesNo);
    if (removeProtection) {
        QCOMPARE(env->messages.size(), 1);
        QVERIFY(!QFile::exists(source));
    } else {
        QCOMPARE(env->messageTexts(),
                 (QStringList{QStringLiteral("Soll der Schreibschutz der Datei entfernt werden ?"),
                              QStringLiteral("Datei ist schreibgeschützt und kann nicht gelöscht werden")}));
        QCOMPARE(env->messages.at(1).buttons, Buttons::Ok);
        QCOMPARE(readAll(source), content);
    }
    // The transformation itself succeeded either way.
    QCOMPARE(w->lblstatus->text(), decrypt ? QStringLiteral("Datei ist entschlüsselt")
                                           : QStringLiteral("Datei ist verschlüsselt"));
}

void tst_frmMain::failedWriteKeepsSource_data()
{
    QTest::addColumn<bool>("decrypt");
    QTest::newRow("encrypt") << false;
    QTest::newRow("decrypt") << true;
}

void tst_frmMain::failedWriteKeepsSource()
{
    QFETCH(bool, decrypt);
    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"));

    // A folder where the result should go: no file can be renamed over it, not even by root.
    const QByteArray content("nicht verlieren");
    const QString source = env->writeFile(decrypt ? QStringLiteral("w/x.dwg.D0C") : QStringLiteral("w/x.dwg"),
                                          content);
    const QString target = decrypt ? source.chopped(4) : source + QStringLiteral(".D0C");
    QVERIFY(QDir().mkpath(target));
    const QString earlier = env->writeFile(QStringLiteral("earlier.txt"), "e");

    frmMain *w = shownCipherWindow();
    QLineEdit *sourceField = decrypt ? w->txtDec : w->txtEnc;
    QLineEdit *targetField = decrypt ? w->txtEnc : w->txtDec;
    sourceField->setText(source);
    targetField->setText(earlier);
    w->lblstatus->setText(decrypt ? QStringLiteral("Datei ist entschlüsselt")
                                  : QStringLiteral("Datei ist verschlüsselt"));
    QTest::mouseClick(decrypt ? w->img_decfile : w->img_file, Qt::LeftButton);

    QCOMPARE(env->messages.size(), 1);
    QCOMPARE(env->messages.at(0).icon, Icon::Error);
    QVERIFY2(env->messages.at(0).text.contains(QDir::toNativeSeparators(target)),
             qPrintable(env->messages.at(0).text));
    QCOMPARE(readAll(source), content);
    QCOMPARE(sourceField->text(), source);
    QCOMPARE(targetField->text(), earlier);
    QVERIFY2(!w->lblstatus->text().startsWith(QStringLiteral("Datei ist")),
             qPrintable(w->lblstatus->text()));
    QVERIFY(w->cmd_Anz->isHidden());
    QCOMPARE(w->PBar->value(), 0);
    // No half-written file beside them.
    QCOMPARE(QDir(env->root() + QStringLiteral("/w")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 2);

    // The program goes on: with the obstacle gone the same field works.
    QVERIFY(QDir(target).removeRecursively());
    QTest::mouseClick(decrypt ? w->img_decfile : w->img_file, Qt::LeftButton);
    QCOMPARE(readAll(target), xorWith(content, "33"));
    QVERIFY(!QFile::exists(source));
}

void tst_frmMain::progressIsBounded()
{
    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"));
    frmMain *w = shownCipherWindow();
    QList<int> values;
    connect(w->PBar, &QProgressBar::valueChanged, this, [&values](int v) { values << v; });

    encryptThroughWindow(w, QStringLiteral("gross.bin"), QByteArray(5 * 1024 * 1024, 'x'));

    QVERIFY(values.size() >= 2);
    QVERIFY(values.size() <= 1001);
    QCOMPARE(values.last(), 0);
    for (qsizetype i = 0; i + 1 < values.size(); ++i) {
        QVERIFY(values.at(i) >= 1 && values.at(i) <= 999);
        if (i > 0)
            QVERIFY(values.at(i) > values.at(i - 1));
    }
}

void tst_frmMain::noSecondOperationWhileOneRuns()
{
    PromptDriver driver;
    driver.script << [](frmPass *prompt) {
        frmMain::existing()->Decode();
        PromptDriver::enter(QStringLiteral("ab"))(prompt);
    };
    frmMain *w = shownCipherWindow();
    const QString other = env->writeFile(QStringLiteral("other.D0C"), "o");
    w->txtDec->setText(other);

    const QString plain = encryptThroughWindow(w, QStringLiteral("plan.dwg"), "p");
    QCOMPARE(driver.shown, 1);
    QCOMPARE(readAll(other), QByteArray("o"));
    QCOMPARE(readAll(plain + QStringLiteral(".D0C")), xorWith("p", "33"));
}

void tst_frmMain::emptyFieldOpensChooser()
{
    PromptDriver driver;
    frmMain *w = shownCipherWindow();
    w->txtDec->setText(QStringLiteral("/no/such/file.D0C"));
    w->lblstatus->setText(QStringLiteral("vorher"));

    QTest::mouseClick(w->img_file, Qt::LeftButton);
    frm_file *chooser = frm_file::existing();
    QVERIFY(chooser && chooser->isVisible());
    QVERIFY(!chooser->fme_encode->isHidden());
    QVERIFY(chooser->fme_decode->isHidden());

    // A decrypt field naming no file switches the open chooser over.
    QTest::mouseClick(w->img_decfile, Qt::LeftButton);
    QCOMPARE(frm_file::existing(), chooser);
    QVERIFY(chooser->fme_encode->isHidden());
    QVERIFY(!chooser->fme_decode->isHidden());

    QCOMPARE(driver.shown, 0);
    QCOMPARE(w->txtDec->text(), QStringLiteral("/no/such/file.D0C"));
    QCOMPARE(w->lblstatus->text(), QStringLiteral("vorher"));
    QCOMPARE(env->messageTexts(), QStringList());
}

void tst_frmMain::startedWithArgumentOpensDecrypted()
{
    Platform::setArguments({QStringLiteral("irgendwas")});
    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"));
    const QString encrypted = env->writeFile(QStringLiteral("doc.pdf.D0C"), xorWith("%PDF", "33"));
    const QString plain = encrypted.chopped(4);

    frmMain *w = shownCipherWindow();
    w->txtDec->setText(encrypted);
    QTest::mouseClick(w->img_decfile, Qt::LeftButton);

    QCOMPARE(readAll(plain), QByteArray("%PDF"));
    QCOMPARE(env->opened, QStringList{plain});
    QCOMPARE(w->txtEnc->text(), plain);
    QCOMPARE(w->lbl_file->text(), plain);
}

void tst_frmMain::exitDiscardsWindowAndKey()
{
    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"));
    frmMain *w = shownCipherWindow();
    encryptThroughWindow(w, QStringLiteral("a.txt"), "a");
    QCOMPARE(w->lblPwCache->text(), QStringLiteral("33"));
    QPointer<frmMain> old(w);

    QTest::mouseClick(w->cmd_exit, Qt::LeftButton);
    QVERIFY(!frmMain::existing());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(old.isNull());
    QVERIFY(frmMain::instance() != nullptr);
    QVERIFY(frmMain::instance()->lblPwCache->text().isEmpty());
    QVERIFY(!frmMain::instance()->isVisible());
}

void tst_frmMain::cryptATextOpensTextCipher()
{
    frmMain *w = shownCipherWindow();
    QTest::mouseClick(w->cmd_txtKrypt, Qt::LeftButton);
    QPointer<frm_txtkrypt> text(frm_txtkrypt::existing());
    QVERIFY(text);
    QVERIFY(text->isVisible());
    QVERIFY(w->isVisible());
    text->close();
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
