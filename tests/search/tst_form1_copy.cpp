#include "hitsfixture.h"

#include "search/dirlistbox.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStorageInfo>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SearchFixture;
using namespace HitsFixture;

namespace {
const QString kNoDirectory = QStringLiteral("Verzeichnis nicht verfügbar ! Geben Sie die richtige Form ein z.B.: C:\\temp\\ ");
const QString kCopyDone = QStringLiteral("Kopiervorgang beendet");

QByteArray content(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class TestForm1Copy : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form1 *form = nullptr;
    QString archive;
    QString target;

    // Starts with the copy option on, on an archive of files whose content is their name.
    void startWith(const QStringList &files, bool deleteAndMove = false)
    {
        storeCopyOption(true);
        env->makeDir(QStringLiteral("archive"));
        for (const QString &f : files) {
            if (f.endsWith(QLatin1Char('/')))
                env->makeDir(QStringLiteral("archive/") + f);
            else
                env->writeFile(QStringLiteral("archive/") + f, f.toUtf8());
        }
        archive = env->root() + QStringLiteral("/archive");
        target = env->makeDir(QStringLiteral("target"));
        form = startAndListAll(*env, archive);
        QVERIFY(form);
        if (deleteAndMove)
            enableDeleteAndMove(form);
    }
    QString hit(const QString &name) const { return archive + QLatin1Char('/') + name; }
    QString copyOf(const QString &name) const { return target + QLatin1Char('/') + name; }
    void select(const QStringList &names)
    {
        for (int i = 0; i < names.size(); ++i)
            clickHit(form, hit(names.at(i)), i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        closeWindows(form);
        env.reset();
    }

    void copiesTheSelectionWithoutOverwriting()
    {
        startWith({QStringLiteral("a.dwg"), QStringLiteral("b.pdf"), QStringLiteral("c.txt"), QStringLiteral("sub/")});
        env->writeFile(QStringLiteral("target/b.pdf"), "older copy");
        select({QStringLiteral("a.dwg"), QStringLiteral("b.pdf"), QStringLiteral("sub")});
        QVERIFY(form->Frame1->isVisible());
        form->Text2->setText(target); // typed without the trailing separator
        QTest::mouseClick(form->Command8, Qt::LeftButton);

        QCOMPARE(form->Text2->text(), target + QLatin1Char('/'));
        QCOMPARE(env->messages.size(), 1);
        QCOMPARE(env->messages.first().text, kCopyDone);
        QCOMPARE(env->messages.first().icon, Platform::Icon::None);
        QCOMPARE(content(copyOf(QStringLiteral("a.dwg"))), QByteArray("a.dwg"));
        QCOMPARE(content(copyOf(QStringLiteral("b.pdf"))), QByteArray("older copy"));
        QVERIFY(!QFile::exists(copyOf(QStringLiteral("c.txt"))));
        QVERIFY(!QFile::exists(copyOf(QStringLiteral("sub")))); // a directory hit is skipped
        QVERIFY(QFile::exists(hit(QStringLiteral("a.dwg"))));
        QVERIFY(!QGuiApplication::overrideCursor()); // the busy pointer is gone again
    }

    void copyKeepsContentModesAndDate()
    {
        startWith({QStringLiteral("big.bin")});
        QByteArray big(3 * 1024 * 1024 + 17, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 31 + i / 4096);
        env->writeFile(QStringLiteral("archive/big.bin"), big);
        QFile::setPermissions(hit(QStringLiteral("big.bin")), QFile::ReadOwner | QFile::ReadGroup);
        QFile f(hit(QStringLiteral("big.bin")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QDateTime when(QDate(2006, 2, 21), QTime(14, 32, 10));
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        f.close();
        select({QStringLiteral("big.bin")});
        form->Text2->setText(target + QLatin1Char('/'));
        QTest::mouseClick(form->Command8, Qt::LeftButton);
        QCOMPARE(content(copyOf(QStringLiteral("big.bin"))), big);
        QCOMPARE(QFile::permissions(copyOf(QStringLiteral("big.bin"))), QFile::permissions(hit(QStringLiteral("big.bin"))));
        QCOMPARE(QFileInfo(copyOf(QStringLiteral("big.bin"))).lastModified(), when);
    }

    void copyWithoutSelectionAndToAMissingDirectory()
    {
        startWith({QStringLiteral("a.dwg")});
        clickHit(form, hit(QStringLiteral("a.dwg")));
        clickHit(form, hit(QStringLiteral("a.dwg")), Qt::ControlModifier); // deselects it
        QVERIFY(!form->List1->selectionModel()->hasSelection());
        form->Text2->setText(target);
        QTest::mouseClick(form->Command8, Qt::LeftButton);
        QCOMPARE(env->messageTexts(), QStringList{kCopyDone});
        QVERIFY(QDir(target).isEmpty());

        env->messages.clear();
        select({QStringLiteral("a.dwg")});
        form->Text2->setText(env->root() + QStringLiteral("/missing"));
        QTest::mouseClick(form->Command8, Qt::LeftButton);
        QCOMPARE(env->messages.size(), 1);
        QCOMPARE(env->messages.first().text, kNoDirectory);
        QCOMPARE(env->messages.first().icon, Platform::Icon::Error);
        QVERIFY(!QFile::exists(env->root() + QStringLiteral("/missing")));
    }

    void nonUtf8NameIsCopied()
    {
        startWith({});
        const QByteArray dir = QFile::encodeName(archive);
        const QByteArray name = "Gr\xfc\xdf" "e.dwg";
        const int fd = ::open((dir + '/' + name).constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "raw", 3), ssize_t(3));
        ::close(fd);
        QVERIFY(search(form, QStringLiteral("gr")));
        QCOMPARE(form->hitModel()->count(), 1);
        QTest::mouseClick(form->List1->viewport(), Qt::LeftButton, Qt::NoModifier, rowCenter(form, 0));
        QCOMPARE(form->Label10->text(), QStringLiteral("Datentyp: .dwg"));
        form->Text2->setText(target);
        QTest::mouseClick(form->Command8, Qt::LeftButton);
        const QByteArray copied = QFile::encodeName(target) + '/' + name;
        struct stat st;
        QCOMPARE(::stat(copied.constData(), &st), 0);
        QCOMPARE(qint64(st.st_size), qint64(3));
        ::unlink(copied.constData());
        ::unlink((dir + '/' + name).constData());
    }

    void deleteAndMoveNeedTheInfoWindowsSwitch()
    {
        startWith({QStringLiteral("a.dwg")});
        clickHit(form, hit(QStringLiteral("a.dwg")));
        QVERIFY(!form->Command5->isVisible());
        QVERIFY(!form->cmd_move->isVisible());
        enableDeleteAndMove(form);
        QVERIFY(form->Command5->isVisible());
        QVERIFY(form->cmd_move->isVisible());
        QCOMPARE(form->Command5->toolTip(), QStringLiteral("Diese Schalffläche wurde im Administratorbereich aktiviert und ist beim nächsten Start wieder ausgeschaltet"));
    }

    void deleteResetsReadOnlyAndReportsTwice()
    {
        startWith({QStringLiteral("a.dwg")}, true);
        QVERIFY(QFile::setPermissions(hit(QStringLiteral("a.dwg")), QFile::ReadOwner));
        clickHit(form, hit(QStringLiteral("a.dwg")));
        QTest::mouseClick(form->Command5, Qt::LeftButton);
        QVERIFY(!QFile::exists(hit(QStringLiteral("a.dwg"))));
        QTest::mouseClick(form->Command5, Qt::LeftButton);
        QCOMPARE(env->messageTexts(), (QStringList{QStringLiteral("Datei ") + hit(QStringLiteral("a.dwg")) + QStringLiteral(" wurde gelöscht"),
                                                   QStringLiteral("Diese Datei wurde bereits gelöscht !")}));
        QCOMPARE(env->messages.at(0).icon, Platform::Icon::None);
        QCOMPARE(env->messages.at(1).icon, Platform::Icon::None);
        // The entry stays listed and still shows its details.
        QVERIFY(rowOf(form, hit(QStringLiteral("a.dwg"))) >= 0);
        QCOMPARE(form->Label8->text(), QStringLiteral("a"));
    }

    void directoryHitIsNeverRemoved_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QString>("text");
        QTest::newRow("delete") << false << QStringLiteral(" wird nicht gelöscht !");
        QTest::newRow("move") << true << QStringLiteral(" wird nicht verschoben !");
    }
    void directoryHitIsNeverRemoved()
    {
        QFETCH(bool, move);
        QFETCH(QString, text);
        startWith({QStringLiteral("plans/inner.dwg")}, true);
        const QString dir = hit(QStringLiteral("plans"));
        clickHit(form, dir);
        form->Text2->setText(target);
        QTest::mouseClick(move ? form->cmd_move : form->Command5, Qt::LeftButton);
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Verzeichnis ") + dir + text});
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/inner.dwg")));
    }

    void moveCopiesTheSelectionAndDeletesOnlyTheCurrentHit()
    {
        startWith({QStringLiteral("a.dwg"), QStringLiteral("b.dwg"), QStringLiteral("c.dwg")}, true);
        const QStringList inListOrder{form->hitModel()->path(0), form->hitModel()->path(1), form->hitModel()->path(2)};
        // Select all three, the first in list order clicked last: it is the current hit.
        clickHit(form, inListOrder.at(2));
        clickHit(form, inListOrder.at(1), Qt::ControlModifier);
        clickHit(form, inListOrder.at(0), Qt::ControlModifier);
        QCOMPARE(selectedPaths(form).size(), 3);
        form->Text2->setText(target);
        QTest::mouseClick(form->cmd_move, Qt::LeftButton);

        for (const QString &p : inListOrder)
            QVERIFY2(QFile::exists(copyOf(QFileInfo(p).fileName())), qPrintable(p));
        QVERIFY(!QFile::exists(inListOrder.at(0)));
        QVERIFY(QFile::exists(inListOrder.at(1)));
        QVERIFY(QFile::exists(inListOrder.at(2)));
        // The message names the target built last, that of the last selected entry in list order.
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Datei ") + inListOrder.at(0) + QStringLiteral(" wurde nach ")
                                                  + copyOf(QFileInfo(inListOrder.at(2)).fileName()) + QStringLiteral(" verschoben")});
        QCOMPARE(env->messages.first().icon, Platform::Icon::None);

        // A second move of the same hit finds no file.
        env->messages.clear();
        QTest::mouseClick(form->cmd_move, Qt::LeftButton);
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Datei existiert nicht !")});
    }

