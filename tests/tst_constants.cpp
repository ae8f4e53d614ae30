// Shared constants catalogue: what the rest of the program relies on — list lengths
// and the positions of key entries (a position is a device value), look-ups by name and code, the
// aspect-ratio table, the EDID manufacturer-id packing, combo item flags, the blank-line patterns
// and the privacy of the working sets.
#include "plexatest.h"
#include "constants.h"

#include <QComboBox>
#include <QStandardItemModel>

class TestConstants : public QObject
{
    Q_OBJECT

private slots:
    void supportedProducts()
    {
        QCOMPARE(SUPPORTED_PRODUCTS.size(), 68);
        QCOMPARE(SUPPORTED_PRODUCTS.first(), QStringLiteral("DisplayPort Sorvane Plus"));
        QCOMPARE(SUPPORTED_PRODUCTS.last(), QStringLiteral("Nolvera"));
        QCOMPARE(SUPPORTED_PRODUCTS.at(23), QStringLiteral("Orrelin"));
        QCOMPARE(SUPPORTED_PRODUCTS.indexOf(MODEL_ROLVANE_SERIES), 26);
        QCOMPARE(SUPPORTED_PRODUCTS.indexOf(MODEL_CALTOR), 57);
        // The display order keeps the product list's own "-R"/"-S" places.
        QVERIFY(SUPPORTED_PRODUCTS.indexOf("Zolmira-R") < SUPPORTED_PRODUCTS.indexOf("Zolmira-S"));
        QVERIFY(SUPPORTED_PRODUCTS.indexOf("Mirvosk-S") < SUPPORTED_PRODUCTS.indexOf("Mirvosk-R"));
        QStringList unique = SUPPORTED_PRODUCTS;
        QCOMPARE(unique.removeDuplicates(), 0);
        // Every model and display name that program logic reads is a listed product.
        const QStringList named = {
            MODEL_PALOMIR, MODEL_ORRELIN, MODEL_PERRICK, MODEL_ROLVANE_SERIES, MODEL_KORVINA, MODEL_JASTRIC,
            MODEL_LOMARET_S, MODEL_LOMARET_R, MODEL_OSRINTH_S, MODEL_OSRINTH_R, MODEL_DUNMARL_S, MODEL_DUNMARL_R,
            MODEL_FARRUND, MODEL_HARLISK, MODEL_JORVALE, MODEL_QUILLON, MODEL_RENNART, MODEL_ZARRICK,
            MODEL_CAVROSH, MODEL_SURROW, MODEL_CALTOR, MODEL_JOVARIS, MODEL_NORRITH, MODEL_KALVISK,
            MODEL_KALVISK_PB, MODEL_LORVANE, MODEL_LORVANE_PB, MODEL_JURMONT, MODEL_JURMONT_PB, MODEL_HARVANE,
            MODEL_HARVANE_PB, MODEL_PELMORR_TX, MODEL_PELMORR_RX, MODEL_RINDALE_TX, MODEL_RINDALE_RX,
            NAME_DP_SORVANE_PLUS, NAME_BOOSTER_SORVANE, NAME_HDMI_SORVANE_PLUS, NAME_SCALER_HDMI_VGA_TO_3GSDI,
            NAME_SCALER_VGA_TO_DVI, NAME_SCALER_VGA_AUDIO_TO_HDMI};
        for (const QString& name : named)
            QVERIFY2(SUPPORTED_PRODUCTS.contains(name), qPrintable(name));
    }

