#pragma once
// The reader's version ("0.1.0") and build number, both set once by the build from the project's
// version. Every place that shows or sends a version (About, the update check, the feed and web
// requests, the sync server, the settings' "prevAppVersion") reads them here. Any thread.

#include <QString>

namespace AppVersion {

// The marketing version, as "major.minor.patch".
QString version();

// A whole number that grows with every release: major * 10000 + minor * 100 + patch.
qint64 buildNumber();

}  // namespace AppVersion
