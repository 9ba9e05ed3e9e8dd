#pragma once

#include "app/clicklabel.h"
#include "cipher/frmmain.h"
#include "cipher/frmpass.h"
#include "helpers/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

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
            auto *field = child<QLineEdit>(prompt, "txtPass");
            for (const QChar c : typed) // key by key, each carrying its text, umlauts too
                QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), {});
            if (how == Confirm || how == Cancel)
                QTest::mouseClick(child<ClickLabel>(prompt, how == Confirm ? "img_do" : "img_exit"), Qt::LeftButton);
            else
                QTest::keyClick(field, how == Enter ? Qt::Key_Return : Qt::Key_Escape);
        };
    }

    QList<Action> script;
    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *prompt = qobject_cast<frmPass *>(watched);
        if (!prompt || event->type() != QEvent::Show)
            return false;
        ++shown;
        QTimer::singleShot(0, prompt, [prompt, action = script.isEmpty() ? answer({}, Cancel) : script.takeFirst()] { action(prompt); });
        return false;
    }
};

// The bytes XORed with the key string's codes, running on over the whole text ("ab" gives "33").
inline QByteArray xorWith(const QByteArray &bytes, const QByteArray &keyCodes)
{
    QByteArray out = bytes;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = char(out.at(i) ^ keyCodes.at(i % keyCodes.size()));
    return out;
}

inline QLineEdit *fieldOf(const frmMain *w, bool decrypt)
{
    return child<QLineEdit>(w, decrypt ? "txtDec" : "txtEnc");
}

inline void runOn(frmMain *w, bool decrypt, const QString &path)
{
    fieldOf(w, decrypt)->setText(path);
    QTest::mouseClick(child<ClickLabel>(w, decrypt ? "img_decfile" : "img_file"), Qt::LeftButton);
}
