// The converter page: the USB scan over fake HID units and a fake raw-USB bus, the 2500 ms count
// poll, selecting the HID scaler and the converters, and the hand-off to the firmware burn.
#include "plexatest.h"
#include "timescale.h"
#include "constants.h"
#include "converter.h"
#include "converterfixture.h"
#include "convertercontrol.h"
#include "localetest.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

QStringList names(const QList<Device>& units)
{
    QStringList list;
    for (const Device& unit : units)
        list << unit.name;
    return list;
}

QStringList items(const QComboBox* box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

// The HID scaler's record as the scan makes it.
Device perrick()
{
    Device unit;
    unit.name = MODEL_PERRICK;
    unit.portName = QStringLiteral("USB");
    unit.vendorId = 0x1EC7;
    unit.productId = 0x001E;
    return unit;
}

// Puts a recording burn in place of the in-system programming for one test.
struct BurnRecorder {
    struct Call {
        QByteArray path;
        quint16 vendorId;
        quint16 productId;
        int discoverSignalsBefore;
    };
    QList<Call> calls;
    QSignalSpy* discover = nullptr;
    McuBurnFunction previous;

    BurnRecorder()
    {
        previous = replaceMcuBurn([this](Ui_MainUI*, const QByteArray& path, quint16 vid, quint16 pid) {
            calls.append({path, vid, pid, discover ? discover->count() : -1});
            return QStringLiteral("Burn Success.");
        });
    }
    ~BurnRecorder() { replaceMcuBurn(previous); }
};

} // namespace

class TestConverterPage : public QObject
{
    Q_OBJECT

private slots:
    // ---- USB scan ----------------------------------------------------------------------------

    void scan()
    {
        ConverterFixture f;
        QList<FakeHidUnit*> hidUnits{
            &f.hid.addUnit(0x1EC7, 0x000E), // Orrelin, two interfaces
            &f.hid.addUnit(0x1234, 0x000E), // another maker
            &f.hid.addUnit(0x1EC7, 0x000E),
            &f.hid.addUnit(0x1EC7, 0x0010), // Palomir held by another program
            &f.hid.addUnit(0x1EC7, 0x001E), // Perrick
            &f.hid.addUnit(0x10D5, 0x5555), // Korvina, both ids: one entry
            &f.hid.addUnit(0x1EC7, 0x0011),
        };
        hidUnits.at(3)->setHandleLimit(0);
        f.usb.plug(0x22CA, 0x1111);                       // two wireless units
        f.usb.plug(0x1D6B, 0x0002);
        f.usb.plug(0x22CA, 0x1111, "002");
        Converter page(&f.ui);

        const QList<Device> units = page.updateDeviceList();
        QCOMPARE(names(units), (QStringList{MODEL_ORRELIN, MODEL_PERRICK, MODEL_KORVINA, MODEL_ROLVANE_SERIES,
                                            MODEL_ROLVANE_SERIES}));
        for (const Device& unit : units) {
            QCOMPARE(unit.portName, QStringLiteral("USB"));
            QCOMPARE(unit.manufacturer, QStringLiteral("B"));
            QCOMPARE(unit.type, 0);
            // Only the HID scaler's record carries its ids: its page sends commands to them.
            const bool scaler = unit.name == MODEL_PERRICK;
            QCOMPARE(unit.vendorId, scaler ? 0x1EC7u : 1u);
            QCOMPARE(unit.productId, scaler ? 0x001Eu : 1u);
        }
        // Each listed model was test-opened once and closed again; nothing else was opened.
        const QList<int> opened{1, 0, 0, 0, 1, 1, 0};
        for (int i = 0; i < hidUnits.size(); ++i) {
            QCOMPARE(hidUnits.at(i)->openCount(), opened.at(i));
            QCOMPARE(hidUnits.at(i)->openHandles(), 0);
        }
    }

    // A Palomir attached beside the Perrick gives one entry each.
    void scanTwoModels()
    {
        ConverterFixture f;
        f.hid.addUnit(0x1EC7, 0x0010);
        f.hid.addUnit(0x1EC7, 0x001E);
        Converter page(&f.ui);
        QCOMPARE(names(page.updateDeviceList()), (QStringList{MODEL_PALOMIR, MODEL_PERRICK}));
    }

