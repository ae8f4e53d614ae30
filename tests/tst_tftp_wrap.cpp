// The TFTP server's 32 MiB transfers, where the block number wraps past 65535 (block 65536 goes
// out as 0, the last as 1), to tftp-hpa's `tftp`, `atftp` and `curl` on loopback. Apart from
// tst_tftp so that each program stays short; the blocks go as fast as the client acknowledges
// (65537 blocks paced 10 ms apart would take eleven minutes).
#include "caltorsim.h"
#include "plexatest.h"
#include "tftpserver.h"
#include "timescale.h"

#include <QStandardPaths>

class TestTftpWrap : public QObject
{
    Q_OBJECT

private slots:
    void wrapsToRealClients_data()
    {
        QTest::addColumn<QString>("client");
        for (const char* client : {"tftp", "atftp", "curl"})
            QTest::newRow(client) << QString::fromLatin1(client);
    }

    void wrapsToRealClients()
    {
        QFETCH(QString, client);
        if (QStandardPaths::findExecutable(client).isEmpty())
            QSKIP("client not installed (scripts/install-deps.sh)");
        const double factor = TimeScale::factor();
        TimeScale::setFactor(1.0); // the clients run on their own clock
        TftpServer server;
        TftpServer::Options options;
        options.optionAckPauseMs = 20;
        options.blockPauseMs = 0;
        server.setOptions(options);
        const QString failure = serveToClient(server, client, sampleImage(32 << 20));
        TimeScale::setFactor(factor);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(server.blocksSent(), qint64(65537));
    }
};

PLEXA_TEST_MAIN(TestTftpWrap)
#include "tst_tftp_wrap.moc"
