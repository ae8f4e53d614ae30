#include "myxmlmanager.h"

#include "constants.h"
#include "dialogs.h"
#include "endpoints.h"
#include "regularfile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextCodec>
#include <QUrl>
#include <QUuid>
#include <QVector>

#include <algorithm>

const QString myXMLManager::STAT_OPENED = QStringLiteral("opened_plexat");
const QString myXMLManager::STAT_CONVERTER_FW_UPDATE = QStringLiteral("perform_converter_fw_update");
const QString myXMLManager::STAT_SORVANE_FW_UPDATE = QStringLiteral("perform_sorvane_fw_update");
const QString myXMLManager::STAT_ROLVANE_FW_UPDATE = QStringLiteral("perform_rolvane_fw_update");
const QString myXMLManager::STAT_SCALER_FW_UPDATE = QStringLiteral("perform_scaler_fw_update");
const QString myXMLManager::STAT_LUNMORA_FW_UPDATE = QStringLiteral("perform_lunmora_fw_update");
const QString myXMLManager::STAT_KORVINA_FW_UPDATE = QStringLiteral("perform_korvina_fw_update");
const QString myXMLManager::STAT_VIEW_MONITOR_EDID = QStringLiteral("view_monitor_edid");
const QString myXMLManager::STAT_HDBASET_MONITORING = QStringLiteral("hdbaset_monitoring_started");

