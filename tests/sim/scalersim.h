#ifndef SCALERSIM_H
#define SCALERSIM_H

#include "simdevice.h"
#include "ymodemunitsim.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// One generic video scaler on a USB serial port (a pty here).
//
// Running its firmware it takes text lines ending in "\r" at 19200 baud and answers each with
// text lines ending in "\r\n" and the prompt ">". A setting is answered "<NAME> IS <value>", a
// rejected command with a text containing "wrong". Its settings live in a table keyed by the
// command noun ("OUTPUT_RES", "CONTRAST", "COLOR_BALANCE 1", "EDID_MODE 0", ...); the table holds
// each value as the unit reports it ("1920x1080 RB", "ON", "15 SECONDS"), and "#SET_<noun> v"
// turns the program's value (a list position, a number, 0/1) into that form first.
//
// In its boot loader it takes binary packets at 115200 baud (length, 8-bit sum, command, data),
// acknowledges each well-formed one with 00 CC, answers "get status" with a success status and
// ignores text commands.
class ScalerSim : public SimDevice
{
public:
    // The three models; the numbers are the program's device types.
    enum class Model { Sdi = 4, Dvi = 5, Hdmi = 6 };
    static constexpr qint32 CommandRate = 19200;
    static constexpr qint32 BootLoaderRate = 115200;

    // What one accepted "#SET_" line did.
    struct SetRecord {
        QString key;      // table key: the noun, with the channel or input for the indexed ones
        QString argument; // the program's value as sent
        QString value;    // what the table holds now
    };

    explicit ScalerSim(Model model = Model::Sdi);
    ~ScalerSim() override;

    Model model() const { return m_model; }
    // The display name the program gives the model ("HDMI/VGA to 3GSDI Scaler", ...).
    static QString modelName(Model model);
    // The port identity a unit of this model shows: its description starts with the model code.
    static SerialPortEntry portIdentity(Model model);
    // startPty() with the model's identity (or the given one).
    bool start();
    bool start(const SerialPortEntry& identity);

    // Settings table.
    QString setting(const QString& key) const;
    void setSetting(const QString& key, const QString& value);
    QMap<QString, QString> settings() const;
    void resetSettings(); // the factory defaults of the model
    QList<SetRecord> sets() const;
    void clearSets();

    // The settings as the program sets them, for comparing what it read back or exported with
    // the unit: the argument of "#SET_<noun>" that gives the value the table holds now (a list
    // position, a number without its "%", 0/1 for OFF/ON and INTERNAL/CUSTOM, 0 for an automatic
    // phase or an OSD time-out that is off). Empty for a read-only key, a preset, or a value the
    // unit could not have been set to.
    QString programValue(const QString& key) const;
    // One line of a timing preset ("Hor Active", "Pixel Clk", ...): its value as the unit
    // reports it, empty when the preset has no such line; setPresetField changes (or adds) it.
    QString presetField(int preset, const QString& field) const;
    void setPresetField(int preset, const QString& field, const QString& value);

    // Echo every received line (with its "\r") before the answer. Off by default.
    void setEcho(bool echo);

    // Boot loader: switches the unit to packets at 115200 baud; leaveBootLoader() (or a reset
    // packet) returns it to its firmware at 19200.
    void enterBootLoader();
    void leaveBootLoader();
    bool inBootLoader() const;
    // Each well-formed packet the boot loader took (length byte first).
    QList<QByteArray> bootLoaderPackets() const;

    // ---- Boot-loader personality ----------------------------------------------------------
    // Generic: the image is the 16 bytes of the header (0x2D) and then the data of every 0x2E
    // packet; 0x2F finishes. Zarrick (and Cavrosh): the download command 0x21 announces the size
    // and starts a new image, 0x24 packets carry the data. Both: 0x20 ping, 0x23 status, 0x25
    // reset. start() with zarrickIdentity() gives the port a Zarrick unit's USB COM port shows.
    enum class BootLoaderVariant { Generic, Zarrick };
    void setBootLoaderVariant(BootLoaderVariant variant);
    static SerialPortEntry zarrickIdentity(const QString& model = QStringLiteral("Zarrick"));
    // The image received so far (after a download command, the Zarrick variant starts anew) and
    // the size its download command announced (-1: none).
    QByteArray bootLoaderImage() const;
    qint64 announcedSize() const;
    // A Zarrick unit that is still busy answers the first ping 01 CC.
    void setFirstPingBusy(bool busy);
    // Faults, each on the `occurrence`-th packet (from 1) of `command`: Nak answers 00 33,
    // BadStatus answers a status packet 03 41 41 (only for 0x23), Silence answers nothing,
    // StrayPrompt puts ">" before the answer, ExtraByte a 0x00 after it, SplitAnswer sends the
    // answer one byte at a time with pauses of 20 device ms.
    enum class BootFault { Nak, BadStatus, Silence, StrayPrompt, ExtraByte, SplitAnswer };
    void addBootFault(BootFault fault, quint8 command, int occurrence);
    void clearBootFaults();

