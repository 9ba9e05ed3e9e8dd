#include "cipherfixture.h"

#include "app/dirlistbox.h"
#include "app/filelist.h"
#include "cipher/core/filecipher.h"
#include "cipher/frm_file.h"
#include "cipher/handoff.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMetaProperty>
#include <QProgressBar>
#include <QPushButton>

#include <memory>

// Where one of the secrets shows in a text that a screen reader, a screenshot or another
// program could read: any string property of any widget, and what its accessibility reports.
static QStringList secretsShown(const QStringList &secrets)
{
    QStringList found;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget *w : widgets) {
        const auto check = [&](const char *what, const QString &text) {
            for (const QString &secret : secrets) {
                if (text.contains(secret))
                    found << QLatin1String(w->metaObject()->className()) + u' ' + w->objectName() + u'.' + QLatin1String(what);
            }
        };
        const QMetaObject *meta = w->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            if (meta->property(i).metaType().id() == QMetaType::QString)
                check(meta->property(i).name(), meta->property(i).read(w).toString());
        }
        for (const QByteArray &name : w->dynamicPropertyNames())
            check(name.constData(), w->property(name.constData()).toString());
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        for (const auto role : {QAccessible::Name, QAccessible::Description, QAccessible::Value, QAccessible::Help})
            check("accessible text", a ? a->text(role) : QString());
        if (QAccessibleTextInterface *text = a ? a->textInterface() : nullptr)
            check("accessible text interface", text->text(0, text->characterCount()));
    }
    return found;
}

// What the user sees of an operation's outcome: both fields, the last decrypted file, the
// status, whether "Datei Anzeigen" shows, and the progress.
static QStringList seen(const frmMain *w)
{
    return {child<QLineEdit>(w, "txtEnc")->text(), child<QLineEdit>(w, "txtDec")->text(), child<QLabel>(w, "lbl_file")->text(),
            child<QLabel>(w, "lblstatus")->text(), QString::number(!child<QPushButton>(w, "cmd_Anz")->isHidden()),
            QString::number(child<QProgressBar>(w, "PBar")->value())};
}

