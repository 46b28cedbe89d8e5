#pragma once

#include "watchers/RequestResult.h"

#include <QJsonObject>
#include <QMap>
#include <QUrl>

#include <qcoro/qcorotask.h>

class QNetworkAccessManager;

using StringMap = QMap<QString, QString>;

namespace HttpJson {
inline constexpr int timeoutMs = 20'000;
inline constexpr qint64 maxBodyBytes = 4 * 1024 * 1024;

// The one HTTP session of the process: no cookies kept, no cache, no stored credentials.
QNetworkAccessManager& apiSession();

// base + "/" + path, with the query sorted by name and percent-encoded.
QUrl requestUrl(const QUrl& base, const QString& path, const StringMap& query);

// The JSON object of a non-success answer's message: error.message, then message, then "HTTP <status>".
QString errorMessage(int status, const QJsonObject& body);

// Any answer body as an object; anything that is not a JSON object counts as empty.
QJsonObject objectOf(const QByteArray& body);
} // namespace HttpJson

// One GET: a JSON object, an APIError for a non-success status, or the transport's failure.
QCoro::Task<RequestResult<QJsonObject>> getJSON(QUrl base, QString path, StringMap query, StringMap headers);
