#include "hitfileops.h"

#include "app/core/nativepath.h"

#ifdef Q_OS_WIN
#include <QFile>
#include <QFileInfo>
#else
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace HitFileOps {

#ifdef Q_OS_WIN

namespace {

// Write permission for the owner, so that a write-protected file can be removed.
bool makeWritable(const QString &path)
{
    return QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
}

} // namespace

bool copyNoOverwrite(const QString &source, const QString &target, SafeFile::Identity *read)
{
    if (QFileInfo(source).isDir())
        return false;
    const SafeFile::Identity before = SafeFile::identityOfPath(source);
    if (!QFile::copy(source, target))
        return false;
    if (read)
        *read = before;
    return true;
}

bool syncFolder(const QString &)
{
    return true;
}

SafeFile::Removal removeIfUnchanged(const QString &path, const SafeFile::Identity &read)
{
    if (!SafeFile::identityOfPath(path).unchanged(read))
        return SafeFile::Removal::Changed;
    makeWritable(path);
    return QFile::remove(path) ? SafeFile::Removal::Removed : SafeFile::Removal::Failed;
}

QDateTime lastChange(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? info.lastModified() : QDateTime();
}

bool removeFile(const QString &path)
{
    if (QFileInfo(path).isDir())
        return false;
    makeWritable(path);
    return QFile::remove(path);
}

#else

namespace {

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool writeAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Copies what `from` holds from its start; the number of bytes, or -1 on a failure.
qint64 copyContent(int from, int to)
{
    qint64 copied = 0;
#ifdef __linux__
    // In-kernel copy first. File systems or kernels without it, and some that answer "end" at
    // once for a file that is not empty, leave the rest to the read loop.
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, size_t(1) << 30, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (copied > 0 || (errno != ENOSYS && errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP)))
            return -1;
        break;
    }
#endif
    static constexpr size_t kBlock = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[kBlock]);
    for (;;) {
        const ssize_t n = ::read(from, buffer.get(), kBlock);
        if (n == 0)
            return copied;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (!writeAll(to, buffer.get(), n))
            return -1;
        copied += n;
    }
}

// Write permission for the owner while a removal is tried: a write-protected file can then be
// removed. A link is left alone, so the file it points to keeps its mode.
bool makeWritable(const QByteArray &path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR))
        return true;
    return ::chmod(path.constData(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

MetadataCalls &metadataCalls()
{
    static MetadataCalls calls;
    return calls;
}

int setMode(int fd, mode_t mode)
{
    const MetadataCalls &calls = metadataCalls();
    return calls.setMode ? calls.setMode(fd, mode) : ::fchmod(fd, mode);
}

int setTimes(int fd, const struct timespec *times)
{
    const MetadataCalls &calls = metadataCalls();
    return calls.setTimes ? calls.setTimes(fd, times) : ::futimens(fd, times);
}

// An unnamed file can be given a name only through /proc.
bool procFdUsable()
{
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

// A copy while it is written, invisible under the target name until place(): an unnamed
// file in the target folder (O_TMPFILE) where the file system has them, of which a kill
// leaves nothing; otherwise a hidden sibling, which a kill can leave behind but which never
// blocks the target name. Whatever is not placed is removed again.
class PendingFile
{
public:
    explicit PendingFile(const QByteArray &target) : m_target(target)
    {
#ifdef O_TMPFILE
        if (!SafeFile::Testing::isMissing(SafeFile::Testing::TmpFile) && procFdUsable()) {
            const QByteArray folder = target.left(std::max<qsizetype>(target.lastIndexOf('/'), 1));
            m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            // Without support the kernel says EOPNOTSUPP, an old one EISDIR.
            if (m_fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
                return;
        }
#endif
        m_name = SafeFile::siblingTemplate(target);
        m_fd = ::mkostemp(m_name.data(), O_CLOEXEC);
        if (m_fd < 0)
            m_name.clear();
    }
    ~PendingFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    int fd() const { return m_fd; }

    // Forces the content to the disk, then gives it the target name unless that is taken.
    bool place()
    {
        if (::fsync(m_fd) != 0)
            return false;
        const int fd = std::exchange(m_fd, -1);
        if (m_name.isEmpty()) {
            char link[40];
            std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
            const bool linked = ::linkat(AT_FDCWD, link, AT_FDCWD, m_target.constData(),
                                         AT_SYMLINK_FOLLOW) == 0;
            // Only local file systems have unnamed files; their close reports nothing new.
            ::close(fd);
            return linked;
        }
        // Network file systems may report a failed write only when the file is closed.
        if (::close(fd) != 0 || SafeFile::renameNoReplace(m_name, m_target) != 0)
            return false;
        m_name.clear();
        return true;
    }

private:
    QByteArray m_target;
    QByteArray m_name; // the hidden sibling, empty for an unnamed file
    int m_fd = -1;
};

} // namespace

bool copyNoOverwrite(const QString &source, const QString &target, SafeFile::Identity *read)
{
    const QByteArray from = NativePath::encode(source);
    const QByteArray to = NativePath::encode(target);
    // Non-blocking: opening a named pipe would otherwise wait for a writer; S_ISREG refuses it.
    Fd in(::open(from.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const SafeFile::Identity opened = SafeFile::identityOf(in.get());
    // Spares the copying when the name is taken; placing the copy checks again.
    struct stat existing;
    if (::lstat(to.constData(), &existing) == 0)
        return false;
    PendingFile out(to);
    // A copy shorter than the file, or of a file written to meanwhile, is no copy of it.
    if (out.fd() < 0 || copyContent(in.get(), out.fd()) != qint64(st.st_size)
        || !SafeFile::identityOf(in.get()).unchanged(opened))
        return false;
    // Best effort: vfat, exFAT and many CIFS mounts refuse these, and the copy is whole
    // without them.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    setTimes(out.fd(), times);
    setMode(out.fd(), st.st_mode & 0777);
    if (!out.place())
        return false;
    if (read)
        *read = opened;
    return true;
}

bool syncFolder(const QString &folder)
{
    return SafeFile::syncFolder(NativePath::encode(folder));
}

SafeFile::Removal removeIfUnchanged(const QString &path, const SafeFile::Identity &read)
{
    if (!SafeFile::identityOfPath(path).unchanged(read))
        return SafeFile::Removal::Changed;
    const QByteArray native = NativePath::encode(path);
    makeWritable(native);
    return SafeFile::removeIfSame(native, read);
}

void setMetadataCalls(const MetadataCalls &calls)
{
    metadataCalls() = calls;
}

QDateTime lastChange(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(NativePath::encode(path).constData(), &st) != 0)
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
}

bool removeFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = NativePath::encode(path);
    makeWritable(native);
    // unlink() never removes a directory.
    return ::unlink(native.constData()) == 0;
}

#endif

} // namespace HitFileOps
