#include "netparams.h"

#include <QFile>
#include <QHostAddress>
#include <QStringList>
#include <QTextStream>

namespace Platform {

QString dnsServer(const QString& resolvConfPath)
{
    QFile file(resolvConfPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList words = in.readLine().simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 2 && words.at(0) == QLatin1String("nameserver")) {
            QHostAddress address;
            if (address.setAddress(words.at(1)) && address.protocol() == QAbstractSocket::IPv4Protocol)
                return address.toString();
        }
    }
    return QString();
}

QString defaultGateway(const QString& interfaceName, const QString& routeTablePath)
{
    QFile file(routeTablePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    in.readLine(); // column titles
    while (!in.atEnd()) {
        // Iface Destination Gateway Flags ...; addresses are hexadecimal in host (little-endian) order.
        const QStringList cols = in.readLine().split(QRegExp(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (cols.size() < 4 || cols.at(1) != QLatin1String("00000000"))
            continue;
        bool ok = false;
        const quint32 raw = cols.at(2).toUInt(&ok, 16);
        const quint32 flags = cols.at(3).toUInt(nullptr, 16);
        if (!ok || raw == 0 || !(flags & 0x2)) // RTF_GATEWAY
            continue;
        const QString text = QStringLiteral("%1.%2.%3.%4")
                                 .arg(raw & 0xFF).arg((raw >> 8) & 0xFF).arg((raw >> 16) & 0xFF).arg(raw >> 24);
        if (interfaceName.isEmpty() || cols.at(0) == interfaceName)
            return text;
    }
    return QString();
}

} // namespace Platform
