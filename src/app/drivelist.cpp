#include "drivelist.h"

#include "app/core/pathfunctions.h"

#include <QDir>
#include <QSignalBlocker>
#include <QStorageInfo>

namespace {

QString rootOf(const QStorageInfo &volume)
{
    return QDir::toNativeSeparators(volume.rootPath());
}

} // namespace

DriveList::DriveList(QWidget *parent) : QComboBox(parent)
{
    // Filled only when shown (refresh()): asking every mount at start-up would wait on a share
    // that does not answer.
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::onPick);
}

void DriveList::refresh()
{
    const QString shown = root();
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(rootOf(volume)))
            roots.append(rootOf(volume));
    }
    roots.sort();
    const QSignalBlocker blocker(this);
    clear();
    for (const QString &r : std::as_const(roots))
        addItem(r, r);
    m_shown = -1;
    if (!shown.isEmpty())
        setCurrentIndex(m_shown = indexOf(shown));
}

QString DriveList::root() const
{
    return currentData().toString();
}

void DriveList::showDriveOf(const QString &path)
{
    const QStorageInfo volume(path);
    if (!volume.isValid())
        return;
    const QSignalBlocker blocker(this);
    setCurrentIndex(m_shown = indexOf(rootOf(volume)));
}

int DriveList::indexOf(const QString &root)
{
    int index = findData(root);
    if (index < 0) {
        addItem(root, root);
        index = count() - 1;
    }
    return index;
}

bool DriveList::isAvailable(const QString &root)
{
    return DirExists(root) && QStorageInfo(root).isReady();
}

void DriveList::onPick(int index)
{
    const QString picked = itemData(index).toString();
    if (isAvailable(picked)) {
        m_shown = index;
        emit this->picked(picked);
        return;
    }
    {
        const QSignalBlocker blocker(this);
        setCurrentIndex(m_shown);
    }
    emit refused(picked);
}
