// plexa-sim: runs one device simulator beside the real program, so a person can try a flow, take a
// screenshot or reproduce a report against a simulated unit.
//
//   plexa-sim FAMILY [--ports-file FILE] [--model NAME] [--fault KIND] [--tcp-port N]
//
// A unit on a pseudo-terminal is announced by a line in the ports file (the program reads the
// file named by PLEXA_SERIAL_PORTS at every port listing); the line is removed again when the
// runner ends, also on SIGINT and SIGTERM. Ethernet units listen on loopback TCP and answer the
// discovery scan on loopback (start the program with PLEXA_DISCOVERY_NETWORK=loopback).

#include "discoverydatagrams.h"
#include "caltorsim.h"
#include "discoverysim.h"
#include "ostrandsim.h"
#include "scalersim.h"
#include "serialports.h"
#include "simdevice.h"
#include "sorvanesim.h"
#include "splittersim.h"
#include "zarricksim.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

struct Options {
    QString family;
    QString portsFile;
    QString model;
    QString fault;
    quint16 tcpPort = 0;
};

// What a family start leaves running: the simulators (kept alive until the end) and, for a unit
// on a pseudo-terminal, the port as the program should list it.
struct Started {
    std::vector<std::unique_ptr<SimDevice>> devices;
    SimDevice* primary = nullptr;
    bool onPty = true;
    QString summary;
};

using StartFunction = std::function<bool(const Options&, Started&, QString*)>;

struct Family {
    QString name;
    QString help;
    QStringList models;
    StartFunction start;
};

bool startEcho(const Options&, Started& s, QString* error)
{
    // A plain unit that sends every line back, followed by the ">" prompt.
    class EchoSim : public SimDevice
    {
    public:
        ~EchoSim() override { stop(); }

    protected:
        bool handleLine(const QByteArray& line) override
        {
            reply(line + "\r\n>");
            return true;
        }
    };
    auto sim = std::make_unique<EchoSim>();
    SerialPortEntry id;
    id.description = QStringLiteral("Simulated echo unit");
    id.manufacturer = QStringLiteral("Velmo");
    if (!sim->startPty(id)) {
        *error = QStringLiteral("could not open a pseudo-terminal");
        return false;
    }
    s.primary = sim.get();
    s.devices.push_back(std::move(sim));
    s.summary = QStringLiteral("echo unit");
    return true;
}

bool startScaler(const Options& o, Started& s, QString* error)
{
    ScalerSim::Model model = ScalerSim::Model::Hdmi;
    if (o.model.compare(QLatin1String("sdi"), Qt::CaseInsensitive) == 0)
        model = ScalerSim::Model::Sdi;
    else if (o.model.compare(QLatin1String("dvi"), Qt::CaseInsensitive) == 0)
        model = ScalerSim::Model::Dvi;
    auto sim = std::make_unique<ScalerSim>(model);
    if (!sim->start()) {
        *error = QStringLiteral("could not open a pseudo-terminal");
        return false;
    }
    s.primary = sim.get();
    s.summary = ScalerSim::modelName(model);
    s.devices.push_back(std::move(sim));
    return true;
}

bool startSplitter(const Options& o, Started& s, QString* error)
{
    SplitterSim::Model model = SplitterSim::Model::Harlisk;
    if (o.model.compare(QLatin1String("farrund"), Qt::CaseInsensitive) == 0)
        model = SplitterSim::Model::Farrund;
    else if (o.model.compare(QLatin1String("jorvale"), Qt::CaseInsensitive) == 0)
        model = SplitterSim::Model::Jorvale;
    auto sim = std::make_unique<SplitterSim>(model);
    if (!sim->start()) {
        *error = QStringLiteral("could not open a pseudo-terminal");
        return false;
    }
    s.primary = sim.get();
    s.summary = SplitterSim::modelName(model) + QStringLiteral(" splitter");
    s.devices.push_back(std::move(sim));
    return true;
}

// Announces an Ethernet unit listening on 127.0.0.1:port through the loopback discovery scan.
bool announce(const QString& productName, quint16 port, Started& s, QString* error)
{
    SimUnit announced = SimUnit::numbered(1);
    const quint8 localhost[4] = {127, 0, 0, 1};
    std::copy(localhost, localhost + 4, announced.ip);
    announced.productName = productName;
    announced.telnetPort = port;
    auto discovery = std::make_unique<DiscoverySim>();
    discovery->addUnit(announced);
    QString why;
    if (!discovery->start(DiscoverySim::loopbackNetwork(DiscoveryProtocol::RequestPort,
                                                        DiscoveryProtocol::ReplyPort), &why)) {
        *error = QStringLiteral("discovery on loopback: ") + why;
        return false;
    }
    s.onPty = false;
    s.summary = QStringLiteral("on 127.0.0.1:%1, announced on loopback discovery as \"%2\"")
                    .arg(port)
                    .arg(productName);
    s.devices.push_back(std::move(discovery));
    return true;
}

