#ifndef SIMDEVICE_H
#define SIMDEVICE_H

#include "serialports.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <map>

class QObject;
class QThread;
class SimTransport;

// What a device sends back for one request. Times are device milliseconds: they pass through
// TimeScale like the program's own waits, so a unit that answers after 300 ms keeps the same
// relation to the program's time-outs whatever the test's time scale.
struct SimReply {
    QByteArray data;
    int delayMs = 0;        // before the first byte
    int chunkSize = 0;      // > 0: sent in pieces of this many bytes ...
    int chunkGapMs = 0;     // ... with this pause between them
    // Then drop the link: the TCP connection closes; the pty vanishes once the program has read
    // the reply (a hang-up would discard unread bytes).
    bool closeAfter = false;
};

// One scripted answer: which request lines it takes and what goes back. Built fluently:
//   SimRule::exact("#GET_FW").reply("FW VERSION 1.2.3\r\n>").after(200)
//   SimRule::prefix("#SET_").silence().times(2)
//   SimRule::regex("^#GET_OUT (\\d)$").respond([](const QString& l) { ... })
class SimRule
{
public:
    enum class Match { Exact, Prefix, Regex, Any };

    static SimRule exact(const QString& line);
    static SimRule prefix(const QString& start);
    static SimRule regex(const QString& pattern);
    static SimRule any();
    // Bytes no well-formed reply contains: high bytes, NUL, ESC and no terminator.
    static QByteArray defaultGarbage();

    SimRule& reply(const QByteArray& data);
    SimRule& respond(std::function<QByteArray(const QString& line)> responder);
    SimRule& after(int delayMs);
    SimRule& silence();
    SimRule& garbage(const QByteArray& bytes = defaultGarbage());
    SimRule& partial(int bytes);                  // only the first `bytes` of the reply go out
    SimRule& chunked(int chunkSize, int gapMs);
    SimRule& thenClose();
    SimRule& times(int count);                    // used up after `count` matches (default: never)

    bool matches(const QString& line) const;
    SimReply replyFor(const QString& line) const;
    int remaining() const { return m_remaining; }

private:
    friend class SimDevice;
    Match m_match = Match::Any;
    QString m_text;
    QRegularExpression m_regex;
    QByteArray m_data;
    std::function<QByteArray(const QString&)> m_responder;
    int m_delayMs = 0;
    int m_partial = -1;
    int m_chunkSize = 0;
    int m_chunkGapMs = 0;
    bool m_close = false;
    int m_remaining = -1;
};

// The serial framing the program last set on the pty, read back from the kernel.
struct SimSerialSettings {
    qint32 baudRate = 0; // 0: no pty open; -1: a rate outside the standard table
    int dataBits = 0;
    char parity = 'N';   // N, E, O, M(ark), S(pace)
    int stopBits = 0;
    bool hardwareFlowControl = false;
    bool softwareFlowControl = false;
    QString toString() const; // "115200 8N1"
};

// A simulated device. It runs on its own thread with its own event loop, so it keeps answering
// while the test's thread is blocked (the program waits in delay() loops on the GUI thread).
//
// Every public method is thread-safe. Incoming bytes are handled on the simulator thread:
//   1. every byte is logged (received());
//   2. line mode (the default): lines are cut at the terminator; for each one the newest
//      matching rule answers; if none does, handleLine() (a family simulator's device logic);
//      if that declines, the default reply (if any);
//   3. raw mode (YMODEM, boot loaders and other binary protocols): handleBytes() gets the bytes
//      as they come; by default it passes them to the raw handler.
// Replies to one peer leave in order: a delayed reply holds back the ones queued after it, as a
// device that handles one command at a time does.
//
// Several transports can run at once (a unit with serial and Ethernet); a reply goes to the peer
// whose request is being handled, push() goes to every peer. UDP works per datagram: each one
// is one request (a trailing terminator is removed) and each reply piece is one datagram.
//
// A subclass that overrides the handlers must call stop() first thing in its destructor, so no
// handler runs while it is being torn down.
class SimDevice
{
public:
    enum class Transport { Pty, Tcp, Udp };

