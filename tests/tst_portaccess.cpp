// Ports the user may not open: the hint a refusal of access gives (and that nothing else gives),
// a real refusal of a serial open, a hidraw open and a family's whole open path, and the udev
// rules shipped for the USB units.
//
// The tests run as root, whom the kernel lets open anything: a real refusal is made on a thread
// of its own that gives up the capabilities to override file permissions (capabilities are per
// thread on Linux), facing a node owned by another user. Run as a normal user, a node without
// permissions does the same.

#include "plexatest.h"

#include "burnmanagerx.h"
#include "convertercontrol.h"
#include "firmwareupdatepackage.h"
#include "hid.h"
#include "portaccess.h"
#include "upgradeworker.h"

#include <QFile>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <functional>
#include <thread>

#include <grp.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString dialoutHint = QStringLiteral(
    "Permission denied: add your user to the \"dialout\" group (sudo usermod -aG dialout $USER) and log in again.");
const QString udevHint = QStringLiteral(
    "Permission denied: install the udev rules shipped with the program (see README) and plug the unit in again.");

// Gives up, for the calling thread only, the capabilities that let root past file permissions.
bool dropFileCapabilities()
{
    if (geteuid() != 0)
        return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const quint32 drop = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
    data[0].effective &= ~drop;
    data[0].permitted &= ~drop;
    data[0].inheritable &= ~drop;
    return syscall(SYS_capset, &header, data) == 0;
}

// Runs `work` on a thread that may not override file permissions.
bool runUnprivileged(const std::function<void()>& work)
{
    bool dropped = false;
    std::thread thread([&] {
        dropped = dropFileCapabilities();
        if (dropped)
            work();
    });
    thread.join();
    return dropped;
}

gid_t groupId(const char* name, gid_t fallback)
{
    const group* entry = getgrnam(name);
    return entry ? entry->gr_gid : fallback;
}

// A node the test's unprivileged thread may not open: owned by nobody (as root) or without
// permissions (as a normal user), in group `gid`.
bool makeForbidden(const QString& path, gid_t gid)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.close();
    const QByteArray name = QFile::encodeName(path);
    if (geteuid() == 0)
        return ::chown(name.constData(), 65534, gid) == 0 && ::chmod(name.constData(), 0600) == 0;
    return ::chmod(name.constData(), 0) == 0;
}

} // namespace

