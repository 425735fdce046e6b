// Shared pieces of the store tests: a stand-in server, the demo caller, and waiting for notifications.
#pragma once

#include "tests/tools/standin-services/StandinTestServer.h"

#include "cloud/protocol/ServiceHost.h"
#include "cloud/protocol/WebScriptQuery.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QList>
#include <QTemporaryDir>

#include <functional>

namespace store_test {

inline qs::cloud::WebScriptCaller demoCaller()
{
    qs::cloud::WebScriptCaller c;
    c.customerId = QStringLiteral("demo@quillstead.test");
    c.clearPassword = QStringLiteral("demo");
    c.version = QStringLiteral("1.0");
    c.deviceId = QStringLiteral("test-device");
    return c;
}

inline QUrl scriptUrl(const standin_test::Server& server)
{
    return qs::cloud::ServiceHost::fromSetting(server.serviceHostSetting()).webScriptUrl();
}

// What a test's store managers are handed: a notification centre and defaults of the test's own.
struct Services {
    QTemporaryDir dir;
    NotificationCenter center;
    UserDefaults defaults {dir.filePath(QStringLiteral("defaults.conf"))};
};

// Records the notifications of the given names posted on the centre while it lives.
class Recorder {
public:
    Recorder(NotificationCenter& center, const QStringList& names) : m_center(center)
    {
        for (const QString& name : names)
            m_center.addObserver(this, name, [this](Notification& n) { received.append(n); });
    }
    ~Recorder() { m_center.removeObserver(this); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    int count(const QString& name) const
    {
        return int(
            std::count_if(received.cbegin(), received.cend(), [&](const Notification& n) { return n.name == name; }));
    }
    QList<Notification> named(const QString& name) const
    {
        QList<Notification> out;
        for (const Notification& n : received)
            if (n.name == name)
                out.append(n);
        return out;
    }
    QList<Notification> received;

private:
    NotificationCenter& m_center;
};

using TestSupport::waitFor;

}  // namespace store_test
