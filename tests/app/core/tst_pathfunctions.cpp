#include "app/core/pathfunctions.h"

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
        QTest::newRow("dot in dir") << QStringLiteral("/a.b/readme") << QStringLiteral("readme") << QString();
        QTest::newRow("two dots") << QStringLiteral("/x/plan.v2.dwg") << QStringLiteral("plan.v2") << QStringLiteral(".dwg");
        QTest::newRow("trailing dot") << QStringLiteral("/x/plan.") << QStringLiteral("plan") << QString();
        QTest::newRow("trailing sep") << QStringLiteral("/x/dir/") << QStringLiteral("dir/") << QString();
        QTest::newRow("hidden") << QStringLiteral("/x/.profile") << QString() << QStringLiteral(".profile");
    }
    void splitName()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QCOMPARE(Zerlege(path), name);
        QCOMPARE(GetExt(path), ext);
    }
};

QTEST_GUILESS_MAIN(TestPathFunctions)
#include "tst_pathfunctions.moc"
