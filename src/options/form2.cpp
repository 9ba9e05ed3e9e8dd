#include "form2.h"

#include "app/platform.h"
#include "app/settings.h"
#include "app/ui.h"
#include "search/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>

QPointer<Form2> Form2::s_instance;

Form2 *Form2::instance()
{
    if (!s_instance)
        s_instance = new Form2();
    return s_instance;
}

Form2 *Form2::existing()
{
    return s_instance;
}

Form2::Form2()
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("INFO"));
    setFixedHeight(Ui::px(6540));

    auto *frame = new QGroupBox(QStringLiteral("Optionen"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    Ui::place(frame, 120, 2580, 4215, 3375);

    Check1 = new QCheckBox(QStringLiteral("Copy Button"), frame);
    Check1->setObjectName(QStringLiteral("Check1"));
    Ui::place(Check1, 120, 240, 1275, 255);
    Check1->setChecked(true); // ticked in the design, before a stored value applies

    cmd_path = new QPushButton(QStringLiteral("Suchpfade ändern"), frame);
    cmd_path->setObjectName(QStringLiteral("cmd_path"));
    Ui::place(cmd_path, 120, 1020, 2415, 375);

    connect(Check1, &QCheckBox::stateChanged, this, &Form2::Check1_Click);
    connect(cmd_path, &QPushButton::clicked, this, &Form2::cmd_path_Click);

    Form_Load();
}

void Form2::Form_Load()
{
    setFixedWidth(Ui::px(4545));
    setCheck1Value(Settings::read(QStringLiteral("Check1.Value"), QStringLiteral("1")).toInt());
}

int Form2::check1Value() const
{
    return Check1->isChecked() ? 1 : 0;
}

void Form2::setCheck1Value(int value)
{
    Check1->setChecked(value != 0);
}

void Form2::Check1_Click()
{
    Settings::write(QStringLiteral("Check1.Value"), QString::number(check1Value()));
    if (Form1 *f = Form1::existing())
        f->setCopyFrameVisible(check1Value() != 0);
}

void Form2::cmd_path_Click()
{
    Platform::openFile(Platform::programFolder() + QDir::separator() + QStringLiteral("suchpfad.txt"));
}

void Form2::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (Form1 *f = Form1::existing())
        f->readpath();
}
