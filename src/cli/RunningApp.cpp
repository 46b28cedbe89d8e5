#include "cli/RunningApp.h"

#include "AppBusProxy.h"
#include "support/AppIdentity.h"

#include <QDBusConnection>

using namespace Qt::StringLiterals;

namespace RunningApp {

std::optional<QStringList> statusLines()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    AppBusProxy app(QString::fromLatin1(AppIdentity::id), u"/"_s, bus);
    app.setTimeout(answerTimeoutMs);
    QDBusPendingReply<QStringList> reply = app.Status();
    reply.waitForFinished();
    if (reply.isError() || reply.value().isEmpty())
        return std::nullopt;
    return reply.value();
}

} // namespace RunningApp