    // A few names whose exact text is compared with what devices and catalogues report.
    void namesByText_data()
    {
        QTest::addColumn<QString>("constant");
        QTest::addColumn<QString>("text");
        QTest::newRow("Rolvane Series") << MODEL_ROLVANE_SERIES << "Rolvane Series";
        QTest::newRow("Kalvisk-PB") << MODEL_KALVISK_PB << "Kalvisk-PB";
        QTest::newRow("Lomaret-R") << MODEL_LOMARET_R << "Lomaret-R";
        QTest::newRow("booster") << NAME_BOOSTER_SORVANE << "Booster for HDMI w/EDID Sorvane";
        QTest::newRow("VGA w/Audio") << NAME_SCALER_VGA_AUDIO_TO_HDMI << "VGA w/Audio to HDMI Scaler";
        QTest::newRow("HDMI1.4 id") << ID_HDMI14_SORVANE << "HDMI1.4Sorvane";
        QTest::newRow("Darvosk id") << ID_DARVOSK << "Darvosk";
        QTest::newRow("Osrinth-R id") << ID_OSRINTH_R << "OSRINTHR";
        QTest::newRow("timing kind") << TIMING_TYPE_CUSTOM << "Custom";
        QTest::newRow("sRGB") << CHROMATICITY_SRGB << "sRGB";
        QTest::newRow("firmware doctype") << FIRMWARE_DOCTYPE << "VelmoFirmwareUpgrade";
        QTest::newRow("settings file") << PERSISTENT_FILE << "VelmoPersistent.xml";
        QTest::newRow("statistics doctype") << STATISTICS_DOCTYPE << "Info";
        QTest::newRow("statistic key") << STATISTIC_PRODUCTS << "products";
        QTest::newRow("serial instructions") << SERIAL_UPDATE_INSTRUCTIONS
                                             << "1. Connect AC power to the unit and turn it ON. \r\n"
                                                "2. Connect an RS-232 cable between the unit and the computer. \r\n"
                                                "3. Select the product name and COM port below. \r\n"
                                                "4. Click Start.";
    }
    void namesByText()
    {
        QFETCH(QString, constant);
        QFETCH(QString, text);
        QCOMPARE(constant, text);
    }

