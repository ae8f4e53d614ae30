// The scaler controller's EDID transfers against simulated units: the hexadecimal block of every
// family's reply, the generic scalers' "#GET_EDID" read, the Jovaris family's and the TCP units'
// EDID readout for "View" and "Save As", the custom-EDID uploads, and the Zarrick and Cavrosh EDID
// pages (mode, input and lock). Real monitors' EDIDs go to the units and come back unchanged;
// anything that is no EDID is refused with a message and never handed on or written.
#include "plexatest.h"
#include "scalerfixture.h"
#include "constants.h"
#include "edidcorpus.h"
#include "ediddecoder.h"
#include "jovarissim.h"
#include "mybuttongroup.h"
#include "scaler.h"
#include "scalersim.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"
#include "zarricksim.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

// The first corpus EDIDs of 128 and of 256 bytes that a unit would take.
QByteArray corpusEdid(int size)
{
    static QMap<int, QByteArray> found;
    if (!found.contains(size)) {
        EdidCorpus corpus;
        for (const QString& name : corpus.files) {
            const QByteArray bytes = PlexaTest::readFile(corpus.dir.filePath(name));
            if (bytes.size() == size && edidTransferError(bytes).isEmpty()) {
                found[size] = bytes;
                break;
            }
        }
    }
    return found.value(size);
}

QByteArray withBadChecksum(QByteArray edid)
{
    edid[127] = char(edid.at(127) + 1);
    return edid;
}

QByteArray hexText(const QByteArray& bytes)
{
    return bytes.toHex().toUpper();
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void selectSource(Ui_MainUI& ui, const QStringList& entries, int position)
{
    ui.selectEDIDFromDevice->blockSignals(true);
    ui.selectEDIDFromDevice->clear();
    ui.selectEDIDFromDevice->addItems(entries);
    ui.selectEDIDFromDevice->setCurrentIndex(position);
    ui.selectEDIDFromDevice->blockSignals(false);
}

QStringList sourceList(int entries)
{
    QStringList list {QStringLiteral("Select EDID")};
    for (int i = 1; i < entries; ++i)
        list << QStringLiteral("EDID %1").arg(i);
    return list;
}

// A Zarrick or Cavrosh unit on loopback TCP, picked and connected.
struct TcpUnit {
    ScalerFixture f;
    ZarrickSim sim;

    explicit TcpUnit(ZarrickSim::Model model)
        : sim(model)
    {
        if (!sim.start())
            return;
        f.selectProductText(model == ZarrickSim::Model::Zarrick ? QStringLiteral("Zarrick Savrano")
                                                                 : QStringLiteral("Cavrosh Borlune"));
        f.scaler->ipAddress = QStringLiteral("127.0.0.1");
        f.scaler->tcpPort = sim.tcpPort();
        f.scaler->TCPConnect();
    }
    bool connected() const { return f.scaler->tcpSocket->state() == QAbstractSocket::ConnectedState; }
    QPushButton* modeButton(const QString& text) const
    {
        for (QAbstractButton* b : f.scaler->edidModeGroup->buttonGroup()->buttons()) {
            if (b->text() == text)
                return qobject_cast<QPushButton*>(b);
        }
        return nullptr;
    }
    QString checkedMode() const { return f.scaler->edidModeGroup->checkedText(); }
};

// The link is given back and the pages are usable again.
bool linkReleased(const ScalerFixture& f)
{
    return f.scaler->availability == Scaler::AVAILABLE && f.ui.ConfiguratorTabs->isEnabled()
           && f.ui.productCombobox->isEnabled() && !f.scaler->serialPort->isOpen();
}

} // namespace

