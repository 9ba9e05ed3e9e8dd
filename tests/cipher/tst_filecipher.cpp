#include "cipher/filecipher.h"

#include "helpers/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cmath>
#include <csignal>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sched.h>
#include <sys/mount.h>
#endif

namespace {

// Reproducible bytes of every value, so a key position that slips shows up anywhere.
QByteArray sampleBytes(qint64 size, quint32 seed = 7)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    quint32 state = seed;
    for (qint64 i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[int(i)] = char(state >> 24);
    }
    return bytes;
}

// The format, byte by byte: p[j] XOR code(k[j mod K]).
QByteArray xorWithKey(const QByteArray &plain, const QByteArray &key)
{
    QByteArray out = plain;
    for (int j = 0; j < out.size(); ++j)
        out[j] = char(out.at(j) ^ key.at(j % key.size()));
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                  | QDir::System, QDir::Name);
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

constexpr qint64 MiB = qint64(1) << 20;

} // namespace

class tst_FileCipher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

    void knownBytes_data();
    void knownBytes();
    void roundTrip_data();
    void roundTrip();
    void wrongKeyRestoresEncryptedBytes();
    void longerTargetIsReplaced();
    void emptyKeyIsRefused();
    void unreadableSource_data();
    void unreadableSource();
    void targetThroughLinkToSourceIsRefused();
    void failingTarget_data();
    void failingTarget();
    void targetOnFullDisk();

    void progress_data();
    void progress();
    void progressPermille_data();
    void progressPermille();

    void fileAvailable_data();
    void fileAvailable();
    void wipeFile_data();
    void wipeFile();
    void wipeFileRefuses();
    void readOnly();
};

void tst_FileCipher::knownBytes_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("encrypted");

    // 'A'^'1' = 70, 'B'^'F' = 04, 'C'^'1' = 72.
    QTest::newRow("key of two") << QByteArray("ABC") << QStringLiteral("1F")
                                << QByteArray::fromHex("700472");
    QTest::newRow("key of one") << QByteArray::fromHex("00ff41") << QStringLiteral("A")
                                << QByteArray::fromHex("41be00");
    // The key starts again after 3 bytes, not at any line or block end.
    QTest::newRow("key of three") << QByteArray("\n\n\n\n\n") << QStringLiteral("2E5")
                                  << QByteArray::fromHex("384f3f384f");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("33") << QByteArray();
}

void tst_FileCipher::knownBytes()
{
    QFETCH(QByteArray, plain);
    QFETCH(QString, key);
    QFETCH(QByteArray, encrypted);

    TestEnv env;
    const QString source = env.writeFile(QStringLiteral("Plan.dwg"), plain);
    const QString target = source + QStringLiteral(".D0C");
    const FileCipher::Outcome outcome = FileCipher::Transform(source, target, key);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QVERIFY(outcome.error.isEmpty());
    QCOMPARE(readAll(target), encrypted);
    QCOMPARE(readAll(source), plain);   // the caller removes it, not Transform
}

void tst_FileCipher::roundTrip_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("key");

    QTest::newRow("empty") << qint64(0) << QStringLiteral("5753444");
    QTest::newRow("one byte") << qint64(1) << QStringLiteral("5753444");
    QTest::newRow("shorter than key") << qint64(5) << QStringLiteral("5753444");
    QTest::newRow("crosses the key length") << qint64(23) << QStringLiteral("5753444");
    QTest::newRow("one block exactly") << MiB << QStringLiteral("22E261719");
    QTest::newRow("several blocks, key not dividing them") << 3 * MiB + 123
                                                           << QStringLiteral("75BD444CF");
}

void tst_FileCipher::roundTrip()
{
    QFETCH(qint64, size);
    QFETCH(QString, key);

    TestEnv env;
    const QByteArray plain = sampleBytes(size);
    const QString plainPath = env.writeFile(QStringLiteral("Plan.dwg"), plain);
    const QString encryptedPath = plainPath + QStringLiteral(".D0C");

    FileCipher::Outcome outcome = FileCipher::Transform(plainPath, encryptedPath, key);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    const QByteArray encrypted = readAll(encryptedPath);
    QCOMPARE(encrypted.size(), plain.size());
    QVERIFY(encrypted == xorWithKey(plain, key.toLatin1()));

    QVERIFY(QFile::remove(plainPath));
    outcome = FileCipher::Transform(encryptedPath, plainPath, key);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QVERIFY(readAll(plainPath) == plain);
}

