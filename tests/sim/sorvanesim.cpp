#include "sorvanesim.h"

namespace {

const char SOH = 0x01, STX = 0x02, EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18;

quint16 crc16(const QByteArray& data)
{
    quint16 crc = 0;
    for (char c : data) {
        crc ^= quint16(quint8(c)) << 8;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

QByteArray hexPair(quint8 b)
{
    return QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
}

} // namespace

SorvaneSim::SorvaneSim(int type)
    : m_type(type)
{
    setTerminator("\r");
    m_settings = {{"eq", 0}, {"de", 0}, {"cdr", 0}, {"mask", 0}, {"ddc", 1}};
    m_receiver.send = [this](const QByteArray& bytes) { reply(bytes); };
    m_receiver.ended = [this] {
        if (m_receiver.state() == SimYmodemReceiver::State::Done)
            m_edids[m_receiveStore] = m_receiver.data();
        m_receiving = false;
        setLineMode(true);
        ++m_transfers;
    };
    if (type == 7)
        m_monitor = std::make_unique<HDBaseTStream>(*this);
    SimYmodemReceiver::Script script;
    script.requestAfterEot = false;
    script.completionText = QByteArrayLiteral("\r\nDownload successfully\r\n>");
    m_receiver.setScript(script);
}

SorvaneSim::~SorvaneSim()
{
    stop();
}

QString SorvaneSim::description(int type)
{
    switch (type) {
    case 1: return QStringLiteral("DP-Sorvane Plus");
    case 2: return QStringLiteral("HDMI 1.4 Sorvane Booster");
    case 3: return QStringLiteral("HDMI-1.3-Sorvane");
    default: return QStringLiteral("HDBaseT Pair Unit");
    }
}

bool SorvaneSim::start(const QString& description)
{
    SerialPortEntry id;
    m_description = description;
    id.portName = m_stableName;
    id.description = description.isEmpty() ? SorvaneSim::description(m_type) : description;
    id.manufacturer = QStringLiteral("Velmo");
    id.vendorId = 0x0403;
    id.hasVendorId = true;
    id.productId = 0x6001;
    id.hasProductId = true;
    return startPty(id);
}

void SorvaneSim::setStablePortName(const QString& path)
{
    m_stableName = path;
}

void SorvaneSim::unplug()
{
    stop();
    runOnSimThread([&] {
        m_fwPhase = Fw::Off;
        m_fwBuffer.clear();
        setLineMode(true);
    });
}

bool SorvaneSim::plugIn()
{
    return start(m_description);
}

void SorvaneSim::setFirmwareScripts(const QList<FirmwareScript>& scripts)
{
    runOnSimThread([&] { m_fwScripts = scripts.isEmpty() ? QList<FirmwareScript>{FirmwareScript()} : scripts; });
}

QList<SorvaneSim::FirmwareFile> SorvaneSim::firmwareFiles() const
{
    QList<FirmwareFile> files;
    runOnSimThread([&] { files = m_fwFiles; });
    return files;
}

bool SorvaneSim::monitoring() const
{
    bool running = false;
    runOnSimThread([&] { running = m_monitor && m_monitor->isRunning(); });
    return running;
}

int SorvaneSim::firmwareCancels() const
{
    int n = 0;
    runOnSimThread([&] { n = m_fwCancels; });
    return n;
}

void SorvaneSim::setVersion(const QString& version)
{
    runOnSimThread([&] { m_version = version; });
}

void SorvaneSim::setEdid(const QString& store, const QByteArray& edid)
{
    runOnSimThread([&] { m_edids[store] = edid; });
}

QByteArray SorvaneSim::edid(const QString& store) const
{
    QByteArray e;
    runOnSimThread([&] { e = m_edids.value(store); });
    return e;
}

int SorvaneSim::setting(const QString& key) const
{
    int v = 0;
    runOnSimThread([&] { v = m_settings.value(key); });
    return v;
}

void SorvaneSim::setSetting(const QString& key, int value)
{
    runOnSimThread([&] { m_settings[key] = value; });
}

void SorvaneSim::setSendScript(const SendScript& script)
{
    runOnSimThread([&] { m_sendScript = script; });
}

void SorvaneSim::setReceiveScript(const SimYmodemReceiver::Script& script)
{
    runOnSimThread([&] { m_receiver.setScript(script); });
}

void SorvaneSim::setInvalidFor(const QByteArray& commandPrefix, int times)
{
    runOnSimThread([&] { m_invalid[commandPrefix] = times; });
}

int SorvaneSim::transfers() const
{
    return m_transfers;
}

void SorvaneSim::answer(const QByteArray& text)
{
    reply(text + "\r\n>");
}

QByteArray SorvaneSim::dump(const QByteArray& edid) const
{
    QByteArray out;
    if (m_type == 1) {
        for (int i = 0; i < 7; ++i)
            out += "EDID dump heading line " + QByteArray::number(i + 1) + "\r\n";
    }
    for (int offset = 0; offset < edid.size(); offset += 16) {
        QByteArray line;
        if (m_type == 1)
            line = hexPair(quint8(offset >> 8)) + hexPair(quint8(offset)) + ":";
        for (int i = offset; i < offset + 16 && i < edid.size(); ++i)
            line += (line.isEmpty() ? "" : " ") + hexPair(quint8(edid.at(i)));
        out += line + "\r\n";
    }
    return out;
}

bool SorvaneSim::handleLine(const QByteArray& line)
{
    reply(line + "\r\n"); // the echo
    for (auto it = m_invalid.begin(); it != m_invalid.end(); ++it) {
        if (line.startsWith(it.key()) && it.value() > 0) {
            --it.value();
            answer("Invalid command");
            return true;
        }
    }
    const QList<QByteArray> words = line.simplified().split(' ');
    const QByteArray command = words.value(0);
    const bool hasArg = words.size() > 1;
    const int arg = words.value(1).toInt();
    auto set = [&](const char* key, int low, int high) {
        if (!hasArg || arg < low || arg > high)
            return answer("Invalid value");
        m_settings[key] = arg;
        answer("OK");
    };
    const int banks = m_type == 1 ? 7 : 6;

    if (command == "#show_ver_data") {
        answer("Velmo EDID Sorvane\r\nRelease version: " + m_version.toLatin1() + "\r\nBuild date 2024");
    } else if (command == "#v2kver" && m_type == 7) {
        answer("3.4 build 7");
    } else if (command == "#rdstatus" && m_type == 7 && arg == 1) {
        const bool receiver = m_description.contains(QLatin1String("-R"));
        m_monitor->start(
            [receiver](int) {
                HDBaseTCycle cycle;
                cycle.receiver = receiver;
                return cycle;
            },
            1000, HDBaseTStream::Chunking::LinePerWrite);
    } else if (command == "a" && m_type == 7) {
        m_monitor->stop();
    } else if (command == "#ddcmode" && m_type != 1) {
        if (hasArg)
            return set("ddc", 1, 3), true;
        const int ddc = m_settings.value("ddc");
        answer(ddc == 1 ? "DDC mode: Local HDCP Enable" : ddc == 2 ? "DDC mode: Local HDCP Disable" : "DDC mode: Pass Through");
    } else if (command == "#eqstat" && m_type == 2) {
        answer("EQ level " + QByteArray::number(m_settings.value("eq")) + ",\r\nCDR " + (m_settings.value("cdr") ? "on" : "off")
               + "\r\nDE level " + QByteArray::number(m_settings.value("de")) + ",");
    } else if (command == "#eq" && m_type == 2) {
        set("eq", 0, 7);
    } else if (command == "#de" && m_type == 2) {
        set("de", 0, 3);
    } else if (command == "#cdr" && m_type == 2) {
        set("cdr", 0, 1);
    } else if (command == "#maskout" && m_type == 2) {
        if (hasArg)
            return set("mask", 0, 1), true;
        answer(m_settings.value("mask") ? "Video output masked" : "Video output activated");
    } else if (command == "#vstat" && m_type == 2) {
        answer("Input: 1920x1080p60\r\nOutput: active");
    } else if (command == "#fadefault") {
        m_settings = {{"eq", 0}, {"de", 0}, {"cdr", 0}, {"mask", 0}, {"ddc", 1}};
        answer("Factory defaults set");
    } else if (command == "#prloedid" || command == "#prdsedid" || command == "#prbaedid") {
        QString store = command == "#prloedid" ? "LOCAL" : command == "#prdsedid" ? "DS" : QString("BANK %1").arg(arg);
        if (command == "#prbaedid" && (arg < 1 || arg > banks))
            return answer("Invalid bank"), true;
        const QByteArray edid = m_edids.value(store);
        if (edid.isEmpty())
            answer(store == "DS" ? "Sink not detected" : "EDID empty");
        else
            answer(dump(edid));
    } else if (command == "#ediddstolo" || command == "#ediddstoba" || command == "#edidbatolo"
               || command == "#ediddetolo") {
        QString from, to = QStringLiteral("LOCAL");
        if (command == "#ediddstolo") {
            from = "DS";
        } else if (command == "#ediddstoba") {
            from = "DS";
            to = QString("BANK %1").arg(arg);
            if (arg < 1 || arg > banks)
                return answer("Invalid bank"), true;
        } else if (command == "#edidbatolo") {
            from = QString("BANK %1").arg(arg);
            if (arg < 1 || arg > banks)
                return answer("Invalid bank"), true;
        } else {
            from = QString("DEFAULT %1").arg(hasArg ? arg : 1);
        }
        if (m_edids.value(from).isEmpty())
            return answer("Source EDID empty"), true;
        m_edids[to] = m_edids.value(from);
        answer("EDID copied");
    } else if (command == "#saveloedid") {
        m_file = m_edids.value("LOCAL");
        m_blockSize = m_file.size() >= 1024 ? 1024 : 128;
        m_block = 0;
        m_duplicated = m_corrupted = false;
        m_send = Send::WaitC0;
        setLineMode(false);
        reply("W");
    } else if (command == "#loedidtolo" || command == "#loedidtoba") {
        if (command == "#loedidtoba" && (arg < 1 || arg > banks))
            return answer("Invalid bank"), true;
        m_receiveStore = command == "#loedidtolo" ? QStringLiteral("LOCAL") : QString("BANK %1").arg(arg);
        m_receiving = true;
        setLineMode(false);
        m_receiver.start();
    } else if (command == "#fw_upgrade") {
        startFirmware();
    } else {
        answer("Invalid command");
    }
    return true;
}

QByteArray SorvaneSim::frame(quint8 number, const QByteArray& data, bool corrupt) const
{
    const int size = data.size() > 128 ? 1024 : 128;
    QByteArray padded = data;
    padded.append(QByteArray(size - data.size(), number == 0 ? '\0' : char(0x1A)));
    QByteArray f;
    f.append(size == 1024 ? STX : SOH);
    f.append(char(number));
    f.append(char(0xFF - number));
    f.append(padded);
    quint16 crc = crc16(padded);
    if (corrupt)
        crc ^= 0x5A5A;
    f.append(char(crc >> 8));
    f.append(char(crc & 0xFF));
    return f;
}

void SorvaneSim::sendBlock()
{
    if (m_sendScript.silentAfterBlock >= 0 && m_block > m_sendScript.silentAfterBlock) {
        m_send = Send::Off; // gone quiet, stays in its transfer
        return;
    }
    const int offset = (m_block - 1) * m_blockSize;
    if (offset >= m_file.size()) {
        m_send = Send::WaitAckEot;
        reply(QByteArray(1, EOT));
        return;
    }
    const bool corrupt = m_block == m_sendScript.corruptBlock && !m_corrupted;
    m_corrupted = m_corrupted || corrupt;
    QByteArray data = m_file.mid(offset, m_blockSize);
    if (m_blockSize == 1024 && data.size() <= 128)
        data.append(QByteArray(129 - data.size(), char(0x1A))); // keep it a 1K block
    reply(frame(quint8(m_block), data, corrupt));
    if (m_block == m_sendScript.duplicateBlock && !m_duplicated) {
        m_duplicated = true;
        reply(frame(quint8(m_block), data));
    }
    m_send = Send::WaitAckBlock;
}

void SorvaneSim::handleBytes(const QByteArray& data)
{
    if (m_fwPhase != Fw::Off) {
        feedFirmware(data);
        return;
    }
    if (m_receiving) {
        m_receiver.feed(data);
        return;
    }
    sendFeed(data);
}

void SorvaneSim::sendFeed(const QByteArray& data)
{
    for (char c : data) {
        if (c == 0x18) { // the receiver gave up: back to the command line
            m_send = Send::Off;
            setLineMode(true);
            return;
        }
        switch (m_send) {
        case Send::Off: break;
        case Send::WaitC0:
            if (c == 'C') {
                QByteArray header = "edid.bin";
                header.append('\0');
                header.append(m_sendScript.sizeText.isEmpty() ? QByteArray::number(m_file.size()) : m_sendScript.sizeText);
                header.append('\0');
                reply(frame(0, header));
                m_send = Send::WaitAck0;
            }
            break;
        case Send::WaitAck0:
            if (c == ACK)
                m_send = Send::WaitC1;
            break;
        case Send::WaitC1:
            if (c == 'C') {
                m_block = 1;
                sendBlock();
            }
            break;
        case Send::WaitAckBlock:
            if (c == ACK) {
                ++m_block;
                sendBlock();
            } else if (c == NAK) {
                sendBlock();
            }
            break;
        case Send::WaitAckEot:
            if (c == ACK)
                m_send = Send::WaitEnding;
            else if (c == NAK)
                reply(QByteArray(1, EOT));
            break;
        case Send::WaitEnding:
            if (c == 'C') {
                reply(m_sendScript.finalEot ? QByteArray(1, EOT) : frame(0, QByteArray()));
                m_send = Send::WaitAckEnding;
            }
            break;
        case Send::WaitAckEnding:
            if (c == ACK)
                finishTransfer();
            break;
        }
    }
}

void SorvaneSim::finishTransfer()
{
    m_send = Send::Off;
    setLineMode(true);
    ++m_transfers;
}

// ---- Firmware receiver ----------------------------------------------------------------------

void SorvaneSim::startFirmware()
{
    m_fw = m_fwScripts.value(qMin(m_fwFiles.size(), m_fwScripts.size() - 1));
    m_fwFiles.append(FirmwareFile());
    m_fwPhase = Fw::Header;
    m_fwGone = false;
    m_fwBuffer.clear();
    m_fwBlocks = 0;
    setLineMode(false);
    reply(m_fw.greeting);
    if (m_fw.request)
        askForHeader(0);
}

void SorvaneSim::askForHeader(int asked)
{
    if (m_fwPhase != Fw::Header || m_fwGone || asked >= m_fw.requestRepeats)
        return;
    push("C");
    const int transfer = m_fwFiles.size();
    schedule(m_fw.requestIntervalMs, [this, asked, transfer] {
        if (m_fwFiles.size() == transfer)
            askForHeader(asked + 1);
    });
}

bool SorvaneSim::firmwareFault(int key)
{
    if (key == m_fw.silentAt)
        m_fwGone = true;
    if (key == m_fw.vanishAt) {
        m_fwGone = true;
        schedule(0, [this] { disconnectAll(); });
    }
    if (m_fwGone)
        return true;
    if (key == m_fw.cancelAt) {
        reply(QByteArray(2, CAN));
        endFirmware();
        return true;
    }
    auto it = m_fw.nak.find(key);
    if (it != m_fw.nak.end() && it.value() > 0) {
        --it.value();
        ++m_fwFiles.last().naks;
        reply(QByteArray(1, NAK));
        return true;
    }
    return false;
}

void SorvaneSim::endFirmware()
{
    m_fwPhase = Fw::Off;
    m_fwBuffer.clear();
    setLineMode(true);
}

void SorvaneSim::feedFirmware(const QByteArray& data)
{
    m_fwBuffer.append(data);
    while (!m_fwBuffer.isEmpty() && m_fwPhase != Fw::Off) {
        if (m_fwGone) {
            m_fwBuffer.clear();
            return;
        }
        const char start = m_fwBuffer.at(0);
        if (start == CAN) {
            if (m_fwBuffer.size() < 2)
                return;
            if (m_fwBuffer.at(1) == CAN) {
                ++m_fwCancels;
                endFirmware();
                return;
            }
        }
        if (start == EOT) {
            m_fwBuffer.remove(0, 1);
            if (m_fwPhase == Fw::Header) {
                m_fwFiles.last().errors << QStringLiteral("EOT before block 0");
                continue;
            }
            if (m_fwPhase == Fw::Closing) { // our ACK went missing
                reply(QByteArray(1, ACK));
                continue;
            }
            if (firmwareFault(Eot))
                continue;
            m_fwPhase = Fw::Closing;
            reply(QByteArray(1, ACK) + (m_fw.requestAfterEot ? QByteArray("C") : QByteArray()));
            continue;
        }
        if (start != SOH && start != STX) {
            m_fwBuffer.remove(0, 1);
            continue;
        }
        const int length = (start == STX ? 1024 : 128) + 5;
        if (m_fwBuffer.size() < length)
            return;
        const QByteArray frame = m_fwBuffer.left(length);
        m_fwBuffer.remove(0, length);
        firmwareFrame(frame);
    }
}

void SorvaneSim::firmwareFrame(const QByteArray& frame)
{
    FirmwareFile& file = m_fwFiles.last();
    const int size = frame.size() - 5;
    const quint8 number = quint8(frame.at(1));
    const QByteArray payload = frame.mid(3, size);
    const quint16 crc = quint16(quint8(frame.at(size + 3)) << 8 | quint8(frame.at(size + 4)));
    auto refuse = [&](const QString& why) {
        file.errors << why;
        ++file.naks;
        reply(QByteArray(1, NAK));
    };
    if (quint8(frame.at(2)) != quint8(0xFF - number))
        return refuse(QStringLiteral("block %1: complement").arg(number));
    if (crc != crc16(payload))
        return refuse(QStringLiteral("block %1: CRC").arg(number));

    switch (m_fwPhase) {
    case Fw::Header: {
        if (number != 0 || size != 128)
            return refuse(QStringLiteral("block 0 expected"));
        if (firmwareFault(0))
            return;
        const int nul = payload.indexOf('\0');
        const int end = payload.indexOf('\0', nul + 1);
        bool ok = false;
        file.name = QString::fromUtf8(payload.left(nul));
        file.size = payload.mid(nul + 1, end - nul - 1).toLongLong(&ok);
        if (nul <= 0 || end < 0 || !ok)
            file.errors << QStringLiteral("block 0: name or size unreadable");
        else if (payload.mid(end).count('\0') != payload.size() - end)
            file.errors << QStringLiteral("block 0: not zeros after the size");
        m_fwPhase = Fw::Data;
        reply(QByteArray(1, ACK) + (m_fw.requestAfterHeader ? QByteArray("C") : QByteArray()));
        return;
    }
    case Fw::Data:
        if (size != 1024)
            return refuse(QStringLiteral("block %1: not a 1024-byte block").arg(number));
        if (number == quint8(m_fwBlocks)) {
            ++file.repeats;
            reply(QByteArray(1, ACK));
            return;
        }
        if (number != quint8(m_fwBlocks + 1))
            return refuse(QStringLiteral("block %1 where %2 was due").arg(number).arg(quint8(m_fwBlocks + 1)));
        if (firmwareFault(m_fwBlocks + 1))
            return;
        ++m_fwBlocks;
        file.data.append(payload);
        reply(QByteArray(1, ACK));
        return;
    case Fw::Closing:
        if (number != 0 || size != 128 || payload.count('\0') != 128)
            return refuse(QStringLiteral("empty block 0 expected"));
        if (firmwareFault(Closing))
            return;
        if (file.data.size() < file.size)
            file.errors << QStringLiteral("%1 bytes of %2 came").arg(file.data.size()).arg(file.size);
        else if (file.data.size() - file.size >= 1024)
            file.errors << QStringLiteral("a block past the size");
        else if (file.data.mid(int(file.size)).count(char(0x1A)) != file.data.size() - file.size)
            file.errors << QStringLiteral("the last block not padded with 0x1A");
        file.data.truncate(int(file.size));
        file.complete = true;
        if (m_fw.ackClosing)
            reply(QByteArray(1, ACK));
        endFirmware();
        programmingOutput(0);
        return;
    case Fw::Off: return;
    }
}

void SorvaneSim::programmingOutput(int line)
{
    const int transfer = m_fwFiles.size();
    if (m_fw.progressLines < 0 || line < m_fw.progressLines) {
        schedule(m_fw.progressIntervalMs, [this, line, transfer] {
            if (m_fwFiles.size() != transfer)
                return;
            push(m_fw.progressLine);
            programmingOutput(line + 1);
        });
        return;
    }
    if (m_fw.restartText.isEmpty())
        return;
    if (m_fw.restartCharGapMs <= 0) {
        schedule(m_fw.progressIntervalMs, [this, transfer] {
            if (m_fwFiles.size() == transfer)
                push(m_fw.restartText);
        });
        return;
    }
    pushRestart(0);
}

void SorvaneSim::pushRestart(int from)
{
    if (from >= m_fw.restartText.size())
        return;
    const int transfer = m_fwFiles.size();
    schedule(m_fw.restartCharGapMs, [this, from, transfer] {
        if (m_fwFiles.size() != transfer)
            return;
        push(m_fw.restartText.mid(from, 1));
        pushRestart(from + 1);
    });
}
