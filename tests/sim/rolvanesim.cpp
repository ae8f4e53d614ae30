#include "rolvanesim.h"

#include <cerrno>

namespace {

quint8 xorOf(const QByteArray& bytes)
{
    quint8 x = 0;
    for (char c : bytes)
        x = quint8(x ^ quint8(c));
    return x;
}

quint32 le32(const QByteArray& bytes, int at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | quint8(bytes.at(at + i));
    return v;
}

const int kBulkOut = 0x02;
const int kBulkIn = 0x81;

} // namespace

RolvaneSim::RolvaneSim()
    : m_flash(FlashSize, char(0xFF))
{
}

QByteArray RolvaneSim::flash(quint32 address, int length) const
{
    QByteArray out;
    for (int i = 0; i < length; ++i) {
        const qint64 at = qint64(address) + i - FlashStart;
        out.append(at >= 0 && at < FlashSize ? m_flash.at(int(at)) : char(0xFF));
    }
    return out;
}

quint32 RolvaneSim::announcedLength() const
{
    // Start packet byte 6 is header byte 6, so the header's length field (25..28) sits at 25.
    return m_start.size() == 36 ? le32(m_start, 25) : 0;
}

int RolvaneSim::claimInterface(int)
{
    ++m_claims;
    return 0;
}

int RolvaneSim::releaseInterface(int)
{
    ++m_releases;
    return 0;
}

// ---- bulk loader ---------------------------------------------------------------------------

int RolvaneSim::bulkWrite(int endpoint, const QByteArray& data)
{
    if (endpoint != kBulkOut)
        return -EPIPE;
    m_packets.append(data);
    takeBulk(data);
    return data.size();
}

int RolvaneSim::bulkRead(int endpoint, QByteArray* data, int length)
{
    if (endpoint != kBulkIn)
        return -EPIPE;
    if (m_replies.isEmpty())
        return Silent;
    const QByteArray reply = m_replies.takeFirst();
    if (reply.isEmpty())
        return Silent; // still busy
    *data = reply.left(length);
    return data->size();
}

void RolvaneSim::queueReply(quint8 commandByte)
{
    QByteArray reply(m_replyLength, '\0');
    if (reply.size() > 0)
        reply[0] = char(0xAA);
    if (reply.size() > 1)
        reply[1] = char(0xBB);
    if (reply.size() > 7)
        reply[7] = char(commandByte);
    m_replies.append(reply);
}

void RolvaneSim::takeBulk(const QByteArray& packet)
{
    const bool framed = packet.size() >= 5 && quint8(packet.at(0)) == 0xAA && quint8(packet.at(1)) == 0xBB
        && packet.size() == 5 + quint8(packet.at(3)) && xorOf(packet) == 0;
    if (!framed) {
        ++m_badPackets;
        return;
    }
    const quint8 command = quint8(packet.at(2));
    const QByteArray payload = packet.mid(4, quint8(packet.at(3)));
    m_commands.append(command);
    const bool silent = m_silentFrom > 0 && m_packets.size() >= m_silentFrom;

    switch (command) {
    case 0x94:
        if (!silent)
            queueReply(m_programmingMode ? 0x94 : 0x00);
        return;
    case 0x8C:
        m_flash.fill(char(0xFF));
        if (silent)
            return;
        queueReply(0x8C);
        for (int i = 0; i < m_busyReads; ++i)
            m_replies.append(QByteArray());
        queueReply(0x93);
        return;
    case 0x8E: {
        if (payload.size() < 8 || payload.at(1) || payload.at(2) || payload.at(3)) {
            ++m_badPackets;
            return;
        }
        Block block;
        block.words = quint8(payload.at(0));
        block.address = le32(payload, 4);
        block.data = payload.mid(8);
        const qint64 offset = qint64(block.address) - FlashStart;
        if (block.words != (block.data.size() + 3) / 4 || offset < 0 || offset + block.data.size() > FlashSize) {
            ++m_badPackets;
            return;
        }
        m_blocks.append(block);
        m_flash.replace(int(offset), block.data.size(), block.data);
        if (!silent)
            queueReply(m_blocks.size() == m_refusedBlock ? 0x00 : 0x8E);
        if (m_pieceHook)
            m_pieceHook(m_blocks.size());
        return;
    }
    default:
        if (!silent)
            queueReply(command);
        return;
    }
}

// ---- control loader ------------------------------------------------------------------------

int RolvaneSim::controlWrite(int requestType, int request, int value, int index, const QByteArray& data)
{
    m_controlWrites.append(data);
    if (requestType != 0x40 || request != 0x2D || value != 0 || index != 0)
        return -EPIPE;
    return takeControl(data);
}

int RolvaneSim::takeControl(const QByteArray& data)
{
    const quint8 ack = 0xE3;
    switch (m_stage) {
    case MacStage::Start: {
        const bool framed = data.size() == 36 && data.startsWith(QByteArray::fromHex("aabb7b1f0200")) && xorOf(data) == 0;
        if (!framed) {
            m_acks.append(0x00);
            return data.size();
        }
        ++m_startPackets;
        if (m_shortStarts > 0) {
            --m_shortStarts;
            return 10;
        }
        if (m_startNaks > 0) {
            --m_startNaks;
            m_acks.append(0x00);
            return data.size();
        }
        m_start = data;
        m_acks.append(ack);
        for (int i = 0; i < m_busyAcks; ++i)
            m_acks.append(0x00);
        m_acks.append(ack); // ready for the common section
        m_stage = MacStage::Header;
        return data.size();
    }
    case MacStage::Header:
        if (data.size() != 33 || !data.startsWith(QByteArray::fromHex("f35f120135")) || quint8(data.at(5)) != 0xFF) {
            m_acks.append(0x00);
            return data.size();
        }
        if (m_shortHeaders > 0) {
            --m_shortHeaders;
            return 20;
        }
        m_header = data;
        m_acks.append(ack);
        m_stage = MacStage::PartOne;
        return data.size();
    case MacStage::PartOne:
    case MacStage::PartTwo:
        if (data.size() != 512) {
            m_acks.append(0x00);
            return data.size();
        }
        if (m_stage == MacStage::PartOne) {
            m_partOne = data;
            m_stage = MacStage::PartTwo;
        } else {
            m_partTwo = data;
            m_stage = MacStage::Firmware;
            m_acks.append(ack); // ready for the firmware
        }
        m_acks.append(ack);
        return data.size();
    case MacStage::Firmware: {
        const int piece = m_pieceSizes.size() + 1;
        const int taken = piece == m_shortPiece ? data.size() - 1 : data.size();
        m_firmware.append(data.left(taken));
        m_pieceSizes.append(taken);
        m_acks.append(ack);
        if (m_pieceHook)
            m_pieceHook(piece);
        return taken;
    }
    }
    return -EPIPE;
}

int RolvaneSim::controlRead(int requestType, int request, int value, int index, QByteArray* data, int length)
{
    if (requestType != 0xC2 || request != 0x2D || value != 0 || index != 0 || length != 1)
        return -EPIPE;
    if (m_macSilent && int(m_stage) >= int(m_macSilentFrom))
        return Silent;
    if (m_acks.isEmpty())
        return Silent;
    *data = QByteArray(1, char(m_acks.takeFirst()));
    return 1;
}
