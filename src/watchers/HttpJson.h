#pragma once

#include "watchers/RequestResult.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QUrl>

#include <optional>

#include <qcoro/qcorotask.h>

class QNetworkAccessManager;

using StringMap = QMap<QString, QString>;

namespace HttpJson {
// An answer that sends nothing for this long is given up; the session holds it so tests can shorten it.
inline constexpr int timeoutMs = 20'000;
inline constexpr qint64 maxBodyBytes = 4 * 1024 * 1024;

// The one HTTP session of the process: no cookies kept, no cache, no stored credentials.
QNetworkAccessManager& apiSession();

// base + "/" + path, with the query sorted by name and percent-encoded.
QUrl requestUrl(const QUrl& base, const QString& path, const StringMap& query);

// The JSON object of a non-success answer's message: error.message, then message, then "HTTP <status>".
QString errorMessage(int status, const QJsonObject& body);

// The wait a refusal asks for: the Retry-After header (seconds or an HTTP date, measured from
// `now`) or the body's backoff_ms, whichever is longer; none when neither is readable.
std::optional<double> retryAfter(const QByteArray& header, const QJsonObject& body, const QDateTime& now);

// An answer body as a JSON object, or none when it is not one (cut short, an HTML sign-in page...).
std::optional<QJsonObject> parseObject(const QByteArray& body);

// Any answer body as an object; anything that is not a JSON object counts as empty.
QJsonObject objectOf(const QByteArray& body);
} // namespace HttpJson

// One GET: a JSON object, an APIError for a non-success status, or the transport's failure.
// A success answer that is not a JSON object counts as a transport failure, never as an empty
// success: otherwise a portal's sign-in page would pass for an answer with no sales in it.
QCoro::Task<RequestResult<QJsonObject>> getJSON(QUrl base, QString path, StringMap query, StringMap headers);
