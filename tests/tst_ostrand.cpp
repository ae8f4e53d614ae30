// The telnet matrix page against simulated Quillon and Rennart units on loopback TCP: the EDID
// source list per model, the command runner (upper case, answer extraction, replies cut into
// pieces, prompts of any shape, answers that come late), the Admin login (none, any case of the question, wrong then cancel, per-unit
// passwords, a bounded retry loop), the EDID reads and their checks, saving, the scan for
// custom and unlocked inputs, the upload line and the error boxes.
#include "plexatest.h"
#include "edidcorpus.h"
#include "ediddecoder.h"
#include "localetest.h"
#include "myxmlmanager.h"
#include "ostrand.h"
#include "ostrandsim.h"
#include "scripteddialogs.h"
#include "simedid.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(OstrandSim::Model)

namespace {

using Model = OstrandSim::Model;
using Kind = DialogBackend::Kind;

const QString passwordLabel = QStringLiteral("\n\nPlease insert Admin password:");

QByteArray corpusEdid(int size)
{
    static QMap<int, QByteArray> found;
    if (!found.contains(size))
        found[size] = EdidCorpus().firstUnitEdid(size);
    return found.value(size);
}

QByteArray withBadChecksum(QByteArray edid)
{
    edid[127] = char(edid.at(127) + 1);
    return edid;
}

_Device unitOf(const OstrandSim& sim, int macSeed, const QString& name = QString())
{
    _Device d;
    const quint8 mac[6] = {0x02, 0x1C, 0x9A, 0x00, 0x00, quint8(macSeed)};
    std::copy(mac, mac + 6, d.mac);
    const quint8 ip[4] = {127, 0, 0, 1};
    std::copy(ip, ip + 4, d.ip);
    d.telnetPort = sim.tcpPort();
    d.productName = name.isEmpty() ? OstrandSim::modelName(sim.model()) + QStringLiteral(" Ostrand") : name;
    d.firmwareVersion = QStringLiteral("1.4.2");
    return d;
}

struct Fixture {
    QMainWindow window;
    Ui_MainUI ui;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope {dialogs};
    OstrandSim sim;
    std::unique_ptr<Ostrand> page;
    bool started = false;

    explicit Fixture(Model model = Model::Quillon)
        : sim(model)
    {
        ui.setupUi(&window);
        started = sim.start();
        page = std::make_unique<Ostrand>(&ui);
    }
    ~Fixture()
    {
        page.reset();
        sim.stop();
    }
    QString port() const { return QString::number(sim.tcpPort()); }
    void select(int macSeed = 1, const QString& name = QString())
    {
        // The record dies with the call, as discovery's may.
        auto unit = std::make_unique<_Device>(unitOf(sim, macSeed, name));
        page->selectedProductChanged(unit.get());
    }
    // Selects the source item whose text is `text`; false when the list has none.
    bool pick(const QString& text)
    {
        const int index = ui.selectEDIDFromDevice->findText(text);
        ui.selectEDIDFromDevice->setCurrentIndex(index);
        return index > 0;
    }
    QStringList items() const
    {
        QStringList texts;
        for (int i = 0; i < ui.selectEDIDFromDevice->count(); ++i)
            texts << ui.selectEDIDFromDevice->itemText(i);
        return texts;
    }
    QList<ScriptedDialogs::Shown> shownOf(Kind kind) const
    {
        QList<ScriptedDialogs::Shown> list;
        for (const auto& s : dialogs.shown()) {
            if (s.kind == kind)
                list << s;
        }
        return list;
    }
    QStringList requests() const { return sim.requests(); }
};

} // namespace

class TestOstrand : public QObject
{
    Q_OBJECT

private slots:
    void answerIsTheLinesBetweenEchoAndPrompt_data();
    void answerIsTheLinesBetweenEchoAndPrompt();
    void sourceListFollowsTheModel();
    void unitWithoutLoginAndUpperCaseCommands();
    void loginWhateverTheCaseOfTheQuestion_data();
    void loginWhateverTheCaseOfTheQuestion();
    void wrongPasswordThenCancelOrEmpty_data();
    void wrongPasswordThenCancelOrEmpty();
    void passwordsAreKeptPerUnit();
    void rejectedLoginsAreBounded();
    void replyCutIntoPiecesIsReadWhole();
    void flowsWhateverThePrompt_data();
    void flowsWhateverThePrompt();
    void silentOrVanishingUnitFails();
    void sourceSelectsTheReadCommand_data();
    void sourceSelectsTheReadCommand();
    void readRepliesAreChecked_data();
    void readRepliesAreChecked();
    void downloadSavesReplacesAndReportsErrors();
    void availabilityScan_data();
    void availabilityScan();
    void availabilityScanFailures();
    void uploadSendsOneLine();
    void uploadErrors_data();
    void uploadErrors();
};

