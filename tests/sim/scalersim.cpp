#include "scalersim.h"
#include "simedid.h"
#include "timescale.h"

#include <QRegularExpression>

// The unit's side is written from the command protocol alone, without any of the program's
// scaler code, so a misreading of the protocol cannot hide itself on both sides.

namespace {

enum class Kind {
    Choice,   // a list position, reported as the entry's text
    Number,   // a decimal in [min, max]
    Scan,     // a decimal in [min, max], reported with "%"
    Switch,   // 0 / 1, reported OFF / ON
    Phase,    // 0 is automatic (AUTO), else a decimal in [min, max]
    Timeout,  // 0 is OFF, else "<n> SECONDS"
    EdidMode, // 0 / 1, reported INTERNAL / CUSTOM; one per input
    ReadOnly, // reported only
    Preset,   // a timing preset: lines "key = value", reported as they are
};

const QStringList& resolutionsA()
{
    static const QStringList list {
        "640x480 60Hz", "640x480 75Hz", "800x600 60Hz", "800x600 75Hz", "1024x768 60Hz", "1024x768 75Hz",
        "1280x768 60Hz", "1280x800 60Hz", "1280x1024 60Hz", "1280x1024 75Hz", "1360x768 60Hz",
        "1366x768 60Hz", "1440x900 60Hz", "1440x900 75Hz", "1400x1050 60Hz", "1680x1050 60Hz",
        "1680x1050 RB", "1920x1080 RB", "1920x1200 60Hz", "1920x1200 RB", "Bypass", "Auto-Detect",
        "SD (480i) 60Hz", "SD (576i) 50Hz", "SD (480p) 60Hz", "SD (576p) 50Hz", "HD (720p) 60Hz",
        "HD (720p) 59Hz", "HD (720p) 50Hz", "HD (720p) 30Hz", "HD (720p) 29Hz", "HD (720p) 25Hz",
        "HD (1080i) 60Hz", "HD (1080i) 59Hz", "HD (1080i) 50Hz", "HD (1080p) 60Hz", "HD (1080p) 59Hz",
        "HD (1080p) 50Hz", "HD (1080p) 30Hz", "HD (1080p) 29Hz", "HD (1080p) 25Hz", "HD (1080p) 24Hz",
        "HD (1080p) 23Hz", "2048x1080 60Hz", "2048x1080 50Hz"};
    return list;
}

const QStringList& resolutionsB()
{
    static const QStringList list {
        "SD (480i) 60Hz", "SD (576i) 50Hz", "HD (720p) 60Hz", "HD (720p) 59Hz", "HD (720p) 50Hz",
        "HD (720p) 30Hz", "HD (720p) 29Hz", "HD (720p) 25Hz", "HD (1080i) 60Hz", "HD (1080i) 59Hz",
        "HD (1080i) 50Hz", "3G-A (1080p) 60Hz", "3G-A (1080p) 59Hz", "3G-A (1080p) 50Hz",
        "HD (1080p) 30Hz", "HD (1080p) 29Hz", "HD (1080p) 25Hz", "HD (1080p) 24Hz", "HD (1080p) 23Hz",
        "3G-B (1080p) 60Hz", "3G-B (1080p) 59Hz", "3G-B (1080p) 50Hz"};
    return list;
}

QString timingPreset(int index)
{
    // A 1080p60 timing; the presets differ in their active width so a test can tell them apart.
    const int active = 1920 - 16 * index;
    return QStringLiteral("Hor Scan = 67.500\r\nHor Active = %1\r\nHor Ft Porch = 88\r\nHor Sync W = 44\r\n"
                          "Hor Bk Porch = 148\r\nHor Total = 2200\r\nHor Polarity = +\r\nPixel Clk = 148.500\r\n"
                          "Ver Refresh = 60.000\r\nVer Active = 1080\r\nVer Ft Porch = 4\r\nVer Sync W = 5\r\n"
                          "Ver Bk Porch = 36\r\nVer Total = 1125\r\nVer Polarity = +")
        .arg(active);
}

const char* const BalanceNames[3] = {"RED", "GREEN", "BLUE"};

} // namespace

struct ScalerSim::Entry {
    QString noun;
    QString name; // as the unit reports it, before " IS "
    Kind kind;
    QStringList choices; // Choice; empty for the output resolution (it depends on the model)
    int min = 0;
    int max = 0;
    int indexes = 0; // > 0: the key carries an index 0..indexes-1 ("COLOR_BALANCE 2")
};

