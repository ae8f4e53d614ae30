#ifndef OSTRANDSIM_H
#define OSTRANDSIM_H

#include "simdevice.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// A telnet matrix switcher, the Quillon (four inputs, four outputs) or the Rennart (eight and
// eight), on a loopback TCP listener (start(), then tcpPort()).
//
// It takes lines ending in "\r\n" and answers each with the line's echo, "\r\n", the answer,
// "\r\n" and the prompt (setPrompt(), ">" by default: units also say "> ", "Quillon>" or
// "telnet> "). With setAnswerDelay() the echo goes at once and the answer with the prompt that
// many device ms later. Commands are upper case; anything else is "COMMAND NOT RECOGNIZED".
//
//   "#GET_EDID_MODE <in>"            "INPUT <in> EDID_MODE IS <m>"   (m 1..8, 8: custom)
//   "#GET_EDID_LOCK <in>"            "INPUT <in> EDID_LOCK IS <0|1>"
//   "#GET_INPUT_EDID <in>", "#GET_OUTPUT_EDID <A..>", "#GET_INTERNAL_EDID <1..6>",
//   "#GET_EXTERNAL_EDID"             the EDID as one upper-case hex word; an empty answer (echo
//                                    and prompt only) when the slot holds none
//   "#SEND_CUSTOM_EDID <in> <hex>"   "SEND_COMPLETE" when the input is in mode 8, unlocked and
//                                    the hex makes 128 or 256 bytes with right block sums (kept
//                                    as "CUSTOM <in>"); else "SEND_FAILED"
//   a bad input or output            "WRONG PARAMETER"
//
// Login (setPassword() not empty): each connection starts logged out. Its first line gets
// "\r\nLogin required\r\n" and the user question (loginQuestion(), "UserID: " by default); the
// next line is the user, answered "Password: "; then the password: user "Admin" and the right
// password give "\r\nWelcome to the Telnet Server\r\n" and the prompt, anything else
// "\r\nLogin incorrect\r\n" and the user question again. A logged-in session answers an empty
// line with "\r\n" and the prompt.
// On connecting the unit sends the greeting of setGreeting(), if any.
class OstrandSim : public SimDevice
{
public:
    enum class Model { Quillon, Rennart };

    explicit OstrandSim(Model model = Model::Quillon);
    ~OstrandSim() override;

    Model model() const { return m_model; }
    static QString modelName(Model model); // "Quillon", "Rennart"
    int ports() const { return m_model == Model::Rennart ? 8 : 4; }
    bool start(quint16 port = 0); // startTcp()

    void setPassword(const QString& password);
    void setLoginQuestion(const QString& question);
    void setGreeting(const QByteArray& greeting);
    // Answers leave in pieces of `size` bytes, `gapMs` device milliseconds apart (0: one piece).
    void setChunking(int size, int gapMs);
    void setPrompt(const QByteArray& prompt);
    // The answer and prompt of a command leave `ms` device milliseconds after its echo.
    void setAnswerDelay(int ms);

    int edidMode(int input) const;
    void setEdidMode(int input, int mode);
    bool edidLocked(int input) const;
    void setEdidLocked(int input, bool locked);
    // Slots: "INPUT <n>", "OUTPUT <X>", "INTERNAL <n>", "EXTERNAL", "CUSTOM <n>"; empty bytes
    // remove one.
    void setEdid(const QString& slot, const QByteArray& bytes);
    QByteArray edid(const QString& slot) const;

    int logins() const;              // sessions logged in
    QStringList passwordsTried() const;
    int connections() const;         // sessions opened

protected:
    bool handleLine(const QByteArray& line) override;
    void peerOpened(quint64 peerId) override;
    void peerClosed(quint64 peerId) override;

private:
    enum class Session { LoggedOut, WantUser, WantPassword, LoggedIn };
    struct Peer {
        Session session = Session::LoggedOut;
        QString user;
    };

    void send(const QByteArray& data, int delayMs = 0);
    QString respond(const QString& line);
    QString respondUpload(const QStringList& words);
    int inputOf(const QString& word) const;

    const Model m_model;
    // Simulator thread only.
    QMap<quint64, Peer> m_sessions;
    QString m_password;
    QString m_question = QStringLiteral("UserID: ");
    QByteArray m_greeting;
    int m_chunkSize = 0;
    int m_chunkGapMs = 0;
    QByteArray m_prompt = QByteArrayLiteral(">");
    int m_answerDelayMs = 0;
    QMap<int, int> m_modes;
    QMap<int, bool> m_locks;
    QMap<QString, QByteArray> m_edids;
    int m_logins = 0;
    int m_connections = 0;
    QStringList m_passwordsTried;
};

#endif // OSTRANDSIM_H
