// Encrypts and decrypts one large file the way the cipher window does (transform into the
// companion file, then wipe the source) and compares the time with cp of the same file
// followed by sync. Usage:
//   cipher_bench [folder (default /tmp)] [size in MiB (default 1024)] [rounds (default 3)]

#include "benchutil.h"
#include "cipher/core/filecipher.h"
#include "cipher/core/keyderivation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr qint64 kChunk = qint64(1) << 20;

// Reproducible content, so the decrypted file can be checked byte for byte without keeping
// a second copy of a gigabyte around.
class Content
{
public:
    void fill(char *data, qint64 length)
    {
        for (qint64 i = 0; i < length; i += 8) {
            m_state ^= m_state << 13;
            m_state ^= m_state >> 7;
            m_state ^= m_state << 17;
            std::memcpy(data + i, &m_state, size_t(std::min<qint64>(8, length - i)));
        }
    }

private:
    std::uint64_t m_state = 0x9E3779B97F4A7C15ull;
};

bool writeContent(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    Content content;
    QByteArray chunk(int(kChunk), Qt::Uninitialized);
    for (qint64 done = 0; done < size; done += kChunk) {
        const qint64 length = std::min(kChunk, size - done);
        content.fill(chunk.data(), length);
        if (file.write(chunk.constData(), length) != length)
            return false;
    }
    return file.flush();
}

bool sameAsContent(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != size)
        return false;
    Content content;
    QByteArray expected(int(kChunk), Qt::Uninitialized);
    QByteArray actual(int(kChunk), Qt::Uninitialized);
    for (qint64 done = 0; done < size; done += kChunk) {
        const qint64 length = std::min(kChunk, size - done);
        content.fill(expected.data(), length);
        if (file.read(actual.data(), length) != length
            || std::memcmp(expected.constData(), actual.constData(), size_t(length)) != 0)
            return false;
    }
    return true;
}



double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args.at(1) : QStringLiteral("/tmp");
    const qint64 size = (args.size() > 2 ? args.at(2).toLongLong() : 1024) * kChunk;
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 3;
    if (!QFileInfo(folder).isDir() || size <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: cipher_bench [folder] [size in MiB] [rounds]\n");
        return 2;
    }

    const QString plain = QDir(folder).filePath(QStringLiteral("tarvo-cipher-bench.bin"));
    const QString copy = plain + QStringLiteral(".copy");
    const QString encrypted = plain + QStringLiteral(".D0C");
    const auto cleanUp = [&] {
        QFile::remove(plain);
        QFile::remove(copy);
        QFile::remove(encrypted);
    };
    const auto fail = [&](const char *what) {
        std::fprintf(stderr, "cipher_bench: %s\n", what);
        cleanUp();
        return 1;
    };

    const QString key = KeyDerivation::deriveKey(QStringLiteral("Zeichnungsarchiv"));
    std::printf("file: %s, %lld MiB, key %s\n", qPrintable(plain),
                static_cast<long long>(size / kChunk), qPrintable(key));
    std::fflush(stdout);
    if (!writeContent(plain, size) || !run(QStringLiteral("sync"), {}))
        return fail("cannot write the test file");

    // Other work on the machine makes single figures jumpy: alternate the two measurements
    // over a few rounds and report the median.
    QList<double> copyTimes, copyFileSyncTimes, transformTimes, encodeTimes, decodeTimes;
    int progressCalls = 0;
    const auto count = [&progressCalls](int) { ++progressCalls; };
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        if (!run(QStringLiteral("cp"), {plain, copy}) || !run(QStringLiteral("sync"), {}))
            return fail("cp failed");
        copyTimes.append(seconds(timer));
        QFile::remove(copy);
        run(QStringLiteral("sync"), {});

        // The plain sync also writes out whatever else the machine has pending; syncing just
        // the copy gives the figure that other work cannot inflate.
        timer.restart();
        if (!run(QStringLiteral("cp"), {plain, copy}) || !run(QStringLiteral("sync"), {copy}))
            return fail("cp failed");
        copyFileSyncTimes.append(seconds(timer));
        QFile::remove(copy);
        run(QStringLiteral("sync"), {});

        timer.restart();
        FileCipher::Outcome outcome = FileCipher::Transform(plain, encrypted, key, count);
        if (!outcome.ok)
            return fail("encrypting failed");
        transformTimes.append(seconds(timer));
        if (!FileCipher::WipeFile(plain))
            return fail("wiping the plain file failed");
        encodeTimes.append(seconds(timer));
        if (QFileInfo(encrypted).size() != size || QFileInfo::exists(plain))
            return fail("encrypted file has the wrong size, or the plain file is still there");

        timer.restart();
        outcome = FileCipher::Transform(encrypted, plain, key, count);
        if (!outcome.ok)
            return fail("decrypting failed");
        if (!FileCipher::WipeFile(encrypted))
            return fail("wiping the encrypted file failed");
        decodeTimes.append(seconds(timer));

        if (!sameAsContent(plain, size))
            return fail("round trip does not restore the plain bytes");
        std::printf("round %d: cp + sync %.3f s, cp + sync FILE %.3f s, encode %.3f s "
                    "(transform %.3f s), decode %.3f s\n", round + 1, copyTimes.last(),
                    copyFileSyncTimes.last(), encodeTimes.last(), transformTimes.last(),
                    decodeTimes.last());
        std::fflush(stdout);
    }
    cleanUp();

    const double copyTime = median(copyTimes);
    const double copyFileTime = median(copyFileSyncTimes);
    const double encodeTime = median(encodeTimes);
    const double decodeTime = median(decodeTimes);
    std::printf("median of %d rounds, %lld MiB:\n", rounds, static_cast<long long>(size / kChunk));
    std::printf("  cp + sync:           %7.3f s\n", copyTime);
    std::printf("  cp + sync FILE:      %7.3f s\n", copyFileTime);
    std::printf("  encode, transform:   %7.3f s\n", median(transformTimes));
    std::printf("  encode incl. wipe:   %7.3f s = %.2f x cp + sync, %.2f x cp + sync FILE\n",
                encodeTime, encodeTime / copyTime, encodeTime / copyFileTime);
    std::printf("  decode incl. wipe:   %7.3f s = %.2f x cp + sync, %.2f x cp + sync FILE\n",
                decodeTime, decodeTime / copyTime, decodeTime / copyFileTime);
    std::printf("  progress calls per transform: %d\n", progressCalls / (2 * rounds));
    std::printf("  round trips identical byte for byte\n");
    return 0;
}
