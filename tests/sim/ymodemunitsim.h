#ifndef YMODEMUNITSIM_H
#define YMODEMUNITSIM_H

#include "simdevice.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// The receiving end of a unit's YMODEM upload, as the units speak it: after the command that
// starts it the unit answers a ready text beginning with "W", then asks with "C"; it takes block
// 0 (SOH, 0, FF, name NUL size NUL, CRC-16), asks again with "C", takes 1024-byte (or 128-byte)
// data blocks, acknowledges EOT, takes the empty block 0 and prints its confirmation. The letter
// "a" between blocks is the program's abort and ends the transfer.
//
// Written from the wire format alone, without the program's YMODEM code, so that a misreading
// cannot hide on both sides. It has no thread or link of its own: a simulator feeds it the bytes
// it hears (on its own thread) and sends what it answers.
class SimYmodemReceiver
{
public:
    // Keys of the faults: 0 is block 0, n the n-th data block (counted from 1, not wrapped),
    // Eot and Closing the EOT and the empty block 0.
    static constexpr int Eot = -1;
    static constexpr int Closing = -2;

    struct Script {
        QByteArray readyText = QByteArrayLiteral("W");
        QByteArray junkBeforeRequest; // between the ready text and the "C"
        bool requestAfterEot = true;  // "C" after the EOT's ACK (standard receivers ask)
        QByteArray completionText;    // after the closing block's ACK
        QMap<int, int> nak;           // key -> how many arrivals of it are answered NAK
        QMap<int, int> ignore;        // key -> how many arrivals of it get no answer at all
        // At this frame the unit hangs up (its pty closes) instead of answering: at Closing, a
        // receiver that has the whole file and whose last ACK the hang-up swallowed.
        int hangUpAt = NoKey;
    };
    static constexpr int NoKey = -1000;
    enum class State { Idle, Receiving, Done, Aborted };

    // Answers go through `send`; `ended` is called once the transfer is over (done or aborted).
    std::function<void(const QByteArray&)> send;
    std::function<void()> ended;
    std::function<void()> hangUp; // the link is to drop now

    void setScript(const Script& script) { m_script = script; }
    // The start command was heard: ready text, junk, "C".
    void start();
    void feed(const QByteArray& bytes);

    State state() const { return m_state; }
    QString fileName() const { return m_name; }
    qint64 announcedSize() const { return m_size; }
    QByteArray data() const { return m_data; }      // cut to the announced size once done
    QList<QByteArray> frames() const { return m_frames; } // every whole frame heard, in order
    int naksSent() const { return m_naks; }
    QStringList errors() const { return m_errors; } // what was wrong with the frames heard

private:
    enum class Phase { Header, Data, Closing };
    bool takeFault(QMap<int, int>& faults, int key);
    void handleFrame(const QByteArray& frame);
    void finish(State state);
    bool hangUpAt(int key);

    Script m_script;
    State m_state = State::Idle;
    Phase m_phase = Phase::Header;
    QByteArray m_buffer;
    QString m_name;
    qint64 m_size = 0;
    QByteArray m_data;
    int m_blocks = 0; // data blocks taken
    QList<QByteArray> m_frames;
    int m_naks = 0;
    QStringList m_errors;
};

// A unit that takes files by YMODEM after a start command ("#SEND_EDID" ...): line mode until
// the command, then the receiver above until the transfer ends, then line mode again. Lines that
// are not the command get `otherReply` (">" by default).
class YmodemUnitSim : public SimDevice
{
public:
    explicit YmodemUnitSim(const QByteArray& startCommand = QByteArrayLiteral("#SEND_EDID"));
    ~YmodemUnitSim() override;

    void setScript(const SimYmodemReceiver::Script& script);
    // The first `count` start commands go unanswered (a unit that answers late).
    void setSilentStarts(int count);

    SimYmodemReceiver::State state() const;
    QString fileName() const;
    QByteArray data() const;
    QList<QByteArray> frames() const;
    int naksSent() const;
    QStringList errors() const;
    int transfers() const; // transfers that ended (done or aborted)
    // Waits (running the caller's event loop) until `count` transfers have ended.
    bool waitForTransfers(int count, int timeoutMs = 10000) const;

protected:
    bool handleLine(const QByteArray& line) override;
    void handleBytes(const QByteArray& data) override;

private:
    const QByteArray m_startCommand;
    SimYmodemReceiver m_receiver; // simulator thread only
    int m_silentStarts = 0;
    std::atomic<int> m_transfers{0};
};

#endif // YMODEMUNITSIM_H
