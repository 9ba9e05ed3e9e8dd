// The notes panel and the small tools around the search field and the hit list.
#include "form1.h"

#include "app/accessibility.h"
#include "app/core/nativepath.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "app/ui.h"
#include "app/clicklabel.h"
#include "app/controls.h"
#include "options/form2.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

using Controls::button;
using Controls::label;

// Widths of the search window: narrow, and wide with the notes panel (by the notes button and
// by the name label). Only the exact narrow width counts as narrow.
constexpr int kNarrow = Ui::px(9735);
constexpr int kWide = Ui::px(12330);

} // namespace

void Form1::buildNotesControls()
{
    Command6 = button(this, "Command6", QStringLiteral("Notizen"), 8760, 1080, 675, 315);
    Command6->setToolTip(QStringLiteral("Notizen"));
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);

    Label14 = label(this, "Label14", QStringLiteral("Notizen"), 10320, 660, 1095, 495);
    Label14->setFont(Ui::font(QStringLiteral("Times New Roman"), 15.75, true));
    Ui::fitLabel(Label14);

    img_putlisttoinfo = Controls::pictureButton(this, "img_putlisttoinfo", Pictures::listToNotes,
                                                QStringLiteral("Markierung in die Liste kopieren"),
                                                9780, 1140, 480, 480);
    connect(img_putlisttoinfo, &ClickLabel::clicked, this, &Form1::img_putlisttoinfo_Click);

    Command7 = button(this, "Command7", QStringLiteral("Liste löschen"), 10620, 1260, 1335, 315);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Ui::place(Text1, 9780, 1680, 2235, 4215);
    Ui::setColors(Text1, QColor(255, 255, 192));
    // Tab moves on; a tab typed into the notes would only end up in the saved notes.
    Text1->setTabChangesFocus(true);
    Label14->setBuddy(Text1);

    cmd_paste = button(this, "cmd_paste", QStringLiteral("paste"), 2100, 300, 675, 255);
    connect(cmd_paste, &QPushButton::clicked, this, &Form1::cmd_paste_Click);
    cmd_format = button(this, "cmd_format", QStringLiteral("Format"), 2820, 300, 675, 255);
    connect(cmd_format, &QPushButton::clicked, this, &Form1::cmd_format_Click);

    Command2 = button(this, "Command2", QString(), 8760, 120, 735, 735);
    Command2->setIcon(Pictures::info(QSize(Ui::px(540), Ui::px(540))));
    Command2->setIconSize(QSize(Ui::px(540), Ui::px(540)));
    Command2->setToolTip(QStringLiteral("INFO"));
    Command2->setCursor(Qt::PointingHandCursor);
    A11y::nameFromToolTip(Command2);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
}

void Form1::Command6_Click()
{
    if (isMaximized())
        return;
    if (width() == kNarrow) {
        resize(kWide, height());
        A11y::keepOnScreen(this);
        Command6->setText(QStringLiteral("<<"));
        return;
    }
    Command6->setText(QStringLiteral(">>"));
    resize(kNarrow, height());
}

void Form1::img_putlisttoinfo_Click()
{
    const QStringList hits = selectedHits();
    if (hits.isEmpty())
        return;
    // One edit for the whole selection: empty notes start with the first path itself. The
    // notes are the user's text, kept as text: names that are no UTF-8 go in as shown.
    const QString lines = NativePath::display(hits.join(QLatin1Char('\n')));
    if (Text1->document()->isEmpty())
        Text1->setPlainText(lines);
    else
        appendNote(lines);
}

void Form1::Command7_Click()
{
    Text1->clear();
}

void Form1::cmd_paste_Click()
{
    Combo1->setEditText(Platform::clipboardText());
}

void Form1::cmd_format_Click()
{
    const QString text = Combo1->currentText();
    if (text.mid(3, 1) == QStringLiteral("-"))
        return;
    Combo1->setEditText(text.left(3) + QLatin1Char('-') + text.mid(3, 3) + QLatin1Char('-') + text.mid(6, 2));
}

void Form1::Command2_Click()
{
    Form2 *info = infoWindow();
    info->show();
    info->raise();
    info->activateWindow();
}
