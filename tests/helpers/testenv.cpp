#include "testenv.h"

#include "app/core/settings.h"
#include "app/drivelist.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

TestEnv::TestEnv()
{
    tarvoTestProcessSetup();
    QDir().mkpath(programFolder());
    Settings::useFile(settingsFile());

    m_programFolder = programFolder();
    installHooks();
    Platform::setArguments({});
}

TestEnv::~TestEnv()
{
    closeWindows();
    Platform::clearHooks();
    Platform::setArguments({});
    // Make everything removable again, whatever a test made read-only.
    const QString top = m_dir.path();
    QFile::setPermissions(top, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::function<void(const QString &)> unlock = [&](const QString &dir) {
        const QFileInfoList entries = QDir(dir).entryInfoList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        for (const QFileInfo &e : entries) {
            if (e.isSymLink())
                continue;
            QFile::setPermissions(e.filePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            if (e.isDir())
                unlock(e.filePath());
        }
    };
    unlock(top);
}

void TestEnv::installHooks()
{
    Platform::Hooks hooks;
    hooks.programFolder = m_programFolder;
    hooks.messageBox = [this](const Platform::MessageBoxCall &call) {
        messages.append(call);
        if (onMessage)
            onMessage(call);
        if (!answers.isEmpty())
            return answers.takeFirst();
        return call.buttons == Platform::Buttons::YesNo ? Platform::Answer::No : Platform::Answer::Ok;
    };
    hooks.open = [this](const QString &what) {
        opened.append(what);
        return true;
    };
    hooks.clipboardText = [this] { return clipboard; };
    hooks.setClipboardText = [this](const QString &text) { clipboard = text; };
    Platform::setHooks(hooks);
}

void TestEnv::useProgramFolder(const QString &path)
{
    m_programFolder = path;
    installHooks();
}

QString TestEnv::root() const
{
    return m_dir.path();
}

QString TestEnv::at(const QString &relativePath) const
{
    return m_dir.filePath(relativePath);
}

QString TestEnv::programFolder() const
{
    return m_dir.filePath(QStringLiteral("program"));
}

QString TestEnv::settingsFile() const
{
    return m_dir.filePath(QStringLiteral("settings.ini"));
}

QString TestEnv::writeFile(const QString &relativePath, const QByteArray &content)
{
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write test file %s", qPrintable(path));
    f.write(content);
    return path;
}

QString TestEnv::makeDir(const QString &relativePath)
{
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(path);
    return path;
}

QStringList TestEnv::messageTexts() const
{
    QStringList texts;
    for (const auto &m : messages)
        texts.append(m.text);
    return texts;
}

void tarvoTestProcessSetup()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
}

void closeWindows()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

void clickItem(QListWidget *list, const QString &text, bool twice)
{
    const auto found = list->findItems(text, twice ? Qt::MatchEndsWith : Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list->scrollToItem(found.last());
    const QPoint at = list->visualItemRect(found.last()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }
}

int otherAvailableDrive(const QComboBox *drives)
{
    for (int i = 0; i < drives->count(); ++i) {
        if (i != drives->currentIndex() && DriveList::isAvailable(drives->itemData(i).toString()))
            return i;
    }
    return -1;
}

#ifdef Q_OS_UNIX
int childStatus(const std::function<int()> &work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const struct rlimit noCore = {0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::_exit(work());
    }
    int status = -1;
    return child > 0 && ::waitpid(child, &status, 0) == child ? status : -1;
}

bool limitFileSize(qint64 bytes, bool kill)
{
    std::signal(SIGXFSZ, kill ? SIG_DFL : SIG_IGN);
    const struct rlimit limit = {rlim_t(bytes), rlim_t(bytes)};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}
#endif
