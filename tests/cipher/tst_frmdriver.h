#pragma once

#include "cipher/frm_file.h"
#include "cipher/frmmain.h"
#include "cipher/frmpass.h"
#include "helpers/testenv.h"
#include "search/clicklabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// Types text into a widget key by key; characters beyond ASCII arrive as key events that
// carry only their text, as from a keyboard layout that has them.
inline void typeInto(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, char(c.unicode()));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

// Answers the modal password prompt through its real widgets whenever it shows. Each showing
// takes the next action of the script; with the script used up the prompt is cancelled, so a
// test never hangs on it.
class PromptDriver : public QObject
{
public:
    using Action = std::function<void(frmPass *)>;

    PromptDriver() { qApp->installEventFilter(this); }
    ~PromptDriver() override { qApp->removeEventFilter(this); }

    // Types the password and presses Enter.
    static Action enter(const QString &password)
    {
        return [password](frmPass *prompt) {
            typeInto(prompt->txtPass, password);
            QTest::keyClick(prompt->txtPass, Qt::Key_Return);
        };
    }
    // Types the text, then presses the cancel picture.
    static Action cancel(const QString &typed = QString())
    {
        return [typed](frmPass *prompt) {
            typeInto(prompt->txtPass, typed);
            QTest::mouseClick(prompt->img_exit, Qt::LeftButton);
        };
    }

    QList<Action> script;
    int shown = 0;
    // What the encrypt and decrypt fields held while the prompt was open.
    QStringList fieldsSeen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *prompt = qobject_cast<frmPass *>(watched)) {
                ++shown;
                if (frmMain *cipher = frmMain::existing())
                    fieldsSeen << cipher->txtEnc->text() << cipher->txtDec->text();
                const Action action = script.isEmpty() ? cancel() : script.takeFirst();
                QPointer<frmPass> guard(prompt);
                QTimer::singleShot(0, prompt, [guard, action] {
                    if (guard)
                        action(guard);
                });
            }
        }
        return false;
    }
};

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The bytes XORed with the key string's codes, the key running on over the whole text.
inline QByteArray xorWith(const QByteArray &bytes, const QByteArray &keyCodes)
{
    QByteArray out = bytes;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = char(out.at(i) ^ keyCodes.at(i % keyCodes.size()));
    return out;
}

// Closes every cipher window and lets the deferred deletions happen.
inline void closeCipherWindows()
{
    frmMain::closeAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Base of the window tests: a private world for each test function, and no window of the
// cipher left over after it.
class CipherWindowTest : public QObject
{
    Q_OBJECT

protected slots:
    void initTestCase() { tarvoTestProcessSetup(); }
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        closeCipherWindows();
        env.reset();
    }

protected:
    std::unique_ptr<TestEnv> env;
};

inline frmMain *shownCipherWindow()
{
    frmMain *w = frmMain::instance();
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("cipher window not exposed");
    return w;
}

Q_DECLARE_METATYPE(PromptDriver::Action)
