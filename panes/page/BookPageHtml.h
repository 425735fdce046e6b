// BookPageHtml: the texts of a book page and the small conversions the page and the pane share:
// the page frame around the blocks (header with style sheet, page globals and page script; the
// "Loading..." markers; footer), the invalid-location and empty-pane pages, the daily-reading
// header, the parsing of the page's element ids, the undoing of the renderer's link escapes, and
// script calls with JSON-encoded arguments.
//
// Book pages run only the page script: the header carries a security policy whose nonce only the
// page script's element has, so neither scripts nor event handlers nor script URLs of book content
// run. Pure functions; any thread.
#pragma once

#include <QJsonArray>
#include <QString>

#include <optional>

class BookPageHtml {
public:
    // What the header needs besides the style sheet and the script.
    struct Frame {
        QString css;         // the book-view style sheet
        QString identity;    // "publisher:book:edition:revision"
        quint64 serial = 0;  // the page's serial number
        QString script;      // the page script; empty leaves it out
        QString nonce;       // the security policy's script nonce
    };

    static QString nonScrollingHtmlHeader(const Frame& frame);
    static QString nonScrollingHtmlFooter();
    static QString htmlHeader(const Frame& frame);
    static QString htmlFooter();
    // A page of one block: header, the block's division with its HTML, footer.
    static QString bookPage(const Frame& frame, qint64 block, const QString& blockHtml);
    static QString invalidLocationPage(const Frame& frame, const QString& description);
    static QString emptyPanePage(const Frame& frame);
    // The header of a daily reading, put before its first block.
    static QString readingHeader(quint32 reading, bool complete, const QString& dateText);

    // "_b" + number; nothing for any other id.
    static std::optional<qint64> blockNumberFromId(const QString& id);
    // "_reading" + number.
    static std::optional<qint64> readingNumberFromId(const QString& id);
    // The Bible key of the first "_s" book.chapter.verse in the text (missing parts 0).
    static quint32 bibleKeyFromDataVerseSpan(const QString& text);
    // "_s" book "." chapter "." verse of a Bible key.
    static QString verseAnchor(quint32 key);

    // The renderer's link escapes ("@@bs@@", "@@apos@@", ...) undone, in the reader's order.
    static QString unescapeLinkText(const QString& text);

    // name(arg, ...) with every argument written as JSON.
    static QString scriptCall(const QString& name, const QJsonArray& arguments);

    // The page script, read from the program's resources; empty when it cannot be read.
    static QString pageScript();
    // A fresh random nonce for a page's security policy.
    static QString newNonce();
};
