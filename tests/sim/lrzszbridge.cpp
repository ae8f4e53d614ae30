#include "lrzszbridge.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

LrzszBridge::LrzszBridge()
{
    setLineMode(false);
}

LrzszBridge::~LrzszBridge()
{
    stop();
    runOnSimThread([this] { killPeer(); });
}

bool LrzszBridge::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("rb")).isEmpty()
           && !QStandardPaths::findExecutable(QStringLiteral("sb")).isEmpty();
}

void LrzszBridge::killPeer()
{
    if (!m_process)
        return;
    m_process->disconnect();
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(2000);
    }
    delete m_process;
    m_process = nullptr;
    m_running = false;
}

bool LrzszBridge::startPeer(const QString& program, const QStringList& arguments, const QString& workDir)
{
    bool started = false;
    runOnSimThread([&] {
        killPeer();
        {
            QMutexLocker lock(&m_logMutex);
            m_log.clear();
        }
        m_exitCode = -1;
        m_process = new QProcess;
        m_process->setWorkingDirectory(workDir);
        QObject::connect(m_process, &QProcess::readyReadStandardOutput, [this] {
            push(m_process->readAllStandardOutput());
        });
        QObject::connect(m_process, &QProcess::readyReadStandardError, [this] {
            QMutexLocker lock(&m_logMutex);
            m_log.append(m_process->readAllStandardError());
        });
        QObject::connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                         [this](int code, QProcess::ExitStatus status) {
                             m_exitCode = status == QProcess::NormalExit ? code : -1;
                             if (m_hangUpOnExit) {
                                 // Its last words first, then the line drops.
                                 push(m_process->readAllStandardOutput());
                                 disconnectAll();
                             }
                             m_running = false;
                         });
        m_process->start(program, arguments);
        started = m_process->waitForStarted(5000);
        m_running = started;
    });
    return started;
}

bool LrzszBridge::waitForPeerExit(int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_running) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

int LrzszBridge::peerExitCode() const
{
    return m_running ? -1 : m_exitCode.load();
}

QByteArray LrzszBridge::peerLog() const
{
    QMutexLocker lock(&m_logMutex);
    return m_log;
}

void LrzszBridge::handleBytes(const QByteArray& data)
{
    if (m_process && m_process->state() == QProcess::Running)
        m_process->write(data);
}
