#include "tools/standin-services/CoverArt.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QStringList>
#include <QtEndian>

#include <array>

namespace qs::standin {

namespace {

// 5 x 7 block letters, one text of 35 cells per glyph, row by row.
struct Glyph {
    char c;
    const char* cells;
};
constexpr Glyph kGlyphs[] = {
    {'A', ".###.#...##...#######...##...##...#"},
    {'B', "####.#...##...#####.#...##...#####."},
    {'C', ".#####....#....#....#....#.....####"},
    {'D', "####.#...##...##...##...##...#####."},
    {'E', "######....#....####.#....#....#####"},
    {'F', "######....#....####.#....#....#...."},
    {'G', ".#####....#....#.####...##...#.####"},
    {'H', "#...##...##...#######...##...##...#"},
    {'I', ".###...#....#....#....#....#...###."},
    {'J', "..###...#....#....#....##..#..##..."},
    {'K', "#...##..#.#.#..##...#.#..#..#.#...#"},
    {'L', "#....#....#....#....#....#....#####"},
    {'M', "#...###.###.#.##...##...##...##...#"},
    {'N', "#...###..##.#.##..###...##...##...#"},
    {'O', ".###.#...##...##...##...##...#.###."},
    {'P', "####.#...##...#####.#....#....#...."},
    {'Q', ".###.#...##...##...##.#.##..#..##.#"},
    {'R', "####.#...##...#####.#.#..#..#.#...#"},
    {'S', ".#####....#.....###.....#....#####."},
    {'T', "#####..#....#....#....#....#....#.."},
    {'U', "#...##...##...##...##...##...#.###."},
    {'V', "#...##...##...##...##...#.#.#...#.."},
    {'W', "#...##...##...##.#.##.#.##.#.#.#.#."},
    {'X', "#...##...#.#.#...#...#.#.#...##...#"},
    {'Y', "#...##...#.#.#...#....#....#....#.."},
    {'Z', "#####....#...#...#...#...#....#####"},
    {'0', ".###.#...##..###.#.###..##...#.###."},
    {'1', "..#...##....#....#....#....#...###."},
    {'2', ".###.#...#....#...#...#...#...#####"},
    {'3', "####.....#....#.###.....#....#####."},
    {'4', "...#...##..#.#.#..#.#####...#....#."},
    {'5', "######....####.....#....##...#.###."},
    {'6', ".###.#....#....####.#...##...#.###."},
    {'7', "#####....#...#...#...#....#....#..."},
    {'8', ".###.#...##...#.###.#...##...#.###."},
    {'9', ".###.#...##...#.####....#....#.###."},
};

const char* glyphCells(QChar c)
{
    for (const Glyph& g : kGlyphs) {
        if (QLatin1Char(g.c) == c)
            return g.cells;
    }
    return nullptr;
}

std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table {};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

quint32 crc32(const QByteArray& data)
{
    static const std::array<quint32, 256> table = makeCrcTable();
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data)
        c = table[(c ^ static_cast<quint8>(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendBigEndian(QByteArray& out, quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    appendBigEndian(png, static_cast<quint32>(data.size()));
    QByteArray typed(type, 4);
    typed.append(data);
    png.append(typed);
    appendBigEndian(png, crc32(typed));
}

struct Rgb {
    quint8 r, g, b;
};

}  // namespace

std::optional<CoverSize> parseCoverSize(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,4})x(\\d{1,4})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int w = m.captured(1).toInt();
    const int h = m.captured(2).toInt();
    if (w < 16 || h < 16 || w > 1024 || h > 1024)
        return std::nullopt;
    return CoverSize {w, h};
}

QString coverInitials(const QString& title)
{
    QString initials;
    for (const QString& word : title.split(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), Qt::SkipEmptyParts)) {
        if (word.compare(QLatin1String("of"), Qt::CaseInsensitive) == 0 ||
            word.compare(QLatin1String("the"), Qt::CaseInsensitive) == 0)
            continue;
        initials += word.at(0).toUpper();
        if (initials.size() == 4)
            break;
    }
    return initials.isEmpty() ? QStringLiteral("QS") : initials;
}

QByteArray encodePngRgb(int width, int height, const QByteArray& rgbRows)
{
    QByteArray raw;
    raw.reserve((width * 3 + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.append('\0');  // no filter
        raw.append(rgbRows.constData() + static_cast<qsizetype>(y) * width * 3, width * 3);
    }
    QByteArray header;
    appendBigEndian(header, static_cast<quint32>(width));
    appendBigEndian(header, static_cast<quint32>(height));
    header.append(char(8)).append(char(2)).append(char(0)).append(char(0)).append(char(0));
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", qCompress(raw, 9).mid(4));  // qCompress puts a length before the zlib stream
    appendChunk(png, "IEND", QByteArray());
    return png;
}

QByteArray coverPng(const QString& productId, const QString& title, CoverSize size)
{
    const QByteArray h = QCryptographicHash::hash(productId.toUtf8(), QCryptographicHash::Md5);
    const Rgb base {quint8(64 + quint8(h[0]) % 128), quint8(64 + quint8(h[1]) % 128), quint8(64 + quint8(h[2]) % 128)};
    const Rgb band {quint8(base.r / 2), quint8(base.g / 2), quint8(base.b / 2)};
    const Rgb ink {250, 248, 240};
    const int w = size.width;
    const int ht = size.height;
    QByteArray pixels(static_cast<qsizetype>(w) * ht * 3, Qt::Uninitialized);
    auto put = [&](int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= w || y >= ht)
            return;
        char* p = pixels.data() + (static_cast<qsizetype>(y) * w + x) * 3;
        p[0] = static_cast<char>(c.r);
        p[1] = static_cast<char>(c.g);
        p[2] = static_cast<char>(c.b);
    };
    const int bandTop = ht * 3 / 10;
    const int bandBottom = ht * 7 / 10;
    const int border = std::max(2, w / 36);
    for (int y = 0; y < ht; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool edge = x < border || y < border || x >= w - border || y >= ht - border;
            put(x, y, edge ? ink : (y >= bandTop && y < bandBottom ? band : base));
        }
    }
    // The initials, centred in the band.
    const QString text = coverInitials(title);
    const int n = static_cast<int>(text.size());
    const int scale = std::max(1, std::min((w * 3 / 4) / (n * 6), (bandBottom - bandTop) * 7 / 10 / 7));
    const int textWidth = (n * 6 - 1) * scale;
    int x0 = (w - textWidth) / 2;
    const int y0 = bandTop + ((bandBottom - bandTop) - 7 * scale) / 2;
    for (QChar c : text) {
        if (const char* cells = glyphCells(c)) {
            for (int row = 0; row < 7; ++row) {
                for (int col = 0; col < 5; ++col) {
                    if (cells[row * 5 + col] != '#')
                        continue;
                    for (int dy = 0; dy < scale; ++dy) {
                        for (int dx = 0; dx < scale; ++dx)
                            put(x0 + col * scale + dx, y0 + row * scale + dy, ink);
                    }
                }
            }
        }
        x0 += 6 * scale;
    }
    return encodePngRgb(w, ht, pixels);
}

}  // namespace qs::standin