namespace {

const QString LAST_SAVED_DIRECTORY = QStringLiteral("lastSavedDirectory");
const QString STAT_ROOT = QStringLiteral("DataSheet");
const QString STAT_ACCEPTANCE = QStringLiteral("acceptance");
const QString STAT_ID = QStringLiteral("id");
const QString STAT_LAST_SENT = QStringLiteral("lastSent");
const QString STAT_DATA = QStringLiteral("data");
const QString CONSENT_TITLE = QStringLiteral("Anonymous Data");
const QString CONSENT_TEXT = QStringLiteral(
    "To help improve the software and user experience, Velmo would like to anonymously collect user statistics on "
    "how this software is being used. No personal information will be collected, and data that is captured will "
    "only be used to determine the scope and extent to which this software is used.");

const QString NOT_KEPT_TEXT = QStringLiteral(
    "No anonymous usage statistics are collected: %1 Your answer about them cannot be kept there. Remove or "
    "rename it to be asked at the next start.");
const QString ANSWER_NOT_KEPT_TEXT = QStringLiteral(
    "Your answer about anonymous usage statistics could not be kept (%1). It holds until the program is closed, "
    "and you will be asked again at the next start.");

constexpr qint64 SEND_INTERVAL_SECS = 7 * 24 * 60 * 60; // 604800
// A statistics server that accepts the connection and never answers must not keep the send
// pending for the rest of the run.
constexpr int SEND_TIMEOUT_MS = 30000;

bool g_accepted = false;
bool g_sending = false;
// Set once this run has found that no answer to the consent question can be kept (the user was
// told): the question is not asked again, nor the user told again, until the next start.
bool g_settledForRun = false;
std::function<QDateTime()> g_clock;
QPointer<QNetworkAccessManager> g_network;

qint64 nowSecs()
{
    return (g_clock ? g_clock() : QDateTime::currentDateTimeUtc()).toSecsSinceEpoch();
}

QString userFolder(const QString& name)
{
    return QDir::toNativeSeparators(QDir::homePath() + QDir::separator() + name);
}

enum class ReadResult { Ok, Missing, Unreadable, Malformed };

// Reads and parses a whole per-user file: only a regular file of a sensible size (a FIFO or a
// device in its place would block the GUI thread for good). Files written by earlier versions
// carry no XML declaration and are in the system's 8-bit encoding; when such a file is not valid
// UTF-8 it is read in that encoding instead. Any other file that is not the UTF-8 it declares is
// malformed: the parser would take the bytes as U+FFFD and the next write would keep that loss.
ReadResult readDocument(const QString& path, QDomDocument& doc)
{
    const RegularFileRead file = readRegularFile(path, MaxPerUserXmlBytes);
    if (file.status == RegularFileRead::Missing)
        return ReadResult::Missing;
    if (!file.ok()) {
        qDebug() << " Failed to open file." << file.error;
        return ReadResult::Unreadable;
    }
    const QByteArray& bytes = file.bytes;

    QString message;
    int line = 0;
    int column = 0;
    bool declared = false;
    xmlTextIsUtf8(bytes, &declared);
    if (xmlUtf8Error(bytes, &line, &column)) {
        const QTextCodec* locale = QTextCodec::codecForLocale();
        if (!declared && locale && locale->mibEnum() != 106 /* UTF-8 */
            && doc.setContent(QString::fromLocal8Bit(bytes), true, &message, &line, &column))
            return ReadResult::Ok;
        if (message.isEmpty())
            message = QStringLiteral("a byte that is not UTF-8");
    } else if (doc.setContent(bytes, true, &message, &line, &column)) {
        return ReadResult::Ok;
    }
    qDebug() << "Failed to parse" << path << ":" << message << "at line" << line << "column" << column;
    return ReadResult::Malformed;
}

// Replaces the file with the whole document, atomically: a failed write leaves the old file.
// On failure `error` (when given) says why, for the user.
bool writeDocument(const QString& path, QDomDocument& doc, QString* error = nullptr)
{
    for (QDomNode n = doc.firstChild(); !n.isNull();) {
        const QDomNode next = n.nextSibling();
        if (n.isProcessingInstruction() && n.nodeName() == QLatin1String("xml"))
            doc.removeChild(n);
        n = next;
    }
    doc.insertBefore(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                     QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")),
                     doc.firstChild());

    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        qDebug() << "Cannot create the folder" << folder;
        if (error)
            *error = QStringLiteral("cannot create the folder \"%1\"").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        file.write(doc.toByteArray(4));
        written = file.commit();
    }
    if (!written) {
        qDebug() << "Cannot write" << path << ":" << file.errorString();
        if (error)
            *error = QStringLiteral("cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return written;
}

void setElementText(QDomElement element, const QString& text)
{
    while (element.hasChildNodes())
        element.removeChild(element.firstChild());
    element.appendChild(element.ownerDocument().createTextNode(text));
}

QDomElement appendTextElement(QDomElement parent, const QString& name, const QString& text)
{
    QDomDocument doc = parent.ownerDocument();
    QDomElement element = doc.createElement(name);
    element.appendChild(doc.createTextNode(text));
    parent.appendChild(element);
    return element;
}

// A key becomes an element name; anything else would make the file unreadable from then on.
bool isValidKey(const QString& key)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.-]*$"));
    return name.match(key).hasMatch();
}

// The "data" element of a statistics file that can be recorded into, or a null element.
QDomElement openStatisticsData(QDomDocument& doc)
{
    if (readDocument(myXMLManager::statisticsFilePath(), doc) != ReadResult::Ok)
        return QDomElement();
    const QDomElement data = doc.documentElement().firstChildElement(STAT_DATA);
    if (data.isNull())
        qDebug() << "Statistics Malformed";
    return data;
}

