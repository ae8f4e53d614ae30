#include "chidcmd.h"

#include "timescale.h"

#include <QElapsedTimer>

#include <cstring>

CHidCmd::CHidCmd(HidBackend* backend)
    : m_io(backend)
{
}

CHidCmd::~CHidCmd() = default;

quint8 CHidCmd::advanceSequence()
{
    m_sequence = quint8((m_sequence + 1) & 0x7F);
    return m_sequence;
}

int CHidCmd::buildReport(const void* payload, int length)
{
    const int n = payload ? qBound(0, length, MaxPayload) : 0;
    m_report[0] = 0;
    m_report[1] = advanceSequence();
    m_report[2] = quint8(n);
    if (n > 0)
        std::memcpy(m_report + HeaderSize, payload, size_t(n));
    return n;
}

bool CHidCmd::ReadFile(void* destination, int size, quint32* copied, int timeout)
{
    if (copied)
        *copied = 0;
    const int limit = qMax(0, TimeScale::ms(timeout));
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        // Every report after the first gets only what is left of the time-out, so a unit that
        // keeps sending other reports cannot stretch the wait.
        const int left = int(qMax<qint64>(0, limit - clock.elapsed()));
        const int n = m_io.readReport(m_report, ReportSize, left);
        if (n <= 0)
            return false;
        if (n >= HeaderSize && (m_report[1] & 0x7F) == m_sequence) {
            m_replyFlag = m_report[1] >> 7;
            // Never past the end of what arrived, whatever the length byte claims.
            int count = qMin(n - HeaderSize, int(m_report[2]));
            count = qMin(count, destination ? qMax(0, size) : 0);
            if (count > 0)
                std::memcpy(destination, m_report + HeaderSize, size_t(count));
            if (copied)
                *copied = quint32(count);
            return true;
        }
        // A late answer to an earlier command, an unsolicited or a truncated report: dropped.
        if (clock.elapsed() >= limit)
            return false;
    }
}
