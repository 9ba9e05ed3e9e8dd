#include "frmpass.h"

#include "app/controls.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "app/ui.h"
#include "cipher/core/keyderivation.h"
#include "app/clicklabel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>

namespace {

// The password field masks with "*" whatever the platform's style would use.
class StarMaskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

frmPass::frmPass(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmPass"));
    setWindowTitle(QStringLiteral("password"));
    setFont(Ui::designedFont());
    setFixedSize(Ui::px(4230), Ui::px(930));
    Ui::setColors(this, QColor(192, 192, 192));

    lbl_passlook = Controls::make<QLabel>(this, "lbl_passlook", 120, 240, 915, 255, QStringLiteral("password:"));

    txtPass = new QLineEdit(this);
    txtPass->setObjectName(QStringLiteral("txtPass"));
    auto *mask = new StarMaskStyle;
    mask->setParent(txtPass);
    txtPass->setStyle(mask);
    txtPass->setEchoMode(QLineEdit::Password);
    Ui::setColors(txtPass, QColor(255, 255, 192));
    Ui::place(txtPass, 120, 480, 2955, 285);

    lbl_passlook->setBuddy(txtPass);

    Check1 = Controls::make<QCheckBox>(this, "Check1", 3240, 120, 855, 255, QStringLiteral("sichbar"));

    img_do = Controls::pictureButton(this, "img_do", Pictures::confirm, QStringLiteral("Action"),
                                     3120, 480, 480, 480);

    img_exit = Controls::pictureButton(this, "img_exit", Pictures::cancel, QStringLiteral("EXIT"),
                                       3840, 600, 240, 240);

    connect(Check1, &QCheckBox::clicked, this, &frmPass::Check1_Click);
    connect(txtPass, &QLineEdit::returnPressed, this, &frmPass::txtPass_KeyPress);
    connect(img_do, &ClickLabel::clicked, this, &frmPass::img_do_Click);
    connect(img_exit, &ClickLabel::clicked, this, &frmPass::img_exit_Click);

    txtPass->setFocus();
}

QString frmPass::ask(QWidget *owner)
{
    QPointer<frmPass> dialog = new frmPass(owner);
    Ui::centre(dialog, owner);
    dialog->exec();
    if (!dialog)
        return QString();
    const QString key = dialog->m_key;
    delete dialog;
    return key;
}

void frmPass::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(QRect(0, 0, Ui::px(4200), Ui::px(900)));
}

void frmPass::Check1_Click()
{
    txtPass->setEchoMode(txtPass->echoMode() == QLineEdit::Password ? QLineEdit::Normal
                                                                      : QLineEdit::Password);
}

void frmPass::txtPass_KeyPress()
{
    Confirm();
}

void frmPass::img_do_Click()
{
    Confirm();
}

void frmPass::img_exit_Click()
{
    reject();
}

void frmPass::reject()
{
    txtPass->clear();
    QDialog::reject();
}

void frmPass::Confirm()
{
    const qsizetype length = txtPass->text().size();
    if (length == 0) {
        Platform::messageBox(QStringLiteral("Es wurde kein Passwort eingegeben !"));
        return;
    }
    // One character has nothing to be mixed with and would give no key.
    if (length == 1) {
        Platform::messageBox(QStringLiteral("Das Passwort muss mindestens zwei Zeichen haben !"));
        return;
    }
    accept();
}

void frmPass::done(int result)
{
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void frmPass::Form_Unload()
{
    m_key = KeyDerivation::deriveKey(txtPass->text());
    txtPass->clear();
}