    // ---- EDID: every input starts with a sample EDID; setEdid() replaces it (empty bytes: none).
    QByteArray edid(int input) const;
    void setEdid(int input, const QByteArray& bytes);

    // ---- EDID upload: "#SEND_EDID [input]" starts the unit's YMODEM receiver (ymodemunitsim.h):
    // ready text beginning "W", then "C"; after the closing block "The EDID file transmission is
    // complete." and the prompt. The file is kept as the input's EDID (0 VGA, 1 HDMI; without an
    // input, the one the unit shows). "a" between blocks aborts and keeps nothing.
    // The unit's own receiver script; a test adds faults to a copy and sets it.
    static SimYmodemReceiver::Script edidUploadScript();
    void setEdidUploadScript(const SimYmodemReceiver::Script& script);
    SimYmodemReceiver::State edidUploadState() const;
    QList<QByteArray> edidUploadFrames() const;

    // ---- EDID readout ("#GET_EDID [n]") ----
    // "#GET_EDID" (the shown input on the two-input model) or "#GET_EDID <n>" (n 0 or 1 there, 0
    // on the others) answers the heading "EDID:" and then the EDID, 16 bytes a line as blank-
    // separated hexadecimal pairs; "NO EDID" for an input without one.

protected:
    bool handleLine(const QByteArray& line) override;
    void handleBytes(const QByteArray& data) override;

private:
    struct Entry;
    static const QList<Entry>& entries();
    static const Entry* entryFor(const QString& noun);
    QStringList choices(const Entry& entry) const;
    QString format(const Entry& entry, const QString& argument, bool* ok) const;
    QString reportLine(const QString& key) const;
    QString currentInput() const;
    QByteArray answer(const QStringList& lines) const;
    QByteArray answerGet(const QString& noun, const QStringList& args) const;
    QByteArray answerSet(const QString& noun, const QStringList& args);
    QStringList videoOutputLines() const;
    QStringList pictureLines() const;
    QStringList videoSettingsLines() const;
    void bootLoaderBytes(const QByteArray& data);
    QMap<QString, QString> defaults() const;
    QString argumentFor(const QString& key) const;

    const Model m_model;
    // Simulator thread only (read from the test through runOnSimThread()).
    QMap<QString, QString> m_settings;
    QList<SetRecord> m_sets;
    bool m_echo = false;
    bool m_bootLoader = false;
    QByteArray m_packetBuffer;
    QElapsedTimer m_lastBytes;
    static constexpr int PacketGapMs = 500;
    QList<QByteArray> m_packets;
    // Boot-loader personality (simulator thread).
    struct BootFaultRule {
        BootFault fault;
        quint8 command;
        int occurrence;
    };
    void bootLoaderAnswer(quint8 command, const QByteArray& packet);
    BootLoaderVariant m_variant = BootLoaderVariant::Generic;
    QByteArray m_image;
    qint64 m_announced = -1;
    bool m_firstPingBusy = false;
    bool m_pingSeen = false;
    QMap<quint8, int> m_commandCounts;
    QList<BootFaultRule> m_bootFaults;

    // EDID upload (simulator thread).
    void startEdidUpload(const QStringList& args);
    SimYmodemReceiver m_edidReceiver;
    int m_edidInput = 0;
    // EDID readout.
    QByteArray answerEdid(const QStringList& args) const;
    QMap<int, QByteArray> m_edids; // by input; an input not in it has the sample EDID

    // ---- Timing preset commands: "#SET_<noun> <value> <preset>" sets one line of the preset
    // ("#SET_HORZ_ACTIVE 1904 2" sets "Hor Active = 1904" of preset 2); the polarities take 0 ("-")
    // or 1 ("+"). Answered with the line as it now stands; each is kept in sets() under the key
    // "TIMING_PRESET <n>". Empty for a noun that is no preset value.
    QByteArray answerPresetSet(const QString& noun, const QStringList& args);
};

#endif // SCALERSIM_H
