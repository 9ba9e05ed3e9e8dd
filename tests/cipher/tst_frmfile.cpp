#include "tst_frmdriver.h"

#include "cipher/filecipher.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStorageInfo>

// The file chooser driven through its lists and buttons. Each test starts in a folder of its
// own, since a new chooser opens at the process's current folder.
class tst_frmFile : public CipherWindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout();
    void lists_data();
    void lists();
    void pick_data();
    void pick();
    void pickInFileSystemRoot();
    void nothingSelected_data();
    void nothingSelected();
    void closedWithoutChoice();
    void switchesToRequestedMode();
    void driveChange();
    void driveNotAvailable();

private:
    // Shows the chooser the way the cipher window does when its field names no file.
    frm_file *openChooser(bool decrypt);
    static void doubleClickFolder(frm_file *chooser, const QString &name);
    static void clickFile(FileList *list, const QString &name);
    QStringList names(const QListWidget *list) const;

    QString folder;
    QString previousCurrent;
};

void tst_frmFile::init()
{
    CipherWindowTest::init();
    folder = env->makeDir(QStringLiteral("pick"));
    env->writeFile(QStringLiteral("pick/a.txt"), "a");
    env->writeFile(QStringLiteral("pick/b.D0C"), "b");
    env->writeFile(QStringLiteral("pick/c.d0c"), "c");
    env->writeFile(QStringLiteral("pick/D.D0c"), "d");
    env->writeFile(QStringLiteral("pick/plan.D0C.bak"), "p");
    env->writeFile(QStringLiteral("pick/sub/e.D0C"), xorWith("inhalt", "33"));
    env->writeFile(QStringLiteral("pick/sub/f.txt"), "f");
    env->makeDir(QStringLiteral("pick/sub/tiefer"));
    previousCurrent = QDir::currentPath();
    QDir::setCurrent(folder);
}

void tst_frmFile::cleanup()
{
    CipherWindowTest::cleanup();
    QDir::setCurrent(previousCurrent);
}

frm_file *tst_frmFile::openChooser(bool decrypt)
{
    frmMain *w = shownCipherWindow();
    QTest::mouseClick(decrypt ? w->img_decfile : w->img_file, Qt::LeftButton);
    frm_file *chooser = frm_file::existing();
    if (chooser && !QTest::qWaitForWindowExposed(chooser))
        qWarning("chooser not exposed");
    return chooser;
}

