#ifndef HTTPPEER_H
#define HTTPPEER_H

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real HTTP server on 127.0.0.1 (tests/support/httpd.py) serving a temporary folder.
// Files put into root() are served; see httpd.py for redirects and recorded POSTs.
class HttpPeer
{
public:
    HttpPeer();
    ~HttpPeer();

    bool start();                     // false when the server did not come up
    // The same over https, with a certificate for 127.0.0.1 made by openssl for this peer;
    // clients trust it through certificatePath().
    bool startTls();
    QString certificatePath() const { return m_keys.filePath(QStringLiteral("cert.pem")); }
    QString root() const { return m_root.path(); }
    QString url() const;              // "http://127.0.0.1:<port>" ("https://" after startTls)
    void putFile(const QString& relativePath, const QByteArray& content);
    QByteArray posts() const;         // what posts.log holds

    enum class Hostile {
        Huge,    // the XML body with 32 MiB of comment before its last closing tag (still well-formed)
        Trickle, // the body one byte every 0.1 s
        Silent,  // takes the request and never answers
        Dropped, // announces twice the body's length, sends the body and hangs up
        NoLength, // the body without a Content-Length, ended by closing the connection
    };
    // Makes `relativePath` answer with `xmlBody` the hostile way; the answer ends by itself.
    // Bodies are sent as UTF-8 text (Latin-1 bytes of binary data become two bytes each).
    void serveHostile(const QString& relativePath, Hostile how, const QByteArray& xmlBody);
    // Makes `relativePath` answer with `size` bytes made up on the fly (nothing stored), with or
    // without announcing the length; the answer stops after `maxSeconds`.
    void serveGenerated(const QString& relativePath, qint64 size, bool announceLength, int maxSeconds = 60);
    // Makes `relativePath` answer with `body` (text: up to its first NUL), one byte every
    // `secondsPerByte`.
    void serveTrickle(const QString& relativePath, const QByteArray& body, double secondsPerByte, int maxSeconds = 60);

private:
    void putBehaviour(const QString& relativePath, const QJsonObject& behaviour);

    bool launch(const QStringList& extra);

    QTemporaryDir m_root;
    QTemporaryDir m_keys;
    bool m_tls = false;
    QProcess m_process;
    int m_port = 0;
};

#endif // HTTPPEER_H
