// The location-sync memory of the go-tos (the last Bible key and word-sync value of each layout),
// kept as they come and written to the user defaults a moment later, after the page has painted:
// one write of the settings file for a burst of go-tos. `write` writes what is kept at once (a save, the exit); so does
// the memory when it goes. Main thread only.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class UserDefaults;

class LayoutSyncMemory : public QObject {
    Q_OBJECT
public:
    // How long a value waits before it is written.
    static constexpr int kDelayMs = 500;

    explicit LayoutSyncMemory(UserDefaults& defaults, QObject* parent = nullptr);
    ~LayoutSyncMemory() override;

    // Keeps the value for the defaults key; the write follows by itself. An integer is written as one.
    void remember(const QString& key, const QVariant& value);
    // Writes every value kept since the last write.
    void write();

private:
    UserDefaults& m_defaults;
    QVariantMap m_pending;  // defaults key -> value, not yet written
};
