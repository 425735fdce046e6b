#include "platform/AppVersion.h"

#ifndef QS_APP_VERSION
#error "QS_APP_VERSION is set by platform/CMakeLists.txt"
#endif
#ifndef QS_APP_BUILD
#error "QS_APP_BUILD is set by platform/CMakeLists.txt"
#endif

namespace AppVersion {

QString version()
{
    return QStringLiteral(QS_APP_VERSION);
}

qint64 buildNumber()
{
    return qint64(QS_APP_BUILD);
}

}  // namespace AppVersion
