// Reading the links that book pages, notes and posters hand to the go-to routing.
//
// A rendered page writes each link as the href "javascript:href('<target>');" with the target
// escaped ("@@bs@@" for a backslash, "@@apos@@" for an apostrophe, ...); the page bridge undoes
// the escapes and posts the target. Targets are web links ("http://", "https://",
// "apphttp://", "apphttps://"), Bible links ("bible:" and a reference or a key), book links
// ("book:" publisher\book\path), sync links ("sync:" with an entry word or a Strong's number,
// optionally after two fields), user-note links ("note:_" and zero-padded numbers) or a bare
// section number. Everything else is not a link of the reader and is ignored.
//
// Link text comes from book files and user notes and is untrusted: every reader here is total
// (no input makes it fail other than by answering "not a link"), and texts longer than
// kMaxLinkLength are not links at all. Pure functions; any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtGlobal>

#include <optional>

namespace GoToLink {

// Longer texts are refused as links (a page link is a few dozen characters).
inline constexpr int kMaxLinkLength = 4096;

// The page's escapes undone, in the bridge's order: "@@bs@@" backslash, "@@apos@@" apostrophe,
// "@@quot@@" quotation mark, "@@backspace@@", "@@formfeed@@", "@@newline@@", "@@return@@",
// "@@tab@@", "@@verticaltab@@".
QString unescapePageText(const QString& text);
// The renderer's escaping of a link target (the inverse of unescapePageText).
QString escapePageText(const QString& text);

// What an href attribute of a rendered page does when followed.
struct PageHref {
    enum class Kind {
        Target,      // "javascript:href('...');": `target` is the unescaped link for the routing
        PageScript,  // a script of the page itself (footnote toggles): handled in the page
        Plain,       // a plain target written without the script wrapper (`target` as written)
        Refused,     // any other script, or a wrapper whose text could break out of it
    };
    Kind kind = Kind::Refused;
    QString target;
};
PageHref readPageHref(const QString& attribute);

// A web link (the scheme test ignores case). `url` is valid only for an address that may be
// opened: http or https, with a host, at most kMaxLinkLength characters. The text is read as
// written: escapes already in it are kept, characters an address cannot hold are encoded.
struct WebLink {
    bool inAppWindow = false;  // "apphttps://": the in-app web window; all others: the browser
    QUrl url;
};
std::optional<WebLink> webLink(const QString& href);

// The kind of a book link in an "href" (first match wins, prefixes ignore case).
enum class LinkKind { None, Bible, Book, Sync, Note, Section };
struct Link {
    LinkKind kind = LinkKind::None;
    QString text;         // the text after the prefix
    quint64 section = 0;  // Section: the number (at least 1)
};
Link classify(const QString& href);

// "book:" text: publisher\book\path parts.
struct BookLink {
    qint64 pubID = 0;  // 0 when part 1 is not an integer
    qint64 bookID = 0;
    int partCount = 0;
    QString path;  // parts 3 and later joined with backslashes
    bool hasPath() const { return partCount >= 3; }
    bool idsValid() const { return pubID >= 1 && bookID >= 1; }
};
BookLink parseBookLink(const QString& text);

// "note:" text: 13 characters for a Bible verse note, 24 for a book section note.
struct NoteLink {
    enum class Kind { None, BibleVerse, BookSection };
    Kind kind = Kind::None;
    int book = 0, chapter = 0, verse = 0;
    qint64 pubID = 0, bookID = 0, edition = 0, section = 0;
    // book << 16 | chapter << 8 | verse
    quint32 key() const
    {
        return (static_cast<quint32>(book) << 16) | (static_cast<quint32>(chapter) << 8) | static_cast<quint32>(verse);
    }
};
NoteLink parseNoteLink(const QString& text);

// The text a sync request looks up: with three or more backslash-separated parts, the first two
// are dropped ("@@bs@@@@bs@@H430" on a page is "\\H430", looked up as "H430").
QString syncLookupText(const QString& text);

// A Strong's number: more than one character, "g", "G", "h" or "H", then a digit.
bool isStrongsNumber(const QString& text);

// What the reader says of a book it was asked to show that is not installed: that it is not, and
// where to get it.
QString bookNotInstalledText(quint32 pubID, quint32 bookID);

// The whole text is one integer (leading white space and a sign allowed), in 32 or 64 bits.
std::optional<qint64> scanInteger(const QString& text, bool sixtyFourBits);

}  // namespace GoToLink
