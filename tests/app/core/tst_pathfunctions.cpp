#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"
#include "helpers/testenv.h"

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
        QTest::newRow("windows-1252") << QByteArray("4711-\xe4nderung \x80 \x9c") << QStringLiteral("4711-änderung € œ");
        QTest::newRow("unassigned code") << QByteArray("a\x81") << QStringLiteral("a\ufffd");
        QTest::newRow("truncated, overlong, surrogate, beyond the first plane")
            << QByteArray("x\xe2\x82 \xc0\xaf \xed\xa0\x80 \xf0\x90\x82\x80\xe4") << QStringLiteral("xâ‚ À¯ í\u00a0€ \U00010080ä");
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
};

QTEST_GUILESS_MAIN(TestPathFunctions)
#include "tst_pathfunctions.moc"
