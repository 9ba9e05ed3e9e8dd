#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Everything a user sees of the platform goes through here: message boxes, opening a file or
// link with its associated program, the clipboard, the busy pointer, the program folder and the
// command line. Tests replace the effects through Platform::Hooks and read what the user would
// have seen.
namespace Platform {

enum class Icon { None, Error, Question, Warning, Information };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

struct MessageBoxCall {
    QString text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

// A message box titled "Tarvo"; returns the button the user pressed.
Answer messageBox(const QString &text, Icon icon = Icon::None, Buttons buttons = Buttons::Ok);

// Opens a local file with the program associated with its type; false when that failed.
bool openFile(const QString &path);
// Opens a link (web page, mail address) with the desktop's program for it.
bool openUrl(const QUrl &url);

QString clipboardText();
void setClipboardText(const QString &text);

// Application-wide busy pointer; calls nest.
void setBusy(bool busy);

// The folder that holds suchpfad.txt and logo.gif: the program's own folder when it is
// writable (a portable install), otherwise the per-user data folder.
QString programFolder();

// Command-line arguments after the program name.
QStringList arguments();
void setArguments(const QStringList &args);

struct Hooks {
    std::function<Answer(const MessageBoxCall &)> messageBox;
    // Receives a local file path or a URL in text form.
    std::function<bool(const QString &)> open;
    std::function<QString()> clipboardText;
    std::function<void(const QString &)> setClipboardText;
    // Empty: the real folder.
    QString programFolder;
};
void setHooks(const Hooks &hooks);
void clearHooks();

} // namespace Platform
