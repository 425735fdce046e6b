// LinkPreview: the text of a link preview, the passage or section a link in a book page leads to
// as plain text (or a footnote's text, which the page hands over itself).
//
// The go-to routing resolves the link without moving anything: the preview posts
// "CallerNeedsSourceForGoToInfo" and reads the routing's answer ("alertText", "sourceTuple",
// "section", "endSectionNumber") from the notification right after posting. The text itself comes
// from the passage formatter of the passage copier, which the application installs; without one,
// the preview reads the sections' blocks as plain text.
//
// Main thread only.
#pragma once

#include "panes/page/BookPageSource.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>

class LinkPreview {
public:
    // The book of the routing's answer ("sourceTuple") as a page source; null when none.
    using SourceResolver = std::function<BookPageSourcePtr(const QVariant& answerBook)>;
    // The plain text of sections start..end of a book with the preview options.
    using PassageFormatter = std::function<QString(const BookPageSourcePtr& book, const QVariant& answerBook,
        quint32 start, quint32 end, const QVariantMap& options)>;

    static void setSourceResolver(SourceResolver resolver);
    static void setPassageFormatter(PassageFormatter formatter);

    // The eleven options of preview texts.
    static QVariantMap previewTextOptions();
    // A link as the page holds it ("javascript:href('...');") reduced to its target.
    static QString unwrapLink(const QString& href);
    // The last section of a book section's preview: the section with its subsections, at most 26.
    static quint32 sectionPreviewEnd(BookPageSource& book, quint32 start);
    // The preview text of a link, trimmed; a null string when there is none.
    static QString stringForPopupFromHref(const QString& href);
    // The fallback formatter: the blocks of the sections as plain text.
    static QString plainTextOfSections(BookPageSource& book, quint32 start, quint32 end);
};