    // Choice lists: length, and the value (position) that a key entry sends.
    void choiceLists_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("param");
        QTest::newRow("color range Limited") << COLOR_RANGE_CHOICES << 2 << 2 << "Limited" << "1";
        QTest::newRow("output color 4:2:2") << OUTPUT_COLOR_CHOICES << 3 << 3 << "YCbCr 4:2:2" << "2";
        QTest::newRow("output mode Auto") << OUTPUT_MODE_CHOICES << 3 << 3 << "Auto Detect" << "2";
        QTest::newRow("edge enhance User") << EDGE_ENHANCE_CHOICES << 4 << 4 << "User" << "3";
        QTest::newRow("aspect Source") << ASPECT_RATIO_CHOICES << 4 << 4 << "Source" << "3";
        QTest::newRow("test pattern Off") << TEST_PATTERN_CHOICES << 7 << 7 << "Off" << "6";
        QTest::newRow("input select HDMI") << INPUT_SELECT_CHOICES << 2 << 2 << "HDMI" << "1";
        QTest::newRow("Zarrick custom") << ZARRICK_EDID_MODE_CHOICES << 4 << 4 << "Custom Mode - User" << "3";
        QTest::newRow("Cavrosh output 4") << CAVROSH_EDID_MODE_CHOICES << 8 << 8 << "Ext (HDMI Output 4)" << "6";
        QTest::newRow("Jovaris 4K") << JOVARIS_EDID_MODE_CHOICES << 4 << 4 << "Int - 4K UHD 300 MHZ 2 Ch" << "1";
        QTest::newRow("Norrith Mhz multi") << NORRITH_EDID_MODE_CHOICES << 6 << 6 << "Int - 4K UHD 300 Mhz Multi-Ch"
                                           << "3";
        QTest::newRow("Lunmora first button") << LUNMORA_EDID_MODE_CHOICES << 9 << 8 << "Internal - RUVASKO 4K 2CH"
                                              << "1";
        QTest::newRow("Lunmora External") << LUNMORA_EDID_MODE_CHOICES << 9 << 8 << "External" << "8";
        QTest::newRow("Lunmora empty makes no button") << LUNMORA_EDID_MODE_CHOICES << 9 << 8 << "" << "";
        QTest::newRow("input HDCP 1.4") << INPUT_HDCP_CHOICES << 3 << 3 << "VERSION 1.4 AND BELOW" << "2";
        QTest::newRow("output HDCP encode") << OUTPUT_HDCP_CHOICES << 2 << 2 << "ALWAYS ENCODE" << "1";
        QTest::newRow("sync polarity +") << SYNC_POLARITY_CHOICES << 2 << 2 << "+" << "1";
        QTest::newRow("Zarrick input 4") << ZARRICK_INPUT_NAMES << 4 << 4 << "HDMI Input 4" << "3";
        QTest::newRow("SDI last") << SDI_OUTPUT_RES_CHOICES << 22 << 22 << "3G-B (1080p) 50Hz" << "21";
        QTest::newRow("SDI 3G-A 60") << SDI_OUTPUT_RES_CHOICES << 22 << 22 << "3G-A (1080p) 60Hz" << "11";
        QTest::newRow("res first") << OUTPUT_RES_CHOICES << 45 << 45 << "640x480 60Hz" << "0";
        QTest::newRow("res 1920x1200 RB") << OUTPUT_RES_CHOICES << 45 << 45 << "1920x1200 RB" << "19";
        QTest::newRow("res Bypass") << OUTPUT_RES_CHOICES << 45 << 45 << "Bypass" << "20";
        QTest::newRow("res Auto-Detect") << OUTPUT_RES_CHOICES << 45 << 45 << "Auto-Detect" << "21";
        QTest::newRow("res 480i") << OUTPUT_RES_CHOICES << 45 << 45 << "SD (480i) 60Hz" << "22";
        QTest::newRow("res 1080p 60") << OUTPUT_RES_CHOICES << 45 << 45 << "HD (1080p) 60Hz" << "35";
        QTest::newRow("res last") << OUTPUT_RES_CHOICES << 45 << 45 << "2048x1080 50Hz" << "44";
        QTest::newRow("res copy Auto-Detect") << OUTPUT_RES_CHOICES_2 << 45 << 45 << "Auto-Detect" << "21";
        QTest::newRow("not in list") << COLOR_RANGE_CHOICES << 2 << 2 << "limited" << "";
    }
    void choiceLists()
    {
        QFETCH(QStringList, list);
        QFETCH(int, size);
        QFETCH(int, buttons);
        QFETCH(QString, entry);
        QFETCH(QString, param);
        QCOMPARE(list.size(), size);
        QCOMPARE(choiceButtonCount(list), buttons);
        QCOMPARE(choiceParam(list, entry), param);
    }

    void choiceListDetails()
    {
        QVERIFY(LUNMORA_EDID_MODE_CHOICES.first().isEmpty());
        QCOMPARE(OUTPUT_RES_CHOICES_2, OUTPUT_RES_CHOICES);
        // One image per test pattern button except "Off", in the same order.
        QCOMPARE(TEST_PATTERN_IMAGES.size(), TEST_PATTERN_CHOICES.size() - 1);
        for (int i = 0; i < TEST_PATTERN_IMAGES.size(); ++i)
            QCOMPARE(TEST_PATTERN_IMAGES.at(i),
                     ":/images/Assets/Tirel_Patterns/Tirel_Pattern_" + TEST_PATTERN_CHOICES.at(i) + ".png");
    }

    void audioNames_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("0 is none") << 0 << "";
        QTest::newRow("1 LPCM") << 1 << "Linear PCM";
        QTest::newRow("3 MPEG1") << 3 << "MPEG 1 (Layers 1 & 2)";
        QTest::newRow("14 WMA Pro") << 14 << "WMA Pro";
        QTest::newRow("15 HE AAC") << 15 << "MPEG-4 HE AAC";
        QTest::newRow("18 DRA") << 18 << "DRA";
        QTest::newRow("20 AAC LC MPS") << 20 << "MPEG-4 AAC LC + MPS";
        QTest::newRow("21 is none") << 21 << "";
        QTest::newRow("negative is none") << -1 << "";
    }
    void audioNames()
    {
        QFETCH(int, code);
        QFETCH(QString, name);
        QCOMPARE(audioNameOfCode(code), name);
        if (!name.isEmpty())
            QCOMPARE(audioCodeOfName(name), code);
    }

    void audioCodesOfNames()
    {
        QCOMPARE(AUDIO_CODING_NAMES.size(), 20);
        for (int code = 1; code <= 20; ++code)
            QCOMPARE(audioCodeOfName(audioNameOfCode(code)), code);
        QCOMPARE(audioCodeOfName(AUDIO_EAC3), 10);
        QCOMPARE(audioCodeOfName(QString()), 0);
        QCOMPARE(audioCodeOfName(QStringLiteral("linear pcm")), 0); // case-sensitive
        QCOMPARE(audioCodeOfName(QStringLiteral("Dolby Atmos")), 0);
    }

    void aspectRatioTable()
    {
        QCOMPARE(ASPECT_RATIOS.size(), 5);
        const int expected[5][3] = {{8, 5, 6}, {4, 3, 4}, {5, 4, 7}, {16, 9, 5}, {5, 3, 7}};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(ASPECT_RATIOS.at(i).hRatio, expected[i][0]);
            QCOMPARE(ASPECT_RATIOS.at(i).vRatio, expected[i][1]);
            QCOMPARE(ASPECT_RATIOS.at(i).vSyncLines, expected[i][2]);
        }
    }

    void standardTimingSizes_data()
    {
        QTest::addColumn<int>("hSize");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("vSize");
        QTest::newRow("16:10 1280") << 1280 << 0 << 800;
        QTest::newRow("4:3 1024") << 1024 << 1 << 768;
        QTest::newRow("5:4 1280") << 1280 << 2 << 1024;
        QTest::newRow("16:9 1920") << 1920 << 3 << 1080;
        QTest::newRow("16:9 truncates") << 1366 << 3 << 768; // 768.375
        QTest::newRow("bits out of range") << 1920 << 4 << 0;
        QTest::newRow("negative bits") << 1920 << -1 << 0;
    }
    void standardTimingSizes()
    {
        QFETCH(int, hSize);
        QFETCH(int, bits);
        QFETCH(int, vSize);
        QCOMPARE(standardTimingVerticalSize(hSize, bits), vSize);
    }

    void aspectLookups_data()
    {
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("v");
        QTest::addColumn<int>("code"); // standard timing aspect bits (rows 0-3 only)
        QTest::addColumn<int>("row");  // all five rows
        QTest::addColumn<int>("vSync");
        QTest::newRow("1920x1200") << 1920 << 1200 << 0 << 0 << 6;
        QTest::newRow("1024x768") << 1024 << 768 << 1 << 1 << 4;
        QTest::newRow("1280x1024") << 1280 << 1024 << 2 << 2 << 7;
        QTest::newRow("1920x1080") << 1920 << 1080 << 3 << 3 << 5;
        QTest::newRow("1280x768 is 15:9") << 1280 << 768 << -1 << 4 << 7;
        QTest::newRow("1366x768 no match") << 1366 << 768 << -1 << -1 << 10;
        QTest::newRow("zero height") << 1920 << 0 << -1 << -1 << 10;
        QTest::newRow("negative width") << -1920 << 1080 << -1 << -1 << 10;
    }
    void aspectLookups()
    {
        QFETCH(int, h);
        QFETCH(int, v);
        QFETCH(int, code);
        QFETCH(int, row);
        QFETCH(int, vSync);
        QCOMPARE(standardTimingAspectCode(h, v), code);
        QCOMPARE(aspectRatioRow(h, v), row);
        QCOMPARE(aspectVSyncLines(h, v), vSync);
        if (code >= 0)
            QCOMPARE(standardTimingVerticalSize(h, code), v);
    }

    void manufacturerId_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("packed");
        QTest::newRow("new EDID id vlm") << NEW_EDID_MANUFACTURER << true << 0x598D;
        QTest::newRow("upper VLM") << "VLM" << true << 0x598D;
        QTest::newRow("mixed vLm") << "vLm" << true << 0x598D;
        QTest::newRow("AAA") << "AAA" << true << 0x0421;
        QTest::newRow("ZZZ") << "ZZZ" << true << 0x6B5A;
        QTest::newRow("zzz lower") << "zzz" << true << 0x6B5A;
        QTest::newRow("DEL") << "DEL" << true << ((4 << 10) | (5 << 5) | 12);
        QTest::newRow("digit") << "V1M" << false << 0;
        QTest::newRow("@ below A") << "@AA" << false << 0;
        QTest::newRow("[ above Z") << "AA[" << false << 0;
        QTest::newRow("` below a") << "`aa" << false << 0;
        QTest::newRow("{ above z") << "aa{" << false << 0;
        QTest::newRow("blank") << "V M" << false << 0;
        QTest::newRow("non-ASCII letter") << QString::fromUtf8("V\xC3\xA9M") << false << 0;
        QTest::newRow("dotless i upper-cases to I elsewhere") << QString::fromUtf8("\xC4\xB1II") << false << 0;
        QTest::newRow("too short") << "VL" << false << 0;
        QTest::newRow("too long") << "VLMX" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
    }
    void manufacturerId()
    {
        QFETCH(QString, id);
        QFETCH(bool, valid);
        QFETCH(int, packed);
        bool ok = !valid;
        const quint16 got = packEdidManufacturerId(id, &ok);
        QCOMPARE(int(got), packed);
        QCOMPARE(ok, valid);
        QCOMPARE(got & 0x8000, 0); // never a bit outside the three 5-bit fields
        QCOMPARE(int(packEdidManufacturerId(id)), packed); // ok is optional
        if (valid)
            QCOMPARE(unpackEdidManufacturerId(got), id.toUpper());
    }

    // The packed value is what the EDID builder writes into bytes 8 and 9 (the EDID manufacturer id formula).
    void manufacturerIdBytes()
    {
        const int l1 = 'v' - 96, l2 = 'l' - 96, l3 = 'm' - 96;
        const int byte8 = (l1 << 2) | (l2 >> 3);
        const int byte9 = ((l2 << 5) | l3) & 0xFF;
        const quint16 packed = packEdidManufacturerId(NEW_EDID_MANUFACTURER);
        QCOMPARE(packed >> 8, byte8);
        QCOMPARE(packed & 0xFF, byte9);
        QCOMPARE(unpackEdidManufacturerId(packed), QStringLiteral("VLM"));
        // Fields 0 and 27-31 decode to the characters 0x40 and 0x5B-0x5F, as edid-decode shows
        // them ("TV@"); bit 15 is ignored.
        QCOMPARE(unpackEdidManufacturerId(0x0000), QStringLiteral("@@@"));
        QCOMPARE(unpackEdidManufacturerId(quint16((27 << 10) | (31 << 5) | 1)), QStringLiteral("[_A"));
        QCOMPARE(unpackEdidManufacturerId(quint16(0x8000 | packed)), QStringLiteral("VLM"));
    }

    void firmwareGroup()
    {
        QCOMPARE(FIRMWARE_GROUP_MODELS.size(), 13);
        const QStringList group = {"Kalvisk-PB", "Kalvisk",    "Lorvane",    "Lorvane-PB", "Jurmont",
                                   "Jurmont-PB", "Jastric",    "Harvane",    "Harvane-PB", "Pelmorr-TX",
                                   "Pelmorr-RX", "Rindale-TX", "Rindale-RX"};
        QCOMPARE(FIRMWARE_GROUP_MODELS, group);
        for (const QString& model : group)
            QVERIFY2(isFirmwareGroupModel(model), qPrintable(model));
        QVERIFY(!isFirmwareGroupModel(MODEL_KORVINA));
        QVERIFY(!isFirmwareGroupModel(QStringLiteral("kalvisk"))); // exact comparison
        QVERIFY(!isFirmwareGroupModel(QStringLiteral("Kalvisk ")));
        QVERIFY(!isFirmwareGroupModel(QString()));
    }

    void portDescriptions_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("matches");
        QTest::newRow("HDMI 1.4 prefix") << "HDMI1.4Sorvane (COM4)" << ID_HDMI14_SORVANE << true;
        QTest::newRow("1.3 is not 1.4") << "HDMI1.3Sorvane" << ID_HDMI14_SORVANE << false;
        QTest::newRow("case-sensitive") << "dpsorvane" << ID_DP_SORVANE << false;
        QTest::newRow("beginning only") << "USB DPSorvane" << ID_DP_SORVANE << false;
        QTest::newRow("Lomaret S") << "LOMARETS v2" << ID_LOMARET_S << true;
        QTest::newRow("Lomaret R is not S") << "LOMARETR" << ID_LOMARET_S << false;
        QTest::newRow("empty id") << "anything" << QString() << false;
    }
    void portDescriptions()
    {
        QFETCH(QString, description);
        QFETCH(QString, id);
        QFETCH(bool, matches);
        QCOMPARE(portDescriptionMatches(description, id), matches);
    }

    void replyMarkers()
    {
        QVERIFY(replyIsInvalid(QStringLiteral("Command INVALID\r\n>")));
        QVERIFY(replyIsWrong(QStringLiteral("Wrong parameter>")));
        QVERIFY(!replyIsInvalid(QStringLiteral("OUTPUT RESOLUTION IS 21\r\n>")));
        QVERIFY(!replyIsWrong(QStringLiteral("OK>")));
        QVERIFY(!replyIsWrong(QString()));
    }

    // Role 255 item data is the item's flags in a combo box's model: 0 greys an entry out, 33
    // makes it selectable and enabled again.
    void comboItemFlags()
    {
        QCOMPARE(COMBO_ITEM_FLAGS_ROLE, int(Qt::UserRole) - 1);
        QCOMPARE(COMBO_ITEM_DISABLED.toInt(), 0);
        QCOMPARE(COMBO_ITEM_ENABLED.toInt(), 33);
        QComboBox combo;
        combo.addItems({QStringLiteral("Header"), QStringLiteral("Entry")});
        auto* model = qobject_cast<QStandardItemModel*>(combo.model());
        QVERIFY(model);
        combo.setItemData(0, COMBO_ITEM_DISABLED, COMBO_ITEM_FLAGS_ROLE);
        QCOMPARE(int(model->item(0)->flags()), 0);
        QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEnabled));
        combo.setItemData(0, COMBO_ITEM_ENABLED, COMBO_ITEM_FLAGS_ROLE);
        QCOMPARE(model->item(0)->flags(), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }

    void blankLinePatterns_data()
    {
        QTest::addColumn<bool>("atEnd");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("end LF LF") << true << "abc\n\n" << true;
        QTest::newRow("end LF CR LF") << true << "abc\n\r\n" << true;
        QTest::newRow("end single LF") << true << "abc\n" << false;
        QTest::newRow("end not at end") << true << "abc\n\nx" << false;
        QTest::newRow("start LF LF") << false << "\n\nabc" << true;
        QTest::newRow("start CRLF CRLF") << false << "\r\n\r\nabc" << true;
        QTest::newRow("start single CRLF") << false << "\r\nabc" << false;
        QTest::newRow("start not at start") << false << "x\n\n" << false;
    }
    void blankLinePatterns()
    {
        QFETCH(bool, atEnd);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        QRegExp re = atEnd ? BLANK_LINE_END : BLANK_LINE_START;
        QVERIFY(re.isValid());
        QCOMPARE(re.caseSensitivity(), Qt::CaseSensitive);
        QCOMPARE(re.patternSyntax(), QRegExp::RegExp);
        QCOMPARE(re.indexIn(text) >= 0, matches);
    }

    void blankLinePatternTexts()
    {
        QCOMPARE(BLANK_LINE_END.pattern(), QStringLiteral("\\n\\r?\\n$"));
        QCOMPARE(BLANK_LINE_START.pattern(), QStringLiteral("^\\r?\\n\\r?\\n"));
    }

    // Each user gets its own working set, empty at start; no other user sees its contents.
    void workingSetsArePrivate()
    {
        NameSet loaderTimings = TIMING_NAMES();
        NameSet otherTimings = TIMING_NAMES();
        QVERIFY(loaderTimings.isEmpty());
        loaderTimings.insert(QStringLiteral("My 1080p"));
        QVERIFY(otherTimings.isEmpty());
        QVERIFY(TIMING_NAMES().isEmpty());

        NameSet audio = AUDIO_FORMAT_NAMES();
        audio.insert(AUDIO_LPCM);
        QVERIFY(AUDIO_FORMAT_NAMES().isEmpty());

        HexImageRecordMap records = HEX_IMAGE_RECORDS();
        QVERIFY(records.isEmpty());
        records.insert(0x08005810u, 16);
        records.insert(0x08005800u, 16);
        QCOMPARE(records.firstKey(), 0x08005800u); // ascending address order
        QVERIFY(HEX_IMAGE_RECORDS().isEmpty());
    }
};

PLEXA_TEST_MAIN(TestConstants)
#include "tst_constants.moc"
