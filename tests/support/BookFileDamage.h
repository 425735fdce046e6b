// Damage to one stream of a book file, as a bad disk or a broken download leaves it: the header and
// every other stream stay as they were, so the book still opens.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <cstdint>

namespace TestSupport {

// Overwrites `count` bytes in the middle of the stream tagged `tag` ("TOFC") of the book file at
// `path` with random bytes (from `seed`). False when the file has no such stream or it is shorter
// than `count`.
inline bool damageStream(const QString& path, const char* tag, int count, quint32 seed = 68)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const auto u32 = [&bytes](qint64 at) {
        if (at < 0 || at + 4 > bytes.size())
            return std::uint32_t(0);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
        return std::uint32_t(p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24));
    };
    // The container's chain of 16-byte headers: id, start, length, next.
    const QByteArray id(tag, 4);
    for (qint64 header = u32(12), steps = 0; header != 0 && steps < 100000; header = u32(header + 12), ++steps) {
        if (header + 16 > bytes.size() || bytes.mid(header, 4) != id)
            continue;
        const qint64 start = u32(header + 4), length = u32(header + 8);
        if (length < count || start + length > bytes.size())
            return false;
        QRandomGenerator random(seed);
        const qint64 from = start + (length - count) / 2;
        for (qint64 i = from; i < from + count; ++i)
            bytes[i] = char(random.bounded(256));
        return file.seek(0) && file.write(bytes) == bytes.size();
    }
    return false;
}

}  // namespace TestSupport
