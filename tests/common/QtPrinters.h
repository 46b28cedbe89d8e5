#pragma once

#include <QByteArray>
#include <QString>
#include <ostream>

// Readable failure messages for Qt values in GoogleTest.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << (bytes.size() > 400 ? bytes.left(400).toStdString() + "…" : bytes.toStdString()) << '"';
}
