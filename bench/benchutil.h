#pragma once

#include "app/core/cp1252.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>

// The middle value of the rounds (the upper one of the two middle values for an even count).
template <typename Values>
double median(Values values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The longest stall of the event loop between start() and stop(): the longest gap between two
// beats of a 10 ms heartbeat, the last one counted up to stop().
class StallMeter
{
public:
    StallMeter()
    {
        m_heartbeat.setInterval(10);
        QObject::connect(&m_heartbeat, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_sinceBeat.elapsed());
            m_sinceBeat.restart();
        });
    }
    void start()
    {
        m_longest = 0;
        m_sinceBeat.start();
        m_heartbeat.start();
    }
    qint64 stop()
    {
        m_heartbeat.stop();
        return m_longest = std::max(m_longest, m_sinceBeat.elapsed());
    }

private:
    QTimer m_heartbeat;
    QElapsedTimer m_sinceBeat;
    qint64 m_longest = 0;
};

// Runs a peer program (cp, sync) to the end; true when it succeeded.
inline bool run(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

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
