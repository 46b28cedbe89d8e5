#include "watchers/HttpJson.h"

#include "support/BidiControls.h"

#include <QJsonDocument>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>

#include <qcoro/qcoronetworkreply.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

QNetworkRequest makeRequest(const QUrl& url, const StringMap& headers)
{
    QNetworkRequest request(url);
    // Nothing is remembered between requests: no cookies in or out.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    // The key travels in a header; never follow a redirect to another origin with it.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        request.setRawHeader(it.key().toUtf8(), it.value().toUtf8());
    return request;
}

// No usable answer: no status at all, a failure below HTTP (connection, proxy, time-out), or
// a success status whose answer could not be read. Other statuses are the service's own answer.
bool isTransportFailure(const QNetworkReply& reply, const QVariant& status)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (!status.isValid() || (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied))
        return true;
    const bool protocolFailure
        = error >= QNetworkReply::ProtocolUnknownError && error < QNetworkReply::InternalServerError;
    return protocolFailure && status.toInt() >= 200 && status.toInt() <= 299;
}

QString transportDescription(const QNetworkReply& reply)
{
    if (reply.error() == QNetworkReply::OperationCanceledError || reply.error() == QNetworkReply::TimeoutError)
        return u"The request timed out."_s;
    return reply.errorString();
}

QDateTime httpDate(const QString& text)
{
    QDateTime at = QLocale::c().toDateTime(text, u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s);
    at.setTimeSpec(Qt::UTC);
    return at;
}

} // namespace

QDateTime parseHttpDate(const QByteArray& text)
{
    return httpDate(QString::fromLatin1(text));
}

namespace HttpJson {

QNetworkAccessManager& apiSession()
{
    // Lives as long as the process; never destroyed after the application object.
    // No cache is installed, and every request keeps its cookies to itself (see makeRequest).
    static auto* session = [] {
        auto* manager = new QNetworkAccessManager;
        manager->setTransferTimeout(timeoutMs);
        return manager;
    }();
    return *session;
}

QUrl requestUrl(const QUrl& base, const QString& path, const StringMap& query)
{
    QString text = base.toString(QUrl::FullyEncoded);
    while (text.endsWith(u'/'))
        text.chop(1);
    QString relative = path;
    while (relative.startsWith(u'/'))
        relative.remove(0, 1);
    QUrl url(text + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(relative, "/")), QUrl::StrictMode);
    if (!query.isEmpty()) {
        QStringList pairs;
        for (auto it = query.cbegin(); it != query.cend(); ++it)
            pairs.append(
                QString::fromLatin1(QUrl::toPercentEncoding(it.key()) + '=' + QUrl::toPercentEncoding(it.value())));
        url.setQuery(pairs.join(u'&'), QUrl::StrictMode);
    }
    return url;
}

QString errorMessage(int status, const QJsonObject& body)
{
    QJsonValue message = body.value("error"_L1).toObject().value("message"_L1);
    if (!message.isString())
        message = body.value("message"_L1);
    // The service's words reach the log and the settings window, without direction controls.
    return message.isString() ? withoutBidiControls(message.toString()) : u"HTTP %1"_s.arg(status);
}

std::optional<double> retryAfter(const QByteArray& header, const QJsonObject& body, const QDateTime& now)
{
    std::optional<double> wait;
    const auto longest = [&](double seconds) {
        if (std::isfinite(seconds) && seconds >= 0)
            wait = std::max(wait.value_or(0), seconds);
    };
    const QString text = QString::fromLatin1(header).trimmed();
    bool isNumber = false;
    const qlonglong seconds = text.toLongLong(&isNumber);
    if (isNumber)
        longest(double(seconds));
    else if (const QDateTime at = httpDate(text); at.isValid())
        longest(std::max<qint64>(0, now.secsTo(at)));
    if (const QJsonValue backoff = body.value("backoff_ms"_L1); backoff.isDouble())
        longest(backoff.toDouble() / 1000);
    return wait;
}

std::optional<QJsonObject> parseObject(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

QJsonObject objectOf(const QByteArray& body)
{
    return parseObject(body).value_or(QJsonObject());
}

} // namespace HttpJson

QCoro::Task<RequestResult<QJsonObject>> getJSON(QUrl base, QString path, StringMap query, StringMap headers)
{
    const QNetworkRequest request = makeRequest(HttpJson::requestUrl(base, path, query), headers);
    std::unique_ptr<QNetworkReply, DeleteLater> reply(HttpJson::apiSession().get(request));

    // An answer that grows past the cap is cut off rather than buffered without limit.
    auto tooLarge = std::make_shared<bool>(false);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(),
        [tooLarge, raw = reply.get()](qint64 received, qint64 total) {
            if (!*tooLarge && (received > HttpJson::maxBodyBytes || total > HttpJson::maxBodyBytes)) {
                *tooLarge = true;
                raw->abort();
            }
        });
    co_await qCoro(reply.get()).waitForFinished();

    if (*tooLarge)
        co_return TransportError{u"The answer was larger than %1 MiB."_s.arg(HttpJson::maxBodyBytes / (1024 * 1024))};
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isTransportFailure(*reply, statusAttribute))
        co_return TransportError{transportDescription(*reply)};

    const int status = statusAttribute.toInt();
    const QByteArray body = reply->readAll();
    if (status < 200 || status > 299) {
        // The service's own clock: a date it names is measured against it, not against ours.
        const QDateTime served = parseHttpDate(reply->rawHeader("Date"));
        const QJsonObject error = HttpJson::objectOf(body);
        co_return APIError{status, HttpJson::errorMessage(status, error),
            HttpJson::retryAfter(
                reply->rawHeader("Retry-After"), error, served.isValid() ? served : QDateTime::currentDateTimeUtc())};
    }
    if (auto object = HttpJson::parseObject(body)) {
        RequestResult<QJsonObject> answer(*std::move(object));
        answer.setServedAt(reply->rawHeader("Date"));
        co_return answer;
    }
    co_return TransportError{u"The answer couldn't be read as JSON."_s};
}