bool startZarrick(const Options& o, Started& s, QString* error)
{
    const bool cavrosh = o.model.compare(QLatin1String("cavrosh"), Qt::CaseInsensitive) == 0;
    const ZarrickSim::Model model = cavrosh ? ZarrickSim::Model::Cavrosh : ZarrickSim::Model::Zarrick;
    auto unit = std::make_unique<ZarrickSim>(model);
    if (!unit->start(o.tcpPort)) {
        *error = QStringLiteral("could not listen on 127.0.0.1:%1").arg(o.tcpPort);
        return false;
    }
    s.primary = unit.get();
    const quint16 port = unit->tcpPort();
    s.devices.push_back(std::move(unit));
    return announce(ZarrickSim::modelName(model) + QStringLiteral(" Savrano"), port, s, error);
}

bool startOstrand(const Options& o, Started& s, QString* error)
{
    const bool rennart = o.model.compare(QLatin1String("rennart"), Qt::CaseInsensitive) == 0;
    const OstrandSim::Model model = rennart ? OstrandSim::Model::Rennart : OstrandSim::Model::Quillon;
    auto unit = std::make_unique<OstrandSim>(model);
    if (!unit->start(o.tcpPort)) {
        *error = QStringLiteral("could not listen on 127.0.0.1:%1").arg(o.tcpPort);
        return false;
    }
    s.primary = unit.get();
    const quint16 port = unit->tcpPort();
    s.devices.push_back(std::move(unit));
    return announce(OstrandSim::modelName(model) + QStringLiteral(" Ostrand"), port, s, error);
}

bool startSorvane(const Options& o, Started& s, QString* error)
{
    // The unit types: 1 DisplayPort test device, 2 HDMI test device, 3 booster, 7 HDBaseT pair unit.
    int type = 2;
    if (!o.model.isEmpty()) {
        bool ok = false;
        type = o.model.toInt(&ok);
        if (!ok || (type != 1 && type != 2 && type != 3 && type != 7)) {
            *error = QStringLiteral("the model is the unit type: 1, 2, 3 or 7");
            return false;
        }
    }
    auto sim = std::make_unique<SorvaneSim>(type);
    if (!sim->start()) {
        *error = QStringLiteral("could not open a pseudo-terminal");
        return false;
    }
    s.primary = sim.get();
    s.summary = QStringLiteral("test device of type %1").arg(type);
    s.devices.push_back(std::move(sim));
    return true;
}

bool startCaltor(const Options&, Started& s, QString* error)
{
    auto sim = std::make_unique<CaltorSim>();
    if (!sim->start()) {
        *error = QStringLiteral("could not open a pseudo-terminal");
        return false;
    }
    s.primary = sim.get();
    s.summary = QStringLiteral("Caltor extender");
    s.devices.push_back(std::move(sim));
    return true;
}

// Each family's simulator joins this table when its controller is built.
const QList<Family>& families()
{
    static const QList<Family> table = {
        {QStringLiteral("echo"), QStringLiteral("a unit that echoes every line and prompts \">\""), {}, startEcho},
        {QStringLiteral("scaler"), QStringLiteral("a serial scaler"), {QStringLiteral("hdmi"), QStringLiteral("sdi"), QStringLiteral("dvi")}, startScaler},
        {QStringLiteral("splitter"), QStringLiteral("a serial HDMI splitter"), {QStringLiteral("harlisk"), QStringLiteral("farrund"), QStringLiteral("jorvale")}, startSplitter},
        {QStringLiteral("zarrick"), QStringLiteral("an Ethernet scaler on loopback TCP with loopback discovery"), {QStringLiteral("zarrick"), QStringLiteral("cavrosh")}, startZarrick},
        {QStringLiteral("ostrand"), QStringLiteral("a telnet matrix switcher on loopback TCP with loopback discovery"), {QStringLiteral("quillon"), QStringLiteral("rennart")}, startOstrand},
        {QStringLiteral("sorvane"), QStringLiteral("an EDID test device, booster or HDBaseT pair unit (model: its type)"), {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("7")}, startSorvane},
        {QStringLiteral("caltor"), QStringLiteral("a serial/TCP extender"), {}, startCaltor},
    };
    return table;
}

const QStringList& faults()
{
    static const QStringList kinds = {QStringLiteral("silence"), QStringLiteral("garbage"),
                                      QStringLiteral("close"), QStringLiteral("partial"),
                                      QStringLiteral("chunked")};
    return kinds;
}

void usage()
{
    err() << "usage: plexa-sim FAMILY [--ports-file FILE] [--model NAME] [--fault KIND] [--tcp-port N]\n\n"
          << "families:\n";
    for (const Family& f : families()) {
        err() << "  " << f.name << ": " << f.help;
        if (!f.models.isEmpty())
            err() << " (models: " << f.models.join(QStringLiteral(", ")) << ")";
        err() << "\n";
    }
    err() << "\nfaults, applied to every line the unit receives: " << faults().join(QStringLiteral(", "))
          << "\nThe ports file defaults to $PLEXA_SERIAL_PORTS.\n";
    err().flush();
}