const QList<ScalerSim::Entry>& ScalerSim::entries()
{
    static const QList<Entry> list {
        {"OUTPUT_RES", "OUTPUT RESOLUTION", Kind::Choice, {}},
        {"OUTPUT_COLOR", "OUTPUT COLOR SPACE", Kind::Choice, {"RGB 4:4:4", "YCbCr 4:4:4", "YCbCr 4:2:2"}},
        {"OUTPUT_MODE", "OUTPUT MODE", Kind::Choice, {"HDMI", "DVI", "Auto Detect"}},
        {"OUTPUT_LOCK", "OUTPUT", Kind::Choice, {"Free Run", "HDMI"}},
        {"COLOR_RANGE", "PICTURE COLOR RANGE", Kind::Choice, {"Full", "Limited"}},
        {"COLOR_TEMP", "PICTURE COLOR TEMPERATURE", Kind::Choice, {"Warm", "Neutral", "Cool"}},
        {"EDGE_ENHANCE", "PICTURE EDGE ENHANCEMENT", Kind::Choice, {"Off", "Mid", "Max", "User"}},
        {"ASPECT_RATIO", "ASPECT RATIO", Kind::Choice, {"16:9", "4:3", "Stretch", "Source"}},
        {"TEST_PATTERNS", "TEST PATTERNS", Kind::Choice, {"White", "Cross", "Hatch", "Color", "Gray", "Window", "Off"}},
        {"INPUT_SELECT", "INPUT SELECT", Kind::Choice, {"VGA", "HDMI"}},
        {"CONTRAST", "PICTURE CONTRAST", Kind::Number, {}, 0, 100},
        {"BRIGHTNESS", "PICTURE BRIGHTNESS", Kind::Number, {}, 0, 100},
        {"SATURATION", "PICTURE SATURATION", Kind::Number, {}, 0, 100},
        {"HUE", "PICTURE HUE", Kind::Number, {}, 0, 100},
        {"SHARPNESS", "PICTURE SHARPNESS", Kind::Number, {}, 0, 100},
        {"COLOR_BALANCE", "PICTURE COLOR BALANCE", Kind::Number, {}, 0, 100, 3},
        {"UO_SCAN", "UNDER/OVER SCAN", Kind::Scan, {}, -50, 50},
        {"HORIZONTAL_SHIFT", "HORIZONTAL SHIFT", Kind::Number, {}, -100, 100},
        {"VERTICAL_SHIFT", "VERTICAL SHIFT", Kind::Number, {}, -100, 100},
        {"HORIZONTAL_MIRROR", "HORIZONTAL MIRROR", Kind::Switch, {}},
        {"VERTICAL_MIRROR", "VERTICAL MIRROR", Kind::Switch, {}},
        {"PHASE", "PHASE", Kind::Phase, {}, 1, 64},
        {"OSD_TIMEOUT", "OSD TIMEOUT", Kind::Timeout, {}, 0, 255},
        {"DISPLAY_NOTIFY", "DISPLAY NOTIFY", Kind::Switch, {}},
        {"EDID_MODE", "EDID MODE", Kind::EdidMode, {}, 0, 0, 2},
        {"FIRMWARE_VERSION", "FIRMWARE VERSION", Kind::ReadOnly, {}},
        {"INPUT_RESOLUTION", "INPUT RESOLUTION", Kind::ReadOnly, {}},
        {"TIMING_PRESET", "", Kind::Preset, {}, 0, 0, 6},
    };
    return list;
}

const ScalerSim::Entry* ScalerSim::entryFor(const QString& noun)
{
    for (const Entry& e : entries()) {
        if (e.noun == noun)
            return &e;
    }
    return nullptr;
}

ScalerSim::ScalerSim(Model model)
    : m_model(model)
{
    setTerminator("\r");
    setRequiredBaudRate(CommandRate);
    m_settings = defaults();
    m_edidReceiver.setScript(edidUploadScript());
    m_edidReceiver.send = [this](const QByteArray& bytes) { reply(bytes); };
    m_edidReceiver.ended = [this] {
        if (m_edidReceiver.state() == SimYmodemReceiver::State::Done)
            m_edids[m_edidInput] = m_edidReceiver.data();
        setLineMode(true);
    };
}

ScalerSim::~ScalerSim()
{
    stop();
}

QString ScalerSim::modelName(Model model)
{
    switch (model) {
    case Model::Sdi: return QStringLiteral("HDMI/VGA to 3GSDI Scaler");
    case Model::Dvi: return QStringLiteral("VGA to DVI Scaler");
    case Model::Hdmi: return QStringLiteral("VGA w/Audio to HDMI Scaler");
    }
    return QString();
}

