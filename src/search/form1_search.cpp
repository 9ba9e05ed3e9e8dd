// The search run of the search window: starting, the walk on its worker thread, delivery of
// hits to the list, stopping, and the end of a search.
#include "form1.h"

#include "app/platform.h"
#include "frmsplash.h"
#include "hitlistmodel.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

namespace {
// Longest stretch the event loop spends on delivering hits before it looks at input again.
constexpr qint64 kDrainBudgetMs = 12;
} // namespace

bool Form1::isSearching() const
{
    return m_searching;
}

void Form1::Command3_Click()
{
    startSearch();
    // A search still running removes its duplicates when it ends; doing it now would miss
    // the hits still to come.
    if (m_hits->count() > 0 && !m_searching)
        RemoveDuplicates();
}

void Form1::cmdStop_Click()
{
    StopRequested = true;
    m_session->requestStop();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Combo1 || watched == Combo1->lineEdit()) && event->type() == QEvent::KeyPress)
        return Combo1_KeyPress(static_cast<QKeyEvent *>(event));
    return QWidget::eventFilter(watched, event);
}

bool Form1::Combo1_KeyPress(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Navigation and modifier keys are no key presses of the field, nor is Tab passing through
    // it (which would clear the hit list's selection on the way).
    if ((!enter && event->text().isEmpty()) || event->key() == Qt::Key_Tab
        || event->key() == Qt::Key_Backtab)
        return false;

    if (enter)
        startSearch();
    // A search still running removes its duplicates when it ends.
    if (m_hits->count() > 0 && !m_searching)
        RemoveDuplicates();
    if (enter)
        return true;
    if (event->text() == QStringLiteral(",")) {
        // A search text never holds a comma: 12,5 becomes 12.5.
        Combo1->lineEdit()->insert(QStringLiteral("."));
        return true;
    }
    return false;
}

void Form1::startSearch()
{
    const QString text = Combo1->currentText();
    if (text.isEmpty())
        return;
    if (Combo1->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        Combo1->addItem(text);
    Combo1->setEditText(text);
    Combo1->lineEdit()->selectAll();
    RunSearch();
}

void Form1::RunSearch()
{
    // A new start ends a running walk first; its remaining hits are dropped with the list.
    endRunningSearch();

    Label8->hide();
    Label10->hide();
    logo->hide();
    m_hits->clear();
    List1->show();
    StopRequested = false;
    m_errors.clear();

    SearchSession::Query query = SearchSession::makeQuery(searchPaths(), Combo1->currentText());
    m_hitsDeduped = !query.mayRepeat;

    m_searching = true;
    m_session->start(std::move(query));
}

void Form1::drain()
{
    QElapsedTimer budget;
    budget.start();
    for (SearchSession::Item &item : m_session->take())
        m_backlog.push_back(std::move(item));

    while (!m_backlog.empty() && budget.elapsed() < kDrainBudgetMs) {
        SearchSession::Item item = std::move(m_backlog.front());
        m_backlog.pop_front();
        switch (item.kind) {
        case SearchSession::Item::Hits:
            m_hits->appendPacked(std::move(item.bytes), item.ends);
            m_session->recycle(std::move(item));
            break;
        case SearchSession::Item::PathStarted:
            // From the session: the list may have been read again since the start.
            Label1->setText(item.path);
            cmdStop->setEnabled(true);
            setBusy(true);
            break;
        case SearchSession::Item::PathFinished:
            setBusy(false);
            cmdStop->setEnabled(false);
            break;
        case SearchSession::Item::Error:
            m_errors.append(QString::fromUtf8(item.text.c_str()));
            break;
        case SearchSession::Item::Finished:
            finishSearch();
            return;
        }
    }
    // Input waiting behind this turn goes first; the rest follows without the timer's pause.
    if (!m_backlog.empty())
        QMetaObject::invokeMethod(this, &Form1::drain, Qt::QueuedConnection);
}

void Form1::finishSearch()
{
    m_session->join();
    m_backlog.clear();
    m_searching = false;

    Label7->show();
    const int count = m_hits->count();
    Label6->setText(QString::number(count));
    if (count > 0)
        RemoveDuplicates();

    // The walk goes on after a failed search path; each failure is told once at the end.
    m_errors.removeDuplicates();
    const QStringList errors = m_errors;
    m_errors.clear();

    if (count == 0)
        frmSplash::showNotice();
    emit searchFinished();
    for (const QString &error : errors)
        Platform::messageBox(error, Platform::Icon::Error);
}

void Form1::endRunningSearch()
{
    if (!m_searching)
        return;
    m_session->abort();
    m_backlog.clear();
    setBusy(false);
    cmdStop->setEnabled(false);
    m_searching = false;
}

void Form1::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    Platform::setBusy(busy);
}

void Form1::RemoveDuplicates()
{
    // Refilling the list loses its selection; a list that is already free of duplicates only
    // needs that, which keeps typing fast with a long hit list.
    if (m_hitsDeduped) {
        List1->selectionModel()->clear();
        return;
    }
    m_hits->removeDuplicates();
    m_hitsDeduped = true;
}
