#include "helpers/testenv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

const QStringList kKeys = {QStringLiteral("combo1.Text"), QStringLiteral("Text2.Text"),
                           QStringLiteral("Text1.Text"), QStringLiteral("Check1.Value")};

// Replaces the whole store, as a new file renamed over the old one.
void writeStore(const QString &file, const QStringList &values)
{
    QSettings store(file, QSettings::IniFormat);
    store.clear();
    store.beginGroup(QStringLiteral("Optionen"));
    for (int i = 0; i < values.size(); ++i)
        store.setValue(kKeys.at(kKeys.size() - values.size() + i), values.at(i));
    store.endGroup();
    store.sync();
}

// True once the process handles the signal itself, which the program arranges only after its
// search window has loaded the settings.
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

} // namespace

// The real program, started offscreen in a child process with a program folder, home and
// settings of its own, ended by a signal as a logout or a shutdown ends it.
class TestSessionEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

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
        // Its own folder, where it looks for suchpfad.txt, must be a temporary one too.
        const QString program = env.makeDir(QStringLiteral("programm")) + QStringLiteral("/tarvo");
        if (::link(TARVO_EXECUTABLE, QFile::encodeName(program).constData()) != 0)
            QVERIFY(QFile::copy(QString::fromUtf8(TARVO_EXECUTABLE), program));
        env.writeFile(QStringLiteral("programm/suchpfad.txt"));
        const QString config = env.makeDir(QStringLiteral("config"));
        const QString store = config + QStringLiteral("/Tarvo/Tarvo.conf");
        const QStringList values = {QStringLiteral("4711-ä"), env.root() + QStringLiteral("/ziel/"),
                                    QStringLiteral("Notizen\nPlan 4711 prüfen"), QStringLiteral("1")};
        writeStore(store, values);

        QProcess tarvo;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), env.makeDir(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), env.makeDir(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), env.makeDir(QStringLiteral("cache")));
        tarvo.setProcessEnvironment(environment);
        tarvo.setProgram(program);
        tarvo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tarvo.start();
        QVERIFY(tarvo.waitForStarted());
        const qint64 pid = tarvo.processId();
        for (QDeadlineTimer up(10000); !catches(pid, signal) && !up.hasExpired();)
            QThread::msleep(5);

        // What was left after a logout: the values the window holds must come back.
        writeStore(store, values.mid(3));
        QCOMPARE(::kill(pid_t(pid), signal), 0);
        QVERIFY(tarvo.waitForFinished(20000));
        QSettings saved(store, QSettings::IniFormat);
        saved.beginGroup(QStringLiteral("Optionen"));
        for (int i = 0; i < kKeys.size(); ++i)
            QCOMPARE(saved.value(kKeys.at(i)).toString(), values.at(i));
        QCOMPARE(tarvo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tarvo.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSessionEnd)
#include "tst_sessionend.moc"
