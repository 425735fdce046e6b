// Reads the bytes as an XML property list. Whatever is read must write back out and read again to
// the same written form.

#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "fuzz/FuzzSupport.h"
#include "platform/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    PropertyList::Error error;
    const QVariant value = PropertyList::fromXml(xml, &error);
    if (!value.isValid())
        return 0;
    PropertyList::Error writeError;
    const QByteArray written = PropertyList::toXml(value, &writeError);
    if (written.isEmpty())
        return 0;  // a value the writer cannot express (it says so in writeError)
    const QVariant again = PropertyList::fromXml(written);
    if (!again.isValid())
        fuzz::fail("a property list the writer wrote does not read back");
    if (PropertyList::toXml(again) != written)
        fuzz::fail("a property list changed on a second round trip");
    return 0;
}
