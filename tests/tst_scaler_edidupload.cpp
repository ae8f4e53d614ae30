// The generic scalers' EDID upload against the simulated unit: a real monitor's EDID goes over
// YMODEM to the input the target names and is kept there byte for byte. A missing or invalid
// file, a busy link, a unit that never answers, one that refuses every block and one that never
// confirms all end with "Upload Failed." or a box, and with the link and the buttons given back.
#include "plexatest.h"
#include "constants.h"
#include "edidcorpus.h"
#include "ediddecoder.h"
#include "scalerfixture.h"
#include "scalersim.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>

namespace {

// The first corpus EDID of `size` bytes that a unit takes.
QByteArray corpusEdid(int size)
{
    EdidCorpus corpus;
    for (const QString& name : corpus.files) {
        const QByteArray bytes = PlexaTest::readFile(corpus.dir.filePath(name));
        if (bytes.size() == size && edidTransferError(bytes).isEmpty())
            return bytes;
    }
    return {};
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

void pickTarget(Ui_MainUI& ui, const QString& target)
{
    ui.uploadToDropdown->clear();
    ui.uploadToDropdown->addItem(target);
}

} // namespace

class TestScalerEdidUpload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        // The unit's answers cross a thread and a pty: the shortest wait (5 s for an ACK) must
        // stay well above that under the sanitizers.
        TimeScale::setFactor(0.05);
    }

    void upload_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("edidSize");
        QTest::addColumn<QString>("modeLine");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("input");

        QTest::newRow("VGA input") << int(ScalerSim::Model::Sdi) << "Scaler: VGA" << 256 << "#SET_EDID_MODE 0 1"
                                   << "#SEND_EDID 0" << 0;
        QTest::newRow("HDMI input") << int(ScalerSim::Model::Sdi) << "Scaler: HDMI" << 256 << "#SET_EDID_MODE 1 1"
                                    << "#SEND_EDID 1" << 1;
        QTest::newRow("single-input scaler") << int(ScalerSim::Model::Dvi) << "Scaler" << 128 << "" << "#SEND_EDID" << 0;
    }

    void upload()
    {
        QFETCH(int, model);
        QFETCH(QString, target);
        QFETCH(int, edidSize);
        QFETCH(QString, modeLine);
        QFETCH(QString, command);
        QFETCH(int, input);

        const QByteArray edid = corpusEdid(edidSize);
        QVERIFY2(!edid.isEmpty(), "the EDID corpus has no such EDID");
        ScalerFixture f;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerSim sim {ScalerSim::Model(model)};
        QVERIFY(sim.start());
        f.pickGeneric(sim.portName(), ScalerSim::modelName(ScalerSim::Model(model)));
        pickTarget(f.ui, target);
        QTemporaryDir dir;

        f.scaler->sendEDID(f.scaler->selectedDevice, writeFile(dir, QStringLiteral("monitor.bin"), edid));

        QCOMPARE(f.status(), QStringLiteral("Upload Complete."));
        QVERIFY(!f.statusIsError());
        QCOMPARE(sim.edid(input), edid);
        QCOMPARE(sim.requestCount(command), 1);
        if (!modeLine.isEmpty())
            QCOMPARE(sim.requestCount(modeLine), 1);
        // Block 0 names the file; one 1K data block carries the EDID.
        const QList<QByteArray> frames = sim.edidUploadFrames();
        QCOMPARE(frames.size(), 4);
        QVERIFY(frames.at(0).mid(3).startsWith(QByteArray("monitor.bin\0", 12) + QByteArray::number(edidSize) + '\0'));
        QCOMPARE(frames.at(1).size(), 1029);
        QVERIFY(dialogs.shown().isEmpty());
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(!f.scaler->serialPort->isOpen());
        QVERIFY(f.ui.uploadButton->isEnabled());
        QVERIFY(f.ui.uploadBrowse->isEnabled());
    }

    // Every way an upload fails.
    void failures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("boxTitle"); // empty: no box
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<int>("commands"); // "#SEND_EDID 0" lines the unit heard
        QTest::addColumn<bool>("failedStatus");

        const QString uploadFailed = "Upload failed. Please try again later. If problem persists, restart unit.";
        QTest::newRow("missing file") << "missing" << "File Selection Error" << "Please select a valid file to upload."
                                      << 0 << false;
        QTest::newRow("a folder") << "folder" << "File Selection Error" << "" << 0 << false;
        QTest::newRow("wrong checksum") << "checksum" << "File Selection Error" << "checksum of block 1" << 0 << false;
        QTest::newRow("129 bytes") << "size" << "File Selection Error" << "128 or 256 bytes" << 0 << false;
        QTest::newRow("link busy") << "busy" << "Upload Error" << uploadFailed << 0 << true;
        QTest::newRow("unit never ready") << "silent" << "Upload Error" << uploadFailed << 10 << true;
        QTest::newRow("unit refuses every block") << "nak" << "" << "" << 1 << true;
        QTest::newRow("unit never confirms") << "unconfirmed" << "" << "" << 1 << true;
    }

    void failures()
    {
        QFETCH(QString, fault);
        QFETCH(QString, boxTitle);
        QFETCH(QString, boxText);
        QFETCH(int, commands);
        QFETCH(bool, failedStatus);

        QByteArray edid = corpusEdid(256);
        QVERIFY(!edid.isEmpty());
        ScalerFixture f;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerSim sim(ScalerSim::Model::Sdi);
        QVERIFY(sim.start());
        sim.setEdid(0, QByteArray()); // no EDID on the input until an upload leaves one
        f.pickGeneric(sim.portName(), ScalerSim::modelName(ScalerSim::Model::Sdi));
        pickTarget(f.ui, QStringLiteral("Scaler: VGA"));
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("monitor.bin"));
        SimYmodemReceiver::Script script = ScalerSim::edidUploadScript();
        if (fault == QLatin1String("missing")) {
            edid.clear();
        } else if (fault == QLatin1String("folder")) {
            path = dir.path();
            edid.clear();
        } else if (fault == QLatin1String("checksum")) {
            edid[200] = char(edid.at(200) ^ 0x40);
        } else if (fault == QLatin1String("size")) {
            edid = edid.left(128) + 'x';
        } else if (fault == QLatin1String("busy")) {
            f.scaler->availability = Scaler::OCCUPIED;
        } else if (fault == QLatin1String("silent")) {
            sim.addRule(SimRule::prefix(QStringLiteral("#SEND_EDID")).silence());
        } else if (fault == QLatin1String("nak")) {
            script.nak[1] = 100;
        } else if (fault == QLatin1String("unconfirmed")) {
            script.completionText = "\r\n>";
        }
        sim.setEdidUploadScript(script);
        if (!edid.isEmpty())
            writeFile(dir, QStringLiteral("monitor.bin"), edid);
        const int before = f.scaler->availability;

        f.scaler->sendEDID(f.scaler->selectedDevice, path);

        if (boxTitle.isEmpty()) {
            QVERIFY(dialogs.shown().isEmpty());
        } else {
            QCOMPARE(dialogs.shown().size(), 1);
            QCOMPARE(dialogs.shown().first().title, boxTitle);
            QVERIFY2(dialogs.shown().first().text.contains(boxText), qPrintable(dialogs.shown().first().text));
        }
        QCOMPARE(sim.requestCount(QStringLiteral("#SEND_EDID 0")), commands);
        if (failedStatus) {
            QCOMPARE(f.status(), QStringLiteral("Upload Failed."));
            QVERIFY(f.statusIsError());
        }
        // Kept only by a unit that took the whole file (the one that never confirms did).
        QCOMPARE(sim.edid(0).isEmpty(), fault != QLatin1String("unconfirmed"));
        if (commands > 0 && fault != QLatin1String("silent"))
            QCOMPARE(int(sim.edidUploadState()), int(fault == QLatin1String("nak") ? SimYmodemReceiver::State::Aborted
                                                                                  : SimYmodemReceiver::State::Done));
        // The link is given back (a link someone else holds stays theirs), the port closed, the
        // buttons usable again.
        QCOMPARE(f.scaler->availability, fault == QLatin1String("busy") ? before : int(Scaler::AVAILABLE));
        if (fault != QLatin1String("busy"))
            QVERIFY(!f.scaler->serialPort->isOpen());
        QVERIFY(f.ui.uploadButton->isEnabled());
        QVERIFY(f.ui.uploadBrowse->isEnabled());
    }
};

PLEXA_TEST_MAIN(TestScalerEdidUpload)
#include "tst_scaler_edidupload.moc"
