#include "app/core/cp1252.h"
#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"
#include "helpers/testenv.h"

#include <QFile>
#include <QTest>

class TestPathFunctions : public QObject
{
    Q_OBJECT

private slots:
    void splitName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::newRow("plain") << QStringLiteral("/plaene/4711.dwg") << QStringLiteral("4711") << QStringLiteral(".dwg");
        QTest::newRow("upper ext") << QStringLiteral("/srv/data/2d/A-100.DWG") << QStringLiteral("A-100") << QStringLiteral(".DWG");
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
        const QString file = env.writeFile(QStringLiteral("a/file.txt"), "x");
        const QString empty = env.writeFile(QStringLiteral("a/empty"));
        QVERIFY(FileExists(file));
        QVERIFY(FileExists(empty));
        QVERIFY(!FileExists(env.root() + QStringLiteral("/a")));
        QVERIFY(!FileExists(env.root() + QStringLiteral("/a/missing")));
        QVERIFY(!FileExists(QString()));
        QVERIFY(DirExists(env.root() + QStringLiteral("/a")));
        QVERIFY(DirExists(env.root() + QStringLiteral("/a/")));
        QVERIFY(!DirExists(file));
        QVERIFY(!DirExists(QString()));
    }

    void nativeRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("/tmp/plan 4711.dwg");
        QTest::newRow("utf8") << QByteArray("/tmp/Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x98\x80");
        QTest::newRow("latin1 byte") << QByteArray("/tmp/Gr\xfc\xdf" "e.dwg");
        QTest::newRow("truncated seq") << QByteArray("/tmp/x\xe2\x82");
        QTest::newRow("overlong") << QByteArray("/tmp/\xc0\xaf");
        QTest::newRow("encoded surrogate") << QByteArray("/tmp/\xed\xa0\x80");
    }
    void nativeRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(NativePath::encode(NativePath::decode(bytes)), bytes);
    }

    // Bytes that are no UTF-8 read as Windows-1252; valid characters stay as they are.
    void display_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ascii") << QByteArray("/tmp/plan 4711.dwg")
                               << QStringLiteral("/tmp/plan 4711.dwg");
        QTest::newRow("utf8") << QByteArray("/tmp/\xc3\xa4nderung")
                              << QStringLiteral("/tmp/\u00e4nderung");
        QTest::newRow("latin1") << QByteArray("/tmp/4711-\xe4nderung.dwg")
                                << QStringLiteral("/tmp/4711-\u00e4nderung.dwg");
        QTest::newRow("latin1 pair")
            << QByteArray("/tmp/Gr\xf6\xdf" "e") << QStringLiteral("/tmp/Gr\u00f6\u00dfe");
        QTest::newRow("windows-1252 only")
            << QByteArray("/tmp/\x80 \x9c") << QStringLiteral("/tmp/\u20ac \u0153");
        QTest::newRow("unassigned code")
            << QByteArray("/tmp/a\x81") << QStringLiteral("/tmp/a\ufffd");
        QTest::newRow("beyond the first plane, then latin1")
            << QByteArray("/tmp/\xf0\x90\x82\x80\xe4") << QStringLiteral("/tmp/\U00010080\u00e4");
    }
    void display()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(NativePath::display(NativePath::decode(bytes)), shown);
    }

    // A file handed to another program is named by its bytes.
    void fileUrl_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("url");
        QTest::newRow("plain") << QByteArray("/tmp/plan 4711.dwg")
                               << QByteArray("file:///tmp/plan%204711.dwg");
        QTest::newRow("utf8") << QByteArray("/tmp/\xc3\xa4") << QByteArray("file:///tmp/%C3%A4");
        QTest::newRow("latin1") << QByteArray("/tmp/\xe4#1?")
                                << QByteArray("file:///tmp/%E4%231%3F");
    }
    void fileUrl()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, url);
        QCOMPARE(NativePath::fileUrl(NativePath::decode(bytes)).toEncoded(), url);
    }

    void cp1252_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("codes");
        QTest::newRow("ascii") << QStringLiteral("abc") << QByteArray("abc");
        QTest::newRow("euro") << QString(QChar(0x20AC)) << QByteArray("\x80");
        QTest::newRow("umlaut") << QStringLiteral("\u00e4\u00df") << QByteArray("\xe4\xdf");
        QTest::newRow("unassigned") << QString(QChar(0x81)) + QChar(0x9D) << QByteArray("\x81\x9d");
        QTest::newRow("best fit") << QStringLiteral("\u0101\u0107") << QByteArray("ac");
        QTest::newRow("no equivalent") << QStringLiteral("\u4e2d") << QByteArray("?");
        QTest::newRow("c1 not in set") << QString(QChar(0x80)) << QByteArray("?");
    }
    void cp1252()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, codes);
        QCOMPARE(Cp1252::encode(text), codes);
    }

    void cp1252AllCodesRoundTrip()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString text = Cp1252::decode(all);
        QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
        QCOMPARE(Cp1252::encode(text), all);
    }
};

QTEST_GUILESS_MAIN(TestPathFunctions)
#include "tst_pathfunctions.moc"