SerialPortEntry ScalerSim::portIdentity(Model model)
{
    SerialPortEntry id;
    switch (model) {
    case Model::Sdi: id.description = QStringLiteral("CORMITH"); break;
    case Model::Dvi: id.description = QStringLiteral("FORNALE"); break;
    case Model::Hdmi: id.description = QStringLiteral("Darvosk"); break;
    }
    return id;
}

bool ScalerSim::start()
{
    return startPty(portIdentity(m_model));
}

bool ScalerSim::start(const SerialPortEntry& identity)
{
    return startPty(identity);
}

QMap<QString, QString> ScalerSim::defaults() const
{
    QMap<QString, QString> d;
    d["OUTPUT_RES"] = m_model == Model::Sdi ? QStringLiteral("HD (1080i) 60Hz") : QStringLiteral("1920x1080 RB");
    d["OUTPUT_COLOR"] = "RGB 4:4:4";
    d["OUTPUT_MODE"] = "AUTO DETECT";
    d["OUTPUT_LOCK"] = "FREE RUN";
    d["COLOR_RANGE"] = "FULL";
    d["COLOR_TEMP"] = "NEUTRAL";
    d["EDGE_ENHANCE"] = "MID";
    d["ASPECT_RATIO"] = "16:9";
    d["TEST_PATTERNS"] = "OFF";
    d["INPUT_SELECT"] = "VGA";
    for (const char* noun : {"CONTRAST", "BRIGHTNESS", "SATURATION", "HUE", "SHARPNESS"})
        d[noun] = "50";
    for (int c = 0; c < 3; ++c)
        d[QStringLiteral("COLOR_BALANCE %1").arg(c)] = "50";
    d["UO_SCAN"] = "0%";
    d["HORIZONTAL_SHIFT"] = "0";
    d["VERTICAL_SHIFT"] = "0";
    d["HORIZONTAL_MIRROR"] = "OFF";
    d["VERTICAL_MIRROR"] = "OFF";
    d["PHASE"] = "AUTO";
    d["OSD_TIMEOUT"] = "10 SECONDS";
    d["DISPLAY_NOTIFY"] = "ON";
    d["EDID_MODE 0"] = "INTERNAL";
    d["EDID_MODE 1"] = "INTERNAL";
    d["FIRMWARE_VERSION"] = "V1.0.3";
    d["INPUT_RESOLUTION"] = "1920x1080 60Hz";
    for (int p = 0; p < 6; ++p)
        d[QStringLiteral("TIMING_PRESET %1").arg(p)] = timingPreset(p);
    return d;
}

// ---- Test access ----------------------------------------------------------------------------

QString ScalerSim::setting(const QString& key) const
{
    QString v;
    runOnSimThread([&] { v = m_settings.value(key); });
    return v;
}

void ScalerSim::setSetting(const QString& key, const QString& value)
{
    runOnSimThread([&] { m_settings[key] = value; });
}

QMap<QString, QString> ScalerSim::settings() const
{
    QMap<QString, QString> copy;
    runOnSimThread([&] { copy = m_settings; });
    return copy;
}

void ScalerSim::resetSettings()
{
    runOnSimThread([&] { m_settings = defaults(); });
}

QList<ScalerSim::SetRecord> ScalerSim::sets() const
{
    QList<SetRecord> copy;
    runOnSimThread([&] { copy = m_sets; });
    return copy;
}

void ScalerSim::clearSets()
{
    runOnSimThread([&] { m_sets.clear(); });
}

void ScalerSim::setEcho(bool echo)
{
    runOnSimThread([&] { m_echo = echo; });
}

void ScalerSim::enterBootLoader()
{
    runOnSimThread([&] {
        m_bootLoader = true;
        m_packetBuffer.clear();
        setRequiredBaudRate(BootLoaderRate);
        setLineMode(false);
    });
}

void ScalerSim::leaveBootLoader()
{
    runOnSimThread([&] {
        m_bootLoader = false;
        m_packetBuffer.clear();
        setRequiredBaudRate(CommandRate);
        setLineMode(true);
    });
}

bool ScalerSim::inBootLoader() const
{
    bool in = false;
    runOnSimThread([&] { in = m_bootLoader; });
    return in;
}

QList<QByteArray> ScalerSim::bootLoaderPackets() const
{
    QList<QByteArray> copy;
    runOnSimThread([&] { copy = m_packets; });
    return copy;
}

