#include "frm_file.h"

#include "app/accessibility.h"
#include "app/controls.h"
#include "app/pathfunctions.h"
#include "app/platform.h"
#include "app/ui.h"
#include "cipher/filecipher.h"
#include "cipher/frmmain.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>

// ---------------------------------------------------------------------------------------------
// FileList

FileList::FileList(const QString &pattern, QWidget *parent)
    : QListWidget(parent), m_pattern(pattern)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void FileList::setPath(const QString &path)
{
    m_path = path;
    clear();
    QDir dir(path);
    if (!m_pattern.isEmpty())
        dir.setNameFilters({m_pattern}); // matched without regard to case
    addItems(dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

QString FileList::selectedFileName() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

QListWidgetItem *FileList::itemForName(const QString &name) const
{
    const QList<QListWidgetItem *> found = findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

// ---------------------------------------------------------------------------------------------
// frm_file

frm_file::Mode frm_file::s_mode = frm_file::Mode::Decrypt;

void frm_file::setMode(Mode mode)
{
    s_mode = mode;
    if (s_window)
        s_window->ApplyMode();
}

frm_file::Mode frm_file::mode()
{
    return s_mode;
}

void frm_file::showChooser()
{
    frm_file *chooser = instance();
    chooser->ApplyMode();
    if (!chooser->isVisible())
        Ui::centre(chooser, frmMain::existing());
    chooser->show();
    chooser->raise();
    chooser->activateWindow();
}

frm_file::frm_file()
{
    setObjectName(QStringLiteral("frm_file"));
    setWindowTitle(QStringLiteral("Datei"));
    setFont(Ui::designedFont());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Ui::px(4710), Ui::px(3240));

    Drive_encode = Controls::make<QComboBox>(this, "Drive_encode", 120, 180, 1695, 315);

    Dir_encode = Controls::make<DirListBox>(this, "Dir_encode", 120, 540, 1695, 2115);

    fme_decode = Controls::make<QGroupBox>(this, "fme_decode", 1860, 180, 2775, 3015, QStringLiteral("Datei zum Entschlüsseln"));
    fme_decode->hide();

    File_decode = new FileList(QStringLiteral("*.D0C"), fme_decode);
    File_decode->setObjectName(QStringLiteral("File_decode"));
    Ui::setColors(File_decode, QColor(255, 224, 192));
    Ui::place(File_decode, 60, 180, 2655, 2430);

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

    FillDrives();
    // A current folder removed meanwhile leaves the drive's root to start from.
    if (!Dir_encode->setPath(QDir::currentPath()))
        Dir_encode->setPath(Drive_encode->currentData().toString());
    connect(Drive_encode, &QComboBox::currentIndexChanged, this, &frm_file::Drive_encode_Change);
}

frm_file::~frm_file()
{
    release(this);
}

void frm_file::FillDrives()
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath()))
            roots.append(volume.rootPath());
    }
    const QString current = QStorageInfo(QDir::currentPath()).rootPath();
    if (!current.isEmpty() && !roots.contains(current))
        roots.append(current);
    roots.sort();
    for (const QString &root : std::as_const(roots))
        Drive_encode->addItem(root, root);
    m_driveIndex = Drive_encode->findData(current);
    Drive_encode->setCurrentIndex(m_driveIndex);
}

void frm_file::ApplyMode()
{
    fme_decode->setVisible(s_mode == Mode::Decrypt);
    fme_encode->setVisible(s_mode == Mode::Encrypt);
}

void frm_file::Drive_encode_Change()
{
    const QString root = Drive_encode->currentData().toString();
    if (!DirExists(root)) {
        frmMain::instance()->lblstatus->setText(QStringLiteral("Laufwerk nicht verfügbar !"));
        // Stay where the lists are.
        const QSignalBlocker block(Drive_encode);
        Drive_encode->setCurrentIndex(m_driveIndex);
        return;
    }
    m_driveIndex = Drive_encode->currentIndex();
    Dir_encode->setPath(root);
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
    frmMain *cipher = frmMain::instance();
    (decrypt ? cipher->txtDec : cipher->txtEnc)->setText(path);
    lbl_file->setText(name);
    hide();

    QPointer<frm_file> self(this);
    if (decrypt)
        cipher->Decode();
    else
        cipher->Encode();
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
