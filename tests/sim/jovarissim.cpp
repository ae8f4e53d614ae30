#include "jovarissim.h"
#include "simedid.h"

#include <QStringList>

// Written from the command protocol alone, sharing nothing with the program's controller code.

namespace {

// Nouns set and reported as one decimal value.
const QStringList& singleValueNouns()
{
    static const QStringList list {"AUTO_SWITCH", "VOL", "MUTE", "DVI_AUDIO", "INPUT_HDCP", "OUTPUT_RES",
                                   "PICTURE_MODE", "CONTRAST", "BRIGHTNESS", "SATURATION", "SHARPNESS",
                                   "RS232_MODE", "IR_MODE", "RS232_BAUD", "AUTO_SYNC", "PHASE", "CLOCK",
                                   "COLOR_TEMP", "ASPECT", "EDID_MODE", "EDID_LOCK"};
    return list;
}

// Nouns reported as several words; "#GET_<NOUN> 0" asks for all of them.
const QStringList& groupNouns()
{
    static const QStringList list {"COLOR_BALANCE", "POLARITY", "IMAGE_ADJ", "IMAGE_STRETCH"};
    return list;
}

bool isDecimal(const QString& text, int* value = nullptr)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (ok && value)
        *value = v;
    return ok;
}

} // namespace

JovarisSim::JovarisSim(Model model)
    : m_model(model)
{
    setTerminator("\r\n");
    m_rate = factoryRate(model);
    setRequiredBaudRate(m_rate);
    m_settings = defaults();
    const int internals = model == Model::Jovaris ? 3 : 5;
    for (int i = 0; i < internals; ++i)
        m_edids[QStringLiteral("INTERNAL %1").arg(i)] = sampleEdid(i + 1);
    m_edids["EXTERNAL"] = sampleEdid(40);
}

JovarisSim::~JovarisSim()
{
    stop();
}

QString JovarisSim::modelName(Model model)
{
    switch (model) {
    case Model::Jovaris: return QStringLiteral("Jovaris");
    case Model::Norrith: return QStringLiteral("Norrith");
    case Model::Surrow: return QStringLiteral("Surrow");
    }
    return QString();
}

const QList<qint32>& JovarisSim::rates()
{
    static const QList<qint32> list {115200, 57600, 38400, 19200, 9600, 4800, 2400};
    return list;
}

qint32 JovarisSim::factoryRate(Model model)
{
    switch (model) {
    case Model::Jovaris: return 115200;
    case Model::Norrith: return 9600;
    case Model::Surrow: return 19200;
    }
    return 115200;
}

bool JovarisSim::start()
{
    SerialPortEntry id;
    id.description = modelName(m_model);
    return startPty(id);
}

bool JovarisSim::start(const SerialPortEntry& identity)
{
    return startPty(identity);
}

QMap<QString, QString> JovarisSim::defaults() const
{
    QMap<QString, QString> d;
    d["ROUTE"] = "H";
    d["AUTO_SWITCH"] = "1";
    d["VOL"] = "50";
    d["MUTE"] = "0";
    d["INPUT_MODE V"] = "0";
    d["INPUT_MODE D"] = "3";
    d["DVI_AUDIO"] = "1";
    d["INPUT_HDCP"] = "1";
    d["OUTPUT_RES"] = "7";
    d["PICTURE_MODE"] = "2";
    for (const char* noun : {"CONTRAST", "BRIGHTNESS", "SATURATION", "SHARPNESS"})
        d[noun] = "50";
    d["RS232_MODE"] = "2";
    d["IR_MODE"] = "1";
    d["RS232_BAUD"] = QString::number(rates().indexOf(factoryRate(m_model)));
    d["AUTO_SYNC"] = "1";
    d["PHASE"] = "16";
    d["CLOCK"] = "50";
    d["COLOR_TEMP"] = "2";
    d["ASPECT"] = "1";
    d["COLOR_BALANCE"] = "50 50 50";
    d["POLARITY"] = "H + V +";
    d["IMAGE_ADJ"] = "0 0 0";
    d["IMAGE_STRETCH"] = "W + 0 H + 0";
    d["EDID_MODE"] = "1";
    d["EDID_LOCK"] = "0";
    d["FIRMWARE_VERSION"] = "1.0.2";
    d["HARDWARE_VERSION"] = "A1";
    return d;
}

int JovarisSim::edidModeCount() const
{
    return m_model == Model::Jovaris ? 4 : 6;
}

