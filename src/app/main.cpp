#include "app/platform.h"
#include "app/sessionend.h"
#include "app/ui.h"
#include "search/form1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tarvo"));
    QApplication::setApplicationName(QStringLiteral("Tarvo"));
    Ui::installFonts();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tarvo.png")));

    QStringList args = QApplication::arguments();
    args.removeFirst();
    Platform::setArguments(args);

    Form1::instance();
    // From here on the search window holds what the user may change.
    SessionEnd::install(
        [] {
            if (Form1 *form = Form1::existing())
                form->saveSettings();
        },
        [] {
            if (Form1 *form = Form1::existing())
                form->close();
        });

    Form1::instance()->show();
    return app.exec();
}
