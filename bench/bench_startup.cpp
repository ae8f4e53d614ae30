// Start-up of the program against a floor (an empty QMainWindow of the same size), and the
// program's CPU use while idle after start-up. Everything runs on a virtual X display (Xvfb, the
// real xcb platform, as the README's screenshots do), never on the offscreen platform, whose
// painting costs next to nothing and makes any ratio meaningless:
//   - wall time from process start to the first paint (median of `runs`);
//   - instructions to the first paint, counted by callgrind (the process ends right after the
//     paint, so neither tear-down nor idle time is counted);
//   - resident memory at the first paint;
//   - CPU time (user + system, /proc/<pid>/stat) used in `idle-seconds` after the first paint,
//     as a share of one core.
//
//   bench_startup [runs=5] [idle-seconds=60] [program=../VelmoPlexaT]
//
// Both programs run with HOME in a temporary folder and every server address pointed at a closed
// port on 127.0.0.1. An Xvfb of its own is started (needs the xvfb package; valgrind for the
// instruction counts).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {
struct Run {
    double ms = -1;
    long rssKb = -1;
};

// A home with the statistics question already answered (no), so nothing modal stands before the
// first paint.
void prepareHome(const QString& home)
{
    QDir().mkpath(home + QStringLiteral("/VelmoPlexaT"));
    QFile stat(home + QStringLiteral("/VelmoPlexaT/VelmoPlexa-T-Stat.xml"));
    if (stat.open(QIODevice::WriteOnly))
        stat.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Info>\n<DataSheet>\n"
                   "    <acceptance>no</acceptance>\n</DataSheet>\n");
}

QString display; // the Xvfb display every run paints on

QProcessEnvironment environment(const QString& home, const QString& mode)
{
    prepareHome(home);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("PLEXA_SERVER"), QStringLiteral("http://127.0.0.1:9"));
    env.insert(QStringLiteral("PLEXA_REPORT_FIRST_PAINT"), mode);
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

// Starts `program`, waits for its first-paint line; returns the time to it and the RSS then.
Run waitForPaint(QProcess& process, const QString& program)
{
    Run run;
    QElapsedTimer clock;
    clock.start();
    process.start(program, QStringList());
    while (process.waitForReadyRead(30000)) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            if (line.startsWith("PAINTED")) {
                run.ms = clock.nsecsElapsed() / 1e6;
                run.rssKb = line.mid(8).toLong();
                return run;
            }
        }
    }
    return run;
}

Run medianOf(const QString& program, int runs)
{
    QList<Run> all;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir home;
        QProcess process;
        process.setProcessEnvironment(environment(home.path(), QStringLiteral("quit")));
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.setStandardErrorFile(QProcess::nullDevice());
        all << waitForPaint(process, program);
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(2000);
    }
    std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.ms < b.ms; });
    return all.at(all.size() / 2);
}

// Instructions from process start to the first paint, or -1.
qint64 instructionsToPaint(const QString& program)
{
    QTemporaryDir home;
    QProcess process;
    process.setProcessEnvironment(environment(home.path(), QStringLiteral("exit")));
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral("valgrind"),
                  {QStringLiteral("--tool=callgrind"), QStringLiteral("--callgrind-out-file=")
                       + home.filePath(QStringLiteral("callgrind.out")), program});
    const qint64 pid = process.processId(); // valgrind runs the program in its own process
    if (!process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (!process.readAllStandardOutput().contains("PAINTED"))
        return -1;
    const QString log = QString::fromLocal8Bit(process.readAllStandardError());
    // The program's own count: a process it forks reports one of its own.
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("==%1== Collected : (\\d+)").arg(pid)).match(log);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// Starts an Xvfb of our own; its display name goes into `display`.
bool startXvfb(QProcess& xvfb)
{
    xvfb.setProcessChannelMode(QProcess::SeparateChannels);
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                        QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!xvfb.waitForStarted(10000))
        return false;
    QByteArray number;
    while (!number.contains('\n') && xvfb.waitForReadyRead(10000))
        number += xvfb.readAllStandardOutput();
    if (number.trimmed().isEmpty())
        return false;
    display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    return true;
}

double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the command name.
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    const int idleSeconds = argc > 2 ? QByteArray(argv[2]).toInt() : 60;
    const QString dir = QCoreApplication::applicationDirPath();
    const QString program = argc > 3 ? QDir().absoluteFilePath(QString::fromLocal8Bit(argv[3]))
                                     : QDir(dir).absoluteFilePath(QStringLiteral("../VelmoPlexaT"));
    const QString floor = QDir(dir).absoluteFilePath(QStringLiteral("floor_window"));

    QProcess xvfb;
    if (!startXvfb(xvfb)) {
        std::printf("Xvfb could not be started\n");
        return 1;
    }
    std::printf("display %s (Xvfb, 1280x1024x24, xcb platform)\n", qPrintable(display));

    const Run floorRun = medianOf(floor, runs);
    const Run programRun = medianOf(program, runs);
    if (floorRun.ms < 0 || programRun.ms < 0) {
        std::printf("a program did not report its first paint\n");
        return 1;
    }
    std::printf("first paint, wall time (median of %d): program %.0f ms, floor %.0f ms, ratio %.2f (goal <= 2.50)\n",
                runs, programRun.ms, floorRun.ms, programRun.ms / floorRun.ms);
    const qint64 floorInstructions = instructionsToPaint(floor);
    const qint64 programInstructions = instructionsToPaint(program);
    if (floorInstructions > 0 && programInstructions > 0)
        std::printf("first paint, instructions (callgrind): program %.0f M, floor %.0f M, ratio %.2f (goal <= 2.50)\n",
                    programInstructions / 1e6, floorInstructions / 1e6,
                    double(programInstructions) / double(floorInstructions));
    else
        std::printf("first paint, instructions: not measured (valgrind missing or a run failed)\n");
    std::printf("resident memory at first paint: program %ld kB, floor %ld kB, ratio %.2f\n", programRun.rssKb,
                floorRun.rssKb, double(programRun.rssKb) / double(floorRun.rssKb));

    if (idleSeconds > 0) {
        QTemporaryDir home;
        QProcess process;
        process.setProcessEnvironment(environment(home.path(), QStringLiteral("stay")));
        process.setStandardErrorFile(QProcess::nullDevice());
        if (waitForPaint(process, program).ms < 0) {
            xvfb.terminate();
            xvfb.waitForFinished(5000);
            return 1;
        }
        const double before = cpuSeconds(process.processId());
        QThread::sleep(ulong(idleSeconds));
        const double after = cpuSeconds(process.processId());
        process.kill();
        process.waitForFinished(5000);
        std::printf("idle CPU over %d s after start-up: %.2f %% of one core (goal < 0.5 %%)\n", idleSeconds,
                    100.0 * (after - before) / idleSeconds);
    }
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    return 0;
}
