// Hit details and opening: what a click, a double-click and the open button do with a hit,
// the name into the notes, and the context menu of the hit list.
#include "form1.h"

#include "app/accessibility.h"
#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"
#include "app/platform.h"
#include "app/ui.h"
#include "app/clicklabel.h"
#include "app/controls.h"
#include "search/core/hitfileops.h"
#include "hitlistmodel.h"
#include "options/form2.h"

#include <QAction>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include <functional>

namespace {

using Controls::detailColors;
using Controls::label;

// Guards the current hit, which delete and move act on: it changes only by a click or by
// moving with the keyboard. The right button opens the hit list's menu and nothing else, and
// the list taking the focus must not make its first entry current, as an item view does.
// Enter opens the current hit, as a double-click does.
class HitListGuard : public QObject
{
public:
    HitListGuard(QListView *list, std::function<void()> open)
        : QObject(list), m_list(list), m_open(std::move(open))
    {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (watched != m_list || (key != Qt::Key_Return && key != Qt::Key_Enter))
                return false;
            m_open();
            return true;
        }
        case QEvent::FocusIn:
            return watched == m_list && !m_list->currentIndex().isValid();
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            return watched != m_list
                && (mouse->button() == Qt::RightButton || mouse->buttons().testFlag(Qt::RightButton));
        }
        default:
            return false;
        }
    }

private:
    QListView *m_list;
    std::function<void()> m_open;
};

// A general date: the locale's short date and its time with seconds, without a time zone.
QString generalDate(const QDateTime &when)
{
    const QLocale locale;
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(when.time(), timeFormat.trimmed());
}

} // namespace

void Form1::buildHitControls()
{
    Label8 = label<ClickLabel>(this, "Label8", QString(), 5880, 4320, 3615, 255);
    detailColors(Label8);
    Label8->setCursor(Qt::PointingHandCursor);
    Label8->makeButton(ClickLabel::KeyAction::DoubleClick);
    Label8->setAccessibleDescription(QStringLiteral("Übernimmt den Namen in die Notizen"));
    Label8->hide();
    connect(Label8, &ClickLabel::doubleClicked, this, &Form1::Label8_DblClick);

    Label9 = label(this, "Label9", QString(), 240, 4620, 2775, 255);
    Label9->hide();
    Label10 = label(this, "Label10", QString(), 2580, 4320, 3315, 255);
    detailColors(Label10);
    Label10->hide();
    lbl_filetime = label(this, "lbl_filetime", QString(), 180, 4320, 2415, 255);
    detailColors(lbl_filetime);
    lbl_filetime->setToolTip(QStringLiteral("Dateidatum"));
    lbl_filetime->hide();
    Label3 = label(this, "Label3", QString(), 240, 4920, 2775, 255);
    Label3->hide();

    Command1 = Controls::button(this, "Command1", QStringLiteral("aufrufen"), 5880, 4680, 3615, 495);
    Command1->setFont(Ui::font(QStringLiteral("MS Sans Serif"), 8.25, true));
    Command1->hide();
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    // A click raises clicked(); moving with the keyboard changes the current entry. A click
    // that also changes the current entry runs the handler twice, which only redraws labels.
    connect(List1, &QListView::clicked, this, &Form1::List1_Click);
    connect(List1->selectionModel(), &QItemSelectionModel::currentChanged, this, &Form1::List1_Click);
    connect(List1, &QListView::doubleClicked, this, &Form1::List1_DblClick);

    new HitListGuard(List1, [this] { List1_DblClick(); });
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List1, &QWidget::customContextMenuRequested, this, &Form1::List1_ContextMenu);
    List1Menu = new QMenu(List1);
    List1Menu->setObjectName(QStringLiteral("List1Menu"));
    actOpen = List1Menu->addAction(QStringLiteral("aufrufen"), this, &Form1::Command1_Click);
    actOpen->setObjectName(QStringLiteral("actOpen"));
    actOpenFolder = List1Menu->addAction(QStringLiteral("Ordner öffnen"), this, &Form1::OpenHitFolder);
    actOpenFolder->setObjectName(QStringLiteral("actOpenFolder"));
    actCopyPaths = List1Menu->addAction(QStringLiteral("Pfad kopieren"), this, &Form1::CopyHitPaths);
    actCopyPaths->setObjectName(QStringLiteral("actCopyPaths"));
}

QString Form1::currentHitPath() const
{
    return Label3->text();
}

QString Form1::TrimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

bool Form1::takeCurrentHit()
{
    const QModelIndex current = List1->currentIndex();
    if (!current.isValid())
        return false;
    Label3->setText(m_hits->path(current.row()));
    return true;
}

void Form1::List1_Click()
{
    if (!takeCurrentHit())
        return;

    Command8->show();
    cmd_path->show();
    Text2->show();
    lbl_filetime->show();
    Command1->show();
    Label8->show();
    Label10->show();

    const QString hit = currentHitPath();
    // Name and type are shown readably, also when the name is no UTF-8.
    Label8->setText(NativePath::display(TrimBlanks(Zerlege(hit))));
    Label9->setText(NativePath::display(GetExt(hit)));
    Label10->setText(QStringLiteral("Datentyp: ") + Label9->text());

    Frame1->setVisible(infoWindow()->check1Value() != 0);

    // A hit deleted or moved since the search keeps its entry; it has no date any more.
    const QDateTime changed = HitFileOps::lastChange(hit);
    lbl_filetime->setText(changed.isValid() ? generalDate(changed) : QString());
}

void Form1::List1_DblClick()
{
    if (!takeCurrentHit())
        return;
    Command1->show();
    Platform::openFile(currentHitPath());
}

void Form1::Command1_Click()
{
    if (!currentHitPath().isEmpty())
        Platform::openFile(currentHitPath());
}

void Form1::Label8_DblClick()
{
    if (!isMaximized()) {
        resize(Ui::px(12315), height());
        A11y::keepOnScreen(this);
    }
    // Also after empty notes, so the first name follows an empty first line.
    appendNote(Label8->text());
}

void Form1::appendNote(const QString &line)
{
    QTextCursor cursor(Text1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n") + line);
}

void Form1::List1_ContextMenu(const QPoint &pos)
{
    const bool haveHit = !currentHitPath().isEmpty();
    actOpen->setEnabled(haveHit);
    actOpenFolder->setEnabled(haveHit);
    actCopyPaths->setEnabled(List1->selectionModel()->hasSelection());
    List1Menu->popup(List1->viewport()->mapToGlobal(pos));
}

void Form1::OpenHitFolder()
{
    const QString hit = currentHitPath();
    const qsizetype cut = hit.lastIndexOf(PathSeparator(), hit.endsWith(PathSeparator()) ? -2 : -1);
    if (cut < 0)
        return;
    QString folder = hit.left(cut);
    // A hit in a root directory keeps the root's separator ("/" or "C:\").
    if (folder.isEmpty() || folder.endsWith(QLatin1Char(':')))
        folder += PathSeparator();
    Platform::openFile(folder);
}

void Form1::CopyHitPaths()
{
    const QStringList paths = selectedHits();
    if (!paths.isEmpty())
        Platform::setClipboardText(paths.join(QLatin1Char('\n')));
}

QStringList Form1::selectedHits() const
{
    QModelIndexList rows = List1->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList paths;
    paths.reserve(rows.size());
    for (const QModelIndex &index : rows)
        paths.append(m_hits->path(index.row()));
    return paths;
}