void tst_FileCipher::wrongKeyRestoresEncryptedBytes()
{
    TestEnv env;
    const QByteArray plain = sampleBytes(1000, 3);
    const QString plainPath = env.writeFile(QStringLiteral("Brief.txt"), plain);
    const QString encryptedPath = plainPath + QStringLiteral(".D0C");
    QVERIFY(FileCipher::Transform(plainPath, encryptedPath, QStringLiteral("2626")).ok);
    const QByteArray encrypted = readAll(encryptedPath);
    QVERIFY(QFile::remove(plainPath));

    QVERIFY(FileCipher::Transform(encryptedPath, plainPath, QStringLiteral("33")).ok);
    const QByteArray wrong = readAll(plainPath);
    QCOMPARE(wrong.size(), plain.size());
    QVERIFY(wrong != plain);

    QVERIFY(QFile::remove(encryptedPath));
    QVERIFY(FileCipher::Transform(plainPath, encryptedPath, QStringLiteral("33")).ok);
    QVERIFY(readAll(encryptedPath) == encrypted);
}

void tst_FileCipher::longerTargetIsReplaced()
{
    TestEnv env;
    const QString source = env.writeFile(QStringLiteral("a.txt"), QByteArray("kurz"));
    const QString target = env.writeFile(QStringLiteral("a.txt.D0C"), QByteArray(5000, 'x'));
    QVERIFY(FileCipher::Transform(source, target, QStringLiteral("A")).ok);
    QCOMPARE(readAll(target), xorWithKey("kurz", "A"));
    QCOMPARE(entriesOf(env.root()).size(), 3);   // program folder, source, target: no leftovers
}

void tst_FileCipher::emptyKeyIsRefused()
{
    TestEnv env;
    const QString source = env.writeFile(QStringLiteral("a.txt"), QByteArray("abc"));
    const FileCipher::Outcome outcome =
        FileCipher::Transform(source, source + QStringLiteral(".D0C"), QString());
    QVERIFY(!outcome.ok);
    QVERIFY(outcome.error.contains(QDir::toNativeSeparators(source)));
    QVERIFY(!QFileInfo::exists(source + QStringLiteral(".D0C")));
    QCOMPARE(readAll(source), QByteArray("abc"));
}

void tst_FileCipher::unreadableSource_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("no read permission") << QStringLiteral("noread");
}

void tst_FileCipher::unreadableSource()
{
    QFETCH(QString, kind);
    TestEnv env;
    QString source = env.root() + QStringLiteral("/quelle");
    if (kind == QStringLiteral("folder")) {
        env.makeDir(QStringLiteral("quelle"));
    } else if (kind == QStringLiteral("noread")) {
        if (runningAsRoot())
            QSKIP("running as root: permission bits do not stop reading");
        env.writeFile(QStringLiteral("quelle"), QByteArray("geheim"));
        QVERIFY(QFile::setPermissions(source, QFile::WriteOwner));
    }
    const QString target = source + QStringLiteral(".D0C");
    const FileCipher::Outcome outcome = FileCipher::Transform(source, target,
                                                              QStringLiteral("33"));
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QStringLiteral("gelesen")), qPrintable(outcome.error));
    QVERIFY(outcome.error.contains(QDir::toNativeSeparators(source)));
    QVERIFY(!QFileInfo::exists(target));
}

void tst_FileCipher::targetThroughLinkToSourceIsRefused()
{
#ifndef Q_OS_UNIX
    QSKIP("symbolic links need privileges on this system");
#else
    TestEnv env;
    const QString source = env.writeFile(QStringLiteral("Plan.dwg"), QByteArray("Inhalt"));
    const QString target = source + QStringLiteral(".D0C");
    QVERIFY(QFile::link(source, target));
    const FileCipher::Outcome outcome = FileCipher::Transform(source, target,
                                                              QStringLiteral("33"));
    QVERIFY(!outcome.ok);
    QCOMPARE(readAll(source), QByteArray("Inhalt"));
#endif
}

