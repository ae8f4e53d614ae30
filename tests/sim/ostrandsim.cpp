#include "ostrandsim.h"
#include "simedid.h"

// Written from the telnet command protocol alone, sharing nothing with the program's page.

namespace {

const QString Wrong = QStringLiteral("WRONG PARAMETER");

// Hex digits in pairs making an EDID the unit stores.
bool takeEdid(const QString& hex, QByteArray* bytes)
{
    if (hex.isEmpty() || hex.size() % 2 != 0)
        return false;
    for (const QChar c : hex) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    const QByteArray data = QByteArray::fromHex(hex.toLatin1());
    if (!simEdidBlocksSumToZero(data))
        return false;
    *bytes = data;
    return true;
}

} // namespace

OstrandSim::OstrandSim(Model model)
    : m_model(model)
{
    setTerminator("\r\n");
    for (int i = 1; i <= ports(); ++i) {
        m_modes[i] = 1;
        m_locks[i] = false;
        m_edids[QStringLiteral("INPUT %1").arg(i)] = simSampleEdid(i);
        m_edids[QStringLiteral("OUTPUT ") + QChar('A' + i - 1)] = simSampleEdid(20 + i);
    }
    for (int n = 1; n <= 6; ++n)
        m_edids[QStringLiteral("INTERNAL %1").arg(n)] = simSampleEdid(40 + n);
    m_edids[QStringLiteral("EXTERNAL")] = simSampleEdid(60);
}

OstrandSim::~OstrandSim()
{
    stop();
}

QString OstrandSim::modelName(Model model)
{
    return model == Model::Rennart ? QStringLiteral("Rennart") : QStringLiteral("Quillon");
}

bool OstrandSim::start(quint16 port)
{
    return startTcp(port);
}

// ---- Test access -------------------------------------------------------------------------------

void OstrandSim::setPassword(const QString& password)
{
    runOnSimThread([&] { m_password = password; });
}

void OstrandSim::setLoginQuestion(const QString& question)
{
    runOnSimThread([&] { m_question = question; });
}

void OstrandSim::setGreeting(const QByteArray& greeting)
{
    runOnSimThread([&] { m_greeting = greeting; });
}

void OstrandSim::setChunking(int size, int gapMs)
{
    runOnSimThread([&] {
        m_chunkSize = qMax(0, size);
        m_chunkGapMs = gapMs;
    });
}

void OstrandSim::setPrompt(const QByteArray& prompt)
{
    runOnSimThread([&] { m_prompt = prompt; });
}

void OstrandSim::setAnswerDelay(int ms)
{
    runOnSimThread([&] { m_answerDelayMs = qMax(0, ms); });
}

int OstrandSim::edidMode(int input) const
{
    int mode = 0;
    runOnSimThread([&] { mode = m_modes.value(input); });
    return mode;
}

void OstrandSim::setEdidMode(int input, int mode)
{
    runOnSimThread([&] { m_modes[input] = mode; });
}

bool OstrandSim::edidLocked(int input) const
{
    bool locked = false;
    runOnSimThread([&] { locked = m_locks.value(input); });
    return locked;
}

void OstrandSim::setEdidLocked(int input, bool locked)
{
    runOnSimThread([&] { m_locks[input] = locked; });
}

void OstrandSim::setEdid(const QString& slot, const QByteArray& bytes)
{
    runOnSimThread([&] {
        if (bytes.isEmpty())
            m_edids.remove(slot);
        else
            m_edids[slot] = bytes;
    });
}

QByteArray OstrandSim::edid(const QString& slot) const
{
    QByteArray copy;
    runOnSimThread([&] { copy = m_edids.value(slot); });
    return copy;
}

int OstrandSim::logins() const
{
    int n = 0;
    runOnSimThread([&] { n = m_logins; });
    return n;
}

QStringList OstrandSim::passwordsTried() const
{
    QStringList copy;
    runOnSimThread([&] { copy = m_passwordsTried; });
    return copy;
}

int OstrandSim::connections() const
{
    int n = 0;
    runOnSimThread([&] { n = m_connections; });
    return n;
}

// ---- The unit ----------------------------------------------------------------------------------

void OstrandSim::send(const QByteArray& data, int delayMs)
{
    SimReply r;
    r.data = data;
    r.delayMs = delayMs;
    r.chunkSize = m_chunkSize;
    r.chunkGapMs = m_chunkGapMs;
    reply(r);
}

void OstrandSim::peerOpened(quint64 peerId)
{
    m_sessions[peerId] = Peer();
    ++m_connections;
    if (!m_greeting.isEmpty())
        send(m_greeting);
}

