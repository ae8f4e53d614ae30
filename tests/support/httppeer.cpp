#include "httppeer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

HttpPeer::HttpPeer() = default;

HttpPeer::~HttpPeer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool HttpPeer::start()
{
    return launch({});
}

bool HttpPeer::startTls()
{
    const QString key = m_keys.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), key,
                   QStringLiteral("-out"), certificatePath()});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return false;
    m_tls = true;
    return launch({certificatePath(), key});
}

bool HttpPeer::launch(const QStringList& extra)
{
    m_process.setProgram(QStringLiteral("python3"));
    m_process.setArguments(QStringList{QStringLiteral(PLEXA_TEST_SUPPORT_DIR "/httpd.py"), m_root.path()} + extra);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return false;
    while (m_process.waitForReadyRead(10000) || m_process.canReadLine()) {
        if (!m_process.canReadLine())
            continue;
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("PORT ")) {
            m_port = line.mid(5).toInt();
            return m_port > 0;
        }
    }
    return false;
}

QString HttpPeer::url() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(m_tls ? QStringLiteral("https") : QStringLiteral("http")).arg(m_port);
}

void HttpPeer::putFile(const QString& relativePath, const QByteArray& content)
{
    const QString path = m_root.path() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

QByteArray HttpPeer::posts() const
{
    QFile file(m_root.path() + QStringLiteral("/posts.log"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void HttpPeer::putBehaviour(const QString& relativePath, const QJsonObject& behaviour)
{
    putFile(relativePath + QStringLiteral(".behaviour"), QJsonDocument(behaviour).toJson(QJsonDocument::Compact));
}

void HttpPeer::serveGenerated(const QString& relativePath, qint64 size, bool announceLength, int maxSeconds)
{
    putBehaviour(relativePath, {{QStringLiteral("fill"), double(size)},
                                {QStringLiteral("announce"), announceLength},
                                {QStringLiteral("maxSeconds"), maxSeconds}});
}

void HttpPeer::serveTrickle(const QString& relativePath, const QByteArray& body, double secondsPerByte, int maxSeconds)
{
    putBehaviour(relativePath, {{QStringLiteral("head"), QString::fromUtf8(body)},
                                {QStringLiteral("byteDelay"), secondsPerByte},
                                {QStringLiteral("maxSeconds"), maxSeconds}});
}

void HttpPeer::serveHostile(const QString& relativePath, Hostile how, const QByteArray& xmlBody)
{
    switch (how) {
    case Hostile::Huge: {
        const int close = qMax(0, xmlBody.lastIndexOf("</"));
        putBehaviour(relativePath, {{QStringLiteral("head"), QString::fromUtf8(xmlBody.left(close) + "<!--")},
                                    {QStringLiteral("fill"), double(32 << 20)},
                                    {QStringLiteral("tail"), QString::fromUtf8("-->" + xmlBody.mid(close))}});
        break;
    }
    case Hostile::Trickle:
        putBehaviour(relativePath,
                     {{QStringLiteral("head"), QString::fromUtf8(xmlBody)}, {QStringLiteral("byteDelay"), 0.1}});
        break;
    case Hostile::Dropped:
        putBehaviour(relativePath, {{QStringLiteral("head"), QString::fromUtf8(xmlBody)},
                                    {QStringLiteral("declare"), double(2 * xmlBody.size() + 1)}});
        break;
    case Hostile::NoLength:
        putBehaviour(relativePath, {{QStringLiteral("head"), QString::fromUtf8(xmlBody)}});
        break;
    case Hostile::Silent:
        putBehaviour(relativePath, {{QStringLiteral("silent"), true}});
        break;
    }
}
