// The JavaScript operations that reach QtNetwork (the device identifier's hardware address) and QtGui
// (colours). They are built into qs_library, apart from the rest, so that qs_library_core runs on
// QtCore alone.

#include "library/JavaScript.h"

#include <QColor>
#include <QNetworkInterface>

#include <algorithm>

QByteArray JavaScript::primaryHardwareAddress()
{
    // The wired or wireless interface with the lowest index that has a six-byte address; the
    // choice does not depend on whether the interface is up, so it stays the same across runs.
    QList<QNetworkInterface> candidates;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        if (i.flags() & QNetworkInterface::IsLoopBack)
            continue;
        if (i.type() != QNetworkInterface::Ethernet && i.type() != QNetworkInterface::Wifi)
            continue;
        const QByteArray mac = QByteArray::fromHex(i.hardwareAddress().remove(QLatin1Char(':')).toLatin1());
        if (mac.size() == 6 && mac != QByteArray(6, '\0'))
            candidates.append(i);
    }
    std::sort(candidates.begin(), candidates.end(),
        [](const QNetworkInterface& a, const QNetworkInterface& b) { return a.index() < b.index(); });
    if (candidates.isEmpty())
        return QByteArray(6, '\0');
    return QByteArray::fromHex(candidates.front().hardwareAddress().remove(QLatin1Char(':')).toLatin1());
}

QString JavaScript::stringWithUniqueDeviceID()
{
    return deviceIDForHardwareAddress(primaryHardwareAddress());
}

QString JavaScript::HTMLColorStringFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return HTMLColorStringFromColor(rgb.redF(), rgb.greenF(), rgb.blueF());
}
