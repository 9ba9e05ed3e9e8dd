#include "handoff.h"

#include "app/pathfunctions.h"
#include "app/platform.h"
#include "cipher/frmmain.h"

#include <QLineEdit>

void CommandLineHandOff()
{
    const QStringList args = Platform::arguments();
    if (args.isEmpty())
        return;
    // The shell has removed the quotes already: the path is the argument as it stands.
    const QString path = args.first();
    if (!FileExists(path))
        return;
    frmMain *cipher = frmMain::instance();
    if (path.endsWith(QStringLiteral("D0C"), Qt::CaseSensitive)) {
        cipher->txtDec->setText(path);
        cipher->Decode();
    } else {
        cipher->txtEnc->setText(path);
    }
}
