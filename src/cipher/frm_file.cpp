#include "frm_file.h"

#include "app/accessibility.h"
#include "app/controls.h"
#include "app/dirlistbox.h"
#include "app/drivelist.h"
#include "app/filelist.h"
#include "app/core/pathfunctions.h"
#include "app/platform.h"
#include "app/ui.h"
#include "cipher/core/filecipher.h"

#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

frm_file::Mode frm_file::s_mode = frm_file::Mode::Decrypt;

void frm_file::setMode(Mode mode)
{
    s_mode = mode;
    if (s_window)
        s_window->ApplyMode();
}

frm_file *frm_file::showChooser(QWidget *owner)
{
    frm_file *chooser = instance();
    chooser->ApplyMode();
    if (!chooser->isVisible())
        Ui::centre(chooser, owner);
    chooser->show();
    chooser->raise();
    chooser->activateWindow();
    return chooser;
}

frm_file::frm_file()
{
    setObjectName(QStringLiteral("frm_file"));
    setWindowTitle(QStringLiteral("Datei"));
    setFont(Ui::designedFont());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Ui::px(4710), Ui::px(3240));

    Drive_encode = Controls::make<DriveList>(this, "Drive_encode", 120, 180, 1695, 315);

    Dir_encode = Controls::make<DirListBox>(this, "Dir_encode", 120, 540, 1695, 2115);

    fme_decode = Controls::make<QGroupBox>(this, "fme_decode", 1860, 180, 2775, 3015, QStringLiteral("Datei zum Entschlüsseln"));
    fme_decode->hide();

    File_decode = Controls::make<FileList>(fme_decode, "File_decode", 60, 180, 2655, 2430, QStringLiteral("*.D0C"));
    Ui::setColors(File_decode, QColor(255, 224, 192));

    cmd_okfiledecode = Controls::make<QPushButton>(fme_decode, "cmd_okfiledecode", 60, 2640, 2655, 315, QStringLiteral("ok"));

    fme_encode = Controls::make<QGroupBox>(this, "fme_encode", 1860, 180, 2775, 3015, QStringLiteral("Datei zum Verschlüsseln"));
    fme_encode->hide();

    File_encode = Controls::make<FileList>(fme_encode, "File_encode", 60, 180, 2655, 2430, QString());

    cmd_okfileencode = Controls::make<QPushButton>(fme_encode, "cmd_okfileencode", 60, 2640, 2655, 315, QStringLiteral("ok"));

    // Below the visible area: it only remembers the name picked last.
    lbl_file = Controls::make<QLabel>(this, "lbl_file", 120, 3300, 4455, 255);

    A11y::name(Drive_encode, QStringLiteral("Laufwerk"));
    A11y::name(Dir_encode, QStringLiteral("Verzeichnis"));
    A11y::name(File_decode, fme_decode->title());
    A11y::name(File_encode, fme_encode->title());
    // Escape closes the chooser as its close box does: without a file picked.
    A11y::onEscape(this, [this] { close(); });

    connect(Dir_encode, &DirListBox::changed, this, &frm_file::Dir_encode_Change);
    connect(cmd_okfiledecode, &QPushButton::clicked, this, &frm_file::cmd_okfiledecode_Click);
    connect(cmd_okfileencode, &QPushButton::clicked, this, &frm_file::cmd_okfileencode_Click);

    // A current folder removed meanwhile leaves its drive's root to start from.
    Drive_encode->refresh();
    Drive_encode->showDriveOf(QDir::currentPath());
    if (!Dir_encode->setPath(QDir::currentPath()))
        Dir_encode->setPath(Drive_encode->root());
    connect(Drive_encode, &DriveList::picked, this, &frm_file::Drive_encode_Change);
    connect(Drive_encode, &DriveList::refused, this, &frm_file::driveUnavailable);
}

frm_file::~frm_file()
{
    release(this);
}

void frm_file::ApplyMode()
{
    fme_decode->setVisible(s_mode == Mode::Decrypt);
    fme_encode->setVisible(s_mode == Mode::Encrypt);
}

void frm_file::Drive_encode_Change()
{
    Dir_encode->setPath(Drive_encode->root());
}

void frm_file::Dir_encode_Change()
{
    File_decode->setPath(Dir_encode->path());
    File_encode->setPath(Dir_encode->path());
}

void frm_file::cmd_okfiledecode_Click()
{
    Confirm(Mode::Decrypt);
}

void frm_file::cmd_okfileencode_Click()
{
    Confirm(Mode::Encrypt);
}

void frm_file::Confirm(Mode mode)
{
    const bool decrypt = mode == Mode::Decrypt;
    const QString name = (decrypt ? File_decode : File_encode)->selectedFileName();
    QString path = WithTrailingSeparator(Dir_encode->path()) + name;
    if (name.isEmpty() || !FileCipher::FileAvailable(path))
        path.clear();
    lbl_file->setText(name);
    hide();

    QPointer<frm_file> self(this);
    emit fileChosen(mode, path);
    if (self)
        self->close();
}

void frm_file::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    release(this);
    event->accept();
}

void frm_file::Form_Unload()
{
    if (lbl_file->text().isEmpty())
        Platform::messageBox(QStringLiteral("Es wurde keine Datei ausgewählt !"));
}
