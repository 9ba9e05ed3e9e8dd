#include "cipher/core/filecipher.h"
#include "cipher/core/keyderivation.h"

#include "helpers/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <functional>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sched.h>
#include <sys/mount.h>
#endif

namespace {

constexpr qint64 MiB = qint64(1) << 20;

// Reproducible bytes of every value, so a key position that slips shows up anywhere.
QByteArray sampleBytes(qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    for (quint32 i = 0, state = 7; i < quint32(size); ++i)
        bytes[int(i)] = char((state = state * 1664525u + 1013904223u) >> 24);
    return bytes;
}

#ifdef Q_OS_UNIX
// A second name for the file's bytes: it outlives a delete and shows what the disk kept.
bool linkTwin(const QString &path, const QString &twin)
{
    return ::link(QFile::encodeName(path).constData(), QFile::encodeName(twin).constData()) == 0;
}

// In a child process: makes the row's failure, transforms source into folder, checks the
// outcome. 0: it failed cleanly; 77: the failure cannot be made here.
int failInChild(const QString &kind, const QString &source, const QString &folder, bool blamesTarget)
{
    const QByteArray at = QFile::encodeName(folder);
    if (kind == QLatin1String("limit") && !limitFileSize(MiB, false)) // like a quota running out
        return 77;
#ifdef Q_OS_LINUX
    // A 64 KiB file system in a mount namespace of its own, out of the system's sight.
    if ((kind == QLatin1String("full") || kind == QLatin1String("readonly"))
        && (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tarvo-test", at.constData(), "tmpfs", 0, "size=64k") != 0))
        return 77;
#else
    if (kind == QLatin1String("full") || kind == QLatin1String("readonly"))
        return 77;
#endif
    const QString target = folder + QStringLiteral("/Plan.dwg.D0C");
    QFile old(target);
    // Renaming over a link to the source would replace the source, which the caller wipes.
    if (kind == QLatin1String("link") ? !QFile::link(source, target)
                                      : !(old.open(QIODevice::WriteOnly) && old.write("alt") == 3)
                                            && kind != QLatin1String("parent"))
        return 1;
    old.close();
#ifdef Q_OS_LINUX
    if (kind == QLatin1String("readonly") // read-only even for root
        && ::mount(nullptr, at.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        return 77;
#endif
    const QStringList before = entriesOf(folder);
    const QByteArray kept = contentOf(target);
    const auto appendToSource = [&source](int) { // another program writes while it is read
        QFile file(source);
        if (file.size() == 2 * MiB + 17 && file.open(QIODevice::Append))
            file.write("mehr");
    };
    const FileCipher::Outcome out = FileCipher::Transform(
        source, target, kind == QLatin1String("nokey") ? QString() : QStringLiteral("2626"),
        kind == QLatin1String("grows") ? std::function<void(int)>(appendToSource) : nullptr);
    const char *failed = out.ok ? "transform reported success"
        : !out.error.contains(QDir::toNativeSeparators(blamesTarget ? target : source)) ? "file not named"
        : kind == QLatin1String("full") && !out.error.contains(QStringLiteral("Datenträger ist voll")) ? "full unnamed"
        : entriesOf(folder) != before ? "partial or temporary file left"
        : contentOf(target) != kept ? "old target changed" : nullptr;
    if (failed)
        std::fprintf(stderr, "%s: %s\n", failed, qPrintable(out.error));
    return failed ? 1 : 0;
}
#endif

} // namespace

class tst_FileCipher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

    void roundTrip_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("key");
        QTest::newRow("empty") << qint64(0) << QStringLiteral("5753444");
        QTest::newRow("crosses the key length") << qint64(23) << QStringLiteral("5753444");
        QTest::newRow("blocks the key does not divide") << 3 * MiB + 123 << QStringLiteral("2E5");
    }
    void roundTrip()
    {
        QFETCH(qint64, size);
        QFETCH(QString, key);
        TestEnv env;
        const QByteArray plain = sampleBytes(size);
        const QString plainPath = env.writeFile(QStringLiteral("Plan.dwg"), plain);
        const QString encryptedPath = plainPath + QStringLiteral(".D0C");
        // An older, longer file there must be replaced as a whole.
        const QString backPath = env.writeFile(QStringLiteral("alt.dwg"), plain + "und mehr");
        QList<int> seen;
        const FileCipher::Outcome outcome = FileCipher::Transform(
            plainPath, encryptedPath, key, [&seen](int permille) { seen.append(permille); });
        QVERIFY2(outcome.ok && outcome.error.isEmpty(), qPrintable(outcome.error));
        // The format: byte j XOR the code of key[j mod K], no header.
        QByteArray encrypted = plain;
        for (int j = 0; j < encrypted.size(); ++j)
            encrypted[j] = char(encrypted.at(j) ^ key.at(j % key.size()).toLatin1());
        QVERIFY(contentOf(encryptedPath) == encrypted);
        QVERIFY(contentOf(plainPath) == plain); // the caller removes it, not Transform
        // Rising, below 1000, ending at floor(1000 * S / (S + 1)); none when empty.
        for (int i = 0; i < seen.size(); ++i)
            QVERIFY(seen.at(i) > (i ? seen.at(i - 1) : 0) && seen.at(i) < 1000);
        QCOMPARE(seen.value(seen.size() - 1), int(1000 * size / (size + 1)));
        QVERIFY(FileCipher::Transform(encryptedPath, backPath, key).ok);
        QVERIFY(contentOf(backPath) == plain);
        QCOMPARE(entriesOf(env.root()).size(), 4); // program folder and three files
    }

    void failure_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("blamesTarget");
        QTest::newRow("empty key") << QStringLiteral("nokey") << false;
        QTest::newRow("missing source") << QStringLiteral("missing") << false;
        QTest::newRow("target links to the source") << QStringLiteral("link") << true;
        QTest::newRow("target's parent is a file") << QStringLiteral("parent") << true;
        QTest::newRow("size limit reached mid-file") << QStringLiteral("limit") << true;
        QTest::newRow("full disk") << QStringLiteral("full") << true;
        QTest::newRow("read-only folder") << QStringLiteral("readonly") << true;
        QTest::newRow("source written to while read") << QStringLiteral("grows") << false;
    }
    // The source stays as it was, an existing target too, and no partial file is left.
    void failure()
    {
#ifndef Q_OS_UNIX
        QSKIP("needs fork and file size limits");
#else
        QFETCH(QString, kind);
        QFETCH(bool, blamesTarget);
        TestEnv env;
        const QByteArray plain = sampleBytes(2 * MiB + 17);
        const QString source = env.at(QStringLiteral("Plan.dwg"));
        const bool hasSource = kind != QLatin1String("missing");
        if (hasSource)
            env.writeFile(QStringLiteral("Plan.dwg"), plain);
        const QString folder = kind == QLatin1String("parent") ? env.writeFile(QStringLiteral("kein-ordner"), "x")
                                                               : env.makeDir(QStringLiteral("ziel"));
        const int status = childStatus([&] { return failInChild(kind, source, folder, blamesTarget); });
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77)
            QSKIP("this failure cannot be made here (a full disk needs a mount namespace)");
        QVERIFY2(WEXITSTATUS(status) == 0, "the check named above failed in the child");
        const QByteArray now = kind == QLatin1String("grows") ? plain + "mehr" : plain;
        QVERIFY(hasSource ? contentOf(source) == now : !QFileInfo::exists(source));
#endif
    }

