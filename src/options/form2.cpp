#include "form2.h"

#include "app/accessibility.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "app/core/settings.h"
#include "app/ui.h"
#include "cipher/frmmain.h"
#include "app/clicklabel.h"
#include "app/controls.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

namespace {

// Placeholders of this project for the author links.
const QString kAuthor = QStringLiteral("Tarvo-Team, 21.02.2006");
const QString kMail = QStringLiteral("tarvo@example.org");
const QString kWeb = QStringLiteral("https://tarvo.example.org");

using Controls::button;
using Controls::label;

void makeLink(ClickLabel *link)
{
    QFont f = link->font();
    f.setUnderline(true);
    link->setFont(f);
    Ui::setReadableText(link, Qt::blue);
    link->setCursor(Qt::PointingHandCursor);
    link->makeLink();
}

} // namespace

QString Form2::helpText()
{
    static const QStringList lines{
        QStringLiteral("Dieses Programm dient zur schnellen Suche von "),
        QStringLiteral("Zeichnungsdateien und anderen Dokumenten an fest eingestellten Such-Orten. "),
        QStringLiteral("Die gefundene Datei kann entweder mit einem "),
        QStringLiteral("Doppelklick aus dem Listenfeld heraus oder mit einem "),
        QStringLiteral("einfachen Klick auf den Knopf \"diese Zeichnung "),
        QStringLiteral("anzeigen\" betrachtet werden. Es wird dann das "),
        QStringLiteral("entsprechende Betrachtungsprogramm gestartet.Um "),
        QStringLiteral("nach einer Zeichnung zu suchen geben Sie bitte "),
        QStringLiteral("zuerst im Feld \"Zeichnungsnummer\" die gesuchte "),
        QStringLiteral("Nummer oder einen Teil der Nummer ein."),
        QStringLiteral("Ein Eingabetext könnte beispielsweise 387-123-05 "),
        QStringLiteral("oder 387-123 lauten."),
        QStringLiteral("Führt diese Eingabe nicht zum Erfolg, so ist es auch "),
        QStringLiteral("möglich, daß die Datei unter der Bezeichnung "),
        QStringLiteral("387_123_05 abgelegt ist."),
        QStringLiteral("Dabei kann auch auf die Verwendung des Platzhalters "),
        QStringLiteral("\"?\" zurückgegriffen werden, also z.B. 387?123?05. "),
        QStringLiteral("Ebenso ist es möglich z.B. mit dem Platzhalter \"*\" in "),
        QStringLiteral("folgender Weise zu suchen: \"*123\"."),
        QStringLiteral("Ein Doppelklick auf den Zeichnungsnamen unter dem "),
        QStringLiteral("Listenfeld übernimmt den Zeichnungsnamen in ein "),
        QStringLiteral("Notizfeld. Dort können die Nummern über das "),
        QStringLiteral("Kontextmenü der rechten Maustaste weiterverarbeitet "),
        QStringLiteral("werden."),
        QString(),
        QStringLiteral("Nutzungsbedingungen: Tarvo wird ohne Gewähr bereitgestellt. "),
        QStringLiteral("Die Nutzung erfolgt auf eigene Verantwortung. Für Schäden "),
        QStringLiteral("durch kopierte, verschobene oder gelöschte Dateien wird "),
        QStringLiteral("keine Haftung übernommen; legen Sie vor dem Verschieben "),
        QStringLiteral("oder Löschen eine Sicherung an."),
    };
    return lines.join(QStringLiteral("\r\n"));
}

Form2::Form2()
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("INFO"));
    setFont(Ui::designedFont());
    buildControls();
}