void TestOstrand::answerIsTheLinesBetweenEchoAndPrompt_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("answer");
    QTest::newRow("four lines") << "#GET_X\r\nFIRST \r\nSECOND\r\n>" << "FIRST SECOND";
    QTest::newRow("echo and prompt only") << "#GET_X\r\n>" << "";
    QTest::newRow("one line") << ">" << "";
    QTest::newRow("empty middle line") << "#GET_X\r\n\r\n>" << "";
    QTest::newRow("trimmed") << "#GET_X\r\n  INPUT 1 EDID_MODE IS 8  \r\n>" << "INPUT 1 EDID_MODE IS 8";
}

void TestOstrand::answerIsTheLinesBetweenEchoAndPrompt()
{
    QFETCH(QString, reply);
    QFETCH(QString, answer);
    QCOMPARE(Ostrand::answerOf(reply), answer);
}

void TestOstrand::sourceListFollowsTheModel()
{
    Fixture f;
    QVERIFY(f.started);
    f.ui.downloadButton->setEnabled(true);
    f.ui.openEDIDFromDevice->setEnabled(true);
    f.ui.scalerEDIDBox->setEnabled(true);
    f.ui.selectEDIDFromDevice->setEnabled(false);
    f.ui.selectEDIDFromDevice->addItem(QStringLiteral("stale item"));

    const QString title = QStringLiteral("Select EDID From Device");
    f.select(1, QStringLiteral("Quillon Ostrand"));
    QCOMPARE(f.items(), QStringList {title} + Ostrand::edidSourceList(false));
    QCOMPARE(f.items().size(), 19); // the last item, "External EDID", sits at index 18
    QCOMPARE(f.ui.selectEDIDFromDevice->itemText(18), QStringLiteral("External EDID"));
    QCOMPARE(f.ui.versionInfo->toPlainText(), QStringLiteral("Firmware version: 1.4.2"));
    QVERIFY(f.ui.selectEDIDFromDevice->isEnabled());
    QVERIFY(!f.ui.downloadButton->isEnabled());
    QVERIFY(!f.ui.openEDIDFromDevice->isEnabled());
    QVERIFY(!f.ui.scalerEDIDBox->isEnabled());

    // Eight ports after four, and back: only the new list follows the title.
    f.select(2, QStringLiteral("Rennart Ostrand"));
    QCOMPARE(f.items(), QStringList {title} + Ostrand::edidSourceList(true));
    QCOMPARE(f.ui.selectEDIDFromDevice->itemText(26), QStringLiteral("External EDID"));
    QCOMPARE(f.ui.selectEDIDFromDevice->itemText(8), QStringLiteral("Input 8"));
    QCOMPARE(f.ui.selectEDIDFromDevice->itemText(17), QStringLiteral("Output H"));
    // A name with neither model gets the four-port list.
    f.select(3, QStringLiteral("Ostrand"));
    QCOMPARE(f.items(), QStringList {title} + Ostrand::edidSourceList(false));
    // Separators stand alone at their indexes.
    QVERIFY(f.ui.selectEDIDFromDevice->itemData(5, Qt::AccessibleDescriptionRole).toString() == "separator");
}

void TestOstrand::unitWithoutLoginAndUpperCaseCommands()
{
    Fixture f;
    QVERIFY(f.started);
    f.select();
    f.sim.setEdidMode(2, 8);
    // The unit's greeting is not taken for the answer.
    f.sim.setGreeting("\r\nWelcome to the matrix\r\n>");
    QCOMPARE(f.page->runCommand(QStringLiteral("#get_edid_mode 2"), true, true), QStringLiteral("INPUT 2 EDID_MODE IS 8"));
    QCOMPARE(f.requests(), QStringList {"#GET_EDID_MODE 2"});
    QVERIFY(f.dialogs.shown().isEmpty());
    QCOMPARE(f.sim.received(), QByteArray("#GET_EDID_MODE 2\r\n"));

    // A sequence: one connection for all three commands.
    f.sim.clearLog();
    const int before = f.sim.connections();
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 1"), true, false), QStringLiteral("INPUT 1 EDID_LOCK IS 0"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 2"), false, false), QStringLiteral("INPUT 2 EDID_LOCK IS 0"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#NO_SUCH"), false, true), QStringLiteral("COMMAND NOT RECOGNIZED"));
    QCOMPARE(f.sim.connections(), before + 1);
    // No sequence open any more: a command that would continue one fails cleanly.
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 3"), false, true), QStringLiteral("err"));
    QCOMPARE(f.sim.connections(), before + 1);
}

