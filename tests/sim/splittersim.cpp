#include "splittersim.h"

#include "simedid.h"

#include <QRegularExpression>

SplitterSim::SplitterSim(Model model)
    : m_model(model)
{
    setTerminator("\r");
    resetSettings();
    for (int i = 0; i < 7; ++i)
        m_presets.append(simSampleEdid(100 + i));
    m_ext = simSampleEdid(200);
    for (int k = 1; k <= outputCount(model); ++k)
        m_ds.append(simSampleEdid(300 + k));
}

SplitterSim::~SplitterSim()
{
    stop();
}

QString SplitterSim::modelName(Model model)
{
    switch (model) {
    case Model::Farrund: return QStringLiteral("Farrund");
    case Model::Harlisk: return QStringLiteral("Harlisk");
    case Model::Jorvale: return QStringLiteral("Jorvale");
    }
    return {};
}

int SplitterSim::outputCount(Model model)
{
    switch (model) {
    case Model::Farrund: return 2;
    case Model::Harlisk: return 4;
    case Model::Jorvale: return 8;
    }
    return 0;
}

bool SplitterSim::start()
{
    SerialPortEntry id;
    id.description = modelName(m_model) + QStringLiteral(" HDMI Splitter");
    id.manufacturer = QStringLiteral("Velmo");
    id.vendorId = 0x0483;
    id.hasVendorId = true;
    id.productId = 0x5740;
    id.hasProductId = true;
    return start(id);
}

bool SplitterSim::start(const SerialPortEntry& identity)
{
    SerialPortEntry id = identity;
    if (!m_stableName.isEmpty())
        id.portName = m_stableName;
    return startPty(id);
}

void SplitterSim::setStablePortName(const QString& path)
{
    m_stableName = path;
}

void SplitterSim::resetSettings()
{
    m_inputHdcp = 1;
    m_outputHdcp = QList<int>();
    for (int k = 0; k < outputCount(m_model); ++k)
        m_outputHdcp.append(0);
    m_edidMode = 1;
    m_input = QStringList{QStringLiteral("Y"), QStringLiteral("U"), QStringLiteral("H"), QStringLiteral("H")};
    m_outHpd.clear();
    m_outHdcp.clear();
    m_outRsense.clear();
    for (int k = 0; k < outputCount(m_model); ++k) {
        m_outHpd.append(QStringLiteral("H"));
        m_outHdcp.append(QStringLiteral("U"));
        m_outRsense.append(QStringLiteral("H"));
    }
}

void SplitterSim::answer(const QByteArray& line, const QString& words)
{
    QByteArray out = m_leading;
    if (m_echo)
        out += line + "\r\n";
    out += words.toLatin1() + "\r\n";
    if (m_prompt)
        out += '>';
    reply(out);
}

