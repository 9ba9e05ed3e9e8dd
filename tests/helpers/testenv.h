#pragma once

#include "app/core/settings.h"
#include "app/drivelist.h"
#include "app/platform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// Keeps the real user's files out of reach: HOME, XDG folders and standard paths in a temporary one.
inline void tarvoTestProcessSetup()
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

// One test's private world: a temporary tree with the program folder and the settings, and
// recorders for what the platform layer would have shown or done. Message boxes answer from
// `answers` (default: OK, or No to a question). At its end every window is closed and let go.
class TestEnv
{
public:
    TestEnv()
    {
        tarvoTestProcessSetup();
        Settings::useFile(at(QStringLiteral("settings.ini")));
        Platform::setArguments({});
        m_hooks.messageBox = [this](const Platform::MessageBoxCall &call) {
            messages.append(call);
            if (onMessage)
                onMessage(call);
            return !answers.isEmpty() ? answers.takeFirst()
                   : call.buttons == Platform::Buttons::YesNo ? Platform::Answer::No : Platform::Answer::Ok;
        };
        m_hooks.open = [this](const QString &what) {
            opened.append(what);
            return true;
        };
        m_hooks.clipboardText = [this] { return clipboard; };
        m_hooks.setClipboardText = [this](const QString &text) { clipboard = text; };
        useProgramFolder(makeDir(QStringLiteral("program")));
    }
    ~TestEnv()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Platform::clearHooks();
        // Whatever a test made read-only must be removable again.
        std::function<void(const QString &)> unlock = [&](const QString &path) {
            if (QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) && QFileInfo(path).isDir()) {
                for (const QFileInfo &e : QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
                    if (!e.isSymLink())
                        unlock(e.filePath());
            }
        };
        unlock(root());
    }

    QString root() const { return m_dir.path(); }
    QString at(const QString &relativePath) const { return m_dir.filePath(relativePath); }
    QString programFolder() const { return at(QStringLiteral("program")); }
    void useProgramFolder(const QString &path) // not created
    {
        m_hooks.programFolder = path;
        Platform::setHooks(m_hooks);
    }
    // Below root(), with their folders; return the full path.
    QString writeFile(const QString &relativePath, const QByteArray &content = QByteArray())
    {
        QFile f(at(relativePath));
        if (!QDir().mkpath(QFileInfo(f).absolutePath()) || !f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write test file %s", qPrintable(f.fileName()));
        return f.fileName();
    }
    QString makeDir(const QString &relativePath) { return QDir(root()).mkpath(relativePath) ? at(relativePath) : QString(); }

    QList<Platform::MessageBoxCall> messages;
    QList<Platform::Answer> answers; // taken from the front, one per message box
    std::function<void(const Platform::MessageBoxCall &)> onMessage; // runs before it answers
    QStringList opened;
    QString clipboard;
    QStringList messageTexts() const
    {
        QStringList texts;
        for (const auto &m : messages)
            texts.append(m.text);
        return texts;
    }

private:
    QTemporaryDir m_dir;
    Platform::Hooks m_hooks;
};

// A control of a window by object name; the run stops when there is none of that type.
template <typename T = QWidget>
T *child(const QObject *window, const char *name)
{
    T *control = window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!control)
        qFatal("%s has no control %s", window ? qPrintable(window->objectName()) : "(none)", name);
    return control;
}

inline QByteArray contentOf(const QString &path) // "<missing>" when it cannot be read
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline QStringList entriesOf(const QString &folder) // hidden ones too, by name
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// Clicks an entry of a list; `twice` opens a folder of a directory list (indented names) with a
// double-click as a real one arrives.
inline void clickItem(QListWidget *list, const QString &text, bool twice = false)
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

inline int otherAvailableDrive(const QComboBox *drives) // another available drive, or -1
{
    for (int i = 0; i < drives->count(); ++i)
        if (i != drives->currentIndex() && DriveList::isAvailable(drives->itemData(i).toString()))
            return i;
    return -1;
}

#ifdef Q_OS_UNIX
// Runs `work` in a child process without core file; its wait status, or -1 without a child.
inline int childStatus(const std::function<int()> &work)
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

// Writes of this process past `bytes` fail, or with `kill` end it as kill -9 would. False when
// the limit is refused.
inline bool limitFileSize(qint64 bytes, bool kill)
{
    std::signal(SIGXFSZ, kill ? SIG_DFL : SIG_IGN);
    const struct rlimit limit = {rlim_t(bytes), rlim_t(bytes)};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}
#endif
