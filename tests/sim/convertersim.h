#ifndef CONVERTERSIM_H
#define CONVERTERSIM_H

#include "fakehidunit.h"

#include <QByteArray>
#include <QList>
#include <QMap>

// A HID converter (Orrelin, 0x000E) or the HID scaler (Perrick, 0x001E) behind a FakeHidUnit,
// answering the command reports as the units do: every reply echoes the request's sequence
// number with bit 7 set; 0xAA accepts a request, and the one-byte request 0xAA asks for the next
// 32-byte EDID chunk.
//
// Converter: "#VIEW_LOCAL_EDID" is answered with chunk 0 and each 0xAA with the next chunk (0xAA
// once all eight went out); "#SEND_EDID" and each of the eight chunks that follow are answered
// with 0xAA. Each chunk is written into the unit's EDID (the converter's local one, the HID
// scaler's user EDID) as it comes, so an upload that stops part-way leaves it torn; the eighth
// completes the upload.
// HID scaler: 0x59 0x40 answers the device information; 0x5A 0x41 with a source code 0x07, 0x06
// or 0x09 answers 0xAA and then one EDID chunk per 0xAA; 0x5A 0x41 0x08 takes an EDID as above;
// 0x5A 0x41 register value stores the setting and answers 0xAA. Anything else is answered 0x55.
class ConverterSim
{
public:
    enum class Kind { Converter, Scaler };

    // Attaches to `unit` (its responder) for the unit's lifetime; the sim must outlive its use.
    ConverterSim(FakeHidUnit& unit, Kind kind);

    // The 256-byte image a read hands out; for the HID scaler, per source code.
    void setEdid(const QByteArray& image, quint8 sourceCode = 0);
    QByteArray edid(quint8 sourceCode = 0) const;
    // The image the last complete upload stored (the HID scaler's user EDID, code 0x09).
    QByteArray uploaded() const { return m_uploaded; }
    int uploads() const { return m_uploads; }

    // HID scaler: the settings registers (0x01, 0x02, 0x05, 0x0A) and the version reported.
    void setRegister(quint8 reg, quint8 value) { m_registers[reg] = value; }
    quint8 registerValue(quint8 reg) const { return m_registers.value(reg); }
    void setVersion(quint8 major, quint8 minor, quint8 patch);
    // The device-information reply as the unit would send it now.
    QByteArray deviceInfo() const;

    // Faults. Refusing: every status answer (and the information's first byte) is 0x55 from request `fromRequest` on (counted from
    // 0 over all requests). Silent: no answer at all from request `fromRequest` on. Short: EDID
    // chunks arrive in reports cut to `bytes` payload bytes while their length byte says 32.
    // Torn info: the device information arrives with `bytes` payload bytes.
    void refuseFrom(int fromRequest) { m_refuseFrom = fromRequest; }
    void silentFrom(int fromRequest) { m_silentFrom = fromRequest; }
    void cutChunksTo(int bytes) { m_chunkCut = bytes; }
    void cutDeviceInfoTo(int bytes) { m_infoCut = bytes; }
    // Upload answers as units vary: the answer to chunk `chunk` (1 to 8; 0 the write request) is
    // the status `status`, the chunk taken all the same; the last chunk goes unanswered.
    void answerUploadChunk(int chunk, quint8 status) { m_chunkAnswers[chunk] = status; }
    void skipLastChunkAnswer(bool skip) { m_skipLastAnswer = skip; }

    // Every request's payload, in order.
    QList<QByteArray> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

private:
    void handle(FakeHidUnit& unit, const QByteArray& report);
    void answer(FakeHidUnit& unit, quint8 sequence, const QByteArray& payload, int cut = -1);
    void status(FakeHidUnit& unit, quint8 sequence, bool accepted);
    void nextChunk(FakeHidUnit& unit, quint8 sequence);

    Kind m_kind;
    QMap<quint8, QByteArray> m_edids;
    QMap<quint8, quint8> m_registers;
    quint8 m_version[3] = {1, 0, 0};
    QByteArray m_uploaded;
    int m_uploads = 0;
    QList<QByteArray> m_requests;
    int m_refuseFrom = -1;
    int m_silentFrom = -1;
    int m_chunkCut = -1;
    int m_infoCut = -1;
    QMap<int, quint8> m_chunkAnswers;
    bool m_skipLastAnswer = false;

    void uploadStatus(FakeHidUnit& unit, quint8 sequence, int chunk);

    enum class Mode { Idle, Reading, Writing } m_mode = Mode::Idle;
    quint8 m_readSource = 0;
    int m_chunk = 0;
    QByteArray m_incoming;
};

