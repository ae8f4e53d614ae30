#include "convertersim.h"

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
        m_incoming += payload;
        if (m_incoming.size() == Chunk * Chunks) {
            m_mode = Mode::Idle;
            m_uploaded = m_incoming;
            ++m_uploads;
            if (m_kind == Kind::Scaler)
                m_edids[UserEdid] = m_incoming;
        }
        status(unit, sequence, true);
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
            status(unit, sequence, true);
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
            status(unit, sequence, true);
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
