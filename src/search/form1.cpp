#include "form1.h"

#include "app/accessibility.h"
#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"
#include "app/platform.h"
#include "app/core/settings.h"
#include "app/pictures.h"
#include "app/ui.h"
#include "cipher/handoff.h"
#include "app/controls.h"
#include "app/dirlistbox.h"
#include "app/drivelist.h"
#include "frmsplash.h"
#include "hitlistmodel.h"
#include "hitlistview.h"
#include "options/form2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString kSearchPathFile = QStringLiteral("suchpfad.txt");

using Controls::label;

void setBordered(QLabel *label)
{
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
}

} // namespace

Form1::Form1()
{
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Suchmaske für Zeichnungen und Dokumente"));
    setFont(Ui::designedFont());
    Ui::setColors(this, Qt::white);
    buildControls();
}

Form1::~Form1()
{
    endRunningSearch();
}

void Form1::buildControls()
{
    Label4 = label(this, "Label4", QStringLiteral("Tarvo"), 3780, -60, 2535, 1095);
    Label4->setFont(Ui::font(QStringLiteral("Times New Roman"), 48, true));
    Ui::setColors(Label4, QColor(), QColor(192, 192, 192));
    Label4->setAlignment(Qt::AlignCenter);
    Ui::fitLabel(Label4);

    Label2 = label(this, "Label2", QStringLiteral("Dokumentenbezeichnung"), 360, 300, 1695, 255);
    Ui::shrinkToFit(Label2, Ui::px(2100 - 360)); // "paste" starts at 2100

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setDuplicatesEnabled(true);
    // The history is a list to pick from: completing inline would make Enter search a longer
    // text than the one typed.
    Combo1->setCompleter(nullptr);
    Combo1->setFont(Ui::font(QStringLiteral("Arial"), 12, true));
    Ui::place(Combo1, 360, 600, 3135, 405);
    // The combo box holds the focus and hands keys to its line edit directly, past any filter
    // on the line edit; keys sent to the line edit itself come through the second filter.
    Combo1->installEventFilter(this);
    Combo1->lineEdit()->installEventFilter(this);

    Command3 = new QPushButton(QStringLiteral("Suche starten"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setFont(Ui::font(QStringLiteral("MS Sans Serif"), 9.75, true));
    Ui::place(Command3, 360, 1080, 2295, 495);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);

    cmdStop = new QPushButton(this);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    cmdStop->setToolTip(QStringLiteral("Suche anhalten"));
    Ui::place(cmdStop, 2820, 1080, 615, 495);
    cmdStop->setIcon(Pictures::stop(QSize(Ui::px(420), Ui::px(420))));
    cmdStop->setIconSize(QSize(Ui::px(420), Ui::px(420)));
    connect(cmdStop, &QPushButton::clicked, this, &Form1::cmdStop_Click);

    logo = label(this, "logo", QString(), 3840, 1680, 4290, 2925);
    logo->setPixmap(Pictures::logo(logo->size()));
    logo->setScaledContents(true);

    m_hits = new HitListModel(this);
    List1 = new HitListView(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setModel(m_hits);
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Ui::place(List1, 120, 1800, 9375, 2400);
    List1->hide();

    Label7 = label(this, "Label7", QStringLiteral("Treffer:"), 60, 5760, 615, 255);
    Label7->hide();
    Label6 = label(this, "Label6", QString(), 60, 6000, 1455, 255);
    setBordered(Label6);
    Label5 = label(this, "Label5", QStringLiteral("Suchverzeichnis:"), 1560, 5760, 1275, 255);
    Label1 = label(this, "Label1", QStringLiteral("//archiv/zeichnungen"), 1560, 6000, 7935, 255);
    setBordered(Label1);

    Label16 = label(this, "Label16", QStringLiteral("aktuelle Suchpfade:"), 1560, 6660, 1755, 255);
    List_path = Controls::make<QListWidget>(this, "List_path", 1560, 6900, 5355, 1425);

    Command4 = new QPushButton(this);
    Command4->setObjectName(QStringLiteral("Command4"));
    Command4->setToolTip(QStringLiteral("Programm beenden"));
    Ui::place(Command4, 8760, 5280, 735, 615);
    Command4->setIcon(Pictures::exitDoor(QSize(Ui::px(540), Ui::px(540))));
    Command4->setIconSize(QSize(Ui::px(540), Ui::px(540)));
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);

    buildHitControls();
    buildCopyControls();
    buildNotesControls();
    buildAccessibility();
}

void Form1::buildAccessibility()
{
    Label2->setBuddy(Combo1);
    A11y::name(Combo1, Label2->text());
    A11y::nameFromToolTip(cmdStop);
    A11y::nameFromToolTip(Command4);
    A11y::hideDecorative(logo);
    A11y::name(List1, QStringLiteral("Trefferliste"));
    Label16->setBuddy(List_path);
    A11y::name(List_path, Label16->text());
    // Tab follows the window from the search field down to the hit and its actions, then the
    // tools on the right; the exit button comes last.
    A11y::tabOrder({Combo1, Command3, cmdStop, List1, Label8, Command1, Command8, cmd_move,
                    Command5, Text2, cmd_path, Drive1, Dir1, cmd_ok, lbl_exit, cmd_paste,
                    cmd_format, Command2, Command6, img_putlisttoinfo, Command7, Text1, List_path,
                    Command4});
    // The search-path list below the start-up height and the notes panel right of the narrow
    // width are reached by Tab only while they can be seen.
    A11y::tabChainFollowsView(this);
    // Escape closes what lies open in front: the directory chooser (as its "X"), else the
    // no-hit notice, which need not have taken the focus from the search field.
    A11y::onEscape(this, [this] {
        if (Frame2->isVisible())
            lbl_exit_Click();
        else if (frmSplash *notice = frmSplash::existing())
            notice->close();
    });
}

void Form1::Form_Load()
{
    const QString logoPath = Platform::programFolder() + QDir::separator() + QStringLiteral("logo.gif");
    if (FileExists(logoPath)) {
        QPixmap picture(logoPath);
        if (!picture.isNull())
            logo->setPixmap(picture);
    }

    if (Form2 *f = Form2::existing())
        f->close();

    readpath();

    Combo1->setEditText(Settings::read(QStringLiteral("combo1.Text"), QStringLiteral("*")));
    Text2->setText(Settings::read(QStringLiteral("Text2.Text"), DefaultTargetDirectory()));
    Text1->setPlainText(Settings::read(QStringLiteral("Text1.Text"), QStringLiteral("Notizen")));

    infoWindow()->setCheck1Value(
        int(qint16(Settings::read(QStringLiteral("Check1.Value"), QStringLiteral("0")).toInt())));

    // 6800 is the outer height; the client area loses a title bar's height (about 465 twips),
    // which keeps the search-path list below the visible area.
    resize(Ui::px(9735), Ui::px(6800 - 465));
    Ui::centre(this);

    Label1->setText(List_path->count() > 0 ? List_path->item(0)->text() : QString());

    m_session = std::make_unique<SearchSession>(StopRequested);
    // Items are taken as they come; a drain that runs out of time queues the next one itself.
    m_session->setNotify([this] { QMetaObject::invokeMethod(this, &Form1::drain, Qt::QueuedConnection); });

    cmdStop->setEnabled(false);

    if (DirExists(Text2->text()))
        Dir1->setPath(Text2->text());

    // Keep this last: a file named on the command line goes to the cipher window, and a
    // decryption runs here, before the search window is shown.
    CommandLineHandOff();
}

void Form1::readpath()
{
    List_path->clear();
    const QString file = Platform::programFolder() + QDir::separator() + kSearchPathFile;
    if (!FileExists(file)) {
        QFile created(file);
        if (!created.open(QIODevice::WriteOnly)) {
            Platform::messageBox(
                QStringLiteral("Die Datei %1 kann nicht angelegt werden: %2\n"
                               "Das Programm läuft ohne Suchpfade weiter.")
                    .arg(QDir::toNativeSeparators(file), created.errorString()),
                Platform::Icon::Error);
            return;
        }
        created.close();
        Platform::messageBox(QStringLiteral("Bitte zunächst die Suchpfade eingeben ! "
                                            "Anschließend muß das Programm neu gestartet werden !"));
        infoWindow()->cmd_path_Click();
    }

    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = in.readAll();
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        const bool lastLine = end < 0;
        if (lastLine)
            end = content.size();
        qsizetype lineEnd = end;
        // CR LF and a bare LF both end a line.
        if (!lastLine && lineEnd > start && content.at(lineEnd - 1) == '\r')
            --lineEnd;
        List_path->addItem(NativePath::decode(content.constData() + start, lineEnd - start));
        start = end + 1;
    }
}

