#include "ymodem.h"

#include "delay.h"

#include "checksums.h"
#include "timescale.h"

#include <QBuffer>
#include <QDebug>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#endif

// ---------------------------------------------------------------------------------------------
// Frames

namespace Ymodem {

namespace {
QString baseName(const QString& fileName)
{
    const int slash = qMax(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
    QString name = fileName.mid(slash + 1);
    // A NUL would end the name early on the far side.
    name.replace(QChar(0), QLatin1Char('_'));
    return name;
}

// The first `limit` bytes of `utf8`, moved back so that no multi-byte sequence is cut.
QByteArray utf8Prefix(const QByteArray& utf8, int limit)
{
    if (utf8.size() <= limit)
        return utf8;
    int end = qMax(0, limit);
    while (end > 0 && (quint8(utf8.at(end)) & 0xC0) == 0x80)
        --end;
    return utf8.left(end);
}
} // namespace

QString headerName(const QString& fileName, qint64 size)
{
    QString name = baseName(fileName);
    if (name.isEmpty())
        name = QStringLiteral("file");
    const QByteArray digits = QByteArray::number(qMax<qint64>(0, size));
    const int room = HeaderSize - 2 - digits.size();
    const QByteArray utf8 = name.toUtf8();
    if (utf8.size() <= room)
        return name;
    // Too long: shorten the stem and keep the extension, when the extension is a short one.
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QByteArray suffix = dot > 0 ? name.mid(dot).toUtf8() : QByteArray();
    if (!suffix.isEmpty() && suffix.size() <= room / 4) {
        const QByteArray stem = utf8Prefix(name.left(dot).toUtf8(), room - suffix.size());
        return QString::fromUtf8(stem + suffix);
    }
    return QString::fromUtf8(utf8Prefix(utf8, room));
}

QByteArray headerData(const QString& fileName, qint64 size)
{
    QByteArray data = headerName(fileName, size).toUtf8();
    data.append('\0');
    data.append(QByteArray::number(qMax<qint64>(0, size)));
    data.append('\0');
    data.append(QByteArray(HeaderSize - data.size(), '\0'));
    return data;
}

QByteArray frame(quint32 blockNumber, const QByteArray& data, int blockSize, Check check, char pad)
{
    const int size = (blockSize >= BlockSize1K || data.size() > HeaderSize) ? BlockSize1K : HeaderSize;
    QByteArray out;
    out.reserve(size + 5);
    out.append(size == BlockSize1K ? STX : SOH);
    const auto number = quint8(blockNumber & 0xFF);
    out.append(char(number));
    out.append(char(0xFF - number));
    out.append(data.left(size));
    if (data.size() < size)
        out.append(QByteArray(size - data.size(), pad));
    const quint16 crc = check == Check::Crc16 ? calcCrc16(out.constData() + 3, size) : 0;
    out.append(char(crc >> 8));
    out.append(char(crc & 0xFF));
    return out;
}

QByteArray headerFrame(const QString& fileName, qint64 size, Check check)
{
    return frame(0, headerData(fileName, size), HeaderSize, check, '\0');
}

QByteArray closingFrame(Check check)
{
    return frame(0, QByteArray(), HeaderSize, check, '\0');
}

Header parseHeader(const QByteArray& data, bool leadingDigits)
{
    Header h;
    const int nul = data.indexOf('\0');
    const QByteArray name = nul < 0 ? data : data.left(nul);
    h.name = QString::fromUtf8(name);
    h.endOfBatch = name.isEmpty();
    if (nul < 0)
        return h;
    // The size is the first field after the name; standard senders may follow it with a blank
    // and the modification time.
    QByteArray digits;
    for (int i = nul + 1; i < data.size(); ++i) {
        const char c = data.at(i);
        if (c == '\0' || c == ' ' || (leadingDigits && (c < '0' || c > '9')))
            break;
        digits.append(c);
    }
    bool ok = false;
    const qint64 size = digits.toLongLong(&ok, 10);
    if (ok && size >= 0 && !digits.startsWith('+')) {
        h.size = size;
        h.sizeKnown = true;
    }
    return h;
}

bool checkFrame(const QByteArray& frame, Check check, quint8* number, QByteArray* data)
{
    if (frame.isEmpty())
        return false;
    const int size = frame.at(0) == STX ? BlockSize1K : frame.at(0) == SOH ? HeaderSize : 0;
    if (size == 0 || frame.size() != size + 5)
        return false;
    if (quint8(frame.at(1)) + quint8(frame.at(2)) != 0xFF)
        return false;
    if (check == Check::Crc16) {
        const quint16 crc = calcCrc16(frame.constData() + 3, size);
        if (quint8(frame.at(size + 3)) != (crc >> 8) || quint8(frame.at(size + 4)) != (crc & 0xFF))
            return false;
    }
    if (number)
        *number = quint8(frame.at(1));
    if (data)
        *data = frame.mid(3, size);
    return true;
}

} // namespace Ymodem

using namespace Ymodem;
using Stage = YmodemResult::Stage;
using Status = YmodemResult::Status;

// ---------------------------------------------------------------------------------------------
// Channels

void YmodemChannel::abort(const QByteArray& bytes, int pauseMs)
{
    write(bytes);
    pause(pauseMs);
}

bool serialPortHungUp(const QSerialPort& port)
{
#ifdef Q_OS_UNIX
    if (!port.isOpen())
        return false;
    pollfd descriptor{int(port.handle()), POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&descriptor, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // A hang-up discards what was still unread, so nothing is lost by ending at once.
    return ready > 0 && (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port)
    return false;
#endif
}

YmodemPortChannel::YmodemPortChannel(QSerialPort& port)
    : m_port(port)
{
}

bool YmodemPortChannel::write(const QByteArray& bytes)
{
    if (!m_port.isOpen() || m_port.write(bytes) != bytes.size())
        return false;
    // Without an event loop the port writes only inside its waits.
    QDeadlineTimer limit(TimeScale::ms(5000));
    while (m_port.bytesToWrite() > 0 && !limit.hasExpired()) {
        if (!m_port.waitForBytesWritten(100) && (m_port.error() == QSerialPort::ResourceError
                                                 || m_port.error() == QSerialPort::WriteError))
            return false;
    }
    return m_port.bytesToWrite() == 0;
}

int YmodemPortChannel::readByte(const QDeadlineTimer& deadline)
{
    for (;;) {
        if (m_pos < m_buffer.size())
            return quint8(m_buffer.at(m_pos++));
        m_buffer.clear();
        m_pos = 0;
        if (!m_port.isOpen())
            return Closed;
        if (m_port.bytesAvailable() > 0) {
            m_buffer = m_port.readAll();
            continue;
        }
        if (serialPortHungUp(m_port))
            return Closed;
        if (deadline.hasExpired())
            return Timeout;
        const qint64 left = deadline.remainingTime();
        m_port.clearError();
        if (!m_port.waitForReadyRead(int(left < 0 ? 100 : qBound<qint64>(1, left, 100)))) {
            const auto error = m_port.error();
            if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
                return Closed;
        }
    }
}

void YmodemPortChannel::pause(int ms)
{
    if (ms > 0)
        QThread::msleep(ulong(TimeScale::ms(ms)));
}

// ---------------------------------------------------------------------------------------------
// Sender

YmodemSendOptions YmodemSendOptions::standard()
{
    return YmodemSendOptions();
}

namespace {
// The units' EDID uploads start alike: the command, "W" (up to ten tries), then "C" for block 0.
YmodemSendOptions unitEdidStart(const QByteArray& command)
{
    YmodemSendOptions o;
    o.startCommand = command;
    o.readyByte = 'W';
    o.startAttempts = 10;
    o.commandPauseMs = 2000;
    o.resendPauseMs = 100;
    o.readyWaitMs = 3000;
    o.crcRequestWaitMs = 5000;
    o.headerPauseMs = 3000;
    o.ackWaitMs = 5000;
    return o;
}
} // namespace

YmodemSendOptions YmodemSendOptions::scalerEdid(const QByteArray& command)
{
    YmodemSendOptions o = unitEdidStart(command);
    // The unit asks for the closing block by its own timing; it gets it after a fixed pause.
    o.awaitClosingRequest = false;
    o.closingPauseMs = 2000;
    o.successText = QByteArrayLiteral("The EDID file transmission");
    o.successWaitMs = 5000;
    // The scalers leave their receive mode on the letter "a" and need 3 s to be back.
    o.abortBytes = QByteArrayLiteral("a");
    o.abortPauseMs = 3000;
    return o;
}

YmodemSendOptions YmodemSendOptions::serialFirmware(const QByteArray& successText)
{
    YmodemSendOptions o;
    o.check = Check::Zero;
    o.crcRequestWaitMs = 60000;
    o.headerPauseMs = 3000;
    o.ackWaitMs = 60000;
    o.maxResends = 0;
    o.awaitClosingRequest = false;
    o.successText = successText;
    o.successWaitMs = 60000;
    o.successAfterEnding = true;
    o.abortBytes.clear();
    return o;
}

YmodemBufferChannel::YmodemBufferChannel(QSerialPort& port, const QByteArray& received, int& readPos)
    : m_port(port)
    , m_received(received)
    , m_readPos(readPos)
{
    // An error left from before this transfer (a port since reopened) is not this link's end.
    m_port.clearError();
}

bool YmodemBufferChannel::write(const QByteArray& bytes)
{
    if (!m_port.isOpen() || m_port.write(bytes) != bytes.size())
        return false;
    m_port.flush();
    return true;
}

int YmodemBufferChannel::readByte(const QDeadlineTimer& deadline)
{
    for (;;) {
        if (m_readPos < m_received.size())
            return quint8(m_received.at(m_readPos++));
        // Gone: closed by the controller, or the far end hung up (its read then fails and the
        // port stays open, so the error and the descriptor are asked too).
        if (!m_port.isOpen() || m_port.error() == QSerialPort::ResourceError
            || m_port.error() == QSerialPort::ReadError || serialPortHungUp(m_port))
            return Closed;
        if (deadline.hasExpired())
            return Timeout;
        delay(5);
    }
}

void YmodemBufferChannel::pause(int ms)
{
    delay(ms);
}

YmodemSendOptions YmodemSendOptions::unitFirmware(const QByteArray& command, int requestWaitMs)
{
    YmodemSendOptions o;
    o.startCommand = command;
    o.crcRequestWaitMs = requestWaitMs;
    o.dataRequestWaitMs = 10000;
    o.requestOutsideText = true;
    o.headerPauseMs = 3000;
    o.headerAckWaitMs = 6000;
    o.ackWaitMs = 10000;
    o.maxResends = 10;
    o.resendAfterSilence = false;
    o.closingRequestGraceMs = 2000;
    o.closingAckOptional = true;
    return o;
}

YmodemSendOptions YmodemSendOptions::testDeviceEdid(const QByteArray& command)
{
    YmodemSendOptions o = unitEdidStart(command);
    o.maxResends = 3;
    // The units send the closing block's answer without asking for it; a standard receiver asks.
    o.closingRequestGraceMs = 1000;
    o.closingAckOptional = true;
    o.successText = QByteArrayLiteral("Download successful");
    o.successWaitMs = 5000;
    return o;
}

YmodemSender::YmodemSender(YmodemChannel& channel, YmodemSendOptions options)
    : m_channel(channel)
    , m_options(std::move(options))
{
}

int YmodemSender::takeByte(const QDeadlineTimer& deadline)
{
    const int b = m_channel.readByte(deadline);
    if (b >= 0)
        m_received.append(char(b));
    else if (b == YmodemChannel::Closed)
        m_linkEnded = true;
    return b;
}

bool YmodemSender::awaitByte(char byte, int waitMs, Answer* why)
{
    const QDeadlineTimer deadline(TimeScale::ms(waitMs));
    int previous = -1;
    for (;;) {
        const int b = takeByte(deadline);
        if (b == quint8(byte))
            return true;
        Answer answer = Answer::Silence;
        if (b == YmodemChannel::Closed)
            answer = Answer::Closed;
        else if (b == quint8(CAN) && previous == quint8(CAN))
            answer = Answer::Cancel;
        else if (b >= 0) {
            previous = b;
            continue;
        }
        if (why)
            *why = answer;
        return false;
    }
}

namespace {
// A byte of a line of text as a unit prints it.
bool isText(int b)
{
    return b >= 0x20 && b < 0x7F;
}
} // namespace

bool YmodemSender::awaitRequest(int waitMs, Answer* why)
{
    if (!m_options.requestOutsideText)
        return awaitByte(CRC_REQUEST, waitMs, why);
    const QDeadlineTimer deadline(TimeScale::ms(waitMs));
    // How long the byte after a "C" may take to show that the "C" began a word: the rest of a
    // line comes in the same burst.
    const int lookMs = qMax(5, TimeScale::ms(100));
    bool inText = false;
    int previous = -1;
    for (;;) {
        const int b = takeByte(deadline);
        if (b == quint8(CRC_REQUEST) && !inText) {
            int next = takeByte(QDeadlineTimer(lookMs));
            // A run of "C"s is still a request; a unit that never stops sending them does not
            // hold the wait past its deadline.
            while (next == quint8(CRC_REQUEST) && !deadline.hasExpired())
                next = takeByte(QDeadlineTimer(lookMs));
            if (!isText(next) || next == quint8(CRC_REQUEST))
                return true;
            inText = true;
            previous = next;
            continue;
        }
        if (b < 0 || (b == quint8(CAN) && previous == quint8(CAN))) {
            if (why)
                *why = b == YmodemChannel::Closed ? Answer::Closed : b < 0 ? Answer::Silence : Answer::Cancel;
            return false;
        }
        inText = isText(b);
        previous = b;
    }
}

YmodemSender::Answer YmodemSender::awaitAnswer(int waitMs)
{
    const QDeadlineTimer deadline(TimeScale::ms(waitMs));
    int previous = -1;
    for (;;) {
        const int b = takeByte(deadline);
        switch (b) {
        case YmodemChannel::Timeout: return Answer::Silence;
        case YmodemChannel::Closed: return Answer::Closed;
        case quint8(ACK): return Answer::Ack;
        case quint8(NAK): return Answer::Nak;
        case quint8(CAN):
            if (previous == quint8(CAN))
                return Answer::Cancel;
            break;
        default: break; // a repeated "C", text of the unit, noise
        }
        previous = b;
    }
}

bool YmodemSender::awaitText(const QByteArray& text, int waitMs, int from)
{
    if (m_received.indexOf(text, from) >= 0)
        return true;
    const QDeadlineTimer deadline(TimeScale::ms(waitMs));
    while (takeByte(deadline) >= 0) {
        if (m_received.size() - from >= text.size() && m_received.endsWith(text))
            return true;
    }
    return false;
}

void YmodemSender::pause(int ms, YmodemResult& result)
{
    if (ms <= 0)
        return;
    QElapsedTimer timer;
    timer.start();
    m_channel.pause(ms);
    result.pausedMs += timer.elapsed();
}

YmodemResult& YmodemSender::fail(YmodemResult& result, Stage stage, const QString& reason, bool abort)
{
    result.status = Status::Failed;
    result.stage = stage;
    result.reason = reason;
    qDebug() << "YMODEM send failed at step" << int(stage) << reason;
    if (abort && !m_options.abortBytes.isEmpty())
        m_channel.abort(m_options.abortBytes, m_options.abortPauseMs);
    result.received = m_received;
    return result;
}

namespace {
QString failure(const char* what, bool cancelled, bool closed)
{
    if (cancelled)
        return QStringLiteral("%1: cancelled by the receiver").arg(QLatin1String(what));
    if (closed)
        return QStringLiteral("%1: the link closed").arg(QLatin1String(what));
    return QStringLiteral("%1: not in time").arg(QLatin1String(what));
}
} // namespace

bool YmodemSender::deliver(const QByteArray& frame, Stage stage, YmodemResult& result)
{
    return deliver(frame, stage, result, m_options.ackWaitMs);
}

bool YmodemSender::deliver(const QByteArray& frame, Stage stage, YmodemResult& result, int waitMs)
{
    for (int attempt = 0;; ++attempt) {
        if (!m_channel.write(frame))
            qDebug() << "YMODEM: a frame was not written whole";
        const Answer answer = awaitAnswer(waitMs);
        switch (answer) {
        case Answer::Ack: return true;
        case Answer::Cancel:
            fail(result, stage, QStringLiteral("cancelled by the receiver"), false);
            result.status = Status::CancelledByPeer;
            return false;
        case Answer::Closed: fail(result, stage, QStringLiteral("the link closed"), false); return false;
        case Answer::Nak:
        case Answer::Silence:
            if (attempt >= m_options.maxResends || (answer == Answer::Silence && !m_options.resendAfterSilence)) {
                fail(result, stage,
                     answer == Answer::Nak ? QStringLiteral("refused %1 times").arg(attempt + 1)
                                           : QStringLiteral("no answer after %1 tries").arg(attempt + 1),
                     true);
                return false;
            }
            ++result.resends;
            break;
        }
    }
}

YmodemResult YmodemSender::send(const QString& fileName, const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return send(fileName, buffer, data.size());
}

YmodemResult YmodemSender::send(const QString& fileName, QIODevice& source, qint64 size)
{
    const YmodemSendOptions& o = m_options;
    YmodemResult result;
    m_received.clear();
    m_linkEnded = false;
    size = qMax<qint64>(0, size);
    auto progress = [&](Stage stage, qint64 sent) {
        if (o.progress)
            o.progress(stage, sent, size);
    };
    Answer answer = Answer::Silence;
    auto cancelled = [&](YmodemResult& r) -> YmodemResult& {
        if (answer == Answer::Cancel)
            r.status = Status::CancelledByPeer;
        return r;
    };

    // Start: the command that puts the unit into its receive mode, repeated until it is ready.
    if (!o.startCommand.isEmpty()) {
        bool ready = o.readyByte == 0;
        for (int attempt = 1; attempt <= qMax(1, o.startAttempts); ++attempt) {
            m_channel.write(o.startCommand);
            pause(attempt == 1 ? o.commandPauseMs : o.resendPauseMs, result);
            if (o.readyByte == 0)
                break;
            if (awaitByte(o.readyByte, o.readyWaitMs, &answer)) {
                ready = true;
                break;
            }
            if (answer != Answer::Silence)
                break;
        }
        if (!ready)
            return fail(result, Stage::Ready, QStringLiteral("no ready answer"), false);
    }

    if (!awaitRequest(o.crcRequestWaitMs, &answer))
        return cancelled(fail(result, Stage::CrcRequest, failure("first C", answer == Answer::Cancel, answer == Answer::Closed),
                              answer == Answer::Silence));
    progress(Stage::CrcRequest, 0);
    pause(o.headerPauseMs, result);

    if (!deliver(headerFrame(fileName, size, o.check), Stage::Header, result,
                 o.headerAckWaitMs > 0 ? o.headerAckWaitMs : o.ackWaitMs))
        return result;
    if (o.awaitDataRequest
        && !awaitRequest(o.dataRequestWaitMs > 0 ? o.dataRequestWaitMs : o.crcRequestWaitMs, &answer))
        return cancelled(fail(result, Stage::DataRequest, failure("C after block 0", answer == Answer::Cancel, answer == Answer::Closed),
                              answer == Answer::Silence));
    progress(Stage::DataRequest, 0);

    const int blockSize = o.blockSize >= BlockSize1K ? BlockSize1K : HeaderSize;
    quint32 number = 1;
    qint64 sent = 0;
    while (sent < size) {
        const qint64 want = qMin<qint64>(blockSize, size - sent);
        QByteArray chunk = source.read(want);
        while (chunk.size() < want && !source.atEnd()) {
            const QByteArray more = source.read(want - chunk.size());
            if (more.isEmpty())
                break;
            chunk.append(more);
        }
        if (chunk.size() < want)
            return fail(result, Stage::Source, QStringLiteral("the file ended or failed at byte %1").arg(sent + chunk.size()),
                        true);
        if (!deliver(frame(number, chunk, blockSize, o.check), Stage::Data, result))
            return result;
        sent += chunk.size();
        ++number;
        ++result.blocks;
        result.bytes = sent;
        progress(Stage::Data, sent);
    }

    // EOT: a standard receiver may refuse the first one to be sure of it; it is sent again.
    if (!deliver(QByteArray(1, EOT), Stage::EndOfFile, result))
        return result;
    result.delivered = true;

    const auto done = [&]() -> YmodemResult& {
        result.status = Status::Done;
        result.stage = Stage::Finished;
        result.reason.clear();
        result.received = m_received;
        return result;
    };
    // The receiver has the whole file and the link has ended (it hung up once it had the file):
    // nothing more can be said or heard, so the transfer ends now. It is done unless a
    // confirmation is owed that did not come before the end.
    const auto linkEnded = [&](const char* where) -> YmodemResult& {
        result.warning = QStringLiteral("the link ended at the %1, after the receiver had acknowledged the whole file")
                             .arg(QLatin1String(where));
        qDebug() << "YMODEM send:" << result.warning;
        const bool confirmed = o.successText.isEmpty()
                               || (!o.successAfterEnding && m_received.indexOf(o.successText) >= 0);
        if (confirmed)
            return done();
        return fail(result, Stage::Confirmation,
                    QStringLiteral("the link ended before the unit confirmed the file it had taken"), false);
    };

    if (o.awaitClosingRequest) {
        const bool grace = o.closingRequestGraceMs > 0;
        if (!awaitRequest(grace ? o.closingRequestGraceMs : o.crcRequestWaitMs, &answer)
            && (!grace || answer != Answer::Silence)) {
            if (answer == Answer::Closed)
                return linkEnded("closing request");
            return cancelled(fail(result, Stage::Closing, failure("C after EOT", answer == Answer::Cancel, false),
                                  answer == Answer::Silence));
        }
    }
    pause(o.closingPauseMs, result);
    const QByteArray ending = o.ending == YmodemEnding::FinalEot ? QByteArray(1, EOT) : closingFrame(o.check);
    result.endingAt = m_received.size();
    if (o.closingAckOptional) {
        // The file is whole: an ending the receiver does not answer is noted, not a failure.
        for (int attempt = 0; attempt <= qMin(1, o.maxResends); ++attempt) {
            m_channel.write(ending);
            answer = awaitAnswer(o.ackWaitMs);
            if (answer != Answer::Nak)
                break;
        }
        if (answer == Answer::Closed)
            return linkEnded("ending");
        if (answer == Answer::Cancel) {
            fail(result, Stage::Closing, failure("ending", true, false), false);
            return cancelled(result);
        }
        if (answer != Answer::Ack) {
            result.warning = QStringLiteral("the ending of the transfer was not acknowledged");
            qDebug() << "YMODEM send:" << result.warning;
        }
    } else if (!deliver(ending, Stage::Closing, result)) {
        if (m_linkEnded)
            return linkEnded("ending");
        return result;
    }

    const int textFrom = o.successAfterEnding ? m_received.size() : 0;
    if (!o.successText.isEmpty() && !awaitText(o.successText, o.successWaitMs, textFrom)) {
        if (m_linkEnded)
            return fail(result, Stage::Confirmation,
                        QStringLiteral("the link ended before the unit confirmed the file it had taken"), false);
        return fail(result, Stage::Confirmation, QStringLiteral("no confirmation from the unit"), true);
    }
    return done();
}

// ---------------------------------------------------------------------------------------------
// Receiver

YmodemReceiveOptions YmodemReceiveOptions::standard()
{
    return YmodemReceiveOptions();
}

YmodemReceiveOptions YmodemReceiveOptions::testDeviceEdid(const QByteArray& command, qint64 maxSize)
{
    YmodemReceiveOptions o;
    o.startCommand = command;
    o.readyByte = 'W';
    o.startAttempts = 10;
    o.readyWaitMs = 3000;
    o.resendPauseMs = 100;
    o.requestIntervalMs = 5000;
    o.requestAttempts = 3;
    o.blockWaitMs = 5000;
    o.byteWaitMs = 1000;
    o.maxErrors = 10;
    o.ending = YmodemEnding::Either;
    o.maxSize = maxSize;
    o.sizeFromLeadingDigits = true;
    return o;
}

YmodemReceiver::YmodemReceiver(YmodemChannel& channel, YmodemReceiveOptions options)
    : m_channel(channel)
    , m_options(std::move(options))
{
}

YmodemResult& YmodemReceiver::fail(YmodemResult& result, Stage stage, const QString& reason, bool abort)
{
    result.status = Status::Failed;
    result.stage = stage;
    result.reason = reason;
    qDebug() << "YMODEM receive failed at step" << int(stage) << reason;
    if (abort && !m_options.abortBytes.isEmpty())
        m_channel.abort(m_options.abortBytes, m_options.abortPauseMs);
    return result;
}

YmodemReceiver::Got YmodemReceiver::readFrame(char start, quint8* number, QByteArray* data)
{
    const int size = start == STX ? BlockSize1K : HeaderSize;
    QByteArray frame;
    frame.reserve(size + 5);
    frame.append(start);
    while (frame.size() < size + 5) {
        const int b = m_channel.readByte(QDeadlineTimer(TimeScale::ms(m_options.byteWaitMs)));
        if (b == YmodemChannel::Closed)
            return Got::Closed;
        if (b < 0)
            break;
        frame.append(char(b));
    }
    if (checkFrame(frame, m_options.check, number, data))
        return Got::Block;
    // A torn or damaged block: let the rest of it pass before asking for it again.
    const int quiet = TimeScale::ms(qMin(m_options.byteWaitMs, 200));
    while (m_channel.readByte(QDeadlineTimer(quiet)) >= 0) {
    }
    return Got::Bad;
}

YmodemReceiver::Got YmodemReceiver::nextFrame(int waitMs, quint8* number, QByteArray* data)
{
    const QDeadlineTimer deadline(TimeScale::ms(waitMs));
    int previous = -1;
    for (;;) {
        const int b = m_channel.readByte(deadline);
        if (b == YmodemChannel::Timeout)
            return Got::Silence;
        if (b == YmodemChannel::Closed)
            return Got::Closed;
        if (b == quint8(SOH) || b == quint8(STX))
            return readFrame(char(b), number, data);
        if (b == quint8(EOT))
            return Got::EndOfFile;
        if (b == quint8(CAN) && previous == quint8(CAN))
            return Got::Cancel;
        previous = b; // noise, text of the unit
    }
}

YmodemResult YmodemReceiver::receive()
{
    const YmodemReceiveOptions& o = m_options;
    YmodemResult result;
    const QByteArray request(1, CRC_REQUEST);
    const QByteArray ack(1, ACK);
    const QByteArray nak(1, NAK);
    quint8 number = 0;
    QByteArray data;

    if (!o.startCommand.isEmpty()) {
        bool ready = o.readyByte == 0;
        for (int attempt = 1; attempt <= qMax(1, o.startAttempts) && !ready; ++attempt) {
            m_channel.write(o.startCommand);
            if (attempt > 1)
                m_channel.pause(o.resendPauseMs);
            if (o.readyByte == 0)
                break;
            const QDeadlineTimer deadline(TimeScale::ms(o.readyWaitMs));
            for (int b = m_channel.readByte(deadline); b >= 0; b = m_channel.readByte(deadline)) {
                if (b == quint8(o.readyByte)) {
                    ready = true;
                    break;
                }
            }
        }
        if (!ready)
            return fail(result, Stage::Ready, QStringLiteral("no ready answer"), false);
    }

    // Block 0, asked for with "C" until it comes.
    Got got = Got::Silence;
    for (int attempt = 1;; ++attempt) {
        m_channel.write(request);
        got = nextFrame(o.requestIntervalMs, &number, &data);
        if (got == Got::Block && number == 0)
            break;
        if (got == Got::Cancel) {
            fail(result, Stage::Header, QStringLiteral("cancelled by the sender"), false);
            result.status = Status::CancelledByPeer;
            return result;
        }
        if (got == Got::Closed)
            return fail(result, Stage::Header, QStringLiteral("the link closed"), false);
        if (attempt >= qMax(1, o.requestAttempts))
            return fail(result, Stage::CrcRequest, QStringLiteral("no block 0"), true);
    }
    const Header header = parseHeader(data, o.sizeFromLeadingDigits);
    if (header.endOfBatch) {
        m_channel.write(ack);
        result.status = Status::Done;
        result.stage = Stage::Finished;
        return result;
    }
    if (header.sizeKnown && header.size > o.maxSize)
        return fail(result, Stage::Header, QStringLiteral("a file of %1 bytes is too large").arg(header.size), true);
    result.fileName = header.name;
    m_channel.write(ack);
    m_channel.write(request);

    QByteArray file;
    quint8 expected = 1;
    int errors = 0;
    const qint64 limit = header.sizeKnown ? header.size + BlockSize1K : o.maxSize;
    for (bool end = false; !end;) {
        got = nextFrame(o.blockWaitMs, &number, &data);
        switch (got) {
        case Got::Block:
            if (number == expected) {
                file.append(data);
                ++expected;
                ++result.blocks;
                errors = 0;
                if (file.size() > limit)
                    return fail(result, Stage::Data, QStringLiteral("more data than block 0 announced"), true);
            } else if (number != quint8(expected - 1)) {
                // A block of a number that is neither the next nor a repeat: the two ends lost
                // step, and no NAK brings them back.
                return fail(result, Stage::Data, QStringLiteral("block %1 where %2 was due").arg(number).arg(expected), true);
            }
            m_channel.write(ack); // a repeat means our ACK was lost: acknowledge it again
            break;
        case Got::EndOfFile: end = true; break;
        case Got::Cancel:
            fail(result, Stage::Data, QStringLiteral("cancelled by the sender"), false);
            result.status = Status::CancelledByPeer;
            return result;
        case Got::Closed: return fail(result, Stage::Data, QStringLiteral("the link closed"), false);
        case Got::Bad:
        case Got::Silence:
            if (++errors > o.maxErrors)
                return fail(result, Stage::Data, QStringLiteral("block %1 failed %2 times").arg(expected).arg(errors), true);
            ++result.resends;
            m_channel.write(nak);
            break;
        }
    }
    m_channel.write(ack);

    // The ending: the empty block 0, or the test devices' second EOT.
    m_channel.write(request);
    errors = 0;
    for (bool end = false; !end;) {
        got = nextFrame(o.blockWaitMs, &number, &data);
        const bool finalEot = got == Got::EndOfFile && o.ending != YmodemEnding::ClosingBlock;
        const bool closingBlock = got == Got::Block && number == 0 && o.ending != YmodemEnding::FinalEot;
        if (finalEot || closingBlock) {
            m_channel.write(ack);
            if (closingBlock && !parseHeader(data).endOfBatch)
                m_channel.abort(o.abortBytes, o.abortPauseMs); // a second file: one is taken
            end = true;
        } else if (got == Got::EndOfFile) {
            m_channel.write(ack); // our ACK of the EOT was lost
            m_channel.write(request);
        } else if (got == Got::Closed) {
            return fail(result, Stage::Closing, QStringLiteral("the link closed"), false);
        } else if (++errors > o.maxErrors) {
            return fail(result, Stage::Closing, QStringLiteral("no closing block"), true);
        } else {
            m_channel.write(got == Got::Bad ? nak : request);
        }
    }

    if (header.sizeKnown) {
        if (file.size() < header.size)
            return fail(result, Stage::Data, QStringLiteral("%1 bytes of %2 came").arg(file.size()).arg(header.size), false);
        file.truncate(int(header.size));
    }
    result.data = file;
    result.bytes = file.size();
    result.status = Status::Done;
    result.stage = Stage::Finished;
    return result;
}