QStringList listItems(const QString& text)
{
    return text.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

struct SentStatistic
{
    QString key;
    QString text;
};

// After a successful send: take what was sent off the counters and lists, keeping whatever was
// recorded while the post was on its way, and note the time of the send.
void settleSentStatistics(const QVector<SentStatistic>& sent)
{
    const QString path = myXMLManager::statisticsFilePath();
    QDomDocument doc;
    if (readDocument(path, doc) != ReadResult::Ok)
        return;
    QDomElement root = doc.documentElement();
    QDomElement lastSent = root.firstChildElement(STAT_LAST_SENT);
    if (lastSent.isNull())
        lastSent = appendTextElement(root, STAT_LAST_SENT, QString());
    setElementText(lastSent, QString::number(nowSecs()));

    QDomElement data = root.firstChildElement(STAT_DATA);
    if (data.isNull())
        data = appendTextElement(root, STAT_DATA, QString());
    for (const SentStatistic& s : sent) {
        QDomElement current = data.firstChildElement(s.key);
        if (current.isNull())
            continue;
        bool sentIsNumber = false;
        bool currentIsNumber = false;
        const qlonglong sentCount = s.text.trimmed().toLongLong(&sentIsNumber);
        const qlonglong currentCount = current.text().trimmed().toLongLong(&currentIsNumber);
        QString remaining;
        if (sentIsNumber && currentIsNumber) {
            if (currentCount > sentCount)
                remaining = QString::number(currentCount - sentCount);
        } else {
            QStringList items = listItems(current.text());
            for (const QString& item : listItems(s.text))
                items.removeAll(item);
            remaining = items.join(QLatin1Char(','));
        }
        if (remaining.isEmpty())
            data.removeChild(current);
        else
            setElementText(current, remaining);
    }
    writeDocument(path, doc);
}

QNetworkAccessManager* network()
{
    // Owned by the application, so it ends with the event loop it runs on.
    if (!g_network)
        g_network = new QNetworkAccessManager(QCoreApplication::instance());
    return g_network;
}

} // namespace

// --- Settings --------------------------------------------------------------------------------

QString myXMLManager::settingsFilePath()
{
    return QDir::toNativeSeparators(QDir(userFolder(QStringLiteral("VelmoFWUpgrade"))).filePath(PERSISTENT_FILE));
}

QString myXMLManager::getLastSavedDirectory()
{
    const QString fallback = QDir::homePath();
    QDomDocument doc;
    if (readDocument(settingsFilePath(), doc) != ReadResult::Ok)
        return fallback;
    const QString stored = doc.documentElement().firstChildElement(LAST_SAVED_DIRECTORY).text();
    // A folder deleted since is still offered: the dialog copes with it.
    return stored.isEmpty() ? fallback : stored;
}

void myXMLManager::setLastSavedDirectory(QString path)
{
    if (path.isEmpty()) {
        qDebug() << "Did not save directory due to empty";
        return;
    }
    const QFileInfo chosen(path);
    const QString folder = chosen.isDir() ? chosen.absoluteFilePath() : chosen.absolutePath();
    editSettings([&folder](QDomDocument& doc) {
        QDomElement root = doc.documentElement();
        QDomElement element = root.firstChildElement(LAST_SAVED_DIRECTORY);
        if (element.isNull())
            element = appendTextElement(root, LAST_SAVED_DIRECTORY, QString());
        setElementText(element, folder);
        return true;
    });
}

bool myXMLManager::readSettings(QDomDocument& doc)
{
    return readDocument(settingsFilePath(), doc) == ReadResult::Ok;
}

bool myXMLManager::editSettings(const std::function<bool(QDomDocument& doc)>& edit)
{
    const QString file = settingsFilePath();
    QDomDocument doc;
    switch (readDocument(file, doc)) {
    case ReadResult::Ok:
        break;
    case ReadResult::Missing:
        doc = QDomDocument(PERSISTENT_DOCTYPE);
        doc.appendChild(doc.createElement(PERSISTENT_DOCTYPE));
        break;
    case ReadResult::Unreadable:
    case ReadResult::Malformed:
        // Several pages keep their settings here: never replace what could not be read.
        return false;
    }
    if (doc.documentElement().isNull())
        doc.appendChild(doc.createElement(PERSISTENT_DOCTYPE));
    if (!edit(doc))
        return false;
    return writeDocument(file, doc);
}

// --- Usage statistics ------------------------------------------------------------------------

QString myXMLManager::statisticsFilePath()
{
    return QDir::toNativeSeparators(QDir(userFolder(QStringLiteral("VelmoPlexaT"))).filePath(STATISTICS_FILE));
}

bool myXMLManager::statisticsAccepted()
{
    return g_accepted;
}

bool myXMLManager::isSendingStatistics()
{
    return g_sending;
}

