#include "cipherfixture.h"

#include "app/dirlistbox.h"
#include "app/filelist.h"
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
        for (int i = 0; i < w->metaObject()->propertyCount(); ++i) {
            if (const QMetaProperty p = w->metaObject()->property(i); p.metaType().id() == QMetaType::QString)
                check(p.name(), p.read(w).toString());
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
    QString folder, previousCurrent;

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
        folder = env->makeDir(u"pick"_s);
        for (const char *name : {"a.txt", "b.D0C", "c.d0c", "D.D0c", "plan.D0C.bak", "sub/e.D0C"})
            env->writeFile(u"pick/"_s + QLatin1String(name), name);
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
            PromptDriver::answer(u"geheim"_s)(prompt);
        }});
        const QByteArray content("Zeichnung 4711\r\n\x01\xff\x80", 19);
        frmMain *w = shownWindow();
        const QString other = env->writeFile(u"other.D0C"_s, "o");
        child<QLineEdit>(w, "txtDec")->setText(other);
        const QString plain = encrypt(w, u"plaene/Plan.dwg"_s, content), encrypted = plain + u".D0C"_s;
        QVERIFY(!QFile::exists(plain));
        QCOMPARE(contentOf(other), "o"_ba);
        QCOMPARE(contentOf(encrypted), xorWith(content, "2C52C5"));
        QCOMPARE(seen(w), (QStringList{{}, encrypted, {}, u"Datei ist verschlüsselt"_s, u"0"_s, u"0"_s}));
        // The new path is ready in the decrypt field, and the cached key needs no second question.
        QTest::mouseClick(child<ClickLabel>(w, "img_decfile"), Qt::LeftButton);
        QCOMPARE(driver.shown, 1);
        QVERIFY(!QFile::exists(encrypted));
        QCOMPARE(contentOf(plain), content);
        QCOMPARE(seen(w), (QStringList{plain, {}, plain, u"Datei ist entschlüsselt"_s, u"1"_s, u"0"_s}));
        // Started without argument: the result opens only through "Datei Anzeigen".
        QCOMPARE(env->opened, QStringList());
        QTest::mouseClick(child<QPushButton>(w, "cmd_Anz"), Qt::LeftButton);
        QCOMPARE(env->opened, QStringList{plain});
        // EXIT discards the window and its key: the next opening asks again.
        QTest::mouseClick(child<QPushButton>(w, "cmd_exit"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmMain::existing());
        encrypt(shownWindow(), u"again.txt"_s, "x");
        QCOMPARE(driver.shown, 2);
    }

    // The prompt's answers. Neither the typed password, nor the string mixed from it, nor the key
    // derived from it is left where a screen reader or another program could read it, while the
    // prompt closes or after the key has served two operations.
    void keyNeverInAWidget_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("how");
        QTest::addColumn<bool>("shownPlain"); // "sichbar" ticked: the field shows its text unmasked
        QTest::addColumn<QString>("refusal"); // empty: the prompt closes at once; else "ab" follows
        QTest::addColumn<QByteArray>("keyCodes"); // empty: no key, nothing touched
        const int enter = PromptDriver::Enter, picture = PromptDriver::Confirm;
        QTest::newRow("masked, Enter") << u"geheim"_s << enter << false << QString() << "2C52C5"_ba;
        QTest::newRow("shown plain, picture") << u"geheim"_s << picture << true << QString() << "2C52C5"_ba;
        QTest::newRow("cancel picture") << u"geheim"_s << int(PromptDriver::Cancel) << true << QString() << QByteArray();
        QTest::newRow("escape") << u"geheim"_s << int(PromptDriver::Escape) << false << QString() << QByteArray();
        // Two equal characters mix to code 0: no key at all.
        QTest::newRow("password without key") << u"aa"_s << enter << false << QString() << QByteArray();
        QTest::newRow("empty, Enter") << QString() << enter << false << u"Es wurde kein Passwort eingegeben !"_s << "33"_ba;
        QTest::newRow("one character, picture")
            << u"a"_s << picture << false << u"Das Passwort muss mindestens zwei Zeichen haben !"_s << "33"_ba;
    }
    void keyNeverInAWidget()
    {
        QFETCH(QString, typed);
        QFETCH(int, how);
        QFETCH(bool, shownPlain);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, keyCodes);
        const QStringList secrets = typed.size() < 6 ? QStringList() : QStringList{typed, u"\x02\x0c\x05\x02\x0c\x05"_s, u"2C52C5"_s};
        PromptDriver driver;
        QStringList whileOpen;
        driver.script << [&](frmPass *prompt) {
            if (shownPlain)
                QTest::mouseClick(child<QCheckBox>(prompt, "Check1"), Qt::LeftButton);
            PromptDriver::answer(typed, PromptDriver::How(how))(prompt);
            if (!prompt->isVisible())
                return;
            // Refused: the text stays and there is no key yet. Replaced by "ab", it is accepted, and
            // the password does not stay behind in the closed prompt.
            whileOpen << child<QLineEdit>(prompt, "txtPass")->text() << frmMain::instance()->keyCache();
            QTest::keyClick(child<QLineEdit>(prompt, "txtPass"), Qt::Key_A, Qt::ControlModifier);
            PromptDriver::answer(u"ab"_s, PromptDriver::How(how))(prompt);
            whileOpen << child<QLineEdit>(prompt, "txtPass")->text();
        };
        QStringList whileClosing{u"prompt never closed"_s};
        driver.onHide = [&](frmPass *) { whileClosing = secretsShown(secrets); };
        frmMain *w = shownWindow();
        child<QLineEdit>(w, "txtDec")->setText(env->writeFile(u"earlier.D0C"_s, "e"));
        child<QLabel>(w, "lblstatus")->setText(u"Datei ist entschlüsselt"_s);
        child<QPushButton>(w, "cmd_Anz")->show();
        const QString plain = env->writeFile(u"plan.dwg"_s, "inhalt");
        child<QLineEdit>(w, "txtEnc")->setText(plain);
        const QStringList before = seen(w);
        QTest::mouseClick(child<ClickLabel>(w, "img_file"), Qt::LeftButton);
        QCOMPARE(driver.shown, 1);
        QVERIFY2(whileClosing.isEmpty(), qPrintable(whileClosing.join(u' ')));
        QCOMPARE(env->messageTexts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        QCOMPARE(whileOpen, (refusal.isEmpty() ? QStringList() : QStringList{typed, QString(), QString()}));
        QCOMPARE(contentOf(plain + u".D0C"_s), keyCodes.isEmpty() ? "<missing>"_ba : xorWith("inhalt", keyCodes));
        if (keyCodes.isEmpty()) {
            QCOMPARE(seen(w), before);
            QCOMPARE(contentOf(plain), "inhalt"_ba);
            return;
        }
        QCOMPARE(w->keyCache(), QString::fromLatin1(keyCodes));
        QTest::mouseClick(child<ClickLabel>(w, "img_decfile"), Qt::LeftButton);
        QCOMPARE(contentOf(plain), "inhalt"_ba);
        QCOMPARE(driver.shown, 1);
        const QStringList after = secretsShown(secrets);
        QVERIFY2(after.isEmpty(), qPrintable(after.join(u' ')));
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
        PromptDriver driver({PromptDriver::answer(u"ab"_s)});
        const QString source = env->writeFile(decrypt ? u"w/x.D0C"_s : u"w/x"_s, "abc"), target = targetOf(source, decrypt);
        if (answer >= 0) {
            env->answers << Platform::Answer(answer);
            QVERIFY(QFile::setPermissions(source, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else { // a folder where the result should go: no file can be renamed over it, not even by root
            QVERIFY(QDir().mkpath(target));
        }
        frmMain *w = shownWindow();
        fieldOf(w, !decrypt)->setText(u"vorher"_s);
        child<QLabel>(w, "lblstatus")->setText(u"vorher"_s);
        QStringList before = seen(w);
        runOn(w, decrypt, source);
        if (answer < 0) {
            // Nothing written, the source intact, no success reported, the fields as they were.
            QCOMPARE(env->messages.size(), 1);
            QCOMPARE(env->messages.at(0).icon, Platform::Icon::Error);
            QVERIFY(env->messages.at(0).text.contains(QDir::toNativeSeparators(target)));
            QCOMPARE(contentOf(source), "abc"_ba);
            before[decrypt ? 1 : 0] = source;
            before[3].clear();
            QCOMPARE(seen(w), before);
            QCOMPARE(entriesOf(QFileInfo(source).path()).size(), 2);
            return;
        }
        QCOMPARE(contentOf(target), xorWith("abc", "33"));
        QStringList expected{u"Soll der Schreibschutz der Datei entfernt werden ?"_s};
        if (answer == int(Platform::Answer::No))
            expected << u"Datei ist schreibgeschützt und kann nicht gelöscht werden"_s;
        QCOMPARE(env->messageTexts(), expected);
        QCOMPARE(env->messages.at(0).buttons, Platform::Buttons::YesNo);
        QCOMPARE(QFile::exists(source), answer == int(Platform::Answer::No));
        // The transformation itself succeeded either way.
        QCOMPARE(child<QLabel>(w, "lblstatus")->text(), decrypt ? u"Datei ist entschlüsselt"_s : u"Datei ist verschlüsselt"_s);
    }

    // A decrypt field that names no file opens the chooser, which lists the ".D0C" files of its
    // folder in decrypt mode. A drive that is not available (a share gone away) is refused: the
    // lists stay where they are and the cipher window says so. Encrypting while the chooser shows
    // decrypt mode switches it over, and its "ok" encrypts. "ok" without a file picked says so; a
    // file picked in a subfolder is decrypted. An available drive opens its root.
    void chooserModesListsAndDrives()
    {
        PromptDriver driver({PromptDriver::answer(u"ab"_s)});
        frmMain *w = shownWindow();
        const auto status = [w] { return child<QLabel>(w, "lblstatus")->text(); };
        child<QLabel>(w, "lblstatus")->setText(u"vorher"_s);
        runOn(w, true, u"/no/such/file.D0C"_s);
        frm_file *chooser = frm_file::existing();
        QVERIFY(chooser && chooser->isVisible());
        const auto hidden = [&]() -> QString { // decrypt frame, encrypt frame
            return QString::number(child<QGroupBox>(chooser, "fme_decode")->isHidden()) + QString::number(child<QGroupBox>(chooser, "fme_encode")->isHidden());
        };
        QCOMPARE(hidden(), u"01"_s);
        QCOMPARE(driver.shown, 0);
        QCOMPARE(seen(w), (QStringList{{}, u"/no/such/file.D0C"_s, {}, u"vorher"_s, u"0"_s, u"0"_s}));
        const auto names = [&](const char *list) {
            QStringList all;
            for (const QListWidgetItem *item : child<FileList>(chooser, list)->findItems(u"*"_s, Qt::MatchWildcard))
                all << item->text();
            return all.join(u' ');
        };
        QCOMPARE(names("File_decode"), u"b.D0C c.d0c D.D0c"_s);
        QCOMPARE(names("File_encode"), u"a.txt b.D0C c.d0c D.D0c plan.D0C.bak"_s);

        auto *drives = child<QComboBox>(chooser, "Drive_encode");
        const int shown = drives->currentIndex();
        const QString gone = QDir::toNativeSeparators(env->at(u"gone/"_s));
        drives->addItem(gone, gone);
        drives->setFocus();
        QTest::keyClick(drives, Qt::Key_End);
        QCOMPARE(status(), u"Laufwerk nicht verfügbar !"_s);
        QCOMPARE(drives->currentIndex(), shown);
        QCOMPARE(child<DirListBox>(chooser, "Dir_encode")->path(), QDir::toNativeSeparators(folder));

        QTest::mouseClick(child<ClickLabel>(w, "img_file"), Qt::LeftButton);
        QCOMPARE(frm_file::existing(), chooser);
        QCOMPARE(hidden(), u"10"_s);
        clickItem(child<FileList>(chooser, "File_encode"), u"c.d0c"_s);
        QTest::mouseClick(child<QPushButton>(chooser, "cmd_okfileencode"), Qt::LeftButton);
        QVERIFY(!frm_file::existing());
        QCOMPARE(contentOf(folder + u"/c.d0c.D0C"_s), xorWith("c.d0c", "33"));
        QCOMPARE(status(), u"Datei ist verschlüsselt"_s);
        QCOMPARE(env->messageTexts(), QStringList());

        runOn(w, true, QString());
        QTest::mouseClick(child<QPushButton>(frm_file::existing(), "cmd_okfiledecode"), Qt::LeftButton);
        QCOMPARE(env->messageTexts(), QStringList{u"Es wurde keine Datei ausgewählt !"_s});
        runOn(w, true, QString());
        clickItem(child<DirListBox>(frm_file::existing(), "Dir_encode"), u"sub"_s, true);
        clickItem(child<FileList>(frm_file::existing(), "File_decode"), u"e.D0C"_s);
        QTest::mouseClick(child<QPushButton>(frm_file::existing(), "cmd_okfiledecode"), Qt::LeftButton);
        QCOMPARE(contentOf(folder + u"/sub/e"_s), xorWith("sub/e.D0C", "33"));
        QCOMPARE(status(), u"Datei ist entschlüsselt"_s);

        runOn(w, false, QString());
        drives = child<QComboBox>(frm_file::existing(), "Drive_encode");
        const int other = otherAvailableDrive(drives);
        if (other < 0)
            QSKIP("no second drive to pick");
        drives->setCurrentIndex(other);
        QCOMPARE(child<DirListBox>(frm_file::existing(), "Dir_encode")->path(), drives->itemData(other).toString());
        QCOMPARE(status(), u"Datei ist entschlüsselt"_s);
    }

    void handOff_data()
    {
        QTest::addColumn<QString>("name");     // in the start folder
        QTest::addColumn<QString>("argument"); // empty: the file's full path
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("decrypted");
        QTest::newRow(".D0C") << u"plan.dwg.D0C"_s << QString() << true << true;
        QTest::newRow(".d0c") << u"plan.dwg.d0c"_s << QString() << true << false;
        // Relative to the start folder, as a shell or file manager passes it.
        QTest::newRow("relative .D0C") << u"Rel.dwg.D0C"_s << u"Rel.dwg.D0C"_s << true << true;
        QTest::newRow("relative with dots") << u"Rel.dwg"_s << u"./sub/../Rel.dwg"_s << true << false;
        QTest::newRow("relative, missing") << u"fehlt.D0C"_s << u"fehlt.D0C"_s << false << false;
    }
    void handOff()
    {
        QFETCH(QString, name);
        QFETCH(QString, argument);
        QFETCH(bool, exists);
        QFETCH(bool, decrypted);
        const QString path = exists ? env->writeFile(u"pick/"_s + name, "Zeichnung") : folder + u'/' + name, plain = path.chopped(4);
        Platform::setArguments({argument.isEmpty() ? path : argument, u"weiteres"_s});
        PromptDriver driver({PromptDriver::answer(u"ab"_s)});
        CommandLineHandOff();
        // The window is created for a file that exists, but stays hidden.
        const frmMain *w = frmMain::existing();
        QCOMPARE(w != nullptr, exists);
        QCOMPARE(driver.shown, decrypted ? 1 : 0);
        QCOMPARE(env->messageTexts(), QStringList());
        if (!w)
            return;
        QVERIFY(!w->isVisible());
        QCOMPARE(contentOf(decrypted ? plain : path), decrypted ? xorWith("Zeichnung", "33") : "Zeichnung"_ba);
        QCOMPARE(QFile::exists(path), !decrypted);
        // Started with an argument: the result opens with its program at once, by its full path.
        QCOMPARE(env->opened, decrypted ? QStringList{plain} : QStringList());
        QCOMPARE(seen(w), (QStringList{decrypted ? plain : path, {}, decrypted ? plain : QString(),
                                       decrypted ? u"Datei ist entschlüsselt"_s : QString(), QString::number(decrypted), u"0"_s}));
    }
};

QTEST_MAIN(tst_CipherWindows)
#include "tst_cipherwindows.moc"
