// Usage statistics: consent, recording, the seven-day post and when the counters may be reset.
#include "plexatest.h"
#include "endpoints.h"
#include "httppeer.h"
#include "myxmlmanager.h"
#include "scripteddialogs.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <sys/stat.h>

namespace {

const qint64 NOW = 1700000000;
const qint64 WEEK = 604800;

// Answers every request with a fixed status and keeps the raw requests, for the answers the
// recording peer never gives.
class StatusServer : public QTcpServer
{
public:
    explicit StatusServer(int status) : m_status(status)
    {
        connect(this, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() { onData(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        listen(QHostAddress::LocalHost);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }
    QList<QByteArray> requests;

private:
    void onData(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QRegularExpression lengthHeader(QStringLiteral("content-length:\\s*(\\d+)"),
                                              QRegularExpression::CaseInsensitiveOption);
        const int length = lengthHeader.match(QString::fromLatin1(buffer.left(headerEnd))).captured(1).toInt();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        requests.append(buffer);
        m_buffers.remove(socket);
        socket->write(QStringLiteral("HTTP/1.1 %1 Status\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                          .arg(m_status)
                          .toLatin1());
        socket->disconnectFromHost();
    }
    int m_status;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString statFolder()
{
    return QFileInfo(myXMLManager::statisticsFilePath()).absolutePath();
}

QDomElement statRoot(QDomDocument& doc)
{
    doc.setContent(readAll(myXMLManager::statisticsFilePath()));
    return doc.documentElement();
}

QString field(const QString& name)
{
    QDomDocument doc;
    return statRoot(doc).firstChildElement(name).text();
}

// The children of "data" as "key=text", in file order.
QStringList recorded()
{
    QDomDocument doc;
    QStringList entries;
    for (QDomElement e = statRoot(doc).firstChildElement(QStringLiteral("data")).firstChildElement(); !e.isNull();
         e = e.nextSiblingElement())
        entries << e.tagName() + QLatin1Char('=') + e.text();
    return entries;
}

// The decoded "xmlData" of each recorded post to the statistics path.
QStringList postedDocuments(const HttpPeer& peer)
{
    QStringList documents;
    for (const QByteArray& line : peer.posts().split('\n')) {
        if (line.isEmpty())
            continue;
        const QByteArray prefix = "/write_data.php xmlData=";
        documents << (line.startsWith(prefix) ? QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(prefix.size())))
                                              : QStringLiteral("unexpected post: ") + QString::fromUtf8(line));
    }
    return documents;
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

private:
    // A statistics file as an earlier run left it, and the consent read from it.
    void prepare(const QString& acceptance, const QString& lastSent, const QString& data)
    {
        QVERIFY(QDir().mkpath(statFolder()));
        QFile file(myXMLManager::statisticsFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("<!DOCTYPE Info>\n<DataSheet>\n    <acceptance>%1</acceptance>\n"
                                  "    <id>{0f8fad5b-d9cb-469f-a165-70867728950e}</id>\n"
                                  "    <lastSent>%2</lastSent>\n    <data>%3</data>\n</DataSheet>\n")
                       .arg(acceptance, lastSent, data)
                       .toUtf8());
        file.close();
        myXMLManager::checkStatisticsAcceptanceFileRead();
    }

    void waitForSend() { QTRY_VERIFY_WITH_TIMEOUT(!myXMLManager::isSendingStatistics(), 20000); }

    // One recording server for the whole run (it takes seconds to start); its log is cleared
    // before each test.
    HttpPeer peer;

private slots:
    void initTestCase()
    {
        myXMLManager::setClockForTests([]() { return QDateTime::fromSecsSinceEpoch(NOW, Qt::UTC); });
        QVERIFY(peer.start());
    }

    void init()
    {
        myXMLManager::startAgainForTests();
        QFile::remove(peer.root() + QStringLiteral("/posts.log"));
        QFile::setPermissions(statFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (QFileInfo(statFolder()).isDir())
            QDir(statFolder()).removeRecursively();
        else
            QFile::remove(statFolder());
    }

    void cleanup()
    {
        waitForSend();
        Endpoints::setServer(QString());
    }

    // First start: the question is asked once, the folder is made and the answer kept. A refusal
    // sends nothing, keeps no id and records nothing.
    void consent_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("agreed") << int(QMessageBox::Yes);
        QTest::newRow("refused") << int(QMessageBox::No);
    }
    void consent()
    {
        QFETCH(int, answer);
        const bool agreed = answer == QMessageBox::Yes;
        Endpoints::setServer(peer.url());
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        dialogs.answerButton(QMessageBox::StandardButton(answer));

        QCOMPARE(myXMLManager::checkStatisticsAcceptance(), agreed);
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("Anonymous Data"));
        QVERIFY(dialogs.shown().at(0).text.startsWith("To help improve the software and user experience, Velmo"));

        const QByteArray file = readAll(myXMLManager::statisticsFilePath());
        QVERIFY2(file.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Info>"), file.constData());
        QDomDocument doc;
        QDomElement root = statRoot(doc);
        QCOMPARE(root.tagName(), QStringLiteral("DataSheet"));
        QStringList children;
        for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            children << e.tagName();
        QCOMPARE(children, (QStringList{"acceptance", "id", "lastSent", "data"}));
        QCOMPARE(field("acceptance"), agreed ? QStringLiteral("yes") : QStringLiteral("no"));
        const QRegularExpression uuid(QStringLiteral("^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$"));
        QCOMPARE(uuid.match(field("id")).hasMatch(), agreed);
        QCOMPARE(field("lastSent"), QString::number(NOW));

        myXMLManager::incrementStatistic(myXMLManager::STAT_OPENED);
        QCOMPARE(recorded(), agreed ? QStringList{"opened_plexat=1"} : QStringList{});

        // Nothing is due at creation, and a refusal is not reported either.
        QVERIFY(!myXMLManager::isSendingStatistics());
        myXMLManager::checkSendStatisticsData();
        QVERIFY(!myXMLManager::isSendingStatistics());

        // Later starts read the answer and never ask again, even a week on.
        myXMLManager::setClockForTests([]() { return QDateTime::fromSecsSinceEpoch(NOW + 2 * WEEK, Qt::UTC); });
        QCOMPARE(myXMLManager::checkStatisticsAcceptance(), agreed);
        QCOMPARE(dialogs.shown().size(), 1);
        waitForSend();
        QTest::qWait(100);
        QCOMPARE(postedDocuments(peer).size(), agreed ? 1 : 0);
        myXMLManager::setClockForTests([]() { return QDateTime::fromSecsSinceEpoch(NOW, Qt::UTC); });
    }

    void recording_data()
    {
        QTest::addColumn<QString>("data");      // content of "data" before
        QTest::addColumn<QStringList>("calls"); // "key" increments, "key:value" appends
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("new counter, then again") << "" << QStringList{"view_monitor_edid", "view_monitor_edid"}
                                                 << QStringList{"view_monitor_edid=2"};
        QTest::newRow("keys stay in first-recorded order")
            << "<opened_plexat>4</opened_plexat>" << QStringList{"view_monitor_edid", "opened_plexat"}
            << QStringList{"opened_plexat=5", "view_monitor_edid=1"};
        QTest::newRow("counter that is not a number") << "<opened_plexat>abc</opened_plexat>"
                                                      << QStringList{"opened_plexat"} << QStringList{"opened_plexat=1"};
        QTest::newRow("same product twice") << "" << QStringList{"products:Palomir", "products:Palomir"}
                                            << QStringList{"products=Palomir"};
        QTest::newRow("second product") << "" << QStringList{"products:Palomir", "products:Orrelin"}
                                        << QStringList{"products=Palomir,Orrelin"};
        QTest::newRow("name that is part of a listed name")
            << "<products>Palomir Pro</products>" << QStringList{"products:Palomir", "products:Pro", "products:Palomir"}
            << QStringList{"products=Palomir Pro,Palomir,Pro"};
        QTest::newRow("longer name after a shorter one")
            << "<products>Palomir</products>" << QStringList{"products:Palomir Pro"}
            << QStringList{"products=Palomir,Palomir Pro"};
        QTest::newRow("key that is no element name") << "" << QStringList{"two words", "1st:x"} << QStringList{};
    }
    void recording()
    {
        QFETCH(QString, data);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, expected);
        prepare(QStringLiteral("yes"), QString::number(NOW), data);
        for (const QString& call : calls) {
            const int colon = call.indexOf(QLatin1Char(':'));
            if (colon < 0)
                myXMLManager::incrementStatistic(call);
            else
                myXMLManager::appendStatistic(call.left(colon), call.mid(colon + 1));
        }
        QCOMPARE(recorded(), expected);
    }

    // A statistics file that cannot be used is left exactly as it is: no question, nothing
    // recorded, nothing sent.
    void unusableFileLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("malformed") << QByteArray("<!DOCTYPE Info>\n<DataSheet><acceptance>yes</acceptance><data>")
                                   << false;
        QTest::newRow("no data element")
            << QByteArray("<DataSheet><acceptance>yes</acceptance><lastSent>1</lastSent></DataSheet>") << true;
        QTest::newRow("other consent text")
            << QByteArray("<DataSheet><acceptance>Yes</acceptance><lastSent>1</lastSent><data/></DataSheet>") << false;
        // Read as U+FFFD, the next write would lose the byte for good.
        QTest::newRow("not the UTF-8 it declares")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Info>\n<DataSheet><acceptance>yes"
                          "</acceptance><lastSent>1</lastSent><data><products>keep me \xe9</products></data></DataSheet>")
            << false;
    }
    void unusableFileLeftAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        StatusServer server(200);
        Endpoints::setServer(server.url());
        QVERIFY(QDir().mkpath(statFolder()));
        QFile file(myXMLManager::statisticsFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);

