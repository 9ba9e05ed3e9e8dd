// What the search window does with its hits: details and opening, the notes panel, and copy,
// move and delete with the directory chooser.
#include "hitsfixture.h"

#include "app/clicklabel.h"
#include "app/dirlistbox.h"
#include "search/core/hitfileops.h"

#include <QLocale>
#include <QPlainTextEdit>
#include <QScopeGuard>

#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

static QStringList files(const QString &blankSeparated)
{
    return blankSeparated.split(u' ', Qt::SkipEmptyParts);
}
static const QDateTime stamp(QDate(2006, 2, 21), QTime(14, 32, 10));

static void stampFile(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(stamp, QFileDevice::FileModificationTime));
}

// Whether every byte of the file has its place on the disk, rather than waiting in the page
// cache for one (delayed allocation, as ext4 does): 1 yes, 0 no, -1 cannot be told here.
static int onDisk(const QString &path)
{
    QByteArray buffer(int(sizeof(fiemap) + 64 * sizeof(fiemap_extent)), '\0');
    auto *map = reinterpret_cast<fiemap *>(buffer.data());
    map->fm_length = ~__u64(0);
    map->fm_extent_count = 64;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const int result = fd < 0 ? -1 : ::ioctl(fd, FS_IOC_FIEMAP, map);
    ::close(fd);
    for (unsigned i = 0; result == 0 && i < map->fm_mapped_extents; ++i) {
        if (map->fm_extents[i].fe_flags & (FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_UNKNOWN))
            return 0;
    }
    return result == 0 ? 1 : -1;
}

// Makes the copy's file system behave like another, for as long as it lives: features missing
// and the calls that carry mode and date over refused, as vfat, exFAT and CIFS do.
struct FileSystemLike
{
    FileSystemLike(int missing, const QString &refused, std::function<void()> whileCopying = {})
    {
        SafeFile::Testing::pretendMissing(missing);
        HitFileOps::MetadataCalls calls;
        calls.setTimes = [refused, whileCopying](int fd, const struct timespec *times) {
            if (whileCopying)
                whileCopying();
            return refused.contains("times"_L1) ? (errno = EPERM, -1) : ::futimens(fd, times);
        };
        calls.setMode = [refused](int fd, unsigned mode) { return refused.contains("mode"_L1) ? (errno = EPERM, -1) : ::fchmod(fd, mode_t(mode)); };
        HitFileOps::setMetadataCalls(calls);
    }
    ~FileSystemLike()
    {
        SafeFile::Testing::pretendMissing(0);
        HitFileOps::setMetadataCalls({});
    }
};

// The file systems a copy may meet: which features they lack and which calls they refuse.
static void fileSystemRows()
{
    using namespace SafeFile::Testing;
    QTest::addColumn<int>("missing");
    QTest::addColumn<QString>("refused");
    QTest::newRow("local disk") << 0 << QString();
    QTest::newRow("no unnamed files (NFS)") << int(TmpFile) << QString();
    QTest::newRow("no atomic no-replace rename") << int(TmpFile | RenameNoReplace) << QString();
    QTest::newRow("modes refused (CIFS)") << int(TmpFile) << u"mode"_s;
    QTest::newRow("no links, modes and dates refused (vfat)") << int(TmpFile | RenameNoReplace | HardLinks) << u"mode times"_s;
}

class TestForm1Hits : public QObject, HitsSession
{
    Q_OBJECT

