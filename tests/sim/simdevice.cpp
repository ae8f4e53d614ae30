#include "simdevice.h"
#include "simtransport.h"
#include "timescale.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// SimRule

SimRule SimRule::exact(const QString& line)
{
    SimRule r;
    r.m_match = Match::Exact;
    r.m_text = line;
    return r;
}

SimRule SimRule::prefix(const QString& start)
{
    SimRule r;
    r.m_match = Match::Prefix;
    r.m_text = start;
    return r;
}

SimRule SimRule::regex(const QString& pattern)
{
    SimRule r;
    r.m_match = Match::Regex;
    r.m_regex = QRegularExpression(pattern);
    if (!r.m_regex.isValid())
        qWarning("SimRule: invalid pattern %s: %s", qPrintable(pattern), qPrintable(r.m_regex.errorString()));
    return r;
}

SimRule SimRule::any()
{
    return SimRule();
}

QByteArray SimRule::defaultGarbage()
{
    return QByteArray("\xff\xfe\x00\x81\x1b\x9c\x07\xf0", 8);
}

SimRule& SimRule::reply(const QByteArray& data)
{
    m_data = data;
    m_responder = nullptr;
    return *this;
}

SimRule& SimRule::respond(std::function<QByteArray(const QString&)> responder)
{
    m_responder = std::move(responder);
    return *this;
}

SimRule& SimRule::after(int delayMs)
{
    m_delayMs = delayMs;
    return *this;
}

SimRule& SimRule::silence()
{
    return reply(QByteArray());
}

SimRule& SimRule::garbage(const QByteArray& bytes)
{
    return reply(bytes);
}

SimRule& SimRule::partial(int bytes)
{
    m_partial = qMax(0, bytes);
    return *this;
}

SimRule& SimRule::chunked(int chunkSize, int gapMs)
{
    m_chunkSize = chunkSize;
    m_chunkGapMs = gapMs;
    return *this;
}

SimRule& SimRule::thenClose()
{
    m_close = true;
    return *this;
}

SimRule& SimRule::times(int count)
{
    m_remaining = qMax(0, count);
    return *this;
}

bool SimRule::matches(const QString& line) const
{
    switch (m_match) {
    case Match::Exact: return line == m_text;
    case Match::Prefix: return line.startsWith(m_text);
    case Match::Regex: return m_regex.match(line).hasMatch();
    case Match::Any: return true;
    }
    return false;
}

SimReply SimRule::replyFor(const QString& line) const
{
    SimReply r;
    r.data = m_responder ? m_responder(line) : m_data;
    if (m_partial >= 0)
        r.data.truncate(m_partial);
    r.delayMs = m_delayMs;
    r.chunkSize = m_chunkSize;
    r.chunkGapMs = m_chunkGapMs;
    r.closeAfter = m_close;
    return r;
}

QString SimSerialSettings::toString() const
{
    return QStringLiteral("%1 %2%3%4").arg(baudRate).arg(dataBits).arg(QLatin1Char(parity)).arg(stopBits);
}

// ---------------------------------------------------------------------------------------------
// SimDevice: life cycle and transports

SimDevice::SimDevice()
    : m_thread(new QThread)
    , m_context(new QObject)
{
    m_thread->setObjectName(QStringLiteral("SimDevice"));
    m_context->moveToThread(m_thread);
    m_thread->start();
}

SimDevice::~SimDevice()
{
    stop();
    m_thread->quit();
    m_thread->wait();
    delete m_context; // the transports are its children
    delete m_thread;
}

bool SimDevice::onSimThread() const
{
    return QThread::currentThread() == m_thread;
}

void SimDevice::runOnSimThread(const std::function<void()>& task) const
{
    if (onSimThread())
        task();
    else
        QMetaObject::invokeMethod(m_context, task, Qt::BlockingQueuedConnection);
}

bool SimDevice::startTransport(SimTransport* t)
{
    closeTransport(t->kind());
    if (!t->open()) {
        delete t;
        return false;
    }
    m_transports[t->kind()] = t;
    return true;
}

SimTransport* SimDevice::transport(Transport kind) const
{
    auto it = m_transports.find(kind);
    return it == m_transports.end() ? nullptr : it->second;
}

