#include "testenv.h"

#include "app/core/settings.h"
#include "app/drivelist.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

TestEnv::TestEnv()
{
    tarvoTestProcessSetup();
    Settings::useFile(at(QStringLiteral("settings.ini")));
    Platform::setArguments({});
    m_hooks.messageBox = [this](const Platform::MessageBoxCall &call) {
        messages.append(call);
        if (onMessage)
            onMessage(call);
        if (!answers.isEmpty())
            return answers.takeFirst();
        return call.buttons == Platform::Buttons::YesNo ? Platform::Answer::No : Platform::Answer::Ok;
    };
    m_hooks.open = [this](const QString &what) {
        opened.append(what);
        return true;
    };
    m_hooks.clipboardText = [this] { return clipboard; };
    m_hooks.setClipboardText = [this](const QString &text) { clipboard = text; };
    useProgramFolder(makeDir(QStringLiteral("program")));
}

TestEnv::~TestEnv()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Platform::clearHooks();
    Platform::setArguments({});
    // Whatever a test made read-only must be removable again.
    const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    std::function<void(const QString &)> unlock = [&](const QString &path) {
        if (QFile::setPermissions(path, all) && QFileInfo(path).isDir()) {
            for (const QFileInfo &e : QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
                if (!e.isSymLink())
                    unlock(e.filePath());
        }
    };
    unlock(root());
}

void TestEnv::useProgramFolder(const QString &path)
{
    m_hooks.programFolder = path;
    Platform::setHooks(m_hooks);
}

QString TestEnv::writeFile(const QString &relativePath, const QByteArray &content)
{
    QFile f(at(relativePath));
    if (!QDir().mkpath(QFileInfo(f).absolutePath()) || !f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qFatal("cannot write test file %s", qPrintable(f.fileName()));
    return f.fileName();
}

QString TestEnv::makeDir(const QString &relativePath)
{
    QDir().mkpath(at(relativePath));
    return at(relativePath);
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
    if (std::exchange(done, true))
        return;
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    for (const char *xdg : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(xdg, QFile::encodeName(home.filePath(QLatin1String(xdg))));
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