    void killed_data()
    {
        QTest::addColumn<bool>("duringWipe"); // else: during the transformation
        QTest::newRow("during the transformation") << false;
        QTest::newRow("during the wipe") << true;
    }
    // Killed at any moment, the process leaves the plain content whole in one of the files:
    // the source stays untouched until the complete result is on the disk under its name.
    void killed()
    {
#ifndef Q_OS_UNIX
        QSKIP("needs fork and file size limits");
#else
        QFETCH(bool, duringWipe);
        TestEnv env;
        const QByteArray plain = sampleBytes(3 * MiB + 3);
        const QString source = env.writeFile(QStringLiteral("w/Plan.dwg"), plain);
        const QString target = source + QStringLiteral(".D0C"), key = QStringLiteral("2626");
        const int status = childStatus([&] {
            if (!duringWipe)
                FileCipher::Transform(source, target, key, [](int) { ::raise(SIGKILL); });
            else if (FileCipher::Transform(source, target, key).ok && limitFileSize(MiB, true)) // blanks past 1 MiB kill
                FileCipher::WipeFile(source);
            return 0;
        });
        QVERIFY2(WIFSIGNALED(status), "not killed");
        if (duringWipe) {
            QCOMPARE(QFileInfo(source).size(), plain.size()); // partly blank
            QVERIFY(FileCipher::Transform(target, source, key).ok);
        }
        QVERIFY(contentOf(source) == plain);
        if (!duringWipe)
            QCOMPARE(entriesOf(QFileInfo(source).path()), QStringList{QStringLiteral("Plan.dwg")});
#endif
    }

