#include "filecipher.h"

#include "app/core/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace FileCipher {
namespace {

// Large enough that the system calls cost nothing next to the disk, small enough to stay
// out of the way of the rest of the program.
constexpr qint64 kBlock = qint64(1) << 20;

// "<what>:\n<path>\n<outcome>", the shape of every message of a failed operation.
QString failed(const QString &what, const QString &path,
               const QString &outcome = QStringLiteral("Die Ausgangsdatei bleibt unverändert."))
{
    return what + QStringLiteral(":\n") + QDir::toNativeSeparators(path) + QLatin1Char('\n') + outcome;
}

QString failedRead(const QString &path)
{
    return failed(QStringLiteral("Die Datei kann nicht gelesen werden"), path);
}

QString failedCreate(const QString &path)
{
    return failed(QStringLiteral("Die Datei kann nicht angelegt werden"), path);
}

QString failedWrite(const QString &path, bool diskFull)
{
    return failed(diskFull ? QStringLiteral("Die Datei kann nicht geschrieben werden, der Datenträger ist voll")
                           : QStringLiteral("Die Datei kann nicht geschrieben werden"),
                  path);
}

QString changedWhileRead(const QString &path)
{
    return failed(QStringLiteral("Die Datei wurde während des Lesens geändert"), path,
                  QStringLiteral("Es wurde nichts geschrieben; die Ausgangsdatei bleibt erhalten."));
}

bool isDiskFull(int error)
{
#ifdef EDQUOT
    if (error == EDQUOT)
        return true;
#endif
    return error == ENOSPC;
}

Outcome failure(const QString &message)
{
    Outcome outcome;
    outcome.error = message;
    return outcome;
}

// Forces what was written to the open file onto the disk.
bool syncToDisk(QFileDevice &file)
{
    if (!file.flush())
        return false;
    const int fd = file.handle();
    if (fd < 0)
        return false;
#ifdef Q_OS_WIN
    return ::_commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

// Hands finished stretches of a large file to the disk while later ones are still being
// written, and lets go of their cached pages once they are on the disk. Otherwise nothing
// reaches the disk before the final sync, which then waits for all of it at once, and a big
// file pushes everything else out of the page cache. Errors surface at that final sync.
class WriteBehind
{
public:
    explicit WriteBehind(int fd) : m_fd(fd) {}

    // total: bytes written to the file so far, from its start.
    void written(qint64 total)
    {
#ifdef Q_OS_LINUX
        if (m_fd < 0)
            return;
        while (total - m_started >= kWindow) {
            ::sync_file_range(m_fd, m_started, kWindow, SYNC_FILE_RANGE_WRITE);
            if (m_started >= kWindow) {
                const qint64 previous = m_started - kWindow;
                ::sync_file_range(m_fd, previous, kWindow,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE
                                      | SYNC_FILE_RANGE_WAIT_AFTER);
                ::posix_fadvise(m_fd, previous, kWindow, POSIX_FADV_DONTNEED);
            }
            m_started += kWindow;
        }
#else
        Q_UNUSED(total);
#endif
    }

private:
    static constexpr qint64 kWindow = qint64(8) << 20;
    int m_fd;
    qint64 m_started = 0;
};

// A short write is retried, so a full disk shows as an error the device can name.
bool writeAll(QFileDevice &file, const char *data, qint64 length)
{
    while (length > 0) {
        const qint64 written = file.write(data, length);
        if (written <= 0)
            return false;
        data += written;
        length -= written;
    }
    return true;
}

SafeFile::Identity identityOf(QFileDevice &file)
{
#ifdef Q_OS_UNIX
    return SafeFile::identityOf(file.handle());
#else
    SafeFile::Identity id;
    id.size = file.size();
    id.modifiedNs = file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch() * 1000000;
    return id;
#endif
}

// Blanks over the whole open file, forced to the disk.
bool overwriteWithBlanks(QFileDevice &file)
{
    const qint64 length = file.size();
    const QByteArray blanks(int(std::min(length, kBlock)), ' ');
    WriteBehind writeBehind(file.handle());
    qint64 written = 0;
    while (written < length) {
        const qint64 chunk = std::min(kBlock, length - written);
        if (!writeAll(file, blanks.constData(), chunk))
            return false;
        written += chunk;
        writeBehind.written(written);
    }
    return length == 0 || syncToDisk(file);
}

// WipeFile; with `read`, only for that very file.
SafeFile::Removal wipe(const QString &path, const SafeFile::Identity *read)
{
    using SafeFile::Removal;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return read ? Removal::Changed : Removal::Failed;
    // Blanks through a link would go over the file it points to, which stays under its name.
    if (info.isSymLink())
        return Removal::Failed;
#ifdef Q_OS_UNIX
    // A file that cannot be deleted afterwards is left as it is, not left blank.
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return Removal::Failed;
#endif
    QFile file(path);
    // ReadWrite keeps the content: the blanks go over the very bytes on the disk.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return Removal::Failed;
    const SafeFile::Identity found = identityOf(file);
    if (read && !found.unchanged(*read))
        return Removal::Changed;
    if (!overwriteWithBlanks(file))
        return Removal::Failed;
    file.close();
#ifdef Q_OS_UNIX
    return SafeFile::removeIfSame(QFile::encodeName(path), found);
#else
    return file.remove() ? Removal::Removed : Removal::Failed;
#endif
}

// data[i] ^= pattern[i] for i < length, a machine word at a time.
void xorInto(unsigned char *data, const unsigned char *pattern, qint64 length)
{
    qint64 i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, data + i, 8);
        std::memcpy(&b, pattern + i, 8);
        a ^= b;
        std::memcpy(data + i, &a, 8);
    }
    for (; i < length; ++i)
        data[i] ^= pattern[i];
}

} // namespace