// ---- Firmware: text commands ----------------------------------------------------------------

QStringList ScalerSim::choices(const Entry& entry) const
{
    if (entry.noun == QLatin1String("OUTPUT_RES"))
        return m_model == Model::Sdi ? resolutionsB() : resolutionsA();
    return entry.choices;
}

QString ScalerSim::format(const Entry& entry, const QString& argument, bool* ok) const
{
    bool isNumber = false;
    const int n = argument.toInt(&isNumber, 10);
    *ok = isNumber;
    if (!isNumber)
        return QString();
    auto inRange = [&](int lo, int hi) {
        *ok = n >= lo && n <= hi;
        return *ok;
    };
    switch (entry.kind) {
    case Kind::Choice: {
        const QStringList list = choices(entry);
        if (!inRange(0, list.size() - 1))
            return QString();
        // Resolutions keep their letters ("1920x1080 RB"); every other choice is reported in capitals.
        return entry.noun == QLatin1String("OUTPUT_RES") ? list.at(n) : list.at(n).toUpper();
    }
    case Kind::Number: return inRange(entry.min, entry.max) ? QString::number(n) : QString();
    case Kind::Scan: return inRange(entry.min, entry.max) ? QString::number(n) + '%' : QString();
    case Kind::Switch: return inRange(0, 1) ? QString(n ? "ON" : "OFF") : QString();
    case Kind::Phase:
        if (n == 0)
            return QStringLiteral("AUTO");
        return inRange(entry.min, entry.max) ? QString::number(n) : QString();
    case Kind::Timeout:
        if (!inRange(entry.min, entry.max))
            return QString();
        return n == 0 ? QStringLiteral("OFF") : QStringLiteral("%1 SECONDS").arg(n);
    case Kind::EdidMode: return inRange(0, 1) ? QString(n ? "CUSTOM" : "INTERNAL") : QString();
    case Kind::ReadOnly:
    case Kind::Preset: break;
    }
    *ok = false;
    return QString();
}

QString ScalerSim::reportLine(const QString& key) const
{
    const QString noun = key.section(' ', 0, 0);
    const Entry* e = entryFor(noun);
    if (!e)
        return QString();
    const QString value = m_settings.value(key);
    if (e->kind == Kind::Preset)
        return value;
    QString name = e->name;
    if (noun == QLatin1String("COLOR_BALANCE"))
        name += QStringLiteral(" %1 CHANNEL").arg(BalanceNames[key.section(' ', 1, 1).toInt()]);
    return name + QStringLiteral(" IS ") + value;
}

QString ScalerSim::currentInput() const
{
    // The two-input scaler's EDID mode without an input is that of the input it shows.
    return m_model == Model::Sdi && m_settings.value("INPUT_SELECT") == QLatin1String("HDMI") ? "1" : "0";
}

QByteArray ScalerSim::answer(const QStringList& lines) const
{
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n>")).toLatin1();
}

QStringList ScalerSim::videoOutputLines() const
{
    return {reportLine("OUTPUT_RES"), reportLine(m_model == Model::Sdi ? "OUTPUT_LOCK" : "OUTPUT_COLOR"),
            reportLine("OUTPUT_MODE")};
}

QStringList ScalerSim::pictureLines() const
{
    QStringList lines {reportLine("CONTRAST"), reportLine("BRIGHTNESS"), reportLine("SATURATION"), reportLine("HUE")};
    if (m_model != Model::Sdi)
        lines << reportLine("COLOR_RANGE");
    lines << reportLine("COLOR_TEMP") << reportLine("COLOR_BALANCE 0") << reportLine("COLOR_BALANCE 1")
          << reportLine("COLOR_BALANCE 2") << reportLine("EDGE_ENHANCE") << reportLine("SHARPNESS");
    return lines;
}

QStringList ScalerSim::videoSettingsLines() const
{
    return {reportLine("UO_SCAN"), reportLine("ASPECT_RATIO"), reportLine("HORIZONTAL_MIRROR"),
            reportLine("VERTICAL_MIRROR"), reportLine("HORIZONTAL_SHIFT"), reportLine("VERTICAL_SHIFT"),
            reportLine("PHASE")};
}

