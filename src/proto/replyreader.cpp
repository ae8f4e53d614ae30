#include "replyreader.h"

#include "delay.h"
#include "staleinput.h"
#include "timescale.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QIODevice>
#include <QSerialPort>
#include <QThread>

#include <algorithm>
#include <limits>

namespace {

// A prompt chunk joins the text before it with a blank only while that text is short: long
// hexadecimal EDID replies come in several chunks and must stay one word.
const int kJoinWithBlankUpTo = 200;

// Line ends kept after a command line that came back, until it is known to be an echo or the answer.
const int kMaxHeldLineEnds = 4;

// Event-loop waits poll the link in steps of this many device milliseconds.
const int kPollStepMs = 10;

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// The prompt, or as much of it as `data` holds.
bool startsWithPrompt(const QByteArray& data, const QByteArray& prompt)
{
    const int n = qMin(data.size(), prompt.size());
    return n > 0 && data.left(n) == prompt.left(n);
}

QByteArray withoutLineEnd(QByteArray line)
{
    while (!line.isEmpty() && isLineEnd(line.back()))
        line.chop(1);
    return line;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Rules

ReplyRules ReplyRules::serial()
{
    return ReplyRules();
}

ReplyRules ReplyRules::family()
{
    ReplyRules r;
    r.completion = Completion::EndsWithPrompt;
    // These units echo every line they hear before they answer it.
    r.dropEcho = true;
    return r;
}

ReplyRules ReplyRules::tcp()
{
    ReplyRules r;
    r.completion = Completion::Quiet;
    r.cleaning = Cleaning::TcpChunks;
    r.quietMs = 1300;
    return r;
}

// ---------------------------------------------------------------------------------------------
// Collector

ReplyCollector::ReplyCollector(const ReplyRules& rules)
    : m_rules(rules)
    , m_prompt(QString::fromLatin1(rules.prompt.constData(), rules.prompt.size()))
{
    m_rules.limit = qMax(0, m_rules.limit);
    reset();
}

void ReplyCollector::reset(const QByteArray& echo)
{
    m_echo = m_rules.dropEcho ? withoutLineEnd(echo) : QByteArray();
    // A command line holding the prompt could not be told from the reply's end: nothing is held
    // back for it.
    if (!m_rules.prompt.isEmpty() && m_echo.contains(m_rules.prompt))
        m_echo.clear();
    m_held.clear();
    m_pendingEcho.clear();
    m_pendingLineEnds = 0;
    m_skipLineEnd = false;
    m_raw.clear();
    m_joined.clear();
    m_firstNonSpace = -1;
    m_lastNonSpace = -1;
    m_promptSeen = false;
    m_tooLarge = false;
    m_lastDataMs = 0;
}

void ReplyCollector::feed(const QByteArray& chunk, qint64 atMs)
{
    if (chunk.isEmpty() || m_tooLarge)
        return;
    m_lastDataMs = atMs;
    QByteArray data = chunk;

    if (!m_echo.isEmpty()) {
        // Hold bytes back while they may still be the echoed command line.
        m_held += data;
        data.clear();
        const int n = m_echo.size();
        if (m_held.size() <= n && m_echo.startsWith(m_held))
            return;
        if (m_held.size() > n && m_held.startsWith(m_echo) && isLineEnd(m_held.at(n))) {
            // The command line came back whole. Whether it was an echo is known only from what
            // follows it: an answer, or at once the prompt.
            m_pendingEcho = m_held.left(n);
            data = m_held.mid(n);
            m_skipLineEnd = true;
        } else {
            data = m_held; // not an echo after all: it is the reply
        }
        m_held.clear();
        m_echo.clear();
    }
    if (m_skipLineEnd) {
        int i = 0;
        while (i < data.size() && isLineEnd(data.at(i)))
            ++i;
        // The line ends after it are kept with it, a few at most: a unit that sends nothing but
        // line ends must not grow the held line without bound.
        m_pendingEcho += data.left(qMin(i, qMax(0, kMaxHeldLineEnds - m_pendingLineEnds)));
        m_pendingLineEnds += i;
        data.remove(0, i);
        if (data.isEmpty())
            return;
        m_skipLineEnd = false;
        // A unit that confirms a command by repeating it sends the line and then its prompt:
        // that line is the answer. Anything else after the line makes it the echo.
        const QByteArray echoLine = m_pendingEcho;
        m_pendingEcho.clear();
        if (!m_rules.prompt.isEmpty() && startsWithPrompt(data, m_rules.prompt))
            data.prepend(echoLine);
    }
    take(data);
}

void ReplyCollector::take(const QByteArray& bytes)
{
    QByteArray part = bytes;
    const int room = m_rules.limit - m_raw.size();
    if (part.size() > room) {
        part.truncate(qMax(0, room));
        m_tooLarge = true;
    }
    if (part.isEmpty())
        return;

    // With its length: a NUL byte is one character like any other, not the end of the text.
    const QString s = QString::fromLatin1(part.constData(), part.size());
    const int base = m_raw.size();
    m_raw += s;
    for (int i = 0; i < s.size(); ++i) {
        if (!s.at(i).isSpace()) {
            if (m_firstNonSpace < 0)
                m_firstNonSpace = base + i;
            m_lastNonSpace = base + i;
        }
    }
    // Only the new text (and a prompt that may straddle the chunk boundary) is searched.
    if (!m_promptSeen && !m_prompt.isEmpty()
        && m_raw.indexOf(m_prompt, qMax(0, base - m_prompt.size() + 1)) >= 0)
        m_promptSeen = true;

    if (m_rules.cleaning == ReplyRules::Cleaning::TcpChunks) {
        if (m_prompt.isEmpty() || !s.contains(m_prompt)) {
            m_joined += s;
        } else {
            QString cleaned = s;
            cleaned.replace(m_prompt, QStringLiteral(" "));
            cleaned = cleaned.trimmed();
            if (m_joined.isEmpty())
                m_joined = cleaned;
            else if (m_joined.size() <= kJoinWithBlankUpTo)
                m_joined += QLatin1Char(' ') + cleaned;
            else
                m_joined += cleaned;
        }
    }
}

bool ReplyCollector::isComplete(qint64 nowMs) const
{
    if (m_tooLarge)
        return false;
    if (m_rules.completeWhen && hasData() && m_rules.completeWhen(m_raw))
        return true;
    switch (m_rules.completion) {
    case ReplyRules::Completion::ContainsPrompt:
        return m_promptSeen;
    case ReplyRules::Completion::EndsWithPrompt: {
        const int n = m_prompt.size();
        if (n == 0 || m_firstNonSpace < 0 || m_lastNonSpace - m_firstNonSpace + 1 < 2)
            return false;
        const int start = m_lastNonSpace - n + 1;
        return start >= 0 && m_raw.midRef(start, n) == m_prompt;
    }
    case ReplyRules::Completion::Quiet:
        return hasData() && nowMs - m_lastDataMs >= m_rules.quietMs;
    }
    return false;
}

QString ReplyCollector::rawText() const
{
    if (!m_raw.isEmpty())
        return m_raw;
    // Nothing but the command line came back (no prompt after it), or the start of it: the unit
    // said that much, and it is all there is of the reply.
    const QByteArray& said = m_pendingEcho.isEmpty() ? m_held : m_pendingEcho;
    const int size = qMin(said.size(), m_rules.limit);
    return QString::fromLatin1(said.constData(), size);
}

QString ReplyCollector::text() const
{
    if (m_raw.isEmpty())
        return cleanSerial(rawText(), m_prompt);
    if (m_rules.cleaning == ReplyRules::Cleaning::Serial)
        return cleanSerial(m_raw, m_prompt);
    QString joined = m_joined;
    if (!m_prompt.isEmpty())
        joined.replace(m_prompt, QStringLiteral(" ")); // a prompt split over two chunks
    return joined.trimmed();
}

QStringList ReplyCollector::splitWords(const QString& text)
{
    return text.split(QLatin1Char(' '), Qt::KeepEmptyParts);
}

QString ReplyCollector::cleanSerial(const QString& raw, const QString& prompt)
{
    if (prompt.size() <= 1) {
        QString cleaned = raw;
        if (!prompt.isEmpty())
            cleaned.remove(prompt.at(0));
        return cleaned.trimmed();
    }
    // A longer prompt is removed as it forms, so removing one cannot leave a new one behind.
    QString cleaned;
    cleaned.reserve(raw.size());
    for (const QChar c : raw) {
        cleaned += c;
        if (cleaned.endsWith(prompt))
            cleaned.chop(prompt.size());
    }
    return cleaned.trimmed();
}

// ---------------------------------------------------------------------------------------------
// Link

ReplyReader::ReplyReader(QIODevice* link, const ReplyRules& rules)
    : m_link(link)
    , m_rules(rules)
{
}

bool ReplyReader::linkClosed() const
{
    if (!m_link || !m_link->isOpen())
        return true;
    if (auto* socket = qobject_cast<QAbstractSocket*>(m_link)) {
        const auto state = socket->state();
        return state == QAbstractSocket::UnconnectedState || state == QAbstractSocket::ClosingState;
    }
    if (auto* port = qobject_cast<QSerialPort*>(m_link)) {
        // An unplugged USB port reports a resource error; a vanished pty reads as end of file.
        const auto error = port->error();
        return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    }
    return false;
}

qint64 ReplyReader::drain()
{
    return StaleInput::takeWaiting(m_link).size();
}

ReplyResult ReplyReader::exchange(const QByteArray& command, const ReplyWait& wait)
{
    if (linkClosed()) {
        ReplyResult closed;
        closed.status = ReplyResult::Status::LinkClosed;
        return closed;
    }
    drain();
    if (m_link->write(command) != command.size()) {
        ReplyResult failed;
        failed.status = ReplyResult::Status::LinkClosed;
        return failed;
    }
    if (auto* socket = qobject_cast<QAbstractSocket*>(m_link))
        socket->flush();
    else if (auto* port = qobject_cast<QSerialPort*>(m_link))
        port->flush();
    return collect(wait, command);
}

void ReplyReader::waitForData(int ms, bool blocking)
{
    if (ms <= 0)
        return;
    if (!blocking) {
        delay(kPollStepMs);
        return;
    }
    QElapsedTimer waited;
    waited.start();
    // Returns early on data, and at once on a closed link (the caller then sees it closed); the
    // short sleep keeps a device that refuses to wait from turning this into a busy loop.
    if (!m_link->waitForReadyRead(ms) && waited.elapsed() < ms)
        QThread::msleep(1);
}

ReplyResult ReplyReader::collect(const ReplyWait& wait, const QByteArray& echo)
{
    ReplyRules scaled = m_rules;
    scaled.quietMs = TimeScale::ms(m_rules.quietMs);
    ReplyCollector collector(scaled);
    collector.reset(echo);

    ReplyResult result;
    auto finish = [&](ReplyResult::Status status) {
        result.status = status;
        result.raw = collector.rawText();
        result.text = collector.text();
        result.words = collector.words();
        return result;
    };
    if (!m_link)
        return finish(ReplyResult::Status::LinkClosed);

    const bool quiet = m_rules.completion == ReplyRules::Completion::Quiet;
    const qint64 firstByteMs = std::max<qint64>(scaled.quietMs, TimeScale::ms(wait.firstByteMs));
    int waitMs = wait.waitMs;        // device ms; may grow while nothing comes
    bool anyBytes = false;
    qint64 lastBytesAt = 0;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const QByteArray chunk = m_link->isOpen() ? m_link->readAll() : QByteArray();
        qint64 now = clock.elapsed();
        if (!chunk.isEmpty()) {
            anyBytes = true;
            lastBytesAt = now;
            if (m_tap)
                m_tap(chunk);
            collector.feed(chunk, now);
        }
        if (collector.isTooLarge())
            return finish(ReplyResult::Status::TooLarge);
        if (collector.isComplete(now))
            return finish(ReplyResult::Status::Complete);
        if (chunk.isEmpty() && linkClosed())
            return finish(ReplyResult::Status::LinkClosed);
        // Quiet replies end at the first quiet period; one that never started is a time-out.
        if (quiet && now - lastBytesAt >= (anyBytes ? scaled.quietMs : firstByteMs))
            return finish(ReplyResult::Status::TimedOut);

        qint64 deadline = TimeScale::ms(waitMs);
        if (now >= deadline) {
            if (!anyBytes && wait.extendStepMs > 0 && waitMs + wait.extendStepMs <= wait.extendLimitMs) {
                waitMs += wait.extendStepMs;
                continue;
            }
            return finish(ReplyResult::Status::TimedOut);
        }
        qint64 until = deadline;
        if (quiet)
            until = std::min(until, lastBytesAt + (anyBytes ? scaled.quietMs : firstByteMs));
        waitForData(int(std::min<qint64>(until - now, std::numeric_limits<int>::max())), wait.blocking);
    }
}
