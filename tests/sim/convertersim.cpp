#include "convertersim.h"
#include "timescale.h"

namespace {
constexpr quint8 Ack = 0xAA;
constexpr quint8 Nak = 0x55;
constexpr int Chunk = 32;
constexpr int Chunks = 8;
constexpr quint8 UserEdid = 0x09;
} // namespace

ConverterSim::ConverterSim(FakeHidUnit& unit, Kind kind)
    : m_kind(kind)
{
    m_registers = {{0x01, 0xFF}, {0x02, 0xFF}, {0x05, 0xFF}, {0x0A, 0xFF}};
    unit.setResponder([this](FakeHidUnit& u, const QByteArray& report) { handle(u, report); });
}

void ConverterSim::setEdid(const QByteArray& image, quint8 sourceCode)
{
    QByteArray padded = image.left(Chunk * Chunks);
    padded.append(QByteArray(Chunk * Chunks - padded.size(), char(0xFF)));
    m_edids[m_kind == Kind::Converter ? 0 : sourceCode] = padded;
}

QByteArray ConverterSim::edid(quint8 sourceCode) const
{
    return m_edids.value(m_kind == Kind::Converter ? 0 : sourceCode, QByteArray(Chunk * Chunks, char(0xFF)));
}

void ConverterSim::setVersion(quint8 major, quint8 minor, quint8 patch)
{
    m_version[0] = major;
    m_version[1] = minor;
    m_version[2] = patch;
}

QByteArray ConverterSim::deviceInfo() const
{
    QByteArray info(Chunk, '\0');
    info[0] = char(Ack);
    info[1] = char(m_registers.value(0x01));
    info[2] = char(m_registers.value(0x02));
    info[5] = char(m_registers.value(0x05));
    info[6] = char(m_registers.value(0x0A));
    info[7] = char(m_version[0]);
    info[8] = char(m_version[1]);
    info[9] = char(m_version[2]);
    return info;
}

void ConverterSim::answer(FakeHidUnit& unit, quint8 sequence, const QByteArray& payload, int cut)
{
    if (m_silentFrom >= 0 && m_requests.size() - 1 >= m_silentFrom)
        return;
    const int size = cut < 0 ? 65 : 3 + cut;
    unit.sendReport(FakeHidUnit::report(quint8(sequence | 0x80), payload, payload.size(), size));
}

void ConverterSim::status(FakeHidUnit& unit, quint8 sequence, bool accepted)
{
    const bool refusing = m_refuseFrom >= 0 && m_requests.size() - 1 >= m_refuseFrom;
    answer(unit, sequence, QByteArray(1, char(accepted && !refusing ? Ack : Nak)));
}

void ConverterSim::uploadStatus(FakeHidUnit& unit, quint8 sequence, int chunk)
{
    if (m_chunkAnswers.contains(chunk))
        answer(unit, sequence, QByteArray(1, char(m_chunkAnswers.value(chunk))));
    else
        status(unit, sequence, true);
}

void ConverterSim::nextChunk(FakeHidUnit& unit, quint8 sequence)
{
    if (m_chunk >= Chunks) {
        m_mode = Mode::Idle;
        status(unit, sequence, true);
        return;
    }
    answer(unit, sequence, edid(m_readSource).mid(m_chunk * Chunk, Chunk), m_chunkCut);
    ++m_chunk;
}

void ConverterSim::handle(FakeHidUnit& unit, const QByteArray& report)
{
    if (report.size() < 3)
        return;
    const quint8 sequence = FakeHidUnit::sequenceOf(report);
    const int length = qMin(quint8(report.at(2)), quint8(report.size() - 3));
    const QByteArray payload = report.mid(3, length);
    m_requests.append(payload);

    if (payload == QByteArray(1, char(Ack)) && m_mode == Mode::Reading) {
        nextChunk(unit, sequence);
        return;
    }
    if (m_mode == Mode::Writing && payload.size() == Chunk) {
        const int chunk = m_incoming.size() / Chunk + 1;
        m_incoming += payload;
        const quint8 target = m_kind == Kind::Scaler ? UserEdid : 0;
        QByteArray memory = edid(target);
        memory.replace((chunk - 1) * Chunk, Chunk, payload);
        m_edids[target] = memory;
        if (chunk == Chunks) {
            m_mode = Mode::Idle;
            m_uploaded = m_incoming;
            ++m_uploads;
            if (m_skipLastAnswer)
                return;
        }
        uploadStatus(unit, sequence, chunk);
        return;
    }

    m_mode = Mode::Idle;
    if (m_kind == Kind::Converter) {
        if (payload == "#VIEW_LOCAL_EDID") {
            m_mode = Mode::Reading;
            m_readSource = 0;
            m_chunk = 0;
            nextChunk(unit, sequence);
        } else if (payload == "#SEND_EDID") {
            m_mode = Mode::Writing;
            m_incoming.clear();
            uploadStatus(unit, sequence, 0);
        } else {
            status(unit, sequence, false);
        }
        return;
    }

    if (payload == QByteArray("\x59\x40", 2)) {
        QByteArray info = deviceInfo();
        if (m_refuseFrom >= 0 && m_requests.size() - 1 >= m_refuseFrom)
            info[0] = char(Nak);
        answer(unit, sequence, m_infoCut < 0 ? info : info.left(m_infoCut));
    } else if (payload.size() == 3 && payload.startsWith("\x5A\x41")) {
        const quint8 code = quint8(payload.at(2));
        if (code == 0x08) {
            m_mode = Mode::Writing;
            m_incoming.clear();
            uploadStatus(unit, sequence, 0);
        } else if (code == 0x07 || code == 0x06 || code == UserEdid) {
            m_mode = Mode::Reading;
            m_readSource = code;
            m_chunk = 0;
            status(unit, sequence, true);
        } else {
            status(unit, sequence, false);
        }
    } else if (payload.size() == 4 && payload.startsWith("\x5A\x41")) {
        const quint8 reg = quint8(payload.at(2));
        const bool known = m_registers.contains(reg);
        if (known)
            m_registers[reg] = quint8(payload.at(3));
        status(unit, sequence, known);
    } else {
        status(unit, sequence, false);
    }
}

