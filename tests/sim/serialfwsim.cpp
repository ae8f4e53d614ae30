#include "serialfwsim.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace {
const char SOH = 0x01;
const char STX = 0x02;
const char EOT = 0x04;
const char ACK = 0x06;
const char NAK = 0x15;
const char SUB = 0x1A;
} // namespace

// ---- SerialFwUnitSim ------------------------------------------------------------------------

SerialFwUnitSim::SerialFwUnitSim()
{
    setLineMode(false);
}

SerialFwUnitSim::~SerialFwUnitSim()
{
    stop();
}

void SerialFwUnitSim::setScript(const Script& script)
{
    runOnSimThread([&] { m_script = script; });
}

QList<SerialFwUnitSim::Transfer> SerialFwUnitSim::transfers() const
{
    QList<Transfer> list;
    runOnSimThread([&] { list = m_transfers; });
    return list;
}

QStringList SerialFwUnitSim::errors() const
{
    QStringList list;
    runOnSimThread([&] { list = m_errors; });
    return list;
}

QByteArray SerialFwUnitSim::commandBytes() const
{
    QByteArray bytes;
    runOnSimThread([&] { bytes = m_heard; });
    return bytes;
}

bool SerialFwUnitSim::waitForTransfers(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        int done = 0;
        for (const Transfer& t : transfers())
            done += t.done ? 1 : 0;
        if (done >= count)
            return true;
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

bool SerialFwUnitSim::takeFault(QMap<int, int>& faults, int key)
{
    auto it = faults.find(key);
    if (it == faults.end() || it.value() <= 0)
        return false;
    --it.value();
    return true;
}

// "C" now and, while block 0 is still due, again every second.
void SerialFwUnitSim::request(int left)
{
    reply("C");
    const quint64 epoch = m_requestEpoch;
    if (left > 0)
        schedule(1000, [this, left, epoch] {
            if (m_phase == Phase::Header && m_buffer.isEmpty() && epoch == m_requestEpoch)
                request(left - 1);
        });
}

void SerialFwUnitSim::handleBytes(const QByteArray& data)
{
    if (m_phase == Phase::Listening) {
        m_heard.append(data);
        m_pending.append(data);
        if (m_script.silent || m_script.startText.isEmpty() || !m_pending.contains(m_script.startText))
            return;
        m_pending.clear(); // what followed the start text in this read (its line end) is dropped
        m_phase = Phase::Header;
        m_blocks = 0;
        m_buffer.clear();
        m_transfers.append(Transfer());
        m_transfers.last().line = serialSettings().toString();
        ++m_requestEpoch;
        if (!m_script.banner.isEmpty())
            reply(m_script.banner);
        request(m_script.extraRequests);
        return;
    }
    m_buffer.append(data);
    while (!m_buffer.isEmpty() && m_phase != Phase::Listening) {
        const char start = m_buffer.at(0);
        if (start == EOT) {
            m_buffer.remove(0, 1);
            Transfer& t = m_transfers.last();
            t.frames.append(QByteArray(1, EOT));
            if (m_phase != Phase::Data)
                m_errors.append(QStringLiteral("EOT out of place"));
            if (m_script.vanishAt == Eot + 1000) {
                disconnectAll();
                return;
            }
            if (takeFault(m_script.ignore, Eot))
                continue;
            if (takeFault(m_script.nak, Eot)) {
                reply(QByteArray(1, NAK));
                continue;
            }
            m_phase = Phase::Closing;
            reply(QByteArray(1, ACK)); // these units do not ask again after EOT
            continue;
        }
        if (start != SOH && start != STX) {
            if (m_phase != Phase::Header) // before block 0: the command's line end, noise
                m_errors.append(QStringLiteral("stray byte %1").arg(quint8(start)));
            m_buffer.remove(0, 1);
            continue;
        }
        const int length = (start == STX ? 1024 : 128) + 5;
        if (m_buffer.size() < length)
            return;
        const QByteArray frame = m_buffer.left(length);
        m_buffer.remove(0, length);
        handleFrame(frame);
    }
}

void SerialFwUnitSim::handleFrame(const QByteArray& frame)
{
    Transfer& t = m_transfers.last();
    t.frames.append(frame);
    const int size = frame.size() - 5;
    const quint8 number = quint8(frame.at(1));
    const QByteArray payload = frame.mid(3, size);
    if (quint8(frame.at(2)) != quint8(~number))
        m_errors.append(QStringLiteral("block %1: complement %2").arg(number).arg(quint8(frame.at(2))));
    if (frame.at(size + 3) != 0 || frame.at(size + 4) != 0)
        m_errors.append(QStringLiteral("block %1: check bytes are not zero").arg(number));

    int key = 0;
    if (m_phase == Phase::Header) {
        if (number != 0 || size != 128)
            m_errors.append(QStringLiteral("block 0 expected"));
    } else if (m_phase == Phase::Data) {
        if (size != 1024)
            m_errors.append(QStringLiteral("a data block of %1 bytes").arg(size));
        if (number != quint8(m_blocks + 1))
            m_errors.append(QStringLiteral("block %1 where %2 was due").arg(number).arg(quint8(m_blocks + 1)));
        key = m_blocks + 1;
    } else {
        if (number != 0 || size != 128 || payload.count('\0') != 128)
            m_errors.append(QStringLiteral("empty block 0 expected"));
        key = Closing;
    }
    if (m_script.vanishAt == key + 1000) {
        disconnectAll();
        return;
    }
    if (takeFault(m_script.ignore, key))
        return;
    if (takeFault(m_script.nak, key)) {
        reply(QByteArray(1, NAK));
        return;
    }

    switch (m_phase) {
    case Phase::Header: {
        const int nul = payload.indexOf('\0');
        const int end = payload.indexOf('\0', nul + 1);
        t.name = QString::fromUtf8(payload.left(nul));
        bool ok = false;
        t.size = payload.mid(nul + 1, end - nul - 1).toLongLong(&ok);
        if (nul <= 0 || end < 0 || !ok || payload.mid(end).count('\0') != payload.size() - end)
            m_errors.append(QStringLiteral("block 0: name NUL size NUL zeros expected"));
        ++m_requestEpoch;
        m_phase = Phase::Data;
        reply(QByteArray(1, ACK) + "C");
        break;
    }
    case Phase::Data:
        t.data.append(payload);
        ++m_blocks;
        reply(QByteArray(1, ACK));
        break;
    default: {
        // The padding of the last block must be SUB.
        if (t.data.size() > t.size && t.data.mid(int(t.size)).count(SUB) != t.data.size() - t.size)
            m_errors.append(QStringLiteral("the last block is not padded with 0x1A"));
        if (t.data.size() < t.size || t.data.size() - t.size >= 1024)
            m_errors.append(QStringLiteral("%1 bytes for a file of %2").arg(t.data.size()).arg(t.size));
        t.data.truncate(int(t.size));
        t.done = true;
        m_phase = Phase::Listening;
        reply(QByteArray(1, ACK) + m_script.successText);
        break;
    }
    }
}

// ---- HexBootSim -----------------------------------------------------------------------------

HexBootSim::HexBootSim()
    : m_flash(0x10000, char(0xFF))
{
    setLineMode(false);
}

HexBootSim::~HexBootSim()
{
    stop();
}

void HexBootSim::setScript(const Script& script)
{
    runOnSimThread([&] { m_script = script; });
}

QByteArray HexBootSim::flash() const
{
    QByteArray bytes;
    runOnSimThread([&] { bytes = m_flash; });
    return bytes;
}

QList<int> HexBootSim::addresses() const
{
    QList<int> list;
    runOnSimThread([&] { list = m_addresses; });
    return list;
}

int HexBootSim::syncBytesHeard() const
{
    int n = 0;
    runOnSimThread([&] { n = m_syncs; });
    return n;
}

int HexBootSim::blocksWritten() const
{
    int n = 0;
    runOnSimThread([&] { n = m_blocks; });
    return n;
}

QString HexBootSim::line() const
{
    QString text;
    runOnSimThread([&] { text = m_line; });
    return text;
}

void HexBootSim::handleBytes(const QByteArray& data)
{
    m_buffer.append(data);
    while (!m_buffer.isEmpty()) {
        const quint8 command = quint8(m_buffer.at(0));
        if (command == 0x81) {
            m_buffer.remove(0, 1);
            if (m_addresses.isEmpty() && ++m_syncs >= m_script.syncOnTry)
                reply(QByteArray(1, char(0x81)));
            continue;
        }
        if (command == 0x84) {
            if (m_buffer.size() < 3)
                return;
            QByteArray echo = m_buffer.left(3);
            m_buffer.remove(0, 3);
            m_address = quint8(echo.at(1));
            if (m_addresses.isEmpty())
                m_line = serialSettings().toString();
            if (m_addresses.size() == m_script.echoWrongAt)
                echo[1] = char(echo.at(1) + 1);
            m_addresses.append(m_address);
            reply(echo);
            continue;
        }
        if (command == 0x86) {
            if (m_buffer.size() < 513)
                return;
            const QByteArray block = m_buffer.mid(1, 512);
            m_buffer.remove(0, 513);
            const int index = m_addresses.size() - 1;
            if (m_address >= 0)
                m_flash.replace(m_address * 256, 512, block);
            ++m_blocks;
            if (index == m_script.silentAt)
                continue;
            reply(index == m_script.noAckAt ? QByteArray(2, '\0') : QByteArray("\x00Z", 2));
            continue;
        }
        m_buffer.remove(0, 1); // not a command the boot loader knows
    }
}
