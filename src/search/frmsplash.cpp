#include "frmsplash.h"

#include "app/accessibility.h"
#include "app/ui.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>

frmSplash *frmSplash::showNotice()
{
    frmSplash *notice = instance();
    notice->show();
    notice->raise();
    notice->activateWindow();
    return notice;
}

frmSplash::frmSplash()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setFont(Ui::designedFont());
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    const QColor yellow(255, 255, 128);
    Ui::setColors(this, yellow);
    setFixedSize(Ui::px(3825), Ui::px(2355));

    const QFont regular = Ui::font(QStringLiteral("MS Sans Serif"), 8.25);
    const QFont bold = Ui::font(QStringLiteral("MS Sans Serif"), 8.25, true);
    const auto make = [&](const char *name, const QString &text, const QFont &font, int l, int t, int w, int h) {
        auto *label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        label->setFont(font);
        Ui::setColors(label, yellow);
        Ui::place(label, l, t, w, h);
        label->installEventFilter(this);
        return label;
    };
    Label1 = make("Label1", QStringLiteral("Kein Treffer !"), bold, 120, 240, 3615, 255);
    Label2 = make("Label2",
                  QStringLiteral("Versuchen Sie eventuell die Eingabe zu optimieren. Verwenden Sie den "
                                 "Platzhalter * (an Stelle der Trennungszeichen - oder _ ) und geben Sie "
                                 "nur einen Teil des Namens ein (z.B. \" *111 \") !"),
                  regular, 240, 600, 3255, 975);
    Label3 = make("Label3",
                  QStringLiteral("Zum Schliessen dieser Dialogbox klicken Sie in die Box oder drücken "
                                 "Sie eine Taste !"),
                  bold, 360, 1680, 3135, 615);
    // The notice has no caption; screen readers announce it by its first line.
    A11y::name(this, Label1->text());

    Ui::centre(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &QWidget::close);
}

void frmSplash::Form_Load()
{
    // The period runs from the load; showing the open notice again does not restart it.
    Timer1->setInterval(4000);
    Timer1->start();
}

void frmSplash::closeEvent(QCloseEvent *event)
{
    event->accept();
    release(this);
}

void frmSplash::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    close();
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    close();
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
