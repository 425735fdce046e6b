// Named notifications between parts of the application that do not know one another.
//
// An observation is (observer, name, sender filter, handler). Posting a notification calls, on
// the posting thread and before post returns, every handler whose name matches (an empty
// observation name matches every name) and whose sender filter is null or equal to the
// notification's sender, in the order the observations were added.
//
// During a post, handlers may post again (delivered at once, nested), add observations (they
// take part from the next post on) and remove observations (a removed observation that has not
// been called yet in a running post is not called any more). Handlers receive the notification
// by reference.
//
// A notification carries its data either as a user-info map or, where its name says so, as one
// typed value (a go-to request is a GoToRequest); the header that names such a notification says
// which type it carries and how to read it.
//
// Registration and removal are thread-safe. A notification is delivered on the thread that
// posts it; handlers that touch the user interface expect to be posted on the main thread.
// Removal from another thread does not wait for a handler already running elsewhere.
//
// Observers and senders are compared by address only and never dereferenced.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <any>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct Notification {
    QString name;
    const void* object = nullptr;  // the sender
    QVariantMap userInfo;
    std::any value {};  // the typed value of a notification that carries one

    // The typed value when it is a T; null otherwise.
    template <class T> const T* valueAs() const { return std::any_cast<T>(&value); }
};

class NotificationCenter {
public:
    using Handler = std::function<void(Notification&)>;
    using ObservationId = quint64;  // 0 is never a valid id

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The application's shared centre.
    static NotificationCenter& defaultCenter();

    ObservationId addObserver(const void* observer, const QString& name, Handler handler, const void* sender = nullptr);

    void removeObservation(ObservationId id);
    // Every observation of the observer.
    void removeObserver(const void* observer);
    // The observer's observations of that name (empty: any name) and sender filter (null: any).
    void removeObserver(const void* observer, const QString& name, const void* sender = nullptr);

    void postNotificationName(
        const QString& name, const void* sender = nullptr, const QVariantMap& userInfo = QVariantMap());
    void post(Notification& notification);

    // Number of live observations (for tests and diagnostics).
    int observationCount() const;

private:
    struct Entry;
    std::vector<std::shared_ptr<Entry>> snapshotFor(const Notification& n) const;
    void removeIf(const std::function<bool(const Entry&)>& match);

    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Entry>> m_entries;
    ObservationId m_nextId = 1;
};

// Removes its observation when destroyed: hold one per observation as a member of the
// observing object, so the handler cannot outlive the object it captures.
class Observation {
public:
    Observation() = default;
    Observation(NotificationCenter& center, NotificationCenter::ObservationId id) : m_center(&center), m_id(id) { }
    Observation(Observation&& other) noexcept;
    Observation& operator=(Observation&& other) noexcept;
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;
    ~Observation() { reset(); }

    void reset();
    bool isActive() const { return m_id != 0; }

private:
    NotificationCenter* m_center = nullptr;
    NotificationCenter::ObservationId m_id = 0;
};

// Shared objects travel in userInfo as QVariants holding std::shared_ptr<T>. Read them back with
// the very same T they were stored with.
template <class T> QVariant sharedObjectVariant(std::shared_ptr<T> object)
{
    return QVariant::fromValue(std::move(object));
}

template <class T> std::shared_ptr<T> sharedObjectFromVariant(const QVariant& value)
{
    if (value.metaType() != QMetaType::fromType<std::shared_ptr<T>>())
        return nullptr;
    return value.value<std::shared_ptr<T>>();
}