    SimDevice();
    virtual ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // A pseudo-terminal in raw mode. Its slave path (portName()) is what the program opens; it is
    // registered with SerialPortLister under that path with the identity's description,
    // manufacturer, serial number and USB ids, and unregistered when the pty closes. With an
    // identity.portName, that path becomes a link to the pty and is the port name instead: a unit
    // stopped and started again keeps it (the pty behind it may change).
    bool startPty(const SerialPortEntry& identity = SerialPortEntry());
    // Loopback listeners (127.0.0.1); port 0 lets the system choose.
    bool startTcp(quint16 port = 0);
    bool startUdp(quint16 port = 0);
    // Closes every transport and drops queued replies; no handler runs after it returns.
    // The device can be started again (re-read portName(): the kernel may reuse a pty number).
    void stop();

    QString portName() const;   // the pty's slave path, empty when no pty is open
    quint16 tcpPort() const;    // 0 when not listening
    quint16 udpPort() const;
    bool isOpen(Transport transport) const;
    int peerCount() const;      // open pty, TCP connections, UDP senders heard from
    SimSerialSettings serialSettings() const;

    // Scripting.
    void setTerminator(const QByteArray& terminator); // default "\r"
    QByteArray terminator() const;
    void addRule(const SimRule& rule);                 // newest rule wins
    void clearRules();
    void setDefaultReply(const QByteArray& data);      // empty: unmatched lines get no answer
    // Raw mode hands every received byte to handleBytes() as it comes. Switching from a handler
    // takes effect at once: the bytes after the current line go the new way.
    void setLineMode(bool lineMode);
    bool lineMode() const;
    void setRawHandler(std::function<void(const QByteArray& data)> handler);
    // With a rate set, bytes arriving while the pty runs at another rate are logged but never
    // answered, as a unit reading framing errors would.
    void setRequiredBaudRate(qint32 baudRate); // 0: any
    // Paced: bytes cross the pty no faster than the line rate serialSettings() reports (start
    // bit, data bits, parity, stop bits per byte), both ways: what the program writes reaches the
    // handlers once its last byte would have arrived, replies reach the program once they would
    // have been sent. Off by default (a pty moves bytes at memory speed); not scaled by TimeScale.
    void setPaced(bool paced);

    // Sends to every connected peer, behind replies already queued.
    void push(const QByteArray& data, int delayMs = 0);
    // Answers the peer being handled. Meant for handlers on the simulator thread; anywhere else
    // it acts like push().
    void reply(const QByteArray& data, int delayMs = 0);
    void reply(const SimReply& reply);
    // A slow unit: whatever it sends for a request line (echo, answer, a rule's reply) starts this
    // many device milliseconds after the line came, later than a program's wait if need be.
    // 0 (default): at once.
    void setAnswerDelay(int delayMs);
    int answerDelay() const;
    // Drops every connection; the pty closes as if the unit was unplugged.
    void disconnectAll();
    // Runs `task` on the simulator thread after `delayMs` device milliseconds (unless stopped).
    void schedule(int delayMs, std::function<void()> task);