    void moveWithoutACopyDeletesNothing_data()
    {
        QTest::addColumn<bool>("targetTaken");
        QTest::newRow("name exists in the target") << true;
        QTest::newRow("current hit not selected") << false;
    }
    void moveWithoutACopyDeletesNothing()
    {
        QFETCH(bool, targetTaken);
        startWith({QStringLiteral("a.dwg"), QStringLiteral("b.dwg")}, true);
        if (targetTaken) {
            env->writeFile(QStringLiteral("target/a.dwg"), "someone else's");
            select({QStringLiteral("b.dwg"), QStringLiteral("a.dwg")});
        } else {
            select({QStringLiteral("b.dwg"), QStringLiteral("a.dwg")});
            clickHit(form, hit(QStringLiteral("a.dwg")), Qt::ControlModifier); // deselected, still current
        }
        QCOMPARE(form->currentHitPath(), hit(QStringLiteral("a.dwg")));
        form->Text2->setText(target);
        QTest::mouseClick(form->cmd_move, Qt::LeftButton);

        QCOMPARE(content(hit(QStringLiteral("a.dwg"))), QByteArray("a.dwg"));
        QCOMPARE(content(copyOf(QStringLiteral("b.dwg"))), QByteArray("b.dwg"));
        QCOMPARE(content(copyOf(QStringLiteral("a.dwg"))), targetTaken ? QByteArray("someone else's") : QByteArray("<missing>"));
        QCOMPARE(env->messages.size(), 1);
        QCOMPARE(env->messages.first().text, QStringLiteral("Datei ") + hit(QStringLiteral("a.dwg"))
                     + QStringLiteral(" wurde nicht gelöscht, weil keine Kopie nach ") + copyOf(QStringLiteral("a.dwg"))
                     + QStringLiteral(" angelegt wurde !"));
        QCOMPARE(env->messages.first().icon, Platform::Icon::Warning);
    }

