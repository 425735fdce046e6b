// Reads the bytes as a keyed archive (an XML property list holding archived objects). Whatever is
// read must write back out as an archive that reads again.

#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "fuzz/FuzzSupport.h"
#include "platform/KeyedArchive.h"

namespace {

// Visits the object graph the archive decoded (bounded: the reader resolves references).
void visit(const QVariant& v, int depth, int& budget)
{
    if (depth > 64 || --budget < 0)
        return;
    (void)KeyedArchive::isArchivedObject(v);
    (void)KeyedArchive::classNameOf(v);
    if (v.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = v.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            visit(it.value(), depth + 1, budget);
    } else if (v.typeId() == QMetaType::QVariantList) {
        for (const QVariant& item : v.toList())
            visit(item, depth + 1, budget);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    PropertyList::Error error;
    const QVariant root = KeyedArchive::fromXml(xml, &error);
    if (!root.isValid())
        return 0;
    int budget = 10000;
    visit(root, 0, budget);
    const QByteArray written = KeyedArchive::toXml(root);
    if (!written.isEmpty() && !KeyedArchive::fromXml(written).isValid())
        fuzz::fail("a keyed archive the writer wrote does not read back");
    return 0;
}
