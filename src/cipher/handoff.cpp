#include "handoff.h"

#include "app/core/pathfunctions.h"
#include "app/platform.h"
#include "cipher/frmmain.h"

#include <QDir>

void CommandLineHandOff()
{
    const QStringList args = Platform::arguments();
    if (args.isEmpty())
        return;
    // The shell has removed the quotes already: the path is the argument as it stands. A
    // relative one means the folder Tarvo was started in; the desktop, which opens the result,
    // and the cipher window's fields know nothing of that folder, so they get the full path.
    const QString argument = args.first();
    if (argument.isEmpty())
        return;
    const QString path =
        QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(argument)));
    if (!FileExists(path))
        return;
    frmMain *cipher = frmMain::instance();
    if (path.endsWith(QStringLiteral("D0C"), Qt::CaseSensitive)) {
        cipher->setFileToDecrypt(path);
        cipher->Decode();
    } else {
        cipher->setFileToEncrypt(path);
    }
}
