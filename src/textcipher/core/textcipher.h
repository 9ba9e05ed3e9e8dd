#pragma once

#include <QString>
#include <QVector>

// The text cipher: every character's Windows-1252 code is shifted by the code of the password
// character on its position, the password repeating over the text. Output and input have the
// same length. Wrapping subtracts 255, not 256, so a plain code 255 encrypts like code 0 and
// comes back as 0; texts already exchanged depend on that, so it stays.
namespace TextCipher {

// Codes of the password characters, in order.
using KeyCodes = QVector<qint16>;

KeyCodes MakeKeyCodes(const QString &strPassword);

// Key code for text position i (1-based): the password applied cyclically. An empty key
// gives 0 (no shift) instead of dividing by zero.
qint16 GetKeyCode(qsizetype i, const KeyCodes &K);

qint16 EncodeChar(qint16 a, qint16 k);
qint16 DecodeChar(qint16 x, qint16 k);

// The password should not be empty; an empty one leaves every code unshifted.
QString EncodeString(const QString &strToEncode, const QString &strPassword);
QString DecodeString(const QString &strToDecode, const QString &strPassword);

// Substring replacement with a scratch buffer that is kept (and only grows) between calls,
// so repeated calls on texts of similar size do not allocate it again.
class ReplaceBuffer
{
public:
    // Replaces at most Count occurrences of sOld, left to right and non-overlapping, the first
    // at or after the 1-based position Start. Compare 0 compares exactly, any other value
    // ignores case. An empty sOld or no occurrence returns Text unchanged.
    QString Replace(const QString &Text, const QString &sOld, const QString &sNew,
                    qint32 Start, qint32 Count, qint32 Compare);

    qsizetype capacity() const { return m_buffer.capacity(); }

private:
    QString ReplaceCore(const QString &Text, const QString &sOld, const QString &sNew,
                        qsizetype from, qint32 Count, Qt::CaseSensitivity cs);

    QString m_buffer;
};

} // namespace TextCipher
