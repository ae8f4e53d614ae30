#ifndef REPLYREADER_H
#define REPLYREADER_H

// Reader of the text replies of the serial and TCP units (scalers, extenders, splitters, matrix
// switchers, test devices): a unit answers a command line with free text that ends in a prompt
// (">"), sometimes after echoing the command line. One reply is collected here, whatever link it
// comes over:
//
//   ReplyCollector  the pure part: fed the chunks in arrival order, it tells when the reply is
//                   complete and yields the cleaned text and its words. No I/O, no clock of its
//                   own (times are handed in), so it is tested and fuzzed directly.
//   ReplyReader     one exchange over a QIODevice (QSerialPort or QTcpSocket): drop stale input,
//                   write the command, collect until complete, the deadline, a closed link or
//                   the size limit. Waits run the event loop through delay(), or block in the
//                   device's own waitForReadyRead() where a page must not run the event loop.
//
// Text is one Latin-1 character per byte (0xB0 is U+00B0), never decoded as UTF-8: a reply cut
// into chunks then reads the same as in one piece.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

class QIODevice;

// What a reply of one kind of unit looks like and when it is over.
struct ReplyRules
{
    enum class Completion {
        ContainsPrompt, // complete as soon as the prompt is anywhere in the reply
        EndsWithPrompt, // complete when the trimmed reply has at least 2 characters and ends with it
        Quiet,          // complete at the first quietMs without new data (the prompt may come early)
    };
    enum class Cleaning {
        Serial,    // bytes appended as they come; every prompt removed, then trimmed
        TcpChunks, // chunks joined (see ReplyCollector::feed); every prompt becomes a blank, trimmed
    };

    QByteArray prompt = QByteArrayLiteral(">");
    Completion completion = Completion::ContainsPrompt;
    Cleaning cleaning = Cleaning::Serial;
    // The unit may echo what it receives: a first line equal to the command is not part of the
    // reply when an answer follows it. Followed at once by the prompt, the line is the answer (a
    // unit that confirms a command by repeating it). Off: the reply is taken as it comes.
    bool dropEcho = false;
    int quietMs = 1300;     // Completion::Quiet; device milliseconds, scaled by ReplyReader
    int limit = 1 << 20;    // bytes a reply may have; past it the reply is cut and marked too large
    // Also complete as soon as this holds for the raw text so far (after a dropped echo): for a
    // reply that may end in a question of its own instead of the prompt, such as a login's
    // "Password:". Empty: the completion rule alone.
    std::function<bool(const QString& raw)> completeWhen;

    // The generic scaler sender and the splitter link: done at the first prompt.
    static ReplyRules serial();
    // The Jovaris/Norrith/Surrow sender: done when the reply ends in the prompt; an echo of the
    // command line before the answer is dropped.
    static ReplyRules family();
    // The Zarrick/Cavrosh telnet link: chunks joined, done after 1300 ms of quiet.
    static ReplyRules tcp();
};

// One reply being collected. Feed it every chunk that arrives, in order; ask isComplete().
class ReplyCollector
{
public:
    explicit ReplyCollector(const ReplyRules& rules = ReplyRules());

    // Starts a new reply. `echo` is the command line as written (its line end is ignored); with
    // ReplyRules::dropEcho it is held back until it is seen as the reply's first line, with the
    // line end after it, and dropped once an answer follows; the prompt right after it makes it
    // the answer, and anything else releases the held bytes as reply text.
    void reset(const QByteArray& echo = QByteArray());

    // One chunk as read, at `atMs` on the caller's clock (only Completion::Quiet looks at times).
    // Past the limit the rest is dropped and isTooLarge() turns true.
    void feed(const QByteArray& chunk, qint64 atMs = 0);

    // By the completion rule. For Quiet: `nowMs` is at least quietMs past the last data, and
    // something has come (a reply that never started is a time-out, not an empty reply).
    bool isComplete(qint64 nowMs = 0) const;
    bool isTooLarge() const { return m_tooLarge; }
    bool hasData() const { return !m_raw.isEmpty(); } // anything besides a dropped echo
    qint64 lastDataMs() const { return m_lastDataMs; }

