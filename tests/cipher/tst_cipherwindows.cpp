#include "cipherfixture.h"

#include "app/dirlistbox.h"
#include "app/filelist.h"
#include "cipher/frm_file.h"
#include "cipher/handoff.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMetaProperty>
#include <QProgressBar>

#include <memory>

// Widgets where one of the secrets shows in a text that a screen reader, a screenshot or another
// program could read: any property (accessible names and descriptions among them), dynamic ones too.
static QStringList secretsShown(const QStringList &secrets)
{
    QStringList found;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget *w : widgets) {
        QStringList texts;
        for (int i = 0; i < w->metaObject()->propertyCount(); ++i)
            texts << w->metaObject()->property(i).read(w).toString();
        for (const QByteArray &name : w->dynamicPropertyNames())
            texts << w->property(name.constData()).toString();
        for (const QString &secret : secrets) {
            if (texts.join(u'\n').contains(secret))
                found << QLatin1String(w->metaObject()->className()) + u' ' + w->objectName();
        }
    }
    return found;
}

// An answer to the password prompt: typed, then Enter, Escape or a picture, with the password
// shown unmasked or not; the refusal it meets (then "ab" follows), and the key it gives.
struct Answer { QString typed; int how; bool shownPlain; QString refusal; const char *key; };
Q_DECLARE_METATYPE(Answer)
// A file in the start folder handed over as the argument (none: by its full path).
struct HandOff { QString name, argument; bool exists, decrypted; };
Q_DECLARE_METATYPE(HandOff)

// What the user sees of an operation's outcome: both fields, the last decrypted file, the
// status, whether "Datei Anzeigen" shows, and the progress.
static QStringList seen(const frmMain *w)
{
    return {fieldOf(w, false)->text(), fieldOf(w, true)->text(), child<QLabel>(w, "lbl_file")->text(), child<QLabel>(w, "lblstatus")->text(),
            QString::number(!child<QPushButton>(w, "cmd_Anz")->isHidden()), QString::number(child<QProgressBar>(w, "PBar")->value())};
}

