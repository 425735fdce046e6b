// The library's operation guard, shared by the library's source files (not for other parts).
#pragma once

#include "library/SourceManager.h"
#include "platform/Alerts.h"

// An operation of the library: holds the library's lock; the outermost one writes the archives
// when something changed, releases the lock and then posts the notifications it collected.
class SourceManager::Operation {
public:
    explicit Operation(SourceManager& manager) : m_manager(manager), m_lock(manager.m_operationMutex)
    {
        ++m_manager.m_depth;
    }
    ~Operation()
    {
        if (m_manager.m_depth == 1) {
            // Building a list while writing asks for another writing: write until settled.
            for (int round = 0; round < 3 && m_manager.m_archivePending; ++round) {
                m_manager.m_archivePending = false;
                m_manager.writeArchives();
            }
            m_manager.m_archivePending = false;
        }
        if (--m_manager.m_depth > 0)
            return;
        std::vector<Notification> pending;
        pending.swap(m_manager.m_pending);
        const bool alert = std::exchange(m_manager.m_showBadBookAlert, false);
        m_lock.unlock();
        for (Notification& n : pending)
            m_manager.m_center.post(n);
        if (alert) {
            Alert a;
            a.messageText = QStringLiteral(
                "The installed version of the ESV Study Bible Notes is known to cause problems with this version of "
                "Quillstead. A free update to the ESV Study Bible Notes is available that fixes this. You should log "
                "into your account and update it as soon as it is convenient.");
            a.informativeText = QStringLiteral("ESV Study Bible Notes");
            a.style = AlertStyle::Informational;
            (m_manager.m_alerts != nullptr ? *m_manager.m_alerts : Alerts::shared()).runModal(a);
        }
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    SourceManager& m_manager;
    std::unique_lock<std::recursive_mutex> m_lock;
};
