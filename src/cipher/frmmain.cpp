#include "frmmain.h"

#include "app/accessibility.h"
#include "app/controls.h"
#include "app/core/pathfunctions.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "app/ui.h"
#include "cipher/core/filecipher.h"
#include "cipher/frm_file.h"
#include "cipher/frmpass.h"
#include "app/clicklabel.h"
#include "textcipher/frm_txtkrypt.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

// ---------------------------------------------------------------------------------------------
// frmMain

void frmMain::showWindow()
{
    frmMain *w = instance();
    w->show();
    w->raise();
    w->activateWindow();
}

void frmMain::setFileToEncrypt(const QString &path)
{
    txtEnc->setText(path);
}

void frmMain::setFileToDecrypt(const QString &path)
{
    txtDec->setText(path);
}

frmMain::frmMain()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("D0C"));
    setFont(Ui::designedFont());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Ui::px(7125), Ui::px(2730));

    Frame1 = Controls::make<QGroupBox>(this, "Frame1", 120, 0, 6855, 2655);

    fmeEncode = Controls::make<QGroupBox>(Frame1, "fmeEncode", 60, 240, 3255, 1575, QStringLiteral("verschlüsseln"));

    txtEnc = Controls::make<QLineEdit>(fmeEncode, "txtEnc", 120, 1200, 3015, 285);
    txtEnc->setReadOnly(true);

    img_file = Controls::pictureButton(fmeEncode, "img_file", Pictures::encryptFile,
                                       QStringLiteral("Datei verschlüsseln"), 1320, 240, 750, 885);

    fmeDecode = Controls::make<QGroupBox>(Frame1, "fmeDecode", 3420, 240, 3255, 1575, QStringLiteral("entschlüsseln"));

    txtDec = Controls::make<QLineEdit>(fmeDecode, "txtDec", 120, 1200, 3015, 285);
    txtDec->setReadOnly(true);

    img_decfile = Controls::pictureButton(fmeDecode, "img_decfile", Pictures::decryptFile,
                                          QStringLiteral("Datei entschlüsseln"), 1320, 120, 750, 990);

    PBar = new QProgressBar(Frame1);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setRange(0, 1000);
    PBar->setValue(0);
    PBar->setTextVisible(false);
    Ui::place(PBar, 60, 1860, 6615, 255);

    cmd_txtKrypt = Controls::make<QPushButton>(Frame1, "cmd_txtKrypt", 60, 2160, 1515, 375, QStringLiteral("crypt a text"));

    cmd_Anz = Controls::make<QPushButton>(Frame1, "cmd_Anz", 1620, 2160, 1335, 375, QStringLiteral("Datei Anzeigen"));
    cmd_Anz->hide();

    lblstatus = new QLabel(Frame1);
    lblstatus->setObjectName(QStringLiteral("lblstatus"));
    lblstatus->setAlignment(Qt::AlignCenter);
    Ui::setReadableText(lblstatus, Qt::red);
    Ui::place(lblstatus, 3060, 2160, 2595, 195);

    cmd_exit = Controls::make<QPushButton>(Frame1, "cmd_exit", 5820, 2160, 855, 375, QStringLiteral("EXIT"));

    // Kept at the frame's lower edge, where it cannot be read.
    lbl_file = Controls::make<QLabel>(Frame1, "lbl_file", 60, 2640, 6735, 195);

    connect(img_file, &ClickLabel::clicked, this, &frmMain::img_file_Click);
    connect(img_decfile, &ClickLabel::clicked, this, &frmMain::img_decfile_Click);
    connect(cmd_Anz, &QPushButton::clicked, this, &frmMain::cmd_Anz_Click);
    connect(cmd_txtKrypt, &QPushButton::clicked, this, &frmMain::cmd_txtKrypt_Click);
    connect(cmd_exit, &QPushButton::clicked, this, &frmMain::cmd_exit_Click);

    buildAccessibility();
    Ui::centre(this);
}

void frmMain::buildAccessibility()
{
    // The path fields are filled by the chooser, the operations and the start-up only: they
    // look read-only, and the path in them can still be selected and copied.
    for (QLineEdit *field : {txtEnc, txtDec})
        Ui::lookReadOnly(field);
    A11y::name(txtEnc, QStringLiteral("Datei zum Verschlüsseln"));
    A11y::name(txtDec, QStringLiteral("Datei zum Entschlüsseln"));
    A11y::name(PBar, QStringLiteral("Fortschritt"));
    // Tab goes down each frame, picture first, and the window opens on the encrypt picture.
    A11y::tabOrder({img_file, txtEnc, img_decfile, txtDec, cmd_txtKrypt, cmd_Anz, cmd_exit});
    img_file->setFocus();
}

frmMain::~frmMain()
{
    m_keyCache.clear();
    release(this);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // The key must not outlive the window, and a chooser left open would start an operation
    // in a window nobody sees.
    m_keyCache.clear();
    release(this);
    if (m_chooser)
        m_chooser->close();
    event->accept();
}

void frmMain::openChooser()
{
    frm_file *chooser = frm_file::showChooser(this);
    if (m_chooser == chooser)
        return;
    m_chooser = chooser;
    connect(chooser, &frm_file::fileChosen, this, &frmMain::takeChosenFile);
    connect(chooser, &frm_file::driveUnavailable, this,
            [this] { lblstatus->setText(QStringLiteral("Laufwerk nicht verfügbar !")); });
}

void frmMain::takeChosenFile(frm_file::Mode mode, const QString &path)
{
    if (mode == frm_file::Mode::Decrypt) {
        txtDec->setText(path);
        Decode();
    } else {
        txtEnc->setText(path);
        Encode();
    }
}

void frmMain::img_file_Click()
{
    Encode();
}

