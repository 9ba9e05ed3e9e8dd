#include "hitsfixture.h"

#include "app/dirlistbox.h"
#include "search/core/hitfileops.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScopeGuard>

#include <csignal>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

static QStringList files(const QString &blankSeparated) { return blankSeparated.split(QLatin1Char(' ')); }
static const QDateTime stamp(QDate(2006, 2, 21), QTime(14, 32, 10));

// Whether every byte of the file has its place on the disk, rather than waiting in the page
// cache for a place (delayed allocation, as ext4 does): 1 yes, 0 no, -1 cannot be told here.
static int onDisk(const QString &path)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    constexpr unsigned kExtents = 64;
    QByteArray buffer(int(sizeof(fiemap) + kExtents * sizeof(fiemap_extent)), '\0');
    auto *map = reinterpret_cast<fiemap *>(buffer.data());
    map->fm_length = ~__u64(0);
    map->fm_extent_count = kExtents;
    const int result = ::ioctl(fd, FS_IOC_FIEMAP, map);
    ::close(fd);
    if (result != 0)
        return -1;
    for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
        if (map->fm_extents[i].fe_flags & (FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_UNKNOWN))
            return 0;
    }
    return 1;
#else
    Q_UNUSED(path);
    return -1;
#endif
}

// Makes the copy's file system behave like another: features missing and the calls that carry
// mode and date over refused ("mode", "times"), as vfat, exFAT and CIFS do. Undone at the end
// of the test.
struct FileSystemLike
{
    FileSystemLike(int missing, const QString &refused, std::function<void()> whileCopying = {})
    {
        SafeFile::Testing::pretendMissing(missing);
        HitFileOps::MetadataCalls calls;
        calls.setTimes = [refused, whileCopying](int fd, const struct timespec *times) {
            if (whileCopying)
                whileCopying();
            return refused.contains(QLatin1String("times")) ? (errno = EPERM, -1) : ::futimens(fd, times);
        };
        calls.setMode = [refused](int fd, unsigned mode) {
            return refused.contains(QLatin1String("mode")) ? (errno = EPERM, -1) : ::fchmod(fd, mode_t(mode));
        };
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
    QTest::newRow("modes refused (CIFS)") << int(TmpFile) << QStringLiteral("mode");
    QTest::newRow("no links, modes and dates refused (vfat)") << int(TmpFile | RenameNoReplace | HardLinks) << QStringLiteral("mode times");
}

// What the search window does with its hits: details and opening, the hit list's menu, copy,
// move and delete with the directory chooser, the notes panel and the search field tools.
class TestForm1Hits : public QObject, HitsSession
{
    Q_OBJECT

