// Start-up time and memory of the program against a floor (an empty QMainWindow of the same size),
// and the program's CPU use while idle after start-up.
//
//   bench_startup [runs=5] [idle-seconds=60]
//
// Both programs run with HOME in a temporary folder and every server address pointed at a closed
// port on 127.0.0.1, on the offscreen platform unless a display is set.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
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

QProcessEnvironment environment(const QString& home, const QString& mode)
{
    prepareHome(home);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("PLEXA_SERVER"), QStringLiteral("http://127.0.0.1:9"));
    env.insert(QStringLiteral("PLEXA_REPORT_FIRST_PAINT"), mode);
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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
    const QString program = QDir(dir).absoluteFilePath(QStringLiteral("../VelmoPlexaT"));
    const QString floor = QDir(dir).absoluteFilePath(QStringLiteral("floor_window"));

    const Run floorRun = medianOf(floor, runs);
    const Run programRun = medianOf(program, runs);
    if (floorRun.ms < 0 || programRun.ms < 0) {
        std::printf("a program did not report its first paint\n");
        return 1;
    }
    std::printf("first paint: program %.0f ms, floor %.0f ms, ratio %.2f (goal <= 1.50)\n", programRun.ms,
                floorRun.ms, programRun.ms / floorRun.ms);
    std::printf("resident memory then: program %ld kB, floor %ld kB, ratio %.2f\n", programRun.rssKb,
                floorRun.rssKb, double(programRun.rssKb) / double(floorRun.rssKb));

    if (idleSeconds > 0) {
        QTemporaryDir home;
        QProcess process;
        process.setProcessEnvironment(environment(home.path(), QStringLiteral("stay")));
        process.setStandardErrorFile(QProcess::nullDevice());
        if (waitForPaint(process, program).ms < 0)
            return 1;
        const double before = cpuSeconds(process.processId());
        QThread::sleep(ulong(idleSeconds));
        const double after = cpuSeconds(process.processId());
        process.kill();
        process.waitForFinished(5000);
        std::printf("idle CPU over %d s after start-up: %.2f %% of one core (goal < 0.5 %%)\n", idleSeconds,
                    100.0 * (after - before) / idleSeconds);
    }
    return 0;
}
