#pragma once

#include "app/core/cp1252.h"

#include <QRandomGenerator>
#include <QString>

// A reproducible text for the text cipher benchmarks: Windows-1252 characters in lines of 70
// ended by CR LF, without code 255 (it comes back as code 0); `foreignPerMille` characters in
// a thousand are taken from outside Windows-1252.
inline QString makeBenchText(qsizetype size, int foreignPerMille = 0)
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
