#include "filelist.h"

#include <QDir>

FileList::FileList(const QString &pattern, QWidget *parent)
    : QListWidget(parent), m_pattern(pattern)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Taking the focus makes the first file current without selecting it; what a keyboard user
    // sees marked is what "ok" takes.
    connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        if (item && !item->isSelected())
            selectionModel()->select(indexFromItem(item), QItemSelectionModel::ClearAndSelect);
    });
}

void FileList::setPath(const QString &path)
{
    clear();
    QDir dir(path);
    if (!m_pattern.isEmpty())
        dir.setNameFilters({m_pattern}); // matched without regard to case
    addItems(dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

QString FileList::selectedFileName() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}
