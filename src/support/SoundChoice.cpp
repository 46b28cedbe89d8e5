#include "support/SoundChoice.h"

using namespace Qt::StringLiterals;

QString rawValue(SoundChoice choice)
{
    switch (choice) {
    case SoundChoice::slap:
        return u"slap"_s;
    case SoundChoice::pop:
        return u"pop"_s;
    case SoundChoice::off:
        return u"off"_s;
    }
    return u"off"_s;
}

std::optional<SoundChoice> soundChoiceFromRaw(const QString& raw)
{
    for (SoundChoice choice : {SoundChoice::slap, SoundChoice::pop, SoundChoice::off}) {
        if (rawValue(choice) == raw)
            return choice;
    }
    return std::nullopt;
}
