#pragma once

#include <QJsonDocument>
#include <QString>

// Small JSON files in the state directory that the app keeps for itself between runs.
namespace StateFile {

// The document in the file; a null document when it is missing or not JSON.
QJsonDocument read(const QString& path);
// Replaces the file at once (written aside, then renamed), creating its directory. A failure is
// logged and otherwise ignored: what is kept is a convenience, never worth stopping for.
void write(const QString& path, const QJsonDocument& document);

} // namespace StateFile
