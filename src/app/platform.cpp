#include "platform.h"

#include "app/core/nativepath.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QWidget>

namespace Platform {
namespace {

Hooks &hooks()
{
    static Hooks h;
    return h;
}

QStringList &argumentList()
{
    static QStringList args;
    return args;
}

QMessageBox::Icon toQt(Icon icon)
{
    switch (icon) {
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Answer messageBox(const QString &text, Icon icon, Buttons buttons)
{
    // A message naming a file shows its name readably, also when the name is no UTF-8.
    const MessageBoxCall call{NativePath::display(text), icon, buttons};
    if (hooks().messageBox)
        return hooks().messageBox(call);

    QMessageBox box(toQt(icon), QStringLiteral("Tarvo"), call.text,
                    buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                              : QMessageBox::Ok,
                    QApplication::activeWindow());
    // A busy pointer left by a running operation must not hide that an answer is wanted.
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    if (busy)
        QGuiApplication::restoreOverrideCursor();
    if (buttons == Buttons::YesNo)
        return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

bool openFile(const QString &path)
{
    if (hooks().open)
        return hooks().open(path);
    return QDesktopServices::openUrl(NativePath::fileUrl(path));
}

bool openUrl(const QUrl &url)
{
    if (hooks().open)
        return hooks().open(url.toString());
    return QDesktopServices::openUrl(url);
}

QString clipboardText()
{
    if (hooks().clipboardText)
        return hooks().clipboardText();
    return QGuiApplication::clipboard()->text();
}

void setClipboardText(const QString &text)
{
    // Text on the clipboard is Unicode: bytes of a name that are no UTF-8 go there as the
    // characters the user sees.
    const QString shown = NativePath::display(text);
    if (hooks().setClipboardText) {
        hooks().setClipboardText(shown);
        return;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(shown);
}

void setBusy(bool busy)
{
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    else if (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

QString programFolder()
{
    if (!hooks().programFolder.isEmpty())
        return hooks().programFolder;
    static const QString folder = [] {
        const QString own = QCoreApplication::applicationDirPath();
        if (QFileInfo(own).isWritable())
            return own;
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(data);
        return data;
    }();
    return folder;
}

QStringList arguments()
{
    return argumentList();
}

void setArguments(const QStringList &args)
{
    argumentList() = args;
}

void setHooks(const Hooks &h)
{
    hooks() = h;
}

void clearHooks()
{
    hooks() = Hooks();
}

} // namespace Platform