void SimDevice::closeTransport(Transport kind)
{
    auto it = m_transports.find(kind);
    if (it == m_transports.end())
        return;
    SimTransport* t = it->second;
    m_transports.erase(it);
    t->close();
    t->deleteLater(); // may be on the stack below us (a handler stopped the device)
}

SimTransport* SimDevice::createTransport(Transport kind, const SerialPortEntry& identity, quint16 port)
{
    SimTransport::Callbacks callbacks {
        [this] { return m_nextPeerId++; },
        [this](quint64 id, SimTransport* t) { onPeerOpened(id, t); },
        [this](quint64 id) { onPeerClosed(id); },
        [this](quint64 id, const QByteArray& data) { onBytes(id, data); },
    };
    switch (kind) {
    case Transport::Pty: return new SimPtyTransport(identity, std::move(callbacks), m_context);
    case Transport::Tcp: return new SimTcpTransport(port, std::move(callbacks), m_context);
    case Transport::Udp: return new SimUdpTransport(port, std::move(callbacks), m_context);
    }
    return nullptr;
}

bool SimDevice::startPty(const SerialPortEntry& identity)
{
    bool ok = false;
    runOnSimThread([&] { ok = startTransport(createTransport(Transport::Pty, identity, 0)); });
    return ok;
}

bool SimDevice::startTcp(quint16 port)
{
    bool ok = false;
    runOnSimThread([&] { ok = startTransport(createTransport(Transport::Tcp, SerialPortEntry(), port)); });
    return ok;
}

bool SimDevice::startUdp(quint16 port)
{
    bool ok = false;
    runOnSimThread([&] { ok = startTransport(createTransport(Transport::Udp, SerialPortEntry(), port)); });
    return ok;
}

void SimDevice::stop()
{
    runOnSimThread([this] {
        ++m_epoch;
        m_arrivals.clear();
        for (Transport kind : {Transport::Pty, Transport::Tcp, Transport::Udp})
            closeTransport(kind);
        m_peers.clear();
        m_currentPeer = 0;
    });
}

void SimDevice::disconnectAll()
{
    runOnSimThread([this] {
        for (auto& [kind, t] : m_transports) {
            Q_UNUSED(kind)
            if (t->kind() == Transport::Tcp) {
                QList<quint64> ids;
                for (const auto& [id, peer] : m_peers) {
                    if (peer.transport == t)
                        ids.append(id);
                }
                for (quint64 id : ids)
                    t->closePeer(id);
            } else {
                t->close();
            }
        }
    });
}

QString SimDevice::portName() const
{
    QString name;
    runOnSimThread([&] {
        if (SimTransport* t = transport(Transport::Pty))
            name = t->portName();
    });
    return name;
}

quint16 SimDevice::tcpPort() const
{
    quint16 port = 0;
    runOnSimThread([&] {
        if (SimTransport* t = transport(Transport::Tcp))
            port = t->port();
    });
    return port;
}

quint16 SimDevice::udpPort() const
{
    quint16 port = 0;
    runOnSimThread([&] {
        if (SimTransport* t = transport(Transport::Udp))
            port = t->port();
    });
    return port;
}

bool SimDevice::isOpen(Transport kind) const
{
    bool open = false;
    runOnSimThread([&] {
        SimTransport* t = transport(kind);
        open = t && t->isOpen();
    });
    return open;
}

int SimDevice::peerCount() const
{
    int count = 0;
    runOnSimThread([&] { count = int(m_peers.size()); });
    return count;
}

SimSerialSettings SimDevice::serialSettings() const
{
    SimSerialSettings s;
    runOnSimThread([&] {
        if (SimTransport* t = transport(Transport::Pty))
            s = t->serialSettings();
    });
    return s;
}

// ---------------------------------------------------------------------------------------------
// Scripting

void SimDevice::setTerminator(const QByteArray& terminator)
{
    if (terminator.isEmpty()) {
        qWarning("SimDevice: an empty line terminator is ignored; use raw mode instead");
        return;
    }
    QMutexLocker lock(&m_mutex);
    m_terminator = terminator;
}

QByteArray SimDevice::terminator() const
{
    QMutexLocker lock(&m_mutex);
    return m_terminator;
}

void SimDevice::addRule(const SimRule& rule)
{
    QMutexLocker lock(&m_mutex);
    m_rules.append(rule);
}

