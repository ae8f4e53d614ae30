#ifndef ROLVANESIM_H
#define ROLVANESIM_H

#include "fakeusbbus.h"

#include <QByteArray>
#include <QList>

#include <functional>

// A Rolvane wireless unit (0x22CA:0x1111) in its firmware loader, on a FakeUsbBus: plug it with
// `bus.plug(RolvaneSim::VendorId, RolvaneSim::ProductId, "001", &sim)`. It keeps everything it is
// sent and answers as the unit does; the faults below spoil chosen answers.
//
// "APP" loader, bulk: packets 0xAA 0xBB, command, payload length, payload, XOR of all before it,
// written to endpoint 2. Each well-formed packet queues a reply of 64 bytes on endpoint 0x81
// whose byte 7 names the command: 0x94 (programming mode; byte 7 is 0 when the unit is not in it),
// 0x8C (prepare: the flash is erased, and after `setBusyReads(n)` empty reads the ready reply
// 0x93 follows), 0x8E (one block: word count, three zeros, address LE, data; written into the
// flash), 0x8F and 0x90. Malformed packets are counted and get no reply.
//
// "MAC" loader, vendor control requests 0x2D (out 0x40, acknowledgement in 0xC2, one byte 0xE3):
// a 36-byte start packet (0xAA 0xBB 0x7B 0x1F 0x02 0x00, 29 section bytes, XOR) acknowledged
// and followed by a second acknowledgement when the unit is ready; the 33-byte header of the
// common section, two 512-byte parts, each acknowledged (the second twice: the unit then waits
// for firmware); firmware pieces of up to 512 bytes, each acknowledged. Out of turn requests get
// the acknowledgement 0x00.
class RolvaneSim : public FakeUsbDevice
{
public:
    static constexpr quint16 VendorId = 0x22CA;
    static constexpr quint16 ProductId = 0x1111;
    static constexpr quint32 FlashStart = 0x08005800;
    static constexpr int FlashSize = 1024000;

    enum class MacStage { Start, Header, PartOne, PartTwo, Firmware };

    struct Block {
        quint32 address = 0;
        int words = 0;
        QByteArray data;
    };

    RolvaneSim();

    // ---- faults -------------------------------------------------------------------------------
    void setProgrammingMode(bool on) { m_programmingMode = on; }
    void setBusyReads(int reads) { m_busyReads = reads; }
    // From the n-th bulk packet on (1-based) nothing is answered; 0: never.
    void setSilentFromPacket(int n) { m_silentFrom = n; }
    // The k-th block (1-based) is answered with a reply naming no command.
    void setRefusedBlock(int k) { m_refusedBlock = k; }
    // Replies of this many bytes (a short one lacks byte 7).
    void setReplyLength(int length) { m_replyLength = length; }
    // Called after each block or firmware piece taken, with its number (1-based).
    void setPieceHook(std::function<void(int)> hook) { m_pieceHook = std::move(hook); }

    void setShortStarts(int n) { m_shortStarts = n; } // start packets reported as 10 bytes taken
    void setStartNaks(int n) { m_startNaks = n; }     // start packets acknowledged with 0x00
    void setBusyAcks(int n) { m_busyAcks = n; }       // 0x00 acknowledgements before the ready one
    void setShortHeaders(int n) { m_shortHeaders = n; } // common headers reported as 20 bytes taken
    // From this stage on no acknowledgement comes.
    void setMacSilentFrom(MacStage stage) { m_macSilent = true; m_macSilentFrom = stage; }
    // The k-th firmware piece (1-based) is reported one byte short.
    void setShortPiece(int k) { m_shortPiece = k; }

    // ---- what the unit got --------------------------------------------------------------------
    QList<QByteArray> bulkPackets() const { return m_packets; }
    QList<quint8> commands() const { return m_commands; }
    int badPackets() const { return m_badPackets; }
    QList<Block> blocks() const { return m_blocks; }
    QByteArray flash(quint32 address, int length) const;
    int claims() const { return m_claims; }
    int releases() const { return m_releases; }

    QList<QByteArray> controlWrites() const { return m_controlWrites; }
    int startPackets() const { return m_startPackets; }
    QByteArray startPacket() const { return m_start; }
    QByteArray commonHeader() const { return m_header; }
    QByteArray partOne() const { return m_partOne; }
    QByteArray partTwo() const { return m_partTwo; }
    QByteArray macFirmware() const { return m_firmware; }
    QList<int> pieceSizes() const { return m_pieceSizes; }
    MacStage macStage() const { return m_stage; }
    // The firmware length the start packet announced (its header's first payload length).
    quint32 announcedLength() const;

    int claimInterface(int interface) override;
    int releaseInterface(int interface) override;
    int bulkWrite(int endpoint, const QByteArray& data) override;
    int bulkRead(int endpoint, QByteArray* data, int length) override;
    int controlWrite(int requestType, int request, int value, int index, const QByteArray& data) override;
    int controlRead(int requestType, int request, int value, int index, QByteArray* data, int length) override;

private:
    void takeBulk(const QByteArray& packet);
    void queueReply(quint8 commandByte);
    int takeControl(const QByteArray& data);

    bool m_programmingMode = true;
    int m_busyReads = 0;
    int m_silentFrom = 0;
    int m_refusedBlock = 0;
    int m_replyLength = 64;
    std::function<void(int)> m_pieceHook;
    QList<QByteArray> m_replies; // empty entries: a read that finds nothing yet

    QList<QByteArray> m_packets;
    QList<quint8> m_commands;
    int m_badPackets = 0;
    QList<Block> m_blocks;
    QByteArray m_flash;
    int m_claims = 0;
    int m_releases = 0;

    int m_shortStarts = 0;
    int m_startNaks = 0;
    int m_busyAcks = 0;
    int m_shortHeaders = 0;
    bool m_macSilent = false;
    MacStage m_macSilentFrom = MacStage::Start;
    int m_shortPiece = 0;
    MacStage m_stage = MacStage::Start;
    QList<quint8> m_acks;
    QList<QByteArray> m_controlWrites;
    int m_startPackets = 0;
    QByteArray m_start;
    QByteArray m_header;
    QByteArray m_partOne;
    QByteArray m_partTwo;
    QByteArray m_firmware;
    QList<int> m_pieceSizes;
};

#endif // ROLVANESIM_H
