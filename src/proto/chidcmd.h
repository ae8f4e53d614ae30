#ifndef CHIDCMD_H
#define CHIDCMD_H

#include "chidio.h"

#include <QtGlobal>

// The command channel to a vendor HID unit: one 65-byte report buffer used for the command being
// written and for the reply being read, and the 7-bit sequence number that ties a reply to its
// command.
//
// Report layout, both directions:
//   byte 0      report id, always 0
//   byte 1      bits 0-6 sequence number; bit 7 set by the unit in its reports
//   byte 2      payload length
//   bytes 3-64  payload
//
// A conversation: OpenDevice(true, vendor, product); for each command buildReport (which advances
// the sequence number), writeReport and, when the unit answers, ReadFile; then CloseDevice.
// The program keeps one command object for the converter pages, which take turns; a programming
// run derives its own from this class to keep its state behind the command object.
class CHidCmd
{
public:
    static constexpr int ReportSize = 65;
    static constexpr int HeaderSize = 3;
    static constexpr int MaxPayload = ReportSize - HeaderSize;
    static constexpr quint8 InitialSequence = 18;

    explicit CHidCmd(HidBackend* backend = nullptr);
    virtual ~CHidCmd();

    CHidCmd(const CHidCmd&) = delete;
    CHidCmd& operator=(const CHidCmd&) = delete;

    CHidIO& io() { return m_io; }
    bool OpenDevice(bool twoHandles, quint16 vendorId, quint16 productId)
    {
        return m_io.OpenDevice(twoHandles, vendorId, productId);
    }
    bool WriteFile(const void* data, int length, quint32* written = nullptr, int timeout = 1000)
    {
        return m_io.WriteFile(data, length, written, timeout);
    }
    void CloseDevice() { m_io.CloseDevice(); }

    quint8* reportBuffer() { return m_report; }
    const quint8* reportBuffer() const { return m_report; }
    quint8 sequenceNumber() const { return m_sequence; }
    // Bit 7 of byte 1 of the last reply ReadFile accepted.
    int replyFlag() const { return m_replyFlag; }

    // Moves to the next sequence number, 0 after 127, and returns it.
    quint8 advanceSequence();
    // Starts a command in the report buffer: advances the sequence number, writes the header
    // and copies the payload (at most MaxPayload bytes; a negative length counts as 0). The bytes
    // behind the payload keep what was there. Returns the length written to byte 2.
    int buildReport(const void* payload, int length);
    // Writes the whole report buffer.
    bool writeReport(int timeout = 1000) { return m_io.WriteFile(m_report, ReportSize, nullptr, timeout); }

    // Reads reports until one carries the current sequence number, skipping the others, for at
    // most `timeout` ms in all. Copies the reply's payload: as many bytes as the report really
    // carries, its length byte claims and `size` allows, whichever is least. `copied` is set to
    // 0 first and to that count on success. False on time-out, failure or cancel.
    bool ReadFile(void* destination, int size, quint32* copied = nullptr, int timeout = 1000);

private:
    quint8 m_report[ReportSize] = {};
    quint8 m_sequence = InitialSequence;
    int m_replyFlag = 0;
    CHidIO m_io;
};

#endif // CHIDCMD_H
