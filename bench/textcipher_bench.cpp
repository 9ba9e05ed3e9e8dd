// Text cipher with its hex text, both directions, on texts of 1, 5 and 10 million
// characters: encode plus StringToHex, then HexToString plus decode, as the window does.
// Prints the best of three runs per size; the times should grow linearly.
#include "app/cp1252.h"
#include "textcipher/hexdump.h"
#include "textcipher/textcipher.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>
#include <limits>

namespace {

// Windows-1252 text with line breaks, without code 255 (it comes back as code 0); with
// `foreignPerMille` characters in a thousand taken from outside Windows-1252.
QString makeText(qsizetype size, int foreignPerMille)
{
    QRandomGenerator rng(4711);
    QString text(size, Qt::Uninitialized);
    QChar *d = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        if (i % 72 == 70) {
            d[i] = u'\r';
        } else if (i % 72 == 71) {
            d[i] = u'\n';
        } else if (int(rng.bounded(1000)) < foreignPerMille) {
            d[i] = QChar(char16_t(0x0100 + rng.bounded(0x0180))); // Latin Extended, best fit
        } else {
            d[i] = Cp1252::toUnicode(static_cast<unsigned char>(32 + rng.bounded(223)));
        }
    }
    return text;
}

struct Timing {
    double encodeMs = std::numeric_limits<double>::max();
    double decodeMs = std::numeric_limits<double>::max();
    bool roundTrip = false;
};

Timing measure(const QString &text, const QString &password)
{
    Timing t;
    const QString expected = TextCipher::DecodeString(TextCipher::EncodeString(text, password), password);
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const QString hex = modHexDump::StringToHex(TextCipher::EncodeString(text, password), 1,
                                                    false, QString(), QString(), 4);
        t.encodeMs = qMin(t.encodeMs, timer.nsecsElapsed() / 1e6);
        timer.restart();
        const QString back = TextCipher::DecodeString(
            modHexDump::HexToString(hex, 1, false, QString(), QString()), password);
        t.decodeMs = qMin(t.decodeMs, timer.nsecsElapsed() / 1e6);
        t.roundTrip = back == expected && hex.size() == 4 * text.size();
    }
    return t;
}

} // namespace

int main()
{
    const QString password = QStringLiteral("Zeichnungsarchiv 2024");
    bool ok = true;
    for (int foreign : {0, 10}) {
        std::printf("%s\n", foreign ? "text with 1% characters outside Windows-1252"
                                    : "Windows-1252 text");
        for (qsizetype size : {1000000, 5000000, 10000000}) {
            const QString text = makeText(size, foreign);
            const Timing t = measure(text, password);
            ok = ok && t.roundTrip;
            std::printf("  %9lld chars: encode+hex %8.1f ms, hex+decode %8.1f ms, total %8.1f ms%s\n",
                        static_cast<long long>(size), t.encodeMs, t.decodeMs,
                        t.encodeMs + t.decodeMs, t.roundTrip ? "" : "  ROUND TRIP FAILED");
        }
    }
    return ok ? 0 : 1;
}
