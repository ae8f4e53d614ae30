#include "staleinput.h"

#include "delay.h"
#include "timescale.h"

#include <QIODevice>
#include <QThread>

namespace {
// Event-loop waits poll the link in steps of this many device milliseconds.
const int kPollStepMs = 10;
// A unit that never stops talking must not keep the next command from going out.
const int kMaxReadRounds = 64;
} // namespace

StaleInput::StaleInput(int graceMs, const QByteArray& end)
    : m_graceMs(qMax(0, graceMs))
    , m_end(end)
{
}

void StaleInput::settle(bool complete)
{
    m_overdue = !complete && m_graceMs > 0;
    if (m_overdue)
        m_since.start();
}

QByteArray StaleInput::takeWaiting(QIODevice* link)
{
    QByteArray taken;
    if (!link || !link->isOpen())
        return taken;
    for (int round = 0; round < kMaxReadRounds; ++round) {
        taken += link->readAll();
        if (!link->waitForReadyRead(0))
            break;
    }
    return taken;
}

qint64 StaleInput::drop(QIODevice* link, bool blocking)
{
    qint64 dropped = 0;
    if (m_overdue && link && link->isOpen()) {
        const qint64 graceEnd = TimeScale::ms(m_graceMs);
        // The end marker may straddle two reads: keep the tail of what went by.
        QByteArray tail;
        while (link->isOpen()) {
            const QByteArray bytes = takeWaiting(link);
            dropped += bytes.size();
            tail = (tail + bytes).right(qMax(1, m_end.size() * 2));
            if (!m_end.isEmpty() && tail.contains(m_end))
                break;
            const qint64 left = graceEnd - m_since.elapsed();
            if (left <= 0)
                break;
            if (blocking) {
                if (!link->waitForReadyRead(int(left)))
                    QThread::msleep(1);
            } else {
                delay(kPollStepMs);
            }
        }
    }
    m_overdue = false;
    dropped += takeWaiting(link).size();
    return dropped;
}
