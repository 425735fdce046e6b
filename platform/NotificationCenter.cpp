#include "platform/NotificationCenter.h"

#include <atomic>

struct NotificationCenter::Entry {
    ObservationId id = 0;
    const void* observer = nullptr;
    QString name;
    const void* sender = nullptr;
    Handler handler;
    // Cleared on removal, so a post that took its snapshot before the removal skips the entry.
    std::atomic<bool> alive {true};
};

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObservationId NotificationCenter::addObserver(
    const void* observer, const QString& name, Handler handler, const void* sender)
{
    auto entry = std::make_shared<Entry>();
    entry->observer = observer;
    entry->name = name;
    entry->sender = sender;
    entry->handler = std::move(handler);
    std::lock_guard lock(m_mutex);
    entry->id = m_nextId++;
    m_entries.push_back(entry);
    return entry->id;
}

void NotificationCenter::removeIf(const std::function<bool(const Entry&)>& match)
{
    // Entries leave the list under the lock but are destroyed outside it: a handler may own
    // objects whose destructors remove observations themselves.
    std::vector<std::shared_ptr<Entry>> removed;
    {
        std::lock_guard lock(m_mutex);
        auto keep = m_entries.begin();
        for (auto& e : m_entries) {
            if (match(*e)) {
                e->alive = false;
                removed.push_back(std::move(e));
            } else {
                *keep++ = std::move(e);
            }
        }
        m_entries.erase(keep, m_entries.end());
    }
}

void NotificationCenter::removeObservation(ObservationId id)
{
    if (id == 0)
        return;
    removeIf([id](const Entry& e) { return e.id == id; });
}

void NotificationCenter::removeObserver(const void* observer)
{
    removeIf([observer](const Entry& e) { return e.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const QString& name, const void* sender)
{
    removeIf([&](const Entry& e) {
        return e.observer == observer && (name.isEmpty() || e.name == name) && (!sender || e.sender == sender);
    });
}

std::vector<std::shared_ptr<NotificationCenter::Entry>> NotificationCenter::snapshotFor(const Notification& n) const
{
    std::vector<std::shared_ptr<Entry>> matching;
    std::lock_guard lock(m_mutex);
    for (const auto& e : m_entries) {
        if ((e->name.isEmpty() || e->name == n.name) && (!e->sender || e->sender == n.object))
            matching.push_back(e);
    }
    return matching;
}

void NotificationCenter::post(Notification& notification)
{
    const auto matching = snapshotFor(notification);
    for (const auto& e : matching) {
        if (e->alive)
            e->handler(notification);
    }
}

void NotificationCenter::postNotificationName(const QString& name, const void* sender, const QVariantMap& userInfo)
{
    Notification n {name, sender, userInfo};
    post(n);
}

int NotificationCenter::observationCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

Observation::Observation(Observation&& other) noexcept : m_center(other.m_center), m_id(other.m_id)
{
    other.m_center = nullptr;
    other.m_id = 0;
}

Observation& Observation::operator=(Observation&& other) noexcept
{
    if (this != &other) {
        reset();
        m_center = other.m_center;
        m_id = other.m_id;
        other.m_center = nullptr;
        other.m_id = 0;
    }
    return *this;
}

void Observation::reset()
{
    if (m_center && m_id)
        m_center->removeObservation(m_id);
    m_center = nullptr;
    m_id = 0;
}
