#include "keyderivation.h"

#include "app/core/cp1252.h"

namespace KeyDerivation {

int halfLength(int length)
{
    if (length <= 0)
        return 0;
    const int half = length / 2;
    if (length % 2 == 0)
        return half;
    // An exact half: take the even neighbour.
    return half % 2 == 0 ? half : half + 1;
}

QByteArray XorMix(const QByteArray &s, const QByteArray &k)
{
    if (k.isEmpty())
        return QByteArray();
    QByteArray out(s.size(), Qt::Uninitialized);
    const qsizetype keyLength = k.size();
    for (qsizetype j = 0; j < s.size(); ++j)
        out[j] = static_cast<char>(s.at(j) ^ k.at(j % keyLength));
    return out;
}

QString deriveKey(const QString &password)
{
    const QByteArray t = Cp1252::encode(password);
    const int h = halfLength(int(t.size()));
    const QByteArray m = t.right(h) + t.left(h);
    QByteArray x = XorMix(t, m);

    // The prompt's field could not hold a code 0; the key ended just before it.
    const qsizetype cut = x.indexOf('\0');
    if (cut >= 0)
        x.truncate(cut);

    QString key;
    key.reserve(x.size() * 2);
    for (const char c : std::as_const(x))
        key += QString::number(static_cast<unsigned char>(c), 16).toUpper();
    return key;
}

} // namespace KeyDerivation