void tst_FileCipher::failingTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("parent is a file") << QStringLiteral("parentfile");
    QTest::newRow("read-only folder") << QStringLiteral("readonly");
    QTest::newRow("size limit reached mid-file") << QStringLiteral("sizelimit");
}

void tst_FileCipher::failingTarget()
{
    QFETCH(QString, kind);
    TestEnv env;
    const QByteArray plain = sampleBytes(3 * MiB + 17, 11);
    const QString source = env.writeFile(QStringLiteral("quelle/Plan.dwg"), plain);
    const QByteArray oldTarget("alter Inhalt, länger als nichts");
    QString target;
    QString folder;

    if (kind == QStringLiteral("parentfile")) {
        env.writeFile(QStringLiteral("kein-ordner"), QByteArray("x"));
        folder = env.root() + QStringLiteral("/kein-ordner");
        target = folder + QStringLiteral("/Plan.dwg.D0C");
    } else if (kind == QStringLiteral("readonly")) {
        if (runningAsRoot())
            QSKIP("running as root: permission bits do not stop writes (the other rows cover it)");
        target = env.writeFile(QStringLiteral("ziel/Plan.dwg.D0C"), oldTarget);
        folder = QFileInfo(target).absolutePath();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    } else {
#ifndef Q_OS_UNIX
        QSKIP("no file size limit on this system");
#endif
        target = env.writeFile(QStringLiteral("ziel/Plan.dwg.D0C"), oldTarget);
        folder = QFileInfo(target).absolutePath();
    }
    const QStringList entriesBefore = entriesOf(folder);

    FileCipher::Outcome outcome;
#ifdef Q_OS_UNIX
    if (kind == QStringLiteral("sizelimit")) {
        // The system refuses bytes beyond 1 MiB in any file, like a quota running out.
        struct rlimit saved;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit limited = saved;
        limited.rlim_cur = rlim_t(MiB);
        auto *oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        outcome = FileCipher::Transform(source, target, QStringLiteral("2626"));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    } else
#endif
    {
        outcome = FileCipher::Transform(source, target, QStringLiteral("2626"));
    }

    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.contains(QDir::toNativeSeparators(target)), qPrintable(outcome.error));
    QVERIFY(readAll(source) == plain);
    QCOMPARE(entriesOf(folder), entriesBefore);   // no partial or temporary file
    if (kind != QStringLiteral("parentfile"))
        QCOMPARE(readAll(target), oldTarget);
}

#ifdef Q_OS_LINUX
namespace {

bool writeText(const char *path, const QByteArray &text)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Runs in a child process: a private mount namespace with a 64 KiB file system. Returns 77
// when no such namespace can be had, 0 on success, another code naming the failed check.
int fullDiskChild(const QString &source, const QString &mountPoint, const QByteArray &plain)
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNS) != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return 77;
        writeText("/proc/self/setgroups", "deny");
        if (!writeText("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1")
            || !writeText("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1"))
            return 77;
    }
    // Keep the test mount out of the rest of the system.
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return 77;
    if (::mount("tarvo-test", QFile::encodeName(mountPoint).constData(), "tmpfs", 0,
                "size=64k") != 0)
        return 77;

    const QString target = mountPoint + QStringLiteral("/Plan.dwg.D0C");
    const FileCipher::Outcome outcome = FileCipher::Transform(source, target,
                                                              QStringLiteral("2626"));
    if (outcome.ok)
        return 1;
    if (!outcome.error.contains(target))
        return 2;
    if (!outcome.error.contains(QStringLiteral("Datenträger ist voll"))) {
        qWarning("%s", qPrintable(outcome.error));
        return 3;
    }
    if (!entriesOf(mountPoint).isEmpty())
        return 4;
    if (readAll(source) != plain)
        return 5;
    return 0;
}

} // namespace
#endif