void TestOstrand::loginWhateverTheCaseOfTheQuestion_data()
{
    QTest::addColumn<QString>("question");
    QTest::newRow("UserID") << "UserID: ";
    QTest::newRow("upper") << "USERID:";
    QTest::newRow("mixed") << "uSeRiD :";
    // No colon: the page waits out the reply time and takes what came.
    QTest::newRow("no colon") << "Enter userid";
}

void TestOstrand::loginWhateverTheCaseOfTheQuestion()
{
    QFETCH(QString, question);
    Fixture f;
    QVERIFY(f.started);
    f.sim.setPassword(QStringLiteral("s3cret"));
    f.sim.setLoginQuestion(question);
    f.select();
    f.dialogs.answerText(QStringLiteral("s3cret"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 1"), true, true), QStringLiteral("INPUT 1 EDID_MODE IS 1"));
    QCOMPARE(f.requests(), (QStringList {"#GET_EDID_MODE 1", "Admin", "s3cret", "", "#GET_EDID_MODE 1"}));
    QCOMPARE(f.sim.logins(), 1);
    const auto asked = f.shownOf(Kind::Text);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].title, QStringLiteral("Telnet authentication"));
    QCOMPARE(asked[0].text, passwordLabel);

    // Later commands to the same unit log in with the stored password, without asking.
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 1"), true, true), QStringLiteral("INPUT 1 EDID_LOCK IS 0"));
    QCOMPARE(f.sim.logins(), 2);
    QCOMPARE(f.shownOf(Kind::Text).size(), 1);
}

void TestOstrand::wrongPasswordThenCancelOrEmpty_data()
{
    QTest::addColumn<bool>("empty");
    QTest::newRow("cancel") << false;
    QTest::newRow("empty") << true;
}

void TestOstrand::wrongPasswordThenCancelOrEmpty()
{
    QFETCH(bool, empty);
    Fixture f;
    QVERIFY(f.started);
    f.sim.setPassword(QStringLiteral("right"));
    f.dialogs.answerText(QStringLiteral("wrong"));
    if (empty)
        f.dialogs.answerText(QString());
    else
        f.dialogs.answerCancel();
    const QString context = QStringLiteral("Product: Quillon Ostrand\nIP: 127.0.0.1");
    // Through the scan, whose question names the unit.
    QCOMPARE(f.page->getAvailableInputs(QStringLiteral("Quillon Ostrand"), QStringLiteral("127.0.0.1"), f.port()),
             QStringList());
    const auto asked = f.shownOf(Kind::Text);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0].text, context + passwordLabel);
    QCOMPARE(asked[1].text, asked[0].text);
    QCOMPARE(f.sim.passwordsTried(), QStringList {"wrong"});
    QCOMPARE(f.sim.logins(), 0);
    // The command was repeated from a fresh connection, where it met the login again.
    QCOMPARE(f.sim.connections(), 2);
    QCOMPARE(f.requests().count(QStringLiteral("Admin")), 1);
    const auto boxes = f.shownOf(Kind::Critical);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Connection Error"));
    QCOMPARE(boxes[0].text, QStringLiteral("Can't communicate with device.."));
}

