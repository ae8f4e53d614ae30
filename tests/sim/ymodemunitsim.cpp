#include "ymodemunitsim.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace {
const char SOH = 0x01;
const char STX = 0x02;
const char EOT = 0x04;
const char ACK = 0x06;
const char NAK = 0x15;

// CRC-16/XMODEM, bit by bit: the unit's own, not the program's table.
quint16 crc16(const QByteArray& data)
{
    quint16 crc = 0;
    for (char c : data) {
        crc ^= quint16(quint8(c)) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}
} // namespace

// ---- SimYmodemReceiver ----------------------------------------------------------------------

void SimYmodemReceiver::start()
{
    m_state = State::Receiving;
    m_phase = Phase::Header;
    m_buffer.clear();
    m_name.clear();
    m_size = 0;
    m_data.clear();
    m_blocks = 0;
    m_frames.clear();
    m_naks = 0;
    m_errors.clear();
    send(m_script.readyText + m_script.junkBeforeRequest + "C");
}

bool SimYmodemReceiver::takeFault(QMap<int, int>& faults, int key)
{
    auto it = faults.find(key);
    if (it == faults.end() || it.value() <= 0)
        return false;
    --it.value();
    return true;
}

void SimYmodemReceiver::feed(const QByteArray& bytes)
{
    if (m_state != State::Receiving)
        return;
    m_buffer.append(bytes);
    while (!m_buffer.isEmpty() && m_state == State::Receiving) {
        const char start = m_buffer.at(0);
        if (start == 'a') {
            m_buffer.clear();
            finish(State::Aborted);
            return;
        }
        if (start == EOT) {
            m_buffer.remove(0, 1);
            m_frames.append(QByteArray(1, EOT));
            if (m_phase == Phase::Header)
                m_errors.append(QStringLiteral("EOT before block 0"));
            if (hangUpAt(Eot))
                return;
            if (takeFault(m_script.ignore, Eot))
                continue;
            if (takeFault(m_script.nak, Eot)) {
                ++m_naks;
                send(QByteArray(1, NAK));
                continue;
            }
            const bool first = m_phase != Phase::Closing;
            m_phase = Phase::Closing;
            send(QByteArray(1, ACK) + (m_script.requestAfterEot && first ? QByteArray("C") : QByteArray()));
            continue;
        }
        if (start != SOH && start != STX) {
            m_buffer.remove(0, 1); // not a frame: the tail of a command written again, noise
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

void SimYmodemReceiver::handleFrame(const QByteArray& frame)
{
    m_frames.append(frame);
    const int size = frame.size() - 5;
    const quint8 number = quint8(frame.at(1));
    const QByteArray payload = frame.mid(3, size);
    const quint16 crc = quint16(quint8(frame.at(size + 3)) << 8 | quint8(frame.at(size + 4)));
    auto refuse = [&](const QString& why) {
        m_errors.append(why);
        ++m_naks;
        send(QByteArray(1, NAK));
    };
    if (quint8(frame.at(2)) != quint8(0xFF - number))
        return refuse(QStringLiteral("block %1: complement %2").arg(number).arg(quint8(frame.at(2))));
    if (crc != crc16(payload))
        return refuse(QStringLiteral("block %1: CRC").arg(number));

    int key = 0;
    switch (m_phase) {
    case Phase::Header:
        if (number != 0 || size != 128)
            return refuse(QStringLiteral("block 0 expected, block %1 of %2 bytes came").arg(number).arg(size));
        key = 0;
        break;
    case Phase::Data:
        if (number == quint8(m_blocks)) {
            send(QByteArray(1, ACK)); // a repeat of the last block: our ACK went missing
            return;
        }
        if (number != quint8(m_blocks + 1))
            return refuse(QStringLiteral("block %1 where %2 was due").arg(number).arg(quint8(m_blocks + 1)));
        key = m_blocks + 1;
        break;
    case Phase::Closing:
        if (number != 0 || size != 128 || payload.count('\0') != 128)
            return refuse(QStringLiteral("empty block 0 expected"));
        key = Closing;
        break;
    }
    if (hangUpAt(key))
        return;
    if (takeFault(m_script.ignore, key))
        return;
    if (takeFault(m_script.nak, key)) {
        ++m_naks;
        send(QByteArray(1, NAK));
        return;
    }

    switch (m_phase) {
    case Phase::Header: {
        const int nul = payload.indexOf('\0');
        m_name = QString::fromUtf8(payload.left(nul));
        const int end = payload.indexOf('\0', nul + 1);
        bool ok = false;
        m_size = payload.mid(nul + 1, end - nul - 1).toLongLong(&ok);
        if (nul <= 0 || end < 0 || !ok)
            m_errors.append(QStringLiteral("block 0: name or size unreadable"));
        m_phase = Phase::Data;
        send(QByteArray(1, ACK) + "C");
        break;
    }
    case Phase::Data:
        m_data.append(payload);
        ++m_blocks;
        send(QByteArray(1, ACK));
        break;
    case Phase::Closing:
        send(QByteArray(1, ACK) + m_script.completionText);
        finish(State::Done);
        break;
    }
}

bool SimYmodemReceiver::hangUpAt(int key)
{
    if (key != m_script.hangUpAt)
        return false;
    m_buffer.clear();
    // From the EOT on the unit holds the whole file.
    finish(key == Eot || key == Closing ? State::Done : State::Aborted);
    if (hangUp)
        hangUp();
    return true;
}

void SimYmodemReceiver::finish(State state)
{
    m_state = state;
    if (state == State::Done) {
        if (m_data.size() < m_size)
            m_errors.append(QStringLiteral("%1 bytes of %2 came").arg(m_data.size()).arg(m_size));
        m_data.truncate(int(m_size));
    }
    if (ended)
        ended();
}

// ---- YmodemUnitSim --------------------------------------------------------------------------

YmodemUnitSim::YmodemUnitSim(const QByteArray& startCommand)
    : m_startCommand(startCommand)
{
    setTerminator("\r");
    setDefaultReply("\r\n>");
    m_receiver.send = [this](const QByteArray& bytes) { reply(bytes); };
    m_receiver.ended = [this] {
        setLineMode(true);
        ++m_transfers;
    };
    m_receiver.hangUp = [this] { schedule(0, [this] { disconnectAll(); }); };
}

YmodemUnitSim::~YmodemUnitSim()
{
    stop();
}

void YmodemUnitSim::setScript(const SimYmodemReceiver::Script& script)
{
    runOnSimThread([&] { m_receiver.setScript(script); });
}

void YmodemUnitSim::setSilentStarts(int count)
{
    runOnSimThread([&] { m_silentStarts = count; });
}

bool YmodemUnitSim::handleLine(const QByteArray& line)
{
    if (!line.startsWith(m_startCommand))
        return false;
    if (m_silentStarts > 0) {
        --m_silentStarts;
        return true;
    }
    setLineMode(false);
    m_receiver.start();
    return true;
}

void YmodemUnitSim::handleBytes(const QByteArray& data)
{
    m_receiver.feed(data);
}

SimYmodemReceiver::State YmodemUnitSim::state() const
{
    SimYmodemReceiver::State s = SimYmodemReceiver::State::Idle;
    runOnSimThread([&] { s = m_receiver.state(); });
    return s;
}

QString YmodemUnitSim::fileName() const
{
    QString name;
    runOnSimThread([&] { name = m_receiver.fileName(); });
    return name;
}

QByteArray YmodemUnitSim::data() const
{
    QByteArray bytes;
    runOnSimThread([&] { bytes = m_receiver.data(); });
    return bytes;
}

QList<QByteArray> YmodemUnitSim::frames() const
{
    QList<QByteArray> list;
    runOnSimThread([&] { list = m_receiver.frames(); });
    return list;
}

int YmodemUnitSim::naksSent() const
{
    int n = 0;
    runOnSimThread([&] { n = m_receiver.naksSent(); });
    return n;
}

QStringList YmodemUnitSim::errors() const
{
    QStringList list;
    runOnSimThread([&] { list = m_receiver.errors(); });
    return list;
}

int YmodemUnitSim::transfers() const
{
    return m_transfers;
}

bool YmodemUnitSim::waitForTransfers(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_transfers < count) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}
