// The text cipher window driven offscreen, as the user works it: paste a text, "Encode",
// "copy to clipboard", type into the hex text, "Decode", copy the result, type into it. Each
// step is timed until the window has painted its result, and the event loop's longest stall
// (a 10 ms heartbeat) is taken over the step and the quiet 300 ms after it. The peer is the
// bare cipher with its hex text (no window) in the same process, in alternating rounds.
//
//   txtkrypt_window_bench [--rounds N] [SIZE...]     default: 5 rounds of 100000 and 1000000
#include "app/platform.h"
#include "benchutil.h"
#include "textcipher/frm_txtkrypt.h"
#include "textcipher/core/hexdump.h"
#include "textcipher/core/textcipher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QString kPassword = QStringLiteral("Zeichnungsarchiv 2024");

struct Step {
    double ms = 0;     // from the user's action until the window has painted its result
    qint64 stallMs = 0; // longest gap between two heartbeats over the step and the quiet after it
};

// Runs the action from the event loop, then repaints the window, as the user would see it.
Step measure(QWidget *window, const std::function<void()> &action)
{
    QEventLoop loop;
    StallMeter stalls;
    Step step;
    QElapsedTimer clock;
    QTimer::singleShot(0, [&] {
        clock.start();
        action();
        QTimer::singleShot(0, [&] {
            window->repaint();
            step.ms = clock.nsecsElapsed() / 1e6;
            QTimer::singleShot(300, &loop, &QEventLoop::quit);
        });
    });
    stalls.start();
    loop.exec();
    step.stallMs = stalls.stop();
    return step;
}

void clickLabel(QWidget *label)
{
    const QPointF at = QRectF(label->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, label->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, label->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(label, &press);
    QApplication::sendEvent(label, &release);
}

void key(QWidget *w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

// Keystrokes into the box at its start and at its end: a character, then Backspace, so the text
// stays as it was. Returns each keystroke's step.
std::vector<Step> typeInto(QWidget *window, QPlainTextEdit *box)
{
    std::vector<Step> steps;
    for (const int place : {Qt::Key_Home, Qt::Key_End}) {
        key(box, place, Qt::ControlModifier);
        for (int i = 0; i < 5; ++i) {
            steps.push_back(measure(window, [&] {
                key(box, Qt::Key_A, Qt::NoModifier, QStringLiteral("A"));
            }));
            steps.push_back(measure(window, [&] { key(box, Qt::Key_Backspace); }));
        }
    }
    return steps;
}


struct Series {
    std::vector<double> ms;
    qint64 worstStall = 0;
    void add(const Step &s)
    {
        ms.push_back(s.ms);
        worstStall = std::max(worstStall, s.stallMs);
    }
    void add(const std::vector<Step> &steps)
    {
        for (const Step &s : steps)
            add(s);
    }
    void print(const char *what) const
    {
        std::printf("  %-34s median %9.1f ms, max %9.1f ms, longest stall %6lld ms\n", what,
                    median(ms), ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()),
                    static_cast<long long>(worstStall));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rounds = 5;
    std::vector<qsizetype> sizes;
    const QStringList args = QApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QStringLiteral("--rounds") && i + 1 < args.size())
            rounds = args.at(++i).toInt();
        else
            sizes.push_back(args.at(i).toLongLong());
    }
    if (sizes.empty())
        sizes = {100000, 1000000};

    QString clipboard;
    Platform::Hooks hooks;
    hooks.clipboardText = [&] { return clipboard; };
    hooks.setClipboardText = [&](const QString &text) { clipboard = text; };
    hooks.messageBox = [](const Platform::MessageBoxCall &) { return Platform::Answer::Ok; };
    hooks.open = [](const QString &) { return true; };
    Platform::setHooks(hooks);

    frm_txtkrypt *w = frm_txtkrypt::showWindow();
    const auto find = [w](const char *name) {
        return w->findChild<QWidget *>(QString::fromLatin1(name));
    };
    auto *password = w->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
    auto *box = w->findChild<QPlainTextEdit *>(QStringLiteral("txtToEncode"));
    auto *encode = w->findChild<QPushButton *>(QStringLiteral("cmdEncode"));
    auto *decode = w->findChild<QPushButton *>(QStringLiteral("cmdDecode"));
    auto *yes = w->findChild<QPushButton *>(QStringLiteral("cmd_yes"));
    password->setText(kPassword);
    key(password, Qt::Key_Return);

    bool ok = true;
    for (const qsizetype size : sizes) {
        const QString text = makeBenchText(size);
        Series core, paste, enc, copyHex, typeHex, dec, copyPlain, typePlain;
        for (int r = 0; r < rounds; ++r) {
            // The peer: the cipher and the hex text without a window, both directions.
            QElapsedTimer clock;
            clock.start();
            const QString hex = modHexDump::StringToHex(TextCipher::EncodeString(text, kPassword),
                                                        1, false, QString(), QString(), 4);
            const QString back = TextCipher::DecodeString(
                modHexDump::HexToString(hex, 1, false, QString(), QString()), kPassword);
            core.add(Step{clock.nsecsElapsed() / 1e6 / 2, 0});

            clickLabel(find("img_clear"));
            clipboard = text;
            clickLabel(find("img_paste"));
            paste.add(measure(w, [&] { yes->click(); }));
            enc.add(measure(w, [&] { encode->click(); }));
            copyHex.add(measure(w, [&] { clickLabel(find("img_clip")); }));
            ok = ok && clipboard == hex;
            typeHex.add(typeInto(w, box));
            dec.add(measure(w, [&] { decode->click(); }));
            copyPlain.add(measure(w, [&] { clickLabel(find("img_clip")); }));
            ok = ok && clipboard == back;
            typePlain.add(typeInto(w, box));
            std::fprintf(stderr, "round %d of %lld characters: encode %.1f ms, decode %.1f ms\n",
                         r + 1, static_cast<long long>(size), enc.ms.back(), dec.ms.back());
        }
        std::printf("%lld characters, %d rounds%s\n", static_cast<long long>(size), rounds,
                    ok ? "" : "  WRONG TEXT IN THE BOX");
        core.print("cipher + hex alone, one direction");
        paste.print("paste (YES)");
        enc.print("Encode");
        copyHex.print("copy hex to clipboard");
        typeHex.print("keystroke in the hex text");
        dec.print("Decode");
        copyPlain.print("copy plain text to clipboard");
        typePlain.print("keystroke in the plain text");
        std::printf("  Encode / cipher alone %.1f x, Decode / cipher alone %.1f x\n",
                    median(enc.ms) / median(core.ms), median(dec.ms) / median(core.ms));
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