void TestOstrand::passwordsAreKeptPerUnit()
{
    Fixture f;
    QVERIFY(f.started);
    OstrandSim other(Model::Rennart);
    QVERIFY(other.start());
    f.sim.setPassword(QStringLiteral("first"));
    other.setPassword(QStringLiteral("second"));

    f.select(1);
    f.dialogs.answerText(QStringLiteral("first"));
    QVERIFY(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 1"), true, true) != QLatin1String("err"));

    // Another unit is asked for its own password; the first one's never reaches it.
    f.dialogs.answerText(QStringLiteral("second"));
    const QString otherPort = QString::number(other.tcpPort());
    QCOMPARE(f.page->runCommand(QStringLiteral("127.0.0.1"), otherPort, QStringLiteral("#GET_EDID_MODE 8"), true, true),
             QStringLiteral("INPUT 8 EDID_MODE IS 1"));
    QCOMPARE(other.passwordsTried(), QStringList {"second"});
    QCOMPARE(f.shownOf(Kind::Text).size(), 2);

    // Both are remembered: the selected unit by its MAC, also when addressed by the caller.
    QVERIFY(f.page->getAvailableInputs(QStringLiteral("Quillon Ostrand"), QStringLiteral("127.0.0.1"), f.port()).isEmpty());
    QVERIFY(f.page->runCommand(QStringLiteral("127.0.0.1"), otherPort, QStringLiteral("#GET_EDID_MODE 1"), true, true)
            != QLatin1String("err"));
    QCOMPARE(f.shownOf(Kind::Text).size(), 2);
    QCOMPARE(f.sim.passwordsTried(), (QStringList {"first", "first"}));
    QCOMPARE(other.passwordsTried(), (QStringList {"second", "second"}));
}

void TestOstrand::rejectedLoginsAreBounded()
{
    Fixture f;
    QVERIFY(f.started);
    f.sim.setPassword(QStringLiteral("right"));
    f.select();
    for (int i = 0; i < 20; ++i)
        f.dialogs.answerText(QStringLiteral("wrong%1").arg(i));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 1"), true, true), QStringLiteral("err"));
    const int asked = f.shownOf(Kind::Text).size();
    QVERIFY2(asked >= 2 && asked <= 10, qPrintable(QString::number(asked)));
    QCOMPARE(f.sim.passwordsTried().size(), asked);
    QCOMPARE(f.sim.logins(), 0);
}

void TestOstrand::replyCutIntoPiecesIsReadWhole()
{
    // A reply is over when the unit falls quiet: the pieces' gaps must stay well inside that
    // quiet time on a loaded machine as well.
    const double factor = TimeScale::factor();
    TimeScale::setFactor(qMax(factor, 0.2));
    const auto restore = qScopeGuard([factor] { TimeScale::setFactor(factor); });
    for (const bool login : {false, true}) {
        Fixture f;
        QVERIFY(f.started);
        if (login) {
            f.sim.setPassword(QStringLiteral("pw"));
            f.dialogs.answerText(QStringLiteral("pw"));
        }
        // Small pieces, each written on its own after a pause, the prompt alone at last.
        f.sim.setChunking(50, 50);
        f.select();
        QVERIFY(f.pick(QStringLiteral("Input 2")));
        QCOMPARE(f.page->getEDID(), f.sim.edid(QStringLiteral("INPUT 2")));
        QVERIFY(f.shownOf(Kind::Critical).isEmpty());
    }
}

void TestOstrand::flowsWhateverThePrompt_data()
{
    QTest::addColumn<QByteArray>("prompt");
    QTest::addColumn<int>("answerDelay"); // device ms between the echo and the rest
    QTest::newRow(">") << QByteArray(">") << 0;
    QTest::newRow("trailing blank") << QByteArray("> ") << 0;
    QTest::newRow("word, no blank") << QByteArray("Quillon>") << 0;
    QTest::newRow("word, trailing blank") << QByteArray("Quillon> ") << 0;
    QTest::newRow("telnet") << QByteArray("telnet> ") << 0;
    QTest::newRow("no angle bracket") << QByteArray("matrix$ ") << 0;
    // Later than the pause after the command, well inside the wait.
    QTest::newRow("late answer, >") << QByteArray(">") << 1200;
    QTest::newRow("late answer, word") << QByteArray("Quillon> ") << 1200;
}

// Login, read, save, scan and upload against a unit that speaks with another prompt.
void TestOstrand::flowsWhateverThePrompt()
{
    QFETCH(QByteArray, prompt);
    QFETCH(int, answerDelay);
    Fixture f;
    QVERIFY(f.started);
    f.sim.setPrompt(prompt);
    f.sim.setAnswerDelay(answerDelay);
    f.sim.setGreeting("\r\nWelcome to the matrix\r\n" + prompt);
    f.sim.setPassword(QStringLiteral("pw"));
    f.dialogs.answerText(QStringLiteral("pw"));
    f.select();

    QVERIFY(f.pick(QStringLiteral("Input 2")));
    QCOMPARE(f.page->getEDID(), f.sim.edid(QStringLiteral("INPUT 2")));
    QCOMPARE(f.sim.logins(), 1);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.bin"));
    QVERIFY(f.pick(QStringLiteral("Output B")));
    f.dialogs.answerPath(path);
    f.page->downloadEDID();
    QCOMPARE(PlexaTest::readFile(path), f.sim.edid(QStringLiteral("OUTPUT B")));

    // Every answer of the scan's one connection belongs to its own question.
    f.sim.setEdidMode(1, 8);
    f.sim.setEdidMode(3, 8);
    f.sim.setEdidLocked(3, true);
    f.sim.setEdidMode(4, 8);
    QCOMPARE(f.page->getAvailableInputs(QStringLiteral("Quillon 4x4"), QStringLiteral("127.0.0.1"), f.port()),
             (QStringList {"Input 1", "Input 4"}));

    const QByteArray edid = simSampleEdid(9);
    f.page->uploadCustomEDID(QStringLiteral("4"), QStringLiteral("127.0.0.1"), f.port(), edid,
                             QStringLiteral("Quillon 4x4"));
    QCOMPARE(f.sim.edid(QStringLiteral("CUSTOM 4")), edid);
    QCOMPARE(f.shownOf(Kind::Information).value(0).text, QStringLiteral("Done"));

    QVERIFY(f.shownOf(Kind::Critical).isEmpty());
    QCOMPARE(f.shownOf(Kind::Text).size(), 1);
    QCOMPARE(f.sim.logins(), 5);
}

void TestOstrand::silentOrVanishingUnitFails()
{
    Fixture f;
    QVERIFY(f.started);
    f.select();
    // The echo, or the echo and the answer, then nothing: no prompt line within the wait.
    f.sim.addRule(SimRule::exact("#GET_EDID_MODE 1").reply("#GET_EDID_MODE 1\r\n"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 1"), true, true), QStringLiteral("err"));
    f.sim.addRule(SimRule::exact("#GET_EDID_MODE 3").reply("#GET_EDID_MODE 3\r\nINPUT 3 EDID_MODE IS 1\r\n"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 3"), true, true), QStringLiteral("err"));
    // An answer later than the wait fails its command and ends the sequence: it never passes for
    // the answer to the next question.
    f.sim.addRule(SimRule::exact("#GET_EDID_LOCK 2").reply("#GET_EDID_LOCK 2\r\nINPUT 2 EDID_LOCK IS 1\r\n>").after(4000));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 1"), true, false), QStringLiteral("INPUT 1 EDID_LOCK IS 0"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 2"), false, false), QStringLiteral("err"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 3"), false, true), QStringLiteral("err"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 3"), true, true), QStringLiteral("INPUT 3 EDID_LOCK IS 0"));
    // The unit hangs up mid-reply.
    f.sim.addRule(SimRule::exact("#GET_EDID_MODE 2").reply("#GET_EDID_MODE 2\r\nINPUT").thenClose());
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 2"), true, true), QStringLiteral("err"));
    // Garbage without a line end.
    f.sim.addRule(SimRule::exact("#GET_EDID_MODE 5").garbage());
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 5"), true, true), QStringLiteral("err"));
    // A reply longer than any the unit has is cut off, not collected without end.
    f.sim.addRule(SimRule::exact("#GET_EDID_MODE 4").reply(QByteArray(100000, 'A') + "\r\n>"));
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 4"), true, true), QStringLiteral("err"));
    // Nobody listens on the port.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString port = QString::number(closed.serverPort());
    closed.close();
    QCOMPARE(f.page->runCommand(QStringLiteral("127.0.0.1"), port, QStringLiteral("#GET_EDID_MODE 1"), true, true),
             QStringLiteral("err"));
    QCOMPARE(f.page->runCommand(QStringLiteral("127.0.0.1"), QStringLiteral("99999"), QStringLiteral("#X"), true, true),
             QStringLiteral("err"));
    // And the unit still answers a good command afterwards.
    QCOMPARE(f.page->runCommand(QStringLiteral("#GET_EDID_LOCK 1"), true, true), QStringLiteral("INPUT 1 EDID_LOCK IS 0"));
}

void TestOstrand::sourceSelectsTheReadCommand_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("slot");
    for (const Model model : {Model::Quillon, Model::Rennart}) {
        const QString name = OstrandSim::modelName(model);
        QTest::addRow("%s input 3", qPrintable(name)) << model << "Input 3" << "#GET_INPUT_EDID 3" << "INPUT 3";
        QTest::addRow("%s output C", qPrintable(name)) << model << "Output C" << "#GET_OUTPUT_EDID C" << "OUTPUT C";
        QTest::addRow("%s preset 3", qPrintable(name))
            << model << "UHD 4K 300 MHz 2ch" << "#GET_INTERNAL_EDID 3" << "INTERNAL 3";
        QTest::addRow("%s preset 6", qPrintable(name)) << model << "1080p Multi-Ch" << "#GET_INTERNAL_EDID 6" << "INTERNAL 6";
        QTest::addRow("%s external", qPrintable(name)) << model << "External EDID" << "#GET_EXTERNAL_EDID" << "EXTERNAL";
    }
    QTest::newRow("Rennart input 8") << Model::Rennart << "Input 8" << "#GET_INPUT_EDID 8" << "INPUT 8";
    QTest::newRow("Rennart output H") << Model::Rennart << "Output H" << "#GET_OUTPUT_EDID H" << "OUTPUT H";
}