// The cipher window, its password prompt and its file chooser, driven through their own
// widgets. Each test runs in a world of its own, in a start folder where a new chooser opens.
class tst_CipherWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    QString folder;
    QString previousCurrent;

    static frmMain *shownWindow() { frmMain::instance()->show(); return frmMain::instance(); }
    QString encrypt(frmMain *w, const QString &name, const QByteArray &content)
    {
        const QString plain = env->writeFile(name, content);
        runOn(w, false, plain);
        return plain;
    }

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }
    void init()
    {
        env = std::make_unique<TestEnv>();
        folder = env->makeDir(QStringLiteral("pick"));
        for (const char *name : {"a.txt", "b.D0C", "c.d0c", "D.D0c", "plan.D0C.bak", "sub/e.D0C"})
            env->writeFile(QStringLiteral("pick/") + QLatin1String(name), name);
        previousCurrent = QDir::currentPath();
        QDir::setCurrent(folder);
    }
    void cleanup()
    {
        QDir::setCurrent(previousCurrent);
        env.reset();
    }

    // g^e 02, e^i 0C, h^m 05, then the same again: the key "2C52C5" runs on over the file.
    void roundTrip()
    {
        // A second operation asked for while the prompt is open does not start.
        PromptDriver driver({[](frmPass *prompt) {
            frmMain::existing()->Decode();
            PromptDriver::answer(QStringLiteral("geheim"))(prompt);
        }});
        const QByteArray content("Zeichnung 4711\r\n\x01\xff\x80", 19);
        frmMain *w = shownWindow();
        const QString other = env->writeFile(QStringLiteral("other.D0C"), "o");
        child<QLineEdit>(w, "txtDec")->setText(other);
        const QString plain = encrypt(w, QStringLiteral("plaene/Plan.dwg"), content);
        const QString encrypted = plain + QStringLiteral(".D0C");
        QVERIFY(!QFile::exists(plain));
        QCOMPARE(contentOf(other), QByteArray("o"));
        QCOMPARE(contentOf(encrypted), xorWith(content, "2C52C5"));
        QCOMPARE(seen(w), (QStringList{{}, encrypted, {}, QStringLiteral("Datei ist verschlüsselt"), QStringLiteral("0"), QStringLiteral("0")}));
        // The new path is ready in the decrypt field, and the cached key needs no second question.
        QTest::mouseClick(child<ClickLabel>(w, "img_decfile"), Qt::LeftButton);
        QCOMPARE(driver.shown, 1);
        QVERIFY(!QFile::exists(encrypted));
        QCOMPARE(contentOf(plain), content);
        QCOMPARE(seen(w), (QStringList{plain, {}, plain, QStringLiteral("Datei ist entschlüsselt"), QStringLiteral("1"), QStringLiteral("0")}));
        // Started without argument: the result opens only through "Datei Anzeigen".
        QCOMPARE(env->opened, QStringList());
        QTest::mouseClick(child<QPushButton>(w, "cmd_Anz"), Qt::LeftButton);
        QCOMPARE(env->opened, QStringList{plain});
        // EXIT discards the window and its key: the next opening asks again.
        QTest::mouseClick(child<QPushButton>(w, "cmd_exit"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmMain::existing());
        encrypt(shownWindow(), QStringLiteral("again.txt"), "x");
        QCOMPARE(driver.shown, 2);
    }

    // Neither the typed password, nor the string mixed from it, nor the key derived from it is
    // left where a screen reader or another program could read it, while the prompt closes or
    // after the key has served two operations; the window still holds the key for the second.
    void keyNeverInAWidget_data()
    {
        QTest::addColumn<bool>("shownPlain"); // "sichbar" ticked: the field shows its text unmasked
        QTest::addColumn<int>("how");
        QTest::newRow("masked, Enter") << false << int(PromptDriver::Enter);
        QTest::newRow("shown plain, picture") << true << int(PromptDriver::Confirm);
    }
    void keyNeverInAWidget()
    {
        QFETCH(bool, shownPlain);
        QFETCH(int, how);
        const QString password = QStringLiteral("geheim"), key = QStringLiteral("2C52C5");
        const QString mixed = QString::fromLatin1("\x02\x0c\x05\x02\x0c\x05");
        PromptDriver driver;
        driver.script << [&](frmPass *prompt) {
            if (shownPlain)
                QTest::mouseClick(child<QCheckBox>(prompt, "Check1"), Qt::LeftButton);
            const QStringList early = secretsShown({key});
            QVERIFY2(early.isEmpty(), qPrintable(early.join(u' ')));
            PromptDriver::answer(password, PromptDriver::How(how))(prompt);
        };
        QStringList whileClosing{QStringLiteral("prompt never closed")};
        driver.onHide = [&](frmPass *) { whileClosing = secretsShown({password, mixed, key}); };
        frmMain *w = shownWindow();
        const QString plain = encrypt(w, QStringLiteral("plan.dwg"), "inhalt");
        QVERIFY2(whileClosing.isEmpty(), qPrintable(whileClosing.join(u' ')));
        QCOMPARE(contentOf(plain + QStringLiteral(".D0C")), xorWith("inhalt", key.toLatin1()));
        QCOMPARE(w->keyCache(), key);
        QTest::mouseClick(child<ClickLabel>(w, "img_decfile"), Qt::LeftButton);
        QCOMPARE(contentOf(plain), QByteArray("inhalt"));
        QCOMPARE(driver.shown, 1);
        const QStringList after = secretsShown({password, mixed, key});
        QVERIFY2(after.isEmpty(), qPrintable(after.join(u' ')));
    }

    void promptAnswers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("refusal"); // empty: the prompt closes at once
        QTest::addColumn<QByteArray>("keyCodes"); // empty: no key, nothing touched
        const QString secret = QStringLiteral("geheim");
        const int enter = PromptDriver::Enter;
        QTest::newRow("cancel picture") << secret << int(PromptDriver::Cancel) << QString() << QByteArray();
        QTest::newRow("escape") << secret << int(PromptDriver::Escape) << QString() << QByteArray();
        // Two equal characters mix to code 0: no key at all.
        QTest::newRow("password without key") << QStringLiteral("aa") << enter << QString() << QByteArray();
        QTest::newRow("empty, Enter") << QString() << enter << QStringLiteral("Es wurde kein Passwort eingegeben !") << QByteArray("33");
        QTest::newRow("one character, picture") << QStringLiteral("a") << int(PromptDriver::Confirm)
                                                << QStringLiteral("Das Passwort muss mindestens zwei Zeichen haben !") << QByteArray("33");
    }
    void promptAnswers()
    {
        QFETCH(QString, typed);
        QFETCH(int, how);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, keyCodes);
        PromptDriver driver;
        QStringList whileOpen;
        driver.script << [&](frmPass *prompt) {
            PromptDriver::answer(typed, PromptDriver::How(how))(prompt);
            if (!prompt->isVisible())
                return;
            // Refused: the text stays and there is no key yet. Replaced by "ab", it is accepted, and
            // the password does not stay behind in the closed prompt.
            whileOpen << child<QLineEdit>(prompt, "txtPass")->text() << frmMain::instance()->keyCache();
            QTest::keyClick(child<QLineEdit>(prompt, "txtPass"), Qt::Key_A, Qt::ControlModifier);
            PromptDriver::answer(QStringLiteral("ab"), PromptDriver::How(how))(prompt);
            whileOpen << child<QLineEdit>(prompt, "txtPass")->text();
        };
        frmMain *w = shownWindow();
        child<QLineEdit>(w, "txtDec")->setText(env->writeFile(QStringLiteral("earlier.D0C"), "e"));
        child<QLabel>(w, "lblstatus")->setText(QStringLiteral("Datei ist entschlüsselt"));
        child<QPushButton>(w, "cmd_Anz")->show();
        const QString plain = env->writeFile(QStringLiteral("plan.dwg"), "inhalt");
        child<QLineEdit>(w, "txtEnc")->setText(plain);
        const QStringList before = seen(w);
        QTest::mouseClick(child<ClickLabel>(w, "img_file"), Qt::LeftButton);
        QCOMPARE(driver.shown, 1);
        QCOMPARE(env->messageTexts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        QCOMPARE(whileOpen, (refusal.isEmpty() ? QStringList() : QStringList{typed, QString(), QString()}));
        QCOMPARE(contentOf(plain + QStringLiteral(".D0C")), keyCodes.isEmpty() ? QByteArray("<missing>") : xorWith("inhalt", keyCodes));
        if (keyCodes.isEmpty()) {
            QCOMPARE(seen(w), before);
            QCOMPARE(contentOf(plain), QByteArray("inhalt"));
        }
    }

    void sourceAndTargetTrouble_data()
    {
        QTest::addColumn<bool>("decrypt");
        QTest::addColumn<int>("answer"); // to the read-only question; -1: writable, but the target blocked
        for (const bool decrypt : {false, true}) {
            const char *op = decrypt ? "decrypt" : "encrypt";
            QTest::addRow("%s, read-only, yes", op) << decrypt << int(Platform::Answer::Yes);
            QTest::addRow("%s, read-only, no", op) << decrypt << int(Platform::Answer::No);
            QTest::addRow("%s, target blocked", op) << decrypt << -1;
        }
    }
    void sourceAndTargetTrouble()
    {
        QFETCH(bool, decrypt);
        QFETCH(int, answer);
        PromptDriver driver({PromptDriver::answer(QStringLiteral("ab"))});
        const QString source = env->writeFile(decrypt ? QStringLiteral("w/x.D0C") : QStringLiteral("w/x"), "abc");
        const QString target = targetOf(source, decrypt);
        if (answer >= 0) {
            env->answers << Platform::Answer(answer);
            QVERIFY(QFile::setPermissions(source, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else {
            // A folder where the result should go: no file can be renamed over it, not even by root.
            QVERIFY(QDir().mkpath(target));
        }
        frmMain *w = shownWindow();
        fieldOf(w, !decrypt)->setText(QStringLiteral("vorher"));
        child<QLabel>(w, "lblstatus")->setText(QStringLiteral("vorher"));
        QStringList before = seen(w);
        runOn(w, decrypt, source);
        if (answer < 0) {
            // Nothing written, the source intact, no success reported, the fields as they were.
            QCOMPARE(env->messages.size(), 1);
            QCOMPARE(env->messages.at(0).icon, Platform::Icon::Error);
            QVERIFY(env->messages.at(0).text.contains(QDir::toNativeSeparators(target)));
            QCOMPARE(contentOf(source), QByteArray("abc"));
            before[decrypt ? 1 : 0] = source;
            before[3].clear();
            QCOMPARE(seen(w), before);
            QCOMPARE(entriesOf(QFileInfo(source).path()).size(), 2);
            return;
        }
        QCOMPARE(contentOf(target), xorWith("abc", "33"));
        QStringList expected{QStringLiteral("Soll der Schreibschutz der Datei entfernt werden ?")};
        if (answer == int(Platform::Answer::No))
            expected << QStringLiteral("Datei ist schreibgeschützt und kann nicht gelöscht werden");
        QCOMPARE(env->messageTexts(), expected);
        QCOMPARE(env->messages.at(0).buttons, Platform::Buttons::YesNo);
        QCOMPARE(QFile::exists(source), answer == int(Platform::Answer::No));
        // The transformation itself succeeded either way.
        QCOMPARE(child<QLabel>(w, "lblstatus")->text(), decrypt ? QStringLiteral("Datei ist entschlüsselt") : QStringLiteral("Datei ist verschlüsselt"));
    }

    // A decrypt field that names no file opens the chooser, which lists the ".D0C" files of its
    // folder in decrypt mode. A drive that is not available (a share gone away) is refused: the
    // lists stay where they are and the cipher window says so. Encrypting while the chooser shows
    // decrypt mode switches it over, and its "ok" encrypts. An available drive opens its root.
    void chooserModesListsAndDrives()
    {
        PromptDriver driver({PromptDriver::answer(QStringLiteral("ab"))});
        frmMain *w = shownWindow();
        child<QLabel>(w, "lblstatus")->setText(QStringLiteral("vorher"));
        runOn(w, true, QStringLiteral("/no/such/file.D0C"));
        frm_file *chooser = frm_file::existing();
        QVERIFY(chooser && chooser->isVisible());
        const auto hidden = [&]() -> QString { // decrypt frame, encrypt frame
            return QString::number(child<QGroupBox>(chooser, "fme_decode")->isHidden()) + QString::number(child<QGroupBox>(chooser, "fme_encode")->isHidden());
        };
        QCOMPARE(hidden(), QStringLiteral("01"));
        QCOMPARE(driver.shown, 0);
        QCOMPARE(seen(w), (QStringList{{}, QStringLiteral("/no/such/file.D0C"), {}, QStringLiteral("vorher"), QStringLiteral("0"), QStringLiteral("0")}));
        const auto names = [&](const char *list) {
            QStringList all;
            for (const QListWidgetItem *item : child<FileList>(chooser, list)->findItems(QStringLiteral("*"), Qt::MatchWildcard))
                all << item->text();
            return all.join(u' ');
        };
        QCOMPARE(names("File_decode"), QStringLiteral("b.D0C c.d0c D.D0c"));
        QCOMPARE(names("File_encode"), QStringLiteral("a.txt b.D0C c.d0c D.D0c plan.D0C.bak"));

        auto *drives = child<QComboBox>(chooser, "Drive_encode");
        const int shown = drives->currentIndex();
        const QString gone = QDir::toNativeSeparators(env->at(QStringLiteral("gone/")));
        drives->addItem(gone, gone);
        drives->setFocus();
        QTest::keyClick(drives, Qt::Key_End);
        QCOMPARE(child<QLabel>(w, "lblstatus")->text(), QStringLiteral("Laufwerk nicht verfügbar !"));
        QCOMPARE(drives->currentIndex(), shown);
        QCOMPARE(child<DirListBox>(chooser, "Dir_encode")->path(), QDir::toNativeSeparators(folder));

        QTest::mouseClick(child<ClickLabel>(w, "img_file"), Qt::LeftButton);
        QCOMPARE(frm_file::existing(), chooser);
        QCOMPARE(hidden(), QStringLiteral("10"));
        clickItem(child<FileList>(chooser, "File_encode"), QStringLiteral("c.d0c"));
        QTest::mouseClick(child<QPushButton>(chooser, "cmd_okfileencode"), Qt::LeftButton);
        QCOMPARE(contentOf(folder + QStringLiteral("/c.d0c.D0C")), xorWith("c.d0c", "33"));
        QCOMPARE(child<QLabel>(w, "lblstatus")->text(), QStringLiteral("Datei ist verschlüsselt"));
        QCOMPARE(env->messageTexts(), QStringList());

        QTest::mouseClick(child<ClickLabel>(w, "img_file"), Qt::LeftButton); // nothing to encrypt named
        drives = child<QComboBox>(frm_file::existing(), "Drive_encode");
        const int other = otherAvailableDrive(drives);
        if (other < 0)
            QSKIP("no second drive to pick");
        drives->setCurrentIndex(other);
        QCOMPARE(child<DirListBox>(frm_file::existing(), "Dir_encode")->path(), drives->itemData(other).toString());
        QCOMPARE(child<QLabel>(w, "lblstatus")->text(), QStringLiteral("Datei ist verschlüsselt"));
    }

    void pick_data()
    {
        QTest::addColumn<bool>("decrypt");
        QTest::addColumn<QString>("dir");  // relative to the start folder, or absolute
        QTest::addColumn<QString>("name"); // empty: any file that can be read; "-": none; "x": closed
        QTest::newRow("decrypt in subfolder") << true << QStringLiteral("sub") << QStringLiteral("e.D0C");
        QTest::newRow("encrypt in the root") << false << QDir::rootPath() << QString();
        QTest::newRow("nothing selected") << false << QString() << QStringLiteral("-");
        QTest::newRow("chooser closed") << true << QString() << QStringLiteral("x");
    }
    // Only the composed path is looked at: the prompt is cancelled, so nothing is touched.
    void pick()
    {
        QFETCH(bool, decrypt);
        QFETCH(QString, dir);
        QFETCH(QString, name);
        PromptDriver driver;
        frmMain *w = shownWindow();
        runOn(w, decrypt, QString()); // no file named, so the chooser opens
        frm_file *chooser = frm_file::existing();
        QVERIFY(chooser);
        const QDir at(QDir(folder).filePath(dir));
        if (!dir.isEmpty())
            clickItem(child<DirListBox>(chooser, "Dir_encode"), dir, true);
        FileList *list = child<FileList>(chooser, decrypt ? "File_decode" : "File_encode");
        for (int i = 0; i < list->count() && name.isEmpty(); ++i) {
            if (FileCipher::FileAvailable(at.filePath(list->item(i)->text())))
                name = list->item(i)->text();
        }
        if (name.isEmpty())
            QSKIP("no readable file to pick");
        const bool chosen = name != QStringLiteral("-") && name != QStringLiteral("x");
        if (chosen)
            clickItem(list, name);
        if (name == QStringLiteral("x"))
            chooser->close();
        else
            QTest::mouseClick(child<QPushButton>(chooser, decrypt ? "cmd_okfiledecode" : "cmd_okfileencode"), Qt::LeftButton);
        QVERIFY(!frm_file::existing());
        QCOMPARE(driver.shown, int(chosen));
        QCOMPARE(env->messageTexts(), chosen ? QStringList() : QStringList{QStringLiteral("Es wurde keine Datei ausgewählt !")});
        QCOMPARE(chosen ? driver.fieldsSeen.at(decrypt ? 1 : 0) : fieldOf(w, false)->text() + fieldOf(w, true)->text(),
                 chosen ? QDir::toNativeSeparators(at.filePath(name)) : QString());
    }

    void handOff_data()
    {
        QTest::addColumn<QString>("name");     // in the start folder
        QTest::addColumn<QString>("argument"); // empty: the file's full path
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("decrypted");
        QTest::newRow(".D0C") << QStringLiteral("plan.dwg.D0C") << QString() << true << true;
        QTest::newRow(".d0c") << QStringLiteral("plan.dwg.d0c") << QString() << true << false;
        // Relative to the start folder, as a shell or file manager passes it.
        QTest::newRow("relative .D0C") << QStringLiteral("Rel.dwg.D0C") << QStringLiteral("Rel.dwg.D0C") << true << true;
        QTest::newRow("relative with dots") << QStringLiteral("Rel.dwg") << QStringLiteral("./sub/../Rel.dwg") << true << false;
        QTest::newRow("relative, missing") << QStringLiteral("fehlt.D0C") << QStringLiteral("fehlt.D0C") << false << false;
    }
    void handOff()
    {
        QFETCH(QString, name);
        QFETCH(QString, argument);
        QFETCH(bool, exists);
        QFETCH(bool, decrypted);
        const QString path = exists ? env->writeFile(QStringLiteral("pick/") + name, "Zeichnung") : folder + u'/' + name;
        const QString plain = path.chopped(4);
        Platform::setArguments({argument.isEmpty() ? path : argument, QStringLiteral("weiteres")});
        PromptDriver driver({PromptDriver::answer(QStringLiteral("ab"))});
        CommandLineHandOff();
        // The window is created for a file that exists, but stays hidden.
        const frmMain *w = frmMain::existing();
        QCOMPARE(w != nullptr, exists);
        QCOMPARE(driver.shown, decrypted ? 1 : 0);
        QCOMPARE(env->messageTexts(), QStringList());
        if (!w)
            return;
        QVERIFY(!w->isVisible());
        QCOMPARE(contentOf(decrypted ? plain : path), decrypted ? xorWith("Zeichnung", "33") : QByteArray("Zeichnung"));
        QCOMPARE(QFile::exists(path), !decrypted);
        // Started with an argument: the result opens with its program at once, by its full path.
        QCOMPARE(env->opened, decrypted ? QStringList{plain} : QStringList());
        QCOMPARE(seen(w), (QStringList{decrypted ? plain : path, QString(), decrypted ? plain : QString(),
                                       decrypted ? QStringLiteral("Datei ist entschlüsselt") : QString(),
                                       QString::number(decrypted), QStringLiteral("0")}));
    }
};

QTEST_MAIN(tst_CipherWindows)
#include "tst_cipherwindows.moc"
