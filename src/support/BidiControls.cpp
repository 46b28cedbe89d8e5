#include "support/BidiControls.h"

bool isBidiEmbedding(char16_t c)
{
    return (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

bool isBidiControl(char16_t c)
{
    return isBidiEmbedding(c) || c == 0x200e || c == 0x200f || c == 0x061c;
}

// All of them are in the basic plane, so UTF-16 units can be tested one by one.
QString withoutBidiEmbeddings(QString text)
{
    text.removeIf([](QChar c) { return isBidiEmbedding(c.unicode()); });
    return text;
}

QString withoutBidiControls(QString text)
{
    text.removeIf([](QChar c) { return isBidiControl(c.unicode()); });
    return text;
}
