#include "hdbasetstream.h"
#include "simdevice.h"

#include <QLocale>

HDBaseTStream::HDBaseTStream(SimDevice& device)
    : m_device(device)
{
}

HDBaseTStream::~HDBaseTStream()
{
    stop();
}

QList<QByteArray> HDBaseTStream::cycleLines(const HDBaseTCycle& cycle)
{
    QList<QByteArray> lines;
    for (int pair = 0; pair < 4; ++pair)
        lines << "CH" + QByteArray::number(pair) + ": " + QByteArray::number(cycle.mse[pair]) + "\r\n";
    lines << "TMDS: " + QByteArray::number(cycle.tmdsMHz) + " MHz\r\n";
    if (cycle.receiver) {
        lines << "ReTransRate: " + QLocale::c().toString(cycle.retransRate, 'f', 2).toLatin1() + "\r\n";
    } else {
        const char letters[] = "ABCD";
        for (int pair = 0; pair < 4; ++pair)
            lines << QByteArray("Cnl ") + letters[pair] + ' ' + QByteArray::number(cycle.maxErr[pair]) + "\r\n";
    }
    return lines;
}

QList<QByteArray> HDBaseTStream::writes(const QList<QByteArray>& lines, Chunking chunking)
{
    QList<QByteArray> out;
    switch (chunking) {
    case Chunking::LinePerWrite:
        return lines;
    case Chunking::Coalesced: {
        QByteArray all;
        for (const QByteArray& line : lines)
            all += line;
        out << all;
        return out;
    }
    case Chunking::SplitMidNumber:
        for (const QByteArray& line : lines) {
            // Cut after the first digit of the line's last number (one-digit numbers: before it).
            int end = line.size() - 1;
            while (end >= 0 && !(line.at(end) >= '0' && line.at(end) <= '9'))
                --end;
            int start = end;
            while (start > 0 && line.at(start - 1) >= '0' && line.at(start - 1) <= '9')
                --start;
            const int cut = end > start ? start + 1 : qMax(start, 1);
            out << line.left(cut) << line.mid(cut);
        }
        return out;
    }
    return out;
}

void HDBaseTStream::pushCycle(const HDBaseTCycle& cycle, Chunking chunking, int gapMs)
{
    bool first = true;
    for (const QByteArray& write : writes(cycleLines(cycle), chunking)) {
        m_device.push(write, first ? 0 : gapMs);
        first = false;
    }
    ++m_sent;
}

void HDBaseTStream::start(std::function<HDBaseTCycle(int n)> make, int intervalMs, Chunking chunking)
{
    stop();
    m_run = std::make_shared<Run>();
    m_run->make = std::move(make);
    m_run->intervalMs = intervalMs;
    m_run->chunking = chunking;
    std::shared_ptr<Run> run = m_run;
    SimDevice& device = m_device;
    m_device.schedule(0, [&device, run] { tick(device, run); });
}

void HDBaseTStream::stop()
{
    if (m_run)
        m_run->running = false;
    m_run.reset();
}

// Simulator thread. The device outlives its scheduled tasks (its stop() drops them).
void HDBaseTStream::tick(SimDevice& device, const std::shared_ptr<Run>& run)
{
    if (!run->running)
        return;
    for (const QByteArray& write : writes(cycleLines(run->make(run->sent)), run->chunking))
        device.push(write);
    ++run->sent;
    device.schedule(run->intervalMs, [&device, run] { tick(device, run); });
}
