#ifndef ZARRICKSIM_H
#define ZARRICKSIM_H

#include "simdevice.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// A Zarrick (four HDMI inputs, an EDID mode and an EDID lock per input) or a Cavrosh unit (one
// EDID mode and one lock; its external EDID comes from one of four HDMI outputs) on a loopback TCP
// listener (start(), then tcpPort()).
//
// It takes lines ending in "\n\r" and answers with words separated by single blanks, ending in
// "\n\r" and the prompt ">":
//
//   Zarrick                                  Cavrosh
//   "#GET_FIRMWARE_VERSION"                  "#GET_FIRMWARE_VERSION"
//     "FIRMWARE VERSION IS <v>"                "CAVROSH FIRMWARE VERSION IS <v>"
//   "#GET_EDID_MODE <in>"                    "#GET_EDID_MODE"
//     "INPUT <in> EDID_MODE <m>"               "EDID_MODE IS <m>"
//   "#SET_EDID_MODE <in> <m>"  (m 1..4)      "#SET_EDID_MODE <m>"  (m 1..8)
//     "INPUT <in> EDID_MODE SET <m>"           "EDID_MODE SET TO <m>"
//   "#GET_EDID_LOCK <in>"                    "#GET_EDID_LOCK"
//     "INPUT <in> EDID_LOCK <0|1>"             "EDID_LOCK IS <0|1>"
//   "#SET_EDID_LOCK <in> <0|1>"              "#SET_EDID_LOCK <0|1>"
//     "INPUT <in> EDID_LOCK SET <0|1>"         "EDID_LOCK SET TO <0|1>"
//   "#GET_INTERNAL_EDID <n>", "#GET_EXTERNAL_EDID" / "#GET_EXTERNAL_EDID <out>",
//   "#GET_CUSTOM_EDID <in>" / "#GET_CUSTOM_EDID": the EDID as one upper-case hexadecimal word
//     (longer than one TCP segment is worth: split it with SimRule::chunked() to test the reader);
//     with setEdidHeadings(true) a first line names the slot ("Internal EDID 1:", "External
//     EDID:", "External EDID 3:", "Custom EDID 2:", "Custom EDID:") and the digits follow in
//     lines of 32;
//     "NO USER" for a custom EDID that is not stored.
//   Zarrick, input 0 (all inputs):
//   "#GET_EDID_MODE 0"  "EDID_MODE ALL <m1> <m2> <m3> <m4>"
//   "#GET_EDID_LOCK 0"  "EDID_LOCK ALL <l1> <l2> <l3> <l4>"
//   "#SEND_CUSTOM_EDID <in>"                 "#SEND_CUSTOM_EDID"
//     "SEND_CUSTOM_EDID READY" when the input (the unit) is in custom mode and unlocked, else
//     "WRONG_PARAMETER". The unit then takes the EDID as hexadecimal digits with no line end
//     (128 bytes, or 256 when the base block announces one extension), stores it as the custom
//     EDID and answers "SEND_COMPLETE"; anything else in the data, or data that stops short for
//     2 s, gets "SEND_FAILED" and nothing is stored.
// A rejected command is answered "WRONG_COMMAND" or "WRONG_PARAMETER" (one word).
class ZarrickSim : public SimDevice
{
public:
    enum class Model { Zarrick, Cavrosh };

    explicit ZarrickSim(Model model = Model::Zarrick);
    ~ZarrickSim() override;

    Model model() const { return m_model; }
    static QString modelName(Model model); // "Zarrick", "Cavrosh"
    bool start(quint16 port = 0);          // startTcp()

    // Inputs count from 1; the Cavrosh has only input 1.
    int edidMode(int input = 1) const;
    void setEdidMode(int input, int mode);
    bool edidLocked(int input = 1) const;
    void setEdidLocked(int input, bool locked);
    QString firmwareVersion() const;
    void setFirmwareVersion(const QString& version);
    // EDIDs by slot: "INTERNAL <n>", "EXTERNAL" (Zarrick), "EXTERNAL <out>" (Cavrosh, 1..4),
    // "CUSTOM <in>" (Zarrick), "CUSTOM" (Cavrosh); empty bytes remove one.
    void setEdid(const QString& slot, const QByteArray& bytes);
    QByteArray edid(const QString& slot) const;
    // A 128-byte EDID block, the same for the same seed (header, serial number, checksum right).
    static QByteArray sampleEdid(int seed);
    // The unit's own answers leave in pieces: the first `sizes` bytes each, then the rest, with
    // `gapMs` device milliseconds before every piece after the first (empty: in one piece). For
    // one answer alone, or a cut-off one, use a rule (SimRule::chunked(), partial()).
    void setReplySegments(const QList<int>& sizes, int gapMs);
    // EDID answers begin with a line naming the slot (see above). Default off: the digits alone.
    void setEdidHeadings(bool headings);

    // The digits of the last custom-EDID upload as they arrived (empty before any).
    QByteArray lastUploadText() const;
    // The unit's EDID memory fails: a complete upload is answered "SEND_FAILED", not stored.
    void setUploadFailure(bool failing);

protected:
    bool handleLine(const QByteArray& line) override;
    void handleBytes(const QByteArray& data) override;

private:
    void answer(const QString& text);
    void finishUpload(bool stored);
    QString respondUpload(const QStringList& args);
    QString respond(const QString& line);
    QString respondZarrick(const QString& word, const QStringList& args);
    QString respondCavrosh(const QString& word, const QStringList& args);
    QString respondEdid(const QString& noun, const QStringList& args) const;
    int modeCount() const { return m_model == Model::Zarrick ? 4 : 8; }
    int inputCount() const { return m_model == Model::Zarrick ? 4 : 1; }

    const Model m_model;
    // Simulator thread only.
    QMap<int, int> m_modes;  // by input
    QMap<int, bool> m_locks; // by input
    QString m_version = QStringLiteral("2.1.0");
    QMap<QString, QByteArray> m_edids;
    QList<int> m_segments;
    int m_segmentGapMs = 0;
    bool m_edidHeadings = false;
    QString m_uploadSlot; // while an upload's data comes in: the slot it goes to
    QByteArray m_uploadText;
    QByteArray m_lastUploadText;
    quint64 m_uploadNumber = 0;
    bool m_uploadFailure = false;
};

#endif // ZARRICKSIM_H