int progressPermille(qint64 done, qint64 size)
{
    if (done <= 0 || size <= 0)
        return 0;
    const quint64 n = quint64(std::min(done, size));
    const quint64 d = quint64(size) + 1;
    // floor(1000 * n / d) by long division over the bits of 1000, keeping n * m = q * d + r
    // with r < d: nothing ever exceeds 2 * d, so even the largest sizes cannot overflow.
    quint64 q = 0;
    quint64 r = 0;
    for (int bit = 9; bit >= 0; --bit) {
        q <<= 1;
        r <<= 1;
        if (r >= d) {
            ++q;
            r -= d;
        }
        if ((1000 >> bit) & 1) {
            r += n;
            if (r >= d) {
                ++q;
                r -= d;
            }
        }
    }
    return int(q);
}

bool FileAvailable(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool WipeFile(const QString &path)
{
    return wipe(path, nullptr) == SafeFile::Removal::Removed;
}

SafeFile::Removal WipeFile(const QString &path, const SafeFile::Identity &read)
{
    return wipe(path, &read);
}

bool IsUnchanged(const QString &path, const SafeFile::Identity &read)
{
    return SafeFile::identityOfPath(path).unchanged(read);
}

bool IsReadOnly(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !(info.permissions() & QFileDevice::WriteOwner);
}

bool SetNormal(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    return QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
}

Outcome Transform(const QString &source, const QString &target, const QString &key,
                  const std::function<void(int permille)> &progress)
{
    if (key.isEmpty()) {
        return failure(QStringLiteral("Es ist kein Schlüssel vorhanden, die Datei wurde nicht "
                                      "verarbeitet:\n%1")
                           .arg(QDir::toNativeSeparators(source)));
    }
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile())
        return failure(failedRead(source));
    // The target is written by renaming over it (through a link, over what it points to);
    // were that the source, the caller's wipe would then destroy the only copy.
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && targetInfo.canonicalFilePath() == sourceInfo.canonicalFilePath()) {
        return failure(failed(QStringLiteral("Ausgangs- und Zieldatei sind dieselbe Datei"), target));
    }

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return failure(failedRead(source));
    const SafeFile::Identity opened = identityOf(in);
    const qint64 size = in.size();

    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(failedCreate(target));

    // The key repeated over one block plus one key length, so that a block starting at any
    // key position finds its codes in one run.
    const QByteArray codes = Cp1252::encode(key);
    const qint64 keyLength = codes.size();
    QByteArray pattern(int(kBlock + keyLength), Qt::Uninitialized);
    for (qint64 i = 0; i < pattern.size(); ++i)
        pattern[i] = codes.at(i % keyLength);
    const auto *patternData = reinterpret_cast<const unsigned char *>(pattern.constData());

    QByteArray buffer(int(kBlock), Qt::Uninitialized);
    auto *data = reinterpret_cast<unsigned char *>(buffer.data());
    WriteBehind writeBehind(out.handle());
    qint64 keyPosition = 0;
    qint64 done = 0;
    int shown = 0;
    for (;;) {
        const qint64 got = in.read(buffer.data(), kBlock);
        if (got < 0)
            return failure(failedRead(source));
        if (got == 0)
            break;
        xorInto(data, patternData + keyPosition, got);
        keyPosition = (keyPosition + got) % keyLength;
        if (!writeAll(out, buffer.constData(), got))
            return failure(failedWrite(target, out.error() == QFileDevice::ResourceError));
        done += got;
        writeBehind.written(done);
        const int permille = progressPermille(done, size);
        if (permille != shown) {
            shown = permille;
            if (progress)
                progress(permille);
        }
    }
    // Fewer bytes than the file had, or another file by now: the result is not that file.
    if (done != size || !identityOf(in).unchanged(opened))
        return failure(changedWhileRead(source));
    in.close();

    // Network file systems may report a full disk only when the data is pushed out.
    if (!syncToDisk(out))
        return failure(failedWrite(target, isDiskFull(errno)));
    if (!out.commit())
        return failure(failedWrite(target, false));
#ifdef Q_OS_UNIX
    // The new name, too, must be on the disk before the caller destroys the source.
    if (!SafeFile::syncFolder(QFile::encodeName(QFileInfo(target).absolutePath())))
        return failure(failedWrite(target, false));
#endif

    Outcome outcome;
    outcome.ok = true;
    outcome.source = opened;
    return outcome;
}

} // namespace FileCipher