bool SplitterSim::handleLine(const QByteArray& rawLine)
{
    const QByteArray line = rawLine.trimmed();
    const QString text = QString::fromLatin1(line);
    const QStringList w = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (w.isEmpty())
        return false;
    const QString cmd = w[0];
    const int n = outputCount(m_model);
    auto number = [&](int i, int lo, int hi, int* out) {
        bool ok = false;
        const int v = w.value(i).toInt(&ok);
        if (!ok || v < lo || v > hi)
            return false;
        *out = v;
        return true;
    };
    auto hex = [](const QByteArray& bytes) {
        return bytes.isEmpty() ? QStringLiteral("NO_EDID") : QString::fromLatin1(bytes.toHex().toUpper());
    };
    const QString wrongParameter = QStringLiteral("WRONG_PARAMETER");
    int a = 0;
    int b = 0;

    if (cmd == QLatin1String("#GET_INPUT_HDCP") && w.size() == 1) {
        answer(line, QStringLiteral("INPUT_HDCP %1").arg(m_inputHdcp));
    } else if (cmd == QLatin1String("#SET_INPUT_HDCP") && w.size() == 2) {
        if (!number(1, 0, 2, &a))
            return answer(line, wrongParameter), true;
        m_inputHdcp = a;
        answer(line, QStringLiteral("INPUT_HDCP %1").arg(a));
    } else if (cmd == QLatin1String("#GET_OUTPUT_HDCP") && w.size() == 2) {
        if (!number(1, 1, n, &a))
            return answer(line, wrongParameter), true;
        answer(line, QStringLiteral("OUTPUT_HDCP %1 %2").arg(a).arg(m_outputHdcp[a - 1]));
    } else if (cmd == QLatin1String("#SET_OUTPUT_HDCP") && w.size() == 3) {
        if (!number(1, 1, n, &a) || !number(2, 0, 1, &b))
            return answer(line, wrongParameter), true;
        m_outputHdcp[a - 1] = b;
        answer(line, QStringLiteral("OUTPUT_HDCP %1 %2").arg(a).arg(b));
    } else if (cmd == QLatin1String("#SET_EDID_MODE") && w.size() == 2) {
        if (!number(1, 1, 8, &a))
            return answer(line, wrongParameter), true;
        m_edidMode = a;
        answer(line, QStringLiteral("EDID_MODE %1").arg(a));
    } else if (cmd == QLatin1String("#GET_EDID_MODE") && w.size() == 1) {
        answer(line, QStringLiteral("EDID_MODE IS %1").arg(m_edidMode));
    } else if (cmd == QLatin1String("#GETS_INPUT_SIGNAL") && w.size() == 1) {
        answer(line, QStringLiteral("INPUT_SIGNAL ") + m_input[0]);
    } else if (cmd == QLatin1String("#GETS_INPUT_HDCP") && w.size() == 1) {
        answer(line, QStringLiteral("INPUT_HDCP ") + m_input[1]);
    } else if (cmd == QLatin1String("#GETS_INPUT_HPD") && w.size() == 1) {
        answer(line, QStringLiteral("INPUT_HPD ") + m_input[2]);
    } else if (cmd == QLatin1String("#GETS_INPUT_MODE") && w.size() == 1) {
        answer(line, QStringLiteral("INPUT_MODE ") + m_input[3]);
    } else if (cmd == QLatin1String("#GETS_OUTPUT_HPD") && w.size() == 2 && w[1] == QLatin1String("0")) {
        answer(line, QStringLiteral("OUTPUT_HPD 0 ") + m_outHpd.join(QLatin1Char(' ')));
    } else if (cmd == QLatin1String("#GETS_OUTPUT_HDCP") && w.size() == 2 && w[1] == QLatin1String("0")) {
        answer(line, QStringLiteral("OUTPUT_HDCP 0 STATE ") + m_outHdcp.join(QLatin1Char(' ')));
    } else if (cmd == QLatin1String("#GETS_OUTPUT_RSENSE") && w.size() == 2 && w[1] == QLatin1String("0")) {
        answer(line, QStringLiteral("OUTPUT_RSENSE 0 ") + m_outRsense.join(QLatin1Char(' ')));
    } else if (cmd == QLatin1String("#GET_FW") && w.size() == 1) {
        answer(line, QStringLiteral("FW ") + m_version);
    } else if (cmd == QLatin1String("#GET_PRESET_EDID") && w.size() == 2) {
        if (!number(1, 0, 6, &a))
            return answer(line, wrongParameter), true;
        answer(line, hex(m_presets[a]));
    } else if (cmd == QLatin1String("#GET_USER_EDID") && w.size() == 1) {
        answer(line, hex(m_user));
    } else if (cmd == QLatin1String("#GET_EXT_EDID") && w.size() == 1) {
        answer(line, hex(m_ext));
    } else if (cmd == QLatin1String("#GET_DS_EDID") && w.size() == 2) {
        if (!number(1, 1, n, &a))
            return answer(line, wrongParameter), true;
        answer(line, hex(m_ds[a - 1]));
    } else if (cmd == QLatin1String("#SET_EDID_COPY") && w.size() == 2) {
        if (!number(1, 1, n, &a) || m_ds[a - 1].isEmpty())
            return answer(line, wrongParameter), true;
        m_user = m_ds[a - 1];
        answer(line, QStringLiteral("EDID_COPY_COMPLETE"));
    } else if (cmd == QLatin1String("#SEND_USER_EDID") && w.size() == 2) {
        static const QRegularExpression hexDigits(QStringLiteral("^[0-9a-fA-F]*$"));
        const QByteArray bytes = QByteArray::fromHex(w[1].toLatin1());
        if (w[1].size() % 2 != 0 || !hexDigits.match(w[1]).hasMatch() || !simEdidBlocksSumToZero(bytes))
            return answer(line, wrongParameter), true;
        m_user = bytes;
        answer(line, QStringLiteral("USER_EDID_RECEIVED"));
    } else if (cmd == QLatin1String("#FACTORY_RESET") && w.size() == 1) {
        resetSettings();
        ++m_resets;
        answer(line, QStringLiteral("FACTORY_RESET_DONE"));
    } else {
        answer(line, QStringLiteral("WRONG_COMMAND"));
    }
    return true;
}