void TestOstrand::sourceSelectsTheReadCommand()
{
    QFETCH(Model, model);
    QFETCH(QString, item);
    QFETCH(QString, command);
    QFETCH(QString, slot);
    Fixture f(model);
    QVERIFY(f.started);
    f.select();
    QVERIFY(f.pick(item));
    const QByteArray edid = f.page->getEDID();
    QCOMPARE(f.requests(), QStringList {command});
    QCOMPARE(edid, f.sim.edid(slot));
    QVERIFY(f.dialogs.shown().isEmpty());
}

void TestOstrand::readRepliesAreChecked_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("size");     // bytes returned
    QTest::addColumn<QString>("box");  // text of the error box, or empty

    const QByteArray one = simSampleEdid(5).toHex();
    const QByteArray two = corpusEdid(256).toHex().toUpper();
    const QString standard = QStringLiteral("Can't communicate with device.");
    QTest::newRow("128 bytes, lower case") << one << 128 << "";
    QTest::newRow("256 bytes") << two << 256 << "";
    QTest::newRow("empty answer") << QByteArray() << 0 << "";
    QTest::newRow("odd length") << one.left(255) << 0 << standard;
    QTest::newRow("not recognised") << QByteArray("COMMAND NOT RECOGNIZED") << 0 << standard;
    QTest::newRow("bad checksum") << withBadChecksum(simSampleEdid(5)).toHex() << 0
                                  << "This is not a valid EDID: the checksum of block 0 is wrong.";
    QTest::newRow("not hex") << QByteArray(256, 'Z') << 0 << "*";
    QTest::newRow("three blocks") << (two + one) << 0 << "*";
}

