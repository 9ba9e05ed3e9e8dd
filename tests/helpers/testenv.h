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

// One test's private world: a temporary program folder and settings file, and recorders for
// everything the platform layer would have shown or done. Message boxes answer from a script
// (default: OK, or No for a Yes/No question) and are recorded verbatim. At its end every window
// of the program is closed and let go, for a clean start of the next test.
class TestEnv
{
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv &) = delete;
    TestEnv &operator=(const TestEnv &) = delete;

    // Root of this test's temporary tree, and a path below it.
    QString root() const;
    QString at(const QString &relativePath) const;
    // The program folder Tarvo sees (created, empty).
    QString programFolder() const;
    QString settingsFile() const;
    // Makes Tarvo see another program folder (not created).
    void useProgramFolder(const QString &path);

    // Writes a file below root() (folders created); returns its full path.
    QString writeFile(const QString &relativePath, const QByteArray &content = QByteArray());
    // Creates a folder below root(); returns its full path.
    QString makeDir(const QString &relativePath);

    QList<Platform::MessageBoxCall> messages;
    QList<Platform::Answer> answers; // taken from the front, one per message box
    std::function<void(const Platform::MessageBoxCall &)> onMessage; // runs before it answers
    QStringList opened;
    QString clipboard;

    // Texts of the recorded message boxes.
    QStringList messageTexts() const;

private:
    void installHooks();

    QTemporaryDir m_dir;
    QString m_programFolder;
};

// Sets up the process for tests: offscreen platform, test-mode standard paths, and HOME and
// the XDG folders inside a temporary folder so nothing reaches the real user's files.
// Call at the top of a custom main or from initTestCase().
void tarvoTestProcessSetup();

// A control of a window, found by its object name; the test run stops at once when the window
// has none of that name and type.
template <typename T = QWidget>
T *child(const QObject *window, const char *name)
{
    T *control = window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!control)
        qFatal("%s has no control %s", window ? qPrintable(window->objectName()) : "(none)", name);
    return control;
}

// Closes every window of the program and lets them go.
void closeWindows();

// A file's bytes, or "<missing>" when it cannot be read.
QByteArray contentOf(const QString &path);
// Every entry of a folder, hidden ones too, by name.
QStringList entriesOf(const QString &folder);

// Clicks an entry of a list, or opens a folder of a directory list with a double-click as a
// real one arrives: press and release, then the double-click and release. Folders are indented
// below their parents.
void clickItem(QListWidget *list, const QString &text, bool twice = false);
// An available drive of the list other than the current one, or -1.
int otherAvailableDrive(const QComboBox *drives);

#ifdef Q_OS_UNIX
// Runs `work` in a child process that leaves no core file and returns its wait status (-1: no
// child); the child exits with what `work` returns unless it is killed first.
int childStatus(const std::function<int()> &work);
// Limits every file this process writes to `bytes`: a write past it fails, or with `kill` ends
// the process as kill -9 would in the middle of writing. False when the limit is refused.
bool limitFileSize(qint64 bytes, bool kill);
#endif
