// Simulated units beside the real program: the ports file that SerialPortLister reads at every
// listing, and the standalone runner that writes it.
#include "plexatest.h"
#include "serialports.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

bool containsPort(const QList<SerialPortEntry>& ports, const QString& name, SerialPortEntry* found = nullptr)
{
    for (const SerialPortEntry& e : ports) {
        if (e.portName == name) {
            if (found)
                *found = e;
            return true;
        }
    }
    return false;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestSimRunner : public QObject
{
    Q_OBJECT

private slots:
    void init() { qunsetenv("PLEXA_SERIAL_PORTS"); }
    void cleanup() { qunsetenv("PLEXA_SERIAL_PORTS"); }

    // Lines of a ports file: what is listed, what is skipped.
    void portsFileLines()
    {
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("ttyFAKE0")); // any existing node stands in
        writeFile(existing, "");
        const QString gone = dir.filePath(QStringLiteral("ttyGONE"));
        const QString file = dir.filePath(QStringLiteral("ports"));
        writeFile(file, QStringList{
            QStringLiteral("# comment"),
            existing + QStringLiteral("\tSimulated HDMI unit\tVelmo\tSN42\t0483\t5740"),
            QString(),
            dir.filePath(QStringLiteral("ttyFAKE0")) + QStringLiteral("\tduplicate is dropped"),
            gone + QStringLiteral("\tUnit that has gone"),
            QStringLiteral("relative/path\tNot absolute"),
            existing + QStringLiteral("x\ttoo\tmany\tfields\t1\t2\t3"),
            existing + QStringLiteral("\tBad id\t\t\tZZZZ\t"),
            existing + QStringLiteral("\tId too large\t\t\t10000\t"),
            dir.path() + QStringLiteral("\tA folder with no ids\r"),
        }.join(QLatin1Char('\n')).toUtf8());

        const QList<SerialPortEntry> ports = SerialPortLister::portsFromFile(file);
        QCOMPARE(ports.size(), 2);
        QCOMPARE(ports.at(0).portName, existing);
        QCOMPARE(ports.at(0).systemLocation, existing);
        QCOMPARE(ports.at(0).description, QStringLiteral("Simulated HDMI unit"));
        QCOMPARE(ports.at(0).manufacturer, QStringLiteral("Velmo"));
        QCOMPARE(ports.at(0).serialNumber, QStringLiteral("SN42"));
        QVERIFY(ports.at(0).hasVendorId && ports.at(0).hasProductId);
        QCOMPARE(ports.at(0).vendorId, quint16(0x0483));
        QCOMPARE(ports.at(0).productId, quint16(0x5740));
        QCOMPARE(ports.at(1).portName, dir.path());
        QCOMPARE(ports.at(1).description, QStringLiteral("A folder with no ids")); // CR LF lines work
        QVERIFY(!ports.at(1).hasVendorId && !ports.at(1).hasProductId);

        // The listing reads the file named by the environment afresh each time.
        qputenv("PLEXA_SERIAL_PORTS", file.toUtf8());
        QVERIFY(containsPort(SerialPortLister::availablePorts(), existing));
        writeFile(file, "");
        QVERIFY(!containsPort(SerialPortLister::availablePorts(), existing));
    }

    // A ports file that is missing, a FIFO, oversized or binary lists nothing extra and never
    // blocks the listing.
    void hostilePortsFiles()
    {
        QTemporaryDir dir;
        const QList<SerialPortEntry> plain = SerialPortLister::availablePorts();

        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString huge = dir.filePath(QStringLiteral("huge"));
        QByteArray big;
        while (big.size() <= SerialPortLister::MaxPortsFileBytes)
            big += dir.path().toUtf8() + "\tSome unit\n";
        writeFile(huge, big);
        const QString binary = dir.filePath(QStringLiteral("binary"));
        writeFile(binary, QByteArray("\x00\xff\xfe\t\n\t\t\t\t\t\t\t\n", 14));

        for (const QString& path : {dir.filePath(QStringLiteral("missing")), fifo, huge, binary, dir.path()}) {
            QElapsedTimer t;
            t.start();
            QVERIFY2(SerialPortLister::portsFromFile(path).isEmpty(), qPrintable(path));
            qputenv("PLEXA_SERIAL_PORTS", path.toUtf8());
            QCOMPARE(SerialPortLister::availablePorts().size(), plain.size());
            QVERIFY(t.elapsed() < 5000);
        }
    }

    // The runner puts its unit into the ports file, the program's listing shows it with its
    // identity, and the line goes again when the runner is stopped by a signal.
    void runnerAnnouncesAndCleansUp()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("ports"));
        writeFile(file, "# units started beside the program\n");
        qputenv("PLEXA_SERIAL_PORTS", file.toUtf8());

        QProcess unit;
        QProcess echo;
        unit.start(QStringLiteral(PLEXA_SIM_RUNNER), {QStringLiteral("splitter"), QStringLiteral("--model"), QStringLiteral("jorvale"), QStringLiteral("--ports-file"), file});
        echo.start(QStringLiteral(PLEXA_SIM_RUNNER), {QStringLiteral("echo"), QStringLiteral("--fault"), QStringLiteral("silence")});
        // Killed on every way out of the test, so no runner outlives it.
        const auto stopBoth = qScopeGuard([&] {
            for (QProcess* p : {&unit, &echo}) {
                p->kill();
                p->waitForFinished(5000);
            }
        });
        for (QProcess* p : {&unit, &echo}) {
            QByteArray said;
            QTRY_VERIFY_WITH_TIMEOUT((said += p->readAllStandardOutput()).contains("serving until interrupted")
                                         || p->state() == QProcess::NotRunning, 20000);
        }
        QCOMPARE(unit.state(), QProcess::Running);
        QCOMPARE(echo.state(), QProcess::Running);

        QList<SerialPortEntry> listed = SerialPortLister::portsFromFile(file);
        QCOMPARE(listed.size(), 2); // side by side, neither runner lost the other's line
        SerialPortEntry unitPort;
        for (const SerialPortEntry& e : listed) {
            if (e.description != QStringLiteral("Simulated echo unit"))
                unitPort = e;
        }
        QVERIFY(unitPort.portName.startsWith(QStringLiteral("/dev/pts/")));
        QCOMPARE(unitPort.description, QStringLiteral("Jorvale HDMI Splitter"));
        QVERIFY(unitPort.hasVendorId && unitPort.hasProductId && unitPort.productId != 0);
        QVERIFY(containsPort(SerialPortLister::availablePorts(), unitPort.portName));

        ::kill(pid_t(unit.processId()), SIGTERM);
        QVERIFY(unit.waitForFinished(20000));
        QCOMPARE(unit.exitStatus(), QProcess::NormalExit);
        QCOMPARE(unit.exitCode(), 0);
        listed = SerialPortLister::portsFromFile(file);
        QCOMPARE(listed.size(), 1);
        QVERIFY(!containsPort(SerialPortLister::availablePorts(), unitPort.portName));

        ::kill(pid_t(echo.processId()), SIGINT);
        QVERIFY(echo.waitForFinished(20000));
        QCOMPARE(echo.exitCode(), 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("# units started beside the program\n"));
    }

    void runnerRefusesBadArguments()
    {
        QProcess p;
        p.start(QStringLiteral(PLEXA_SIM_RUNNER), {QStringLiteral("no-such-family")});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("scaler"));
        p.start(QStringLiteral(PLEXA_SIM_RUNNER), {QStringLiteral("scaler")}); // no ports file
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 2);
    }
};

PLEXA_TEST_MAIN(TestSimRunner)
#include "tst_simrunner.moc"