    void moveToAMissingDirectoryDeletesNothing()
    {
        startWith({QStringLiteral("a.dwg")}, true);
        select({QStringLiteral("a.dwg")});
        form->Text2->setText(env->root() + QStringLiteral("/missing"));
        QTest::mouseClick(form->cmd_move, Qt::LeftButton);
        QCOMPARE(form->Text2->text(), env->root() + QStringLiteral("/missing/"));
        QCOMPARE(env->messageTexts(), QStringList{kNoDirectory});
        QVERIFY(QFile::exists(hit(QStringLiteral("a.dwg"))));
    }

    void failedDeleteIsNotReportedAsDone()
    {
        if (::geteuid() == 0)
            QSKIP("root deletes from a write-protected directory");
        startWith({QStringLiteral("a.dwg")}, true);
        clickHit(form, hit(QStringLiteral("a.dwg")));
        QVERIFY(QFile::setPermissions(archive, QFile::ReadOwner | QFile::ExeOwner));
        QTest::mouseClick(form->Command5, Qt::LeftButton);
        QCOMPARE(env->messageTexts(), QStringList{QStringLiteral("Datei ") + hit(QStringLiteral("a.dwg")) + QStringLiteral(" konnte nicht gelöscht werden !")});
        QVERIFY(QFile::exists(hit(QStringLiteral("a.dwg"))));
    }

