#ifndef STALEINPUT_H
#define STALEINPUT_H

// Input that reaches a link before a command is sent is not that command's answer: it is the
// reply to an earlier command that came after its wait ran out, or the rest of one. StaleInput
// remembers, for one link, whether such a reply may still be on its way, and drops it before the
// next command goes out:
//
//   StaleInput stale(1000, ">");   // a late reply may take up to 1000 ms more, ends in ">"
//   stale.drop(port);              // before every command
//   ... write, collect the reply ...
//   stale.settle(complete);        // false: the reply was not all there; the rest may come
//
// drop() always takes what is waiting now (also what reached the system but not yet the device's
// buffer). After an exchange that ended without its whole reply, it first waits for that reply,
// up to the grace from the moment the exchange ended, and stops as soon as the reply's end marker
// has gone by. A unit that said nothing costs at most the grace once.

#include <QByteArray>
#include <QElapsedTimer>
#include <QtGlobal>

class QIODevice;

class StaleInput
{
public:
    // `graceMs`: device milliseconds (scaled by TimeScale) a late reply may still take after its
    // exchange ended. `end`: the bytes that end a reply (the prompt); empty: wait the whole grace.
    explicit StaleInput(int graceMs = 0, const QByteArray& end = QByteArray());

    // After each exchange: `complete` false when the reply did not come whole within its wait.
    void settle(bool complete);
    // A reply may still be on its way.
    bool overdue() const { return m_overdue; }

    // Drops what is waiting on `link`, after waiting out an overdue reply as above. `blocking`:
    // waits in the device's waitForReadyRead() instead of running the event loop. Returns the
    // bytes dropped. The caller keeps its own readyRead() slot from reading meanwhile.
    qint64 drop(QIODevice* link, bool blocking = false);

    // Takes every byte waiting on `link` now (its buffer and the system's), without waiting.
    static QByteArray takeWaiting(QIODevice* link);

private:
    int m_graceMs;
    QByteArray m_end;
    bool m_overdue = false;
    QElapsedTimer m_since; // since the exchange that left a reply owed ended
};

#endif // STALEINPUT_H