// ---- In-system programming -------------------------------------------------------------------

namespace {
constexpr int IspPacket = 64;
constexpr int FlashBytes = 128 * 1024;

quint32 le32(const QByteArray& bytes, int at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

void putLe(QByteArray& bytes, int at, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

quint16 sum16(const QByteArray& bytes)
{
    quint32 sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    return quint16(sum);
}
} // namespace

ConverterIspSim::ConverterIspSim(FakeHidUnit& unit)
    : m_flash(FlashBytes, char(0xFF))
{
    unit.setResponder([this](FakeHidUnit& u, const QByteArray& report) { handle(u, report); });
}

void ConverterIspSim::setConfig(quint32 word0, quint32 word1)
{
    m_config[0] = word0;
    m_config[1] = word1;
}

QList<quint32> ConverterIspSim::commands() const
{
    QList<quint32> list;
    for (const Packet& p : m_packets)
        list.append(p.command);
    return list;
}

void ConverterIspSim::handle(FakeHidUnit& unit, const QByteArray& report)
{
    if (m_bootLoader) {
        bootLoader(unit, report);
        return;
    }
    if (report.size() < 3)
        return;
    const int length = qMin(quint8(report.at(2)), quint8(report.size() - 3));
    if (report.mid(3, length) != "#FW_UPGRADE")
        return;
    ++m_upgradeRequests;
    m_bootLoader = true;
    m_synced = false;
    unit.unplugFor(TimeScale::ms(m_rebootMs));
}

void ConverterIspSim::bootLoader(FakeHidUnit& unit, const QByteArray& report)
{
    if (report.size() < 1 + IspPacket)
        return;
    const QByteArray request = report.mid(1, IspPacket);
    Packet packet;
    packet.command = le32(request, 0);
    packet.number = le32(request, 4);
    packet.data = request.mid(8);
    const int index = m_packets.size();
    m_packets.append(packet);

    if (index == m_unplugAt) {
        unit.unplug();
        return;
    }
    if (packet.command == 0xA4) {
        if (le32(request, 8) != packet.number) {
            ++m_numberingErrors;
            return;
        }
        m_synced = true;
    } else if (!m_synced) {
        return; // nothing to place it after
    } else if (packet.number != m_expected) {
        ++m_numberingErrors;
        return;
    }
    m_expected = packet.number + 2;

    QByteArray result(IspPacket - 8, '\0');
    const QByteArray& d = packet.data;
    switch (packet.command) {
    case 0xA6:
        result[0] = char(m_version);
        break;
    case 0xB1:
        putLe(result, 0, m_chipId, 4);
        break;
    case 0xA2:
        putLe(result, 0, m_config[0], 4);
        putLe(result, 4, m_config[1], 4);
        break;
    case 0xA1:
        m_config[0] = le32(d, 0);
        m_config[1] = le32(d, 4);
        putLe(result, 0, m_config[0] ^ (m_configEchoWrong ? 1u : 0u), 4);
        putLe(result, 4, m_config[1], 4);
        break;
    case 0xAA:
        m_apromSize = le32(d, 0);
        break;
    case 0xA0:
    case 0x00: {
        QByteArray image;
        if (packet.command == 0xA0) {
            m_flash.fill(char(0xFF));
            m_start = qMin<quint32>(le32(d, 0), FlashBytes);
            m_announced = qMin<quint32>(le32(d, 4), FlashBytes - m_start);
            m_written = 0;
            m_takenSum = 0;
            image = d.mid(8, 42);
        } else {
            image = d.left(50);
        }
        image.truncate(int(qMin<quint32>(quint32(image.size()), m_announced - m_written)));
        m_flash.replace(int(m_start + m_written), image.size(), image);
        m_written += quint32(image.size());
        m_takenSum = quint16(m_takenSum + sum16(image));
        if (m_version >= 0x23)
            putLe(result, 0, quint16(m_takenSum + m_sumDelta), 2);
        break;
    }
    case 0xC8: {
        const quint32 start = qMin<quint32>(le32(d, 0), FlashBytes);
        const quint32 length = qMin<quint32>(le32(d, 4), FlashBytes - start);
        putLe(result, 0, quint16(sum16(m_flash.mid(int(start), int(length))) + m_sumDelta), 2);
        break;
    }
    case 0xC9:
        m_storedLength = le32(d, 0);
        m_storedSum = le32(d, 4);
        break;
    case 0xAB:
        ++m_starts;
        m_bootLoader = false;
        return;
    default:
        break;
    }

    if (m_silentFrom >= 0 && index >= m_silentFrom)
        return;
    auto reply = [&](quint32 number) {
        QByteArray r(1 + IspPacket, '\0');
        putLe(r, 1, quint16(sum16(request) + (index == m_badSumAt ? 1 : 0)), 2);
        putLe(r, 5, number, 4);
        r.replace(9, result.size(), result);
        return index == m_shortAt ? r.left(r.size() - 3) : r;
    };
    const int delay = packet.command == m_delayedCommand ? TimeScale::ms(m_replyDelayMs) : 0;
    if (m_stray)
        unit.sendReport(reply(packet.number), delay);
    unit.sendReport(reply(packet.number + 1), delay);
}
