#pragma once

#include <QListView>

// The hit list's view. Every row has the same height, so where a row is and which row lies at a
// point follow from its number alone: appending a batch of hits costs the view the same for one
// row as for thousands, where QListView lays every row out again on each insertion. Rows are as
// wide as the widest one shown so far, at least as wide as the view.
class HitListView : public QListView
{
    Q_OBJECT

public:
    explicit HitListView(QWidget *parent = nullptr);

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    void reset() override;

protected:
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void doItemsLayout() override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;
    QSize viewportSizeHint() const override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;

private:
    int rows() const;
    int rowHeight() const;
    int rowWidth() const;
    int rowAt(int y) const; // -1 outside the rows
    QRect rowRect(int row) const;

    mutable int m_rowHeight = 0;
    int m_widest = 0; // widest row painted since the last reset
    int m_hoverRow = -1;
};