void myXMLManager::setClockForTests(std::function<QDateTime()> clock)
{
    g_clock = std::move(clock);
}

void myXMLManager::startAgainForTests()
{
    g_accepted = false;
    g_settledForRun = false;
}

bool myXMLManager::checkStatisticsAcceptance()
{
    qDebug() << "Statistics accepted:" << g_accepted;
    if (g_settledForRun) {
        qDebug() << "Statistics answer not kept: not asked again before the next start";
        return g_accepted;
    }
    const QString path = statisticsFilePath();
    const QFileInfo info(path);
    if (info.exists() && info.isFile() && info.size() > 0) {
        qDebug() << "CHECK FOR STATS POSITIVE ";
        if (checkStatisticsAcceptanceFileRead())
            checkSendStatisticsData();
    } else if (info.exists() && !info.isFile()) {
        // A folder, FIFO or device stands where the answer is kept. It is not the program's to
        // remove, and no answer could be kept in its place: asking would bring the question back
        // at every start. Nothing is collected; the user is told once.
        qDebug() << "Statistics file is not a regular file:" << path;
        g_accepted = false;
        g_settledForRun = true;
        Dialogs::information(nullptr, CONSENT_TITLE, NOT_KEPT_TEXT.arg(readRegularFile(path, 0).error));
    } else {
        qDebug() << "CHECK FOR STATS NEGATIVE";
        createStatisticsFile();
    }
    return g_accepted;
}

bool myXMLManager::checkStatisticsAcceptanceFileRead()
{
    QDomDocument doc;
    if (readDocument(statisticsFilePath(), doc) != ReadResult::Ok) {
        // No readable answer is no consent.
        g_accepted = false;
        return false;
    }
    g_accepted = doc.documentElement().firstChildElement(STAT_ACCEPTANCE).text() == QLatin1String("yes");
    return g_accepted;
}

void myXMLManager::createStatisticsFile()
{
    qDebug() << "In createStatisticsFile";
    const QMessageBox::StandardButton answer =
        Dialogs::question(nullptr, CONSENT_TITLE, CONSENT_TEXT, QMessageBox::Yes | QMessageBox::No);
    g_accepted = answer == QMessageBox::Yes;

    QDomDocument doc(STATISTICS_DOCTYPE);
    QDomElement root = doc.createElement(STAT_ROOT);
    doc.appendChild(root);
    appendTextElement(root, STAT_ACCEPTANCE, g_accepted ? QStringLiteral("yes") : QStringLiteral("no"));
    // A user who refused is not given an identity at all.
    appendTextElement(root, STAT_ID, g_accepted ? QUuid::createUuid().toString() : QString());
    appendTextElement(root, STAT_LAST_SENT, QString::number(nowSecs()));
    appendTextElement(root, STAT_DATA, QString());
    // The answer holds for this run even when the file cannot be written; the user is told that
    // it will be asked again at the next start.
    QString error;
    if (!writeDocument(statisticsFilePath(), doc, &error)) {
        g_settledForRun = true;
        Dialogs::information(nullptr, CONSENT_TITLE, ANSWER_NOT_KEPT_TEXT.arg(error));
    }
}

