#include "app/core/safefile.h"
#include "helpers/testenv.h"

#include <cerrno>
#include <cstdlib>

static QByteArray native(const QString &path) { return QFile::encodeName(path); }

// Files get their final names replacing none, whatever the file system; one saved over stays.
class TestSafeFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SafeFile::Testing::pretendMissing(0); }

    void renameNoReplace_data()
    {
        using namespace SafeFile::Testing;
        QTest::addColumn<int>("missing");
        QTest::addColumn<bool>("taken");
        for (const bool taken : {false, true}) {
            for (const auto &[name, missing] : {std::pair("atomic no-replace rename", 0), {"hard link", int(RenameNoReplace)}, {"look, then rename", int(RenameNoReplace | HardLinks)}})
                QTest::addRow("%s, onto a %s name", name, taken ? "taken" : "free") << missing << taken;
        }
    }
    void renameNoReplace()
    {
        QFETCH(int, missing);
        QFETCH(bool, taken);
        TestEnv env;
        // Even beside a name at the length limit the hidden work name can be made.
        const QString name = QStringLiteral("f/") + QString(125, QChar(0xe4)) + QStringLiteral(".dwg"), to = env.at(name); // 254 bytes
        env.makeDir(QStringLiteral("f"));
        QByteArray from = SafeFile::siblingTemplate(native(to));
        const int fd = ::mkstemp(from.data());
        QVERIFY(fd >= 0 && ::write(fd, "neu", 3) == 3 && ::close(fd) == 0 && from.contains("/.") && QString::fromUtf8(from).toUtf8() == from);
        if (taken)
            env.writeFile(name, "alt");
        SafeFile::Testing::pretendMissing(missing);
        QCOMPARE(SafeFile::renameNoReplace(from, native(to)), taken ? EEXIST : 0);
        QCOMPARE(contentOf(to), taken ? QByteArray("alt") : QByteArray("neu"));
        QCOMPARE(entriesOf(env.at(QStringLiteral("f"))).size(), taken ? 2 : 1);
    }

    void removeIfSame_data()
    {
        QTest::addColumn<QString>("meanwhile");
        for (const char *meanwhile : {"nothing", "another file saved over it", "gone"})
            QTest::newRow(meanwhile) << QString::fromLatin1(meanwhile);
    }
    void removeIfSame()
    {
        QFETCH(QString, meanwhile);
        const bool savedOver = meanwhile.startsWith(QStringLiteral("another"));
        TestEnv env;
        const QString path = env.writeFile(QStringLiteral("f/plan.dwg"), "gelesen");
        const SafeFile::Identity read = SafeFile::identityOf(native(path));
        QVERIFY(read.isValid());
        if (savedOver)
            QVERIFY(::rename(native(env.writeFile(QStringLiteral("f/neu"), "neu")).constData(), native(path).constData()) == 0);
        else if (meanwhile == QStringLiteral("gone"))
            QVERIFY(QFile::remove(path));
        QCOMPARE(int(SafeFile::removeIfSame(native(path), read)),
                 int(meanwhile == QStringLiteral("nothing") ? SafeFile::Removal::Removed : SafeFile::Removal::Changed));
        QCOMPARE(entriesOf(env.at(QStringLiteral("f"))), savedOver ? QStringList{QStringLiteral("plan.dwg")} : QStringList()); // none set aside
        QCOMPARE(contentOf(path), savedOver ? QByteArray("neu") : QByteArray("<missing>"));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
