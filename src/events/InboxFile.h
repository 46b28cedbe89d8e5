#pragma once

#include <QByteArray>

// Reads one inbox entry safely: never blocks on a FIFO, never reads a huge file whole.
struct InboxFile {
    static constexpr qint64 maxBytes = 1024 * 1024;

    enum class Outcome {
        read,       // `bytes` holds the whole file
        vanished,   // gone or unreadable: leave it, the next pass tries again
        notRegular, // a FIFO, socket, device or directory under an event name
        tooLarge,   // over maxBytes
    };

    Outcome outcome = Outcome::vanished;
    QByteArray bytes;

    static InboxFile read(const QByteArray& path);
};
