#pragma once

#include "app/platform.h"

#include <QComboBox>
#include <QList>
#include <QListWidget>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// One test's private world: a temporary tree with the program folder and the settings, and
// recorders for what the platform layer would have shown or done. Message boxes answer from
// `answers` (default: OK, or No to a question). At its end every window is closed and let go.
class TestEnv
{
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv &) = delete;
    TestEnv &operator=(const TestEnv &) = delete;

    QString root() const { return m_dir.path(); }
    QString at(const QString &relativePath) const { return m_dir.filePath(relativePath); }
    QString programFolder() const { return at(QStringLiteral("program")); }
    void useProgramFolder(const QString &path); // not created
    // Below root(), with their folders; return the full path.
    QString writeFile(const QString &relativePath, const QByteArray &content = QByteArray());
    QString makeDir(const QString &relativePath);

    QList<Platform::MessageBoxCall> messages;
    QList<Platform::Answer> answers; // taken from the front, one per message box
    std::function<void(const Platform::MessageBoxCall &)> onMessage; // runs before it answers
    QStringList opened;
    QString clipboard;
    QStringList messageTexts() const;

private:
    QTemporaryDir m_dir;
    Platform::Hooks m_hooks;
};

// Test-mode standard paths, HOME and the XDG folders in a temporary folder: nothing reaches the
// real user's files. Call from initTestCase() where no TestEnv is made.
void tarvoTestProcessSetup();

// A control of a window by object name; the run stops when there is none of that type.
template <typename T = QWidget>
T *child(const QObject *window, const char *name)
{
    T *control = window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!control)
        qFatal("%s has no control %s", window ? qPrintable(window->objectName()) : "(none)", name);
    return control;
}

QByteArray contentOf(const QString &path); // "<missing>" when it cannot be read
QStringList entriesOf(const QString &folder); // hidden ones too, by name
// Clicks an entry of a list; `twice` opens a folder of a directory list (indented names) with a
// double-click as a real one arrives.
void clickItem(QListWidget *list, const QString &text, bool twice = false);
int otherAvailableDrive(const QComboBox *drives); // another available drive, or -1

#ifdef Q_OS_UNIX
// Runs `work` in a child process without core file; its wait status, or -1 without a child.
int childStatus(const std::function<int()> &work);
// Writes of this process past `bytes` fail, or with `kill` end it as kill -9 would. False when
// the limit is refused.
bool limitFileSize(qint64 bytes, bool kill);
#endif