    // ---- Count poll --------------------------------------------------------------------------

    void pollReportsACountChangeOnce()
    {
        ConverterFixture f;
        f.hid.addUnit(0x1EC7, 0x000E);
        Converter page(&f.ui);
        QSignalSpy refresh(&page, SIGNAL(refreshImmediately()));

        // Off until the hub arms it.
        QTest::qWait(TimeScale::ms(2500) * 3);
        QCOMPARE(f.usb.walks(), 0);

        page.updateDeviceList();
        page.setDeviceCheckEnabled(true);
        QTRY_VERIFY(f.usb.walks() >= 3);
        QCOMPARE(refresh.count(), 0);

        f.usb.plug(0x22CA, 0x1111);
        QTRY_COMPARE(refresh.count(), 1);
        QVERIFY(!page.isDeviceCheckEnabled());
        const int walks = f.usb.walks();
        QTest::qWait(TimeScale::ms(2500) * 3);
        QCOMPARE(refresh.count(), 1);
        QCOMPARE(f.usb.walks(), walks);

        // Armed again after the hub's refresh: a unit that leaves is noticed as well.
        page.setDeviceCheckEnabled(true);
        f.usb.unplug("001", "001");
        QTRY_COMPARE(refresh.count(), 2);
    }

    // The page objects other pages make for one EDID operation run no poll.
    void oneOperationPageHasNoPoll()
    {
        ConverterFixture f;
        Converter reader(&f.ui, QList<EdidEntry>());
        QVERIFY(reader.findChildren<QTimer*>().isEmpty());
        reader.setDeviceCheckEnabled(true);
        QTest::qWait(TimeScale::ms(2500) * 3);
        QCOMPARE(f.usb.walks(), 0);
    }

    // ---- Selection ---------------------------------------------------------------------------

    void selectScaler_data() { addLocaleRows(); }
    void selectScaler()
    {
        QFETCH(QString, locale);
        DefaultLocaleScope localeScope(locale);
        ConverterFixture f;
        ConverterSim& sim = f.addPerrick();
        sim.setRegister(0x02, 0xFF); // output 1 bypass
        sim.setRegister(0x01, 0x01); // output 2 up-scale
        sim.setRegister(0x05, 0x03); // neither HDCP version
        sim.setRegister(0x0A, 0x01); // YUV 4:2:0 on output 2
        sim.setVersion(1, 12, 203);
        f.ui.scaler12hdcp14->setChecked(true);
        f.ui.scaler12hdcp22->setChecked(true);
        f.ui.scaler12o1color->setChecked(true);
        Converter page(&f.ui);

        page.selectedProductChanged(perrick());

        QCOMPARE(sim.requests(), (QList<QByteArray>{QByteArray("\x59\x40", 2)}));
        QVERIFY(f.ui.scaler12o1bypass->isChecked());
        QVERIFY(f.ui.scaler12o2scale->isChecked());
        QVERIFY(!f.ui.scaler12hdcp14->isChecked());
        QVERIFY(!f.ui.scaler12hdcp22->isChecked());
        QVERIFY(!f.ui.scaler12o1color->isChecked());
        QVERIFY(f.ui.scaler12o2color->isChecked());
        QVERIFY(f.ui.scaler12o1color->isEnabled());
        QCOMPARE(f.ui.updateCurrentFirmware->text(), QStringLiteral("1.12.203"));
        QCOMPARE(f.ui.versionInfo->toPlainText(), QStringLiteral("1.12.203"));
        QVERIFY(f.ui.sorvaneBox->isEnabled());
        QCOMPARE(items(f.ui.uploadToDropdown), QStringList{"Custom EDID"});
        QVERIFY(!f.ui.copyButton->isEnabled());
        QCOMPARE(items(f.ui.selectEDIDFromDevice),
                 (QStringList{"-- Select --", "External - Output 1", "External - Output 2", "Internal - User Defined"}));
        QVERIFY(f.dialogs.shown().isEmpty());
    }

