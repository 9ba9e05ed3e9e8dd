// Text cipher with its hex text, both directions, on texts of 1, 5 and 10 million
// characters: encode plus StringToHex, then HexToString plus decode, as the window does.
// Prints the first run, which writes into memory fresh from the system, and the best of three
// further runs, which reuse the memory the first one left (the work itself, linear in size).
#include "benchutil.h"
#include "textcipher/core/hexdump.h"
#include "textcipher/core/textcipher.h"

#include <QElapsedTimer>

#include <cstdio>
#include <limits>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

struct Timing {
    double encodeMs = std::numeric_limits<double>::max();
    double decodeMs = std::numeric_limits<double>::max();
    bool roundTrip = true;
};

void run(const QString &text, const QString &password, const QString &expected, Timing &t)
{
    QElapsedTimer timer;
    timer.start();
    const QString hex = modHexDump::StringToHex(TextCipher::EncodeString(text, password), 1,
                                                false, QString(), QString(), 4);
    t.encodeMs = qMin(t.encodeMs, timer.nsecsElapsed() / 1e6);
    timer.restart();
    const QString back = TextCipher::DecodeString(
        modHexDump::HexToString(hex, 1, false, QString(), QString()), password);
    t.decodeMs = qMin(t.decodeMs, timer.nsecsElapsed() / 1e6);
    t.roundTrip = t.roundTrip && back == expected && hex.size() == 4 * text.size();
}

void print(const char *label, const Timing &t)
{
    std::printf("    %-12s encode+hex %7.1f ms, hex+decode %7.1f ms, total %7.1f ms%s\n", label,
                t.encodeMs, t.decodeMs, t.encodeMs + t.decodeMs,
                t.roundTrip ? "" : "  ROUND TRIP FAILED");
}

} // namespace

int main()
{
#if defined(__GLIBC__)
    // Keep freed blocks in the heap, so that the later runs measure the work, not the system
    // handing out fresh pages.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
#endif
    const QString password = QStringLiteral("Zeichnungsarchiv 2024");
    bool ok = true;
    for (int foreign : {0, 10}) {
        std::printf("%s\n", foreign ? "text with 1% characters outside Windows-1252"
                                    : "Windows-1252 text");
        for (qsizetype size : {1000000, 5000000, 10000000}) {
            const QString text = makeBenchText(size, foreign);
            const QString expected =
                TextCipher::DecodeString(TextCipher::EncodeString(text, password), password);
            Timing first;
            Timing best;
            run(text, password, expected, first);
            for (int i = 0; i < 3; ++i)
                run(text, password, expected, best);
            ok = ok && first.roundTrip && best.roundTrip;
            std::printf("  %lld chars\n", static_cast<long long>(size));
            print("first run", first);
            print("best of 3", best);
        }
    }
    return ok ? 0 : 1;
}
