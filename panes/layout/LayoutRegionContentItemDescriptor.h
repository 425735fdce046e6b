// What a book pane's tab shows: the book's identity with its abbreviation and title.
#pragma once

#include "library/SourceTupleID.h"
#include "panes/layout/LayoutArchivable.h"

#include <QString>

#include <memory>

class LayoutRegionContentItemDescriptor : public LayoutArchivable {
public:
    static constexpr int kArchiveVersion = 2;
    static inline const QString kArchiveClassName = QStringLiteral("LayoutRegionContentItemDescriptor");

    LayoutRegionContentItemDescriptor() = default;
    LayoutRegionContentItemDescriptor(const SourceTupleID& id, const QString& abbreviation, const QString& title)
        : m_sourceTupleID(id), m_abbreviation(abbreviation), m_title(title)
    {
    }

    SourceTupleID sourceTupleID() const { return m_sourceTupleID; }
    void setSourceTupleID(const SourceTupleID& id) { m_sourceTupleID = id; }
    QString abbreviation() const { return m_abbreviation; }
    void setAbbreviation(const QString& s) { m_abbreviation = s; }
    QString title() const { return m_title; }
    void setTitle(const QString& s) { m_title = s; }

    QString archiveClassName() const override { return kArchiveClassName; }
    QVariant encode() const override;
    QString description() const override;

    // Never fails: an unknown version gives an identity of four zeros, without a log line.
    static std::unique_ptr<LayoutRegionContentItemDescriptor> decode(const QVariant& archived);

private:
    SourceTupleID m_sourceTupleID;
    QString m_abbreviation;
    QString m_title;
};