    // Output 1 down-scaling: its YUV box is cleared and locked whatever the unit says.
    void selectScalerDownScaling()
    {
        ConverterFixture f;
        ConverterSim& sim = f.addPerrick();
        sim.setRegister(0x02, 0x01);
        sim.setRegister(0x0A, 0x03);
        Converter page(&f.ui);
        page.selectedProductChanged(perrick());
        QVERIFY(f.ui.scaler12o1scale->isChecked());
        QVERIFY(!f.ui.scaler12o1color->isChecked());
        QVERIFY(!f.ui.scaler12o1color->isEnabled());
        QVERIFY(f.ui.scaler12o2color->isChecked());
    }

    // A scaler that does not answer gets the connection wait and one more request.
    void selectScalerWaitsForTheUnit_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("connects");
        QTest::newRow("comes up during the wait") << "late" << true;
        QTest::newRow("never answers") << "silent" << false;
        QTest::newRow("torn reply") << "torn" << false;
        QTest::newRow("refuses") << "refuse" << false;
    }
    void selectScalerWaitsForTheUnit()
    {
        QFETCH(QString, fault);
        QFETCH(bool, connects);
        ConverterFixture f;
        ConverterSim& sim = f.addPerrick();
        if (fault == "late") {
            f.perrickUnit->setHandleLimit(0);
            QTimer::singleShot(TimeScale::ms(5000), [&f] { f.perrickUnit->setHandleLimit(-1); });
        }
        if (fault == "silent")
            sim.silentFrom(0);
        if (fault == "torn")
            sim.cutDeviceInfoTo(6);
        if (fault == "refuse")
            sim.refuseFrom(0);
        f.ui.selectEDIDFromDevice->clear();
        f.ui.selectEDIDFromDevice->addItems({"Select EDID", "Local EDID"});
        Converter page(&f.ui);
        const int requests = connects && fault == "late" ? 1 : 2;
        // The poll must stay out of the wait: it may notice the new unit only once the last
        // request has gone out (on a loaded machine it can do so before the page returns).
        int refreshesBeforeTheLastRequest = 0;
        connect(&page, &Converter::refreshImmediately, this, [&] {
            if (sim.requests().size() < requests)
                ++refreshesBeforeTheLastRequest;
        });
        page.setDeviceCheckEnabled(true);
        f.usb.plug(0x22CA, 0x1111);

        page.selectedProductChanged(perrick());

        QCOMPARE(refreshesBeforeTheLastRequest, 0);
        QCOMPARE(sim.requests().size(), requests);
        if (connects) {
            QVERIFY(f.dialogs.shown().isEmpty());
            QCOMPARE(f.ui.selectEDIDFromDevice->count(), 4);
        } else {
            QCOMPARE(f.dialogs.shown().size(), 1);
            QCOMPARE(f.dialogs.shown().first().title, QStringLiteral("I/O Error"));
            QCOMPARE(f.dialogs.shown().first().text,
                     QStringLiteral("Cannot communicate with unit! please power cycle the unit and try again."));
            QCOMPARE(items(f.ui.selectEDIDFromDevice), (QStringList{"Select EDID", "Local EDID"}));
        }
    }

    // Selecting the converter keeps the EDID box's own entries and adds its one entry once.
    void selectConverter()
    {
        ConverterFixture f;
        f.ui.selectEDIDFromDevice->clear();
        f.ui.selectEDIDFromDevice->addItems({"Select EDID", "Connected Display: A", "Bank 1", "Local EDID"});
        Converter page(&f.ui);
        Device unit;
        unit.name = MODEL_ORRELIN;
        for (int i = 0; i < 2; ++i) {
            page.selectedProductChanged(unit);
            QCOMPARE(items(f.ui.selectEDIDFromDevice),
                     (QStringList{"Select EDID", "Converter: Orrelin", "Connected Display: A"}));
            QCOMPARE(items(f.ui.uploadToDropdown), QStringList{"Converter"});
            QVERIFY(f.ui.sorvaneBox->isEnabled());
            QVERIFY(!f.ui.copyFromDropdown->isEnabled());
            QCOMPARE(f.ui.versionInfo->toPlainText(), MODEL_ORRELIN);
        }
        QVERIFY(f.dialogs.shown().isEmpty());
    }

    // ---- Firmware ----------------------------------------------------------------------------

    void firmwareHandOff_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("vendorId");
        QTest::addColumn<int>("productId");
        QTest::newRow("Orrelin") << QString(MODEL_ORRELIN + " (USB)") << 0x1EC7 << 0x000E;
        QTest::newRow("Palomir") << MODEL_PALOMIR << 0x1EC7 << 0x0010;
        QTest::newRow("Perrick") << MODEL_PERRICK << 0x1EC7 << 0x001E;
        QTest::newRow("no converter") << MODEL_KORVINA << 0xFFFF << 0xFFFF;
    }
    void firmwareHandOff()
    {
        QFETCH(QString, product);
        QFETCH(int, vendorId);
        QFETCH(int, productId);
        ConverterFixture f;
        BurnRecorder burn;
        Converter page(&f.ui);
        QSignalSpy discover(&page, SIGNAL(setUSBDiscover(bool)));
        burn.discover = &discover;
        f.ui.productCombobox->addItem(product);
        const QString file = QStringLiteral("/tmp/Firmware Ü/conv_v1.2.bin");
        f.ui.updateFilename->setText(file);

        page.initiateFirmwareUpdate();

        QCOMPARE(burn.calls.size(), 1);
        // The path as the system names it: no separator rewritten.
        QCOMPARE(burn.calls.first().path, QFile::encodeName(file));
        QCOMPARE(int(burn.calls.first().vendorId), vendorId);
        QCOMPARE(int(burn.calls.first().productId), productId);
        // Discovery is off during the burn and on again afterwards.
        QCOMPARE(burn.calls.first().discoverSignalsBefore, 1);
        QCOMPARE(discover.count(), 2);
        QCOMPARE(discover.at(0).at(0).toBool(), false);
        QCOMPARE(discover.at(1).at(0).toBool(), true);
        QCOMPARE(f.ui.converterFirmwareStatus->text(), QStringLiteral("Burn Success."));
        QCOMPARE(page.lastBurnResult(), QStringLiteral("Burn Success."));
        QVERIFY(f.dialogs.shown().size() == 1 && f.dialogs.shown().first().title == "Status"
                && f.dialogs.shown().first().text == "Burn Success.");
    }

    // The page's own update button burns the file chosen beside it; a file that cannot be
    // opened (here a FIFO, which must not block the page) leaves the button off.
    void firmwareBrowseAndBurn()
    {
        ConverterFixture f;
        BurnRecorder burn;
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.bin");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString good = dir.filePath("fw.bin");
        {
            QFile file(good);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("firmware");
        }
        Converter page(&f.ui);
        f.ui.productCombobox->addItem(MODEL_PERRICK);
        f.ui.updateFilename->setText(QStringLiteral("/elsewhere/other.bin"));
        QVERIFY(!f.ui.converterFirmwareUpdate->isEnabled());

        f.dialogs.answerPath(fifo);
        f.ui.converterFirmwareBrowse->click();
        QVERIFY(f.dialogs.wasShown("Cannot open file for reading."));
        QVERIFY(!f.ui.converterFirmwareUpdate->isEnabled());

        f.dialogs.answerPath(good);
        f.ui.converterFirmwareBrowse->click();
        QCOMPARE(f.ui.converterFirmwareFile->text(), good);
        QVERIFY(f.ui.converterFirmwareUpdate->isEnabled());
        f.ui.converterFirmwareUpdate->click();
        QCOMPARE(burn.calls.size(), 1);
        QCOMPARE(burn.calls.first().path, QFile::encodeName(good));
        QCOMPARE(burn.calls.first().productId, quint16(0x001E));
    }

    // A burn without a firmware file says why and touches no unit.
    void placeholderBurn()
    {
        ConverterFixture f;
        FakeHidUnit& unit = f.hid.addUnit(0x1EC7, 0x000E);
        Converter page(&f.ui);
        f.ui.productCombobox->addItem(MODEL_ORRELIN);
        page.initiateFirmwareUpdate();
        QVERIFY(!page.lastBurnResult().isEmpty());
        QCOMPARE(unit.openCount(), 0);
    }
};

PLEXA_TEST_MAIN(TestConverterPage)
#include "tst_converter_page.moc"
