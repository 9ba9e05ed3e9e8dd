#include "hitfileops.h"

#include "app/nativepath.h"

#ifdef Q_OS_WIN
#include <QFile>
#include <QFileInfo>
#else
#include <cerrno>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace HitFileOps {

#ifdef Q_OS_WIN

bool copyNoOverwrite(const QString &source, const QString &target)
{
    if (QFileInfo(source).isDir())
        return false;
    return QFile::copy(source, target);
}

qint64 fileSize(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() ? info.size() : -1;
}

QDateTime lastChange(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? info.lastModified() : QDateTime();
}

bool makeWritable(const QString &path)
{
    return QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
}

bool removeFile(const QString &path)
{
    if (QFileInfo(path).isDir())
        return false;
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
    // Closes now and reports a failed close, which on network file systems can be the first
    // sign of a failed write.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

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

bool copyContent(int from, int to)
{
#ifdef __linux__
    // In-kernel copy first; file systems or kernels without it fall back to read and write.
    for (bool copiedAny = false;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, size_t(1) << 30, 0);
        if (n == 0)
            return true;
        if (n > 0) {
            copiedAny = true;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (copiedAny || (errno != ENOSYS && errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP))
            return false;
        break;
    }
#endif
    static constexpr size_t kBlock = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[kBlock]);
    for (;;) {
        const ssize_t n = ::read(from, buffer.get(), kBlock);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!writeAll(to, buffer.get(), n))
            return false;
    }
}

} // namespace

bool copyNoOverwrite(const QString &source, const QString &target)
{
    const QByteArray from = NativePath::encode(source);
    const QByteArray to = NativePath::encode(target);
    Fd in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // O_EXCL makes "never overwrite" hold even against a file created meanwhile.
    Fd out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return false;
    bool ok = copyContent(in.get(), out.get());
    if (ok) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out.get(), times);
        ok = ::fchmod(out.get(), st.st_mode & 0777) == 0;
    }
    ok = out.close() && ok;
    if (!ok)
        ::unlink(to.constData());
    return ok;
}

qint64 fileSize(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(NativePath::encode(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return qint64(st.st_size);
}

QDateTime lastChange(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(NativePath::encode(path).constData(), &st) != 0)
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
}

bool makeWritable(const QString &path)
{
    const QByteArray native = NativePath::encode(path);
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return false;
    if (st.st_mode & S_IWUSR)
        return true;
    return ::chmod(native.constData(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool removeFile(const QString &path)
{
    // unlink() never removes a directory.
    return !path.isEmpty() && ::unlink(NativePath::encode(path).constData()) == 0;
}

#endif

} // namespace HitFileOps
