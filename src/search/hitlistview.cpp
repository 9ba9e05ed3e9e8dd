#include "hitlistview.h"

#include <QHoverEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>
#include <limits>

HitListView::HitListView(QWidget *parent)
    : QListView(parent)
{
    setUniformItemSizes(true);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
}

int HitListView::rows() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int HitListView::rowHeight() const
{
    if (m_rowHeight > 0)
        return m_rowHeight;
    if (rows() == 0)
        return fontMetrics().height() + 2; // nothing to measure yet
    const QModelIndex first = model()->index(0, modelColumn(), rootIndex());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    m_rowHeight = std::max(1, itemDelegateForIndex(first)->sizeHint(option, first).height());
    return m_rowHeight;
}

int HitListView::rowWidth() const
{
    return std::max(viewport()->width(), m_widest);
}

QRect HitListView::rowRect(int row) const
{
    return QRect(-horizontalOffset(), int(qint64(row) * rowHeight() - verticalOffset()), rowWidth(), rowHeight());
}

int HitListView::rowAt(int y) const
{
    const qint64 row = (qint64(y) + verticalOffset()) / rowHeight();
    return y + verticalOffset() >= 0 && row < rows() ? int(row) : -1;
}

QRect HitListView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != modelColumn())
        return QRect();
    return rowRect(index.row());
}

QModelIndex HitListView::indexAt(const QPoint &point) const
{
    const int row = rowAt(point.y());
    if (row < 0 || point.x() + horizontalOffset() >= rowWidth())
        return QModelIndex();
    return model()->index(row, modelColumn(), rootIndex());
}

void HitListView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid() || index.parent() != rootIndex())
        return;
    QScrollBar *bar = verticalScrollBar();
    const qint64 top = qint64(index.row()) * rowHeight();
    const int height = viewport()->height();
    qint64 value = bar->value();
    switch (hint) {
    case EnsureVisible:
        if (top < value)
            value = top;
        else if (top + rowHeight() > value + height)
            value = top + rowHeight() - height;
        break;
    case PositionAtTop:
        value = top;
        break;
    case PositionAtBottom:
        value = top + rowHeight() - height;
        break;
    case PositionAtCenter:
        value = top + rowHeight() / 2 - height / 2;
        break;
    }
    bar->setValue(int(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max())));
}

void HitListView::reset()
{
    m_widest = 0;
    m_rowHeight = 0;
    m_hoverRow = -1;
    QListView::reset();
}

void HitListView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    // Nothing to lay out: the scroll range grows, and rows that land in sight are painted.
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex())
        return;
    if (start == 0)
        m_rowHeight = 0;
    updateGeometries();
    const QRect added = rowRect(start).united(rowRect(end));
    if (added.intersects(viewport()->rect()))
        viewport()->update(added.intersected(viewport()->rect()));
}

void HitListView::doItemsLayout()
{
    m_rowHeight = 0;
    QAbstractItemView::doItemsLayout();
}

void HitListView::updateGeometries()
{
    const int height = rowHeight();
    QScrollBar *v = verticalScrollBar();
    v->setSingleStep(height);
    v->setPageStep(viewport()->height());
    const qint64 extent = qint64(rows()) * height - viewport()->height();
    v->setRange(0, int(std::clamp<qint64>(extent, 0, std::numeric_limits<int>::max())));

    QScrollBar *h = horizontalScrollBar();
    h->setSingleStep(fontMetrics().averageCharWidth() * 2);
    h->setPageStep(viewport()->width());
    h->setRange(0, std::max(0, rowWidth() - viewport()->width()));
    QAbstractItemView::updateGeometries();
}

void HitListView::paintEvent(QPaintEvent *event)
{
    const int count = rows();
    if (count == 0)
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QPainter painter(viewport());
    // Only the rows in the painted area: a million hits cost no more than a screenful.
    const QStyle::State state = option.state;
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QItemSelectionModel *selections = selectionModel();
    const int first = int(std::max<qint64>(0, (qint64(event->rect().top()) + verticalOffset()) / rowHeight()));
    const int last = int(std::min<qint64>(count - 1, (qint64(event->rect().bottom()) + verticalOffset()) / rowHeight()));
    int widest = m_widest;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, modelColumn(), rootIndex());
        QAbstractItemDelegate *delegate = itemDelegateForIndex(index);
        option.rect = rowRect(row);
        option.state = state;
        if (selections && selections->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (state & QStyle::State_Enabled) {
            const bool enabled = model()->flags(index) & Qt::ItemIsEnabled;
            option.state.setFlag(QStyle::State_Enabled, enabled);
            option.palette.setCurrentColorGroup(enabled ? QPalette::Normal : QPalette::Disabled);
        }
        if (focus && index == current)
            option.state |= QStyle::State_HasFocus;
        option.state.setFlag(QStyle::State_MouseOver, row == m_hoverRow);
        widest = std::max(widest, delegate->sizeHint(option, index).width());
        delegate->paint(&painter, option, index);
    }
    if (widest > m_widest) {
        // A wider row came into sight: the rows and the horizontal range grow to it.
        m_widest = widest;
        updateGeometries();
        viewport()->update();
    }
}

void HitListView::scrollContentsBy(int dx, int dy)
{
    scrollDirtyRegion(dx, dy);
    viewport()->scroll(dx, dy);
}

bool HitListView::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove: {
        const int row = rowAt(static_cast<QHoverEvent *>(event)->position().toPoint().y());
        if (row != m_hoverRow) {
            if (m_hoverRow >= 0)
                viewport()->update(rowRect(m_hoverRow));
            m_hoverRow = row;
            if (row >= 0)
                viewport()->update(rowRect(row));
        }
        break;
    }
    case QEvent::HoverLeave:
    case QEvent::Leave:
        if (m_hoverRow >= 0)
            viewport()->update(rowRect(m_hoverRow));
        m_hoverRow = -1;
        break;
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

QSize HitListView::viewportSizeHint() const
{
    return QSize(rowWidth(), int(std::min<qint64>(qint64(rows()) * rowHeight(), std::numeric_limits<int>::max())));
}

int HitListView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int HitListView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

QModelIndex HitListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    Q_UNUSED(modifiers)
    const int count = rows();
    if (count == 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, modelColumn(), rootIndex());
    const int page = std::max(1, viewport()->height() / rowHeight() - 1);
    int row = current.row();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= page;
        break;
    case MovePageDown:
        row += page;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    case MoveLeft:
    case MoveRight:
        return current;
    }
    return model()->index(std::clamp(row, 0, count - 1), modelColumn(), rootIndex());
}

void HitListView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const QRect r = rect.normalized();
    const int count = rows();
    int top = int(std::max<qint64>(0, (qint64(r.top()) + verticalOffset()) / rowHeight()));
    int bottom = int(std::min<qint64>(count - 1, (qint64(r.bottom()) + verticalOffset()) / rowHeight()));
    if (r.bottom() + verticalOffset() < 0 || r.left() + horizontalOffset() >= rowWidth())
        bottom = -1;
    QItemSelection selection;
    if (count > 0 && top <= bottom)
        selection.select(model()->index(top, modelColumn(), rootIndex()), model()->index(bottom, modelColumn(), rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion HitListView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const QRect view = viewport()->rect();
    for (const QItemSelectionRange &range : selection) {
        if (range.parent() != rootIndex() || !range.isValid())
            continue;
        region += rowRect(range.top()).united(rowRect(range.bottom())).intersected(view);
    }
    return region;
}