    // After a dropped echo, as received. A reply that was nothing but the command line (with no
    // prompt after it), or the start of it, is that text.
    QString rawText() const;
    QString text() const;                      // cleaned by the rules
    QStringList words() const { return splitWords(text()); }

    // Split at single blanks, empty words kept ("a  b" gives "a", "", "b"); CR and LF stay
    // inside the words. An empty text gives one empty word.
    static QStringList splitWords(const QString& text);
    // Serial cleaning: every prompt removed, then trimmed.
    static QString cleanSerial(const QString& raw, const QString& prompt = QStringLiteral(">"));

private:
    void take(const QByteArray& bytes); // past the echo filter

    ReplyRules m_rules;
    QString m_prompt;
    QByteArray m_echo;      // empty: none expected (any more)
    QByteArray m_held;      // bytes that may still be the echo
    QByteArray m_pendingEcho; // the command line come back whole: echo or answer, by what follows
    int m_pendingLineEnds = 0;
    bool m_skipLineEnd = false;
    QString m_raw;
    QString m_joined;       // Cleaning::TcpChunks
    int m_firstNonSpace = -1;
    int m_lastNonSpace = -1;
    bool m_promptSeen = false;
    bool m_tooLarge = false;
    qint64 m_lastDataMs = 0;
};

struct ReplyResult
{
    enum class Status {
        Complete,   // by the completion rule
        TimedOut,   // the deadline passed first (no prompt); text holds what came
        LinkClosed, // the device is not open, the write failed or the unit went away
        TooLarge,   // the reply passed the size limit and was cut there
    };
    Status status = Status::TimedOut;
    QString text;      // cleaned
    QStringList words; // text split at single blanks
    QString raw;       // as received, after a dropped echo

    bool isComplete() const { return status == Status::Complete; }
};

// How long one exchange may wait. Device milliseconds: they pass through TimeScale.
struct ReplyWait
{
    // The whole exchange. With Completion::Quiet it caps a reply that keeps trickling in, so give
    // it well above quietMs there.
    int waitMs = 500;
    // While nothing at all has come when the wait runs out, it grows by this step as long as it
    // stays at most extendLimitMs (a 300 ms wait grows to 900 ms with 200 and 1000).
    int extendStepMs = 0;
    int extendLimitMs = 0;
    // Block in the device's waitForReadyRead() instead of running the event loop with delay().
    bool blocking = false;
    // Completion::Quiet: how long the reply may take to start; 0 or less than quietMs: quietMs.
    // For a unit that has work to do before it answers (reading an EDID).
    int firstByteMs = 0;
};

// Exchanges over one link. While an exchange runs the reader must be the link's only reader:
// a readyRead() slot of the caller that reads too would take the reply away from it.
class ReplyReader
{
public:
    ReplyReader(QIODevice* link, const ReplyRules& rules);

    // Drops stale input, writes `command` as given (line end included) and collects its reply.
    ReplyResult exchange(const QByteArray& command, const ReplyWait& wait);
    // Collects a reply without writing (after a write of the caller's own, e.g. raw data).
    ReplyResult collect(const ReplyWait& wait, const QByteArray& echo = QByteArray());
    // Discards input that is waiting now, so a late reply to an earlier command is never taken
    // for the next one's. Returns the number of bytes dropped.
    qint64 drain();

    // Also hands every byte of a reply to `tap` as it is read, e.g. for a byte log that a
    // binary transfer on the same link reads later.
    void setTap(std::function<void(const QByteArray& bytes)> tap) { m_tap = std::move(tap); }

    const ReplyRules& rules() const { return m_rules; }

private:
    bool linkClosed() const;
    void waitForData(int ms, bool blocking);

    QIODevice* m_link;
    ReplyRules m_rules;
    std::function<void(const QByteArray&)> m_tap;
};

#endif // REPLYREADER_H
