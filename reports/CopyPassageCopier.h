// CopyPassageCopier: turns a stretch of a book (a Bible reference, a range of sections or a range of
// blocks) into an HTML fragment fit for pasting as rich text and a plain text. It renders the blocks
// with the book's own renderer, cuts away the verses outside the range, strips the user's note links,
// unneeded spans, links and empty elements, restyles the verse numbers, inserts the reference where
// asked, and points the passage's images at local copies.
//
// The copy-passage dialog, reading aloud and link previews use the same operations with two behaviour
// differences; a `CopyPassageProfile` names them, so there is one copier. What to render and how to
// decorate the passage comes as PassageOptions.
//
// The string passes read exactly the markup the block renderer writes: verse-number spans
// "<span id='_sB.C.V'>", verse spans carrying data-verse-span="sel_sB.C.V", note links ending
// "Note</a>&nbsp;", "<qs_sync ...>" markers, "a" and "qs_link" links, Strong's spans of class "_stheb"
// and "_stgrk", and highlight spans whose class is a highlight colour or style name.
//
// Threads: every operation runs on its caller's thread and keeps no state between calls.
#pragma once

#include "library/DisplayOptions.h"

#include <QString>

#include <cstdint>
#include <memory>

class BibleRef;
class SourceTuple;
class UserDefaults;

// Why a copy of a typed reference failed: the three texts an alert shows (domain "Quillstead", code 1).
struct CopyPassageError {
    QString description;
    QString recoverySuggestion;
    QString failureReason;
};

// A composed copy: both texts and the clipboard format ("cpClipboardFormat": 2 HTML only, 3 plain text
// only, anything else both).
struct CopyPassageText {
    QString plain;
    QString html;
    int clipboardFormat = 1;
};

// The behaviour of one caller family.
struct CopyPassageProfile {
    bool keepsHighlightSpans = true;  // the unneeded-span pass keeps highlight spans too
    // A Bible passage reads as the page's paragraphs: the verses of one paragraph share a block (a
    // line of the plain text) and a verse that opens a paragraph starts the next one.
    bool joinsParagraphs = false;
    // Links to Bible passages stay links ("bible:" targets, their other attributes dropped).
    bool keepsBibleLinks = false;

    static const CopyPassageProfile& copier();  // reports
    static const CopyPassageProfile& dialog();  // the copy-passage dialog, reading aloud, link previews
};

class CopyPassageCopier {
public:
    // Passage forms. Either output may be null to skip it; text is appended. Invalid ranges and
    // unresolved sections or blocks produce no output.
    static void clipboardTextForBibleRef(const BibleRef& ref, const std::shared_ptr<SourceTuple>& bible, QString* plain,
        QString* html, const PassageOptions& options, const CopyPassageProfile& profile = CopyPassageProfile::copier());
    static void clipboardTextForStartSectionFromBible(std::uint32_t start, std::uint32_t end,
        const std::shared_ptr<SourceTuple>& bible, QString* plain, QString* html, const PassageOptions& options,
        const CopyPassageProfile& profile = CopyPassageProfile::copier());
    static void clipboardTextForStartSection(std::uint32_t start, std::uint32_t end,
        const std::shared_ptr<SourceTuple>& source, QString* plain, QString* html, const PassageOptions& options,
        const CopyPassageProfile& profile = CopyPassageProfile::copier());
    static void clipboardTextForStartBlock(std::uint32_t start, std::uint32_t end,
        const std::shared_ptr<SourceTuple>& source, QString* plain, QString* html, const PassageOptions& options,
        const CopyPassageProfile& profile = CopyPassageProfile::copier());

    // Markup passes.
    static QString stringFrom(
        const QString& html, std::uint32_t before, std::uint32_t after, const std::shared_ptr<SourceTuple>& source);
    static QString stringWithUserNoteLinksRemoved(const QString& html);
    static QString stringWithVerseNumbersWrappedForHtmlTextFromHtml(const QString& html, const PassageOptions& options);
    static QString stringWithVerseNumbersWrappedForPlainTextFromHtml(
        const QString& html, const PassageOptions& options);
    static QString stringWithUnneededSpansRemoved(
        const QString& html, const CopyPassageProfile& profile = CopyPassageProfile::copier());
    static QString stringWithLinksRemoved(const QString& html);
    // Every link removed but those to Bible passages, which keep their target alone.
    static QString stringWithLinksButBibleLinksRemoved(const QString& html);
    static QString stringWithTagPairsRemoved(const QString& html, const QString& tag);
    static QString stringWithEmptyTagPairsRemoved(const QString& html);
    static QString stringByInsertingReference(const QString& reference, const QString& html, bool atBeginning);
    static QString stringWithImgSrcPatched(const QString& html, const std::shared_ptr<SourceTuple>& book);
    // The images that stringWithImgSrcPatched points at the book's image cache, carried as data: URLs
    // (for documents that may load nothing else); an image outside the cache, of another type or
    // larger than kMaxInlineImageBytes loses its address.
    static QString stringWithCachedImagesInlined(const QString& html, const std::shared_ptr<SourceTuple>& book);
    static constexpr qint64 kMaxInlineImageBytes = 8 * 1024 * 1024;

    // A typed reference copied from a Bible with the choices saved in the defaults ("cp..." keys), as
    // the copy-passage dialog and Copy Now do (they place the texts with placeOnClipboard). It answers
    // false with the reason when the Bible is not installed, the reference does not parse or map to
    // it, or a range of it holds no verse of the Bible.
    static bool composeVerse(const QString& reference, const std::shared_ptr<SourceTuple>& bible,
        const UserDefaults& defaults, CopyPassageText& result, CopyPassageError* error);
    // Places a composed copy on the clipboard as its format asks.
    static void placeOnClipboard(const CopyPassageText& text);

    // Images: both answer the cached file's path.
    static QString copyFile(const QString& name, const QString& type, const std::shared_ptr<SourceTuple>& tuple);
    static QString copyFileFromTvkToCache(const QString& source, const std::shared_ptr<SourceTuple>& tuple);

    // The verse-number decoration of a style (1 to 4, anything else bare): HTML and plain text.
    static void verseNumberDecoration(int style, bool html, QString& open, QString& close);

private:
    static QString stringWithVerseNumbersWrapped(const QString& html, const PassageOptions& options, bool forHtml);
    static QString finishHtml(
        QString html, const std::shared_ptr<SourceTuple>& source, const CopyPassageProfile& profile);
    static QString finishPlain(QString html, bool linePerBlock = false);
};
