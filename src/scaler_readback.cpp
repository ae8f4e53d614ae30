// Scaler controller: the frame of the generic scaler's read-back chains. A refresh slot starts a
// chain with its first query; each parse slot reads its reply and sends the next query; the last
// one gives the link back. Every way out of a chain (its last reply, a failed send, a unit that
// stops answering) leaves the pages enabled and `updating` cleared, so no page stays locked.
#include "scaler.h"

#include "ui_mainui.h"

#include <QDebug>
#include <QTabWidget>

bool Scaler::beginReadBack(const char* name, const char* parseSlot, const QString& query, const QString& arg)
{
    updating = true;
    qDebug() << "disable tabs" << name;
    ui->ConfiguratorTabs->setEnabled(false);
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    connect(this, SIGNAL(commandComplete()), this, parseSlot);
    sendCommand(query, arg, QString(), 500);
    if (!lastSendFailed)
        return true;
    // The sender has said why; only the pages are left to give back.
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    endReadBack();
    return false;
}

bool Scaler::chainNext(const char* parseSlot, const QString& query, const QString& arg)
{
    availability = AVAILABLE;
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    connect(this, SIGNAL(commandComplete()), this, parseSlot);
    sendCommand(query, arg, QString(), 500);
    if (!lastSendFailed)
        return true;
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    endReadBack();
    return false;
}

void Scaler::endReadBack()
{
    setAvailable();
    updating = false;
}

void Scaler::abortReadBack(const QString& why)
{
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    endReadBack();
    showError(why);
}

bool Scaler::readBackReplyMissing()
{
    if (!lastExchangeTimedOut)
        return false;
    abortReadBack(noResponseMessage());
    return true;
}

bool Scaler::valueAfterKey(const QString& reply, const QString& key, QString* value)
{
    const QStringList pieces = reply.split(key, Qt::KeepEmptyParts, Qt::CaseInsensitive);
    if (pieces.size() != 2)
        return false;
    *value = pieces.at(1);
    return true;
}