void SimDevice::clearRules()
{
    QMutexLocker lock(&m_mutex);
    m_rules.clear();
}

void SimDevice::setDefaultReply(const QByteArray& data)
{
    QMutexLocker lock(&m_mutex);
    m_defaultReply = data;
}

void SimDevice::setLineMode(bool lineMode)
{
    m_lineMode = lineMode;
}

bool SimDevice::lineMode() const
{
    return m_lineMode;
}

void SimDevice::setRawHandler(std::function<void(const QByteArray&)> handler)
{
    QMutexLocker lock(&m_mutex);
    m_rawHandler = std::move(handler);
}

void SimDevice::setRequiredBaudRate(qint32 baudRate)
{
    m_requiredBaud = baudRate;
}

void SimDevice::setPaced(bool paced)
{
    runOnSimThread([&] {
        m_paced = paced;
        if (!m_wireClock.isValid())
            m_wireClock.start();
    });
}

void SimDevice::push(const QByteArray& data, int delayMs)
{
    SimReply r;
    r.data = data;
    r.delayMs = delayMs;
    runOnSimThread([&] {
        QList<quint64> ids;
        for (const auto& entry : m_peers)
            ids.append(entry.first);
        for (quint64 id : ids)
            queueReply(id, r);
    });
}

void SimDevice::reply(const QByteArray& data, int delayMs)
{
    SimReply r;
    r.data = data;
    r.delayMs = delayMs;
    reply(r);
}

void SimDevice::reply(const SimReply& r)
{
    if (onSimThread() && m_currentPeer != 0) {
        SimReply late = r;
        late.delayMs += m_lateBy;
        m_lateBy = 0;
        queueReply(m_currentPeer, late);
        return;
    }
    runOnSimThread([&] {
        QList<quint64> ids;
        for (const auto& entry : m_peers)
            ids.append(entry.first);
        for (quint64 id : ids)
            queueReply(id, r);
    });
}

void SimDevice::setAnswerDelay(int delayMs)
{
    QMutexLocker lock(&m_mutex);
    m_answerDelayMs = qMax(0, delayMs);
}

int SimDevice::answerDelay() const
{
    QMutexLocker lock(&m_mutex);
    return m_answerDelayMs;
}