void tst_frmFile::doubleClickFolder(frm_file *chooser, const QString &name)
{
    QListWidgetItem *item = nullptr;
    for (int i = 0; i < chooser->Dir_encode->count() && !item; ++i) {
        if (chooser->Dir_encode->item(i)->text().trimmed() == name)
            item = chooser->Dir_encode->item(i);
    }
    QVERIFY2(item, qPrintable(name));
    const QPoint at = chooser->Dir_encode->visualItemRect(item).center();
    // As a real double-click arrives: press and release, then the double-click and release.
    QWidget *viewport = chooser->Dir_encode->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

void tst_frmFile::clickFile(FileList *list, const QString &name)
{
    QListWidgetItem *item = list->itemForName(name);
    QVERIFY2(item, qPrintable(name));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

QStringList tst_frmFile::names(const QListWidget *list) const
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

void tst_frmFile::layout()
{
    frm_file *chooser = openChooser(true);
    QVERIFY(chooser);
    QCOMPARE(chooser->windowTitle(), QStringLiteral("Datei"));
    QCOMPARE(chooser->size(), QSize(314, 216));
    QCOMPARE(chooser->minimumSize(), chooser->maximumSize());
    QCOMPARE(chooser->fme_decode->title(), QStringLiteral("Datei zum Entschlüsseln"));
    QCOMPARE(chooser->fme_encode->title(), QStringLiteral("Datei zum Verschlüsseln"));
    QCOMPARE(chooser->cmd_okfiledecode->text(), QStringLiteral("ok"));
    QCOMPARE(chooser->cmd_okfileencode->text(), QStringLiteral("ok"));
    QCOMPARE(chooser->fme_decode->geometry(), chooser->fme_encode->geometry());
    QCOMPARE(chooser->File_decode->palette().color(QPalette::Base), QColor(255, 224, 192));
    QCOMPARE(chooser->Dir_encode->path(), QDir::toNativeSeparators(folder));
    QCOMPARE(chooser->Drive_encode->currentData().toString(), QStorageInfo(folder).rootPath());
    QVERIFY(chooser->lbl_file->text().isEmpty());
}

void tst_frmFile::lists_data()
{
    QTest::addColumn<QString>("subfolder");
    QTest::addColumn<QStringList>("decryptList");
    QTest::addColumn<QStringList>("encryptList");
    const QStringList all{QStringLiteral("a.txt"), QStringLiteral("b.D0C"), QStringLiteral("c.d0c"),
                          QStringLiteral("D.D0c"), QStringLiteral("plan.D0C.bak")};
    QTest::newRow("start folder")
        << QString()
        << QStringList{QStringLiteral("b.D0C"), QStringLiteral("c.d0c"), QStringLiteral("D.D0c")}
        << all;
    QTest::newRow("subfolder") << QStringLiteral("sub") << QStringList{QStringLiteral("e.D0C")}
                               << QStringList{QStringLiteral("e.D0C"), QStringLiteral("f.txt")};
}

void tst_frmFile::lists()
{
    QFETCH(QString, subfolder);
    QFETCH(QStringList, decryptList);
    QFETCH(QStringList, encryptList);

    frm_file *chooser = openChooser(true);
    QVERIFY(chooser);
    if (!subfolder.isEmpty()) {
        doubleClickFolder(chooser, subfolder);
        QCOMPARE(chooser->Dir_encode->path(), QDir::toNativeSeparators(folder + QLatin1Char('/') + subfolder));
    }
    QCOMPARE(names(chooser->File_decode), decryptList);
    QCOMPARE(names(chooser->File_encode), encryptList);
}

void tst_frmFile::pick_data()
{
    QTest::addColumn<bool>("decrypt");
    QTest::addColumn<QString>("subfolder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("result");
    QTest::newRow("decrypt in subfolder") << true << QStringLiteral("sub") << QStringLiteral("e.D0C")
                                          << QStringLiteral("sub/e");
    QTest::newRow("encrypt in start folder") << false << QString() << QStringLiteral("a.txt")
                                             << QStringLiteral("a.txt.D0C");
    QTest::newRow("encrypt a .D0C file") << false << QString() << QStringLiteral("b.D0C")
                                         << QStringLiteral("b.D0C.D0C");
}

void tst_frmFile::pick()
{
    QFETCH(bool, decrypt);
    QFETCH(QString, subfolder);
    QFETCH(QString, name);
    QFETCH(QString, result);

    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"));
    frm_file *chooser = openChooser(decrypt);
    QVERIFY(chooser);
    QString dir = folder;
    if (!subfolder.isEmpty()) {
        dir += QLatin1Char('/') + subfolder;
        doubleClickFolder(chooser, subfolder);
    }
    const QString picked = dir + QLatin1Char('/') + name;
    const QByteArray before = readAll(picked);
    clickFile(decrypt ? chooser->File_decode : chooser->File_encode, name);
    QTest::mouseClick(decrypt ? chooser->cmd_okfiledecode : chooser->cmd_okfileencode, Qt::LeftButton);

    QCOMPARE(driver.shown, 1);
    // While the prompt was open the field held the picked file's full path.
    QCOMPARE(driver.fieldsSeen.at(decrypt ? 1 : 0), QDir::toNativeSeparators(picked));
    QVERIFY(!QFile::exists(picked));
    QCOMPARE(readAll(folder + QLatin1Char('/') + result), xorWith(before, "33"));
    QVERIFY(!frm_file::existing());
    QCOMPARE(env->messageTexts(), QStringList());
    QCOMPARE(frmMain::existing()->lblstatus->text(),
             decrypt ? QStringLiteral("Datei ist entschlüsselt") : QStringLiteral("Datei ist verschlüsselt"));
}

void tst_frmFile::pickInFileSystemRoot()
{
    // Only the composed path is looked at: the prompt is cancelled, so nothing is touched.
    PromptDriver driver;
    driver.script << PromptDriver::cancel();
    frm_file *chooser = openChooser(false);
    QVERIFY(chooser);
    const QString root = QDir::rootPath();
    doubleClickFolder(chooser, root);
    QCOMPARE(chooser->Dir_encode->path(), QDir::toNativeSeparators(root));
    QString name;
    for (const QString &candidate : names(chooser->File_encode)) {
        if (FileCipher::FileAvailable(root + candidate)) {
            name = candidate;
            break;
        }
    }
    if (name.isEmpty())
        QSKIP("no readable file in the root folder to pick");
    const QByteArray before = readAll(root + name);
    clickFile(chooser->File_encode, name);
    QTest::mouseClick(chooser->cmd_okfileencode, Qt::LeftButton);

    QCOMPARE(driver.shown, 1);
    QCOMPARE(driver.fieldsSeen.at(0), QDir::toNativeSeparators(root + name));
    QCOMPARE(readAll(root + name), before);
    QVERIFY(!QFile::exists(root + name + QStringLiteral(".D0C")));
}

void tst_frmFile::nothingSelected_data()
{
    QTest::addColumn<bool>("decrypt");
    QTest::newRow("decrypt") << true;
    QTest::newRow("encrypt") << false;
}

void tst_frmFile::nothingSelected()
{
    QFETCH(bool, decrypt);
    PromptDriver driver;
    frm_file *chooser = openChooser(decrypt);
    QVERIFY(chooser);
    QTest::mouseClick(decrypt ? chooser->cmd_okfiledecode : chooser->cmd_okfileencode, Qt::LeftButton);

    QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Es wurde keine Datei ausgewählt !")});
    QCOMPARE(env->messages.at(0).buttons, Platform::Buttons::Ok);
    QVERIFY(!frm_file::existing());
    QCOMPARE(driver.shown, 0);
    frmMain *w = frmMain::existing();
    QCOMPARE((decrypt ? w->txtDec : w->txtEnc)->text(), QString());
}

void tst_frmFile::closedWithoutChoice()
{
    frm_file *chooser = openChooser(true);
    QVERIFY(chooser);
    chooser->close();
    QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Es wurde keine Datei ausgewählt !")});
    QVERIFY(!frm_file::existing());
}

void tst_frmFile::switchesToRequestedMode()
{
    PromptDriver driver;
    driver.script << PromptDriver::enter(QStringLiteral("ab"));
    frm_file *chooser = openChooser(true);
    QVERIFY(chooser);
    QVERIFY(!chooser->fme_decode->isHidden());
    QVERIFY(chooser->fme_encode->isHidden());

    frmMain *w = frmMain::existing();
    QTest::mouseClick(w->img_file, Qt::LeftButton);
    QCOMPARE(frm_file::existing(), chooser);
    QVERIFY(chooser->fme_decode->isHidden());
    QVERIFY(!chooser->fme_encode->isHidden());

    // The visible "ok" now encrypts.
    clickFile(chooser->File_encode, QStringLiteral("c.d0c"));
    QTest::mouseClick(chooser->cmd_okfileencode, Qt::LeftButton);
    QCOMPARE(readAll(folder + QStringLiteral("/c.d0c.D0C")), xorWith("c", "33"));
}

void tst_frmFile::driveChange()
{
    frm_file *chooser = openChooser(false);
    QVERIFY(chooser);
    // A volume of our own, so that no real mount is listed.
    const QString volume = env->makeDir(QStringLiteral("volume"));
    env->writeFile(QStringLiteral("volume/x.D0C"), "x");
    chooser->Drive_encode->addItem(volume, volume);
    QTest::keyClick(chooser->Drive_encode, Qt::Key_End);

    QCOMPARE(chooser->Drive_encode->currentData().toString(), volume);
    QCOMPARE(chooser->Dir_encode->path(), QDir::toNativeSeparators(volume));
    QCOMPARE(chooser->File_encode->path(), QDir::toNativeSeparators(volume));
    QCOMPARE(names(chooser->File_decode), QStringList{QStringLiteral("x.D0C")});
    QCOMPARE(env->messageTexts(), QStringList());
}

void tst_frmFile::driveNotAvailable()
{
    frm_file *chooser = openChooser(false);
    QVERIFY(chooser);
    const int before = chooser->Drive_encode->currentIndex();
    const QString gone = env->root() + QStringLiteral("/ausgehaengt");
    chooser->Drive_encode->addItem(gone, gone);
    QTest::keyClick(chooser->Drive_encode, Qt::Key_End);

    QCOMPARE(frmMain::existing()->lblstatus->text(), QStringLiteral("Laufwerk nicht verfügbar !"));
    QCOMPARE(chooser->Drive_encode->currentIndex(), before);
    QCOMPARE(chooser->Dir_encode->path(), QDir::toNativeSeparators(folder));
    QCOMPARE(names(chooser->File_decode),
             (QStringList{QStringLiteral("b.D0C"), QStringLiteral("c.d0c"), QStringLiteral("D.D0c")}));
    QVERIFY(chooser->isVisible());
}

QTEST_MAIN(tst_frmFile)
#include "tst_frmfile.moc"
