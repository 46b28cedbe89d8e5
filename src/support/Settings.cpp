#include "support/Settings.h"

#include "support/Paths.h"

using namespace Qt::StringLiterals;

Settings::Settings(const QString& file)
    : m_store(file, QSettings::IniFormat)
{
}

Settings::Settings(const QString& file, QString account)
    : m_store(file, QSettings::IniFormat)
    , m_account(std::move(account))
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

QString Settings::scopedKey(const char* key) const
{
    const QString name = QString::fromLatin1(key);
    const qsizetype dot = name.indexOf(u'.');
    if (m_account.isEmpty() || dot < 0)
        return name;
    return name.left(dot) + u':' + m_account + name.mid(dot);
}

void Settings::forgetAccount()
{
    if (m_account.isEmpty())
        return;
    m_store.sync();
    const QString infix = u':' + m_account + u'.';
    for (const QString& key : m_store.allKeys()) {
        // "stripe:Acme.since", not "stripe:Acme 2.since", "stripe:Acme.x.since" nor a key of no account.
        const qsizetype colon = key.indexOf(u':');
        if (colon > 0 && key.indexOf(infix) == colon && !key.mid(colon + infix.size()).contains(u'.'))
            m_store.remove(key);
    }
    m_store.sync();
}

std::optional<QVariant> Settings::raw(const char* key) const
{
    m_store.sync();
    const QString name = scopedKey(key);
    if (!m_store.contains(name))
        return std::nullopt;
    return m_store.value(name);
}

void Settings::store(const char* key, const QVariant& value)
{
    m_store.setValue(scopedKey(key), value);
    m_store.sync();
}

void Settings::erase(const char* key)
{
    m_store.remove(scopedKey(key));
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
