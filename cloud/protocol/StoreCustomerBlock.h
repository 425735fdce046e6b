// The customer block that tells the store pages who is visiting: seven tab-separated fields
// (customer number, clear password, short version, application name, product id, an empty field,
// the product to show first), scrambled with the store pad into the "v1" value of "MacStore/?v1=".
//
// Threads: a value type; any thread.
#pragma once

#include <QString>

#include <optional>

namespace qs::cloud {

struct StoreCustomerBlock {
    QString customerIdNumber;
    QString clearPassword;
    QString version;
    QString applicationName;
    QString productId;
    QString initialProductId;  // "_MYOFFERS_" opens the offers page

    QString clearText() const;
    QString scrambled() const;

    static std::optional<StoreCustomerBlock> fromClearText(const QString& text);
    // Nothing when the text is not scrambled with the store pad or does not hold seven fields.
    static std::optional<StoreCustomerBlock> fromScrambled(const QString& scrambled);
};

}  // namespace qs::cloud
