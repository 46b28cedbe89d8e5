#include "support/AccountLabel.h"

using namespace Qt::StringLiterals;

namespace AccountLabel {

std::optional<QString> problem(const QString& label)
{
    if (label.trimmed().isEmpty())
        return u"An account label can't be empty."_s;
    if (label != label.trimmed())
        return u"An account label can't start or end with a space."_s;
    if (label.size() > maxLength)
        return u"An account label is at most %1 characters."_s.arg(maxLength);
    // Options start with '-', hidden files with '.'; ':' separates the service from the label.
    if (label.startsWith(u'-') || label.startsWith(u'.'))
        return u"An account label can't start with '-' or '.'."_s;
    for (const QChar c : label) {
        if (!c.isPrint() || c == u':' || c == u'/' || c == u'\\')
            return u"An account label can't hold ':', '/', '\\' or control characters."_s;
    }
    return std::nullopt;
}

bool same(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString scoped(const QString& base, const QString& label)
{
    return label.isEmpty() ? base : base + u':' + label;
}

QString displayName(const QString& service, const QString& label)
{
    return label.isEmpty() ? service : u"%1 (%2)"_s.arg(service, label);
}

} // namespace AccountLabel