QByteArray ScalerSim::answerGet(const QString& noun, const QStringList& args) const
{
    const QByteArray wrong = answer({QStringLiteral("Wrong parameter")});
    if (noun == QLatin1String("VIDEO_OUTPUT"))
        return answer(videoOutputLines());
    if (noun == QLatin1String("PICTURE_SETTINGS"))
        return answer(pictureLines());
    if (noun == QLatin1String("VIDEO_SETTINGS"))
        return answer(videoSettingsLines());
    const Entry* e = entryFor(noun);
    if (!e)
        return answer({QStringLiteral("Wrong command")});
    QString key = noun;
    if (e->indexes > 0) {
        QString index = args.value(0);
        if (index.isEmpty() && e->kind == Kind::EdidMode)
            index = currentInput();
        bool ok = false;
        const int i = index.toInt(&ok);
        if (!ok || i < 0 || i >= e->indexes || args.size() > 1)
            return wrong;
        key += ' ' + QString::number(i);
    } else if (!args.isEmpty()) {
        return wrong;
    }
    return answer({reportLine(key)});
}

QByteArray ScalerSim::answerSet(const QString& noun, const QStringList& args)
{
    const QByteArray wrong = answer({QStringLiteral("Wrong parameter")});
    const Entry* e = entryFor(noun);
    if (!e || e->kind == Kind::ReadOnly || e->kind == Kind::Preset)
        return answer({QStringLiteral("Wrong command")});
    QString key = noun;
    QString argument;
    if (e->kind == Kind::EdidMode) {
        // "#SET_EDID_MODE <mode> [<input>]"
        if (args.isEmpty() || args.size() > 2)
            return wrong;
        const QString input = args.size() == 2 ? args.at(1) : currentInput();
        if (input != QLatin1String("0") && input != QLatin1String("1"))
            return wrong;
        key += ' ' + input;
        argument = args.at(0);
    } else if (e->indexes > 0) {
        // "#SET_COLOR_BALANCE <channel> <value>"
        bool ok = false;
        const int i = args.value(0).toInt(&ok);
        if (args.size() != 2 || !ok || i < 0 || i >= e->indexes)
            return wrong;
        key += ' ' + QString::number(i);
        argument = args.at(1);
    } else {
        if (args.size() != 1)
            return wrong;
        argument = args.at(0);
    }
    bool ok = false;
    const QString value = format(*e, argument, &ok);
    if (!ok)
        return wrong;
    m_settings[key] = value;
    m_sets.append(SetRecord {key, argument, value});
    return answer({reportLine(key)});
}

bool ScalerSim::handleLine(const QByteArray& raw)
{
    if (m_bootLoader)
        return true; // not reached in raw mode; a late line is dropped
    const QString line = QString::fromLatin1(raw);
    if (m_echo)
        reply(raw + "\r");
    const QStringList words = line.split(' ', Qt::SkipEmptyParts);
    const QString word = words.value(0);
    const QStringList args = words.mid(1);
    if (word == QLatin1String("#GET_EDID")) {
        reply(answerEdid(args)); // EDID readout, see the end of this file
    } else if (word.startsWith(QLatin1String("#GET_"))) {
        reply(answerGet(word.mid(5), args));
    } else if (word.startsWith(QLatin1String("#SET_"))) {
        const QByteArray presetAnswer = answerPresetSet(word.mid(5), args);
        reply(presetAnswer.isEmpty() ? answerSet(word.mid(5), args) : presetAnswer);
    } else if (word == QLatin1String("#FACTORY_RESET") && args.isEmpty()) {
        m_settings = defaults();
        reply(answer({QStringLiteral("FACTORY RESET DONE")}));
    } else if (word == QLatin1String("#REBOOT") && args.isEmpty()) {
        reply(answer({QStringLiteral("REBOOTING")}));
    } else if (word == QLatin1String("#SEND_EDID")) {
        startEdidUpload(args);
    } else if (word == QLatin1String("#FW_UPGRADE") && args.isEmpty()) {
        // The answer still goes out as text; the boot loader takes the very next bytes.
        reply(answer({QStringLiteral("FIRMWARE UPGRADE MODE")}));
        m_bootLoader = true;
        m_packetBuffer.clear();
        setRequiredBaudRate(BootLoaderRate);
        setLineMode(false);
    } else {
        reply(answer({QStringLiteral("Wrong command")}));
    }
    return true;
}

// ---- Boot loader: packets -------------------------------------------------------------------

void ScalerSim::handleBytes(const QByteArray& data)
{
    if (m_edidReceiver.state() == SimYmodemReceiver::State::Receiving) {
        m_edidReceiver.feed(data);
        return;
    }
    if (!m_bootLoader) {
        SimDevice::handleBytes(data);
        return;
    }
    bootLoaderBytes(data);
}