// A converter's microcontroller for its in-system programming, behind a FakeHidUnit (the same ids
// in its application and in its boot loader).
//
// Running its application, it takes the command report "#FW_UPGRADE" (layout of ConverterSim)
// by restarting: it leaves the bus for rebootMs device ms (scaled by TimeScale, default 300) and
// comes back as its boot loader. Other command reports are ignored.
//
// The boot loader takes 64-byte packets behind report id 0 (little-endian: command, packet
// number, parameters) and answers each with a 65-byte report: the 16-bit sum of the 64 request
// bytes, two unused bytes, the request's number + 1 and the result data. Packet numbers: a
// synchronise packet (0xA4 whose parameter is its own number n) sets the next expected number to
// n + 2; any other packet must carry the expected number, else it is counted in
// numberingErrors() and left unanswered. Commands: 0xA6 version, 0xB1 chip id, 0xA2 config
// words, 0xA1 takes and echoes two config words, 0xAA the flash size, 0xA0 start address (where
// the image goes), total length and 42 image bytes, 0 the next 50 (version 0x23 and later: each reply carries the
// 16-bit sum of the image bytes taken so far), 0xC8 start and length: the sum of those flash
// bytes, 0xC9 length and checksum: stored, 0xAB starts the application (no answer).
class ConverterIspSim
{
public:
    struct Packet {
        quint32 command = 0;
        quint32 number = 0;
        QByteArray data; // the 56 bytes from offset 8
    };

    // Attaches to `unit` (its responder) for the unit's lifetime; the sim must outlive its use.
    explicit ConverterIspSim(FakeHidUnit& unit);

    void setInBootLoader(bool inBootLoader) { m_bootLoader = inBootLoader; }
    bool inBootLoader() const { return m_bootLoader; }
    void setRebootMs(int ms) { m_rebootMs = ms; }
    void setVersion(quint8 version) { m_version = version; }
    void setChipId(quint32 id) { m_chipId = id; }
    void setConfig(quint32 word0, quint32 word1);

    // Faults, each counted over the packets the boot loader takes (from 0): no answer from
    // packet `n` on; the reply to packet `n` sent 3 bytes short or with a wrong checksum field;
    // every reply preceded by one carrying the number the request carried (not + 1); the sums
    // it reports (programming replies and 0xC8) off by `delta`; config words echoed wrong.
    void silentFrom(int n) { m_silentFrom = n; }
    void shortReplyAt(int n) { m_shortAt = n; }
    void badChecksumAt(int n) { m_badSumAt = n; }
    void setStrayReplies(bool stray) { m_stray = stray; }
    void setReportedSumDelta(int delta) { m_sumDelta = delta; }
    void setConfigEchoWrong(bool wrong) { m_configEchoWrong = wrong; }
    // The unit leaves the bus for good when it takes packet `n`.
    void unplugAt(int n) { m_unplugAt = n; }
    // Every reply to `command` comes `ms` device ms (scaled by TimeScale) after its request.
    void delayRepliesTo(quint32 command, int ms)
    {
        m_delayedCommand = command;
        m_replyDelayMs = ms;
    }

    // What it holds: the application flash from 0 up to the announced length, the stored checksum and
    // length (0xC9), whether the application was started, the config words, the flash size an
    // old boot loader was told.
    QByteArray programmed() const { return m_flash.left(int(m_announced)); }
    quint32 announcedLength() const { return m_announced; }
    quint32 storedChecksum() const { return m_storedSum; }
    quint32 storedLength() const { return m_storedLength; }
    int applicationStarts() const { return m_starts; }
    quint32 config0() const { return m_config[0]; }
    quint32 config1() const { return m_config[1]; }
    quint32 apromSize() const { return m_apromSize; }
    int upgradeRequests() const { return m_upgradeRequests; }

    QList<Packet> packets() const { return m_packets; }
    QList<quint32> commands() const;
    int numberingErrors() const { return m_numberingErrors; }

private:
    void handle(FakeHidUnit& unit, const QByteArray& report);
    void bootLoader(FakeHidUnit& unit, const QByteArray& report);

    bool m_bootLoader = false;
    int m_rebootMs = 300;
    quint8 m_version = 0x23;
    quint32 m_chipId = 0x10009; // NUC100RE3AN
    quint32 m_config[2] = {0xFFFFFF7F, 0x0001F000};
    QByteArray m_flash;
    quint32 m_start = 0;
    quint32 m_announced = 0;
    quint32 m_written = 0;
    quint16 m_takenSum = 0;
    quint32 m_storedSum = 0;
    quint32 m_storedLength = 0;
    quint32 m_apromSize = 0;
    int m_starts = 0;
    int m_upgradeRequests = 0;

    QList<Packet> m_packets;
    bool m_synced = false;
    quint32 m_expected = 0;
    int m_numberingErrors = 0;

    int m_silentFrom = -1;
    int m_shortAt = -1;
    int m_badSumAt = -1;
    int m_unplugAt = -1;
    bool m_stray = false;
    int m_sumDelta = 0;
    bool m_configEchoWrong = false;
    quint32 m_delayedCommand = 0xFFFFFFFF;
    int m_replyDelayMs = 0;
};

#endif // CONVERTERSIM_H
