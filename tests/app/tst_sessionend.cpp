#include "app/core/settings.h"
#include "helpers/testenv.h"

#include <QProcess>

// The real program in a child process with a program folder and settings of its own, ended by
// a signal as a logout or a shutdown ends it: what its window holds is saved.
class TestSessionEnd : public QObject
{
    Q_OBJECT

private slots:
    void signalSavesTheSettings_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM (shutdown, kill)") << int(SIGTERM);
        QTest::newRow("SIGHUP (terminal closed)") << int(SIGHUP);
        QTest::newRow("SIGINT (Ctrl+C)") << int(SIGINT);
    }
    void signalSavesTheSettings()
    {
        QFETCH(int, signal);
        TestEnv env;
        // Its own folder, where it looks for suchpfad.txt, is a temporary one too; its settings
        // file lies in the test home this process hands on, and it runs offscreen.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        env.writeFile(QStringLiteral("programm/suchpfad.txt"));
        QVERIFY(QFile::copy(QStringLiteral(TARVO_EXECUTABLE), env.at(QStringLiteral("programm/tarvo"))));
        const QString store = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Tarvo/Tarvo.conf");
        const QStringList keys = {QStringLiteral("combo1.Text"), QStringLiteral("Text2.Text"), QStringLiteral("Text1.Text")};
        const QStringList values = {QStringLiteral("4711-ä"), env.root() + QStringLiteral("/ziel/"), QStringLiteral("Notizen\nPlan 4711 prüfen")};
        Settings::useFile(store);
        for (int i = 0; i < keys.size(); ++i)
            Settings::write(keys.at(i), values.at(i));
        QProcess tarvo;
        tarvo.start(env.at(QStringLiteral("programm/tarvo")));
        QVERIFY(tarvo.waitForStarted()); // not before: until its exec the child has this process's handlers
        QVERIFY(QTest::qWaitFor([&] { // it handles the signal itself once its window has loaded the settings
            QFile status(QStringLiteral("/proc/%1/status").arg(tarvo.processId()));
            const QByteArray all = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
            return (all.mid(all.indexOf("SigCgt:") + 7, 17).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
        }, 10000));
        QVERIFY(QFile::remove(store)); // as a logout may leave it: what the window holds must come back
        QCOMPARE(::kill(pid_t(tarvo.processId()), signal), 0);
        QVERIFY(tarvo.waitForFinished(20000));
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(Settings::read(keys.at(i), QString()), values.at(i));
        QVERIFY(tarvo.exitStatus() == QProcess::NormalExit && tarvo.exitCode() == 0);
    }
};

QTEST_GUILESS_MAIN(TestSessionEnd)
#include "tst_sessionend.moc"
