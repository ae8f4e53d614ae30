#include "zarricksim.h"
#include "simedid.h"

#include <QStringList>

#include <cctype>

// Written from the command protocol alone, sharing nothing with the program's controller code.

namespace {

bool readNumber(const QString& text, int lo, int hi, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

const QString Wrong = QStringLiteral("WRONG_PARAMETER");

} // namespace

ZarrickSim::ZarrickSim(Model model)
    : m_model(model)
{
    setTerminator("\n\r");
    for (int input = 1; input <= inputCount(); ++input) {
        m_modes[input] = m_model == Model::Zarrick ? 2 : 1;
        m_locks[input] = false;
    }
    if (m_model == Model::Zarrick) {
        for (int n = 1; n <= 2; ++n)
            m_edids[QStringLiteral("INTERNAL %1").arg(n)] = sampleEdid(n);
        m_edids["EXTERNAL"] = sampleEdid(40);
    } else {
        for (int n = 1; n <= 3; ++n)
            m_edids[QStringLiteral("INTERNAL %1").arg(n)] = sampleEdid(n);
        for (int out = 1; out <= 4; ++out)
            m_edids[QStringLiteral("EXTERNAL %1").arg(out)] = sampleEdid(40 + out);
    }
}

ZarrickSim::~ZarrickSim()
{
    stop();
}

QString ZarrickSim::modelName(Model model)
{
    return model == Model::Zarrick ? QStringLiteral("Zarrick") : QStringLiteral("Cavrosh");
}

bool ZarrickSim::start(quint16 port)
{
    return startTcp(port);
}

QByteArray ZarrickSim::sampleEdid(int seed)
{
    return simSampleEdid(seed);
}

// ---- Test access ----------------------------------------------------------------------------

int ZarrickSim::edidMode(int input) const
{
    int mode = 0;
    runOnSimThread([&] { mode = m_modes.value(input); });
    return mode;
}

void ZarrickSim::setEdidMode(int input, int mode)
{
    runOnSimThread([&] { m_modes[input] = mode; });
}

bool ZarrickSim::edidLocked(int input) const
{
    bool locked = false;
    runOnSimThread([&] { locked = m_locks.value(input); });
    return locked;
}

void ZarrickSim::setEdidLocked(int input, bool locked)
{
    runOnSimThread([&] { m_locks[input] = locked; });
}

QString ZarrickSim::firmwareVersion() const
{
    QString v;
    runOnSimThread([&] { v = m_version; });
    return v;
}

void ZarrickSim::setFirmwareVersion(const QString& version)
{
    runOnSimThread([&] { m_version = version; });
}

void ZarrickSim::setEdid(const QString& slot, const QByteArray& bytes)
{
    runOnSimThread([&] {
        if (bytes.isEmpty())
            m_edids.remove(slot);
        else
            m_edids[slot] = bytes;
    });
}

QByteArray ZarrickSim::edid(const QString& slot) const
{
    QByteArray copy;
    runOnSimThread([&] { copy = m_edids.value(slot); });
    return copy;
}

void ZarrickSim::setEdidHeadings(bool headings)
{
    runOnSimThread([&] { m_edidHeadings = headings; });
}

void ZarrickSim::setReplySegments(const QList<int>& sizes, int gapMs)
{
    runOnSimThread([&] {
        m_segments.clear();
        for (int size : sizes) {
            if (size > 0)
                m_segments.append(size);
        }
        m_segmentGapMs = gapMs;
    });
}

// ---- The unit -------------------------------------------------------------------------------

QString ZarrickSim::respondEdid(const QString& noun, const QStringList& args) const
{
    if (args.size() > 1)
        return Wrong;
    QString slot = noun.left(noun.size() - int(qstrlen("_EDID")));
    if (!args.isEmpty())
        slot += ' ' + args.at(0);
    if (slot != QLatin1String("INTERNAL") && !slot.startsWith(QLatin1String("INTERNAL "))
        && !slot.startsWith(QLatin1String("EXTERNAL")) && !slot.startsWith(QLatin1String("CUSTOM")))
        return QStringLiteral("WRONG_COMMAND");
    const QByteArray bytes = m_edids.value(slot);
    if (!bytes.isEmpty() && m_edidHeadings) {
        // "Internal EDID 1:", "External EDID:", "Custom EDID 2:", then the digits in lines of 32.
        const QStringList parts = slot.split(' ');
        QString text = parts.at(0).left(1) + parts.at(0).mid(1).toLower() + QStringLiteral(" EDID");
        if (parts.size() > 1)
            text += ' ' + parts.at(1);
        text += ':';
        const QString hex = QString::fromLatin1(bytes.toHex().toUpper());
        for (int at = 0; at < hex.size(); at += 32)
            text += QStringLiteral("\n\r") + hex.mid(at, 32);
        return text;
    }
    if (!bytes.isEmpty())
        return QString::fromLatin1(bytes.toHex().toUpper());
    const bool customSlot = m_model == Model::Zarrick
        ? slot.startsWith(QLatin1String("CUSTOM ")) && QStringList {"1", "2", "3", "4"}.contains(args.value(0))
        : slot == QLatin1String("CUSTOM");
    return customSlot ? QStringLiteral("NO USER") : Wrong;
}

QString ZarrickSim::respondZarrick(const QString& word, const QStringList& args)
{
    int input = 0;
    int value = 0;
    if (word == QLatin1String("#GET_EDID_MODE")) {
        if (args == QStringList {QStringLiteral("0")})
            return QStringLiteral("EDID_MODE ALL %1 %2 %3 %4")
                .arg(m_modes.value(1)).arg(m_modes.value(2)).arg(m_modes.value(3)).arg(m_modes.value(4));
        if (args.size() != 1 || !readNumber(args.at(0), 1, 4, &input))
            return Wrong;
        return QStringLiteral("INPUT %1 EDID_MODE %2").arg(input).arg(m_modes.value(input));
    }
    if (word == QLatin1String("#SET_EDID_MODE")) {
        if (args.size() != 2 || !readNumber(args.at(0), 1, 4, &input) || !readNumber(args.at(1), 1, 4, &value))
            return Wrong;
        m_modes[input] = value;
        return QStringLiteral("INPUT %1 EDID_MODE SET %2").arg(input).arg(value);
    }
    if (word == QLatin1String("#GET_EDID_LOCK")) {
        if (args == QStringList {QStringLiteral("0")})
            return QStringLiteral("EDID_LOCK ALL %1 %2 %3 %4")
                .arg(int(m_locks.value(1))).arg(int(m_locks.value(2))).arg(int(m_locks.value(3)))
                .arg(int(m_locks.value(4)));
        if (args.size() != 1 || !readNumber(args.at(0), 1, 4, &input))
            return Wrong;
        return QStringLiteral("INPUT %1 EDID_LOCK %2").arg(input).arg(m_locks.value(input) ? 1 : 0);
    }
    if (word == QLatin1String("#SET_EDID_LOCK")) {
        if (args.size() != 2 || !readNumber(args.at(0), 1, 4, &input) || !readNumber(args.at(1), 0, 1, &value))
            return Wrong;
        m_locks[input] = value == 1;
        return QStringLiteral("INPUT %1 EDID_LOCK SET %2").arg(input).arg(value);
    }
    if (word == QLatin1String("#GET_FIRMWARE_VERSION") && args.isEmpty())
        return QStringLiteral("FIRMWARE VERSION IS ") + m_version;
    return QStringLiteral("WRONG_COMMAND");
}

QString ZarrickSim::respondCavrosh(const QString& word, const QStringList& args)
{
    int value = 0;
    if (word == QLatin1String("#GET_EDID_MODE")) {
        if (!args.isEmpty())
            return Wrong;
        return QStringLiteral("EDID_MODE IS %1").arg(m_modes.value(1));
    }
    if (word == QLatin1String("#SET_EDID_MODE")) {
        if (args.size() != 1 || !readNumber(args.at(0), 1, 8, &value))
            return Wrong;
        m_modes[1] = value;
        return QStringLiteral("EDID_MODE SET TO %1").arg(value);
    }
    if (word == QLatin1String("#GET_EDID_LOCK")) {
        if (!args.isEmpty())
            return Wrong;
        return QStringLiteral("EDID_LOCK IS %1").arg(m_locks.value(1) ? 1 : 0);
    }
    if (word == QLatin1String("#SET_EDID_LOCK")) {
        if (args.size() != 1 || !readNumber(args.at(0), 0, 1, &value))
            return Wrong;
        m_locks[1] = value == 1;
        return QStringLiteral("EDID_LOCK SET TO %1").arg(value);
    }
    if (word == QLatin1String("#GET_FIRMWARE_VERSION") && args.isEmpty())
        return QStringLiteral("CAVROSH FIRMWARE VERSION IS ") + m_version;
    return QStringLiteral("WRONG_COMMAND");
}

QString ZarrickSim::respond(const QString& line)
{
    const QStringList words = line.split(' ', Qt::SkipEmptyParts);
    const QString word = words.value(0);
    const QStringList args = words.mid(1);
    if (word.startsWith(QLatin1String("#GET_")) && word.endsWith(QLatin1String("_EDID")))
        return respondEdid(word.mid(5), args);
    if (word == QLatin1String("#SEND_CUSTOM_EDID"))
        return respondUpload(args);
    return m_model == Model::Zarrick ? respondZarrick(word, args) : respondCavrosh(word, args);
}

// ---- Custom-EDID upload ---------------------------------------------------------------------

QByteArray ZarrickSim::lastUploadText() const
{
    QByteArray copy;
    runOnSimThread([&] { copy = m_lastUploadText; });
    return copy;
}

void ZarrickSim::setUploadFailure(bool failing)
{
    runOnSimThread([&] { m_uploadFailure = failing; });
}

// Ready for the data when the addressed input takes a custom EDID: custom mode, unlocked.
QString ZarrickSim::respondUpload(const QStringList& args)
{
    int input = 1;
    if (m_model == Model::Zarrick) {
        if (args.size() != 1 || !readNumber(args.at(0), 1, 4, &input))
            return Wrong;
    } else if (!args.isEmpty()) {
        return Wrong;
    }
    const int customMode = m_model == Model::Zarrick ? 4 : 8;
    if (m_modes.value(input) != customMode || m_locks.value(input))
        return Wrong;
    m_uploadSlot = m_model == Model::Zarrick ? QStringLiteral("CUSTOM %1").arg(input) : QStringLiteral("CUSTOM");
    m_uploadText.clear();
    setLineMode(false);
    const quint64 number = ++m_uploadNumber;
    schedule(2000, [this, number] {
        if (number == m_uploadNumber && !m_uploadSlot.isEmpty())
            finishUpload(false);
    });
    return QStringLiteral("SEND_CUSTOM_EDID READY");
}

void ZarrickSim::handleBytes(const QByteArray& data)
{
    if (m_uploadSlot.isEmpty()) {
        SimDevice::handleBytes(data);
        return;
    }
    for (char c : data) {
        if (!isxdigit(uchar(c))) {
            finishUpload(false);
            return;
        }
        m_uploadText.append(c);
    }
    if (m_uploadText.size() < 256)
        return;
    const int extensions = quint8(QByteArray::fromHex(m_uploadText.left(256)).at(126));
    const int digits = 256 * (1 + extensions);
    if (extensions > 1 || m_uploadText.size() > digits)
        finishUpload(false);
    else if (m_uploadText.size() == digits)
        finishUpload(true);
}

void ZarrickSim::finishUpload(bool stored)
{
    stored = stored && !m_uploadFailure;
    if (stored)
        m_edids[m_uploadSlot] = QByteArray::fromHex(m_uploadText);
    m_lastUploadText = m_uploadText;
    m_uploadSlot.clear();
    m_uploadText.clear();
    setLineMode(true);
    answer(stored ? QStringLiteral("SEND_COMPLETE") : QStringLiteral("SEND_FAILED"));
}

// ---- Answers --------------------------------------------------------------------------------

bool ZarrickSim::handleLine(const QByteArray& raw)
{
    answer(respond(QString::fromLatin1(raw).trimmed()));
    return true;
}

void ZarrickSim::answer(const QString& text)
{
    const QByteArray data = (text + QStringLiteral("\n\r>")).toLatin1();
    int offset = 0;
    for (int size : m_segments) {
        if (offset >= data.size())
            break;
        reply(data.mid(offset, size), offset == 0 ? 0 : m_segmentGapMs);
        offset += size;
    }
    if (offset < data.size())
        reply(data.mid(offset), offset == 0 ? 0 : m_segmentGapMs);
}