QByteArray JovarisSim::sampleEdid(int seed)
{
    return simSampleEdid(seed);
}

// ---- Test access ----------------------------------------------------------------------------

qint32 JovarisSim::baudRate() const
{
    qint32 rate = 0;
    runOnSimThread([&] { rate = m_rate; });
    return rate;
}

void JovarisSim::setBaudRate(qint32 rate)
{
    runOnSimThread([&] {
        m_rate = rate;
        setRequiredBaudRate(rate);
    });
}

void JovarisSim::setEcho(bool echo)
{
    runOnSimThread([&] { m_echo = echo; });
}

void JovarisSim::setConfirmByRepetition(bool repeat)
{
    runOnSimThread([&] { m_confirmByRepetition = repeat; });
}

void JovarisSim::setPassThroughSilence(bool silent)
{
    runOnSimThread([&] { m_silent = silent; });
}

void JovarisSim::setRestartTime(int ms)
{
    runOnSimThread([&] { m_restartMs = ms; });
}

bool JovarisSim::restarting() const
{
    bool r = false;
    runOnSimThread([&] { r = m_restarting; });
    return r;
}

QString JovarisSim::setting(const QString& key) const
{
    QString v;
    runOnSimThread([&] { v = m_settings.value(key); });
    return v;
}

void JovarisSim::setSetting(const QString& key, const QString& value)
{
    runOnSimThread([&] { m_settings[key] = value; });
}

QMap<QString, QString> JovarisSim::settings() const
{
    QMap<QString, QString> copy;
    runOnSimThread([&] { copy = m_settings; });
    return copy;
}

QList<JovarisSim::SetRecord> JovarisSim::sets() const
{
    QList<SetRecord> copy;
    runOnSimThread([&] { copy = m_sets; });
    return copy;
}

void JovarisSim::setEdid(const QString& slot, const QByteArray& bytes)
{
    runOnSimThread([&] {
        if (bytes.isEmpty())
            m_edids.remove(slot);
        else
            m_edids[slot] = bytes;
    });
}

QByteArray JovarisSim::edid(const QString& slot) const
{
    QByteArray copy;
    runOnSimThread([&] { copy = m_edids.value(slot); });
    return copy;
}

// ---- The unit -------------------------------------------------------------------------------

QByteArray JovarisSim::answer(const QString& text) const
{
    return (text + QStringLiteral("\r\n>")).toLatin1();
}

QString JovarisSim::helpText() const
{
    const QString route = m_model == Model::Surrow ? QStringLiteral("R") : QStringLiteral("V");
    QStringList lines {modelName(m_model).toUpper() + QStringLiteral(" COMMANDS:"),
                       QStringLiteral("#HELP"),
                       QStringLiteral("S"),
                       route + QStringLiteral(" H|V|DP|D"),
                       QStringLiteral("#GET_FIRMWARE_VERSION"),
                       QStringLiteral("#FACTORY_RESET"),
                       QStringLiteral("#REBOOT"),
                       QStringLiteral("#AUTO_SYNC")};
    for (const QString& noun : singleValueNouns())
        lines << QStringLiteral("#GET_%1").arg(noun) << QStringLiteral("#SET_%1 N").arg(noun);
    for (const QString& noun : groupNouns())
        lines << QStringLiteral("#GET_%1 0").arg(noun);
    lines << QStringLiteral("#GET_INPUT_MODE V|D") << QStringLiteral("#SET_INPUT_MODE V|D N")
          << QStringLiteral("#GET_INTERNAL_EDID N") << QStringLiteral("#GET_EXTERNAL_EDID")
          << QStringLiteral("#GET_CUSTOM_EDID");
    return lines.join(QStringLiteral("\r\n"));
}