void ScalerSim::bootLoaderBytes(const QByteArray& data)
{
    // A packet comes in one burst: bytes left waiting from before a pause are dropped, so a
    // stray byte cannot hold up the next packet.
    if (!m_packetBuffer.isEmpty() && m_lastBytes.isValid() && m_lastBytes.elapsed() > TimeScale::ms(PacketGapMs))
        m_packetBuffer.clear();
    m_lastBytes.start();
    m_packetBuffer.append(data);
    while (!m_packetBuffer.isEmpty()) {
        const int length = quint8(m_packetBuffer.at(0));
        // A packet holds at most 80 data bytes. Anything else in front of one (the host's CC
        // after a status packet, stray text) is skipped a byte at a time.
        if (length < 3 || length > 83) {
            m_packetBuffer.remove(0, 1);
            continue;
        }
        if (m_packetBuffer.size() < length)
            return;
        quint8 sum = 0;
        for (int i = 2; i < length; ++i)
            sum = quint8(sum + quint8(m_packetBuffer.at(i)));
        if (sum != quint8(m_packetBuffer.at(1))) {
            m_packetBuffer.remove(0, 1);
            continue;
        }
        const QByteArray packet = m_packetBuffer.left(length);
        m_packetBuffer.remove(0, length);
        m_packets.append(packet);
        const quint8 command = quint8(packet.at(2));
        bootLoaderAnswer(command, packet);
        if (command == 0x25) {
            // Reset: the unit starts its firmware again.
            m_bootLoader = false;
            m_packetBuffer.clear();
            setRequiredBaudRate(CommandRate);
            setLineMode(true);
            return;
        }
    }
}

// ---- Boot-loader personality: images, variants, faults ----------------------------------------

void ScalerSim::setBootLoaderVariant(BootLoaderVariant variant)
{
    runOnSimThread([&] { m_variant = variant; });
}

SerialPortEntry ScalerSim::zarrickIdentity(const QString& model)
{
    SerialPortEntry id;
    id.description = model + QStringLiteral(" USB Serial Port");
    id.manufacturer = QStringLiteral("STMicroelectronics");
    id.vendorId = 0x0483;
    id.hasVendorId = true;
    id.productId = 0x5740;
    id.hasProductId = true;
    return id;
}

QByteArray ScalerSim::bootLoaderImage() const
{
    QByteArray copy;
    runOnSimThread([&] { copy = m_image; });
    return copy;
}

qint64 ScalerSim::announcedSize() const
{
    qint64 size = -1;
    runOnSimThread([&] { size = m_announced; });
    return size;
}

void ScalerSim::setFirstPingBusy(bool busy)
{
    runOnSimThread([&] {
        m_firstPingBusy = busy;
        m_pingSeen = false;
    });
}

void ScalerSim::addBootFault(BootFault fault, quint8 command, int occurrence)
{
    runOnSimThread([&] { m_bootFaults.append(BootFaultRule {fault, command, occurrence}); });
}

void ScalerSim::clearBootFaults()
{
    runOnSimThread([&] {
        m_bootFaults.clear();
        m_commandCounts.clear();
    });
}

void ScalerSim::bootLoaderAnswer(quint8 command, const QByteArray& packet)
{
    const QByteArray data = packet.mid(3);
    const bool generic = m_variant == BootLoaderVariant::Generic;
    if (generic && command == 0x2D) {
        m_image = data;
    } else if (generic && command == 0x2E) {
        m_image += data;
    } else if (!generic && command == 0x21 && data.size() == 8) {
        m_image.clear();
        m_announced = (qint64(quint8(data.at(4))) << 24) | (quint8(data.at(5)) << 16) | (quint8(data.at(6)) << 8)
                      | quint8(data.at(7));
    } else if (!generic && command == 0x24) {
        m_image += data;
    }

    QByteArray answer("\x00\xcc", 2);
    if (command == 0x20 && !generic && m_firstPingBusy && !m_pingSeen)
        answer = QByteArray("\x01\xcc", 2);
    if (command == 0x20)
        m_pingSeen = true;
    if (command == 0x23)
        answer += QByteArray("\x03\x40\x40", 3); // status: success

    const int count = ++m_commandCounts[command];
    bool split = false;
    for (const BootFaultRule& rule : qAsConst(m_bootFaults)) {
        if (rule.command != command || rule.occurrence != count)
            continue;
        switch (rule.fault) {
        case BootFault::Nak:
            answer = QByteArray("\x00\x33", 2);
            break;
        case BootFault::BadStatus:
            answer = QByteArray("\x00\xcc\x03\x41\x41", 5);
            break;
        case BootFault::Silence:
            answer.clear();
            break;
        case BootFault::StrayPrompt:
            answer.prepend('>');
            break;
        case BootFault::ExtraByte:
            answer.append('\0');
            break;
        case BootFault::SplitAnswer:
            split = true;
            break;
        }
    }
    if (answer.isEmpty())
        return;
    if (split) {
        SimReply pieces;
        pieces.data = answer;
        pieces.chunkSize = 1;
        pieces.chunkGapMs = 20;
        reply(pieces);
    } else {
        reply(answer);
    }
}

