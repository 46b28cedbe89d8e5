#include "common/LoopbackServer.h"

#include <QFile>
#include <QJsonDocument>
#include <QLocale>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

std::optional<LoopbackServer::Request> parseHead(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() < 2)
        return std::nullopt;
    const QByteArray target = requestLine[1];
    const qsizetype mark = target.indexOf('?');
    LoopbackServer::Request request{QUrl::fromPercentEncoding(mark < 0 ? target : target.left(mark)), {},
        mark < 0 ? QByteArray() : target.mid(mark + 1), {}};
    for (const QByteArray& pair : request.rawQuery.split('&'))
        if (const qsizetype eq = pair.indexOf('='); eq >= 0)
            request.query.insert(QUrl::fromPercentEncoding(pair.left(eq)), QUrl::fromPercentEncoding(pair.mid(eq + 1)));
    for (const QByteArray& line : lines.mid(1))
        if (const qsizetype colon = line.indexOf(':'); colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    return request;
}

// The answer as sent, dated by the service's clock as real answers are; the reason phrase is
// never read, so every status gets the same one.
QByteArray wire(const LoopbackServer::Response& response, const QDateTime& now)
{
    // Formatted once a second: the benchmarks measure the client, not this.
    thread_local std::pair<qint64, QByteArray> last{-1, {}};
    if (last.first != now.toSecsSinceEpoch())
        last = {
            now.toSecsSinceEpoch(), QLocale::c().toString(now.toUTC(), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1()};
    const QByteArray& date = last.second;
    return "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\nContent-Type: application/json\r\n"
        + "Date: " + date + "\r\n" + response.headers + "Content-Length: " + QByteArray::number(response.body.size())
        + "\r\nConnection: keep-alive\r\n\r\n" + response.body;
}

} // namespace

LoopbackServer::LoopbackServer()
    : m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection())
            serve(socket);
    });
}

QUrl LoopbackServer::base() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()));
}

const LoopbackServer::Handler* LoopbackServer::handlerFor(const QString& path) const
{
    if (const auto exact = m_routes.constFind(path); exact != m_routes.cend())
        return &*exact;
    const QString folder = path.left(path.lastIndexOf(u'/') + 1);
    const auto below = m_routes.constFind(folder);
    return below != m_routes.cend() ? &*below : nullptr;
}

QJsonObject LoopbackServer::published(const QString& file, const QString& name)
{
    QFile source(QStringLiteral(BONKBELL_SERVICE_FIXTURES "/%1.json").arg(file));
    source.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(source.readAll()).object().value(name).toObject();
}

QList<LoopbackServer::Request> LoopbackServer::requestsTo(const QString& path) const
{
    QList<Request> out;
    for (const Request& request : requests)
        if (request.path == path)
            out.append(request);
    return out;
}

// Requests are GETs without bodies: each ends at the blank line.
void LoopbackServer::serve(QTcpSocket* socket)
{
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer = QByteArray()]() mutable {
        buffer += socket->readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
            const auto request = parseHead(buffer.left(end).replace("\r", ""));
            buffer.remove(0, end + 4);
            if (!request)
                continue;
            requests.append(*request);
            const Handler* handler = handlerFor(request->path);
            const Response response
                = handler ? (*handler)(*request) : Response{404, R"({"error":{"message":"No such route."}})"};
            const QByteArray answer = wire(response, now());
            QTimer::singleShot(response.delayMs, socket, [socket = QPointer<QTcpSocket>(socket), response, answer] {
                if (socket)
                    response.drop ? socket->abort() : void(socket->write(answer));
            });
        }
    });
}
