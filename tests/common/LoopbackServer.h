#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;

// A real HTTP/1.1 server on 127.0.0.1 standing in for the sales services. Tests route paths to
// answers (any status, body, delay, redirect, or a dropped connection) and read back every request.
class LoopbackServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString path;                         // decoded, without the query
        QMap<QString, QString> query;         // decoded
        QByteArray rawQuery;                  // as sent
        QMap<QByteArray, QByteArray> headers; // names in lower case
    };
    struct Response {
        int status = 200;
        QByteArray body = "{}";
        int delayMs = 0;
        bool drop = false;       // close the connection without answering
        QByteArray headers = {}; // more header lines, each ending in "\r\n" (Location, Retry-After...)
    };
    using Handler = std::function<Response(const Request&)>;
    LoopbackServer();
    QUrl base() const;
    // A path ending in "/" also takes every path below it that has no route of its own.
    void route(const QString& path, Handler handler) { m_routes.insert(path, std::move(handler)); }
    void route(const QString& path, int status, const QByteArray& body)
    {
        route(path, [=](const Request&) { return Response{status, body}; });
    }
    QList<Request> requestsTo(const QString& path) const;
    QList<Request> requests;
    // The service's clock, for the Date of every answer: this machine's unless a test sets it apart.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
    // One object from the services' published answers in tests/watchers/fixtures ("stripe-2024-06-20",
    // "charge"), so stand-ins answer with every field a real answer carries.
    static QJsonObject published(const QString& file, const QString& name);

private:
    void serve(QTcpSocket* socket);
    const Handler* handlerFor(const QString& path) const;
    QTcpServer* m_server;
    QMap<QString, Handler> m_routes;
};