void tst_FileCipher::targetOnFullDisk()
{
#ifndef Q_OS_LINUX
    QSKIP("a small private file system can only be made on Linux");
#else
    TestEnv env;
    const QByteArray plain = sampleBytes(2 * MiB + 5, 5);
    const QString source = env.writeFile(QStringLiteral("Plan.dwg"), plain);
    const QString mountPoint = env.makeDir(QStringLiteral("voll"));

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0)
        ::_exit(fullDiskChild(source, mountPoint, plain));
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    if (code == 77)
        QSKIP("no private mount namespace here (needs root or user namespaces)");
    const char *const checks[] = {"passed", "Transform reported success",
                                  "message does not name the target",
                                  "message does not say the disk is full",
                                  "something was left on the full disk",
                                  "source changed"};
    QVERIFY2(code == 0, code < 6 ? checks[code] : "child failed");
    QVERIFY(readAll(source) == plain);
#endif
}

void tst_FileCipher::progress_data()
{
    QTest::addColumn<qint64>("size");
    QTest::newRow("empty") << qint64(0);
    QTest::newRow("one byte") << qint64(1);
    QTest::newRow("small") << qint64(999);
    QTest::newRow("several blocks") << 5 * MiB + 3;
}

void tst_FileCipher::progress()
{
    QFETCH(qint64, size);
    TestEnv env;
    const QString source = env.writeFile(QStringLiteral("a.bin"), sampleBytes(size));
    QList<int> seen;
    const FileCipher::Outcome outcome = FileCipher::Transform(
        source, source + QStringLiteral(".D0C"), QStringLiteral("312"),
        [&seen](int permille) { seen.append(permille); });
    QVERIFY(outcome.ok);

    if (size == 0) {
        QVERIFY(seen.isEmpty());   // an empty file never moves the bar
        return;
    }
    QVERIFY(!seen.isEmpty());
    QVERIFY(seen.size() <= 1000);
    for (int i = 0; i < seen.size(); ++i) {
        QVERIFY(seen.at(i) > 0 && seen.at(i) < 1000);
        if (i > 0)
            QVERIFY(seen.at(i) > seen.at(i - 1));
    }
    QCOMPARE(seen.last(), int(std::floor(1000.0 * double(size) / double(size + 1))));
    if (size == 1)
        QCOMPARE(seen, QList<int>{500});
}

void tst_FileCipher::progressPermille_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("permille");

    const qint64 two31 = qint64(1) << 31;
    QTest::newRow("nothing done") << qint64(0) << qint64(5) << 0;
    QTest::newRow("empty file") << qint64(0) << qint64(0) << 0;
    QTest::newRow("one byte file") << qint64(1) << qint64(1) << 500;
    QTest::newRow("1 of 3") << qint64(1) << qint64(3) << 250;
    QTest::newRow("1 of 1000") << qint64(1) << qint64(1000) << 0;
    QTest::newRow("1000 of 1000") << qint64(1000) << qint64(1000) << 999;
    QTest::newRow("largest 32-bit size, all done") << two31 - 1 << two31 - 1 << 999;
    // 1000 * 2^31 / (2^32 + 1) = 499.99...
    QTest::newRow("half of 4 GiB") << two31 << 2 * two31 << 499;
    QTest::newRow("2^61 of 2^62") << (qint64(1) << 61) << (qint64(1) << 62) << 499;
    QTest::newRow("largest size, all done") << std::numeric_limits<qint64>::max()
                                            << std::numeric_limits<qint64>::max() << 999;
    QTest::newRow("file grew while read") << qint64(10) << qint64(5) << 833;
}

void tst_FileCipher::progressPermille()
{
    QFETCH(qint64, done);
    QFETCH(qint64, size);
    QFETCH(int, permille);
    QCOMPARE(FileCipher::progressPermille(done, size), permille);
}

void tst_FileCipher::fileAvailable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("available");
    QTest::newRow("file") << QStringLiteral("file") << true;
    QTest::newRow("empty file") << QStringLiteral("empty") << true;
    QTest::newRow("missing") << QStringLiteral("missing") << false;
    QTest::newRow("folder") << QStringLiteral("folder") << false;
    QTest::newRow("empty path") << QStringLiteral("emptypath") << false;
    QTest::newRow("no read permission") << QStringLiteral("noread") << false;
}