void myXMLManager::checkSendStatisticsData()
{
    // Without consent nothing leaves the machine, not even the refusal.
    if (!g_accepted) {
        qDebug() << "Statistics not accepted: nothing sent";
        return;
    }
    if (g_sending)
        return;

    QDomDocument doc;
    const QDomElement data = openStatisticsData(doc);
    if (data.isNull())
        return;
    const QDomElement root = doc.documentElement();

    // Not a number counts as never sent. A time of the last send in the future means the clock
    // was turned back; waiting for it could postpone the send for years.
    bool ok = false;
    qint64 lastSent = root.firstChildElement(STAT_LAST_SENT).text().trimmed().toLongLong(&ok);
    if (!ok)
        lastSent = 0;
    const qint64 now = nowSecs();
    if (lastSent <= now && now - lastSent < SEND_INTERVAL_SECS) {
        qDebug() << "Not time to send statistics yet";
        return;
    }

    QVector<SentStatistic> sent;
    for (QDomElement e = data.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        sent.append({e.tagName(), e.text()});

    // The server takes the document as it has always been posted: from the document type on.
    for (QDomNode n = doc.firstChild(); !n.isNull();) {
        const QDomNode next = n.nextSibling();
        if (n.isProcessingInstruction() && n.nodeName() == QLatin1String("xml"))
            doc.removeChild(n);
        n = next;
    }
    const QString text = doc.toString(1);
    qDebug().noquote() << text;
    qDebug() << "Sent a statistics page.";

    QNetworkRequest request{QUrl(Endpoints::statisticsUrl())};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(SEND_TIMEOUT_MS);
    // Everything but the unreserved characters is escaped: a "+" or "&" in a value must reach the
    // server as itself.
    const QByteArray body = QByteArrayLiteral("xmlData=") + QUrl::toPercentEncoding(text);

    g_sending = true;
    QNetworkReply* reply = network()->post(request, body);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, sent]() {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300) {
            settleSentStatistics(sent);
        } else {
            // Keep the counters and the time of the last send: the next start tries again.
            qDebug() << "Statistics not sent:" << status << reply->errorString();
        }
        g_sending = false;
        reply->deleteLater();
    });
}

void myXMLManager::cleanStatisticsXML()
{
    const QString path = statisticsFilePath();
    QDomDocument doc;
    if (readDocument(path, doc) != ReadResult::Ok)
        return;
    QDomElement root = doc.documentElement();
    QDomElement lastSent = root.firstChildElement(STAT_LAST_SENT);
    if (lastSent.isNull())
        lastSent = appendTextElement(root, STAT_LAST_SENT, QString());
    setElementText(lastSent, QString::number(nowSecs()));
    const QDomElement data = root.firstChildElement(STAT_DATA);
    if (!data.isNull())
        root.removeChild(data);
    appendTextElement(root, STAT_DATA, QString());
    writeDocument(path, doc);
}

void myXMLManager::incrementStatistic(QString key)
{
    if (!g_accepted || !isValidKey(key))
        return;
    QDomDocument doc;
    QDomElement data = openStatisticsData(doc);
    if (data.isNull())
        return;
    QDomElement counter = data.firstChildElement(key);
    if (counter.isNull()) {
        qDebug() << "NULL INSERT" << key;
        appendTextElement(data, key, QStringLiteral("1"));
    } else {
        const qlonglong count = counter.text().trimmed().toLongLong(); // not a number: 0
        setElementText(counter, QString::number(count + 1));
    }
    writeDocument(statisticsFilePath(), doc);
}

void myXMLManager::appendStatistic(QString key, QString value)
{
    appendStatistics(key, {value});
}

void myXMLManager::appendStatistics(QString key, const QStringList& values)
{
    QStringList added;
    for (const QString& value : values) {
        if (!value.isEmpty() && !added.contains(value))
            added.append(value);
    }
    if (!g_accepted || !isValidKey(key) || added.isEmpty())
        return;
    QDomDocument doc;
    QDomElement data = openStatisticsData(doc);
    if (data.isNull())
        return;
    QDomElement list = data.firstChildElement(key);
    if (list.isNull()) {
        appendTextElement(data, key, added.join(QLatin1Char(',')));
    } else {
        // Whole items: "Palomir" is not already listed because "Palomir Pro" is.
        const QString text = list.text();
        const QStringList listed = listItems(text);
        added.erase(std::remove_if(added.begin(), added.end(),
                                   [&listed](const QString& value) { return listed.contains(value); }),
                    added.end());
        if (added.isEmpty())
            return;
        const QString joined = added.join(QLatin1Char(','));
        setElementText(list, text.isEmpty() ? joined : text + QLatin1Char(',') + joined);
    }
    writeDocument(statisticsFilePath(), doc);
}
