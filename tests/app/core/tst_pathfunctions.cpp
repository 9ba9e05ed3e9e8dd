#include "app/core/cp1252.h"
#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"
#include "helpers/testenv.h"

#include <QTest>

#include <numeric>

class TestPathFunctions : public QObject
{
    Q_OBJECT

private slots:
    void splitName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::newRow("plain") << QStringLiteral("/plaene/4711.DWG") << QStringLiteral("4711") << QStringLiteral(".DWG");
        QTest::newRow("no dot") << QStringLiteral("readme") << QStringLiteral("readme") << QString();
        QTest::newRow("dot in dir") << QStringLiteral("/a.b/readme") << QStringLiteral("readme") << QString();
        QTest::newRow("two dots") << QStringLiteral("/x/plan.v2.dwg") << QStringLiteral("plan.v2") << QStringLiteral(".dwg");
        QTest::newRow("trailing dot") << QStringLiteral("/x/plan.") << QStringLiteral("plan") << QString();
        QTest::newRow("trailing sep") << QStringLiteral("/x/dir/") << QStringLiteral("dir/") << QString();
        QTest::newRow("hidden") << QStringLiteral("/x/.profile") << QString() << QStringLiteral(".profile");
        QTest::newRow("empty") << QString() << QString() << QString();
    }
    void splitName()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QCOMPARE(Zerlege(path), name);
        QCOMPARE(GetExt(path), ext);
    }

    void existence()
    {
        TestEnv env;
        const QString dir = env.makeDir(QStringLiteral("a")), empty = env.writeFile(QStringLiteral("a/empty"));
        QVERIFY(FileExists(empty) && !DirExists(empty));
        QVERIFY(DirExists(dir) && DirExists(dir + QLatin1Char('/')) && !FileExists(dir));
        QVERIFY(!FileExists(dir + QStringLiteral("/missing")) && !DirExists(dir + QStringLiteral("/missing")));
        QVERIFY(!FileExists(QString()) && !DirExists(QString()));
    }

    // A name from an old server that is no UTF-8 still names its file, also as a URL handed to
    // another program, and reads as Windows-1252.
    void nativeName_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ascii") << QByteArray("plan 4711#1?.dwg") << QStringLiteral("plan 4711#1?.dwg");
        QTest::newRow("utf8") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x98\x80") << QStringLiteral("Grüße € \U0001F600");
        QTest::newRow("latin1") << QByteArray("4711-\xe4nderung.dwg") << QStringLiteral("4711-änderung.dwg");
        QTest::newRow("windows-1252 only") << QByteArray("\x80 \x9c") << QStringLiteral("€ œ");
        QTest::newRow("unassigned code") << QByteArray("a\x81") << QStringLiteral("a\ufffd");
        QTest::newRow("truncated sequence") << QByteArray("x\xe2\x82") << QStringLiteral("xâ‚");
        QTest::newRow("overlong") << QByteArray("\xc0\xaf") << QStringLiteral("À¯");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << QStringLiteral("í\u00a0€");
        QTest::newRow("beyond the first plane, then latin1") << QByteArray("\xf0\x90\x82\x80\xe4") << QStringLiteral("\U00010080ä");
    }
    void nativeName()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QByteArray path = "/tmp/" + bytes;
        const QString name = NativePath::decode(path);
        QCOMPARE(NativePath::encode(name), path);
        QCOMPARE(NativePath::display(name), QStringLiteral("/tmp/") + shown);
        const QByteArray url = NativePath::fileUrl(name).toEncoded();
        QVERIFY(!url.contains('#') && !url.contains('?'));
        QCOMPARE(QByteArray::fromPercentEncoding(url.mid(7)), path);
    }

    // The 256 codes are distinct characters and come back; a character outside the set becomes
    // its base letter where it has one, else "?".
    void cp1252()
    {
        QByteArray all(256, Qt::Uninitialized);
        std::iota(all.begin(), all.end(), char(0));
        const QString text = Cp1252::decode(all);
        QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
        QCOMPARE(Cp1252::encode(text), all);
        QCOMPARE(Cp1252::encode(QStringLiteral("a€äß\u0101\u0107\u4e2d\u0080")), QByteArray("a\x80\xe4\xdf" "ac??"));
    }
};

QTEST_GUILESS_MAIN(TestPathFunctions)
#include "tst_pathfunctions.moc"
