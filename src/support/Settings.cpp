#include "support/Settings.h"

#include "support/Paths.h"

using namespace Qt::StringLiterals;

Settings::Settings(const QString& file)
    : m_store(file, QSettings::IniFormat)
{
}

Settings& Settings::shared()
{
    static Settings settings(Paths::preferences());
    return settings;
}

SoundChoice Settings::soundChoice() const
{
    if (auto raw = get(Preferences::soundChoice))
        if (auto choice = soundChoiceFromRaw(*raw))
            return *choice;
    return get(Preferences::sound) ? SoundChoice::slap : SoundChoice::off;
}

void Settings::setSoundChoice(SoundChoice choice)
{
    set(Preferences::soundChoice, rawValue(choice));
}

std::optional<QVariant> Settings::raw(const char* key) const
{
    m_store.sync();
    const QString name = QString::fromLatin1(key);
    if (!m_store.contains(name))
        return std::nullopt;
    return m_store.value(name);
}

void Settings::store(const char* key, const QVariant& value)
{
    m_store.setValue(QString::fromLatin1(key), value);
    m_store.sync();
}

void Settings::erase(const char* key)
{
    m_store.remove(QString::fromLatin1(key));
    m_store.sync();
}

template <> std::optional<bool> Settings::convert<bool>(const std::optional<QVariant>& value)
{
    if (!value)
        return std::nullopt;
    const QString text = value->toString().trimmed().toLower();
    if (text == u"true" || text == u"1" || text == u"yes")
        return true;
    if (text == u"false" || text == u"0" || text == u"no")
        return false;
    return std::nullopt;
}

template <> std::optional<double> Settings::convert<double>(const std::optional<QVariant>& value)
{
    if (!value)
        return std::nullopt;
    bool ok = false;
    const double number = value->toString().trimmed().toDouble(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

template <> std::optional<qint64> Settings::convert<qint64>(const std::optional<QVariant>& value)
{
    if (!value)
        return std::nullopt;
    bool ok = false;
    const qint64 number = value->toString().trimmed().toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

template <> std::optional<QString> Settings::convert<QString>(const std::optional<QVariant>& value)
{
    if (!value)
        return std::nullopt;
    return value->toString();
}

template <> std::optional<QStringList> Settings::convert<QStringList>(const std::optional<QVariant>& value)
{
    if (!value)
        return std::nullopt;
    return value->toStringList();
}
