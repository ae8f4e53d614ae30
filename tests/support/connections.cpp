#include "connections.h"

#include <QObject>
#include <QRegularExpression>

namespace {
QStringList* captured = nullptr;

void capture(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (captured)
        captured->append(message);
}

QString withoutArguments(const QString& signature)
{
    return signature.left(signature.indexOf(QLatin1Char('('))).trimmed();
}
} // namespace

QStringList outgoingConnections(QObject* sender)
{
    QStringList lines;
    captured = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    sender->dumpObjectInfo();
    qInstallMessageHandler(previous);
    captured = nullptr;

    // The dump may arrive as one message or as one message a line.
    const QStringList all = lines.join(QLatin1Char('\n')).split(QLatin1Char('\n'));
    QStringList result;
    QString signal;
    bool out = false;
    static const QRegularExpression receiverLine(QStringLiteral("^-->\\s+(\\S+)\\s+(.*)$"));
    for (const QString& raw : all) {
        const QString line = raw.trimmed();
        if (line == QLatin1String("SIGNALS OUT")) {
            out = true;
        } else if (line == QLatin1String("SIGNALS IN")) {
            out = false;
        } else if (out && line.startsWith(QLatin1String("signal:"))) {
            signal = withoutArguments(line.mid(7));
        } else if (out) {
            const QRegularExpressionMatch m = receiverLine.match(line);
            if (m.hasMatch())
                result << signal + QStringLiteral(" -> ") + m.captured(1) + QLatin1Char(' ')
                        + withoutArguments(m.captured(2));
        }
    }
    return result;
}
