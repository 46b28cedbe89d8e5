#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <utility>
#include <variant>

// The service answered with a status outside 200–299. `message` is user-facing.
struct APIError {
    int status = 0;
    QString message;
    // How long the service asked to be left alone (Retry-After, or the body's backoff_ms).
    std::optional<double> retryAfterSeconds = std::nullopt;
};

// No usable answer: no connection, a time-out, an answer too large to take.
struct TransportError {
    QString description;
};

using RequestError = std::variant<APIError, TransportError>;

// "Wed, 21 Oct 2015 07:28:00 GMT", the one date form HTTP sends; invalid when it is not one.
QDateTime parseHttpDate(const QByteArray& text);

// A value, or why a request for it failed.
template <typename T> class RequestResult {
public:
    // An empty failure; present only because awaiting helpers need to make one before assigning.
    RequestResult()
        : m_value(RequestError(TransportError{}))
    {
    }
    RequestResult(T value)
        : m_value(std::move(value))
    {
    }
    RequestResult(APIError error)
        : m_value(RequestError(std::move(error)))
    {
    }
    RequestResult(TransportError error)
        : m_value(RequestError(std::move(error)))
    {
    }
    RequestResult(RequestError error)
        : m_value(std::move(error))
    {
    }

    bool ok() const { return std::holds_alternative<T>(m_value); }
    // When the service sent the answer, by its own clock (its Date header), when it said; read
    // only when asked, as a quiet poll never asks.
    std::optional<QDateTime> servedAt() const;
    void setServedAt(QByteArray dateHeader) { m_servedAt = std::move(dateHeader); }
    const T& value() const { return std::get<T>(m_value); }
    const RequestError& error() const { return std::get<RequestError>(m_value); }

    // The error of another result, passed on unchanged.
    template <typename U> static RequestResult failure(const RequestResult<U>& other)
    {
        return RequestResult(other.error());
    }

private:
    std::variant<T, RequestError> m_value;
    QByteArray m_servedAt;
};

template <typename T> std::optional<QDateTime> RequestResult<T>::servedAt() const
{
    const QDateTime at = parseHttpDate(m_servedAt);
    return at.isValid() ? std::optional(at) : std::nullopt;
}
