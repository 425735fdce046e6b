// StoreCredentials: who the store requests speak for, read from the user defaults and the kept
// password. The customer is signed in when "credentialsValid" is set; the password comes from the
// password file the account settings keep (an older "optionsbitfield" value is read when there is no
// file). Every store client builds its caller here, so they all send the same credentials.
//
// Threads: whatever the defaults allow (any thread); the password file is read on each call.
#pragma once

#include "cloud/protocol/WebScriptQuery.h"

#include <QString>

class UserDefaults;

namespace qs::cloud {

namespace StoreCredentials {

bool signedIn(const UserDefaults& defaults);
// The clear password: the kept password file, else the scrambled "optionsbitfield" default.
QString clearPassword(const UserDefaults& defaults, const QString& passwordFolder = QString());
// The caller of the store requests: "customerID", the clear password, the version (the application's
// when empty) and the device id.
WebScriptCaller caller(
    const UserDefaults& defaults, const QString& version = QString(), const QString& passwordFolder = QString());

}  // namespace StoreCredentials

}  // namespace qs::cloud