void SimDevice::schedule(int delayMs, std::function<void()> task)
{
    auto arm = [this, delayMs, task = std::move(task)] {
        const quint64 epoch = m_epoch;
        QTimer::singleShot(TimeScale::ms(delayMs), Qt::PreciseTimer, m_context, [this, epoch, task] {
            if (epoch == m_epoch)
                task();
        });
    };
    if (onSimThread())
        arm();
    else
        QMetaObject::invokeMethod(m_context, arm, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// Simulator thread: incoming bytes

void SimDevice::onPeerOpened(quint64 peerId, SimTransport* t)
{
    Peer& p = m_peers[peerId];
    p.transport = t;
    const quint64 outer = m_currentPeer;
    m_currentPeer = peerId;
    peerOpened(peerId);
    m_currentPeer = outer;
}

void SimDevice::onPeerClosed(quint64 peerId)
{
    m_peers.erase(peerId);
    peerClosed(peerId);
}

void SimDevice::peerOpened(quint64 peerId)
{
    Q_UNUSED(peerId)
}

void SimDevice::peerClosed(quint64 peerId)
{
    Q_UNUSED(peerId)
}

qint64 SimDevice::wireNsPerByte(const SimTransport* t) const
{
    if (!m_paced || !t || t->kind() != Transport::Pty)
        return 0;
    const SimSerialSettings s = t->serialSettings();
    if (s.baudRate <= 0)
        return 0;
    const int bits = 1 + s.dataBits + (s.parity == 'N' ? 0 : 1) + s.stopBits;
    return qint64(bits) * 1000000000 / s.baudRate;
}

void SimDevice::onBytes(quint64 peerId, const QByteArray& data)
{
    auto it = m_peers.find(peerId);
    const qint64 perByte = it == m_peers.end() ? 0 : wireNsPerByte(it->second.transport);
    if (perByte == 0 && m_arrivals.isEmpty()) {
        deliverBytes(peerId, data);
        return;
    }
    // The bytes are handed on when the last of them would have come down the line.
    const qint64 now = m_wireClock.nsecsElapsed();
    m_inFreeNs = qMax(now, m_inFreeNs) + perByte * data.size();
    m_arrivals.append(Arrival {m_inFreeNs, peerId, data});
    if (m_arrivals.size() == 1)
        deliverDueBytes(); // arms the timer; the one already armed serves the rest
}

void SimDevice::deliverDueBytes()
{
    const qint64 now = m_wireClock.nsecsElapsed();
    while (!m_arrivals.isEmpty() && m_arrivals.first().dueNs <= now) {
        const Arrival a = m_arrivals.takeFirst();
        deliverBytes(a.peerId, a.data);
    }
    if (!m_arrivals.isEmpty())
        QTimer::singleShot(int((m_arrivals.first().dueNs - now + 999999) / 1000000), Qt::PreciseTimer, m_context,
                           [this, epoch = m_epoch] {
                               if (epoch == m_epoch)
                                   deliverDueBytes();
                           });
}

void SimDevice::deliverBytes(quint64 peerId, const QByteArray& data)
{
    auto it = m_peers.find(peerId);
    if (it == m_peers.end())
        return;
    {
        QMutexLocker lock(&m_mutex);
        m_received.append(data);
        m_logChanged.wakeAll();
    }
    const qint32 required = m_requiredBaud;
    if (required != 0 && it->second.transport->kind() == Transport::Pty
        && it->second.transport->serialSettings().baudRate != required)
        return;
    const quint64 outer = m_currentPeer;
    m_currentPeer = peerId;
    splitIncoming(peerId, data);
    m_currentPeer = outer;
}

void SimDevice::splitIncoming(quint64 peerId, const QByteArray& data)
{
    auto it = m_peers.find(peerId);
    if (it == m_peers.end())
        return;

    if (it->second.transport->framesMessages()) {
        if (!m_lineMode) {
            handleBytes(data);
            return;
        }
        const QByteArray term = terminator();
        dispatchLine(data.endsWith(term) ? data.left(data.size() - term.size()) : data);
        return;
    }

    it->second.lineBuffer.append(data);
    // A handler may close the peer or switch modes; look everything up again after each call.
    for (;;) {
        it = m_peers.find(peerId);
        if (it == m_peers.end())
            return;
        QByteArray& buffer = it->second.lineBuffer;
        if (buffer.isEmpty())
            return;
        if (!m_lineMode) {
            const QByteArray bytes = buffer;
            buffer.clear();
            handleBytes(bytes);
            continue;
        }
        const QByteArray term = terminator();
        const int end = buffer.indexOf(term);
        if (end < 0)
            return;
        const QByteArray line = buffer.left(end);
        buffer.remove(0, end + term.size());
        dispatchLine(line);
    }
}

void SimDevice::handleBytes(const QByteArray& data)
{
    std::function<void(const QByteArray&)> raw;
    {
        QMutexLocker lock(&m_mutex);
        raw = m_rawHandler;
    }
    if (raw)
        raw(data);
}

bool SimDevice::handleLine(const QByteArray& /*line*/)
{
    return false;
}

void SimDevice::dispatchLine(const QByteArray& line)
{
    const QString text = QString::fromLatin1(line);
    SimRule rule;
    bool matched = false;
    QByteArray fallback;
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(line);
        m_logChanged.wakeAll();
        for (int i = m_rules.size() - 1; i >= 0; --i) {
            SimRule& candidate = m_rules[i];
            if (candidate.m_remaining == 0 || !candidate.matches(text))
                continue;
            if (candidate.m_remaining > 0)
                --candidate.m_remaining;
            rule = candidate;
            matched = true;
            break;
        }
        fallback = m_defaultReply;
    }
    // A slow unit: the first thing it sends for this line leaves that much later.
    m_lateBy = answerDelay();
    if (matched)
        reply(rule.replyFor(text)); // outside the lock: a responder may call back into us
    else if (!handleLine(line) && !fallback.isEmpty())
        reply(fallback);
    m_lateBy = 0;
}

// ---------------------------------------------------------------------------------------------
// Simulator thread: outgoing bytes, one ordered queue per peer

void SimDevice::queueReply(quint64 peerId, const SimReply& r)
{
    auto it = m_peers.find(peerId);
    if (it == m_peers.end())
        return;
    Peer& p = it->second;
    if (!r.data.isEmpty()) {
        const int chunk = r.chunkSize > 0 ? r.chunkSize : r.data.size();
        for (int offset = 0; offset < r.data.size(); offset += chunk)
            p.out.append(Step {offset == 0 ? r.delayMs : r.chunkGapMs, r.data.mid(offset, chunk), false});
    }
    if (r.closeAfter)
        p.out.append(Step {r.data.isEmpty() ? r.delayMs : 0, QByteArray(), true});
    pump(peerId);
}

void SimDevice::pump(quint64 peerId)
{
    auto it = m_peers.find(peerId);
    if (it == m_peers.end() || it->second.busy || it->second.out.isEmpty())
        return;
    it->second.busy = true;
    // Always through the event loop, never from inside the receive path: a step may close the
    // link, and transports must not be torn down under their own read handler.
    int delay = qMax(0, TimeScale::ms(it->second.out.first().delayMs));
    if (const qint64 perByte = wireNsPerByte(it->second.transport)) {
        // Written when its last byte would have left.
        const qint64 now = m_wireClock.nsecsElapsed();
        m_outFreeNs = qMax(now + qint64(delay) * 1000000, m_outFreeNs) + perByte * it->second.out.first().data.size();
        delay = int((m_outFreeNs - now + 999999) / 1000000);
    }
    QTimer::singleShot(delay, Qt::PreciseTimer, m_context, [this, peerId] { runStep(peerId); });
}

void SimDevice::runStep(quint64 peerId)
{
    auto it = m_peers.find(peerId);
    if (it == m_peers.end())
        return; // closed meanwhile; peer ids are never reused
    Peer& p = it->second;
    p.busy = false;
    if (p.out.isEmpty())
        return;
    const Step step = p.out.takeFirst();
    SimTransport* t = p.transport;
    if (!step.data.isEmpty())
        t->write(peerId, step.data);
    if (step.close) {
        t->closePeer(peerId);
        return;
    }
    pump(peerId);
}

// ---------------------------------------------------------------------------------------------
// Log

QByteArray SimDevice::received() const
{
    QMutexLocker lock(&m_mutex);
    return m_received;
}

QStringList SimDevice::requests() const
{
    QMutexLocker lock(&m_mutex);
    QStringList lines;
    for (const QByteArray& line : m_requests)
        lines.append(QString::fromLatin1(line));
    return lines;
}

int SimDevice::requestCount(const QString& line) const
{
    const QByteArray bytes = line.toLatin1();
    QMutexLocker lock(&m_mutex);
    return int(std::count(m_requests.cbegin(), m_requests.cend(), bytes));
}

void SimDevice::clearLog()
{
    QMutexLocker lock(&m_mutex);
    m_received.clear();
    m_requests.clear();
}

bool SimDevice::waitFor(const std::function<bool()>& condition, int timeoutMs) const
{
    Q_ASSERT_X(!onSimThread(), "SimDevice::waitFor", "would block the simulator it waits for");
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        {
            QMutexLocker lock(&m_mutex);
            if (condition())
                return true;
            if (deadline.hasExpired())
                return false;
        }
        // Let the caller's own sockets and ports run, then sleep until the log changes (briefly:
        // the caller's events matter as much as ours).
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QMutexLocker lock(&m_mutex);
        if (!condition())
            m_logChanged.wait(&m_mutex, 5);
    }
}

bool SimDevice::waitForRequest(const QString& line, int timeoutMs) const
{
    const QByteArray bytes = line.toLatin1();
    return waitFor([&] { return m_requests.contains(bytes); }, timeoutMs);
}

bool SimDevice::waitForRequestMatching(const QRegularExpression& pattern, int timeoutMs) const
{
    return waitFor(
        [&] {
            for (const QByteArray& line : m_requests) {
                if (pattern.match(QString::fromLatin1(line)).hasMatch())
                    return true;
            }
            return false;
        },
        timeoutMs);
}

bool SimDevice::waitForReceived(const QByteArray& bytes, int timeoutMs) const
{
    return waitFor([&] { return m_received.contains(bytes); }, timeoutMs);
}