void SplitterSim::setEcho(bool echo) { runOnSimThread([&] { m_echo = echo; }); }
void SplitterSim::setPromptSent(bool sent) { runOnSimThread([&] { m_prompt = sent; }); }
void SplitterSim::setLeadingText(const QByteArray& text) { runOnSimThread([&] { m_leading = text; }); }
void SplitterSim::setFirmwareVersion(const QString& version) { runOnSimThread([&] { m_version = version; }); }

int SplitterSim::inputHdcp() const
{
    int v = 0;
    runOnSimThread([&] { v = m_inputHdcp; });
    return v;
}

void SplitterSim::setInputHdcp(int value) { runOnSimThread([&] { m_inputHdcp = value; }); }

int SplitterSim::outputHdcp(int output) const
{
    int v = -1;
    runOnSimThread([&] { v = m_outputHdcp.value(output - 1, -1); });
    return v;
}

void SplitterSim::setOutputHdcp(int output, int value)
{
    runOnSimThread([&] {
        if (output >= 1 && output <= m_outputHdcp.size())
            m_outputHdcp[output - 1] = value;
    });
}

int SplitterSim::edidMode() const
{
    int v = 0;
    runOnSimThread([&] { v = m_edidMode; });
    return v;
}

void SplitterSim::setEdidMode(int mode) { runOnSimThread([&] { m_edidMode = mode; }); }

void SplitterSim::setStatus(const QString& key, const QStringList& codes)
{
    runOnSimThread([&] {
        static const QStringList inputKeys = {QStringLiteral("SIGNAL"), QStringLiteral("HDCP"), QStringLiteral("HPD"),
                                              QStringLiteral("MODE")};
        const int i = inputKeys.indexOf(key);
        if (i >= 0 && !codes.isEmpty())
            m_input[i] = codes.first();
        else if (key == QLatin1String("OUT_HPD"))
            m_outHpd = codes;
        else if (key == QLatin1String("OUT_HDCP"))
            m_outHdcp = codes;
        else if (key == QLatin1String("OUT_RSENSE"))
            m_outRsense = codes;
    });
}

void SplitterSim::setEdid(const QString& slot, const QByteArray& bytes)
{
    runOnSimThread([&] {
        const QStringList parts = slot.split(QLatin1Char(' '));
        const int i = parts.value(1).toInt();
        if (parts[0] == QLatin1String("PRESET") && i >= 0 && i < m_presets.size())
            m_presets[i] = bytes;
        else if (parts[0] == QLatin1String("USER"))
            m_user = bytes;
        else if (parts[0] == QLatin1String("EXT"))
            m_ext = bytes;
        else if (parts[0] == QLatin1String("DS") && i >= 1 && i <= m_ds.size())
            m_ds[i - 1] = bytes;
    });
}

QByteArray SplitterSim::edid(const QString& slot) const
{
    QByteArray out;
    runOnSimThread([&] {
        const QStringList parts = slot.split(QLatin1Char(' '));
        const int i = parts.value(1).toInt();
        if (parts[0] == QLatin1String("PRESET"))
            out = m_presets.value(i);
        else if (parts[0] == QLatin1String("USER"))
            out = m_user;
        else if (parts[0] == QLatin1String("EXT"))
            out = m_ext;
        else if (parts[0] == QLatin1String("DS"))
            out = m_ds.value(i - 1);
    });
    return out;
}

int SplitterSim::factoryResets() const
{
    int v = 0;
    runOnSimThread([&] { v = m_resets; });
    return v;
}
