#pragma once

#include "app/clicklabel.h"
#include "cipher/frmmain.h"
#include "cipher/frmpass.h"
#include "helpers/testenv.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>

// Answers the modal password prompt through its widgets each time it shows, with the next
// action of the script; with the script used up it cancels, so no test hangs on it.
class PromptDriver : public QObject
{
public:
    using Action = std::function<void(frmPass *)>;
    explicit PromptDriver(const QList<Action> &actions = {}) : script(actions) { qApp->installEventFilter(this); }
    ~PromptDriver() override { qApp->removeEventFilter(this); }

    enum How { Enter, Escape, Confirm, Cancel }; // keys, or the pictures
    static Action answer(const QString &typed, How how = Enter)
    {
        return [=](frmPass *prompt) {
            for (const QChar c : typed) // key by key, each carrying its text, umlauts too
                QTest::sendKeyEvent(QTest::Click, child<QLineEdit>(prompt, "txtPass"), Qt::Key_unknown, QString(c), {});
            if (how == Confirm || how == Cancel)
                QTest::mouseClick(how == Confirm ? child<ClickLabel>(prompt, "img_do") : child<ClickLabel>(prompt, "img_exit"), Qt::LeftButton);
            else
                QTest::keyClick(child<QLineEdit>(prompt, "txtPass"), how == Enter ? Qt::Key_Return : Qt::Key_Escape);
        };
    }

    QList<Action> script;
    Action onHide; // runs as the prompt closes, after the key has been derived
    int shown = 0;
    QStringList fieldsSeen; // encrypt and decrypt field of the cipher window at each showing

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && onHide) {
            if (auto *prompt = qobject_cast<frmPass *>(watched))
                onHide(prompt);
        }
        auto *prompt = event->type() == QEvent::Show ? qobject_cast<frmPass *>(watched) : nullptr;
        if (!prompt)
            return false;
        ++shown;
        if (const frmMain *w = frmMain::existing())
            fieldsSeen << child<QLineEdit>(w, "txtEnc")->text() << child<QLineEdit>(w, "txtDec")->text();
        const Action action = script.isEmpty() ? answer({}, Cancel) : script.takeFirst();
        QTimer::singleShot(0, prompt, [prompt, action] { action(prompt); });
        return false;
    }
};

// The bytes XORed with the key string's codes, the key running on over the whole text. The
// password "ab" gives the key "33".
inline QByteArray xorWith(const QByteArray &bytes, const QByteArray &keyCodes)
{
    QByteArray out = bytes;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = char(out.at(i) ^ keyCodes.at(i % keyCodes.size()));
    return out;
}

// The cipher window's field for encrypting or decrypting.
inline QLineEdit *fieldOf(const frmMain *w, bool decrypt)
{
    return decrypt ? child<QLineEdit>(w, "txtDec") : child<QLineEdit>(w, "txtEnc");
}

// Encrypts or decrypts the file by the window's picture, as the user does.
inline void runOn(frmMain *w, bool decrypt, const QString &path)
{
    fieldOf(w, decrypt)->setText(path);
    QTest::mouseClick(decrypt ? child<ClickLabel>(w, "img_decfile") : child<ClickLabel>(w, "img_file"), Qt::LeftButton);
}
