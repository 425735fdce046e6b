// LinkPreview: the text of a link preview, the passage or section a link in a book page leads to
// as plain text (or a footnote's text, which the page hands over itself), and the first lines of the
// user's note a note link leads to, read from the note document as plain text.
//
// The go-to routing resolves the link without moving anything: the preview calls its link resolver
// (the window's router, callerNeedsSourceForGoToInfo) with a request, and reads the answer from it
// ("alertText", "sourceTuple", "section", "endSectionNumber"). Without a resolver no link has a
// preview. The text itself comes from the passage formatter (the passage copier's, given by the
// window that makes the preview); without one, the preview reads the sections' blocks as plain text.
//
// One per window, made by the window and handed to its panes through the window environment.
// Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "panes/page/BookPageSource.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>

class cNoteDoc;
struct GoToRequest;

class LinkPreview {
public:
    // Resolves the request's link as the go-to routing does, writing the answer into the request.
    using LinkResolver = std::function<void(GoToRequest& request)>;
    // The plain text of sections start..end of a book with the preview options.
    using PassageFormatter =
        std::function<QString(const SourceTuple::Ptr& book, quint32 start, quint32 end, const PassageOptions& options)>;

    // The user's notes (null: note links have no preview).
    using NoteSource = std::function<cNoteDoc*()>;
    // The most a note's preview shows: its first lines, and at most so many characters of them.
    static constexpr int kNotePreviewLines = 8;
    static constexpr qsizetype kNotePreviewChars = 600;

    explicit LinkPreview(LinkResolver resolver = {}, PassageFormatter formatter = {}, NoteSource notes = {});

    // Takes the resolver and the notes away (its window is going): no link has a preview from then on.
    void clearLinkResolver();

    // The options of preview texts.
    static PassageOptions previewTextOptions();
    // A link as the page holds it ("javascript:href('...');") reduced to its target.
    static QString unwrapLink(const QString& href);
    // The last section of a book section's preview: the section with its subsections, at most 26.
    static quint32 sectionPreviewEnd(BookPageSource& book, quint32 start);
    // The preview text of a link, trimmed; a null string when there is none.
    QString stringForPopupFromHref(const QString& href) const;
    // The fallback formatter: the blocks of the sections as plain text.
    static QString plainTextOfSections(BookPageSource& book, quint32 start, quint32 end);
    // The first lines of a note's HTML as plain text, with "…" where it was cut; null when it shows
    // nothing.
    static QString noteFirstLines(const QString& html);

private:
    // The preview of a note link's text (after "note:"): the note's first lines; null when none.
    QString notePreview(const QString& link) const;

    LinkResolver m_resolver;
    PassageFormatter m_formatter;
    NoteSource m_notes;
};
