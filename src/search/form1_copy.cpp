// Copy, move and delete of hits into the target directory, and the drive and directory
// chooser that picks it.
#include "form1.h"

#include "app/accessibility.h"
#include "app/core/pathfunctions.h"
#include "app/platform.h"
#include "app/ui.h"
#include "app/clicklabel.h"
#include "app/dirlistbox.h"
#include "app/drivelist.h"
#include "app/controls.h"
#include "search/core/hitfileops.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

using Controls::button;
using Controls::label;

const QString kFileGone = QStringLiteral("Datei existiert nicht !");

// Keeps the busy pointer up while a loop runs without looking at the user's input.
class BusyPointer
{
public:
    BusyPointer() { Platform::setBusy(true); }
    ~BusyPointer() { Platform::setBusy(false); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

} // namespace

void Form1::buildCopyControls()
{
    Frame1 = Controls::make<QGroupBox>(this, "Frame1", 3060, 4920, 2775, 975, QStringLiteral("Kopierfunktion aktiv"));
    Ui::setColors(Frame1, Qt::white);
    Frame1->hide();

    Command8 = button(Frame1, "Command8", QStringLiteral("copy"), 120, 240, 675, 315);
    cmd_move = button(Frame1, "cmd_move", QStringLiteral("move"), 1020, 240, 675, 315);
    Command5 = button(Frame1, "Command5", QStringLiteral("delete"), 1920, 240, 675, 315);
    Command5->setToolTip(QStringLiteral("Diese Schalffläche wurde im Administratorbereich aktiviert "
                                        "und ist beim nächsten Start wieder ausgeschaltet"));
    Text2 = Controls::make<QLineEdit>(Frame1, "Text2", 120, 600, 2055, 285);
    A11y::name(Text2, QStringLiteral("Zielverzeichnis"));
    cmd_path = button(Frame1, "cmd_path", QStringLiteral(">>"), 2220, 600, 375, 255);
    for (QWidget *w : {static_cast<QWidget *>(Command8), static_cast<QWidget *>(cmd_move),
                       static_cast<QWidget *>(Command5), static_cast<QWidget *>(Text2),
                       static_cast<QWidget *>(cmd_path)})
        w->hide();
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(cmd_move, &QPushButton::clicked, this, &Form1::cmd_move_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(cmd_path, &QPushButton::clicked, this, &Form1::cmd_path_Click);

    // The chooser is framed by its four lines and headed by Label15; its caption is not drawn
    // (it would sit on the heading and under the left line) but names it for screen readers.
    Frame2 = Controls::make<QFrame>(this, "Frame2", 5880, 2580, 2535, 3315);
    A11y::name(Frame2, QStringLiteral("Verzeichnis einstellen"));
    Ui::setColors(Frame2, QColor(255, 224, 192));
    Frame2->hide();
    Label15 = label(Frame2, "Label15", QStringLiteral("Verzeichnis festlegen :"), 180, 120, 1755, 255);
    lbl_exit = label<ClickLabel>(Frame2, "lbl_exit", QStringLiteral("X"), 2280, 60, 195, 255);
    lbl_exit->setCursor(Qt::PointingHandCursor);
    lbl_exit->makeButton();
    A11y::name(lbl_exit, QStringLiteral("Schließen"));
    connect(lbl_exit, &ClickLabel::clicked, this, &Form1::lbl_exit_Click);
    Drive1 = Controls::make<DriveList>(Frame2, "Drive1", 120, 540, 2235, 315);
    A11y::name(Drive1, QStringLiteral("Laufwerk"));
    Dir1 = Controls::make<DirListBox>(Frame2, "Dir1", 120, 900, 2235, 1890);
    Label15->setBuddy(Dir1);
    A11y::name(Dir1, Label15->text());
    cmd_ok = button(Frame2, "cmd_ok", QStringLiteral("ok"), 720, 2880, 1155, 315);
    connect(cmd_ok, &QPushButton::clicked, this, &Form1::cmd_ok_Click);
    Line1 = Controls::line(Frame2, "Line1", 0, 0, 2520, 0);
    Line2 = Controls::line(Frame2, "Line2", 0, 3300, 2520, 0);
    Line3 = Controls::line(Frame2, "Line3", 0, 0, 0, 3300);
    Line4 = Controls::line(Frame2, "Line4", 2520, 0, 0, 3300);

    Dir1->setPath(QDir::currentPath());
    Drive1->showDriveOf(Dir1->path());
    connect(Dir1, &DirListBox::changed, this, &Form1::Dir1_Change);
    // A drive that is not ready is refused without a word.
    connect(Drive1, &DriveList::picked, this, &Form1::Drive1_Change);
}

QString Form1::TargetName(const QString &dir, const QString &hit)
{
    return dir + TrimBlanks(Zerlege(hit)) + GetExt(hit);
}

bool Form1::checkTargetDirectory(QString *dir)
{
    *dir = WithTrailingSeparator(Text2->text());
    if (*dir != Text2->text())
        Text2->setText(*dir);
    if (DirExists(*dir))
        return true;
    Platform::messageBox(QStringLiteral("Verzeichnis nicht verfügbar ! Geben Sie die richtige Form ein z.B.: C:\\temp\\ "),
                         Platform::Icon::Error);
    return false;
}

void Form1::Command8_Click()
{
    QString dir;
    if (!checkTargetDirectory(&dir))
        return;
    {
        BusyPointer busy;
        for (const QString &hit : selectedHits())
            HitFileOps::copyNoOverwrite(hit, TargetName(dir, hit)); // an existing name is skipped
    }
    Platform::messageBox(QStringLiteral("Kopiervorgang beendet"));
}

void Form1::cmd_move_Click()
{
    QString dir;
    if (!checkTargetDirectory(&dir))
        return;
    const QString current = currentHitPath();
    QString lastTarget;
    // The current hit may be deleted only when this very move made a full copy of it: its
    // copy fails when the name exists in the target, and it need not be selected at all.
    bool currentCopied = false;
    SafeFile::Identity currentRead; // the current hit as its copy read it
    bool copyOnDisk = false;
    {
        BusyPointer busy;
        for (const QString &hit : selectedHits()) {
            lastTarget = TargetName(dir, hit);
            SafeFile::Identity read;
            if (HitFileOps::copyNoOverwrite(hit, lastTarget, &read) && hit == current) {
                currentCopied = true;
                currentRead = read;
            }
        }
        // The copy's name, too, must survive a power loss before the source is gone.
        copyOnDisk = currentCopied && HitFileOps::syncFolder(dir);
    }

    // A folder is never moved; the move says of it what it says of a file that is gone.
    if (DirExists(current) || !FileExists(current)) {
        Platform::messageBox(kFileGone);
        return;
    }
    const QString currentTarget = TargetName(dir, current);
    if (!currentCopied) {
        Platform::messageBox(QStringLiteral("Datei ") + current + QStringLiteral(" wurde nicht gelöscht, weil keine Kopie nach ")
                                 + currentTarget + QStringLiteral(" angelegt wurde !"),
                             Platform::Icon::Warning);
        return;
    }
    if (!copyOnDisk) {
        Platform::messageBox(QStringLiteral("Datei ") + current + QStringLiteral(" wurde nicht gelöscht, weil die Kopie ")
                                 + currentTarget + QStringLiteral(" nicht sicher gespeichert werden konnte !"),
                             Platform::Icon::Error);
        return;
    }
    switch (HitFileOps::removeIfUnchanged(current, currentRead)) {
    case SafeFile::Removal::Changed:
        // Saved over or written to while it was copied: the copy holds the older content.
        Platform::messageBox(QStringLiteral("Datei ") + current
                                 + QStringLiteral(" wurde während des Verschiebens geändert und nicht gelöscht !\n")
                                 + currentTarget + QStringLiteral(" enthält den Stand vor der Änderung."),
                             Platform::Icon::Warning);
        return;
    case SafeFile::Removal::Failed:
        Platform::messageBox(QStringLiteral("Datei ") + current + QStringLiteral(" wurde nach ") + currentTarget
                                 + QStringLiteral(" kopiert, konnte aber nicht gelöscht werden !"),
                             Platform::Icon::Error);
        return;
    case SafeFile::Removal::Removed:
        break;
    }
    Platform::messageBox(QStringLiteral("Datei ") + current + QStringLiteral(" wurde nach ") + lastTarget
                         + QStringLiteral(" verschoben"));
}

void Form1::Command5_Click()
{
    const QString current = currentHitPath();
    if (DirExists(current)) {
        Platform::messageBox(QStringLiteral("Verzeichnis ") + current + QStringLiteral(" wird nicht gelöscht !"),
                             Platform::Icon::Warning);
        return;
    }
    if (!FileExists(current)) {
        Platform::messageBox(QStringLiteral("Diese Datei wurde bereits gelöscht !"));
        return;
    }
    if (!HitFileOps::removeFile(current)) {
        Platform::messageBox(QStringLiteral("Datei ") + current + QStringLiteral(" konnte nicht gelöscht werden !"),
                             Platform::Icon::Error);
        return;
    }
    Platform::messageBox(QStringLiteral("Datei ") + current + QStringLiteral(" wurde gelöscht"));
}

void Form1::cmd_path_Click()
{
    Drive1->refresh();
    Drive1->showDriveOf(Dir1->path());
    Frame2->show();
    Frame2->raise();
    Dir1->setFocus(); // a keyboard user goes on in the chooser
}

void Form1::lbl_exit_Click()
{
    closeChooser();
}

void Form1::closeChooser()
{
    // The focus goes back to the button that opened the chooser, not on to whatever follows.
    const bool hadFocus = Frame2->isAncestorOf(focusWidget());
    Frame2->hide();
    if (hadFocus)
        cmd_path->setFocus();
}

void Form1::cmd_ok_Click()
{
    closeChooser();
    // A root ("/") already ends with its separator and stays as it is.
    Text2->setText(WithTrailingSeparator(Dir1->path()));
}

void Form1::Drive1_Change()
{
    Dir1->setPath(Drive1->root());
}

void Form1::Dir1_Change()
{
    Drive1->showDriveOf(Dir1->path());
}