    template <typename T = QPushButton>
    void press(const char *name) { QTest::mouseClick(child<T>(form, name), Qt::LeftButton); }
    void press(const char *button, const QString &dir)
    {
        child<QLineEdit>(form, "Text2")->setText(dir);
        press(button);
    }
    bool shown(const char *name) const { return child(form, name)->isVisible(); }
    QString text(const char *name) const { return child<QLabel>(form, name)->text(); }
    QString targetText() const { return child<QLineEdit>(form, "Text2")->text(); }

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // What the user sees of a hit and gathers in the notes, step by step (%0 and %2: the first and
    // third hit in list order): the list taking the focus makes no hit current, the first key
    // does; a click shows name, type and date, a hit gone since the search no date; the button and
    // a double-click open the current hit. A double-click puts the name label into the notes and
    // widens the window, the picture button the selection in list order; the notes button widens
    // and narrows the window.
    void detailsAndNotes_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("details"); // name and type, and "dated" for the file's date
        QTest::addColumn<int>("opened");     // times the current hit was opened
        QTest::addColumn<QString>("notes");   // %n: the first hit's name, %0, %2: the first and third hit's path
        QTest::addColumn<QString>("window");  // the notes button's caption and the width: narrow as at the start, or wide
        const auto row = [](const char *name, const char *steps, const char *details, int opened, const char *notes,
                            const char *window) {
            QTest::newRow(name) << QString::fromUtf8(steps) << QString::fromUtf8(details) << opened
                                << QString::fromUtf8(notes) << QString::fromUtf8(window);
        };
        row("drawing", "focus, down, click:a.dwg, open, dclick:a.dwg", "a Datentyp: .dwg dated", 2, "Notizen", "Notizen narrow");
        row("blanks trimmed", "click:  A-100 .pdf", "A-100 Datentyp: .pdf dated", 0, "Notizen", "Notizen narrow");
        row("gone since the search", "gone:b.dwg, click:b.dwg, open", "b Datentyp: .dwg", 1, "Notizen", "Notizen narrow");
        row("name twice", "click:%0, name, name", "%n Datentyp: %e dated", 0, "Notizen\n%n\n%n", "Notizen wide");
        row("name, then narrower", "click:%0, name, toggle", "%n Datentyp: %e dated", 0, "Notizen\n%n", ">> narrow");
        row("selection", "toggle, click:%2, ctrl:%0, put", "%n Datentyp: %e dated", 0, "Notizen\n%0\n%2", "<< wide");
        row("selection into empty notes", "clear, click:%2, ctrl:%0, put", "%n Datentyp: %e dated", 0, "%0\n%2", "Notizen narrow");
        row("nothing selected", "put", "", 0, "Notizen", "Notizen narrow");
    }
    void detailsAndNotes()
    {
        QFETCH(QString, steps);
        QFETCH(QString, details);
        QFETCH(int, opened);
        QFETCH(QString, notes);
        QFETCH(QString, window);
        const QStringList files{u"  A-100 .pdf"_s, u"a.dwg"_s, u"b.dwg"_s, u"c.dwg"_s};
        startWith(files);
        for (const QString &f : files)
            stampFile(hit(f));
        auto *list = child<QListView>(form, "List1");
        const int narrow = form->width();
        const auto name = [&](const QString &n) { return n.startsWith(u'%') ? nameAt(n.mid(1).toInt()) : n; };
        for (const QString &step : steps.split(u", "_s)) {
            const QString verb = step.section(u':', 0, 0), arg = name(step.section(u':', 1, 1));
            if (verb == u"gone"_s) {
                QVERIFY(QFile::remove(hit(arg)));
            } else if (verb == u"focus"_s) {
                form->activateWindow();
                list->setFocus(Qt::TabFocusReason);
                QTRY_VERIFY(list->hasFocus());
                QVERIFY(form->currentHitPath().isEmpty() && !shown("Label8") && !shown("Command1"));
            } else if (verb == u"down"_s) {
                QTest::keyClick(list, Qt::Key_Down);
                QCOMPARE(form->currentHitPath(), hit(nameAt(0)));
            } else if (verb == u"dclick"_s) {
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCenter(arg));
            } else if (verb == u"click"_s || verb == u"ctrl"_s) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, verb == u"ctrl"_s ? Qt::ControlModifier : Qt::NoModifier, rowCenter(arg));
            } else if (verb == u"name"_s) {
                QTest::mouseDClick(child<ClickLabel>(form, "Label8"), Qt::LeftButton);
            } else if (verb == u"put"_s) {
                press<ClickLabel>("img_putlisttoinfo");
            } else {
                press(verb == u"open"_s ? "Command1" : verb == u"clear"_s ? "Command7" : "Command6");
            }
        }
        const auto fill = [&](QString text) { return text.replace(u"%n"_s, nameAt(0).chopped(4).trimmed()).replace(u"%e"_s, nameAt(0).right(4)).replace(u"%0"_s, hit(nameAt(0))).replace(u"%2"_s, hit(nameAt(2))); };
        const QString date = text("lbl_filetime");
        const bool dated = date.startsWith(QLocale().toString(stamp.date(), QLocale::ShortFormat)) && date.contains(u"32:10"_s);
        QCOMPARE(QStringList({text("Label8"), text("Label10"), dated ? u"dated"_s : date}).join(u' ').trimmed(), fill(details));
        QCOMPARE(shown("Label8") && shown("Label10") && shown("lbl_filetime") && shown("Command1"), !details.isEmpty());
        QVERIFY(!shown("Label9") && !shown("Label3") && env->messages.isEmpty());
        QCOMPARE(env->opened, QStringList(opened, form->currentHitPath()));
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), fill(notes));
        QCOMPARE(child<QPushButton>(form, "Command6")->text() + (form->width() == narrow ? u" narrow"_s : u" wide"_s), window);
    }

    void copyNeverOverwrites_data() { fileSystemRows(); }
    // Whatever the file system, a copy is whole under its name, on the disk, and replaces
    // nothing; refused modes and dates do not cost the copy.
    void copyNeverOverwrites()
    {
        QFETCH(int, missing);
        QFETCH(QString, refused);
        startCopying(files(u"a.dwg b.pdf c.txt sub/x"_s));
        stampFile(hit(u"a.dwg"_s));
        env->writeFile(u"target/b.pdf"_s, "older copy");
        click(files(u"a.dwg b.pdf sub"_s));
        const FileSystemLike fileSystem(missing, refused);
        press("Command8", target); // without the trailing separator
        QCOMPARE(targetText(), target + u'/');
        QCOMPARE(env->messageTexts(), QStringList{u"Kopiervorgang beendet"_s});
        QCOMPARE(env->messages.first().icon, Platform::Icon::None);
        QCOMPARE(entriesOf(target), files(u"a.dwg b.pdf"_s)); // nothing else, hidden or not
        QCOMPARE(contentOf(copyOf(u"a.dwg"_s)), QByteArray("a.dwg"));
        QCOMPARE(QFileInfo(copyOf(u"a.dwg"_s)).lastModified() == stamp, !refused.contains("times"_L1));
        QVERIFY(onDisk(copyOf(u"a.dwg"_s)) != 0);
        QCOMPARE(contentOf(copyOf(u"b.pdf"_s)), QByteArray("older copy"));
        QVERIFY(QFile::exists(hit(u"a.dwg"_s)) && !QGuiApplication::overrideCursor());
    }

    void killedCopyLeavesTheNameFree_data()
    {
        QTest::addColumn<int>("missing");
        QTest::newRow("unnamed file") << 0;
        QTest::newRow("hidden file") << int(SafeFile::Testing::TmpFile);
    }
    // A copy process killed with the content complete but not yet named leaves nothing under the
    // copy's name, so the next copy is made rather than skipped as "never overwrite".
    void killedCopyLeavesTheNameFree()
    {
        QFETCH(int, missing);
        startCopying({u"a.dwg"_s});
        const int status = childStatus([&] {
            const FileSystemLike fileSystem(missing, QString(), [] { ::raise(SIGKILL); });
            HitFileOps::copyNoOverwrite(hit(u"a.dwg"_s), copyOf(u"a.dwg"_s));
            return 0;
        });
        QVERIFY2(WIFSIGNALED(status), "the copy was not killed");
        QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList()); // a hidden one may stay
        click({u"a.dwg"_s});
        press("Command8", target);
        QCOMPARE(env->messageTexts(), QStringList{u"Kopiervorgang beendet"_s});
        QCOMPARE(contentOf(copyOf(u"a.dwg"_s)), QByteArray("a.dwg"));
    }

    void moveCopiesTheSelectionAndDeletesOnlyTheCurrentHit_data() { fileSystemRows(); }
    void moveCopiesTheSelectionAndDeletesOnlyTheCurrentHit()
    {
        QFETCH(int, missing);
        QFETCH(QString, refused);
        startCopying(files(u"a.dwg b.dwg c.dwg"_s));
        click({nameAt(2), nameAt(1), nameAt(0)}); // the first in list order is the current hit
        const FileSystemLike fileSystem(missing, refused);
        press("cmd_move", target);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(contentOf(copyOf(nameAt(row))), nameAt(row).toUtf8());
            QCOMPARE(QFile::exists(hit(nameAt(row))), row > 0);
        }
        QVERIFY(onDisk(copyOf(nameAt(0))) != 0); // before its source was deleted
        // The target built last is that of the last selected entry in list order.
        QCOMPARE(env->messageTexts(), QStringList{u"Datei "_s + hit(nameAt(0)) + u" wurde nach "_s + copyOf(nameAt(2)) + u" verschoben"_s});
    }

    void moveKeepsASourceChangedMeanwhile_data()
    {
        QTest::addColumn<bool>("savedOver"); // else: written to in place
        QTest::newRow("saved over by an editor") << true;
        QTest::newRow("written to in place") << false;
    }
    // Another program changes the current hit while the move copies it: the copy holds the
    // older content, so the newer file must stay.
    void moveKeepsASourceChangedMeanwhile()
    {
        QFETCH(bool, savedOver);
        startCopying({u"a.dwg"_s});
        const QString a = hit(u"a.dwg"_s), copy = copyOf(u"a.dwg"_s);
        click({u"a.dwg"_s});
        const FileSystemLike fileSystem(0, QString(), [&] {
            QFile f(a);
            QVERIFY(savedOver ? ::rename(QFile::encodeName(env->writeFile(u"neu.dwg"_s, "new version")).constData(), QFile::encodeName(a).constData()) == 0
                              : f.open(QIODevice::Append) && f.write(" and more") == 9);
        });
        press("cmd_move", target);
        QCOMPARE(contentOf(a), savedOver ? QByteArray("new version") : QByteArray("a.dwg and more"));
        QCOMPARE(contentOf(copy), QByteArray("a.dwg"));
        QCOMPARE(env->messageTexts(), QStringList{u"Datei %1 wurde während des Verschiebens geändert und nicht gelöscht !\n%2 enthält den Stand vor der Änderung."_s.arg(a, copy)});
        QCOMPARE(env->messages.first().icon, Platform::Icon::Warning);
        QCOMPARE(entriesOf(archive), QStringList{u"a.dwg"_s});
    }

    // What copy, move and delete say, and what they leave in the archive and the target folder,
    // when they meet a fault: a copy that cannot be made is skipped and the others are made; a
    // refused move or delete removes nothing. The entries stay listed.
    void copyMoveDelete_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("clicks"); // the last one is the current hit
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("said"); // %1: the current hit's path, %2: its target name
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("left");   // in the archive
        QTest::addColumn<QString>("copied"); // into the target folder; "-": there is none
        const auto row = [](const char *name, const char *button, const char *clicks, const char *setup, const QString &said, Platform::Icon icon,
                            const char *left, const char *copied) {
            QTest::newRow(name) << QString::fromUtf8(button) << QString::fromUtf8(clicks) << QString::fromUtf8(setup) << said << int(icon)
                                << QString::fromUtf8(left) << QString::fromUtf8(copied);
        };
        const Platform::Icon None = Platform::Icon::None, Warning = Platform::Icon::Warning, Error = Platform::Icon::Error;
        const QString done = u"Kopiervorgang beendet"_s, noDir = u"Verzeichnis nicht verfügbar ! Geben Sie die richtige Form ein z.B.: C:\\temp\\ "_s;
        const QString noCopy = u"Datei %1 wurde nicht gelöscht, weil keine Kopie nach %2 angelegt wurde !"_s;
        const char *all = "a.dwg b.dwg c.dwg plans";
        row("copy skips a source gone since the search", "Command8", "a.dwg b.dwg c.dwg", "gone", done, None, "a.dwg c.dwg plans", "a.dwg c.dwg");
        row("copy skips a named pipe", "Command8", "a.dwg b.dwg c.dwg", "pipe", done, None, "a.dwg c.dwg plans", "a.dwg c.dwg");
        row("copy into a write-protected folder", "Command8", "a.dwg b.dwg c.dwg", "target locked", done, None, all, "");
        row("move to a missing folder", "cmd_move", "b.dwg a.dwg", "missing", noDir, Error, all, "-");
        row("name taken in the target", "cmd_move", "b.dwg a.dwg", "taken", noCopy, Warning, all, "a.dwg b.dwg");
        row("current hit not selected", "cmd_move", "b.dwg a.dwg a.dwg", "", noCopy, Warning, all, "b.dwg");
        row("move a folder", "cmd_move", "b.dwg plans", "", u"Datei existiert nicht !"_s, None, all, "b.dwg");
        row("delete a folder", "Command5", "b.dwg plans", "", u"Verzeichnis %1 wird nicht gelöscht !"_s, Warning, all, "");
        row("delete from a write-protected folder", "Command5", "b.dwg a.dwg", "locked", u"Datei %1 konnte nicht gelöscht werden !"_s, Error, all, "");
        row("delete a read-only file", "Command5", "a.dwg", "read-only", u"Datei %1 wurde gelöscht"_s, None, "b.dwg c.dwg plans", "");
        row("delete a file gone since the search", "Command5", "b.dwg", "gone", u"Diese Datei wurde bereits gelöscht !"_s, None, "a.dwg c.dwg plans", "");
    }
    void copyMoveDelete()
    {
        QFETCH(QString, button);
        QFETCH(QString, clicks);
        QFETCH(QString, setup);
        QFETCH(QString, said);
        QFETCH(int, icon);
        QFETCH(QString, left);
        QFETCH(QString, copied);
        if (setup.contains("locked"_L1) && ::geteuid() == 0)
            QSKIP("root reads and writes whatever the permissions say");
        startCopying(files(u"a.dwg b.dwg c.dwg plans/inner.dwg"_s));
        const QString a = hit(u"a.dwg"_s), b = hit(u"b.dwg"_s), current = hit(files(clicks).last());
        if (setup == u"taken"_s)
            env->writeFile(u"target/a.dwg"_s, "someone else's");
        const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner;
        QVERIFY(setup == u"gone"_s ? QFile::remove(b)
                : setup == u"pipe"_s          ? QFile::remove(b) && ::mkfifo(QFile::encodeName(b).constData(), 0600) == 0
                    : setup == u"target locked"_s ? QFile::setPermissions(target, readOnly)
                : setup == u"locked"_s        ? QFile::setPermissions(archive, readOnly) && QFile::setPermissions(a, QFile::ReadOwner)
                : setup == u"read-only"_s     ? QFile::setPermissions(a, QFile::ReadOwner)
                                              : true);
        click(files(clicks));
        const QString dir = setup == u"missing"_s ? env->at(u"missing"_s) : target;
        press(qPrintable(button), dir);
        QCOMPARE(env->messageTexts(), QStringList{said.replace(u"%1"_s, current).replace(u"%2"_s, copyOf(files(clicks).last()))});
        QCOMPARE(env->messages.first().icon, Platform::Icon(icon));
        QCOMPARE(entriesOf(archive), files(left));
        QCOMPARE(QFile::exists(dir) ? entriesOf(dir).join(u' ') : u"-"_s, copied);
        for (const QString &name : entriesOf(target))
            QCOMPARE(contentOf(copyOf(name)), setup == u"taken"_s && name == u"a.dwg"_s ? "someone else's" : name.toUtf8());
        QVERIFY(QFile::exists(hit(u"plans/inner.dwg"_s)) && SearchFixture::hits(form).contains(current));
    }

    // Until the user stores a target folder, it is the folder 3d in the home folder, where the
    // chooser opens too; a stored value wins, even the Windows default. A copy keeps the single
    // trailing separator, and so does a folder chosen in the chooser, a root too. A drive that is
    // not ready is refused without a word, the lists staying where they are.
    void targetFolder_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("nothing stored") << QString();
        QTest::newRow("stored Windows default") << u"D:\\3d\\"_s;
    }
    void targetFolder()
    {
        QFETCH(QString, stored);
        const QString home3d = qEnvironmentVariable("HOME") + u"/3d"_s;
        QVERIFY(QDir().mkpath(home3d));
        const auto removeHome3d = qScopeGuard([&] { QDir(home3d).removeRecursively(); });
        if (!stored.isEmpty())
            Settings::write(u"Text2.Text"_s, stored);
        startCopying({u"a.dwg"_s});
        QCOMPARE(targetText(), stored.isEmpty() ? home3d + u'/' : stored);
        if (!stored.isEmpty())
            return;
        auto *dirs = child<DirListBox>(form, "Dir1");
        QCOMPARE(dirs->path(), home3d);
        click({u"a.dwg"_s});
        press("Command8");
        QCOMPARE(targetText(), home3d + u'/');
        QCOMPARE(env->messageTexts(), QStringList{u"Kopiervorgang beendet"_s});
        QCOMPARE(contentOf(home3d + u"/a.dwg"_s), QByteArray("a.dwg"));
        for (const QString &folder : {archive, u"/"_s}) {
            press("cmd_path");
            QVERIFY(shown("Frame2") && dirs->setPath(folder));
            press("cmd_ok");
            QVERIFY(!shown("Frame2") && targetText() == (folder == u"/"_s ? folder : folder + u'/'));
        }
        press("cmd_path");
        QVERIFY(dirs->setPath(archive));
        auto *drives = child<QComboBox>(form, "Drive1");
        const int shownDrive = drives->currentIndex();
        drives->addItem(env->at(u"gone/"_s), env->at(u"gone/"_s));
        drives->setFocus();
        QTest::keyClick(drives, Qt::Key_End);
        QVERIFY(drives->currentIndex() == shownDrive && dirs->path() == archive && env->messages.size() == 1);
    }
};

QTEST_MAIN(TestForm1Hits)
#include "tst_form1_hits.moc"
