#include "textcipher.h"

#include "app/core/cp1252.h"

#include <array>

namespace TextCipher {

KeyCodes MakeKeyCodes(const QString &strPassword)
{
    KeyCodes K(strPassword.size());
    for (qsizetype j = 0; j < strPassword.size(); ++j)
        K[j] = Cp1252::fromUnicode(strPassword.at(j));
    return K;
}

qint16 GetKeyCode(qsizetype i, const KeyCodes &K)
{
    if (K.isEmpty() || i < 1)
        return 0;
    return K.at((i - 1) % K.size());
}

qint16 EncodeChar(qint16 a, qint16 k)
{
    const qint16 s = a + k;
    return s <= 255 ? s : qint16(s - 255);
}

qint16 DecodeChar(qint16 x, qint16 k)
{
    const qint16 d = x - k;
    return d >= 0 ? d : qint16(d + 255);
}

namespace {

// The codec's mapping in both directions as tables, filled once per process, so that the
// loops look a character up instead of searching for it. Every character of Windows-1252 lies
// below U+2200; anything without an entry takes the codec's own way (best fit).
struct Tables {
    std::array<QChar, 256> character;
    std::array<qint16, 0x2200> code; // -1: not in Windows-1252
};

const Tables &tables()
{
    static const Tables built = [] {
        Tables t;
        t.code.fill(-1);
        for (int code = 0; code < 256; ++code) {
            t.character[code] = Cp1252::toUnicode(static_cast<unsigned char>(code));
            const char16_t u = t.character[code].unicode();
            if (u < t.code.size())
                t.code[u] = qint16(code);
        }
        return t;
    }();
    return built;
}

inline qint16 codeOf(const Tables &t, QChar c)
{
    const char16_t u = c.unicode();
    if (u < t.code.size() && t.code[u] >= 0)
        return t.code[u];
    return Cp1252::fromUnicode(c);
}

template <typename Step>
QString transform(const QString &text, const QString &password, Step step)
{
    const KeyCodes K = MakeKeyCodes(password);
    const qsizetype n = K.size();
    const Tables &t = tables();
    QString out(text.size(), Qt::Uninitialized);
    QChar *d = out.data();
    const QChar *s = text.constData();
    // The key position runs along instead of being recomputed per character.
    qsizetype j = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qint16 k = n ? K.at(j) : qint16(0);
        if (n && ++j == n)
            j = 0;
        d[i] = t.character[step(codeOf(t, s[i]), k)];
    }
    return out;
}

} // namespace

QString EncodeString(const QString &strToEncode, const QString &strPassword)
{
    return transform(strToEncode, strPassword, EncodeChar);
}

QString DecodeString(const QString &strToDecode, const QString &strPassword)
{
    return transform(strToDecode, strPassword, DecodeChar);
}

QString ReplaceBuffer::Replace(const QString &Text, const QString &sOld, const QString &sNew,
                               qint32 Start, qint32 Count, qint32 Compare)
{
    if (sOld.isEmpty() || Count < 1)
        return Text;
    const qsizetype from = Start <= 1 ? 0 : qsizetype(Start) - 1;
    if (from >= Text.size())
        return Text;
    return ReplaceCore(Text, sOld, sNew, from, Count,
                       Compare != 0 ? Qt::CaseInsensitive : Qt::CaseSensitive);
}

QString ReplaceBuffer::ReplaceCore(const QString &Text, const QString &sOld, const QString &sNew,
                                   qsizetype from, qint32 Count, Qt::CaseSensitivity cs)
{
    qsizetype hit = Text.indexOf(sOld, from, cs);
    if (hit < 0)
        return Text;

    m_buffer.resize(0); // keeps the capacity of earlier calls
    if (m_buffer.capacity() < Text.size())
        m_buffer.reserve(Text.size() + (sNew.size() > sOld.size() ? sNew.size() : 0));
    qsizetype copied = 0;
    qint32 done = 0;
    while (hit >= 0) {
        m_buffer.append(Text.constData() + copied, hit - copied);
        m_buffer.append(sNew);
        copied = hit + sOld.size();
        if (++done == Count)
            break;
        hit = Text.indexOf(sOld, copied, cs);
    }
    m_buffer.append(Text.constData() + copied, Text.size() - copied);
    // A copy, so the buffer stays unshared and is reused by the next call.
    return QString(m_buffer.constData(), m_buffer.size());
}

} // namespace TextCipher
