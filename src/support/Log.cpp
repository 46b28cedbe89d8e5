#include "support/Log.h"

#include "support/BidiControls.h"
#include "support/LogFile.h"
#include "support/Paths.h"

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Also the direction embeddings: one in a field would turn round the fields after it.
bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || isBidiEmbedding(c);
}

void appendEscaped(QString& out, char16_t c)
{
    switch (c) {
    case u'\n':
        out += u"\\n"_s;
        return;
    case u'\r':
        out += u"\\r"_s;
        return;
    case u'\t':
        out += u"\\t"_s;
        return;
    default:
        out += (c <= 0xff ? u"\\x%1"_s.arg(uint(c), 2, 16, QChar(u'0')) : u"\\u%1"_s.arg(uint(c), 4, 16, QChar(u'0')));
    }
}

// Every control character is in the basic plane, so UTF-16 units can be tested one by one.
QString escapeControlCharacters(const QString& message)
{
    if (std::none_of(message.cbegin(), message.cend(), [](QChar c) { return isControl(c.unicode()); }))
        return message;
    QString out;
    out.reserve(message.size() + 8);
    for (QChar c : message) {
        if (isControl(c.unicode()))
            appendEscaped(out, c.unicode());
        else
            out += c;
    }
    return out;
}

bool silenced = false;

} // namespace

void silenceLog()
{
    silenced = true;
}

QString isoStamp(const QDateTime& at)
{
    return at.toUTC().toString(u"yyyy-MM-dd'T'HH:mm:ss'Z'"_s);
}

QByteArray formatLogLine(const QDateTime& at, const QString& message)
{
    return (isoStamp(at) + u"  "_s + escapeControlCharacters(message) + u'\n').toUtf8();
}

void log(const QString& message)
{
    if (silenced)
        return;
    const QByteArray line = formatLogLine(QDateTime::currentDateTimeUtc(), message);
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    LogFile(Paths::log()).append(line);
}