// The cipher window, its password prompt and its file chooser. Each test runs in a world of its
// own, in a start folder where a new chooser opens.
class tst_CipherWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    QString folder, previousCurrent;

    static frmMain *shownWindow() { frmMain::instance()->show(); return frmMain::instance(); }
    static void click(QWidget *target) { QTest::mouseClick(target, Qt::LeftButton); }

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

    // The prompt's answers, and the key's life: it serves the window's operations, and EXIT discards
    // it; a second operation asked for while the prompt is open does not start. Neither password, nor
    // the string mixed from it, nor the key is left where a screen reader or another program reads it.
    void keyNeverInAWidget_data()
    {
        QTest::addColumn<Answer>("a");
        const int enter = PromptDriver::Enter, picture = PromptDriver::Confirm;
        // g^e 02, e^i 0C, h^m 05, then the same again.
        QTest::newRow("masked, Enter") << Answer{u"geheim"_s, enter, false, {}, "2C52C5"};
        QTest::newRow("shown plain, picture") << Answer{u"geheim"_s, picture, true, {}, "2C52C5"};
        QTest::newRow("cancel picture") << Answer{u"geheim"_s, PromptDriver::Cancel, true, {}, ""};
        QTest::newRow("escape") << Answer{u"geheim"_s, PromptDriver::Escape, false, {}, ""};
        QTest::newRow("password without key") << Answer{u"aa"_s, enter, false, {}, ""}; // mixes to code 0
        QTest::newRow("empty, Enter") << Answer{{}, enter, false, u"Es wurde kein Passwort eingegeben !"_s, "33"};
        QTest::newRow("one character, picture") << Answer{u"a"_s, picture, false, u"Das Passwort muss mindestens zwei Zeichen haben !"_s, "33"};
    }
    void keyNeverInAWidget()
    {
        QFETCH(Answer, a);
        const QStringList secrets{u"geheim"_s, u"\x02\x0c\x05\x02\x0c\x05"_s, u"2C52C5"_s};
        PromptDriver driver;
        QStringList whileOpen, left{u"prompt never closed"_s};
        driver.script << [&](frmPass *prompt) {
            frmMain::existing()->Decode();
            if (a.shownPlain)
                click(child<QCheckBox>(prompt, "Check1"));
            PromptDriver::answer(a.typed, PromptDriver::How(a.how))(prompt);
            if (prompt->isVisible()) {
                // Refused: the text stays and there is no key yet. Replaced by "ab", it is accepted, and
                // the password does not stay behind in the closed prompt.
                whileOpen << child<QLineEdit>(prompt, "txtPass")->text() << frmMain::instance()->keyCache();
                QTest::keyClick(child<QLineEdit>(prompt, "txtPass"), Qt::Key_A, Qt::ControlModifier);
                PromptDriver::answer(u"ab"_s, PromptDriver::How(a.how))(prompt);
                whileOpen << child<QLineEdit>(prompt, "txtPass")->text();
            }
            left = secretsShown(secrets);
        };
        const QByteArray content("Zeichnung 4711\r\n\x01\xff\x80", 19);
        const QString earlier = env->writeFile(u"earlier.D0C"_s, "e"), plain = env->writeFile(u"plaene/Plan.dwg"_s, content);
        frmMain *w = shownWindow();
        fieldOf(w, true)->setText(earlier);
        fieldOf(w, false)->setText(plain);
        const QStringList before = seen(w);
        click(child<ClickLabel>(w, "img_file"));
        QCOMPARE(driver.shown, 1);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
        QCOMPARE(env->messageTexts(), a.refusal.isEmpty() ? QStringList() : QStringList{a.refusal});
        QCOMPARE(whileOpen, (a.refusal.isEmpty() ? QStringList() : QStringList{a.typed, QString(), QString()}));
        QCOMPARE(contentOf(earlier), "e"_ba);
        const QString encrypted = plain + u".D0C"_s;
        QCOMPARE(contentOf(encrypted), *a.key ? xorWith(content, a.key) : "<missing>"_ba);
        if (!*a.key) {
            QCOMPARE(seen(w), before);
            QCOMPARE(contentOf(plain), content);
            return;
        }
        QCOMPARE(seen(w), (QStringList{{}, encrypted, {}, u"Datei ist verschlüsselt"_s, u"0"_s, u"0"_s}));
        // The new path waits in the decrypt field, and the cached key needs no second question.
        click(child<ClickLabel>(w, "img_decfile"));
        QCOMPARE(contentOf(plain), content);
        QCOMPARE(seen(w), (QStringList{plain, {}, plain, u"Datei ist entschlüsselt"_s, u"1"_s, u"0"_s}));
        QCOMPARE(env->opened, QStringList()); // started without argument: opened only through "Datei Anzeigen"
        left = secretsShown(secrets);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
        click(child<QPushButton>(w, "cmd_exit"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmMain::existing());
        runOn(shownWindow(), false, plain);
        QCOMPARE(driver.shown, 2);
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
        const QString source = env->writeFile(decrypt ? u"w/x.D0C"_s : u"w/x"_s, "abc"), target = (decrypt ? source.chopped(4) : source + u".D0C"_s);
        if (answer >= 0) {
            env->answers << Platform::Answer(answer);
            QVERIFY(QFile::setPermissions(source, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else { // a folder where the result should go: no file can be renamed over it, not even by root
            QVERIFY(QDir().mkpath(target));
        }
        frmMain *w = shownWindow();
        fieldOf(w, !decrypt)->setText(u"vorher"_s);
        child<QLabel>(w, "lblstatus")->setText(u"vorher"_s);
        runOn(w, decrypt, source);
        // Blocked: nothing written, the source intact, no success reported, the other field as it was.
        // Read-only: done, and the source removed only when the user lets the write protection go.
        QStringList said{u"Soll der Schreibschutz der Datei entfernt werden ?"_s, u"Datei ist schreibgeschützt und kann nicht gelöscht werden"_s};
        said = answer < 0 ? QStringList{u"Die Datei kann nicht angelegt werden:\n"_s + target + u"\nDie Ausgangsdatei bleibt unverändert."_s}
                          : said.mid(0, answer == int(Platform::Answer::No) ? 2 : 1);
        QCOMPARE(env->messageTexts(), said);
        QCOMPARE(env->messages.at(0).icon, answer < 0 ? Platform::Icon::Error : Platform::Icon::None);
        QCOMPARE(contentOf(source), answer == int(Platform::Answer::Yes) ? "<missing>"_ba : "abc"_ba);
        QCOMPARE(contentOf(target), answer < 0 ? "<missing>"_ba : xorWith("abc", "33"));
        QCOMPARE(child<QLabel>(w, "lblstatus")->text(), answer < 0 ? QString() : decrypt ? u"Datei ist entschlüsselt"_s : u"Datei ist verschlüsselt"_s);
        QCOMPARE(fieldOf(w, !decrypt)->text(), answer < 0 ? u"vorher"_s : target);
        QCOMPARE(entriesOf(QFileInfo(source).path()).size(), answer == int(Platform::Answer::Yes) ? 1 : 2);
    }

    // A decrypt field that names no file opens the chooser in decrypt mode, listing the ".D0C" files.
    // A drive that is not available (a share gone away) is refused: the lists stay, the cipher window
    // says so. Encrypting while the chooser shows switches it over, and its "ok" encrypts.
    void chooserModesListsAndDrives()
    {
        PromptDriver driver({PromptDriver::answer(u"ab"_s)});
        frmMain *w = shownWindow();
        const auto status = [w] { return child<QLabel>(w, "lblstatus")->text(); };
        runOn(w, true, u"/no/such/file.D0C"_s);
        frm_file *chooser = frm_file::existing();
        QVERIFY(chooser && chooser->isVisible());
        const auto frames = [&] { // which of the decrypt and the encrypt frame shows
            return QList<bool>{child<QGroupBox>(chooser, "fme_decode")->isVisible(), child<QGroupBox>(chooser, "fme_encode")->isVisible()};
        };
        QCOMPARE(frames(), (QList<bool>{true, false}));
        QCOMPARE(driver.shown, 0);
        for (const char *list : {"File_decode", "File_encode"}) {
            QStringList names;
            for (const QListWidgetItem *item : child<FileList>(chooser, list)->findItems(u"*"_s, Qt::MatchWildcard))
                names << item->text();
            QCOMPARE(names.join(u' '), list[5] == 'd' ? u"b.D0C c.d0c D.D0c"_s : u"a.txt b.D0C c.d0c D.D0c plan.D0C.bak"_s);
        }
        auto *drives = child<QComboBox>(chooser, "Drive_encode");
        const int shown = drives->currentIndex();
        drives->addItem(env->at(u"gone/"_s), env->at(u"gone/"_s));
        drives->setFocus();
        QTest::keyClick(drives, Qt::Key_End);
        QCOMPARE(status(), u"Laufwerk nicht verfügbar !"_s);
        QCOMPARE(drives->currentIndex(), shown);
        QCOMPARE(child<DirListBox>(chooser, "Dir_encode")->path(), QDir::toNativeSeparators(folder));
        click(child<ClickLabel>(w, "img_file"));
        QCOMPARE(frm_file::existing(), chooser);
        QCOMPARE(frames(), (QList<bool>{false, true}));
        // A keyboard user tabs into the list: the file marked then is what "ok" takes.
        QApplication::setActiveWindow(chooser);
        child<FileList>(chooser, "File_encode")->setFocus(Qt::TabFocusReason);
        click(child<QPushButton>(chooser, "cmd_okfileencode"));
        QVERIFY(!frm_file::existing());
        QCOMPARE(contentOf(folder + u"/a.txt.D0C"_s), xorWith("a.txt", "33"));
        QCOMPARE(status(), u"Datei ist verschlüsselt"_s);
        QCOMPARE(env->messageTexts(), QStringList());
    }

    void handOff_data()
    {
        QTest::addColumn<HandOff>("h");
        QTest::newRow(".D0C") << HandOff{u"plan.dwg.D0C"_s, {}, true, true};
        QTest::newRow(".d0c") << HandOff{u"plan.dwg.d0c"_s, {}, true, false};
        // Relative to the start folder, as a shell or file manager passes it.
        QTest::newRow("relative .D0C") << HandOff{u"Rel.dwg.D0C"_s, u"Rel.dwg.D0C"_s, true, true};
        QTest::newRow("relative with dots") << HandOff{u"Rel.dwg"_s, u"./sub/../Rel.dwg"_s, true, false};
        QTest::newRow("relative, missing") << HandOff{u"fehlt.D0C"_s, u"fehlt.D0C"_s, false, false};
    }
    // Started with an argument: the cipher window is made for a file that exists but stays hidden;
    // a ".D0C" file is decrypted and its result opened with its program at once, by its full path.
    void handOff()
    {
        QFETCH(HandOff, h);
        const QString path = h.exists ? env->writeFile(u"pick/"_s + h.name, "Zeichnung") : folder + u'/' + h.name, plain = path.chopped(4);
        Platform::setArguments({h.argument.isEmpty() ? path : h.argument, u"weiteres"_s});
        PromptDriver driver({PromptDriver::answer(u"ab"_s)});
        CommandLineHandOff();
        const frmMain *w = frmMain::existing();
        QCOMPARE(w != nullptr, h.exists);
        QCOMPARE(driver.shown, int(h.decrypted));
        QCOMPARE(env->messageTexts(), QStringList());
        if (!w)
            return;
        QVERIFY(!w->isVisible());
        QCOMPARE(contentOf(h.decrypted ? plain : path), h.decrypted ? xorWith("Zeichnung", "33") : "Zeichnung"_ba);
        QCOMPARE(QFile::exists(path), !h.decrypted);
        QCOMPARE(env->opened, h.decrypted ? QStringList{plain} : QStringList());
        const QString shown = h.decrypted ? plain : QString(), status = h.decrypted ? u"Datei ist entschlüsselt"_s : QString();
        QCOMPARE(seen(w), (QStringList{h.decrypted ? plain : path, {}, shown, status, QString::number(h.decrypted), u"0"_s}));
    }
};

QTEST_MAIN(tst_CipherWindows)
#include "tst_cipherwindows.moc"
