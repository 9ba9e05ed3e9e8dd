#include "nativepath.h"

#include "cp1252.h"

namespace NativePath {

#ifdef Q_OS_WIN
QString decode(const char *bytes, qsizetype length)
{
    return QString::fromUtf8(bytes, length);
}

QByteArray encode(const QString &path)
{
    return path.toUtf8();
}

QString display(const QString &text)
{
    return text;
}

QUrl fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(path);
}
#else
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when it is not valid.
int validSequence(const unsigned char *p, qsizetype n, char32_t &cp)
{
    const unsigned char b0 = p[0];
    int len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; cp = b0 & 0x1F; min = 0x80; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; cp = b0 & 0x0F; min = 0x800; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; cp = b0 & 0x07; min = 0x10000; }
    else return 0;
    if (n < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

QString decode(const char *bytes, qsizetype length)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    qsizetype i = 0;
    while (i < length && p[i] < 0x80)
        ++i;
    if (i == length)
        return QString::fromLatin1(bytes, length);

    QString out;
    out.reserve(length);
    out.append(QLatin1String(bytes, i));
    while (i < length) {
        if (p[i] < 0x80) {
            out.append(QChar(char16_t(p[i])));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int len = validSequence(p + i, length - i, cp);
        if (len == 0) {
            out.append(QChar(char16_t(kEscapeBase + p[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += len;
    }
    return out;
}

QByteArray encode(const QString &path)
{
    QByteArray out;
    out.reserve(path.size() * 3);
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path.at(i).unicode();
        char32_t cp = u;
        if (u < 0x80) {
            out.append(char(u));
            continue;
        }
        if (u >= 0xDC80 && u <= 0xDCFF) {
            out.append(char(u - kEscapeBase));
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            cp = QChar::surrogateToUcs4(u, path.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(u)) {
            cp = 0xFFFD;
        }
        if (cp < 0x800) {
            out.append(char(0xC0 | (cp >> 6)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.append(char(0xE0 | (cp >> 12)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else {
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

QString display(const QString &text)
{
    QString shown = text;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t u = shown.at(i).unicode();
        if (QChar::isHighSurrogate(u)) {
            ++i; // a character beyond the first plane; its low half is no escaped byte
            continue;
        }
        if (u < 0xDC80 || u > 0xDCFF)
            continue;
        const QChar c = Cp1252::toUnicode(static_cast<unsigned char>(u - kEscapeBase));
        // The five codes Windows-1252 leaves unassigned would show as nothing at all.
        shown[i] = c.unicode() < 0xA0 ? QChar(QChar::ReplacementCharacter) : c;
    }
    return shown;
}

QUrl fileUrl(const QString &path)
{
    // fromLocalFile() would write the escaped bytes as U+FFFD; percent-encoded bytes that are no
    // UTF-8 survive in a URL as they are.
    QUrl url;
    url.setScheme(QStringLiteral("file"));
    url.setPath(QString::fromLatin1(encode(path).toPercentEncoding("/")), QUrl::TolerantMode);
    return url;
}
#endif

} // namespace NativePath