void OstrandSim::peerClosed(quint64 peerId)
{
    m_sessions.remove(peerId);
}

bool OstrandSim::handleLine(const QByteArray& bytes)
{
    Peer& peer = m_sessions[currentPeer()];
    const QString line = QString::fromUtf8(bytes);
    if (!m_password.isEmpty() && peer.session != Session::LoggedIn) {
        switch (peer.session) {
        case Session::LoggedOut:
            peer.session = Session::WantUser;
            send("\r\nLogin required\r\n" + m_question.toUtf8());
            return true;
        case Session::WantUser:
            peer.user = line;
            peer.session = Session::WantPassword;
            send("Password: ");
            return true;
        case Session::WantPassword:
            m_passwordsTried << line;
            if (peer.user == QLatin1String("Admin") && line == m_password) {
                peer.session = Session::LoggedIn;
                ++m_logins;
                send("\r\nWelcome to the Telnet Server\r\n" + m_prompt);
            } else {
                peer.session = Session::WantUser;
                send("\r\nLogin incorrect\r\n" + m_question.toUtf8());
            }
            return true;
        case Session::LoggedIn:
            break;
        }
    }
    if (line.isEmpty()) {
        send("\r\n" + m_prompt);
        return true;
    }
    const QByteArray answer = respond(line).toLatin1() + "\r\n" + m_prompt;
    if (m_answerDelayMs > 0) {
        send(bytes + "\r\n");
        send(answer, m_answerDelayMs);
    } else {
        send(bytes + "\r\n" + answer);
    }
    return true;
}

int OstrandSim::inputOf(const QString& word) const
{
    bool ok = false;
    const int input = word.toInt(&ok);
    return ok && input >= 1 && input <= ports() && word == QString::number(input) ? input : 0;
}

QString OstrandSim::respondUpload(const QStringList& words)
{
    const int input = words.size() == 3 ? inputOf(words.at(1)) : 0;
    if (!input)
        return Wrong;
    QByteArray bytes;
    if (m_modes.value(input) != 8 || m_locks.value(input) || !takeEdid(words.at(2), &bytes))
        return QStringLiteral("SEND_FAILED");
    m_edids[QStringLiteral("CUSTOM %1").arg(input)] = bytes;
    return QStringLiteral("SEND_COMPLETE");
}

QString OstrandSim::respond(const QString& line)
{
    const QStringList words = line.split(QLatin1Char(' '));
    const QString& verb = words.at(0);
    auto edidAnswer = [this](const QString& slot) {
        return QString::fromLatin1(m_edids.value(slot).toHex().toUpper());
    };

    if (verb == QLatin1String("#GET_EDID_MODE") || verb == QLatin1String("#GET_EDID_LOCK")) {
        const int input = words.size() == 2 ? inputOf(words.at(1)) : 0;
        if (!input)
            return Wrong;
        if (verb == QLatin1String("#GET_EDID_MODE"))
            return QStringLiteral("INPUT %1 EDID_MODE IS %2").arg(input).arg(m_modes.value(input));
        return QStringLiteral("INPUT %1 EDID_LOCK IS %2").arg(input).arg(m_locks.value(input) ? 1 : 0);
    }
    if (verb == QLatin1String("#GET_INPUT_EDID")) {
        const int input = words.size() == 2 ? inputOf(words.at(1)) : 0;
        return input ? edidAnswer(QStringLiteral("INPUT %1").arg(input)) : Wrong;
    }
    if (verb == QLatin1String("#GET_OUTPUT_EDID")) {
        const QString out = words.value(1);
        if (words.size() != 2 || out.size() != 1 || out.at(0) < 'A' || out.at(0) >= QChar('A' + ports()))
            return Wrong;
        return edidAnswer(QStringLiteral("OUTPUT ") + out);
    }
    if (verb == QLatin1String("#GET_INTERNAL_EDID")) {
        bool ok = false;
        const int n = words.value(1).toInt(&ok);
        if (words.size() != 2 || !ok || n < 1 || n > 6)
            return Wrong;
        return edidAnswer(QStringLiteral("INTERNAL %1").arg(n));
    }
    if (line == QLatin1String("#GET_EXTERNAL_EDID"))
        return edidAnswer(QStringLiteral("EXTERNAL"));
    if (verb == QLatin1String("#SEND_CUSTOM_EDID"))
        return respondUpload(words);
    return QStringLiteral("COMMAND NOT RECOGNIZED");
}
