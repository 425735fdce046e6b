// The reading position and view state of one book tab. Copyable (a copy shares nothing).
// Equality and hash look at the position only: block, section, yOffset, the two strings and the
// temporary highlight; `dirty`, `pageYOffset` and the sync flags are not compared.
#pragma once

#include "panes/layout/LayoutArchivable.h"

#include <QString>

#include <memory>

class LayoutRegionContentItemState : public LayoutArchivable {
public:
    static constexpr int kArchiveVersion = 6;
    static inline const QString kArchiveClassName = QStringLiteral("LayoutRegionContentItemState");
    // The "no block" value of `block`: the 32-bit all-ones value in the 64-bit field.
    static constexpr qint64 kNoBlock = 4294967295;

    bool dirty() const { return m_dirty; }
    void setDirty(bool v) { m_dirty = v; }
    bool doesNotSendLocationSync() const { return m_doesNotSendLocationSync; }
    void setDoesNotSendLocationSync(bool v) { m_doesNotSendLocationSync = v; }
    bool doesNotReceiveLocationSync() const { return m_doesNotReceiveLocationSync; }
    void setDoesNotReceiveLocationSync(bool v) { m_doesNotReceiveLocationSync = v; }
    qint64 block() const { return m_block; }
    void setBlock(qint64 v) { m_block = v; }
    quint64 section() const { return m_section; }
    void setSection(quint64 v) { m_section = v; }
    qint64 yOffset() const { return m_yOffset; }
    void setYOffset(qint64 v) { m_yOffset = v; }
    QString sectionString() const { return m_sectionString; }
    void setSectionString(const QString& s) { m_sectionString = s; }
    QString gotoAnchor() const { return m_gotoAnchor; }
    void setGotoAnchor(const QString& s) { m_gotoAnchor = s; }
    quint64 tempHighlightStartSection() const { return m_tempHighlightStartSection; }
    void setTempHighlightStartSection(quint64 v) { m_tempHighlightStartSection = v; }
    quint64 tempHighlightEndSection() const { return m_tempHighlightEndSection; }
    void setTempHighlightEndSection(quint64 v) { m_tempHighlightEndSection = v; }
    qint64 pageYOffset() const { return m_pageYOffset; }
    void setPageYOffset(qint64 v) { m_pageYOffset = v; }

    // Copies every field into `target`; a null target does nothing.
    void cloneInto(LayoutRegionContentItemState* target) const;
    // No block, section 0, empty strings, no highlight, flags off, offsets 0.
    void clear();

    bool operator==(const LayoutRegionContentItemState& other) const;
    // 1, then for each compared field: times 31 plus the value (wrapping 64-bit).
    quint64 hash() const;

    QString archiveClassName() const override { return kArchiveClassName; }
    QVariant encode() const override;
    QString description() const override;

    // Never fails: an unknown version logs a line and reads as version 1 (block 0, section 1).
    static std::unique_ptr<LayoutRegionContentItemState> decode(const QVariant& archived);

private:
    bool m_dirty = false;
    bool m_doesNotSendLocationSync = false;
    bool m_doesNotReceiveLocationSync = false;
    qint64 m_block = 0;
    quint64 m_section = 0;
    qint64 m_yOffset = 0;
    QString m_sectionString;
    QString m_gotoAnchor;
    quint64 m_tempHighlightStartSection = 0;
    quint64 m_tempHighlightEndSection = 0;
    qint64 m_pageYOffset = 0;
};