class TestPortAccess : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void hintForEachReason_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("gid");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("hint");
        const int serial = int(PortAccess::Kind::Serial);
        const int dialout = int(groupId("dialout", 20));
        QTest::newRow("serial refused") << serial << dialout << EACCES << dialoutHint;
        QTest::newRow("serial not permitted") << serial << dialout << EPERM << dialoutHint;
        // A node of root's group names the usual group; another group is named as it is.
        QTest::newRow("serial of root's group") << serial << 0 << EACCES << dialoutHint;
        QTest::newRow("serial of plugdev") << serial << int(groupId("plugdev", 46)) << EACCES
                                           << QString(dialoutHint).replace("dialout", "plugdev");
        QTest::newRow("serial gone") << serial << dialout << ENOENT << QString();
        QTest::newRow("serial busy") << serial << dialout << EBUSY << QString();
        QTest::newRow("serial no error") << serial << dialout << 0 << QString();
        QTest::newRow("hidraw refused") << int(PortAccess::Kind::Hid) << 0 << EACCES << udevHint;
        QTest::newRow("hidraw gone") << int(PortAccess::Kind::Hid) << 0 << ENODEV << QString();
        QTest::newRow("usb refused") << int(PortAccess::Kind::Usb) << 0 << EPERM << udevHint;
        QTest::newRow("usb busy") << int(PortAccess::Kind::Usb) << 0 << EBUSY << QString();
    }

    void hintForEachReason()
    {
        QFETCH(int, kind);
        QFETCH(int, gid);
        QFETCH(int, error);
        QFETCH(QString, hint);
        const QString path = dir.filePath(QStringLiteral("node-%1").arg(QTest::currentDataTag()));
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        if (geteuid() == 0)
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 0, gid_t(gid)), 0);
        else if (gid != 0 && PortAccess::Kind(kind) == PortAccess::Kind::Serial)
            QSKIP("only root gives a node to another group");
        QCOMPARE(PortAccess::hint(PortAccess::Kind(kind), path, error), hint);
        QCOMPARE(PortAccess::withHint(QStringLiteral("Can't open port!!"), hint),
                 hint.isEmpty() ? QStringLiteral("Can't open port!!") : QStringLiteral("Can't open port!! ") + hint);
    }

    // A serial port the user may not open is refused with the hint; the same port opened by root,
    // a port that is not there and one another process holds get none.
    void refusedSerialOpenGivesTheHint()
    {
        const QString path = dir.filePath(QStringLiteral("ttyUSB-forbidden"));
        QVERIFY(makeForbidden(path, groupId("dialout", 20)));
        int accessError = -1;
        QString hint;
        QSerialPort::SerialPortError error = QSerialPort::NoError;
        QVERIFY(runUnprivileged([&] {
            accessError = PortAccess::accessError(path);
            QSerialPort port;
            port.setPortName(path);
            if (!port.open(QIODevice::ReadWrite)) {
                error = port.error();
                hint = PortAccess::serialHint(port);
            }
        }));
        QCOMPARE(accessError, EACCES);
        QCOMPARE(error, QSerialPort::PermissionError);
        QCOMPARE(hint, dialoutHint);

        QSerialPort missing;
        missing.setPortName(dir.filePath(QStringLiteral("ttyUSB-missing")));
        QVERIFY(!missing.open(QIODevice::ReadWrite));
        QCOMPARE(PortAccess::explained(QStringLiteral("Failed."), missing), QStringLiteral("Failed."));
        if (geteuid() == 0) {
            // Root may open the node: its failure (a file is no terminal) has another cause.
            QCOMPARE(PortAccess::accessError(path), 0);
            QSerialPort port;
            port.setPortName(path);
            port.open(QIODevice::ReadWrite);
            QVERIFY(PortAccess::serialHint(port).isEmpty());
        }
    }

    // The family's message, through its whole open path: the firmware upload's "Can't open port!!"
    // with the remedy after it; without the hint for a port that is not there.
    void firmwareUploadNamesTheRemedy()
    {
        const QString forbidden = dir.filePath(QStringLiteral("ttyUSB-upload"));
        QVERIFY(makeForbidden(forbidden, groupId("dialout", 20)));
        QFile image(dir.filePath(QStringLiteral("app.bin")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(QByteArray(300, 'x'));
        image.close();

        FwProduct product;
        product.baudRate = QStringLiteral("19200");
        product.directory = dir.path();
        FwFile file;
        file.fileName = QStringLiteral("app.bin");
        file.successMsg = QStringLiteral("Upgrade OK");
        product.files = {file};

        auto run = [&](const QString& port, bool unprivileged) {
            QString error;
            bool dropped = true;
            auto* thread = new QThread;
            auto* worker = new UpgradeWorker(port, product, QStringLiteral("Lorvane"));
            worker->moveToThread(thread);
            QObject context;
            if (unprivileged)
                QObject::connect(thread, &QThread::started, thread, [&] { dropped = dropFileCapabilities(); },
                                 Qt::DirectConnection);
            QObject::connect(thread, &QThread::started, worker, &UpgradeWorker::process);
            QObject::connect(worker, &UpgradeWorker::error, &context, [&](const QString& e) { error = e; });
            QObject::connect(worker, &UpgradeWorker::finished, &context, [&] { error = QStringLiteral("finished"); });
            thread->start();
            const QDeadlineTimer deadline(30000);
            while (error.isEmpty() && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            thread->quit();
            thread->wait(5000);
            delete worker;
            delete thread;
            return dropped ? error : QStringLiteral("capabilities kept");
        };
        QCOMPARE(run(forbidden, true), QStringLiteral("Can't open port!! ") + dialoutHint);
        QCOMPARE(run(dir.filePath(QStringLiteral("ttyUSB-gone")), false), QStringLiteral("Can't open port!!"));
    }

    // A hidraw node the user may not open: the backend notes the refusal for the family's message,
    // which takes it once; an open that fails for another reason notes nothing.
    void refusedHidOpenIsNoted()
    {
        const QString path = dir.filePath(QStringLiteral("hidraw-forbidden"));
        QVERIFY(makeForbidden(path, 0));
        bool opened = true;
        QVERIFY(runUnprivileged([&] { opened = HidBackend::hidapi()->open(QFile::encodeName(path)) != nullptr; }));
        QVERIFY(!opened);
        QCOMPARE(PortAccess::lastDenial(PortAccess::Kind::Hid), udevHint);
        QVERIFY(PortAccess::lastDenial(PortAccess::Kind::Usb).isEmpty());
        QCOMPARE(PortAccess::explainedDenial(PortAccess::Kind::Hid, QStringLiteral("Please put the device into Programming mode.")),
                 QStringLiteral("Please put the device into Programming mode. ") + udevHint);
        QVERIFY(PortAccess::lastDenial(PortAccess::Kind::Hid).isEmpty());

        QVERIFY(!HidBackend::hidapi()->open(QFile::encodeName(dir.filePath(QStringLiteral("hidraw-gone")))));
        QVERIFY(PortAccess::lastDenial(PortAccess::Kind::Hid).isEmpty());
        QVERIFY(PortAccess::usbHint("999", "999").isEmpty());
    }

    // Every line of the rules file is a comment, blank, or one complete rule; every USB id the
    // program opens has its rule: HID units on hidraw, the wireless units on raw USB.
    void udevRulesCoverEveryUnit()
    {
        QFile rules(QStringLiteral(PLEXA_TEST_SUPPORT_DIR "/../../data/udev/70-velmo-plexa.rules"));
        QVERIFY2(rules.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(rules.fileName()));
        const QRegularExpression pair(QStringLiteral("^([A-Za-z]+(?:\\{[A-Za-z]+\\})?)(==|\\+=|=)\"([^\"]*)\"$"));
        QSet<QString> granted;
        int line = 0;
        while (!rules.atEnd()) {
            ++line;
            const QString text = QString::fromUtf8(rules.readLine()).trimmed();
            if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
                continue;
            QMap<QString, QString> keys;
            for (const QString& part : text.split(QStringLiteral(", "))) {
                const QRegularExpressionMatch m = pair.match(part);
                QVERIFY2(m.hasMatch(), qPrintable(QStringLiteral("line %1: %2").arg(line).arg(part)));
                QVERIFY2(!keys.contains(m.captured(1)), qPrintable(QStringLiteral("line %1 repeats a key").arg(line)));
                keys.insert(m.captured(1), m.captured(2) + m.captured(3));
            }
            const QString subsystem = keys.value(QStringLiteral("SUBSYSTEM"));
            QVERIFY2(subsystem == "==hidraw" || subsystem == "==usb", qPrintable(QString::number(line)));
            // hidraw nodes hang below the USB device: its ids are a parent's attributes.
            const QString attr = subsystem == "==hidraw" ? QStringLiteral("ATTRS") : QStringLiteral("ATTR");
            const QString vendor = keys.value(attr + "{idVendor}");
            const QString product = keys.value(attr + "{idProduct}");
            const QRegularExpression id(QStringLiteral("^==[0-9a-f]{4}$"));
            QVERIFY2(id.match(vendor).hasMatch() && id.match(product).hasMatch(), qPrintable(QString::number(line)));
            QCOMPARE(keys.value(QStringLiteral("TAG")), QStringLiteral("+=uaccess"));
            QCOMPARE(keys.value(QStringLiteral("MODE")), QStringLiteral("=0660"));
            QCOMPARE(keys.value(QStringLiteral("GROUP")), QStringLiteral("=plugdev"));
            QCOMPARE(keys.size(), 6);
            granted.insert(subsystem.mid(2) + ':' + vendor.mid(2) + ':' + product.mid(2));
        }
        auto key = [](const char* subsystem, quint16 vendor, quint16 product) {
            return QStringLiteral("%1:%2:%3")
                .arg(QLatin1String(subsystem))
                .arg(vendor, 4, 16, QLatin1Char('0'))
                .arg(product, 4, 16, QLatin1Char('0'));
        };
        using namespace ConverterUsb;
        const QStringList needed = {
            key("hidraw", MakerVendorId, OrrelinProductId),
            key("hidraw", MakerVendorId, PalomirProductId),
            key("hidraw", MakerVendorId, PerrickProductId),
            key("hidraw", MakerVendorId, KorvinaProductId),
            key("hidraw", MakerVendorId, KorvinaBootProductId),
            key("hidraw", KorvinaAltVendorId, KorvinaAltProductId),
            key("usb", RolvaneVendorId, RolvaneProductId),
            key("usb", CBurnManagerX::kVendorId, CBurnManagerX::kProductId),
        };
        for (const QString& unit : needed)
            QVERIFY2(granted.contains(unit), qPrintable(unit));
    }
};

PLEXA_TEST_MAIN(TestPortAccess)
#include "tst_portaccess.moc"
