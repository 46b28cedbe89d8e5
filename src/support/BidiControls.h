#pragma once

#include <QString>

// Unicode's direction controls in texts from outside. Embeddings, overrides and isolates
// (U+202A–U+202E, U+2066–U+2069) hold until closed, so a text carrying one can turn round whatever
// follows it on the line, such as the amount after a payer's name. The marks (U+200E, U+200F,
// U+061C) steer only their neighbours, as any right-to-left letter does, and ICU writes them into
// amounts for Arabic, Hebrew and Persian locales: our own lines keep them.

// An embedding, override or isolate, or the character that closes one.
bool isBidiEmbedding(char16_t c);
// An embedding, override or isolate (or its close), or a mark.
bool isBidiControl(char16_t c);

// For our lines, where one text sits beside others.
QString withoutBidiEmbeddings(QString text);
// For texts as they come from the services, which have no use for any.
QString withoutBidiControls(QString text);