    // Log.
    QByteArray received() const;
    QStringList requests() const; // lines in the order received, terminator removed (UDP in
                                  // line mode: one per datagram)
    int requestCount(const QString& line) const;
    void clearLog();
    // Wait for a request line / for bytes, running the calling thread's event loop meanwhile so
    // the test's own sockets and serial ports keep working. True when it came in time.
    bool waitForRequest(const QString& line, int timeoutMs = 5000) const;
    bool waitForRequestMatching(const QRegularExpression& pattern, int timeoutMs = 5000) const;
    bool waitForReceived(const QByteArray& bytes, int timeoutMs = 5000) const;

protected:
    // Simulator thread, for a line no rule took. Return false to leave it to the default reply.
    virtual bool handleLine(const QByteArray& line);
    // Simulator thread, for bytes received in raw mode (including the rest of a read after a
    // handler switched to raw mode). The default passes them to the raw handler.
    virtual void handleBytes(const QByteArray& data);
    // Simulator thread: hands a complete line through rules, handleLine() and the default reply.
    void dispatchLine(const QByteArray& line);
    // Simulator thread, when a peer connects (a TCP connection accepted, a pty opened) and when it
    // goes. reply() in peerOpened() answers the new peer (a greeting). The defaults do nothing.
    virtual void peerOpened(quint64 peerId);
    virtual void peerClosed(quint64 peerId);
    // Simulator thread: the peer whose bytes are being handled, 0 outside handlers. Lets a unit
    // keep state per connection (a telnet session's login).
    quint64 currentPeer() const { return m_currentPeer; }
    // Runs `task` on the simulator thread and waits for it. A subclass uses it to read or change
    // its device state from the test's thread.
    void runOnSimThread(const std::function<void()>& task) const;

private:
    struct Step {
        int delayMs = 0;
        QByteArray data;
        bool close = false;
    };
    struct Peer {
        SimTransport* transport = nullptr;
        QByteArray lineBuffer;
        QList<Step> out;
        bool busy = false;
    };

    SimTransport* createTransport(Transport kind, const SerialPortEntry& identity, quint16 port);
    bool startTransport(SimTransport* transport);
    SimTransport* transport(Transport kind) const;
    void closeTransport(Transport kind);
    void queueReply(quint64 peerId, const SimReply& reply);
    void pump(quint64 peerId);
    void runStep(quint64 peerId);
    void onPeerOpened(quint64 peerId, SimTransport* transport);
    void onPeerClosed(quint64 peerId);
    void onTransportClosed(SimTransport* transport);
    void onBytes(quint64 peerId, const QByteArray& data);
    void deliverBytes(quint64 peerId, const QByteArray& data);
    // Nanoseconds one byte takes on the wire at the pty's settings; 0 when not paced.
    qint64 wireNsPerByte(const SimTransport* transport) const;
    void deliverDueBytes();
    void splitIncoming(quint64 peerId, const QByteArray& data);
    bool waitFor(const std::function<bool()>& condition, int timeoutMs) const;
    bool onSimThread() const;

    QThread* m_thread = nullptr;
    QObject* m_context = nullptr; // lives on m_thread; owns the transports and the timers

    // Simulator thread only.
    std::map<Transport, SimTransport*> m_transports;
    std::map<quint64, Peer> m_peers;
    quint64 m_currentPeer = 0; // the peer whose bytes are being handled, 0 outside handlers
    quint64 m_nextPeerId = 1;
    quint64 m_epoch = 0;      // bumped by stop() so scheduled tasks from before it never run

    std::atomic<bool> m_lineMode{true};
    std::atomic<qint32> m_requiredBaud{0};
    std::atomic<bool> m_paced{false};
    // Pacing (simulator thread): when each direction's wire is free again, on m_wireClock.
    struct Arrival {
        qint64 dueNs;
        quint64 peerId;
        QByteArray data;
    };
    QElapsedTimer m_wireClock;
    qint64 m_inFreeNs = 0;
    qint64 m_outFreeNs = 0;
    QList<Arrival> m_arrivals;

    int m_lateBy = 0; // simulator thread: delay still owed to the line being handled

    mutable QMutex m_mutex; // guards everything below
    int m_answerDelayMs = 0;
    mutable QWaitCondition m_logChanged;
    QByteArray m_terminator = QByteArrayLiteral("\r");
    QList<SimRule> m_rules;
    QByteArray m_defaultReply;
    std::function<void(const QByteArray&)> m_rawHandler;
    QByteArray m_received;
    QList<QByteArray> m_requests;
};

#endif // SIMDEVICE_H
