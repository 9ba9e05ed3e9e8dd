#include "cp1252.h"

namespace Cp1252 {
namespace {

// Characters of the codes 0x80..0x9F; the rest of the table equals Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Code of c when Windows-1252 holds it directly, -1 otherwise.
int directCode(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == c)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QChar toUnicode(unsigned char code)
{
    if (code >= 0x80 && code < 0xA0)
        return QChar(kHigh[code - 0x80]);
    return QChar(char16_t(code));
}

unsigned char fromUnicode(QChar c)
{
    int code = directCode(c.unicode());
    if (code >= 0)
        return static_cast<unsigned char>(code);
    // Best fit: follow the first character of the decomposition down to a base letter.
    QString decomposed = c.decomposition();
    for (int depth = 0; depth < 4 && !decomposed.isEmpty(); ++depth) {
        const QChar first = decomposed.at(0);
        code = directCode(first.unicode());
        if (code >= 0 && code != 0x20)
            return static_cast<unsigned char>(code);
        decomposed = first.decomposition();
    }
    return '?';
}

QString decode(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        d[i] = toUnicode(static_cast<unsigned char>(bytes.at(i)));
    return out;
}

QByteArray encode(const QString &text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *d = out.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        d[i] = static_cast<char>(fromUnicode(text.at(i)));
    return out;
}

} // namespace Cp1252
