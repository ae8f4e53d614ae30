#ifndef SERIALFWSIM_H
#define SERIALFWSIM_H

// The serial units' firmware receivers on a pty, both raw-mode SimDevices, written from the wire
// formats alone (no code of the program's YMODEM engine or HEX reader):
//
// SerialFwUnitSim: a unit of the first serial group in its YMODEM-1K style receive mode. It
// listens for its start text (a package command, with or without CR LF), answers "C" (and repeats
// it while block 0 has not come), takes block 0 (SOH 00 FF, name NUL size NUL, two check bytes),
// answers ACK "C", takes 1024-byte blocks (STX n ~n, data, two check bytes), ACKs EOT without
// asking again, ACKs the empty block 0 and prints its success text; then it listens for the start
// text again (the next file). It reports check bytes that are not zero, a wrong complement, a
// block number out of step and a short last block that is not padded with 0x1A.
//
// HexBootSim: the Pelmorr/Rindale boot loader at 57600 baud: 0x81 answered 0x81 (from a chosen
// try on), 0x84 addr 00 echoed, 0x86 + 512 bytes written at addr × 256 and answered 00 5A.

#include "simdevice.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class SerialFwUnitSim : public SimDevice
{
public:
    // Keys of the faults: 0 block 0, n the n-th data block (from 1, not wrapped), Eot, Closing.
    static constexpr int Eot = -1;
    static constexpr int Closing = -2;

    struct Script {
        QByteArray startText = QByteArrayLiteral("#FW_UPGRADE");
        QByteArray banner;            // printed when the start text is heard, before the "C"
        int extraRequests = 2;        // "C" repeated this often (every 1000 ms) while block 0 is due
        QByteArray successText = QByteArrayLiteral("\r\nUpgrade OK\r\n");
        QMap<int, int> nak;           // key -> arrivals answered NAK
        QMap<int, int> ignore;        // key -> arrivals answered with nothing
        int vanishAt = 0;             // key + 1000: the unit is unplugged when that frame arrives
        bool silent = false;          // never answers the start text
    };
    struct Transfer {
        QString name;
        qint64 size = 0;
        QByteArray data; // cut to the size block 0 announced
        QList<QByteArray> frames;
        bool done = false;
        QString line; // the pty's settings when the start text came ("19200 8N1")
    };

    SerialFwUnitSim();
    ~SerialFwUnitSim() override;

    void setScript(const Script& script);
    QList<Transfer> transfers() const;
    QStringList errors() const;
    // Bytes heard while no transfer ran (the package's commands).
    QByteArray commandBytes() const;
    bool waitForTransfers(int count, int timeoutMs = 20000) const;

protected:
    void handleBytes(const QByteArray& data) override;

private:
    enum class Phase { Listening, Header, Data, Closing };
    bool takeFault(QMap<int, int>& faults, int key);
    void handleFrame(const QByteArray& frame);
    void request(int left);

    Script m_script;
    Phase m_phase = Phase::Listening;
    QByteArray m_buffer;
    QByteArray m_heard;   // every byte heard while listening
    QByteArray m_pending; // heard since the last start text
    QList<Transfer> m_transfers;
    int m_blocks = 0;
    QStringList m_errors;
    quint64 m_requestEpoch = 0;
};

class HexBootSim : public SimDevice
{
public:
    struct Script {
        int syncOnTry = 1;      // the n-th 0x81 is the first one answered
        int echoWrongAt = -1;   // block whose set-address echo is spoilt
        int noAckAt = -1;       // block answered 00 00 in place of 00 5A
        int silentAt = -1;      // block whose write gets no answer
    };

    HexBootSim();
    ~HexBootSim() override;

    void setScript(const Script& script);
    QByteArray flash() const;        // 64 KiB, 0xFF where nothing was written
    QList<int> addresses() const;    // the address bytes of the set-address commands, in order
    int syncBytesHeard() const;      // 0x81 bytes heard before the first set-address command
    int blocksWritten() const;
    QString line() const;            // the pty's settings at the first set-address command

protected:
    void handleBytes(const QByteArray& data) override;

private:
    Script m_script;
    QByteArray m_buffer;
    QByteArray m_flash;
    QList<int> m_addresses;
    int m_syncs = 0;
    int m_blocks = 0;
    int m_address = -1;
    QString m_line;
};

#endif // SERIALFWSIM_H