// ---- EDID upload ----------------------------------------------------------------------------

SimYmodemReceiver::Script ScalerSim::edidUploadScript()
{
    SimYmodemReceiver::Script script;
    script.readyText = QByteArrayLiteral("WAITING FOR EDID FILE\r\n");
    // The unit asks for the closing block by itself; the program sends it after a pause anyway.
    script.requestAfterEot = true;
    script.completionText = QByteArrayLiteral("\r\nThe EDID file transmission is complete.\r\n>");
    return script;
}

void ScalerSim::startEdidUpload(const QStringList& args)
{
    const QString input = args.value(0, currentInput());
    if (args.size() > 1 || (input != QLatin1String("0") && input != QLatin1String("1"))) {
        reply(answer({QStringLiteral("Wrong parameter")}));
        return;
    }
    m_edidInput = input.toInt();
    setLineMode(false);
    m_edidReceiver.start();
}

// ---- EDID readout ---------------------------------------------------------------------------

void ScalerSim::setEdid(int input, const QByteArray& bytes)
{
    runOnSimThread([&] { m_edids[input] = bytes; });
}

void ScalerSim::setEdidUploadScript(const SimYmodemReceiver::Script& script)
{
    runOnSimThread([&] { m_edidReceiver.setScript(script); });
}

SimYmodemReceiver::State ScalerSim::edidUploadState() const
{
    SimYmodemReceiver::State state = SimYmodemReceiver::State::Idle;
    runOnSimThread([&] { state = m_edidReceiver.state(); });
    return state;
}

QList<QByteArray> ScalerSim::edidUploadFrames() const
{
    QList<QByteArray> frames;
    runOnSimThread([&] { frames = m_edidReceiver.frames(); });
    return frames;
}

QByteArray ScalerSim::edid(int input) const
{
    QByteArray copy;
    runOnSimThread([&] { copy = m_edids.value(input, simSampleEdid(70 + input)); });
    return copy;
}

QByteArray ScalerSim::answerEdid(const QStringList& args) const
{
    const int inputs = m_model == Model::Sdi ? 2 : 1;
    QString input = args.value(0);
    if (input.isEmpty())
        input = m_model == Model::Sdi ? currentInput() : QStringLiteral("0");
    bool ok = false;
    const int n = input.toInt(&ok);
    if (!ok || n < 0 || n >= inputs || args.size() > 1)
        return answer({QStringLiteral("Wrong parameter")});
    const QByteArray bytes = m_edids.value(n, simSampleEdid(70 + n));
    if (bytes.isEmpty())
        return answer({QStringLiteral("NO EDID")});
    QStringList lines {QStringLiteral("EDID:")};
    for (int at = 0; at < bytes.size(); at += 16)
        lines << QString::fromLatin1(bytes.mid(at, 16).toHex(' ').toUpper());
    return answer(lines);
}

// ---- Settings as the program sets them ------------------------------------------------------

// The inverse of format(): the argument that makes the unit report what the table holds.
QString ScalerSim::argumentFor(const QString& key) const
{
    const Entry* e = entryFor(key.section(' ', 0, 0));
    if (!e)
        return QString();
    const QString value = m_settings.value(key);
    bool ok = false;
    switch (e->kind) {
    case Kind::Choice: {
        const QStringList list = choices(*e);
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).compare(value, Qt::CaseInsensitive) == 0)
                return QString::number(i);
        }
        return QString();
    }
    case Kind::Number: {
        const int n = value.toInt(&ok);
        return ok ? QString::number(n) : QString();
    }
    case Kind::Scan: {
        if (!value.endsWith('%'))
            return QString();
        const int n = value.chopped(1).toInt(&ok);
        return ok ? QString::number(n) : QString();
    }
    case Kind::Switch:
        if (value == QLatin1String("ON") || value == QLatin1String("OFF"))
            return value == QLatin1String("ON") ? QStringLiteral("1") : QStringLiteral("0");
        return QString();
    case Kind::Phase: {
        if (value == QLatin1String("AUTO"))
            return QStringLiteral("0");
        const int n = value.toInt(&ok);
        return ok ? QString::number(n) : QString();
    }
    case Kind::Timeout: {
        if (value == QLatin1String("OFF"))
            return QStringLiteral("0");
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d+) SECONDS$")).match(value);
        return m.hasMatch() ? m.captured(1) : QString();
    }
    case Kind::EdidMode:
        if (value == QLatin1String("CUSTOM") || value == QLatin1String("INTERNAL"))
            return value == QLatin1String("CUSTOM") ? QStringLiteral("1") : QStringLiteral("0");
        return QString();
    case Kind::ReadOnly:
    case Kind::Preset: break;
    }
    return QString();
}

