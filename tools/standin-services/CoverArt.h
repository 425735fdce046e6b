// CoverArt: simple generated book covers for the stand-in store: a PNG of the asked size in a colour
// drawn from the product id, with a band and the book's initials in block letters.
//
// Threads: pure functions, any thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qs::standin {

struct CoverSize {
    int width = 144;
    int height = 144;
};

// Reads "WxH" with both sides from 16 to 1024; nothing otherwise.
std::optional<CoverSize> parseCoverSize(const QString& text);
// Up to four initials of the title's words, letters and digits only, upper case.
QString coverInitials(const QString& title);
QByteArray coverPng(const QString& productId, const QString& title, CoverSize size);

// A PNG file of 8-bit RGB rows (width * 3 bytes each).
QByteArray encodePngRgb(int width, int height, const QByteArray& rgbRows);

}  // namespace qs::standin
