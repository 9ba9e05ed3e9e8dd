#include "frm_txtkrypt.h"

#include "app/accessibility.h"
#include "app/controls.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "app/ui.h"
#include "app/clicklabel.h"
#include "textcipher/core/hexdump.h"
#include "textcipher/longlinetextedit.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

namespace {

constexpr qint32 kAll = 2147483647;
constexpr int kClientWidth = 7875;
constexpr int kClientHeight = 5865;

// The character code a key brings to a text box, or -1 for keys that type nothing (Shift,
// arrows) and for Tab, which moves the focus instead.
int keyAscii(const QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return -1;
    default:
        return e->text().isEmpty() ? -1 : e->text().at(0).unicode();
    }
}

// The small captions under the picture buttons.
QLabel *caption(QWidget *parent, const char *name, const QString &text, int left, int top,
                int width, int height)
{
    QLabel *label = Controls::make<QLabel>(parent, name, left, top, width, height, text);
    label->setFont(Ui::font(QStringLiteral("Times New Roman"), 6));
    return label;
}

} // namespace

frm_txtkrypt *frm_txtkrypt::showWindow()
{
    frm_txtkrypt *w = instance();
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

frm_txtkrypt::frm_txtkrypt()
    : QWidget(nullptr)
{
    setObjectName(QStringLiteral("frm_txtkrypt"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ZuraRudud"));
    setFont(Ui::font(QStringLiteral("MS Sans Serif"), 8));
    resize(Ui::px(kClientWidth), Ui::px(kClientHeight));

    auto *label1 = Controls::make<ClickLabel>(this, "Label1", 120, 0, 735, 255);
    label1->setText(QStringLiteral("password:"));
    label1->setCursor(Qt::PointingHandCursor);
    connect(label1, &ClickLabel::clicked, this, &frm_txtkrypt::Label1_Click);
    Label1 = label1;

    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    // Masked with "*" whatever the platform style would use (42 is '*').
    txtPassword->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->installEventFilter(this);
    Ui::place(txtPassword, 120, 240, 2295, 285);

    lblstatus = new QLabel(this);
    lblstatus->setObjectName(QStringLiteral("lblstatus"));
    lblstatus->setAlignment(Qt::AlignCenter);
    lblstatus->setFrameStyle(QFrame::Box | QFrame::Plain);
    lblstatus->setLineWidth(1);
    Ui::setColors(lblstatus, QColor(64, 64, 64), QColor(255, 128, 0));
    Ui::place(lblstatus, 2520, 240, 5295, 315);

    Frame1 = Controls::make<QGroupBox>(this, "Frame1", 60, 600, 7755, 5175, QStringLiteral("txt file"));
    Frame1->hide();

    cmdEncode = Controls::button(Frame1, "cmdEncode", QStringLiteral("Encode"), 120, 240, 1095, 615);
    cmdDecode = Controls::button(Frame1, "cmdDecode", QStringLiteral("Decode"), 1320, 240, 1095, 615);
    connect(cmdEncode, &QPushButton::clicked, this, &frm_txtkrypt::cmdEncode_Click);
    connect(cmdDecode, &QPushButton::clicked, this, &frm_txtkrypt::cmdDecode_Click);

    ClickLabel *img_clip = Controls::pictureButton(Frame1, "img_clip", Pictures::copy,
                                         QStringLiteral("copy to clipboard"), 2880, 240, 480, 480);
    connect(img_clip, &ClickLabel::clicked, this, &frm_txtkrypt::img_clip_Click);
    caption(Frame1, "Label3", QStringLiteral("copy to Clipboard"), 2520, 720, 1095, 255)
        ->setBuddy(img_clip);
    ClickLabel *img_paste =
        Controls::pictureButton(Frame1, "img_paste", Pictures::paste,
                      QStringLiteral("paste from clipboard"), 4020, 240, 480, 480);
    connect(img_paste, &ClickLabel::clicked, this, &frm_txtkrypt::img_paste_Click);
    caption(Frame1, "Label6", QStringLiteral("paste from clipboard"), 3660, 720, 1335, 255)
        ->setBuddy(img_paste);
    ClickLabel *img_clear = Controls::pictureButton(Frame1, "img_clear", Pictures::clear,
                                          QString(), 5040, 360, 240, 240);
    connect(img_clear, &ClickLabel::clicked, this, &frm_txtkrypt::img_clear_Click);
    caption(Frame1, "Label9", QStringLiteral("clear"), 5040, 720, 375, 255)->setBuddy(img_clear);
    ClickLabel *img_exit = Controls::pictureButton(Frame1, "img_exit", Pictures::exit,
                                         QStringLiteral("EXIT"), 7080, 300, 480, 480);
    connect(img_exit, &ClickLabel::clicked, this, &frm_txtkrypt::img_exit_Click);
    caption(Frame1, "Label7", QStringLiteral("quit"), 7200, 720, 315, 255)->setBuddy(img_exit);

    txtToEncode = new LongLineTextEdit(Frame1);
    txtToEncode->setObjectName(QStringLiteral("txtToEncode"));
    // Hex text lines up in columns, and its display pieces fill whole screen lines.
    QFont fixedPitch = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixedPitch.setPointSizeF(font().pointSizeF());
    txtToEncode->setFont(fixedPitch);
    txtToEncode->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtToEncode->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtToEncode->setTabChangesFocus(true);
    Ui::place(txtToEncode, 120, 960, 7455, 4095);
    A11y::name(txtToEncode, QStringLiteral("text"));

    // The paste question, over the working area.
    Frame_Quest = new QFrame(this);
    Frame_Quest->setObjectName(QStringLiteral("Frame_Quest"));
    Frame_Quest->setFrameStyle(QFrame::NoFrame);
    Ui::setColors(Frame_Quest, QColor(255, 255, 128), Qt::black);
    Ui::place(Frame_Quest, 1620, 2700, 4575, 1215);
    Controls::line(Frame_Quest, "Line1", 0, 0, 0, 1200);
    Controls::line(Frame_Quest, "Line2", 4560, 0, 0, 1200);
    Controls::line(Frame_Quest, "Line3", 0, 0, 4560, 0);
    Controls::line(Frame_Quest, "Line4", 0, 1200, 4575, 0);
    auto *label8 = new QLabel(QStringLiteral("Text in textbox will be lost ! Do you want to continue ?"),
                              Frame_Quest);
    label8->setObjectName(QStringLiteral("Label8"));
    Ui::place(label8, 360, 240, 3975, 255);
    // Its caption "!" is never shown; a screen reader announces the question instead.
    A11y::name(Frame_Quest, label8->text());
    cmd_yes = Controls::button(Frame_Quest, "cmd_yes", QStringLiteral("YES"), 360, 600, 1695, 375);
    cmd_no = Controls::button(Frame_Quest, "cmd_no", QStringLiteral("NO"), 2460, 600, 1695, 375);
    connect(cmd_yes, &QPushButton::clicked, this, &frm_txtkrypt::cmd_yes_Click);
    connect(cmd_no, &QPushButton::clicked, this, &frm_txtkrypt::cmd_no_Click);
    Frame_Quest->hide();

    // The designed order first; the picture buttons and the caption that unmasks the password
    // follow it.
    label1->makeButton();
    label1->setAccessibleDescription(QStringLiteral("shows or hides the password"));
    label1->setBuddy(txtPassword);
    A11y::tabOrder({txtToEncode, cmdEncode, cmdDecode, txtPassword, cmd_no, cmd_yes, img_clip,
                    img_paste, img_clear, img_exit, label1});
}

void frm_txtkrypt::closeEvent(QCloseEvent *event)
{
    event->accept();
    release(this);
}

void frm_txtkrypt::Form_Load()
{
    // Unfold sideways from the left edge in 250-twip steps. The steps are counted from the
    // width the window reports once shown, so a window system that keeps a width of its own
    // cannot stall the loop.
    resize(0, height());
    show();
    const int frameWidth = frameGeometry().width() - width();
    const int w0 = (Ui::px(kClientWidth) + frameWidth) * 15;
    int w = frameGeometry().width() * 15;
    while (w < w0) {
        w += 250;
        resize(qMax(1, Ui::px(w) - frameWidth), height());
        repaint();
        QThread::msleep(15);
    }
    A11y::keepOnScreen(this);
    txtPassword->setFocus();
}

void frm_txtkrypt::txtPassword_KeyPress(int KeyAscii)
{
    const qsizetype length = txtPassword->text().size();
    if (length > 0 && KeyAscii == 13)
        Frame1->show();
    if (length < 5)
        lblstatus->setText(QStringLiteral("password to short"));
    else if (length < 7)
        lblstatus->setText(QStringLiteral("password´s could be better"));
    else
        lblstatus->setText(QStringLiteral("password length ok."));
}

bool frm_txtkrypt::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtPassword && event->type() == QEvent::KeyPress) {
        const int code = keyAscii(static_cast<QKeyEvent *>(event));
        if (code >= 0)
            txtPassword_KeyPress(code);
    }
    return QWidget::eventFilter(watched, event);
}

void frm_txtkrypt::Label1_Click()
{
    txtPassword->setEchoMode(txtPassword->echoMode() == QLineEdit::Password ? QLineEdit::Normal
                                                                            : QLineEdit::Password);
}

void frm_txtkrypt::cmdEncode_Click()
{
    const QString password = txtPassword->text();
    if (password.isEmpty()) {
        lblstatus->setText(QStringLiteral("please enter password !"));
        return;
    }
    const QString text = boxText();
    if (text.isEmpty()) {
        lblstatus->setText(QStringLiteral("kein Code zum verschlüsseln"));
    } else {
        lblstatus->setText(QStringLiteral("encoded"));
        setBoxText(modHexDump::StringToHex(EncodeString(text, password), 1, false, QString(),
                                           QString(), 4));
    }
    cmdEncode->setEnabled(false);
    cmdDecode->setEnabled(true);
}

void frm_txtkrypt::cmdDecode_Click()
{
    const QString password = txtPassword->text();
    if (password.isEmpty()) {
        lblstatus->setText(QStringLiteral("please enter password !"));
        return;
    }
    // Hex text that travelled by mail or document may come back in groups and lines. The box
    // shows the cleaned text only when nothing decodes; otherwise the decoded text takes its
    // place at once, so the cleaned text is not laid out in between.
    QString text = Replace(boxText(), QStringLiteral(" "), QString(), 1, kAll, 0);
    text = Replace(text, QStringLiteral("\r\n"), QString(), 1, kAll, 0);
    if (text.isEmpty()) {
        setBoxText(text);
        lblstatus->setText(QStringLiteral("kein Code zum entschlüsseln"));
    } else {
        lblstatus->setText(QStringLiteral("decoded"));
        setBoxText(DecodeString(modHexDump::HexToString(text, 1, false, QString(), QString()),
                                password));
    }
    cmdEncode->setEnabled(true);
    cmdDecode->setEnabled(false);
}

void frm_txtkrypt::img_clip_Click()
{
    Platform::setClipboardText(boxText());
}

void frm_txtkrypt::img_paste_Click()
{
    Frame_Quest->show();
    Frame_Quest->raise();
}

void frm_txtkrypt::cmd_yes_Click()
{
    setBoxText(Platform::clipboardText());
    Frame_Quest->hide();
}

void frm_txtkrypt::cmd_no_Click()
{
    Frame_Quest->hide();
}

void frm_txtkrypt::img_clear_Click()
{
    setBoxText(QString());
    cmdEncode->setEnabled(true);
    cmdDecode->setEnabled(true);
}

void frm_txtkrypt::img_exit_Click()
{
    close();
}

QString frm_txtkrypt::EncodeString(const QString &strToEncode, const QString &strPassword) const
{
    return TextCipher::EncodeString(strToEncode, strPassword);
}

QString frm_txtkrypt::DecodeString(const QString &strToDecode, const QString &strPassword) const
{
    return TextCipher::DecodeString(strToDecode, strPassword);
}

QString frm_txtkrypt::Replace(const QString &Text, const QString &sOld, const QString &sNew,
                              qint32 Start, qint32 Count, qint32 Compare)
{
    return m_replaceBuffer.Replace(Text, sOld, sNew, Start, Count, Compare);
}

QString frm_txtkrypt::boxText() const
{
    return txtToEncode->text();
}

void frm_txtkrypt::setBoxText(const QString &text)
{
    txtToEncode->setText(text);
}
