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
// with 0xAA, and the eighth stores the EDID.
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

    enum class Mode { Idle, Reading, Writing } m_mode = Mode::Idle;
    quint8 m_readSource = 0;
    int m_chunk = 0;
    QByteArray m_incoming;
};

#endif // CONVERTERSIM_H
