#include "cloud/protocol/StoreCustomerBlock.h"

#include "cloud/protocol/ScrambledText.h"

#include <QStringList>

namespace qs::cloud {

QString StoreCustomerBlock::clearText() const
{
    // Tabs inside a field would shift every later field; they cannot be part of these values.
    auto clean = [](QString s) { return s.remove(QLatin1Char('\t')); };
    return QStringList {clean(customerIdNumber), clean(clearPassword), clean(version), clean(applicationName),
        clean(productId), QString(), clean(initialProductId)}
        .join(QLatin1Char('\t'));
}

QString StoreCustomerBlock::scrambled() const
{
    return scrambleText(clearText(), ScramblePad::Store);
}

std::optional<StoreCustomerBlock> StoreCustomerBlock::fromClearText(const QString& text)
{
    const QStringList f = text.split(QLatin1Char('\t'));
    if (f.size() != 7)
        return std::nullopt;
    return StoreCustomerBlock {f[0], f[1], f[2], f[3], f[4], f[6]};
}

std::optional<StoreCustomerBlock> StoreCustomerBlock::fromScrambled(const QString& scrambled)
{
    const std::optional<QString> clear = unscrambleTextChecked(scrambled, ScramblePad::Store);
    if (!clear)
        return std::nullopt;
    return fromClearText(*clear);
}

}  // namespace qs::cloud
