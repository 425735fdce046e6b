#include "cloud/protocol/ScrambledText.h"

#include "engine/scramble/ScramblePads.h"
#include "engine/scramble/StringScramble.h"

#include <QStringDecoder>

namespace qs::cloud {

namespace {

int alphabetIndex(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'Z')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 36;
    return -1;
}

cLString8 toEngine(const QByteArray& bytes)
{
    cLString8 s;
    s.appendChars(bytes.constData(), static_cast<std::int32_t>(bytes.size()));
    return s;
}

QByteArray fromEngine(const cLString8& s)
{
    return QByteArray(s.chars(), s.length());
}

}  // namespace

const char* scramblePadText(ScramblePad pad)
{
    switch (pad) {
    case ScramblePad::WebScript:
        return ScramblePads::kWebScriptScramblePad;
    case ScramblePad::SyncConnect:
        return ScramblePads::kSyncConnectScramblePad;
    case ScramblePad::Store:
        return ScramblePads::kStoreScramblePad;
    case ScramblePad::Default:
        break;
    }
    return ScramblePads::kDefaultScramblePad;
}

QString scrambleBytes(const QByteArray& bytes, ScramblePad pad)
{
    return QString::fromLatin1(fromEngine(scrambleString(toEngine(bytes), scramblePadText(pad))));
}

QString scrambleText(const QString& text, ScramblePad pad)
{
    return scrambleBytes(text.toUtf8(), pad);
}

std::optional<QByteArray> unscrambleBytesChecked(const QString& scrambled, ScramblePad pad)
{
    // One offset symbol, then two symbols per byte.
    if (scrambled.isEmpty() || scrambled.size() % 2 != 1)
        return std::nullopt;
    for (QChar c : scrambled) {
        if (alphabetIndex(c) < 0)
            return std::nullopt;
    }
    if (scrambled.size() == 1)
        return alphabetIndex(scrambled.at(0)) == 0 ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    const QByteArray clear = fromEngine(unscrambleString(toEngine(scrambled.toLatin1()), scramblePadText(pad)));
    if (clear.size() != (scrambled.size() - 1) / 2)
        return std::nullopt;
    // Every symbol pair must have been two hexadecimal digits: scrambling the bytes again must give
    // the same text back, which also checks the byte sum in the first symbol.
    if (scrambleBytes(clear, pad) != scrambled)
        return std::nullopt;
    return clear;
}

std::optional<QString> unscrambleTextChecked(const QString& scrambled, ScramblePad pad)
{
    const std::optional<QByteArray> bytes = unscrambleBytesChecked(scrambled, pad);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

}  // namespace qs::cloud
