#include "filelist.h"

#include <QDir>

FileList::FileList(const QString &pattern, QWidget *parent)
    : QListWidget(parent), m_pattern(pattern)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void FileList::setPath(const QString &path)
{
    m_path = path;
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