void TestOstrand::readRepliesAreChecked()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, size);
    QFETCH(QString, box);
    Fixture f;
    QVERIFY(f.started);
    QVERIFY(!corpusEdid(256).isEmpty());
    f.select();
    QVERIFY(f.pick(QStringLiteral("Input 1")));
    f.sim.addRule(SimRule::exact("#GET_INPUT_EDID 1").reply("#GET_INPUT_EDID 1\r\n" + answer + "\r\n>"));
    const QByteArray edid = f.page->getEDID();
    QCOMPARE(edid.size(), size);
    if (size > 0)
        QCOMPARE(edid, QByteArray::fromHex(answer));
    const auto boxes = f.shownOf(Kind::Critical);
    QCOMPARE(boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        QCOMPARE(boxes[0].title, QStringLiteral("Connection Error"));
        if (box != QLatin1String("*"))
            QCOMPARE(boxes[0].text, box);
        QCOMPARE(f.ui.statusBar->currentMessage(), QString());
    }
}

void TestOstrand::downloadSavesReplacesAndReportsErrors()
{
    Fixture f;
    QVERIFY(f.started);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    f.select();
    QVERIFY(f.pick(QStringLiteral("Output B")));
    const QByteArray edid = f.sim.edid(QStringLiteral("OUTPUT B"));

    // Over a longer old file: nothing of it is left.
    const QString path = dir.filePath(QStringLiteral("out.bin"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(1000, 'x'));
    }
    f.dialogs.answerPath(path);
    f.page->downloadEDID();
    QCOMPARE(PlexaTest::readFile(path), edid);
    QCOMPARE(f.ui.statusBar->currentMessage(), QStringLiteral("Download Complete."));
    QCOMPARE(f.ui.statusBar->palette().color(QPalette::WindowText), QColor(Qt::green));
    // Gone about three seconds later.
    QTRY_COMPARE(f.ui.statusBar->currentMessage(), QString());
    QCOMPARE(QDir(myXMLManager::getLastSavedDirectory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    const auto saves = f.shownOf(Kind::SaveFile);
    QCOMPARE(saves.size(), 1);
    QCOMPARE(saves[0].title, QStringLiteral("Select File to Save As"));

    // Cancelled: nothing written, the last folder kept.
    QTemporaryDir elsewhere;
    myXMLManager::setLastSavedDirectory(elsewhere.filePath(QStringLiteral("x.bin")));
    const QString folder = myXMLManager::getLastSavedDirectory();
    f.dialogs.answerCancel();
    f.page->downloadEDID();
    QCOMPARE(myXMLManager::getLastSavedDirectory(), folder);
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList());

    // A file that cannot be written is reported, and the old one stays whole.
    const QString blocked = dir.filePath(QStringLiteral("out.bin/inside.bin"));
    f.dialogs.clear();
    f.dialogs.answerPath(blocked);
    f.page->downloadEDID();
    QCOMPARE(f.shownOf(Kind::Critical).size(), 1);
    QCOMPARE(f.shownOf(Kind::Critical)[0].title, QStringLiteral("I/O Error"));
    QVERIFY(f.ui.statusBar->currentMessage() != QLatin1String("Download Complete."));
    QCOMPARE(PlexaTest::readFile(path), edid);

    // A failed read asks for no file.
    f.dialogs.clear();
    f.sim.addRule(SimRule::exact("#GET_OUTPUT_EDID B").reply("#GET_OUTPUT_EDID B\r\nCOMMAND NOT RECOGNIZED\r\n>"));
    f.page->downloadEDID();
    QVERIFY(f.shownOf(Kind::SaveFile).isEmpty());
    QCOMPARE(f.shownOf(Kind::Critical).size(), 1);
}

void TestOstrand::availabilityScan_data()
{
    addLocaleRows();
}

void TestOstrand::availabilityScan()
{
    QFETCH(QString, locale);
    DefaultLocaleScope scope(locale);
    {
        Fixture f(Model::Quillon);
        QVERIFY(f.started);
        f.sim.setEdidMode(1, 8);
        f.sim.setEdidMode(2, 8);
        f.sim.setEdidLocked(2, true);
        f.sim.setEdidMode(3, 8);
        f.sim.setEdidMode(4, 2);
        QCOMPARE(f.page->getAvailableInputs(QStringLiteral("Quillon 4x4"), QStringLiteral("127.0.0.1"), f.port()),
                 (QStringList {"Input 1", "Input 3"}));
        QCOMPARE(f.sim.requestCount(QStringLiteral("#GET_EDID_LOCK 4")), 0);
        QCOMPARE(f.sim.requestCount(QStringLiteral("#GET_EDID_MODE 4")), 1);
        QCOMPARE(f.sim.connections(), 1);
        QVERIFY(f.dialogs.shown().isEmpty());
    }
    {
        // Eight inputs by the name; the lock of the last input on a connection of its own.
        Fixture f(Model::Rennart);
        QVERIFY(f.started);
        f.sim.setEdidMode(5, 8);
        f.sim.setEdidMode(8, 8);
        QCOMPARE(f.page->getAvailableInputs(QStringLiteral("Rennart 8x8"), QStringLiteral("127.0.0.1"), f.port()),
                 (QStringList {"Input 5", "Input 8"}));
        QCOMPARE(f.sim.requestCount(QStringLiteral("#GET_EDID_MODE 8")), 1);
        QCOMPARE(f.sim.connections(), 2);
    }
}

void TestOstrand::availabilityScanFailures()
{
    Fixture f;
    QVERIFY(f.started);
    f.sim.setEdidMode(1, 8);
    f.sim.setEdidMode(3, 8);
    f.sim.addRule(SimRule::exact("#GET_EDID_MODE 3").reply("#GET_EDID_MODE 3\r\nCOMMAND NOT RECOGNIZED\r\n>"));
    QCOMPARE(f.page->getAvailableInputs(QStringLiteral("Quillon 4x4"), QStringLiteral("127.0.0.1"), f.port()),
             QStringList {"Input 1"});
    auto boxes = f.shownOf(Kind::Critical);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Connection Error"));
    QCOMPARE(boxes[0].text, QStringLiteral("Can't communicate with device.."));
    QCOMPARE(f.sim.requestCount(QStringLiteral("#GET_EDID_MODE 4")), 0);
    // The connection the scan meant to keep is closed.
    QTRY_COMPARE(f.sim.peerCount(), 0);

    // A unit that does not answer at all.
    f.dialogs.clear();
    const QString port = f.port();
    f.sim.stop();
    QVERIFY(f.page->getAvailableInputs(QStringLiteral("Quillon 4x4"), QStringLiteral("127.0.0.1"), port).isEmpty());
    QCOMPARE(f.shownOf(Kind::Critical).size(), 1);
}

void TestOstrand::uploadSendsOneLine()
{
    Fixture f;
    QVERIFY(f.started);
    const QByteArray edid = corpusEdid(256);
    QVERIFY(!edid.isEmpty());
    f.sim.setEdidMode(2, 8);
    f.page->uploadCustomEDID(QStringLiteral("2"), QStringLiteral("127.0.0.1"), f.port(), edid,
                             QStringLiteral("Quillon 4x4"));
    const QByteArray line = "#SEND_CUSTOM_EDID 2 " + edid.toHex().toUpper() + "\r\n";
    QCOMPARE(f.sim.received(), line);
    QCOMPARE(line.size(), 20 + 512 + 2);
    QCOMPARE(f.sim.edid(QStringLiteral("CUSTOM 2")), edid);
    const auto boxes = f.shownOf(Kind::Information);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QString());
    QCOMPARE(boxes[0].text, QStringLiteral("Done"));

    // The question of a later login names no unit of an earlier upload.
    f.sim.setPassword(QStringLiteral("pw"));
    f.dialogs.answerText(QStringLiteral("pw"));
    f.select();
    QVERIFY(f.page->runCommand(QStringLiteral("#GET_EDID_MODE 1"), true, true) != QLatin1String("err"));
    QCOMPARE(f.shownOf(Kind::Text).value(0).text, passwordLabel);
}

