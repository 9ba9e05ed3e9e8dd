#include "frmmain.h"

#include "app/accessibility.h"
#include "app/controls.h"
#include "app/pathfunctions.h"
#include "app/platform.h"
#include "app/ui.h"
#include "cipher/filecipher.h"
#include "cipher/frm_file.h"
#include "cipher/frmpass.h"
#include "app/clicklabel.h"
#include "textcipher/frm_txtkrypt.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>

void CentreWindow(QWidget *window, const QWidget *owner)
{
    QPoint centre;
    if (owner && owner->isVisible())
        centre = owner->frameGeometry().center();
    else if (const QScreen *screen = QGuiApplication::primaryScreen())
        centre = screen->availableGeometry().center();
    else
        return;
    window->move(centre - window->rect().center());
}

// ---------------------------------------------------------------------------------------------
// Pictures

namespace {

// A sheet of paper with a folded corner in a 100 x 100 box.
void drawSheet(QPainter &p)
{
    QPainterPath sheet;
    sheet.moveTo(18, 4);
    sheet.lineTo(62, 4);
    sheet.lineTo(82, 24);
    sheet.lineTo(82, 96);
    sheet.lineTo(18, 96);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 2.5));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setBrush(QColor(210, 210, 210));
    p.drawPolygon(QPolygonF({QPointF(62, 4), QPointF(62, 24), QPointF(82, 24)}));
    p.setPen(QPen(QColor(150, 150, 150), 2));
    for (int y = 34; y <= 50; y += 8)
        p.drawLine(QPointF(28, y), QPointF(72, y));
}

// A padlock whose body sits in the lower part of the box; open shows the shackle lifted.
void drawLock(QPainter &p, bool open)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 90, 90), 7, Qt::SolidLine, Qt::RoundCap));
    QPainterPath shackle;
    const qreal lift = open ? 12 : 0;
    shackle.moveTo(38, 70 - lift);
    shackle.lineTo(38, 58 - lift);
    shackle.arcTo(QRectF(38, 44 - lift, 24, 28), 180, -180);
    shackle.lineTo(62, open ? 60 - lift : 70);
    p.drawPath(shackle);
    p.setPen(QPen(QColor(120, 80, 0), 2));
    p.setBrush(open ? QColor(120, 190, 90) : QColor(230, 170, 40));
    p.drawRoundedRect(QRectF(28, 68, 44, 28), 4, 4);
    p.setBrush(QColor(60, 40, 0));
    p.drawEllipse(QPointF(50, 80), 4, 4);
}

} // namespace

ClickLabel *CipherPicture(CipherPictureKind kind, QWidget *parent, int left, int top, int width,
                          int height)
{
    auto *picture = new ClickLabel(parent);
    Ui::place(picture, left, top, width, height);
    picture->setCursor(Qt::PointingHandCursor);
    picture->makeButton();

    QPixmap pixmap(picture->size());
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixmap.width() / 100.0, pixmap.height() / 100.0);
    switch (kind) {
    case CipherPictureKind::EncryptFile:
    case CipherPictureKind::DecryptFile:
        drawSheet(p);
        drawLock(p, kind == CipherPictureKind::DecryptFile);
        break;
    case CipherPictureKind::Confirm:
        p.setPen(QPen(QColor(0, 120, 0), 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(16, 52), QPointF(40, 78), QPointF(86, 20)}));
        break;
    case CipherPictureKind::Cancel:
        p.setPen(QPen(QColor(200, 0, 0), 16, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 18), QPointF(82, 82));
        p.drawLine(QPointF(82, 18), QPointF(18, 82));
        break;
    }
    p.end();
    picture->setPixmap(pixmap);
    return picture;
}

// ---------------------------------------------------------------------------------------------
// frmMain

void frmMain::showWindow()
{
    frmMain *w = instance();
    w->show();
    w->raise();
    w->activateWindow();
}

void frmMain::closeAll()
{
    if (frm_file *chooser = frm_file::existing())
        chooser->close();
    if (frmMain *w = existing())
        w->close();
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

    txtEnc = new QLineEdit(fmeEncode);
    txtEnc->setObjectName(QStringLiteral("txtEnc"));
    txtEnc->setReadOnly(true);
    Ui::place(txtEnc, 120, 1200, 3015, 285);

    img_file = CipherPicture(CipherPictureKind::EncryptFile, fmeEncode, 1320, 240, 750, 885);
    img_file->setObjectName(QStringLiteral("img_file"));
    img_file->setToolTip(QStringLiteral("Datei verschlüsseln"));

    fmeDecode = Controls::make<QGroupBox>(Frame1, "fmeDecode", 3420, 240, 3255, 1575, QStringLiteral("entschlüsseln"));

    txtDec = new QLineEdit(fmeDecode);
    txtDec->setObjectName(QStringLiteral("txtDec"));
    txtDec->setReadOnly(true);
    Ui::place(txtDec, 120, 1200, 3015, 285);

    img_decfile = CipherPicture(CipherPictureKind::DecryptFile, fmeDecode, 1320, 120, 750, 990);
    img_decfile->setObjectName(QStringLiteral("img_decfile"));
    img_decfile->setToolTip(QStringLiteral("Datei entschlüsseln"));

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
    CentreWindow(this, nullptr);
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
    if (frm_file *chooser = frm_file::existing())
        chooser->close();
    event->accept();
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
        frm_file::showChooser();
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
