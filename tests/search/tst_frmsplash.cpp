#include "helpers/testenv.h"
#include "search/frmsplash.h"

#include <QLabel>
#include <QTest>

class TestFrmSplash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }
    void cleanup() { delete frmSplash::existing(); }

    void texts()
    {
        frmSplash *s = frmSplash::showNotice();
        QCOMPARE(child<QLabel>(s, "Label1")->text(), QStringLiteral("Kein Treffer !"));
        QCOMPARE(child<QLabel>(s, "Label2")->text(),
                 QStringLiteral("Versuchen Sie eventuell die Eingabe zu optimieren. Verwenden Sie den Platzhalter * "
                                "(an Stelle der Trennungszeichen - oder _ ) und geben Sie nur einen Teil des Namens "
                                "ein (z.B. \" *111 \") !"));
        QCOMPARE(child<QLabel>(s, "Label3")->text(),
                 QStringLiteral("Zum Schliessen dieser Dialogbox klicken Sie in die Box oder drücken Sie eine Taste !"));
        QCOMPARE(child<QTimer>(s, "Timer1")->interval(), 4000);
    }

    void closesOn_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("background") << QString();
        QTest::newRow("Label1") << QStringLiteral("Label1");
        QTest::newRow("Label2") << QStringLiteral("Label2");
        QTest::newRow("Label3") << QStringLiteral("Label3");
        QTest::newRow("key") << QStringLiteral("key");
    }
    void closesOn()
    {
        QFETCH(QString, target);
        QPointer<frmSplash> s = frmSplash::showNotice();
        if (target == QStringLiteral("key"))
            QTest::keyClick(s.data(), Qt::Key_A);
        else if (target.isEmpty())
            QTest::mouseClick(s.data(), Qt::LeftButton, {}, QPoint(3, 3));
        else
            QTest::mouseClick(s->findChild<QLabel *>(target), Qt::LeftButton);
        QTRY_VERIFY(!s);
    }

    void timerIsNotRestartedByASecondShow()
    {
        QPointer<frmSplash> s = frmSplash::showNotice();
        QTest::qWait(1500);
        QCOMPARE(frmSplash::showNotice(), s.data());
        QVERIFY(child<QTimer>(s, "Timer1")->remainingTime() < 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!s, 4000);
        // A fresh notice gets a fresh period.
        QPointer<frmSplash> again = frmSplash::showNotice();
        QVERIFY(child<QTimer>(again, "Timer1")->remainingTime() > 3000);
    }
};

QTEST_MAIN(TestFrmSplash)
#include "tst_frmsplash.moc"
