#include "dirlistbox.h"

#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStyle>

#ifdef Q_OS_WIN
#include <QDirIterator>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

constexpr int kPathRole = Qt::UserRole;

QString normalised(const QString &path)
{
    QString clean = QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path));
#ifdef Q_OS_WIN
    clean = QDir::toNativeSeparators(clean);
    if (clean.size() == 2 && clean.at(1) == QLatin1Char(':'))
        clean += PathSeparator();
#endif
    return clean;
}

// The directory itself and its parents, from the root down. Only a root ends with a
// separator ("/" or "C:\").
QStringList chain(const QString &path)
{
    const QChar sep = PathSeparator();
    QStringList dirs;
    QString current = path;
    for (;;) {
        dirs.prepend(current);
        const qsizetype cut = current.lastIndexOf(sep);
        if (current.endsWith(sep) || cut < 0)
            break;
        QString parent = current.left(cut);
        if (parent.isEmpty() || parent.endsWith(QLatin1Char(':')))
            parent += sep;
        current = parent;
    }
    return dirs;
}

QString childPath(const QString &dir, const QString &name)
{
    return WithTrailingSeparator(dir) + name;
}

} // namespace

DirListBox::DirListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::open);
}

bool DirListBox::setPath(const QString &path)
{
    if (!DirExists(path))
        return false;
    const QString target = normalised(path);
    const bool differs = target != m_path;
    m_path = target;
    refill();
    if (differs)
        emit changed();
    return true;
}

QStringList DirListBox::subdirectories(const QString &dir)
{
    QStringList names;
#ifdef Q_OS_WIN
    const QStringList entries = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    names = entries;
#else
    const QByteArray native = NativePath::encode(dir);
    DIR *d = ::opendir(native.constData());
    if (!d)
        return names;
    while (const dirent *e = ::readdir(d)) {
        if (e->d_name[0] == '.')
            continue; // ".", ".." and hidden directories
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st;
            const QByteArray full = native + '/' + e->d_name;
            isDir = ::stat(full.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDir)
            names.append(NativePath::decode(e->d_name, qsizetype(qstrlen(e->d_name))));
    }
    ::closedir(d);
#endif
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

void DirListBox::refill()
{
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QStringList parents = chain(m_path);
    int depth = 0;
    QListWidgetItem *current = nullptr;
    for (const QString &dir : parents) {
        const QString name = depth == 0 ? dir : dir.mid(dir.lastIndexOf(PathSeparator()) + 1);
        auto *item = new QListWidgetItem(
            openIcon, QString(depth * 2, QLatin1Char(' ')) + NativePath::display(name), this);
        item->setData(kPathRole, dir);
        current = item;
        ++depth;
    }
    for (const QString &name : subdirectories(m_path)) {
        auto *item = new QListWidgetItem(
            closedIcon, QString(depth * 2, QLatin1Char(' ')) + NativePath::display(name), this);
        item->setData(kPathRole, childPath(m_path, name));
    }
    setCurrentItem(current);
}

void DirListBox::open(QListWidgetItem *item)
{
    if (item)
        setPath(item->data(kPathRole).toString());
}

void DirListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        open(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}
