// The location-sync flags of a whole book pane.
#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class LayoutRegionContentsState {
public:
    static constexpr int kArchiveVersion = 1;

    bool paneDoesNotSendLocationSync() const { return m_doesNotSend; }
    void setPaneDoesNotSendLocationSync(bool v) { m_doesNotSend = v; }
    bool paneDoesNotReceiveLocationSync() const { return m_doesNotReceive; }
    void setPaneDoesNotReceiveLocationSync(bool v) { m_doesNotReceive = v; }

    QString description() const;

    QVariant encode() const;
    // Never fails: an unknown version (or a value that is no record) gives both flags false.
    static std::unique_ptr<LayoutRegionContentsState> decode(const QVariant& archived);

private:
    bool m_doesNotSend = false;
    bool m_doesNotReceive = false;
};