void TestOstrand::uploadErrors_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("edid");
    QTest::addColumn<QByteArray>("answer"); // the unit's answer, empty: its own
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("text");
    const QByteArray good = simSampleEdid(9);
    const QString standard = QStringLiteral("Can't communicate with device..");
    QTest::newRow("locked input") << "1" << good << QByteArray() << true << standard;
    QTest::newRow("not recognised and complete")
        << "2" << good << QByteArray("COMMAND NOT RECOG SEND_COMPLETE") << true << standard;
    QTest::newRow("no complete word") << "2" << good << QByteArray("BUSY") << true << standard;
    QTest::newRow("bad checksum") << "2" << withBadChecksum(good) << QByteArray() << false
                                  << "This is not a valid EDID: the checksum of block 0 is wrong.";
    QTest::newRow("short EDID") << "2" << good.left(100) << QByteArray() << false << "*";
    QTest::newRow("input not a number") << "2 3" << good << QByteArray() << false << "*";
}

void TestOstrand::uploadErrors()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, edid);
    QFETCH(QByteArray, answer);
    QFETCH(bool, sent);
    QFETCH(QString, text);
    Fixture f;
    QVERIFY(f.started);
    f.sim.setEdidMode(1, 8);
    f.sim.setEdidLocked(1, true);
    f.sim.setEdidMode(2, 8);
    if (!answer.isEmpty())
        f.sim.addRule(SimRule::prefix("#SEND_CUSTOM_EDID").respond([answer](const QString& line) {
            return line.toLatin1() + "\r\n" + answer + "\r\n>";
        }));
    f.page->uploadCustomEDID(input, QStringLiteral("127.0.0.1"), f.port(), edid, QStringLiteral("Quillon 4x4"));
    QCOMPARE(!f.sim.received().isEmpty(), sent);
    QVERIFY(f.sim.edid(QStringLiteral("CUSTOM 1")).isEmpty());
    QVERIFY(f.shownOf(Kind::Information).isEmpty());
    const auto boxes = f.dialogs.shown();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, sent ? QStringLiteral("Connection Error") : QStringLiteral("Warning"));
    if (text != QLatin1String("*"))
        QCOMPARE(boxes[0].text, text);
}

PLEXA_TEST_MAIN(TestOstrand)
#include "tst_ostrand.moc"