QString JovarisSim::respondEdid(const QString& noun, const QStringList& args) const
{
    QString slot;
    if (noun == QLatin1String("INTERNAL_EDID") && args.size() == 1)
        slot = QStringLiteral("INTERNAL ") + args.at(0);
    else if (noun == QLatin1String("EXTERNAL_EDID") && args.isEmpty())
        slot = QStringLiteral("EXTERNAL");
    else if (noun == QLatin1String("CUSTOM_EDID") && args.isEmpty())
        slot = QStringLiteral("CUSTOM");
    else
        return QStringLiteral("WRONG_PARAMETER");
    const QByteArray bytes = m_edids.value(slot);
    if (bytes.isEmpty())
        return slot == QLatin1String("CUSTOM") ? QStringLiteral("NO USER") : QStringLiteral("WRONG_PARAMETER");
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QString JovarisSim::respondSet(const QString& noun, const QStringList& args)
{
    const QString wrong = QStringLiteral("WRONG_PARAMETER");
    const QString argument = args.join(' ');
    QString key = noun;
    QString value;
    int n = 0;
    if (singleValueNouns().contains(noun)) {
        if (args.size() != 1 || !isDecimal(args.at(0), &n) || n < 0)
            return wrong;
        if (noun == QLatin1String("EDID_MODE") && (n < 1 || n > edidModeCount()))
            return wrong;
        if (noun == QLatin1String("RS232_BAUD") && n >= rates().size())
            return wrong;
        if (noun == QLatin1String("EDID_LOCK") && n > 1)
            return wrong;
        value = args.at(0);
    } else if (noun == QLatin1String("INPUT_MODE")) {
        if (args.size() != 2 || (args.at(0) != QLatin1String("V") && args.at(0) != QLatin1String("D"))
            || !isDecimal(args.at(1), &n) || n < 0 || n > 3)
            return wrong;
        key += ' ' + args.at(0);
        value = args.at(1);
    } else if (groupNouns().contains(noun)) {
        QStringList words = m_settings.value(noun).split(' ');
        // Which word of the reported group each first argument changes.
        static const QMap<QString, QMap<QString, int>> place {
            {"COLOR_BALANCE", {{"R", 0}, {"G", 1}, {"B", 2}}},
            {"POLARITY", {{"H", 1}, {"V", 3}}},
            {"IMAGE_ADJ", {{"D", 0}, {"L", 1}, {"R", 2}}},
            {"IMAGE_STRETCH", {{"W", 1}, {"H", 4}}},
        };
        const int at = place.value(noun).value(args.value(0), -1);
        if (at < 0)
            return wrong;
        if (noun == QLatin1String("POLARITY")) {
            if (args.size() != 2 || (args.at(1) != QLatin1String("+") && args.at(1) != QLatin1String("-")))
                return wrong;
            words[at] = args.at(1);
        } else if (noun == QLatin1String("IMAGE_STRETCH")) {
            if (args.size() != 3 || (args.at(1) != QLatin1String("+") && args.at(1) != QLatin1String("-"))
                || !isDecimal(args.at(2), &n) || n < 0)
                return wrong;
            words[at] = args.at(1);
            words[at + 1] = args.at(2);
        } else {
            if (args.size() != 2 || !isDecimal(args.at(1)))
                return wrong;
            words[at] = args.at(1);
        }
        value = words.join(' ');
    } else {
        return QStringLiteral("WRONG_COMMAND");
    }
    m_settings[key] = value;
    m_sets.append(SetRecord {key, argument, value});
    return noun + ' ' + argument;
}

QString JovarisSim::respond(const QString& line)
{
    const QStringList words = line.split(' ', Qt::SkipEmptyParts);
    const QString word = words.value(0);
    const QStringList args = words.mid(1);
    const QString routeLetter = m_model == Model::Surrow ? QStringLiteral("R") : QStringLiteral("V");

    if (line == QLatin1String("S"))
        return QStringLiteral("ROUTE ") + m_settings.value("ROUTE");
    if (word == routeLetter && args.size() == 1) {
        static const QStringList inputs {"H", "V", "DP", "D"};
        if (!inputs.contains(args.at(0)))
            return QStringLiteral("WRONG_PARAMETER");
        m_settings["ROUTE"] = args.at(0);
        m_sets.append(SetRecord {"ROUTE", args.at(0), args.at(0)});
        return QStringLiteral("ROUTE ") + args.at(0);
    }
    if (line == QLatin1String("#HELP"))
        return helpText();
    if (line == QLatin1String("#REBOOT"))
        return QStringLiteral("REBOOT OK");
    if (line == QLatin1String("#AUTO_SYNC"))
        return QStringLiteral("AUTO_SYNC OK");
    if (line == QLatin1String("#FACTORY_RESET"))
        return QStringLiteral("FACTORY_RESET OK");
    if (word.startsWith(QLatin1String("#SET_")))
        return respondSet(word.mid(5), args);
    if (!word.startsWith(QLatin1String("#GET_")))
        return QStringLiteral("WRONG_COMMAND");

    const QString noun = word.mid(5);
    if (noun == QLatin1String("FIRMWARE_VERSION")) {
        if (m_model == Model::Jovaris)
            return QStringLiteral("VERSION %1\r\nHW %2")
                .arg(m_settings.value("FIRMWARE_VERSION"), m_settings.value("HARDWARE_VERSION"));
        return m_settings.value("FIRMWARE_VERSION");
    }
    if (noun.endsWith(QLatin1String("_EDID")))
        return respondEdid(noun, args);
    if (noun == QLatin1String("INPUT_MODE")) {
        const QString key = QStringLiteral("INPUT_MODE ") + args.value(0);
        if (args.size() != 1 || !m_settings.contains(key))
            return QStringLiteral("WRONG_PARAMETER");
        return key + ' ' + m_settings.value(key);
    }
    if (groupNouns().contains(noun)) {
        if (args.size() > 1)
            return QStringLiteral("WRONG_PARAMETER");
        return noun + ' ' + m_settings.value(noun);
    }
    if (singleValueNouns().contains(noun)) {
        if (!args.isEmpty())
            return QStringLiteral("WRONG_PARAMETER");
        return noun + ' ' + m_settings.value(noun);
    }
    return QStringLiteral("WRONG_COMMAND");
}

// ---- Custom-EDID upload ---------------------------------------------------------------------

void JovarisSim::handleBytes(const QByteArray& data)
{
    if (!m_uploading) {
        SimDevice::handleBytes(data);
        return;
    }
    m_upload.append(data);
    if (m_upload.size() < 128)
        return;
    const int extensions = quint8(m_upload.at(126));
    const int size = 128 * (1 + extensions);
    if (extensions > 1 || m_upload.size() > size)
        finishUpload(false);
    else if (m_upload.size() == size)
        finishUpload(true);
}

void JovarisSim::finishUpload(bool stored)
{
    if (stored)
        m_edids[QStringLiteral("CUSTOM")] = m_upload;
    m_uploading = false;
    m_upload.clear();
    setLineMode(true);
    reply(answer(stored ? QStringLiteral("SEND_COMPLETE") : QStringLiteral("SEND_FAILED")));
}

bool JovarisSim::handleLine(const QByteArray& raw)
{
    if (m_silent || m_restarting)
        return true;
    const QString line = QString::fromLatin1(raw).trimmed();
    const bool passThrough = m_model == Model::Surrow && m_settings.value(QStringLiteral("RS232_MODE")) == QLatin1String("1");
    if (passThrough && line != QLatin1String("#SET_RS232_MODE 2"))
        return true;
    if (m_echo)
        reply(raw + "\r\n");
    if (line == QLatin1String("#SEND_CUSTOM_EDID")) {
        if (m_settings.value(QStringLiteral("EDID_LOCK")) == QLatin1String("1")) {
            reply(answer(QStringLiteral("WRONG_PARAMETER")));
            return true;
        }
        reply(answer(QStringLiteral("SEND_CUSTOM_EDID READY")));
        m_uploading = true;
        m_upload.clear();
        setLineMode(false);
        const quint64 number = ++m_uploadNumber;
        schedule(2000, [this, number] {
            if (number == m_uploadNumber && m_uploading)
                finishUpload(false);
        });
        return true;
    }
    QString text = respond(line);
    // A unit of another make confirms a setting by sending the line back as its answer.
    const QString routeLetter = m_model == Model::Surrow ? QStringLiteral("R ") : QStringLiteral("V ");
    const bool setting = line.startsWith(QLatin1String("#SET_")) || line.startsWith(routeLetter);
    if (m_confirmByRepetition && setting && !text.startsWith(QLatin1String("WRONG_")))
        text = line;
    reply(answer(text));
    // Changes of the link itself take effect once the answer is on its way, at the old rate.
    if (line == QLatin1String("#FACTORY_RESET") || line == QLatin1String("#REBOOT")) {
        if (line == QLatin1String("#FACTORY_RESET")) {
            m_settings = defaults();
            m_edids.remove(QStringLiteral("CUSTOM"));
            m_rate = factoryRate(m_model);
            setRequiredBaudRate(m_rate);
        }
        if (m_restartMs > 0) {
            m_restarting = true;
            const quint64 number = ++m_restartNumber;
            schedule(m_restartMs, [this, number] {
                if (number == m_restartNumber)
                    m_restarting = false;
            });
        }
    } else if (line.startsWith(QLatin1String("#SET_RS232_BAUD "))) {
        int index = -1;
        if (isDecimal(line.mid(16), &index) && index >= 0 && index < rates().size()) {
            m_rate = rates().at(index);
            setRequiredBaudRate(m_rate);
        }
    }
    return true;
}