    void chooserSetsTheTargetDirectory()
    {
        startWith({QStringLiteral("a.dwg")});
        const QString deeper = env->makeDir(QStringLiteral("target/deeper"));
        clickHit(form, hit(QStringLiteral("a.dwg")));
        form->Text2->setText(QStringLiteral("unchanged"));
        QVERIFY(!form->Frame2->isVisible());
        QTest::mouseClick(form->cmd_path, Qt::LeftButton);
        QVERIFY(form->Frame2->isVisible());
        QCOMPARE(form->Frame2->title(), QStringLiteral("Verzeichnis einstellen"));
        QTest::mouseClick(form->lbl_exit, Qt::LeftButton);
        QVERIFY(!form->Frame2->isVisible());
        QCOMPARE(form->Text2->text(), QStringLiteral("unchanged"));

        // Open "target", then its subdirectory, by double-clicks in the directory list.
        QTest::mouseClick(form->cmd_path, Qt::LeftButton);
        QVERIFY(form->Dir1->setPath(env->root()));
        for (const QString &name : {QStringLiteral("target"), QStringLiteral("deeper")}) {
            const QList<QListWidgetItem *> items = form->Dir1->findItems(name, Qt::MatchEndsWith);
            QCOMPARE(items.size(), 1);
            form->Dir1->scrollToItem(items.first());
            const QPoint at = form->Dir1->visualItemRect(items.first()).center();
            QTest::mouseClick(form->Dir1->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QCOMPARE(form->Dir1->path(), env->root() + (name == QStringLiteral("target") ? QString() : QStringLiteral("/target")));
            QTest::mouseDClick(form->Dir1->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        }
        QCOMPARE(form->Dir1->path(), deeper);
        QCOMPARE(form->Drive1->currentText(), QStorageInfo(deeper).rootPath());
        QTest::mouseClick(form->cmd_ok, Qt::LeftButton);
        QVERIFY(!form->Frame2->isVisible());
        QCOMPARE(form->Text2->text(), deeper + QLatin1Char('/'));

        // A root stays as it is.
        QTest::mouseClick(form->cmd_path, Qt::LeftButton);
        QVERIFY(form->Dir1->setPath(QStringLiteral("/")));
        QTest::mouseClick(form->cmd_ok, Qt::LeftButton);
        QCOMPARE(form->Text2->text(), QStringLiteral("/"));
    }

    void chooserListsVolumesAndRefusesOneThatIsGone()
    {
        startWith({QStringLiteral("a.dwg")});
        clickHit(form, hit(QStringLiteral("a.dwg")));
        QTest::mouseClick(form->cmd_path, Qt::LeftButton);
        QVERIFY(form->Drive1->findText(QStorageInfo::root().rootPath()) >= 0);
        QVERIFY(form->Dir1->setPath(archive));
        const QString before = form->Drive1->currentText();

        // A volume that disappears after the list was made is refused without a word.
        form->Drive1->addItem(QStringLiteral("/gone-volume"), QStringLiteral("/gone-volume"));
        form->Drive1->setCurrentIndex(form->Drive1->count() - 1);
        QCOMPARE(form->Drive1->currentText(), before);
        QCOMPARE(form->Dir1->path(), archive);
        QVERIFY(env->messages.isEmpty());

        // An available one opens its root; the drive list then follows the directory list.
        const QString other = env->makeDir(QStringLiteral("other"));
        form->Drive1->addItem(other, other);
        form->Drive1->setCurrentIndex(form->Drive1->count() - 1);
        QCOMPARE(form->Dir1->path(), other);
        QCOMPARE(form->Drive1->currentText(), QStorageInfo(other).rootPath());
    }

    void startPointsTheDirectoryListAtTheTarget_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("existing target") << true;
        QTest::newRow("missing target") << false;
    }
    void startPointsTheDirectoryListAtTheTarget()
    {
        QFETCH(bool, exists);
        const QString dir = exists ? env->makeDir(QStringLiteral("ziel")) : env->root() + QStringLiteral("/nicht-da");
        Settings::write(QStringLiteral("Text2.Text"), dir + QLatin1Char('/'));
        form = start(*env, {});
        QCOMPARE(form->Dir1->path(), exists ? dir : QDir::currentPath());
    }
};

QTEST_MAIN(TestForm1Copy)
#include "tst_form1_copy.moc"
