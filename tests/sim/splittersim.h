#ifndef SPLITTERSIM_H
#define SPLITTERSIM_H

#include "simdevice.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One HDMI splitter (Farrund: 2 outputs, Harlisk: 4, Jorvale: 8) on a USB serial port (a pty
// here). It hears lines ending in "\r", echoes each one, then answers with words separated by
// single blanks, "\r\n" and the prompt: "<echo>\r\n<words>\r\n>".
//
//   "#GET_INPUT_HDCP"            "INPUT_HDCP <i>"
//   "#GET_OUTPUT_HDCP k"         "OUTPUT_HDCP <k> <j>"
//   "#SET_INPUT_HDCP i"          stores, "INPUT_HDCP <i>"
//   "#SET_OUTPUT_HDCP k j"       stores, "OUTPUT_HDCP <k> <j>"
//   "#SET_EDID_MODE m"           stores, "EDID_MODE <m>"
//   "#GET_EDID_MODE"             "EDID_MODE IS <m>"
//   "#GETS_INPUT_SIGNAL"         "INPUT_SIGNAL <Y|N>"    (also _HDCP 1/2/U/F, _HPD L/H, _MODE D/H)
//   "#GETS_OUTPUT_HPD 0"         "OUTPUT_HPD 0 <c1> ... <cN>"
//   "#GETS_OUTPUT_HDCP 0"        "OUTPUT_HDCP 0 STATE <c1> ... <cN>"
//   "#GETS_OUTPUT_RSENSE 0"      "OUTPUT_RSENSE 0 <c1> ... <cN>"
//   "#GET_FW"                    "FW <version>"
//   "#GET_PRESET_EDID n", "#GET_USER_EDID", "#GET_EXT_EDID", "#GET_DS_EDID k"
//                                the EDID as one upper-case hexadecimal word; "NO_EDID" when empty
//   "#SET_EDID_COPY k"           output k's display EDID becomes the user EDID, "EDID_COPY_COMPLETE"
//   "#SEND_USER_EDID <hex>"      a 128- or 256-byte EDID in hexadecimal becomes the user EDID,
//                                "USER_EDID_RECEIVED"
//   "#FACTORY_RESET"             settings back to their defaults, "FACTORY_RESET_DONE"
// Anything else, or a value out of range, is answered "WRONG_COMMAND" or "WRONG_PARAMETER".
// Units differ: some print text of their own before the echo (setLeadingText(), a line or a few
// bytes without a line end) and some send no prompt (setPromptSent(false)).
class SplitterSim : public SimDevice
{
public:
    enum class Model { Farrund, Harlisk, Jorvale };

    explicit SplitterSim(Model model = Model::Harlisk);
    ~SplitterSim() override;

    Model model() const { return m_model; }
    static QString modelName(Model model); // "Farrund", "Harlisk", "Jorvale"
    static int outputCount(Model model);   // 2, 4, 8
    // startPty() with a description that starts with the model name. A stable name (below) is
    // kept across stop() and start().
    bool start();
    bool start(const SerialPortEntry& identity);
    // The unit answers under this path from the next start() on: a link to its pty, so it keeps
    // its port name when it vanishes and comes back, as a USB unit on the same socket does.
    void setStablePortName(const QString& path);

    void setEcho(bool echo); // default on
    void setPromptSent(bool sent); // default on
    // Sent before the echo of every answer; empty by default.
    void setLeadingText(const QByteArray& text);
    void setFirmwareVersion(const QString& version);

    int inputHdcp() const;
    void setInputHdcp(int value);
    int outputHdcp(int output) const; // output 1..N
    void setOutputHdcp(int output, int value);
    int edidMode() const;
    void setEdidMode(int mode);
    // The status codes: "SIGNAL", "HDCP", "HPD", "MODE" for the input (one code each), and
    // "OUT_HPD", "OUT_HDCP", "OUT_RSENSE" with one code per output.
    void setStatus(const QString& key, const QStringList& codes);

    // EDIDs by slot: "PRESET n" (0..6), "USER", "EXT", "DS k" (k = 1..N).
    void setEdid(const QString& slot, const QByteArray& bytes);
    QByteArray edid(const QString& slot) const;
    int factoryResets() const;

protected:
    bool handleLine(const QByteArray& line) override;

private:
    void answer(const QByteArray& line, const QString& words);
    void resetSettings();

    Model m_model;
    QString m_stableName;
    // Simulator thread (read and changed from the test through runOnSimThread).
    bool m_echo = true;
    bool m_prompt = true;
    QByteArray m_leading;
    QString m_version = QStringLiteral("1.0.0");
    int m_inputHdcp = 1;
    QList<int> m_outputHdcp;
    int m_edidMode = 1;
    QStringList m_input;      // SIGNAL, HDCP, HPD, MODE
    QStringList m_outHpd;
    QStringList m_outHdcp;
    QStringList m_outRsense;
    QList<QByteArray> m_presets;
    QByteArray m_user;
    QByteArray m_ext;
    QList<QByteArray> m_ds;
    int m_resets = 0;
};

#endif // SPLITTERSIM_H
