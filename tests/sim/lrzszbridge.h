#ifndef LRZSZBRIDGE_H
#define LRZSZBRIDGE_H

#include "simdevice.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>

class QProcess;

// A real YMODEM peer behind a simulated serial port: lrzsz's `rb` (receive) or `sb` (send) runs
// as a child process, and the pty is bridged to it in raw mode: every byte the program under
// test writes to the port goes to the child's standard input, everything the child writes to its
// standard output comes back on the port. Its standard error is kept as the peer's log.
//
//   LrzszBridge peer;
//   peer.startPty();
//   port.open(...);                                   // before the peer starts talking
//   peer.startPeer("rb", {"-b", "-u"}, dir.path());   // or "sb", {"-k", file}
//   ... run the program's transfer ...
//   QVERIFY(peer.waitForPeerExit(10000));
//   QCOMPARE(peer.peerExitCode(), 0);
class LrzszBridge : public SimDevice
{
public:
    LrzszBridge();
    ~LrzszBridge() override;

    // Both programs are on the PATH (the package lrzsz).
    static bool available();

    // Starts `program` with `arguments` in `workDir`; false when it does not start. One peer at a
    // time: a running one is killed first.
    bool startPeer(const QString& program, const QStringList& arguments, const QString& workDir);
    // Waits for the child to end, running the caller's event loop; true when it ended in time.
    bool waitForPeerExit(int timeoutMs) const;
    // Its exit code once it has ended normally; -1 while it runs or when it crashed.
    int peerExitCode() const;
    QByteArray peerLog() const;
    // When the child ends, the pty closes at once (a receiver that hangs up right after its last
    // ACK; the hang-up may swallow that ACK before the program reads it).
    void setHangUpOnPeerExit(bool hangUp) { m_hangUpOnExit = hangUp; }

protected:
    void handleBytes(const QByteArray& data) override;

private:
    void killPeer();

    QProcess* m_process = nullptr; // simulator thread only
    std::atomic<bool> m_running{false};
    std::atomic<int> m_exitCode{-1};
    std::atomic<bool> m_hangUpOnExit{false};
    mutable QMutex m_logMutex;
    QByteArray m_log;
};

#endif // LRZSZBRIDGE_H