QString ScalerSim::programValue(const QString& key) const
{
    QString v;
    runOnSimThread([&] { v = argumentFor(key); });
    return v;
}

// ---- Timing presets, line by line ------------------------------------------------------------

namespace {
// The index of the "field = value" line of `field` in a preset's text, -1 when it has none.
int presetLine(const QStringList& lines, const QString& field)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).section(QStringLiteral(" = "), 0, 0) == field)
            return i;
    }
    return -1;
}
} // namespace

QString ScalerSim::presetField(int preset, const QString& field) const
{
    QString v;
    runOnSimThread([&] {
        const QString text = m_settings.value(QStringLiteral("TIMING_PRESET %1").arg(preset));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        const int i = presetLine(lines, field);
        if (i >= 0)
            v = lines.at(i).section(QStringLiteral(" = "), 1);
    });
    return v;
}

void ScalerSim::setPresetField(int preset, const QString& field, const QString& value)
{
    runOnSimThread([&] {
        const QString key = QStringLiteral("TIMING_PRESET %1").arg(preset);
        QStringList lines = m_settings.value(key).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        const QString line = field + QStringLiteral(" = ") + value;
        const int i = presetLine(lines, field);
        if (i >= 0)
            lines[i] = line;
        else
            lines.append(line);
        m_settings[key] = lines.join(QStringLiteral("\r\n"));
    });
}

// ---- Timing preset commands -------------------------------------------------------------------

QByteArray ScalerSim::answerPresetSet(const QString& noun, const QStringList& args)
{
    static const QMap<QString, QString> fields {
        {"PIXEL_CLOCK", "Pixel Clk"},         {"HORZ_SCAN_RATE", "Hor Scan"},
        {"HORZ_SYNC_WIDTH", "Hor Sync W"},    {"HORZ_FRONT_PORCH", "Hor Ft Porch"},
        {"HORZ_ACTIVE", "Hor Active"},        {"HORZ_BACK_PORCH", "Hor Bk Porch"},
        {"HORZ_TOTAL", "Hor Total"},          {"HORZ_SYNC_POLARITY", "Hor Polarity"},
        {"VERT_REFRESH_RATE", "Ver Refresh"}, {"VERT_SYNC_WIDTH", "Ver Sync W"},
        {"VERT_FRONT_PORCH", "Ver Ft Porch"}, {"VERT_ACTIVE", "Ver Active"},
        {"VERT_BACK_PORCH", "Ver Bk Porch"},  {"VERT_TOTAL", "Ver Total"},
        {"VERT_SYNC_POLARITY", "Ver Polarity"}};
    const auto field = fields.constFind(noun);
    if (field == fields.constEnd())
        return QByteArray();
    const QByteArray wrong = answer({QStringLiteral("Wrong parameter")});
    bool ok = false;
    const int preset = args.value(1).toInt(&ok);
    if (args.size() != 2 || !ok || preset < 0 || preset > 5)
        return wrong;
    QString value = args.at(0);
    static const QRegularExpression number(QStringLiteral("\\A[0-9]+(\\.[0-9]+)?\\z"));
    if (noun.endsWith(QLatin1String("POLARITY"))) {
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return wrong;
        value = value == QLatin1String("1") ? QStringLiteral("+") : QStringLiteral("-");
    } else if (!number.match(value).hasMatch()) {
        return wrong;
    }
    const QString key = QStringLiteral("TIMING_PRESET %1").arg(preset);
    QStringList lines = m_settings.value(key).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QString line = field.value() + QStringLiteral(" = ") + value;
    const int i = presetLine(lines, field.value());
    if (i >= 0)
        lines[i] = line;
    else
        lines.append(line);
    m_settings[key] = lines.join(QStringLiteral("\r\n"));
    m_sets.append(SetRecord {key, args.at(0), line});
    return answer({line});
}
