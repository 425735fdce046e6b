// Scrambled text for the cloud services: the engine's string scrambler (engine/scramble) over QString,
// with the checked inverse a receiver of untrusted text needs.
//
// Text is scrambled as its UTF-8 bytes. The first symbol of a scrambled form is the byte sum of the
// clear text modulo 62, so a receiver can tell a well-formed text scrambled with the same pad from
// garbage: unscrambleChecked refuses anything outside the alphabet, of the wrong length, or whose
// sum does not match.
//
// The pads live in engine/scramble/ScramblePads.h. Threads: pure functions, any thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qs::cloud {

enum class ScramblePad {
    Default,      // stored passwords and the password parameter of web-script queries
    WebScript,    // pad 1: web-script queries
    SyncConnect,  // pad 2: the sync log-in values
    Store,        // pad 3: the store pages' customer block
};

const char* scramblePadText(ScramblePad pad);

// Scrambles the UTF-8 bytes of `text`. The empty text scrambles to "0".
QString scrambleText(const QString& text, ScramblePad pad);
QString scrambleBytes(const QByteArray& bytes, ScramblePad pad);

// The clear bytes back, or nothing when `scrambled` is not a scrambled form made with this pad.
std::optional<QByteArray> unscrambleBytesChecked(const QString& scrambled, ScramblePad pad);
// The same, decoded as UTF-8; nothing also when the bytes are not valid UTF-8.
std::optional<QString> unscrambleTextChecked(const QString& scrambled, ScramblePad pad);

}  // namespace qs::cloud