        QCOMPARE(myXMLManager::checkStatisticsAcceptance(), accepted);
        QVERIFY(dialogs.shown().isEmpty());
        myXMLManager::incrementStatistic(myXMLManager::STAT_OPENED);
        myXMLManager::appendStatistic(QStringLiteral("products"), QStringLiteral("Palomir"));
        waitForSend();
        QVERIFY(server.requests.isEmpty());
        QCOMPARE(readAll(myXMLManager::statisticsFilePath()), content);
        QCOMPARE(QDir(statFolder()).entryList(QDir::Files), QStringList{"VelmoPlexa-T-Stat.xml"});
    }

    // Something other than a file where the answer is kept: it is not the program's to remove and
    // no answer could be kept there, so nothing is asked and nothing collected. The user is told
    // once a run; an empty file is no answer yet and is replaced by the answer.
    void notAFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("FIFO") << "FIFO";
        QTest::newRow("empty file") << "empty";
    }
    void notAFile()
    {
        QFETCH(QString, kind);
        const QString path = myXMLManager::statisticsFilePath();
        QVERIFY(QDir().mkpath(statFolder()));
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
        else if (kind == QLatin1String("FIFO"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        StatusServer server(200);
        Endpoints::setServer(server.url());
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        dialogs.answerButton(QMessageBox::Yes);

        const bool empty = kind == QLatin1String("empty");
        QCOMPARE(myXMLManager::checkStatisticsAcceptance(), empty);
        QCOMPARE(dialogs.shown().size(), 1);
        const ScriptedDialogs::Shown told = dialogs.shown().at(0);
        QCOMPARE(told.title, QStringLiteral("Anonymous Data"));
        if (empty) {
            QCOMPARE(told.kind, DialogBackend::Kind::Question);
            QCOMPARE(field("acceptance"), QStringLiteral("yes"));
        } else {
            QCOMPARE(told.kind, DialogBackend::Kind::Information);
            QCOMPARE(told.text, QStringLiteral("No anonymous usage statistics are collected: \"%1\" is not a regular "
                                               "file: it is a %2. Your answer about them cannot be kept there. Remove "
                                               "or rename it to be asked at the next start.")
                                    .arg(path, kind));
            QCOMPARE(QFileInfo(path).isDir(), kind == QLatin1String("folder"));
            QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
        }
        myXMLManager::incrementStatistic(myXMLManager::STAT_OPENED);

        // Not again in the same run; the next start reads the answer, or tells again.
        QCOMPARE(myXMLManager::checkStatisticsAcceptance(), empty);
        QCOMPARE(dialogs.shown().size(), 1);
        myXMLManager::startAgainForTests();
        QCOMPARE(myXMLManager::checkStatisticsAcceptance(), empty);
        QCOMPARE(dialogs.shown().size(), empty ? 1 : 2);
        if (empty)
            QCOMPARE(recorded(), QStringList{"opened_plexat=1"});
        else
            QCOMPARE(dialogs.shown().at(1).kind, DialogBackend::Kind::Information);
        waitForSend();
        QVERIFY(server.requests.isEmpty());
    }

    // The answer holds for the run when the file cannot be written, and the user is told so once;
    // the next start asks again.
    void folderNotWritable_data()
    {
        QTest::addColumn<bool>("readOnlyFolder"); // else a file stands where the folder belongs
        QTest::newRow("read-only folder") << true;
        QTest::newRow("folder path is a file") << false;
    }
    void folderNotWritable()
    {
        QFETCH(bool, readOnlyFolder);
        if (readOnlyFolder) {
            QVERIFY(QDir().mkpath(statFolder()));
            QVERIFY(QFile::setPermissions(statFolder(), QFile::ReadOwner | QFile::ExeOwner));
            QFile probe(statFolder() + QStringLiteral("/probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("permissions are not enforced for this user");
            }
        } else {
            QFile block(statFolder());
            QVERIFY(block.open(QIODevice::WriteOnly));
        }
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        dialogs.answerButton(QMessageBox::Yes);

        QVERIFY(myXMLManager::checkStatisticsAcceptance());
        myXMLManager::incrementStatistic(myXMLManager::STAT_OPENED);
        myXMLManager::checkSendStatisticsData();
        QVERIFY(!myXMLManager::isSendingStatistics());
        QVERIFY(!QFileInfo::exists(myXMLManager::statisticsFilePath()));
        QCOMPARE(dialogs.shown().size(), 2);
        QCOMPARE(dialogs.shown().at(1).kind, DialogBackend::Kind::Information);
        QVERIFY2(dialogs.shown().at(1).text.startsWith(
                     QStringLiteral("Your answer about anonymous usage statistics could not be kept (")),
                 qPrintable(dialogs.shown().at(1).text));
        QVERIFY(dialogs.shown().at(1).text.endsWith(
            QStringLiteral("). It holds until the program is closed, and you will be asked again at the next start.")));

        QVERIFY(myXMLManager::checkStatisticsAcceptance());
        QCOMPARE(dialogs.shown().size(), 2);
        myXMLManager::startAgainForTests();
        dialogs.answerButton(QMessageBox::No);
        QVERIFY(!myXMLManager::checkStatisticsAcceptance());
        QCOMPARE(dialogs.shown().size(), 4);
        QCOMPARE(dialogs.shown().at(2).kind, DialogBackend::Kind::Question);
    }

    void sevenDays_data()
    {
        QTest::addColumn<QString>("lastSent");
        QTest::addColumn<bool>("sent");
        QTest::newRow("exactly seven days") << QString::number(NOW - WEEK) << true;
        QTest::newRow("one second short") << QString::number(NOW - WEEK + 1) << false;
        QTest::newRow("just sent") << QString::number(NOW) << false;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("not a number") << "soon" << true;
        QTest::newRow("in the future (clock turned back)") << QString::number(NOW + 3600) << true;
    }
    void sevenDays()
    {
        QFETCH(QString, lastSent);
        QFETCH(bool, sent);
        Endpoints::setServer(peer.url());
        prepare(QStringLiteral("yes"), lastSent, QStringLiteral("<opened_plexat>3</opened_plexat>"));

        myXMLManager::checkSendStatisticsData();
        QCOMPARE(myXMLManager::isSendingStatistics(), sent);
        waitForSend();
        QCOMPARE(postedDocuments(peer).size(), sent ? 1 : 0);
        QCOMPARE(field("lastSent"), sent ? QString::number(NOW) : lastSent);
        QCOMPARE(recorded(), sent ? QStringList{} : QStringList{"opened_plexat=3"});
    }

    // What the server receives: the whole document, form-encoded so that every character of a
    // value arrives as it was.
    void postBody()
    {
        Endpoints::setServer(peer.url());
        const QString products = QString::fromUtf8("A+B & C=1,Zürich 100%");
        prepare(QStringLiteral("yes"), QString::number(NOW - WEEK),
                QStringLiteral("<opened_plexat>5</opened_plexat><products>A+B &amp; C=1,Zürich 100%</products>"));
        const QString id = field("id");

        myXMLManager::checkSendStatisticsData();
        waitForSend();
        const QByteArray raw = peer.posts();
        QVERIFY2(raw.startsWith("/write_data.php xmlData="), raw.constData());
        const QByteArray encoded = raw.mid(raw.indexOf('=') + 1).trimmed();
        for (char c : {' ', '+', '&', '=', '<', '\n'})
            QVERIFY2(!encoded.contains(c), encoded.constData());

        const QStringList documents = postedDocuments(peer);
        QCOMPARE(documents.size(), 1);
        QVERIFY2(documents.at(0).startsWith("<!DOCTYPE Info>\n<DataSheet>\n <acceptance>yes</acceptance>"),
                 qPrintable(documents.at(0)));
        QDomDocument doc;
        QVERIFY(doc.setContent(documents.at(0)));
        const QDomElement root = doc.documentElement();
        QCOMPARE(root.firstChildElement("id").text(), id);
        QCOMPARE(root.firstChildElement("data").firstChildElement("opened_plexat").text(), QStringLiteral("5"));
        QCOMPARE(root.firstChildElement("data").firstChildElement("products").text(), products);
    }

    void postRequest()
    {
        StatusServer server(200);
        Endpoints::setServer(server.url());
        prepare(QStringLiteral("yes"), QStringLiteral("0"), QString());
        myXMLManager::checkSendStatisticsData();
        waitForSend();
        QCOMPARE(server.requests.size(), 1);
        const QByteArray request = server.requests.at(0);
        QVERIFY2(request.startsWith("POST /write_data.php HTTP/1.1\r\n"), request.constData());
        QVERIFY(request.toLower().contains("\r\ncontent-type: application/x-www-form-urlencoded\r\n"));
    }

    // Counters go only once the server has taken them. A failed post keeps them and the time of
    // the last send, so the next start tries again; what is recorded while the post is on its way
    // is never lost.
    void resetRules_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("reset");
        QTest::newRow("success") << "peer" << true;
        QTest::newRow("not found") << "404" << false;
        QTest::newRow("server error") << "500" << false;
        QTest::newRow("connection refused") << "refused" << false;
    }
    void resetRules()
    {
        QFETCH(QString, server);
        QFETCH(bool, reset);
        QScopedPointer<StatusServer> statusServer;
        if (server == QLatin1String("peer")) {
            Endpoints::setServer(peer.url());
        } else if (server == QLatin1String("refused")) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            Endpoints::setServer(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
        } else {
            statusServer.reset(new StatusServer(server.toInt()));
            Endpoints::setServer(statusServer->url());
        }
        const QString lastSent = QString::number(NOW - 2 * WEEK);
        prepare(QStringLiteral("yes"), lastSent,
                QStringLiteral("<opened_plexat>5</opened_plexat><products>Palomir,Orrelin</products>"
                               "<view_monitor_edid>2</view_monitor_edid>"));

        myXMLManager::checkSendStatisticsData();
        QVERIFY(myXMLManager::isSendingStatistics());
        // Recorded after the post left, before the answer.
        myXMLManager::incrementStatistic(myXMLManager::STAT_OPENED);
        myXMLManager::appendStatistic(QStringLiteral("products"), QStringLiteral("Lunmora"));
        myXMLManager::incrementStatistic(myXMLManager::STAT_HDBASET_MONITORING);
        waitForSend();

        if (reset) {
            QCOMPARE(postedDocuments(peer).size(), 1);
            QCOMPARE(field("lastSent"), QString::number(NOW));
            QCOMPARE(recorded(), (QStringList{"opened_plexat=1", "products=Lunmora", "hdbaset_monitoring_started=1"}));
            myXMLManager::checkSendStatisticsData();
            QVERIFY(!myXMLManager::isSendingStatistics());
        } else {
            QCOMPARE(field("lastSent"), lastSent);
            QCOMPARE(recorded(), (QStringList{"opened_plexat=6", "products=Palomir,Orrelin,Lunmora",
                                              "view_monitor_edid=2", "hdbaset_monitoring_started=1"}));
            if (statusServer)
                QCOMPARE(statusServer->requests.size(), 1);
            // Still due: the next start posts again.
            myXMLManager::checkSendStatisticsData();
            QVERIFY(myXMLManager::isSendingStatistics());
        }
    }
};

PLEXA_TEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
