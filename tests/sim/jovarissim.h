#ifndef JOVARISSIM_H
#define JOVARISSIM_H

#include "simdevice.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// One extender transmitter of the Jovaris family (Jovaris, Norrith or Surrow) on a serial port
// (a pty here).
//
// It takes upper-case lines ending in "\r\n" at its own rate, echoes each line it hears (with its
// "\r\n", unless setEcho(false)) and answers with words separated by single blanks, the lines
// ending in "\r\n" and the prompt ">":
//   "#GET_<NOUN>"                "<NOUN> <value>"            (AUTO_SWITCH, VOL, EDID_MODE, ...)
//   "#GET_INPUT_MODE V"          "INPUT_MODE V <mode>"
//   "#GET_COLOR_BALANCE 0"       "COLOR_BALANCE <r> <g> <b>"
//   "#GET_POLARITY 0"            "POLARITY H <+|-> V <+|->"
//   "#GET_IMAGE_ADJ 0"           "IMAGE_ADJ <down> <left> <right>"
//   "#GET_IMAGE_STRETCH 0"       "IMAGE_STRETCH W <+|-> <n> H <+|-> <n>"
//   "#GET_FIRMWARE_VERSION"      Jovaris "VERSION <v>" and "HW <hw>" on two lines; Norrith and
//                                Surrow the version alone
//   "#GET_INTERNAL_EDID n", "#GET_EXTERNAL_EDID", "#GET_CUSTOM_EDID"
//                                the EDID as one upper-case hexadecimal word; "NO USER" when no
//                                custom EDID is stored
//   "S"                          "ROUTE <H|V|DP|D>"; "V <input>" ("R <input>" on a Surrow) routes
//   "#SET_<NOUN> <args>"         stores and answers "<NOUN> <args>" (or the line itself, see
//                                setConfirmByRepetition)
//   "#HELP"                      a help text that lists the commands
//   "#REBOOT", "#FACTORY_RESET"  "REBOOT OK" / "FACTORY_RESET OK", then silence while the unit
//                                restarts (setRestartTime); a factory reset then listens at the
//                                factory rate
//   "#SEND_CUSTOM_EDID"          "SEND_CUSTOM_EDID READY" ("WRONG_PARAMETER" while the EDID is
//                                locked); then the EDID's raw bytes (128, or 256 when the base
//                                block announces one extension), not echoed, are stored as the
//                                custom EDID with "SEND_COMPLETE"; data that stops short for 2 s
//                                gets "SEND_FAILED" and nothing is stored
// A Surrow set to pass-through ("#SET_RS232_MODE 1") hands its link to the receiver: it answers
// nothing but "#SET_RS232_MODE 2", which takes the link back.
// A rejected command is answered "WRONG_COMMAND" or "WRONG_PARAMETER" (one word).
//
// The settings table is keyed by the command noun, with the input letter for the input modes
// ("INPUT_MODE V"); a value with several words is kept as they are reported ("50 50 50").
class JovarisSim : public SimDevice
{
public:
    enum class Model { Jovaris, Norrith, Surrow };

    struct SetRecord {
        QString key;      // table key
        QString argument; // the arguments as sent
        QString value;    // what the table holds now
    };

    explicit JovarisSim(Model model = Model::Jovaris);
    ~JovarisSim() override;

    Model model() const { return m_model; }
    static QString modelName(Model model); // "Jovaris", "Norrith", "Surrow"
    // The rates of "#SET_RS232_BAUD 0" to "#SET_RS232_BAUD 6": 115200 down to 2400.
    static const QList<qint32>& rates();
    // The rate a unit leaves the factory with (and returns to on "#FACTORY_RESET").
    static qint32 factoryRate(Model model);
    // startPty() with the model name as the port description (or the given identity).
    bool start();
    bool start(const SerialPortEntry& identity);

    // The unit's own rate: lines at another rate are not answered. "#SET_RS232_BAUD n" changes it
    // once its answer has gone out.
    qint32 baudRate() const;
    void setBaudRate(qint32 rate);
    void setEcho(bool echo); // default on
    // A setting ("#SET_...", a route) taken is answered with the line itself ("V H" -> "V H",
    // "#SET_VOL 40" -> "#SET_VOL 40") instead of its own words. A refusal stays one word.
    void setConfirmByRepetition(bool repeat);
    // Pass-through: the unit hands its serial link to the receiver and answers nothing at all.
    void setPassThroughSilence(bool silent);
    // How long (device ms) the unit is silent after "#REBOOT" or "#FACTORY_RESET"; 0 for not at
    // all. Default 3000.
    void setRestartTime(int ms);
    bool restarting() const;

    QString setting(const QString& key) const;
    void setSetting(const QString& key, const QString& value);
    QMap<QString, QString> settings() const;
    QList<SetRecord> sets() const;
    // EDIDs by slot: "INTERNAL 0" to "INTERNAL 4", "EXTERNAL", "CUSTOM" (empty bytes: none).
    void setEdid(const QString& slot, const QByteArray& bytes);
    QByteArray edid(const QString& slot) const;
    // A 128-byte EDID block, the same for the same seed (header, serial number, checksum right).
    static QByteArray sampleEdid(int seed);

protected:
    bool handleLine(const QByteArray& line) override;
    void handleBytes(const QByteArray& data) override;

private:
    void finishUpload(bool stored);
    QByteArray answer(const QString& text) const;
    QString respond(const QString& line);
    QString respondSet(const QString& noun, const QStringList& args);
    QString respondEdid(const QString& noun, const QStringList& args) const;
    QString helpText() const;
    QMap<QString, QString> defaults() const;
    int edidModeCount() const;

    const Model m_model;
    // Simulator thread only.
    QMap<QString, QString> m_settings;
    QMap<QString, QByteArray> m_edids;
    QList<SetRecord> m_sets;
    qint32 m_rate = 0;
    bool m_echo = true;
    bool m_confirmByRepetition = false;
    bool m_silent = false;
    int m_restartMs = 3000;
    bool m_restarting = false;
    quint64 m_restartNumber = 0;
    bool m_uploading = false; // raw bytes of a custom EDID are coming
    QByteArray m_upload;
    quint64 m_uploadNumber = 0;
};

#endif // JOVARISSIM_H
