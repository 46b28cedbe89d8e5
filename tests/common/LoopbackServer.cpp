#include "common/LoopbackServer.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

std::optional<LoopbackServer::Request> parseHead(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() < 2)
        return std::nullopt;
    LoopbackServer::Request request;
    request.method = requestLine[0];
    const QByteArray target = requestLine[1];
    const qsizetype mark = target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(target.left(mark < 0 ? target.size() : mark));
    if (mark >= 0) {
        request.rawQuery = target.mid(mark + 1);
        for (const QByteArray& pair : request.rawQuery.split('&')) {
            const qsizetype eq = pair.indexOf('=');
            request.query.insert(QUrl::fromPercentEncoding(pair.left(eq)), QUrl::fromPercentEncoding(pair.mid(eq + 1)));
        }
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    return request;
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

LoopbackServer::~LoopbackServer() = default;

QUrl LoopbackServer::base() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()));
}

void LoopbackServer::route(const QString& path, Handler handler)
{
    m_routes.insert(path, std::move(handler));
}

void LoopbackServer::route(const QString& path, int status, const QByteArray& body)
{
    route(path, [status, body](const Request&) { return Response{status, body}; });
}

QList<LoopbackServer::Request> LoopbackServer::requestsTo(const QString& path) const
{
    QList<Request> out;
    for (const Request& request : requests) {
        if (request.path == path)
            out.append(request);
    }
    return out;
}

void LoopbackServer::serve(QTcpSocket* socket)
{
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        // Requests are GETs without bodies: each ends at the blank line.
        QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
        qsizetype end;
        while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
            const auto request = parseHead(buffer.left(end).replace("\r", ""));
            buffer.remove(0, end + 4);
            if (request) {
                if (recordRequests)
                    requests.append(*request);
                answer(socket, *request);
            }
        }
        socket->setProperty("buffer", buffer);
    });
}

void LoopbackServer::answer(QTcpSocket* socket, const Request& request)
{
    const auto handler = m_routes.find(request.path);
    const Response response = handler != m_routes.end() ? (*handler)(request)
                                                        : Response{404, R"({"error":{"message":"No such route."}})"};
    QPointer<QTcpSocket> target(socket);
    auto send = [target, response] {
        if (!target)
            return;
        if (response.drop) {
            target->abort();
            return;
        }
        target->write("HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n"
            + "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(response.body.size())
            + "\r\nConnection: keep-alive\r\n\r\n" + response.body);
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, socket, send);
    else
        send();
}