void tst_FileCipher::fileAvailable()
{
    QFETCH(QString, kind);
    QFETCH(bool, available);
    TestEnv env;
    QString path = env.root() + QStringLiteral("/x.dwg");
    if (kind == QStringLiteral("file")) {
        env.writeFile(QStringLiteral("x.dwg"), QByteArray("abc"));
    } else if (kind == QStringLiteral("empty")) {
        env.writeFile(QStringLiteral("x.dwg"));
    } else if (kind == QStringLiteral("folder")) {
        env.makeDir(QStringLiteral("x.dwg"));
    } else if (kind == QStringLiteral("emptypath")) {
        path.clear();
    } else if (kind == QStringLiteral("noread")) {
        if (runningAsRoot())
            QSKIP("running as root: permission bits do not stop reading");
        env.writeFile(QStringLiteral("x.dwg"), QByteArray("abc"));
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
    }
    QCOMPARE(FileCipher::FileAvailable(path), available);
}

void tst_FileCipher::wipeFile_data()
{
    QTest::addColumn<qint64>("size");
    QTest::newRow("empty") << qint64(0);
    QTest::newRow("one byte") << qint64(1);
    QTest::newRow("just over 4 KiB") << qint64(4097);
    QTest::newRow("several blocks") << 2 * MiB + MiB / 2 + 1;
}

void tst_FileCipher::wipeFile()
{
#ifndef Q_OS_UNIX
    QSKIP("the overwrite is seen through a hard link");
#else
    QFETCH(qint64, size);
    TestEnv env;
    QByteArray content = sampleBytes(size);
    content.replace(' ', 'x');   // no blank may be there before the wipe
    const QString path = env.writeFile(QStringLiteral("Plan.dwg"), content);
    // A second name for the same bytes outlives the delete and shows what was left on disk.
    const QString witness = env.root() + QStringLiteral("/zeuge");
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(witness).constData()),
             0);

    QVERIFY(FileCipher::WipeFile(path));
    QVERIFY(!QFileInfo::exists(path));
    const QByteArray left = readAll(witness);
    QCOMPARE(left.size(), content.size());
    QVERIFY(left == QByteArray(int(size), ' '));
#endif
}

void tst_FileCipher::wipeFileRefuses()
{
    TestEnv env;
    QVERIFY(!FileCipher::WipeFile(QString()));
    QVERIFY(!FileCipher::WipeFile(env.root() + QStringLiteral("/fehlt")));
    const QString folder = env.makeDir(QStringLiteral("ordner"));
    QVERIFY(!FileCipher::WipeFile(folder));
    QVERIFY(QFileInfo(folder).isDir());

    if (!runningAsRoot()) {
        const QString locked = env.writeFile(QStringLiteral("fest.txt"), QByteArray("Inhalt"));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner));
        QVERIFY(!FileCipher::WipeFile(locked));
        QVERIFY(QFileInfo::exists(locked));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(readAll(locked), QByteArray("Inhalt"));

        // Undeletable in its folder: not even overwritten.
        const QString kept = env.writeFile(QStringLiteral("fest/Plan.dwg"), QByteArray("Inhalt"));
        const QString keptFolder = QFileInfo(kept).absolutePath();
        QVERIFY(QFile::setPermissions(keptFolder, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!FileCipher::WipeFile(kept));
        QCOMPARE(readAll(kept), QByteArray("Inhalt"));
    }
}

void tst_FileCipher::readOnly()
{
    TestEnv env;
    const QString path = env.writeFile(QStringLiteral("a.txt"), QByteArray("abc"));
    QVERIFY(!FileCipher::IsReadOnly(path));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    QVERIFY(FileCipher::IsReadOnly(path));
    QVERIFY(FileCipher::SetNormal(path));
    QVERIFY(!FileCipher::IsReadOnly(path));
    QVERIFY(QFile::permissions(path) & QFile::ReadOwner);
    QVERIFY(!FileCipher::IsReadOnly(env.root() + QStringLiteral("/fehlt")));
    QVERIFY(!FileCipher::SetNormal(env.root() + QStringLiteral("/fehlt")));
}

QTEST_GUILESS_MAIN(tst_FileCipher)
#include "tst_filecipher.moc"
