#include "cloud/store/StoreCredentials.h"

#include "cloud/account/CustomerPassword.h"
#include "cloud/protocol/ScrambledText.h"
#include "library/JavaScript.h"
#include "platform/AppVersion.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

namespace qs::cloud {

bool StoreCredentials::signedIn(const UserDefaults& defaults)
{
    return defaults.value(SettingsKeys::CredentialsValid);
}

QString StoreCredentials::clearPassword(const UserDefaults& defaults, const QString& passwordFolder)
{
    const QString kept = CustomerPassword::load(passwordFolder);
    if (!kept.isEmpty())
        return kept;
    // A value that was not scrambled with the default pad is no password.
    return unscrambleTextChecked(defaults.value(SettingsKeys::Optionsbitfield), ScramblePad::Default)
        .value_or(QString());
}

WebScriptCaller StoreCredentials::caller(
    const UserDefaults& defaults, const QString& version, const QString& passwordFolder)
{
    WebScriptCaller c;
    c.customerId = defaults.value(SettingsKeys::CustomerID);
    c.clearPassword = clearPassword(defaults, passwordFolder);
    c.version = version.isEmpty() ? AppVersion::version() : version;
    c.deviceId = JavaScript::stringWithUniqueDeviceID();
    return c;
}

}  // namespace qs::cloud
