#include "history/StateFile.h"

#include "support/Log.h"
#include "support/PrivateDirectory.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace StateFile {

QJsonDocument read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll());
}

void write(const QString& path, const QJsonDocument& document)
{
    if (const auto error = makePrivateDirectory(QFileInfo(path).path())) {
        log(u"WARN cannot keep %1: %2"_s.arg(path, *error));
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document.toJson(QJsonDocument::Compact)) < 0 || !file.commit())
        log(u"WARN cannot keep %1: %2"_s.arg(path, file.errorString()));
}

} // namespace StateFile
