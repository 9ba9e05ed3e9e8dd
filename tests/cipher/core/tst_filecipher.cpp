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

#ifdef Q_OS_LINUX
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

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

#ifdef Q_OS_LINUX
// In a child process: makes the row's failure, transforms source into folder, checks the
// outcome. 0: it failed cleanly; 77: the failure cannot be made here.
int failInChild(const QString &kind, const QString &source, const QString &folder)
{
    const QByteArray at = QFile::encodeName(folder);
    const QString target = folder + u"/Plan.dwg.D0C"_s;
    // A 64 KiB file system in a mount namespace of its own, out of the system's sight.
    if ((kind == "full"_L1 || kind == "readonly"_L1)
        && (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tarvo-test", at.constData(), "tmpfs", 0, "size=64k") != 0))
        return 77;
    // An older result must stay; renaming over a link to the source would replace the source.
    QFile old(target);
    if (kind == "link"_L1 ? !QFile::link(source, target) : kind != "parent"_L1 && !(old.open(QIODevice::WriteOnly) && old.write("alt") == 3))
        return 1;
    old.close();
    if ((kind == "readonly"_L1 && ::mount(nullptr, at.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) // even for root
        || (kind == "limit"_L1 && !limitFileSize(MiB, false))) // like a quota running out
        return 77;
    const QStringList before = entriesOf(folder);
    const QByteArray kept = contentOf(target);
    const auto appendToSource = [&source](int) { // another program writes while it is read
        QFile file(source);
        if (file.size() == 2 * MiB + 17 && file.open(QIODevice::Append))
            file.write("mehr");
    };
    const FileCipher::Outcome out = FileCipher::Transform(
        source, target, u"2626"_s, kind == "grows"_L1 ? std::function<void(int)>(appendToSource) : nullptr);
    const char *failed = out.ok ? "transform reported success"
        : !out.error.contains(QDir::toNativeSeparators(kind == "grows"_L1 ? source : target)) ? "file not named"
        : kind == "full"_L1 && !out.error.contains(u"Datenträger ist voll"_s) ? "full disk not named"
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
        QTest::newRow("empty") << qint64(0) << u"5753444"_s;
        QTest::newRow("crosses the key length") << qint64(23) << u"5753444"_s;
        QTest::newRow("blocks the key does not divide") << 3 * MiB + 123 << u"2E5"_s;
    }
    void roundTrip()
    {
        QFETCH(qint64, size);
        QFETCH(QString, key);
        TestEnv env;
        const QByteArray plain = sampleBytes(size);
        const QString source = env.writeFile(u"Plan.dwg"_s, plain), encrypted = source + u".D0C"_s;
        const QString back = env.writeFile(u"alt.dwg"_s, plain + "und mehr"); // an older, longer file is replaced as a whole
        const FileCipher::Outcome outcome = FileCipher::Transform(source, encrypted, key);
        QVERIFY2(outcome.ok && outcome.error.isEmpty(), qPrintable(outcome.error));
        QByteArray expected = plain; // byte j XOR the code of key[j mod K], no header
        for (int j = 0; j < expected.size(); ++j)
            expected[j] = char(expected.at(j) ^ key.at(j % key.size()).toLatin1());
        QVERIFY(contentOf(encrypted) == expected && contentOf(source) == plain); // the caller removes the source
        QVERIFY(FileCipher::Transform(encrypted, back, key).ok && contentOf(back) == plain);
        QCOMPARE(entriesOf(env.root()).size(), 4); // program folder and three files
    }

#ifdef Q_OS_LINUX // fork, file size limits, mount namespaces and hard links
    void failure_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("target links to the source") << u"link"_s;
        QTest::newRow("target's parent is a file") << u"parent"_s;
        QTest::newRow("size limit reached mid-file") << u"limit"_s;
        QTest::newRow("full disk") << u"full"_s;
        QTest::newRow("read-only folder") << u"readonly"_s;
        QTest::newRow("source written to while read") << u"grows"_s;
    }
    // The source stays as it was, an existing target too, and no partial file is left.
    void failure()
    {
        QFETCH(QString, kind);
        TestEnv env;
        const QByteArray plain = sampleBytes(2 * MiB + 17);
        const QString source = env.writeFile(u"Plan.dwg"_s, plain);
        const QString folder = kind == "parent"_L1 ? env.writeFile(u"kein-ordner"_s, "x") : env.makeDir(u"ziel"_s);
        const int status = childStatus([&] { return failInChild(kind, source, folder); });
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77)
            QSKIP("this failure cannot be made here (a full disk needs a mount namespace)");
        QVERIFY2(WEXITSTATUS(status) == 0, "the check named above failed in the child");
        QVERIFY(contentOf(source) == (kind == "grows"_L1 ? plain + "mehr" : plain));
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
        QFETCH(bool, duringWipe);
        TestEnv env;
        const QByteArray plain = sampleBytes(3 * MiB + 3);
        const QString source = env.writeFile(u"w/Plan.dwg"_s, plain), target = source + u".D0C"_s, key = u"2626"_s;
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
        } else {
            QCOMPARE(entriesOf(QFileInfo(source).path()), QStringList{u"Plan.dwg"_s});
        }
        QVERIFY(contentOf(source) == plain);
    }

    void wipeOnlyTheFileThatWasRead_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("removal");
        QTest::newRow("unchanged") << QString() << int(SafeFile::Removal::Removed);
        QTest::newRow("saved over while read") << u"saved over"_s << int(SafeFile::Removal::Changed);
        QTest::newRow("written to after the read") << u"written to"_s << int(SafeFile::Removal::Changed);
    }
    // The source is wiped only while its name still names the very file that was read, unchanged. A
    // newer file saved over it stays whole, and so does the older one (its content is in the result).
    void wipeOnlyTheFileThatWasRead()
    {
        QFETCH(QString, change);
        QFETCH(int, removal);
        TestEnv env;
        const QByteArray plain = sampleBytes(2 * MiB + 5);
        const QString source = env.writeFile(u"plaene/Plan.dwg"_s, plain), folder = QFileInfo(source).path();
        const QString twin = env.at(u"zeuge"_s), newer = env.writeFile(u"neu.tmp"_s, "neue Fassung");
        // A second name for the bytes that were read: it outlives a delete and shows what the disk kept.
        QVERIFY(::link(QFile::encodeName(source).constData(), QFile::encodeName(twin).constData()) == 0);
        bool changed = false;
        const FileCipher::Outcome outcome = FileCipher::Transform(source, source + u".D0C"_s, u"2626"_s, [&](int) {
            if (change == "saved over"_L1 && !changed) // as an editor saves: its new file renamed over the old one
                changed = QFile::rename(source, env.at(u"alt"_s)) && QFile::rename(newer, source);
        });
        QVERIFY(outcome.ok);
        QFile file(source);
        if (change == "written to"_L1)
            QVERIFY(file.open(QIODevice::Append) && file.write("+") == 1);
        file.close();
        QCOMPARE(int(FileCipher::WipeFile(source, outcome.source)), removal);
        const bool wiped = removal == int(SafeFile::Removal::Removed);
        const QByteArray read = change == "written to"_L1 ? plain + "+" : plain;
        QVERIFY(contentOf(source) == (wiped ? "<missing>"_ba : change == "saved over"_L1 ? "neue Fassung"_ba : read));
        QVERIFY(contentOf(twin) == (wiped ? QByteArray(plain.size(), ' ') : read));
        QCOMPARE(entriesOf(folder), (QStringList{u"Plan.dwg"_s, u"Plan.dwg.D0C"_s}.mid(wiped ? 1 : 0))); // nothing hidden left
    }
#endif

    // Keys worked out by hand from the character codes; the users' ".D0C" files depend on them.
    void deriveKey_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("key");
        QTest::newRow("one character: nothing to mix with") << u"a"_s << QString();
        QTest::newRow("2, codes below 16 give one digit") << u"ab"_s << u"33"_s;
        QTest::newRow("2, code 0 first") << u"aa"_s << QString();
        QTest::newRow("3, half 1.5 up to 2") << u"abc"_s << u"312"_s;
        QTest::newRow("5, half 2.5 down to 2, mix repeats") << u"Tarvo"_s << u"22E261719"_s;
        QTest::newRow("5, code 0 cut in the middle") << u"abacd"_s << u"26"_s;
        QTest::newRow("Windows-1252: euro 80 ^ ü FC") << u"€ü"_s << u"7C7C"_s;
        QTest::newRow("best fit: ā counts as a") << u"āb"_s << u"33"_s;
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