bool parseOptions(const QStringList& args, Options* o)
{
    o->portsFile = qEnvironmentVariable("PLEXA_SERIAL_PORTS");
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--ports-file") && hasValue)
            o->portsFile = args.at(++i);
        else if (a == QLatin1String("--model") && hasValue)
            o->model = args.at(++i);
        else if (a == QLatin1String("--fault") && hasValue)
            o->fault = args.at(++i);
        else if (a == QLatin1String("--tcp-port") && hasValue) {
            bool ok = false;
            const uint port = args.at(++i).toUInt(&ok);
            if (!ok || port > 65535)
                return false;
            o->tcpPort = quint16(port);
        } else if (o->family.isEmpty() && !a.startsWith(QLatin1Char('-')))
            o->family = a;
        else
            return false;
    }
    return !o->family.isEmpty() && (o->fault.isEmpty() || faults().contains(o->fault));
}

SimRule faultRule(const QString& kind)
{
    SimRule rule = SimRule::any();
    if (kind == QLatin1String("silence"))
        return rule.silence();
    if (kind == QLatin1String("garbage"))
        return rule.garbage();
    if (kind == QLatin1String("close"))
        return rule.silence().thenClose();
    if (kind == QLatin1String("partial"))
        return rule.garbage("\r\n>").partial(1);
    return rule.garbage("OK\r\n>").chunked(1, 20);
}

QString hexId(bool present, quint16 id)
{
    return present ? QString::number(id, 16).rightJustified(4, QLatin1Char('0')).toUpper() : QString();
}

QString portsLine(const SerialPortEntry& e)
{
    auto clean = [](QString s) { return s.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' ')); };
    return QStringList{e.portName, clean(e.description), clean(e.manufacturer), clean(e.serialNumber),
                       hexId(e.hasVendorId, e.vendorId), hexId(e.hasProductId, e.productId)}
        .join(QLatin1Char('\t'));
}

// Rewrites the ports file under a lock, so runners started side by side don't lose each other's
// lines; the program reading it sees the old or the new file, never a half-written one.
bool editPortsFile(const QString& path, const std::function<void(QStringList&)>& edit, QString* error)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(5000)) {
        *error = QStringLiteral("the ports file is locked by another runner");
        return false;
    }
    QStringList lines;
    QFile current(path);
    if (QFileInfo(path).isFile() && current.open(QIODevice::ReadOnly)) {
        const QString text = QString::fromUtf8(current.read(SerialPortLister::MaxPortsFileBytes));
        lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    edit(lines);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    for (const QString& line : qAsConst(lines))
        file.write(line.toUtf8() + '\n');
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseOptions(app.arguments(), &options)) {
        usage();
        return 2;
    }
    const auto family = std::find_if(families().cbegin(), families().cend(),
                                     [&](const Family& f) { return f.name == options.family; });
    if (family == families().cend()) {
        err() << "plexa-sim: no family \"" << options.family << "\"\n";
        usage();
        return 2;
    }

    Started started;
    QString error;
    if (!family->start(options, started, &error)) {
        err() << "plexa-sim: " << family->name << ": " << error << "\n";
        return 1;
    }
    if (!options.fault.isEmpty())
        started.primary->addRule(faultRule(options.fault));

    QString line;
    if (started.onPty) {
        if (options.portsFile.isEmpty()) {
            err() << "plexa-sim: a unit on a pseudo-terminal needs --ports-file or PLEXA_SERIAL_PORTS\n";
            return 2;
        }
        SerialPortEntry entry;
        for (const SerialPortEntry& e : SerialPortLister::availablePorts()) {
            if (e.portName == started.primary->portName())
                entry = e;
        }
        line = portsLine(entry);
        if (!editPortsFile(options.portsFile, [&](QStringList& lines) { lines.append(line); }, &error)) {
            err() << "plexa-sim: " << options.portsFile << ": " << error << "\n";
            return 1;
        }
        out() << "plexa-sim: " << started.summary << " on " << entry.portName << " (\""
              << entry.description << "\"), listed in " << options.portsFile << "\n";
    } else {
        out() << "plexa-sim: " << started.summary << "\n";
    }
    if (!options.fault.isEmpty())
        out() << "plexa-sim: every line is answered with the fault \"" << options.fault << "\"\n";
    out() << "plexa-sim: serving until interrupted\n";
    out().flush();

    // Signals end the event loop through a pipe, so the clean-up runs on the main thread.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    app.exec();

    int status = 0;
    if (started.onPty) {
        if (!editPortsFile(options.portsFile, [&](QStringList& lines) { lines.removeAll(line); }, &error)) {
            err() << "plexa-sim: could not remove the unit from " << options.portsFile << ": " << error << "\n";
            status = 1;
        }
    }
    started.devices.clear();
    out() << "plexa-sim: stopped\n";
    return status;
}