QStringList Form1::searchPaths() const
{
    QStringList paths;
    for (int i = 0; i < List_path->count(); ++i)
        paths.append(List_path->item(i)->text());
    return paths;
}

void Form1::setCopyFrameVisible(bool visible)
{
    Frame1->setVisible(visible);
}

Form2 *Form1::infoWindow()
{
    Form2 *info = Form2::instance([this](Form2 *loading) { listenTo(loading); });
    if (info != m_info) // loaded by someone else before
        listenTo(info);
    return info;
}

void Form1::listenTo(Form2 *info)
{
    m_info = info;
    connect(info, &Form2::copyOptionChanged, this, &Form1::setCopyFrameVisible);
    connect(info, &Form2::deleteAndMoveSwitchedOn, this, [this] {
        Command5->show();
        cmd_move->show();
    });
    connect(info, &Form2::unloaded, this, &Form1::readpath);
}

void Form1::saveSettings()
{
    Settings::write(QStringLiteral("combo1.Text"), Combo1->currentText());
    Settings::write(QStringLiteral("Text2.Text"), Text2->text());
    Settings::write(QStringLiteral("Text1.Text"), Text1->toPlainText());
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    endRunningSearch();
    saveSettings();
    if (Form2 *f = Form2::existing())
        f->close();
    // Hidden windows (a cipher window after a hand-off) must not keep the program running
    // unseen once the search window is gone.
    closeOtherWindows();
    event->accept();
}

void Form1::closeOtherWindows()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != this)
            w->close();
    }
}

void Form1::UnloadAllForms()
{
    closeOtherWindows();
    close();
}

void Form1::Command4_Click()
{
    saveSettings();
    UnloadAllForms();
    QCoreApplication::quit();
}
