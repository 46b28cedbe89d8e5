#pragma once

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
        bool drop = false;   // close the connection without answering
        QByteArray location = {}; // a Location header, for redirects
    };
    using Handler = std::function<Response(const Request&)>;
    LoopbackServer();
    QUrl base() const;
    void route(const QString& path, Handler handler);
    void route(const QString& path, int status, const QByteArray& body);
    QList<Request> requestsTo(const QString& path) const;
    QList<Request> requests;

private:
    void serve(QTcpSocket* socket);
    QTcpServer* m_server;
    QMap<QString, Handler> m_routes;
};