class TestScalerEdid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        baseFactor = TimeScale::factor();
        QVERIFY2(!corpusEdid(128).isEmpty() && !corpusEdid(256).isEmpty(), "the EDID corpus is missing");
    }
    void init()
    {
        // Exchanges cross threads, ptys and sockets under the sanitizers. The Jovaris family's
        // replies must come within its sender's 300 ms wait, which on a loaded machine takes
        // real time.
        const bool jovaris = QByteArray(QTest::currentTestFunction()).startsWith("jovaris");
        TimeScale::setFactor(qMax(baseFactor, jovaris ? 1.0 : 0.25));
    }

    // ---- The hexadecimal block -------------------------------------------------------------

    // Every family's reply form gives the EDID's bytes; anything that is not whole pairs of
    // digits in one block gives no bytes and says why.
    void hexBlock_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("missing");

        const QByteArray edid = corpusEdid(256);
        const QString run = QString::fromLatin1(hexText(edid));
        QString pairs = QStringLiteral("EDID:\r\n");
        for (int at = 0; at < edid.size(); at += 16)
            pairs += QString::fromLatin1(edid.mid(at, 16).toHex(' ').toUpper()) + QStringLiteral("\r\n");
        QString lines = QStringLiteral("EDID DATA\n\r");
        for (int at = 0; at < run.size(); at += 32)
            lines += run.mid(at, 32) + QStringLiteral("\n\r");

        QTest::newRow("generic scaler: heading and pairs") << pairs + ">" << edid << false;
        QTest::newRow("Jovaris: echo and one word") << "#GET_INTERNAL_EDID 1\r\n" + run + "\r\n>" << edid << false;
        QTest::newRow("TCP unit: one word") << run + "\n\r>" << edid << false;
        QTest::newRow("TCP unit: heading and lines") << lines + ">" << edid << false;
        QTest::newRow("pieces joined with a blank between pairs") << run.left(200) + " " + run.mid(200) + " "
                                                                  << edid << false;
        QTest::newRow("lower case, prompt at the digits") << run.toLower() + ">" << edid << false;
        QTest::newRow("status after the block") << run + "\r\nSEND_COMPLETE\r\n>" << edid << false;

        QTest::newRow("odd run") << run.left(255) + "\r\n>" << QByteArray() << false;
        QTest::newRow("odd group between pairs") << QStringLiteral("00 FF F FF\r\n>") << QByteArray() << false;
        QTest::newRow("blank inside a pair") << run.left(201) + " " + run.mid(201) << QByteArray() << false;
        QTest::newRow("text breaks the block") << run.left(128) + "\r\nERROR\r\n" + run.mid(128) + "\r\n>"
                                               << QByteArray() << false;
        QTest::newRow("longer than any EDID") << QString(2 * (256 * 128 + 1), QLatin1Char('A')) << QByteArray() << false;
        QTest::newRow("words only") << QStringLiteral("NO USER\r\n>") << QByteArray() << true;
        QTest::newRow("junk in the digits") << run.left(100) + "G" + run.mid(101) << QByteArray() << true;
        QTest::newRow("control bytes") << QString::fromLatin1("\x01\x02\x1b[0m\xff") << QByteArray() << true;
        QTest::newRow("prompt alone") << QStringLiteral(">") << QByteArray() << true;
        QTest::newRow("nothing") << QString() << QByteArray() << true;
    }

    void hexBlock()
    {
        QFETCH(QString, reply);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, missing);
        const EdidHexBlock block = decodeEdidHexBlock(reply);
        QCOMPARE(block.bytes, bytes);
        QCOMPARE(block.ok(), !bytes.isEmpty());
        QCOMPARE(block.missing, missing);
    }

    // The words of a TCP reply, heading line included, give the digits of the lines after it.
    void editEdidResponseJoinsTheDigitLines()
    {
        const QStringList words {QStringLiteral("EDID\n00FFFFFF\nFFFFFF00")};
        QCOMPARE(Scaler::editEDIDResponse(words), QStringLiteral("00FFFFFFFFFFFF00"));
        QString error;
        QVERIFY(Scaler::editEDIDResponse({QStringLiteral("NO"), QStringLiteral("USER")}, &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }

    // ---- Generic scalers -------------------------------------------------------------------

    // The input chosen in the source list is read; its EDID comes back unchanged, through the
    // selected scaler's port at 19200 whatever product the drop-down shows, and the link is held
    // for the whole wait.
    void genericRead_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("input");
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("echo");
        const int sdi = int(ScalerSim::Model::Sdi);
        QTest::newRow("HDMI input") << sdi << "Scaler: HDMI EDID" << "" << 1 << "#GET_EDID 1" << false;
        QTest::newRow("VGA input, echoing unit") << sdi << "Scaler: VGA EDID" << "" << 0 << "#GET_EDID 0" << true;
        QTest::newRow("single input") << int(ScalerSim::Model::Dvi) << "Scaler: Local EDID" << "" << 0 << "#GET_EDID" << false;
        QTest::newRow("test device picked") << int(ScalerSim::Model::Dvi) << "Scaler: Local EDID"
                                            << "HDMI Sorvane Plus" << 0 << "#GET_EDID" << false;
    }

    void genericRead()
    {
        QFETCH(int, model);
        QFETCH(QString, source);
        QFETCH(QString, product);
        QFETCH(int, input);
        QFETCH(QString, command);
        QFETCH(bool, echo);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        ScalerSim sim {ScalerSim::Model(model)};
        QVERIFY(sim.start());
        sim.setEcho(echo);
        const QByteArray edid = corpusEdid(256);
        sim.setEdid(input, edid);
        f.pickGeneric(sim.portName(), ScalerSim::modelName(ScalerSim::Model(model)));
        if (!product.isEmpty())
            f.selectProductText(product);
        selectSource(f.ui, {QStringLiteral("Select EDID"), source}, 1);

        // Whenever the answer comes in, the link is held, at the command rate.
        QList<int> heldWhileAnswering;
        QList<qint32> rates;
        connect(f.scaler->serialPort, &QSerialPort::readyRead, this, [&] {
            heldWhileAnswering.append(f.scaler->availability);
            rates.append(sim.serialSettings().baudRate);
        });
        const QByteArray read = f.scaler->getEDID(Device());
        QCOMPARE(read, edid);
        QCOMPARE(sim.requests(), QStringList {command});
        QVERIFY(!rates.isEmpty());
        QCOMPARE(rates.first(), ScalerSim::CommandRate);
        QVERIFY(!heldWhileAnswering.isEmpty());
        QVERIFY(!heldWhileAnswering.contains(int(Scaler::AVAILABLE)));
        QVERIFY(linkReleased(f));
        QVERIFY(f.ui.downloadButton->isEnabled() && f.ui.openEDIDFromDevice->isEnabled());
        QVERIFY(f.ui.tabWidget->isTabEnabled(1));
        QVERIFY(dialogs.shown().isEmpty());
    }

    // What the unit sends that is no EDID, silence and a link that stays busy: a message, an
    // empty result, a bounded wait, the link given back.
    void genericReadRefusals_data()
    {
        QTest::addColumn<QByteArray>("stored"); // empty: the rule below answers
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        const QByteArray edid = corpusEdid(128);
        QTest::newRow("bad checksum") << withBadChecksum(edid) << QByteArray() << false << "EDID Error" << "checksum";
        QTest::newRow("no EDID stored") << QByteArray() << QByteArray() << false << "EDID Error" << "no EDID data";
        QTest::newRow("short EDID") << edid.left(100) << QByteArray() << false << "EDID Error" << "128 or 256 bytes";
        QTest::newRow("silent unit") << edid << QByteArray("-") << false << "Communication Error" << "Unable to retrieve EDID";
        QTest::newRow("busy link") << edid << QByteArray() << true << "Communication Error" << "Unable to retrieve EDID";
    }

    void genericReadRefusals()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, answer);
        QFETCH(bool, busy);
        QFETCH(QString, title);
        QFETCH(QString, message);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        ScalerSim sim(ScalerSim::Model::Dvi);
        QVERIFY(sim.start());
        sim.setEdid(0, stored);
        if (answer == "-")
            sim.addRule(SimRule::prefix("#GET_EDID").silence());
        f.pickGeneric(sim.portName());
        selectSource(f.ui, {QStringLiteral("Select EDID"), QStringLiteral("Scaler: Local EDID")}, 1);
        if (busy)
            f.scaler->availability = Scaler::OCCUPIED;

        QElapsedTimer clock;
        clock.start();
        QVERIFY(f.scaler->getEDID(Device()).isEmpty());
        QVERIFY(clock.elapsed() < TimeScale::ms(3500) + 2000);
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().at(0).title, title);
        QVERIFY2(dialogs.shown().at(0).text.contains(message), qPrintable(dialogs.shown().at(0).text));
        if (busy) {
            QVERIFY(sim.received().isEmpty());
            QCOMPARE(f.scaler->availability, int(Scaler::OCCUPIED)); // not ours to give back
        } else {
            QVERIFY(linkReleased(f));
        }
        QVERIFY(f.ui.downloadButton->isEnabled());
    }

    // Picking the two-input scaler offers its two inputs as upload targets; it shows the EDID
    // mode of the input chosen in the source list.
    void modeOfTheChosenInput()
    {
        ScalerFixture f;
        ScalerSim sim(ScalerSim::Model::Sdi);
        QVERIFY(sim.start());
        sim.setSetting(QStringLiteral("EDID_MODE 1"), QStringLiteral("CUSTOM"));
        f.pickGeneric(sim.portName(), NAME_SCALER_HDMI_VGA_TO_3GSDI);
        selectSource(f.ui, {QStringLiteral("Select EDID")}, 0);
        f.scaler->setState(1);
        f.scaler->selectedProductChanged(f.scaler->selectedDevice);
        QCOMPARE(f.ui.uploadToDropdown->count(), 2);
        QCOMPARE(f.ui.uploadToDropdown->itemText(0), QStringLiteral("Scaler: VGA"));
        QCOMPARE(f.ui.uploadToDropdown->itemText(1), QStringLiteral("Scaler: HDMI"));
        QCOMPARE(f.ui.selectEDIDFromDevice->itemText(2), QStringLiteral("Scaler: HDMI EDID"));
        QTest::qWait(TimeScale::ms(200));
        sim.clearLog();
        f.ui.selectEDIDFromDevice->setCurrentIndex(2);
        QTRY_COMPARE(f.scaler->edidModeGroup->checkedText(), QStringLiteral("Custom"));
        QCOMPARE(sim.requests(), QStringList {QStringLiteral("#GET_EDID_MODE 1")});
        f.ui.selectEDIDFromDevice->setCurrentIndex(1);
        QTRY_COMPARE(f.scaler->edidModeGroup->checkedText(), QStringLiteral("Internal"));
        QVERIFY(f.ui.scalerEDIDBox->isEnabled());
        QTRY_VERIFY(linkReleased(f));
        // The mode's follow-up comes while another exchange waits: that one keeps its port.
        sim.addRule(SimRule::exact("#GET_HUE").reply("PICTURE HUE IS 7\r\n>").after(300));
        f.ui.selectEDIDFromDevice->setCurrentIndex(2);
        f.scaler->sendCommand(QStringLiteral("#GET_HUE"), QString(), QString(), 1000);
        QCOMPARE(f.scaler->replyText, QStringLiteral("PICTURE HUE IS 7"));
        QTRY_VERIFY(linkReleased(f));
        // Another product picked: the list belongs to that product's page now.
        sim.clearLog();
        f.selectProductText(QStringLiteral("Zarrick Savrano"));
        f.ui.selectEDIDFromDevice->setCurrentIndex(2);
        QTest::qWait(TimeScale::ms(200));
        QVERIFY(sim.requests().isEmpty());
    }

    // ---- Saving -----------------------------------------------------------------------------

    // A file that cannot be written is reported, never "Download Complete."; nothing is written
    // for empty bytes; a cancelled dialog does nothing.
    void saving_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("where"); // "file", "folder" (unwritable), "" (cancel)
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("written");
        const QByteArray edid = corpusEdid(128);
        QTest::newRow("saved") << edid << "file" << "Download Complete." << true;
        QTest::newRow("unwritable") << edid << "folder" << "Download failed." << false;
        QTest::newRow("empty") << QByteArray() << "file" << "Nothing to save: no EDID was read." << false;
        QTest::newRow("cancelled") << edid << "" << "" << false;
    }

    void saving()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, where);
        QFETCH(QString, status);
        QFETCH(bool, written);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        const QString path = where == "folder" ? dir.filePath(QStringLiteral("missing/edid.bin"))
                                               : dir.filePath(QStringLiteral("edid.bin"));
        if (where.isEmpty())
            dialogs.answerCancel();
        else
            dialogs.answerPath(path);
        f.scaler->finishWriteFile(bytes);
        QCOMPARE(f.status(), status);
        QCOMPARE(QFile::exists(path), written);
        if (written)
            QCOMPARE(PlexaTest::readFile(path), bytes);
        if (where == "folder")
            QVERIFY(dialogs.wasShown(QStringLiteral("could not be saved")));
    }

    // ---- Jovaris, Norrith and Surrow --------------------------------------------------------

    // The source list's position picks the slot; "View" and "Save As" give the same bytes, the
    // unit's EDID unchanged.
    void jovarisReadout_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("size");
        const int jovaris = int(JovarisSim::Model::Jovaris);
        const int norrith = int(JovarisSim::Model::Norrith);
        QTest::newRow("Jovaris internal 2") << jovaris << 2 << "INTERNAL 2" << "#GET_INTERNAL_EDID 2" << 256;
        QTest::newRow("Jovaris external") << jovaris << 3 << "EXTERNAL" << "#GET_EXTERNAL_EDID" << 128;
        QTest::newRow("Jovaris custom") << jovaris << 4 << "CUSTOM" << "#GET_CUSTOM_EDID" << 256;
        QTest::newRow("Norrith internal 4") << norrith << 4 << "INTERNAL 4" << "#GET_INTERNAL_EDID 4" << 128;
        QTest::newRow("Norrith external") << norrith << 5 << "EXTERNAL" << "#GET_EXTERNAL_EDID" << 256;
    }

    void jovarisReadout()
    {
        QFETCH(int, model);
        QFETCH(int, position);
        QFETCH(QString, slot);
        QFETCH(QString, command);
        QFETCH(int, size);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        JovarisSim sim {JovarisSim::Model(model)};
        QVERIFY(sim.start());
        const QByteArray edid = corpusEdid(size);
        sim.setEdid(slot, edid);
        f.selectProductText(JovarisSim::modelName(JovarisSim::Model(model)) + QStringLiteral(" Transmitter"));
        f.scaler->serialPortName = sim.portName();
        f.scaler->baudRateText = QString::number(JovarisSim::factoryRate(JovarisSim::Model(model)));
        selectSource(f.ui, sourceList(7), position);

        QCOMPARE(f.scaler->getJOVARISEDID(), edid);
        QVERIFY(linkReleased(f));
        const QString path = dir.filePath(QStringLiteral("unit.bin"));
        dialogs.answerPath(path);
        f.scaler->jovarisDownloadEDID();
        QCOMPARE(PlexaTest::readFile(path), edid);
        QCOMPARE(f.status(), QStringLiteral("Download Complete."));
        QCOMPARE(sim.requestCount(command), 2);
        QVERIFY(linkReleased(f));
    }

    void jovarisRefusals_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("status");
        QTest::newRow("no user EDID") << QByteArray() << "No user EDID found.";
        QTest::newRow("bad checksum") << withBadChecksum(corpusEdid(128)) << "checksum";
        QTest::newRow("short EDID") << corpusEdid(128).left(64) << "128 or 256 bytes";
    }

    void jovarisRefusals()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, status);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        JovarisSim sim(JovarisSim::Model::Norrith);
        QVERIFY(sim.start());
        sim.setEdid(QStringLiteral("CUSTOM"), stored);
        f.selectProductText(QStringLiteral("Norrith Transmitter"));
        f.scaler->serialPortName = sim.portName();
        selectSource(f.ui, sourceList(7), 6);

        QVERIFY(f.scaler->getJOVARISEDID().isEmpty());
        QVERIFY2(f.status().contains(status), qPrintable(f.status()));
        QVERIFY(f.statusIsError());
        f.scaler->jovarisDownloadEDID();
        QVERIFY(dialogs.shown().isEmpty()); // no save dialog
        QVERIFY(linkReleased(f));
    }

    // ---- Zarrick and Cavrosh readout --------------------------------------------------------

    // The position picks the query; the EDID comes back unchanged through "View" and "Save As",
    // whatever pieces the reply arrives in.
    void tcpReadout_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("shape"); // "segments", "rule" (a heading and chunked lines)
        const int zarrick = int(ZarrickSim::Model::Zarrick);
        const int cavrosh = int(ZarrickSim::Model::Cavrosh);
        QTest::newRow("Zarrick 720p") << zarrick << 1 << "INTERNAL 1" << "#GET_INTERNAL_EDID 1" << 256 << "segments";
        QTest::newRow("Zarrick external") << zarrick << 3 << "EXTERNAL" << "#GET_EXTERNAL_EDID" << 128 << "segments";
        QTest::newRow("Zarrick custom 2") << zarrick << 5 << "CUSTOM 2" << "#GET_CUSTOM_EDID 2" << 256 << "rule";
        QTest::newRow("Cavrosh output 3") << cavrosh << 6 << "EXTERNAL 3" << "#GET_EXTERNAL_EDID 3" << 256 << "rule";
        QTest::newRow("Cavrosh custom") << cavrosh << 8 << "CUSTOM" << "#GET_CUSTOM_EDID" << 128 << "segments";
    }

    void tcpReadout()
    {
        QFETCH(int, model);
        QFETCH(int, position);
        QFETCH(QString, slot);
        QFETCH(QString, query);
        QFETCH(int, size);
        QFETCH(QString, shape);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        TcpUnit unit {ZarrickSim::Model(model)};
        QVERIFY(unit.connected());
        const QByteArray edid = corpusEdid(size);
        unit.sim.setEdid(slot, edid);
        if (shape == "segments") {
            // A first piece of 151 digits ends in the middle of a byte; the reader joins the
            // short piece and the one with the prompt with a blank.
            unit.sim.setReplySegments({151}, 30);
        } else {
            QByteArray reply = "EDID " + slot.toLatin1() + "\n\r";
            const QByteArray hex = hexText(edid);
            for (int at = 0; at < hex.size(); at += 64)
                reply += hex.mid(at, 64) + "\n\r";
            unit.sim.addRule(SimRule::exact(query).reply(reply + ">").chunked(97, 20));
        }
        selectSource(unit.f.ui, sourceList(9), position);

        const QByteArray read = model == int(ZarrickSim::Model::Zarrick) ? unit.f.scaler->getZARRICKEDID()
                                                                          : unit.f.scaler->getCAVROSHEDID();
        QCOMPARE(read, edid);
        QVERIFY(linkReleased(unit.f));
        const QString path = dir.filePath(QStringLiteral("unit.bin"));
        dialogs.answerPath(path);
        if (model == int(ZarrickSim::Model::Zarrick))
            unit.f.scaler->zarrickDownloadEDID();
        else
            unit.f.scaler->cavroshDownloadEDID();
        QCOMPARE(PlexaTest::readFile(path), edid);
        QCOMPARE(unit.f.status(), QStringLiteral("Download Complete."));
        QCOMPARE(unit.sim.requestCount(query), 2);
        QCOMPARE(dialogs.shown().size(), 1); // the save dialog alone
    }

    // A unit slower than the reader's quiet wait, read slot after slot as the user would: each
    // slot gives its own EDID, never the one asked for before, with or without a first line
    // naming it.
    void tcpReadoutOfASlowUnit_data()
    {
        QTest::addColumn<bool>("headings");
        QTest::newRow("digits alone") << false;
        QTest::newRow("a first line names the slot") << true;
    }
    void tcpReadoutOfASlowUnit()
    {
        QFETCH(bool, headings);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        TcpUnit unit {ZarrickSim::Model::Zarrick};
        QVERIFY(unit.connected());
        const QStringList slotNames {"INTERNAL 1", "INTERNAL 2", "EXTERNAL", "CUSTOM 1"};
        for (int i = 0; i < slotNames.size(); ++i)
            unit.sim.setEdid(slotNames.at(i), ZarrickSim::sampleEdid(10 + i));
        unit.sim.setEdidHeadings(headings);
        unit.sim.setAnswerDelay(1600);
        for (int position = 1; position <= 4; ++position) {
            selectSource(unit.f.ui, sourceList(8), position);
            QCOMPARE(unit.f.scaler->getZARRICKEDID(), ZarrickSim::sampleEdid(10 + position - 1));
            QVERIFY(linkReleased(unit.f));
        }
        // "Save As" writes the chosen slot's bytes.
        const QString path = dir.filePath(QStringLiteral("internal2.bin"));
        dialogs.answerPath(path);
        selectSource(unit.f.ui, sourceList(8), 2);
        unit.f.scaler->zarrickDownloadEDID();
        QCOMPARE(PlexaTest::readFile(path), ZarrickSim::sampleEdid(11));
        QCOMPARE(dialogs.shown().size(), 1); // the save dialog alone
    }

    // A reply naming another slot is passed over; when only such a reply comes the read fails
    // with a message and nothing is saved, and the late answer is not taken by the next read.
    void tcpReadoutChecksTheSlotNamed()
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        TcpUnit unit {ZarrickSim::Model::Cavrosh};
        QVERIFY(unit.connected());
        const QByteArray first = ZarrickSim::sampleEdid(21);
        const QByteArray second = ZarrickSim::sampleEdid(22);
        unit.sim.setEdid("INTERNAL 2", second);
        unit.sim.setEdidHeadings(true);
        const QByteArray late = "Internal EDID 1:\n\r" + hexText(first) + "\n\r>";
        unit.sim.addRule(SimRule::exact("#GET_INTERNAL_EDID 2")
                             .reply(late + "Internal EDID 2:\n\r" + hexText(second) + "\n\r>")
                             .times(1));
        selectSource(unit.f.ui, sourceList(9), 2);
        QCOMPARE(unit.f.scaler->getCAVROSHEDID(), second);
        QVERIFY(dialogs.shown().isEmpty());

        unit.sim.addRule(SimRule::exact("#GET_INTERNAL_EDID 2").reply(late).times(1));
        const QString path = dir.filePath(QStringLiteral("internal2.bin"));
        dialogs.answerPath(path);
        unit.f.scaler->cavroshDownloadEDID();
        QVERIFY(!QFile::exists(path));
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("EDID Error"));
        QVERIFY2(dialogs.shown().at(0).text.contains("another EDID (\"Internal EDID 1:\")"),
                 qPrintable(dialogs.shown().at(0).text));
        QVERIFY(linkReleased(unit.f));

        dialogs.clear();
        QCOMPARE(unit.f.scaler->getCAVROSHEDID(), second);
        QVERIFY(dialogs.shown().isEmpty());
    }

    void tcpReadoutRefusals_data()
    {
        QTest::addColumn<QByteArray>("answer"); // empty: silence
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        const QByteArray edid = corpusEdid(128);
        QTest::newRow("no custom EDID") << QByteArray("NO USER") << "EDID Error" << " No EDID Found!";
        QTest::newRow("all F") << QByteArray(256, 'F') << "EDID Error" << "Invalid EDID!";
        QTest::newRow("all 0") << QByteArray(512, '0') << "EDID Error" << "Invalid EDID!";
        QTest::newRow("50 bytes") << hexText(edid.left(50)) << "EDID Error" << "No EDID!";
        QTest::newRow("bad checksum") << hexText(withBadChecksum(edid)) << "EDID Error"
                                      << "This is not a valid EDID: the checksum of block 0 is wrong.";
        QTest::newRow("odd digit count") << hexText(edid).left(255) << "EDID Error"
                                         << "The EDID data in the unit's reply is damaged: a group of hexadecimal "
                                            "digits has an odd count.";
        QTest::newRow("silent unit") << QByteArray() << "Connection Error" << "Device is disconnected.";
    }

    void tcpReadoutRefusals()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, title);
        QFETCH(QString, message);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        TcpUnit unit {ZarrickSim::Model::Cavrosh};
        QVERIFY(unit.connected());
        if (answer.isEmpty())
            unit.sim.addRule(SimRule::exact("#GET_CUSTOM_EDID").silence());
        else
            unit.sim.addRule(SimRule::exact("#GET_CUSTOM_EDID").reply(answer + "\n\r>"));
        selectSource(unit.f.ui, sourceList(9), 8);

        QElapsedTimer clock;
        clock.start();
        QVERIFY(unit.f.scaler->getCAVROSHEDID().isEmpty());
        QVERIFY(clock.elapsed() < TimeScale::ms(1300) + 3000);
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().at(0).title, title);
        QCOMPARE(dialogs.shown().at(0).text, message);
        QVERIFY(linkReleased(unit.f));

        // The download refuses the same answer and asks for no file.
        dialogs.clear();
        unit.f.scaler->cavroshDownloadEDID();
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().at(0).text, message);
    }

    // ---- Uploads ----------------------------------------------------------------------------

    // A corpus EDID uploaded as the custom EDID arrives unchanged: as hexadecimal text on the
    // TCP units, as raw bytes on the Norrith.
    void uploadArrives_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("size");
        QTest::newRow("Zarrick input 2") << "Zarrick" << 256;
        QTest::newRow("Cavrosh") << "Cavrosh" << 128;
        QTest::newRow("Norrith") << "Norrith" << 256;
    }

    void uploadArrives()
    {
        QFETCH(QString, family);
        QFETCH(int, size);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        const QByteArray edid = corpusEdid(size);
        const QString path = writeFile(dir, QStringLiteral("custom.bin"), edid);

        QByteArray arrived;
        Scaler* scaler = nullptr;
        std::unique_ptr<TcpUnit> tcp;
        std::unique_ptr<ScalerFixture> serial;
        std::unique_ptr<JovarisSim> norrith;
        if (family == "Norrith") {
            serial = std::make_unique<ScalerFixture>();
            norrith = std::make_unique<JovarisSim>(JovarisSim::Model::Norrith);
            QVERIFY(norrith->start());
            serial->selectProductText(QStringLiteral("Norrith Transmitter"));
            serial->scaler->serialPortName = norrith->portName();
            scaler = serial->scaler.get();
        } else {
            tcp = std::make_unique<TcpUnit>(family == "Zarrick" ? ZarrickSim::Model::Zarrick : ZarrickSim::Model::Cavrosh);
            QVERIFY(tcp->connected());
            scaler = tcp->f.scaler.get();
            if (family == "Zarrick") {
                tcp->sim.setEdidMode(2, 4);
                tcp->f.ui.uploadToDropdown->clear();
                tcp->f.ui.uploadToDropdown->addItems({QStringLiteral("Input 1 Custom"), QStringLiteral("Input 2 Custom")});
                tcp->f.ui.uploadToDropdown->setCurrentIndex(1);
            } else {
                tcp->sim.setEdidMode(1, 8);
            }
        }
        Ui_MainUI& ui = serial ? serial->ui : tcp->f.ui;
        ui.uploadFilename->setText(path);
        ui.uploadButton->setEnabled(true);

        if (family == "Zarrick")
            scaler->sendZARRICKEDID(path);
        else if (family == "Cavrosh")
            scaler->sendCAVROSHEDID(path);
        else
            scaler->sendNORRITHEDID(path);

        if (family == "Norrith") {
            arrived = norrith->edid(QStringLiteral("CUSTOM"));
        } else {
            arrived = tcp->sim.edid(family == "Zarrick" ? QStringLiteral("CUSTOM 2") : QStringLiteral("CUSTOM"));
            QCOMPARE(tcp->sim.lastUploadText(), hexText(edid));
        }
        QCOMPARE(arrived, edid);
        QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("Done."));
        QVERIFY(dialogs.shown().isEmpty());
        if (tcp) {
            QVERIFY(!ui.uploadButton->isEnabled());
            QVERIFY(ui.uploadFilename->text().isEmpty());
        }
        QCOMPARE(scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(ui.ConfiguratorTabs->isEnabled());
        QVERIFY(!scaler->serialPort->isOpen());
    }

    // Files that are no EDID a unit takes are refused with a message and nothing is sent.
    void uploadRefusesFiles_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QByteArray>("content"); // "-": no file
        QTest::addColumn<QString>("title");
        const QByteArray edid = corpusEdid(128);
        for (const char* family : {"Zarrick", "Cavrosh", "Norrith"}) {
            QTest::addRow("%s, missing file", family) << family << QByteArray("-") << "File Selection Error";
            QTest::addRow("%s, 300 bytes", family) << family << edid + QByteArray(172, '\0') << "File Selection Error";
            QTest::addRow("%s, bad checksum", family) << family << withBadChecksum(edid) << "Upload Error";
            QTest::addRow("%s, three blocks", family) << family << edid + edid + edid << "Upload Error";
        }
    }

    void uploadRefusesFiles()
    {
        QFETCH(QString, family);
        QFETCH(QByteArray, content);
        QFETCH(QString, title);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        const QString path = content == "-" ? dir.filePath(QStringLiteral("none.bin"))
                                            : writeFile(dir, QStringLiteral("file.bin"), content);
        if (family == "Norrith") {
            ScalerFixture f;
            JovarisSim sim(JovarisSim::Model::Norrith);
            QVERIFY(sim.start());
            f.selectProductText(QStringLiteral("Norrith Transmitter"));
            f.scaler->serialPortName = sim.portName();
            f.scaler->sendNORRITHEDID(path);
            QTest::qWait(TimeScale::ms(100));
            QVERIFY(sim.received().isEmpty());
            QVERIFY(linkReleased(f));
        } else {
            TcpUnit unit {family == "Zarrick" ? ZarrickSim::Model::Zarrick : ZarrickSim::Model::Cavrosh};
            QVERIFY(unit.connected());
            unit.f.ui.uploadFilename->setText(path);
            if (family == "Zarrick")
                unit.f.scaler->sendZARRICKEDID(path);
            else
                unit.f.scaler->sendCAVROSHEDID(path);
            QTest::qWait(TimeScale::ms(100));
            QVERIFY(unit.sim.received().isEmpty());
            QVERIFY(unit.f.ui.uploadFilename->text().isEmpty());
            QVERIFY(linkReleased(unit.f));
        }
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().at(0).title, title);
        QVERIFY(!dialogs.shown().at(0).text.isEmpty());
    }

    // A unit that refuses or does not confirm: an error, the file and the upload button left for
    // another try, the link given back. An input not in custom mode or locked is not sent to.
    void uploadNotTaken_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("box");
        QTest::addColumn<bool>("sent");
        const QString failed = QStringLiteral("Error occured. Please reboot unit and try again.");
        QTest::newRow("Zarrick input locked") << "Zarrick" << "locked" << "" << true << false;
        QTest::newRow("Zarrick input not custom") << "Zarrick" << "internal" << "" << true << false;
        QTest::newRow("Zarrick modes unreadable") << "Zarrick" << "modes" << failed << false << false;
        QTest::newRow("Zarrick refuses the command") << "Zarrick" << "refuse" << failed << false << false;
        QTest::newRow("Zarrick no confirmation") << "Zarrick" << "unconfirmed" << failed << false << true;
        QTest::newRow("Cavrosh page shows it locked") << "Cavrosh" << "locked" << "" << true << false;
        QTest::newRow("Cavrosh no confirmation") << "Cavrosh" << "unconfirmed" << failed << false << true;
        QTest::newRow("Norrith page shows it locked") << "Norrith" << "locked" << "" << true << false;
        QTest::newRow("Norrith refuses the command") << "Norrith" << "refuse" << failed << false << false;
    }

    void uploadNotTaken()
    {
        QFETCH(QString, family);
        QFETCH(QString, setup);
        QFETCH(QString, status);
        QFETCH(bool, box);
        QFETCH(bool, sent);
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        const QByteArray edid = corpusEdid(128);
        const QString path = writeFile(dir, QStringLiteral("custom.bin"), edid);

        if (family == "Norrith") {
            ScalerFixture f;
            JovarisSim sim(JovarisSim::Model::Norrith);
            QVERIFY(sim.start());
            f.selectProductText(QStringLiteral("Norrith Transmitter"));
            f.scaler->serialPortName = sim.portName();
            if (setup == "locked") {
                // The Jovaris-family page's lock pair, showing the EDID locked.
                auto* lock = new QPushButton(QStringLiteral("EDID Lock"));
                lock->setCheckable(true);
                lock->setChecked(true);
                f.ui.lockedidLayout->addWidget(lock);
                f.scaler->edidLockButton = lock;
            } else {
                sim.setSetting(QStringLiteral("EDID_LOCK"), QStringLiteral("1"));
            }
            f.ui.uploadButton->setEnabled(true);
            f.scaler->sendNORRITHEDID(path);
            QCOMPARE(f.status(), status);
            QVERIFY(sim.edid(QStringLiteral("CUSTOM")).isEmpty());
            QCOMPARE(sim.received().contains(edid), sent);
            QVERIFY(f.ui.uploadButton->isEnabled());
            if (!box)
                QVERIFY(linkReleased(f));
        } else {
            const bool zarrick = family == "Zarrick";
            TcpUnit unit {zarrick ? ZarrickSim::Model::Zarrick : ZarrickSim::Model::Cavrosh};
            QVERIFY(unit.connected());
            unit.sim.setEdidMode(zarrick ? 3 : 1, zarrick ? 4 : 8);
            unit.f.ui.uploadToDropdown->clear();
            unit.f.ui.uploadToDropdown->addItem(zarrick ? QStringLiteral("Input 3 Custom") : QStringLiteral("Custom - User"));
            if (setup == "locked" && zarrick) {
                unit.sim.setEdidLocked(3, true);
            } else if (setup == "locked") {
                unit.f.scaler->deviceState = 1;
                unit.sim.setEdidLocked(1, true);
                unit.f.scaler->refreshCAVROSH_edidPage();
                QVERIFY(unit.f.scaler->edidLockButton->isChecked());
            } else if (setup == "internal") {
                unit.sim.setEdidMode(3, 2);
            } else if (setup == "modes") {
                unit.sim.addRule(SimRule::exact("#GET_EDID_MODE 0").reply("EDID_MODE ALL 2 4\n\r>"));
            } else if (setup == "refuse") {
                unit.sim.addRule(SimRule::prefix("#SEND_CUSTOM_EDID").reply("WRONG_PARAMETER\n\r>"));
            } else if (setup == "unconfirmed") {
                unit.sim.setUploadFailure(true);
            }
            unit.f.ui.uploadFilename->setText(path);
            unit.f.ui.uploadButton->setEnabled(true);
            unit.sim.clearLog();
            if (zarrick)
                unit.f.scaler->sendZARRICKEDID(path);
            else
                unit.f.scaler->sendCAVROSHEDID(path);
            QVERIFY(unit.sim.edid(zarrick ? QStringLiteral("CUSTOM 3") : QStringLiteral("CUSTOM")).isEmpty());
            QCOMPARE(unit.sim.received().contains(hexText(edid)), sent);
            if (!box) {
                QCOMPARE(unit.f.status(), status);
                QVERIFY(unit.f.ui.uploadButton->isEnabled());
                QCOMPARE(unit.f.ui.uploadFilename->text(), path);
            } else {
                QCOMPARE(unit.sim.requestCount(zarrick ? QStringLiteral("#SEND_CUSTOM_EDID 3")
                                                       : QStringLiteral("#SEND_CUSTOM_EDID")), 0);
            }
            QVERIFY(linkReleased(unit.f));
        }
        if (box) {
            QCOMPARE(dialogs.shown().size(), 1);
            const QString text = dialogs.shown().at(0).text;
            QVERIFY(text == QLatin1String(" Please Check if Custom - User mode is selected and EDID is Unlocked.")
                    || text == QLatin1String("Can't update custom EDID when lock EDID is enabled."));
        }
    }

    // ---- The Zarrick and Cavrosh EDID pages -------------------------------------------------

    // A refresh shows the unit: version, the mode of the addressed input, its lock; a second one
    // leaves one set of dynamic buttons.
    void zarrickPageRefresh()
    {
        TcpUnit unit {ZarrickSim::Model::Zarrick};
        QVERIFY(unit.connected());
        unit.sim.setFirmwareVersion(QStringLiteral("3.0.1b"));
        unit.sim.setEdidMode(3, 4);
        unit.sim.setEdidLocked(3, true);
        unit.f.scaler->zarrickInput = QStringLiteral("3");
        for (int round = 0; round < 2; ++round)
            unit.f.scaler->refreshZARRICK_edidPage();

        QCOMPARE(unit.f.ui.updateCurrentFirmware_2->text(), QStringLiteral("3.0.1B"));
        QCOMPARE(unit.f.scaler->edidInputGroup->buttons().size(), 4);
        QCOMPARE(unit.f.ui.scalerEDIDFrame->findChildren<QPushButton*>().size(), 4);
        QCOMPARE(unit.f.ui.lockedidLayout->count(), 2);
        QCOMPARE(unit.f.scaler->edidInputGroup->checkedButton()->text(), QStringLiteral("HDMI Input 3"));
        QCOMPARE(unit.checkedMode(), QStringLiteral("Custom Mode - User"));
        QVERIFY(unit.f.scaler->edidLockButton->isChecked() && unit.f.scaler->edidLockButton->isEnabled());
        QVERIFY(!unit.f.scaler->edidUnlockButton->isChecked());
        QCOMPARE(unit.f.ui.uploadToDropdown->count(), 4);
        QVERIFY(!unit.f.ui.downloadButton->isEnabled());
        QVERIFY(linkReleased(unit.f));
        QCOMPARE(unit.sim.requestCount(QStringLiteral("#GET_EDID_LOCK 3")), 2);
    }

    // Mode buttons send the unit's mode numbers (the Zarrick's first two swapped) for the
    // addressed input; the mode read back checks the same button.
    void modeButtons_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("lockEnabled");
        const int zarrick = int(ZarrickSim::Model::Zarrick);
        const int cavrosh = int(ZarrickSim::Model::Cavrosh);
        QTest::newRow("Zarrick 1080p") << zarrick << "Int - 1080P 2 Ch" << "#SET_EDID_MODE 3 2" << 2 << false;
        QTest::newRow("Zarrick 720p") << zarrick << "Int - 720P 2 Ch" << "#SET_EDID_MODE 3 1" << 1 << false;
        QTest::newRow("Zarrick custom") << zarrick << "Custom Mode - User" << "#SET_EDID_MODE 3 4" << 4 << true;
        QTest::newRow("Cavrosh output 2") << cavrosh << "Ext (HDMI Output 2)" << "#SET_EDID_MODE 5" << 5 << false;
        QTest::newRow("Cavrosh custom") << cavrosh << "Custom Mode - User" << "#SET_EDID_MODE 8" << 8 << true;
    }

    void modeButtons()
    {
        QFETCH(int, model);
        QFETCH(QString, button);
        QFETCH(QString, line);
        QFETCH(int, mode);
        QFETCH(bool, lockEnabled);
        const bool zarrick = model == int(ZarrickSim::Model::Zarrick);
        TcpUnit unit {ZarrickSim::Model(model)};
        QVERIFY(unit.connected());
        unit.f.scaler->zarrickInput = QStringLiteral("3");
        if (zarrick)
            unit.f.scaler->refreshZARRICK_edidPage();
        else
            unit.f.scaler->refreshCAVROSH_edidPage();
        unit.sim.clearLog();

        QPushButton* b = unit.modeButton(button);
        QVERIFY(b);
        b->click();
        QVERIFY(unit.sim.requests().contains(line));
        QCOMPARE(unit.sim.edidMode(zarrick ? 3 : 1), mode);
        QCOMPARE(unit.f.status(), QStringLiteral("Setting updated"));
        QCOMPARE(unit.f.scaler->edidLockButton->isEnabled(), lockEnabled);
        QVERIFY(linkReleased(unit.f));

        // Read back through the refresh button: the same button is checked.
        unit.f.scaler->edidModeGroup->buttonGroup()->setExclusive(false);
        b->setChecked(false);
        unit.f.scaler->edidModeGroup->buttonGroup()->setExclusive(true);
        unit.f.ui.refreshEDIDModes->click();
        QCOMPARE(unit.checkedMode(), button);
        QCOMPARE(unit.f.status(), QStringLiteral("Setting updated."));
    }

    // An input button addresses that input and re-reads its mode.
    void inputButtonRereadsTheMode()
    {
        TcpUnit unit {ZarrickSim::Model::Zarrick};
        QVERIFY(unit.connected());
        unit.sim.setEdidMode(2, 3);
        unit.f.scaler->refreshZARRICK_edidPage();
        unit.sim.clearLog();
        unit.f.scaler->edidInputGroup->button(-3)->click();
        QCOMPARE(unit.f.scaler->zarrickInput, QStringLiteral("2"));
        QVERIFY(unit.sim.waitForRequest(QStringLiteral("#GET_EDID_MODE 2")));
        QTRY_COMPARE(unit.checkedMode(), QStringLiteral("Ext (Bypass mode)"));
        QVERIFY(unit.f.scaler->edidInputGroup->button(-3)->isChecked());
    }

    // The lock pair shows the wanted state at once; a unit that does not confirm it puts the
    // pair back. A busy link sends nothing.
    void lockButtons()
    {
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        TcpUnit unit {ZarrickSim::Model::Cavrosh};
        QVERIFY(unit.connected());
        unit.sim.setEdidMode(1, 8);
        unit.f.scaler->refreshCAVROSH_edidPage();
        QVERIFY(unit.f.scaler->edidUnlockButton->isChecked());

        unit.f.scaler->edidLockButton->click();
        QVERIFY(unit.sim.edidLocked(1));
        QVERIFY(unit.f.scaler->edidLockButton->isChecked() && !unit.f.scaler->edidUnlockButton->isChecked());
        QCOMPARE(unit.f.status(), QStringLiteral("Setting updated."));

        unit.sim.addRule(SimRule::exact("#SET_EDID_LOCK 0").reply("WRONG_PARAMETER\n\r>"));
        unit.f.scaler->edidUnlockButton->click();
        QVERIFY(unit.sim.edidLocked(1));
        QVERIFY(unit.f.scaler->edidLockButton->isChecked() && !unit.f.scaler->edidUnlockButton->isChecked());
        QCOMPARE(unit.f.status(), QStringLiteral("Command failed. Restart unit and try again."));
        QVERIFY(linkReleased(unit.f));

        unit.sim.clearLog();
        unit.f.scaler->availability = Scaler::OCCUPIED;
        unit.f.ui.refreshEDIDModes->click();
        QCOMPARE(unit.f.status(), QStringLiteral("Device busy!!"));
        QTest::qWait(TimeScale::ms(100));
        QVERIFY(unit.sim.received().isEmpty());
        QVERIFY(dialogs.shown().isEmpty());
    }

    // The Cavrosh page after a Zarrick page: its modes in the frame, no Zarrick input buttons.
    void cavroshPageAfterZarrickPage()
    {
        TcpUnit unit {ZarrickSim::Model::Zarrick};
        QVERIFY(unit.connected());
        unit.f.scaler->refreshZARRICK_edidPage();
        ZarrickSim cavrosh(ZarrickSim::Model::Cavrosh);
        QVERIFY(cavrosh.start());
        unit.f.selectProductText(QStringLiteral("Cavrosh Borlune"));
        unit.f.scaler->tcpPort = cavrosh.tcpPort();
        unit.f.scaler->TCPConnect();
        unit.f.scaler->refreshCAVROSH_edidPage();
        QVERIFY(unit.f.scaler->edidInputGroup->buttons().isEmpty());
        QCOMPARE(unit.f.ui.scalerEDIDFrame->findChildren<QPushButton*>().size(), CAVROSH_EDID_MODE_CHOICES.size());
        QCOMPARE(unit.checkedMode(), QStringLiteral("Int - 4K 600 2 Ch"));
        QVERIFY(!unit.f.ui.uploadBrowse->isEnabled());
        QCOMPARE(unit.f.ui.uploadToDropdown->count(), 1);
    }

private:
    double baseFactor = 0.02; // the run's own time scale; a test may only make it gentler
};

PLEXA_TEST_MAIN(TestScalerEdid)
#include "tst_scaler_edid.moc"