void Form2::buildControls()
{
    Label1 = label(this, "Label1", QStringLiteral("Tarvo 6.2"), 120, 120, 1335, 375);
    Label1->setFont(Ui::font(QStringLiteral("MS Sans Serif"), 12, true));
    Ui::fitLabel(Label1);

    lbl_Click = label<ClickLabel>(this, "lbl_Click", QString(), 1500, 180, 2715, 375);
    connect(lbl_Click, &ClickLabel::doubleClicked, this, &Form2::lbl_Click_DblClick);

    Label6 = label(this, "Label6", QStringLiteral("Details:"), 120, 480, 855, 255);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Ui::place(Text1, 120, 720, 4215, 1695);
    Text1->setPlainText(helpText());

    Frame1 = Controls::make<QGroupBox>(this, "Frame1", 120, 2580, 4215, 3375, QStringLiteral("Optionen"));

    Check1 = Controls::make<QCheckBox>(Frame1, "Check1", 120, 240, 1275, 255, QStringLiteral("Copy Button"));
    Check1->setChecked(true); // ticked in the design, before a stored value applies
    connect(Check1, &QCheckBox::stateChanged, this, &Form2::Check1_Click);

    Command1 = button(Frame1, "Command1", QStringLiteral("Löschfunktion aktivieren"), 120, 600, 2415, 375);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    cmd_path = button(Frame1, "cmd_path", QStringLiteral("Suchpfade ändern"), 120, 1020, 2415, 375);
    connect(cmd_path, &QPushButton::clicked, this, &Form2::cmd_path_Click);

    Image5 = label(Frame1, "Image5", QString(), 2880, 120, 1350, 3225);
    Image5->setPixmap(Pictures::sheets(Image5->size()));
    Image4 = label(Frame1, "Image4", QString(), 1320, 1620, 1500, 1185);
    Image4->setPixmap(Pictures::envelope(Image4->size()));
    Image4->hide();

    Label11 = label<ClickLabel>(Frame1, "Label11", kMail, 1020, 2820, 1815, 255);
    makeLink(Label11);
    Label11->hide();
    connect(Label11, &ClickLabel::clicked, this, &Form2::Label11_Click);
    Label10 = label<ClickLabel>(Frame1, "Label10", kWeb, 60, 3060, 2835, 255);
    makeLink(Label10);
    Label10->hide();
    connect(Label10, &ClickLabel::clicked, this, &Form2::Label10_Click);

    Label3 = label<ClickLabel>(this, "Label3", kAuthor, 120, 6000, 2055, 255);
    Ui::setReadableText(Label3, Qt::gray);
    Label3->setCursor(Qt::PointingHandCursor);
    connect(Label3, &ClickLabel::clicked, this, &Form2::Label3_Click);

    Image1 = label(this, "Image1", QString(), 4500, 3120, 1635, 2490);
    Image1->setPixmap(Pictures::drawingBoard(Image1->size()));
    Image1->hide();

    cmd_exit = button(this, "cmd_exit", QStringLiteral("ok"), 3360, 6060, 975, 375);
    connect(cmd_exit, &QPushButton::clicked, this, &Form2::cmd_exit_Click);

    buildAccessibility();
}

void Form2::buildAccessibility()
{
    // The spot next to the title opens the file cipher on a double-click; Tab reaches it and
    // Space or Enter open it too.
    lbl_Click->makeButton(ClickLabel::KeyAction::DoubleClick);
    A11y::name(lbl_Click, QStringLiteral("Dateiverschlüsselung"));
    Label3->makeButton();
    Label6->setBuddy(Text1);
    Text1->setTabChangesFocus(true); // Tab must not trap the focus in the help text
    // The window opens with the focus on the help text, as before; the spot comes last.
    A11y::tabOrder(
        {Text1, Check1, Command1, cmd_path, Label11, Label10, Label3, cmd_exit, lbl_Click});
    Text1->setFocus();
    for (QLabel *picture : {Image5, Image4, Image1})
        A11y::hideDecorative(picture);
    A11y::onEscape(this, [this] { cmd_exit_Click(); });
}

void Form2::Form_Load()
{
    resize(Ui::px(4545), Ui::px(6540));
    setCheck1Value(int(qint16(Settings::read(QStringLiteral("Check1.Value"), QStringLiteral("1")).toInt())));
}

int Form2::check1Value() const
{
    return Check1->isChecked() ? 1 : 0;
}

void Form2::setCheck1Value(int value)
{
    Check1->setChecked(value != 0);
}

void Form2::Check1_Click()
{
    Settings::write(QStringLiteral("Check1.Value"), QString::number(check1Value()));
    emit copyOptionChanged(check1Value() != 0);
}

void Form2::Command1_Click()
{
    emit deleteAndMoveSwitchedOn();
    Command1->hide();
}

bool Form2::ShellExec(const QString &file, int showState, const QString &operation)
{
    Q_UNUSED(showState)
    // The desktop offers only its default action for a file or link.
    if (!operation.isEmpty() && operation != QStringLiteral("open"))
        return false;
    const QUrl url(file, QUrl::StrictMode);
    // A scheme of one letter is a Windows drive, not a link.
    if (url.isValid() && url.scheme().size() > 1)
        return Platform::openUrl(url);
    return Platform::openFile(file);
}

void Form2::cmd_path_Click()
{
    ShellExec(Platform::programFolder() + QDir::separator() + QStringLiteral("suchpfad.txt"), 1,
              QStringLiteral("open"));
}

void Form2::cmd_exit_Click()
{
    close();
}

void Form2::Label3_Click()
{
    Label11->show();
    Label10->show();
    Image4->show();
    resize(Ui::px(6420), height());
    A11y::keepOnScreen(this);
    Image1->show();
}

void Form2::Label10_Click()
{
    ShellExec(kWeb, 1, QStringLiteral("open"));
}

void Form2::Label11_Click()
{
    ShellExec(QStringLiteral("mailto:") + kMail, 1, QStringLiteral("open"));
}

void Form2::lbl_Click_DblClick()
{
    frmMain::showWindow();
    close();
}

void Form2::closeEvent(QCloseEvent *event)
{
    event->accept();
    release(this);
    Form_Unload();
}

void Form2::Form_Unload()
{
    emit unloaded();
}
