#include "safefile.h"

#include "nativepath.h"

#ifndef Q_OS_UNIX
#include <QDateTime>
#include <QFileInfo>

namespace SafeFile {

Identity identityOfPath(const QString &path)
{
    Identity id;
    const QFileInfo info(path);
    if (info.isFile()) {
        id.size = info.size();
        id.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    }
    return id;
}

} // namespace SafeFile

#else

#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {
namespace {

std::atomic<int> &missingFeatures()
{
    static std::atomic<int> features{0};
    return features;
}

Identity fromStat(const struct stat &st)
{
    Identity id;
    id.device = quint64(st.st_dev);
    id.inode = quint64(st.st_ino);
    id.size = qint64(st.st_size);
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 || errno != ENOENT;
}

// Errors that say "this file system cannot do that", as opposed to "it did not work".
bool unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP
        || error == EPERM;
}

// A fresh hidden name beside path that nothing names yet.
QByteArray unusedSibling(const QByteArray &path)
{
    QByteArray name = siblingTemplate(path);
    const qsizetype stem = name.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name.truncate(stem);
        name += QByteArray::number(QRandomGenerator::global()->bounded(1u << 30), 36)
                    .rightJustified(6, '0');
        if (!exists(name))
            return name;
    }
    return QByteArray();
}

} // namespace

Identity identityOf(int fd)
{
    struct stat st;
    return fd >= 0 && ::fstat(fd, &st) == 0 ? fromStat(st) : Identity();
}

Identity identityOf(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 ? fromStat(st) : Identity();
}

Identity identityOfPath(const QString &path)
{
    return identityOf(NativePath::encode(path));
}

int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
#ifdef RENAME_NOREPLACE
    if (!Testing::isMissing(Testing::RenameNoReplace)) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return 0;
        if (!unsupported(errno))
            return errno;
    }
#endif
    // A hard link never replaces a file either (NFS has links but not always the flag).
    if (!Testing::isMissing(Testing::HardLinks)) {
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return 0;
        }
        if (!unsupported(errno))
            return errno;
    }
    // Neither (vfat, exFAT, some FUSE file systems): look, then rename. Only a file created
    // under `to` in the instant between the two calls could still be replaced.
    if (exists(to))
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

Removal removeIfSame(const QByteArray &path, const Identity &expected)
{
    if (!expected.isValid())
        return Removal::Changed;
    const QByteArray aside = unusedSibling(path);
    if (aside.isEmpty())
        return Removal::Failed;
    // The aside name is fresh, so a plain rename replaces nothing.
    if (::rename(path.constData(), aside.constData()) != 0)
        return errno == ENOENT ? Removal::Changed : Removal::Failed;
    if (identityOf(aside).sameFile(expected)) {
        if (::unlink(aside.constData()) == 0)
            return Removal::Removed;
        // Not removable after all: the file must not stay hidden under the aside name.
        renameNoReplace(aside, path);
        return Removal::Failed;
    }
    // Saved over meanwhile: the new file goes back. Should yet another one have taken the name
    // in these microseconds, this one stays under the hidden name rather than being lost.
    renameNoReplace(aside, path);
    return Removal::Changed;
}

bool syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool failed = ::fsync(fd) != 0 && (errno == EIO || errno == ENOSPC
#ifdef EDQUOT
                                              || errno == EDQUOT
#endif
                                              );
    ::close(fd);
    return !failed;
}

QByteArray siblingTemplate(const QByteArray &path)
{
    static constexpr qsizetype kNameMax = 255;
    static const QByteArray suffix = ".tarvo-XXXXXX";
    const qsizetype slash = path.lastIndexOf('/');
    QByteArray name = path.mid(slash + 1);
    // A long name is cut, at a character boundary, so that the hidden one is still allowed.
    qsizetype keep = std::min(name.size(), kNameMax - 1 - suffix.size());
    while (keep > 0 && keep < name.size() && (uchar(name.at(keep)) & 0xC0) == 0x80)
        --keep;
    name.truncate(keep);
    return path.left(slash + 1) + '.' + name + suffix;
}

namespace Testing {

void pretendMissing(int features)
{
    missingFeatures() = features;
}

bool isMissing(Feature feature)
{
    return missingFeatures() & feature;
}

} // namespace Testing

} // namespace SafeFile

#endif
