// Any bytes as an event file: decoding never crashes, and what decodes survives encoding unchanged.
#include "events/MonkeyEvent.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto event = MonkeyEvent::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!event)
        return 0;

    const QByteArray encoded = event->encode();
    const auto again = MonkeyEvent::decode(encoded);
    if (!again || *again != *event) {
        std::fprintf(stderr, "round trip changed the event; encoded as: %s\n", encoded.constData());
        std::abort();
    }

    // The date is read on every playback; only its parsing matters here.
    if (const auto date = event->date(); date && !date->isValid()) {
        std::fprintf(stderr, "a date was given that is not valid\n");
        std::abort();
    }
    (void)event->isMoney();
    return 0;
}