    void stampFile(const QString &name)
    {
        QFile f(hit(name));
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    void press(QPushButton *button, const QString &dir) { child<QLineEdit>(form, "Text2")->setText(dir); QTest::mouseClick(button, Qt::LeftButton); }
    // A right-click as the window system delivers it (button, then menu request); then the action.
    void pick(QAction *action, const QPoint &at)
    {
        QWidget *viewport = child<QListView>(form, "List1")->viewport();
        QTest::mouseClick(viewport, Qt::RightButton, Qt::NoModifier, at);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &request);
        QTRY_VERIFY(child<QMenu>(form, "List1Menu")->isVisible());
        if (action)
            QTest::mouseClick(child<QMenu>(form, "List1Menu"), Qt::LeftButton, {}, child<QMenu>(form, "List1Menu")->actionGeometry(action).center());
    }

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // A hit gone since the search keeps name and type, has no date and opens without a word.
    void detailsAndOpening_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<bool>("gone");
        QTest::newRow("drawing") << QStringLiteral("plan.dwg") << QStringLiteral("plan") << QStringLiteral(".dwg") << false;
        QTest::newRow("blanks trimmed") << QStringLiteral("  A-100 .DWG") << QStringLiteral("A-100") << QStringLiteral(".DWG") << false;
        QTest::newRow("gone") << QStringLiteral("b.pdf") << QStringLiteral("b") << QStringLiteral(".pdf") << true;
    }
    void detailsAndOpening()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QFETCH(bool, gone);
        startWith({file, QStringLiteral("other")});
        if (gone)
            QVERIFY(QFile::remove(hit(file)));
        else
            stampFile(file);
        QVERIFY(!child<ClickLabel>(form, "Label8")->isVisible() && !child<QPushButton>(form, "Command1")->isVisible());
        click({file});
        QCOMPARE(form->currentHitPath(), hit(file));
        QCOMPARE(child<ClickLabel>(form, "Label8")->text(), name);
        QCOMPARE(child<QLabel>(form, "Label10")->text(), QStringLiteral("Datentyp: ") + ext);
        const QString date = child<QLabel>(form, "lbl_filetime")->text();
        QVERIFY2(gone ? date.isEmpty() : date.startsWith(QLocale().toString(stamp.date(), QLocale::ShortFormat)) && date.contains(QStringLiteral("32:10")), qPrintable(date));
        QVERIFY(child<ClickLabel>(form, "Label8")->isVisible() && child<QLabel>(form, "Label10")->isVisible() && child<QLabel>(form, "lbl_filetime")->isVisible());
        QVERIFY(child<QPushButton>(form, "Command1")->isVisible() && !child<QLabel>(form, "Label9")->isVisible() && !child<QLabel>(form, "Label3")->isVisible());
        QTest::mouseClick(child<QPushButton>(form, "Command1"), Qt::LeftButton);
        QTest::mouseDClick(child<QListView>(form, "List1")->viewport(), Qt::LeftButton, {}, rowCenter(file));
        QCOMPARE(env->opened, (QStringList{hit(file), hit(file)}));
        QVERIFY(env->messages.isEmpty());
    }

    void focusAloneMakesNoHitCurrent()
    {
        startWith(files(QStringLiteral("a b")));
        form->activateWindow();
        child<QListView>(form, "List1")->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(child<QListView>(form, "List1")->hasFocus());
        QVERIFY(form->currentHitPath().isEmpty() && !child<ClickLabel>(form, "Label8")->isVisible());
        QTest::keyClick(child<QListView>(form, "List1"), Qt::Key_Down); // the first key reaches the first entry
        QCOMPARE(form->currentHitPath(), hit(nameAt(0)));
        QCOMPARE(child<ClickLabel>(form, "Label8")->text(), nameAt(0));
    }

    void contextMenuLeavesSelectionAndCurrentHit()
    {
        startWith(files(QStringLiteral("a.dwg b.dwg c.dwg")));
        const QPoint onC = rowCenter(QStringLiteral("c.dwg"));
        pick(nullptr, onC);
        QVERIFY(!child<QAction>(form, "actOpen")->isEnabled() && !child<QAction>(form, "actOpenFolder")->isEnabled() && !child<QAction>(form, "actCopyPaths")->isEnabled());
        child<QMenu>(form, "List1Menu")->hide();
        click(files(QStringLiteral("a.dwg b.dwg")));
        const QModelIndexList selection = child<QListView>(form, "List1")->selectionModel()->selectedRows();
        pick(child<QAction>(form, "actCopyPaths"), onC);
        QStringList inListOrder = SearchFixture::hits(form); // one path a line
        inListOrder.removeOne(hit(QStringLiteral("c.dwg")));
        QCOMPARE(env->clipboard, inListOrder.join(QLatin1Char('\n')));
        pick(child<QAction>(form, "actOpenFolder"), onC);
        pick(child<QAction>(form, "actOpen"), onC);
        QCOMPARE(env->opened, (QStringList{archive, hit(QStringLiteral("b.dwg"))}));
        QCOMPARE(child<QListView>(form, "List1")->selectionModel()->selectedRows(), selection);
    }

    void copyNeverOverwrites_data() { fileSystemRows(); }
    // Whatever the file system, a copy is whole under its name, on the disk, and replaces
    // nothing; refused modes and dates do not cost the copy.
    void copyNeverOverwrites()
    {
        QFETCH(int, missing);
        QFETCH(QString, refused);
        startCopying(files(QStringLiteral("a.dwg b.pdf c.txt sub/x")));
        stampFile(QStringLiteral("a.dwg"));
        env->writeFile(QStringLiteral("target/b.pdf"), "older copy");
        click(files(QStringLiteral("a.dwg b.pdf sub")));
        const FileSystemLike fileSystem(missing, refused);
        press(child<QPushButton>(form, "Command8"), target); // without the trailing separator
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), target + QLatin1Char('/'));
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Kopiervorgang beendet")});
        QCOMPARE(env->messages.first().icon, Platform::Icon::None);
        // Nothing else, hidden or not, is left in the target folder.
        QCOMPARE(entriesOf(target), files(QStringLiteral("a.dwg b.pdf")));
        QCOMPARE(contentOf(copyOf(QStringLiteral("a.dwg"))), QByteArray("a.dwg"));
        QCOMPARE(QFileInfo(copyOf(QStringLiteral("a.dwg"))).lastModified() == stamp, !refused.contains(QLatin1String("times")));
        QVERIFY(onDisk(copyOf(QStringLiteral("a.dwg"))) != 0);
        QCOMPARE(contentOf(copyOf(QStringLiteral("b.pdf"))), QByteArray("older copy"));
        QVERIFY(QFile::exists(hit(QStringLiteral("a.dwg"))) && !QGuiApplication::overrideCursor());
    }

    // A copy that cannot be made is skipped, the others are made, and the end is told all the
    // same; nothing partial is left in the target folder.
    void copySkipsWhatItCannotCopy_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("source gone since the search") << QStringLiteral("gone");
        QTest::newRow("source not readable") << QStringLiteral("unreadable");
        QTest::newRow("target folder write-protected") << QStringLiteral("locked");
    }
    void copySkipsWhatItCannotCopy()
    {
        QFETCH(QString, fault);
        if (fault != QStringLiteral("gone") && ::geteuid() == 0)
            QSKIP("root reads and writes whatever the permissions say");
        startCopying(files(QStringLiteral("a.dwg b.dwg c.dwg")));
        click(files(QStringLiteral("a.dwg b.dwg c.dwg")));
        if (fault == QStringLiteral("gone"))
            QVERIFY(QFile::remove(hit(QStringLiteral("b.dwg"))));
        else if (fault == QStringLiteral("unreadable"))
            QVERIFY(QFile::setPermissions(hit(QStringLiteral("b.dwg")), QFile::WriteOwner));
        else
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner));
        press(child<QPushButton>(form, "Command8"), target);
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Kopiervorgang beendet")});
        const QStringList copied = fault == QStringLiteral("locked") ? QStringList() : files(QStringLiteral("a.dwg c.dwg"));
        QCOMPARE(entriesOf(target), copied);
        for (const QString &name : copied)
            QCOMPARE(contentOf(copyOf(name)), name.toUtf8());
    }

    void killedCopyLeavesTheNameFree_data()
    {
        QTest::addColumn<bool>("midContent"); // else: content complete, not yet named
        QTest::addColumn<int>("missing");
        QTest::newRow("mid-content, unnamed file") << true << 0;
        QTest::newRow("mid-content, hidden file") << true << int(SafeFile::Testing::TmpFile);
        QTest::newRow("before naming, unnamed file") << false << 0;
        QTest::newRow("before naming, hidden file") << false << int(SafeFile::Testing::TmpFile);
    }
    // A copy process killed half-way leaves nothing under the copy's name, so the next copy is
    // made rather than skipped as "never overwrite".
    void killedCopyLeavesTheNameFree()
    {
        QFETCH(bool, midContent);
        QFETCH(int, missing);
        startCopying({QStringLiteral("a.dwg")});
        const QByteArray big(3 << 20, 'z');
        env->writeFile(QStringLiteral("archive/a.dwg"), big);
        const int status = childStatus([&] {
            SafeFile::Testing::pretendMissing(missing);
            if (midContent) {
                limitFileSize(1 << 20, true); // writing past 1 MiB kills the process
            } else {
                HitFileOps::MetadataCalls calls;
                calls.setTimes = [](int, const struct timespec *) { return ::raise(SIGKILL); };
                HitFileOps::setMetadataCalls(calls);
            }
            HitFileOps::copyNoOverwrite(hit(QStringLiteral("a.dwg")), copyOf(QStringLiteral("a.dwg")));
            return 0;
        });
        QVERIFY2(WIFSIGNALED(status), "the copy was not killed");
        QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList()); // a hidden one may stay

        click({QStringLiteral("a.dwg")});
        press(child<QPushButton>(form, "Command8"), target);
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Kopiervorgang beendet")});
        QVERIFY(contentOf(copyOf(QStringLiteral("a.dwg"))) == big);
    }

    void deleteReadOnlyTwice()
    {
        startCopying({QStringLiteral("a.dwg")});
        const QString a = hit(QStringLiteral("a.dwg"));
        QVERIFY(QFile::setPermissions(a, QFile::ReadOwner));
        click({QStringLiteral("a.dwg")});
        QTest::mouseClick(child<QPushButton>(form, "Command5"), Qt::LeftButton);
        QVERIFY(!QFile::exists(a));
        QTest::mouseClick(child<QPushButton>(form, "Command5"), Qt::LeftButton);
        QCOMPARE(env->messageTexts(), (QStringList{QStringLiteral("Datei ") + a + QStringLiteral(" wurde gelöscht"),
                                                   QStringLiteral("Diese Datei wurde bereits gelöscht !")}));
        QVERIFY(SearchFixture::hits(form).contains(a)); // the entry stays listed
    }

    void moveCopiesTheSelectionAndDeletesOnlyTheCurrentHit_data() { fileSystemRows(); }
    void moveCopiesTheSelectionAndDeletesOnlyTheCurrentHit()
    {
        QFETCH(int, missing);
        QFETCH(QString, refused);
        startCopying(files(QStringLiteral("a.dwg b.dwg c.dwg")));
        click({nameAt(2), nameAt(1), nameAt(0)}); // the first in list order is the current hit
        const FileSystemLike fileSystem(missing, refused);
        press(child<QPushButton>(form, "cmd_move"), target);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(contentOf(copyOf(nameAt(row))), nameAt(row).toUtf8());
            QCOMPARE(QFile::exists(hit(nameAt(row))), row > 0);
        }
        // The copy was on the disk before its source was deleted.
        QVERIFY(onDisk(copyOf(nameAt(0))) != 0);
        // The target built last is that of the last selected entry in list order.
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Datei ") + hit(nameAt(0)) + QStringLiteral(" wurde nach ")
                                                  + copyOf(nameAt(2)) + QStringLiteral(" verschoben")});
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
        startCopying({QStringLiteral("a.dwg")});
        const QString a = hit(QStringLiteral("a.dwg"));
        click({QStringLiteral("a.dwg")});
        const FileSystemLike fileSystem(0, QString(), [&] {
            if (savedOver) {
                env->writeFile(QStringLiteral("neu.dwg"), "new version");
                QVERIFY(QFile::rename(env->at(QStringLiteral("neu.dwg")), a + QStringLiteral(".tmp")));
                QVERIFY(::rename(QFile::encodeName(a + QStringLiteral(".tmp")).constData(), QFile::encodeName(a).constData()) == 0);
            } else {
                QFile f(a);
                QVERIFY(f.open(QIODevice::Append) && f.write(" and more") == 9);
            }
        });
        press(child<QPushButton>(form, "cmd_move"), target);
        QCOMPARE(contentOf(a), savedOver ? QByteArray("new version") : QByteArray("a.dwg and more"));
        QCOMPARE(contentOf(copyOf(QStringLiteral("a.dwg"))), QByteArray("a.dwg"));
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Datei ") + a + QStringLiteral(" wurde während des Verschiebens geändert und nicht gelöscht !\n")
                                                  + copyOf(QStringLiteral("a.dwg")) + QStringLiteral(" enthält den Stand vor der Änderung.")});
        QCOMPARE(env->messages.first().icon, Platform::Icon::Warning);
        QCOMPARE(entriesOf(archive), QStringList{QStringLiteral("a.dwg")});
    }

    // Nothing is removed; a move still copies the selected hits it can.
    void refused_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("clicks"); // the last one is the current hit
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("said"); // %1: the current hit's path, %2: its target name
        QTest::addColumn<int>("icon");
        const int error = int(Platform::Icon::Error), warning = int(Platform::Icon::Warning), none = int(Platform::Icon::None);
        const QString noDir = QStringLiteral("Verzeichnis nicht verfügbar ! Geben Sie die richtige Form ein z.B.: C:\\temp\\ ");
        const QString noCopy = QStringLiteral("Datei %1 wurde nicht gelöscht, weil keine Kopie nach %2 angelegt wurde !");
        const QString copy = QStringLiteral("Command8"), move = QStringLiteral("cmd_move"), del = QStringLiteral("Command5");
        const QString a = QStringLiteral("a.dwg"), b = QStringLiteral("b.dwg"), plans = QStringLiteral("plans");
        const QString missing = QStringLiteral("missing"), taken = QStringLiteral("taken"), locked = QStringLiteral("locked");
        QTest::newRow("copy to a missing folder") << copy << QStringList{b, a} << missing << noDir << error;
        QTest::newRow("move to a missing folder") << move << QStringList{b, a} << missing << noDir << error;
        QTest::newRow("delete a folder") << del << QStringList{b, plans} << QString() << QStringLiteral("Verzeichnis %1 wird nicht gelöscht !") << warning;
        QTest::newRow("move a folder") << move << QStringList{b, plans} << QString() << QStringLiteral("Datei existiert nicht !") << none;
        QTest::newRow("name taken in the target") << move << QStringList{b, a} << taken << noCopy << warning;
        QTest::newRow("current hit not selected") << move << QStringList{b, a, a} << QString() << noCopy << warning;
        QTest::newRow("write-protected folder") << del << QStringList{b, a} << locked << QStringLiteral("Datei %1 konnte nicht gelöscht werden !") << error;
    }
    void refused()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, clicks);
        QFETCH(QString, setup);
        QFETCH(QString, said);
        QFETCH(int, icon);
        const bool missing = setup == QStringLiteral("missing"), locked = setup == QStringLiteral("locked");
        if (locked && ::geteuid() == 0)
            QSKIP("root deletes from a write-protected folder");
        startCopying(files(QStringLiteral("a.dwg b.dwg plans/inner.dwg")));
        if (setup == QStringLiteral("taken"))
            env->writeFile(QStringLiteral("target/a.dwg"), "someone else's");
        if (locked) // the file read-only, too: the delete makes it writable before it fails
            QVERIFY(QFile::setPermissions(archive, QFile::ReadOwner | QFile::ExeOwner)
                    && QFile::setPermissions(hit(QStringLiteral("a.dwg")), QFile::ReadOwner));
        click(clicks);
        const QString dir = missing ? env->at(QStringLiteral("missing")) : target;
        press(form->findChild<QPushButton *>(button), dir);
        said.replace(QStringLiteral("%1"), hit(clicks.last())).replace(QStringLiteral("%2"), copyOf(clicks.last()));
        QCOMPARE(env->messageTexts(), QStringList{said});
        QCOMPARE(env->messages.first().icon, Platform::Icon(icon));
        QVERIFY(contentOf(hit(QStringLiteral("a.dwg"))) == "a.dwg" && QFile::exists(hit(QStringLiteral("plans/inner.dwg"))));
        QCOMPARE(QFile::exists(dir), !missing);
        QVERIFY(QFileInfo(hit(QStringLiteral("a.dwg"))).isWritable());
        QCOMPARE(QFile::exists(copyOf(QStringLiteral("b.dwg"))), button == QStringLiteral("cmd_move") && !missing);
        QCOMPARE(contentOf(copyOf(QStringLiteral("a.dwg"))), setup == QStringLiteral("taken") ? "someone else's" : QByteArray("<missing>"));
    }

    // Until the user stores a target, it is the folder 3d in the home folder; a stored value wins,
    // even the Windows default. A copy keeps its single trailing separator.
    void targetDirectoryAtFirstStart_data()
    {
        QTest::addColumn<QString>("stored"); // "-": nothing stored
        QTest::addColumn<QString>("shown"); // "~": the home folder
        QTest::newRow("nothing stored") << QStringLiteral("-") << QStringLiteral("~/3d/");
        QTest::newRow("stored folder") << QStringLiteral("/srv/ablage/") << QStringLiteral("/srv/ablage/");
        QTest::newRow("stored Windows default") << QStringLiteral("D:\\3d\\") << QStringLiteral("D:\\3d\\");
    }
    void targetDirectoryAtFirstStart()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        shown.replace(QLatin1Char('~'), qEnvironmentVariable("HOME"));
        const QString home3d = qEnvironmentVariable("HOME") + QStringLiteral("/3d");
        QVERIFY(QDir().mkpath(home3d));
        const auto removeHome3d = qScopeGuard([&] { QDir(home3d).removeRecursively(); });
        if (stored != QStringLiteral("-"))
            Settings::write(QStringLiteral("Text2.Text"), stored);
        startCopying({QStringLiteral("a.dwg")});
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), shown);
        if (stored != QStringLiteral("-"))
            return;
        QCOMPARE(child<DirListBox>(form, "Dir1")->path(), home3d);
        click({QStringLiteral("a.dwg")});
        QTest::mouseClick(child<QPushButton>(form, "Command8"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), shown);
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Kopiervorgang beendet")});
        QCOMPARE(contentOf(home3d + QStringLiteral("/a.dwg")), QByteArray("a.dwg"));
    }

    // Folders opened in the directory chooser set the target, a root with its single separator.
    // A drive that is not ready is refused without a word, the lists staying where they are; an
    // available one shows its root, and opening a folder shows its drive.
    void directoryChooser()
    {
        startCopying({QStringLiteral("a.dwg")});
        const QString deeper = env->makeDir(QStringLiteral("target/deeper"));
        click({QStringLiteral("a.dwg")});
        auto *drives = child<QComboBox>(form, "Drive1");
        auto *dirs = child<DirListBox>(form, "Dir1");
        QTest::mouseClick(child<QPushButton>(form, "cmd_path"), Qt::LeftButton);
        QVERIFY(child<QFrame>(form, "Frame2")->isVisible() && dirs->setPath(env->root()));
        clickItem(dirs, QStringLiteral("target"), true);
        clickItem(dirs, QStringLiteral("deeper"), true);
        QTest::mouseClick(child<QPushButton>(form, "cmd_ok"), Qt::LeftButton);
        QVERIFY(!child<QFrame>(form, "Frame2")->isVisible());
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), deeper + QLatin1Char('/'));
        QTest::mouseClick(child<QPushButton>(form, "cmd_path"), Qt::LeftButton);
        QVERIFY(dirs->setPath(QStringLiteral("/")));
        QTest::mouseClick(child<QPushButton>(form, "cmd_ok"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("/"));

        QTest::mouseClick(child<QPushButton>(form, "cmd_path"), Qt::LeftButton);
        QVERIFY(dirs->setPath(archive));
        const int shown = drives->currentIndex();
        const QString gone = env->at(QStringLiteral("gone/"));
        drives->addItem(gone, gone);
        drives->setFocus();
        QTest::keyClick(drives, Qt::Key_End);
        QCOMPARE(drives->currentIndex(), shown);
        QCOMPARE(dirs->path(), archive);
        QCOMPARE(env->messageTexts(), QStringList());
        const int other = otherAvailableDrive(drives);
        if (other < 0)
            QSKIP("no second drive to pick");
        drives->setCurrentIndex(other);
        QCOMPARE(dirs->path(), drives->itemData(other).toString());
        QVERIFY(dirs->setPath(archive));
        QCOMPARE(drives->currentIndex(), shown);
    }

    // The name label widens to 821, which the notes button treats as wide.
    void nameIntoNotesAndTheNotesToggle_data()
    {
        QTest::addColumn<bool>("clearFirst");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("default notes") << false << false;
        QTest::newRow("empty notes keep an empty first line") << true << false;
        QTest::newRow("maximized keeps its size and caption") << false << true;
    }
    void nameIntoNotesAndTheNotesToggle()
    {
        QFETCH(bool, clearFirst);
        QFETCH(bool, maximized);
        startWith({QStringLiteral("plan.dwg")});
        QCOMPARE(form->width(), 649);
        if (clearFirst)
            QTest::mouseClick(child<QPushButton>(form, "Command7"), Qt::LeftButton);
        if (maximized)
            form->showMaximized();
        QTRY_COMPARE(form->isMaximized(), maximized);
        const int before = form->width();
        click({QStringLiteral("plan.dwg")});
        QTest::mouseDClick(child<ClickLabel>(form, "Label8"), Qt::LeftButton);
        QCOMPARE(form->width(), maximized ? before : 821);
        QTest::mouseDClick(child<ClickLabel>(form, "Label8"), Qt::LeftButton);
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), (clearFirst ? QString() : QStringLiteral("Notizen")) + QStringLiteral("\nplan\nplan"));
        QTest::mouseClick(child<QPushButton>(form, "Command6"), Qt::LeftButton);
        QCOMPARE(form->width(), maximized ? before : 649);
        QCOMPARE(child<QPushButton>(form, "Command6")->text(), maximized ? QStringLiteral("Notizen") : QStringLiteral(">>"));
    }

    void selectedHitsIntoNotes_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("head"); // followed by the selected paths in list order
        QTest::newRow("default notes, one hit") << QStringLiteral("Notizen") << 1 << QStringLiteral("Notizen\n");
        QTest::newRow("empty notes, two hits") << QString() << 2 << QString();
        QTest::newRow("nothing selected") << QStringLiteral("Notizen") << 0 << QStringLiteral("Notizen");
    }
    void selectedHitsIntoNotes()
    {
        QFETCH(QString, notes);
        QFETCH(int, selected);
        QFETCH(QString, head);
        startWith(files(QStringLiteral("a.dwg b.dwg c.dwg")));
        QTest::mouseClick(child<QPushButton>(form, "Command6"), Qt::LeftButton);
        child<QPlainTextEdit>(form, "Text1")->setPlainText(notes);
        click(QStringList{nameAt(2), nameAt(0)}.mid(2 - selected)); // clicked against list order
        QTest::mouseClick(child<ClickLabel>(form, "img_putlisttoinfo"), Qt::LeftButton);
        const QStringList paths = QStringList{hit(nameAt(0)), hit(nameAt(2))}.mid(0, selected);
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), head + paths.join(QLatin1Char('\n')));
        QVERIFY(form->width() == 822 && child<QPushButton>(form, "Command6")->text() == QStringLiteral("<<"));
    }

    void searchFieldTools_data()
    {
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("text"); // the clipboard for "paste", the field for "Format"
        QTest::addColumn<QString>("result");
        QTest::newRow("paste") << true << QStringLiteral("387-123-05") << QStringLiteral("387-123-05");
        QTest::newRow("paste without text") << true << QString() << QString();
        QTest::newRow("formatted already") << false << QStringLiteral("387-123-05") << QStringLiteral("387-123-05");
        QTest::newRow("digits only") << false << QStringLiteral("38712305") << QStringLiteral("387-123-05");
        QTest::newRow("two characters") << false << QStringLiteral("12") << QStringLiteral("12--");
        QTest::newRow("empty") << false << QString() << QStringLiteral("--");
        QTest::newRow("underscores") << false << QStringLiteral("387_123_05") << QStringLiteral("387-_12-3_");
        QTest::newRow("longer text cut") << false << QStringLiteral("3871230599") << QStringLiteral("387-123-05");
    }
    void searchFieldTools()
    {
        QFETCH(bool, paste);
        QFETCH(QString, text);
        QFETCH(QString, result);
        form = SearchFixture::start(*env, {});
        child<QComboBox>(form, "Combo1")->setEditText(paste ? QStringLiteral("alt") : text);
        env->clipboard = text;
        QTest::mouseClick(paste ? child<QPushButton>(form, "cmd_paste") : child<QPushButton>(form, "cmd_format"), Qt::LeftButton);
        QCOMPARE(child<QComboBox>(form, "Combo1")->currentText(), result);
        QVERIFY(!form->isSearching() && !child<QListView>(form, "List1")->isVisible());
    }
};

QTEST_MAIN(TestForm1Hits)
#include "tst_form1_hits.moc"