    void wipeOnlyTheFileThatWasRead_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("wiped");
        QTest::newRow("unchanged") << QString() << true;
        QTest::newRow("saved over while read") << QStringLiteral("saved over") << false;
        QTest::newRow("written to after the read") << QStringLiteral("written to") << false;
        QTest::newRow("renamed away and back") << QStringLiteral("renamed") << true;
    }
    // The source is wiped after the transformation only while its name still names the very
    // file that was read, unchanged. A newer file saved over it stays whole, and so does the
    // older file that was read (its content is in the result now).
    void wipeOnlyTheFileThatWasRead()
    {
#ifndef Q_OS_UNIX
        QSKIP("the older file is seen through a hard link");
#else
        QFETCH(QString, change);
        QFETCH(bool, wiped);
        TestEnv env;
        const QByteArray plain = sampleBytes(2 * MiB + 5);
        const QString source = env.writeFile(QStringLiteral("plaene/Plan.dwg"), plain);
        const QString twin = env.at(QStringLiteral("zeuge")), aside = source + QStringLiteral(".x");
        QVERIFY(linkTwin(source, twin));
        const QString newer = env.writeFile(QStringLiteral("neu.tmp"), "neue Fassung");
        bool changed = false;
        const FileCipher::Outcome outcome = FileCipher::Transform(
            source, source + QStringLiteral(".D0C"), QStringLiteral("2626"), [&](int) {
                // An editor saves by renaming its new file over the old one.
                if (change == QLatin1String("saved over") && !changed)
                    changed = QFile::rename(source, env.at(QStringLiteral("alt"))) && QFile::rename(newer, source);
            });
        QVERIFY(outcome.ok);
        QFile file(source);
        if (change == QLatin1String("written to"))
            QVERIFY(file.open(QIODevice::Append) && file.write("+") == 1);
        else if (change == QLatin1String("renamed"))
            QVERIFY(QFile::rename(source, aside) && QFile::rename(aside, source));
        file.close();
        QCOMPARE(FileCipher::WipeFile(source, outcome.source),
                 wiped ? SafeFile::Removal::Removed : SafeFile::Removal::Changed);
        const QByteArray written = change == QLatin1String("written to") ? plain + "+" : plain;
        QVERIFY(contentOf(source) == (wiped ? QByteArray("<missing>")
                                      : change == QLatin1String("saved over") ? QByteArray("neue Fassung") : written));
        QVERIFY(contentOf(twin) == (wiped ? QByteArray(plain.size(), ' ') : written));
        // Nothing hidden is left beside it.
        const QStringList left = {QStringLiteral("Plan.dwg"), QStringLiteral("Plan.dwg.D0C")};
        QCOMPARE(entriesOf(QFileInfo(source).path()), left.mid(wiped ? 1 : 0));
#endif
    }

    // Exact for every 64-bit size, and never 1000 before the work is done.
    void progressPermille()
    {
        const qint64 max = std::numeric_limits<qint64>::max();
        QCOMPARE(FileCipher::progressPermille(max, max), 999);
        QCOMPARE(FileCipher::progressPermille(max / 2, max), 499);
        QCOMPARE(FileCipher::progressPermille(10, 5), 833); // the file grew while it was read
    }

    void availableAndWipe_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("wiped");
        QTest::newRow("empty file") << QStringLiteral("file") << qint64(0) << true << true;
        QTest::newRow("several blocks") << QStringLiteral("file") << 2 * MiB + MiB / 2 + 1 << true << true;
        QTest::newRow("unreadable") << QStringLiteral("noread") << qint64(6) << false << false;
        // Not even overwritten when its folder would not let it be deleted afterwards.
        QTest::newRow("undeletable") << QStringLiteral("locked") << qint64(6) << true << false;
        QTest::newRow("folder") << QStringLiteral("folder") << qint64(0) << false << false;
    }
    void availableAndWipe()
    {
#ifndef Q_OS_UNIX
        QSKIP("the overwrite is seen through a hard link");
#else
        QFETCH(QString, kind);
        QFETCH(qint64, size);
        QFETCH(bool, available);
        QFETCH(bool, wiped);
        if ((kind == QLatin1String("noread") || kind == QLatin1String("locked")) && !::geteuid())
            QSKIP("running as root: permission bits stop nothing");
        TestEnv env;
        const QString folder = env.makeDir(QStringLiteral("ordner"));
        const QString path = folder + QStringLiteral("/Plan.dwg"), twin = env.at(QStringLiteral("zeuge"));
        const bool isFile = kind != QLatin1String("folder");
        const QByteArray content(int(size), 'x');
        QVERIFY(isFile ? contentOf(env.writeFile(QStringLiteral("ordner/Plan.dwg"), content)) == content && linkTwin(path, twin)
                       : QDir().mkdir(path));
        if (kind == QLatin1String("noread"))
            QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        if (kind == QLatin1String("locked"))
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(FileCipher::FileAvailable(path), available);
        QCOMPARE(FileCipher::WipeFile(path), wiped);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(QFileInfo::exists(path), !wiped);
        if (isFile) {
            QVERIFY(QFile::setPermissions(twin, QFile::ReadOwner | QFile::WriteOwner));
            QVERIFY(contentOf(twin) == (wiped ? QByteArray(int(size), ' ') : content));
        }
#endif
    }

    // Keys worked out by hand from the character codes; the users' ".D0C" files depend on them.
    void deriveKey_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("key");
        const auto row = [](const char *name, const char *password, const char *key) {
            QTest::newRow(name) << QString::fromUtf8(password) << QString::fromUtf8(key);
        };
        row("empty", "", "");
        row("one character: nothing to mix with", "a", "");
        row("2, codes below 16 give one digit", "ab", "33");
        row("2, code 0 first", "aa", "");
        row("3, half 1.5 up to 2", "abc", "312");
        row("3, code 0 cut at the end", "aba", "33");
        row("4", "abcd", "2626");
        row("5, half 2.5 down to 2, mix repeats", "Tarvo", "22E261719");
        row("5, code 0 cut in the middle", "abacd", "26");
        row("7, half 3.5 up to 4", "1234567", "5753444");
        row("9, half 4.5 down to 4", "abcdefghi", "75BD444CF");
        row("Windows-1252: euro 80 ^ ü FC", "€ü", "7C7C");
        row("upper-case hex", "ÿa", "9E9E");
        row("best fit: ā counts as a", "āb", "33");
    }
    void deriveKey()
    {
        QFETCH(QString, password);
        QFETCH(QString, key);
        QCOMPARE(KeyDerivation::deriveKey(password), key);
    }
};

QTEST_GUILESS_MAIN(tst_FileCipher)
#include "tst_filecipher.moc"
