#include "hexdump.h"

namespace modHexDump {
namespace {

// The two digits of every byte value, and the value of every ASCII character as a digit
// (-1 for the others), built at compile time.
struct Tables {
    char16_t digits[256][2] = {};
    signed char value[128] = {};
    constexpr Tables()
    {
        constexpr char16_t hex[] = u"0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            digits[b][0] = hex[b >> 4];
            digits[b][1] = hex[b & 0xF];
        }
        for (int c = 0; c < 128; ++c) {
            value[c] = c >= '0' && c <= '9'   ? c - '0'
                       : c >= 'A' && c <= 'F' ? c - 'A' + 10
                       : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                              : -1;
        }
    }
};
constexpr Tables kTables;

inline QChar *putByte(QChar *d, unsigned byte)
{
    d[0] = QChar(kTables.digits[byte][0]);
    d[1] = QChar(kTables.digits[byte][1]);
    return d + 2;
}

inline int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    return u < 128 ? kTables.value[u] : -1;
}

// Value of the one or two characters at p: leading hex digits, stopping at anything else.
inline unsigned pairValue(const QChar *p, qsizetype len)
{
    const int hi = digitValue(p[0]);
    if (hi < 0)
        return 0;
    if (len < 2)
        return unsigned(hi);
    const int lo = digitValue(p[1]);
    return lo < 0 ? unsigned(hi) : unsigned(hi * 16 + lo);
}

inline QChar *putText(QChar *d, const QString &s)
{
    for (QChar c : s)
        *d++ = c;
    return d;
}

} // namespace

QString StringToHex(const QString &Source, qint32 Mode, bool HighByteFirst,
                    const QString &Separator, const QString &LineBreak, qint32 UnitsPerLine)
{
    if (Mode != 0 && Mode != 1)
        return QString();
    const qsizetype n = Source.size();
    if (n == 0)
        return QString();
    const qsizetype perLine = LineBreak.isEmpty() ? n : qMax<qsizetype>(UnitsPerLine, 1);
    const qsizetype digits = Mode == 1 ? 4 : 2;
    const qsizetype breaks = (n - 1) / perLine;
    const qsizetype separators = Separator.isEmpty() ? 0 : (n - 1) - breaks;

    QString out(n * digits + breaks * LineBreak.size() + separators * Separator.size(),
                Qt::Uninitialized);
    QChar *d = out.data();
    const QChar *s = Source.constData();
    qsizetype inLine = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0) {
            if (inLine == perLine) {
                d = putText(d, LineBreak);
                inLine = 0;
            } else if (!Separator.isEmpty()) {
                d = putText(d, Separator);
            }
        }
        const char16_t u = s[i].unicode();
        const unsigned low = u & 0xFF;
        const unsigned high = u >> 8;
        if (Mode == 0) {
            d = putByte(d, low);
        } else if (HighByteFirst) {
            d = putByte(putByte(d, high), low);
        } else {
            d = putByte(putByte(d, low), high);
        }
        ++inLine;
    }
    return out;
}

QString HexToString(const QString &HexText, qint32 Mode, bool HighByteFirst,
                    const QString &Separator, const QString &LineBreak)
{
    if (Mode != 0 && Mode != 1)
        return QString();
    QString text = HexText;
    if (!Separator.isEmpty())
        text.remove(Separator, Qt::CaseSensitive);
    if (!LineBreak.isEmpty())
        text.remove(LineBreak, Qt::CaseSensitive);
    const QChar *p = text.constData();
    const qsizetype L = text.size();

    if (Mode == 0) {
        QString out(L / 2, Qt::Uninitialized);
        QChar *d = out.data();
        for (qsizetype j = 0; j < out.size(); ++j)
            d[j] = QChar(char16_t(pairValue(p + 2 * j, 2)));
        return out;
    }

    // Bytes, one per pair and a last one from a single odd character; two bytes make a code
    // unit and an odd last byte is dropped. Pairs 4j..4j+3 thus hold code unit j.
    const qsizetype bytes = (L + 1) / 2;
    QString out(bytes / 2, Qt::Uninitialized);
    QChar *d = out.data();
    for (qsizetype j = 0; j < out.size(); ++j) {
        const QChar *unit = p + 4 * j;
        const unsigned first = pairValue(unit, 2);
        const unsigned second = pairValue(unit + 2, L - 4 * j - 2);
        d[j] = HighByteFirst ? QChar(char16_t(first << 8 | second))
                             : QChar(char16_t(second << 8 | first));
    }
    return out;
}

} // namespace modHexDump