void frmMain::img_decfile_Click()
{
    Decode();
}

void frmMain::cmd_Anz_Click()
{
    Platform::openFile(lbl_file->text());
}

void frmMain::cmd_txtKrypt_Click()
{
    frm_txtkrypt::showWindow();
}

void frmMain::cmd_exit_Click()
{
    close();
}

void frmMain::Encode()
{
    Run(Direction::Encrypt);
}

void frmMain::Decode()
{
    Run(Direction::Decrypt);
}

void frmMain::Run(Direction direction)
{
    // The events let through before the transformation must not start a second one.
    if (m_running)
        return;
    QPointer<frmMain> self(this);
    m_running = true;
    const auto finished = qScopeGuard([self] {
        if (self)
            self->m_running = false;
    });
    const bool encrypt = direction == Direction::Encrypt;
    frm_file::setMode(encrypt ? frm_file::Mode::Encrypt : frm_file::Mode::Decrypt);
    QLineEdit *sourceField = encrypt ? txtEnc : txtDec;
    QLineEdit *targetField = encrypt ? txtDec : txtEnc;
    const QString source = sourceField->text();
    if (!FileCipher::FileAvailable(source)) {
        openChooser();
        return;
    }

    if (!EnsureKey())
        return;
    const QString key = m_keyCache;
    QCoreApplication::processEvents();
    if (!self)
        return;

    // The plain name is the encrypted name less its last four characters, whatever they are.
    const QString target = encrypt ? source + QStringLiteral(".D0C")
                                   : source.left(qMax<qsizetype>(0, source.size() - 4));
    const QString targetFieldBefore = targetField->text();
    targetField->setText(target);

    Platform::setBusy(true);
    const FileCipher::Outcome outcome =
        FileCipher::Transform(source, target, key, [this](int permille) {
            PBar->setValue(permille);
            PBar->repaint();
        });
    Platform::setBusy(false);
    PBar->setValue(0);

    if (!outcome.ok) {
        // Nothing was written and the source is untouched; say so instead of a success text.
        targetField->setText(targetFieldBefore);
        lblstatus->clear();
        Platform::messageBox(outcome.error, Platform::Icon::Error);
        return;
    }

    // Another program may have saved a new version under the source's name meanwhile.
    const QString changed = QStringLiteral("Datei ") + source
        + (encrypt ? QStringLiteral(" wurde während der Verschlüsselung geändert und bleibt erhalten !\n")
                   : QStringLiteral(" wurde während der Entschlüsselung geändert und bleibt erhalten !\n"))
        + target + QStringLiteral(" enthält den Stand vor der Änderung.");
    if (encrypt) {
        if (!FileExists(source))
            return;
        RemoveSource(source, outcome.source, changed);
        if (!self)
            return;
        lblstatus->setText(QStringLiteral("Datei ist verschlüsselt"));
        cmd_Anz->hide();
        txtEnc->clear();
        return;
    }

    RemoveSource(source, outcome.source, changed);
    if (!self)
        return;
    lbl_file->setText(target);
    if (!Platform::arguments().isEmpty()) {
        Platform::openFile(target);
        txtEnc->setText(lbl_file->text());
    }
    txtDec->clear();
    lblstatus->setText(QStringLiteral("Datei ist entschlüsselt"));
    cmd_Anz->show();
}

bool frmMain::EnsureKey()
{
    if (m_keyCache.isEmpty()) {
        QPointer<frmMain> self(this);
        const QString key = frmPass::ask(this);
        if (!self)
            return false;
        m_keyCache = key;
    }
    return !m_keyCache.isEmpty();
}

void frmMain::RemoveSource(const QString &path, const SafeFile::Identity &read,
                           const QString &changedMessage)
{
    if (!FileCipher::FileAvailable(path))
        return;
    // Asked before the question about write protection, which would otherwise be about a file
    // that is not to be removed at all.
    if (!FileCipher::IsUnchanged(path, read)) {
        Platform::messageBox(changedMessage, Platform::Icon::Warning);
        return;
    }
    // Blanks written through a link would destroy the file it points to, under that file's
    // own name elsewhere, while only the link went away.
    const QFileInfo link(path);
    if (link.isSymLink()) {
        Platform::messageBox(QStringLiteral("Datei ") + path + QStringLiteral(" ist eine Verknüpfung auf ")
                                 + QDir::toNativeSeparators(link.symLinkTarget())
                                 + QStringLiteral(" und wird nicht gelöscht !"),
                             Platform::Icon::Warning);
        return;
    }
    if (FileCipher::IsReadOnly(path)) {
        const Platform::Answer answer =
            Platform::messageBox(QStringLiteral("Soll der Schreibschutz der Datei entfernt werden ?"),
                                 Platform::Icon::None, Platform::Buttons::YesNo);
        if (answer != Platform::Answer::Yes) {
            Platform::messageBox(
                QStringLiteral("Datei ist schreibgeschützt und kann nicht gelöscht werden"));
            return;
        }
        // The question may have stood open for a long time.
        if (!FileCipher::IsUnchanged(path, read)) {
            Platform::messageBox(changedMessage, Platform::Icon::Warning);
            return;
        }
        FileCipher::SetNormal(path);
    }
    switch (FileCipher::WipeFile(path, read)) {
    case SafeFile::Removal::Removed:
        break;
    case SafeFile::Removal::Changed:
        Platform::messageBox(changedMessage, Platform::Icon::Warning);
        break;
    case SafeFile::Removal::Failed:
        // The result is safe already; but the user must learn that the source is still there.
        Platform::messageBox(QStringLiteral("Datei ") + path
                                 + QStringLiteral(" konnte nicht gelöscht werden !"),
                             Platform::Icon::Error);
        break;
    }
}
