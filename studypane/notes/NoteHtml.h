// NoteHtml: the forms a note's HTML takes on its way between the user-data store and the note
// pages, and back. A note is stored as an HTML fragment; it is shown in a read-only page (links
// routed through the page script, Bible references linked, search words marked), a contenteditable
// rich editor and a textarea with the source. Saving turns an editor's text back into the stored
// form.
//
// Whatever reaches a page or the store goes through the engine's HTML filter, so a note never
// holds or shows script: script elements, event-handler attributes and script URLs are removed,
// and images that would be fetched from the network are dropped (the note pages load nothing
// remote).
//
// Stateless; every function may run on any thread.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class NoteHtml {
public:
    enum class Source { RichEdit, TextEdit };
    enum class SaveKind { Intermediate, Final };

    // One entry of a search word list: the forms it may take. A form beginning with "@" is a stem,
    // with "$" a Metaphone key; a form with a wildcard (or beginning with "-") is a pattern; any
    // other form is the word itself. A bare "*" item takes no part.
    struct SearchItem {
        QStringList forms;
    };

    static QString emptyNoteHtml();

    // The read-only page: the note filtered, its paragraphs normalised, Bible references linked,
    // links routed through the page script and the search words marked.
    static QString viewPage(
        const QString& note, const QString& css, const QString& script, const QList<SearchItem>& searchWords = {});
    // The body shown in the read-only page (viewPage without the page around it).
    static QString viewBody(const QString& note, const QList<SearchItem>& searchWords = {});
    // The rich editor page; the note goes in filtered, as it would be stored.
    static QString richEditorPage(const QString& note, const QString& css);
    // The content of the rich editor element when it is replaced in place.
    static QString richEditorContent(const QString& note);
    static QString textEditorPage(const QString& note);

    // The text to store for an editor's text; "" (which deletes the note) when it shows nothing.
    static QString savedText(const QString& editorText, Source source, SaveKind kind);
    // Whether the HTML shows anything: a character other than white space (blanks, line ends,
    // no-break and zero-width spaces, also written as character references), or an element that is
    // seen without text (a picture, a rule, an embedded object). Empty paragraphs, breaks, comments,
    // style sheets and scripts show nothing.
    static bool hasVisibleContent(const QString& html);

    // HTML from the clipboard as it goes into the rich editor: filtered like a note, without the
    // pasted page's head, scripts and style sheets, its links written as placeholders.
    static QString pastedContent(const QString& html);
    // Links in HTML that came from the clipboard are written as inert placeholders while they sit in
    // the editor; a final save turns them back into links.
    static QString withLinkPlaceholders(const QString& html);
    static QString withLinksRestored(const QString& html);

    // Rewrites the targets of a, area and link tags to prefix + escaped target + suffix.
    static void wrapHrefs(QString& html, const QString& prefix, const QString& suffix);
    static QString escapeHref(const QString& href);
    static QString unescapeHref(const QString& escaped);

    // Puts <span class='_search'>...</span> around each word of the note text (not inside tags or
    // character references) that one of the items matches.
    static void markSearchWords(const QList<SearchItem>& words, QString& html);

    // Parts of the save conversion.
    static QString convertDivsToParagraphs(const QString& html);
    static QString trimTrailingBreaks(const QString& html);
    static QString layoutNoteLines(const QString& html);
    // Drops img, input and similar tags whose source would be fetched from the network.
    static void removeRemoteImages(QString& html);
};
