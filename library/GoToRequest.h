// A go-to request: everything a poster knows about a place to show (a link, a book, a section, a
// block) and how to show it (which pane, whether to activate it, sync the other panes, record
// history), plus the answers the routing writes back (the book, the pane, the Bible key, an
// alert text). Every move in the reader is one request: `post` sends it as GoToNotification, which
// carries the request itself (typed, not as a map), and the router reads it back with `of`; the
// router hands the same request on to the pane and the page, which write their answers into it.
// Location sync travels the same way: `postLocationSync` sends the place a pane shows as
// EverybodySyncToMeNotification, and the panes and sub-panes that follow it read it with `of`.
//
// The map form (`toUserInfo`/`fromUserInfo`) is kept for the history's requests, whose keys arrive
// as a dictionary; the key names below are those maps' keys. Keys this type does not know are kept
// in `extra` and come back out of `toUserInfo`, so a request survives the round trip whole. Optional fields are absent keys; an absent boolean is NO. Books travel as
// std::shared_ptr<SourceTuple>, identities as SourceTupleID values, and the pane as the index of
// its region in the request's layout.
//
// A value type; main thread (like every go-to).
#pragma once

#include "library/LibraryNotifications.h"
#include "library/SourceTupleID.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <QtGlobal>

#include <memory>
#include <optional>

class NotificationCenter;
class SourceTuple;
struct Notification;

// Keys of a request's map form.
namespace GoToKeys {
inline const QString layoutUuid = QStringLiteral("layoutUuid");
inline const QString href = QStringLiteral("href");
inline const QString sourceTuple = QStringLiteral("sourceTuple");
inline const QString sourceTupleID = QStringLiteral("sourceTupleID");
inline const QString section = QStringLiteral("section");
inline const QString endSectionNumber = QStringLiteral("endSectionNumber");
inline const QString block = QStringLiteral("block");
inline const QString yoffset = QStringLiteral("yoffset");
inline const QString bibleKey = QStringLiteral("bibleKey");
inline const QString paneRegion = QStringLiteral("paneRegion");
inline const QString forcePane = QStringLiteral("forcePane");
inline const QString activate = QStringLiteral("activate");
inline const QString activatePane = QStringLiteral("activatePane");
inline const QString sync = QStringLiteral("sync");
inline const QString wasHyperlink = QStringLiteral("wasHyperlink");
inline const QString noBusyIndicator = QStringLiteral("noBusyIndicator");
inline const QString synchronous = QStringLiteral("synchronous");
inline const QString noHistory = QStringLiteral("noHistory");
inline const QString preHistory = QStringLiteral("preHistory");
inline const QString postHistory = QStringLiteral("postHistory");
inline const QString todaysReading = QStringLiteral("todaysReading");
inline const QString nextReading = QStringLiteral("nextReading");
inline const QString prevReading = QStringLiteral("prevReading");
inline const QString firstUnread = QStringLiteral("firstUnread");
inline const QString wordSync = QStringLiteral("wordSync");
inline const QString preferPreferredBible = QStringLiteral("preferPreferredBible");
inline const QString noAlerts = QStringLiteral("noAlerts");
inline const QString alertText = QStringLiteral("alertText");
inline const QString doesNotSendLocationSync = QStringLiteral("doesNotSendLocationSync");
inline const QString speakPassage = QStringLiteral("speakPassage");
inline const QString gotoAnchor = QStringLiteral("gotoAnchor");
inline const QString forceRefresh = QStringLiteral("forceRefresh");
inline const QString clearTempHighlight = QStringLiteral("clearTempHighlight");
inline const QString readingNumber = QStringLiteral("readingNumber");
inline const QString syncAnyway = QStringLiteral("syncAnyway");
inline const QString following = QStringLiteral("following");
inline const QString prepareOnly = QStringLiteral("prepareOnly");
// History requests and recent-stack pushes.
inline const QString alwaysAdd = QStringLiteral("alwaysAdd");
inline const QString key = QStringLiteral("key");
inline const QString abbr = QStringLiteral("abbr");
}  // namespace GoToKeys

struct GoToRequest {
    static constexpr qint64 kNoBlock = 4294967295LL;

    QString layoutUuid;  // empty: the request is for no layout and is ignored
    std::optional<QString> href;
    std::shared_ptr<SourceTuple> sourceTuple;
    std::optional<SourceTupleID> sourceTupleID;
    std::optional<quint64> section;
    std::optional<quint64> endSectionNumber;
    std::optional<qint64> block;
    std::optional<qint64> yoffset;
    std::optional<quint32> bibleKey;
    std::optional<int> paneRegion;  // region index in the layout named by layoutUuid
    bool forcePane = false;
    bool activate = false;
    bool activatePane = false;
    bool sync = false;
    bool wasHyperlink = false;
    bool noBusyIndicator = false;
    std::optional<bool> synchronous;
    bool noHistory = false;
    bool preHistory = false;
    bool postHistory = false;
    bool todaysReading = false;
    bool nextReading = false;
    bool prevReading = false;
    bool firstUnread = false;
    std::optional<QString> wordSync;
    bool preferPreferredBible = false;
    bool noAlerts = false;
    std::optional<QString> alertText;
    std::optional<bool> doesNotSendLocationSync;
    bool speakPassage = false;
    std::optional<QString> gotoAnchor;
    bool forceRefresh = false;
    std::optional<bool> clearTempHighlight;  // absent: YES (a Bible's temporary highlight goes)
    std::optional<qint64> readingNumber;
    bool syncAnyway = false;   // location sync: the panes follow whatever their sync settings say
    bool following = false;    // a pane following another's go-to: its page fills around the place
                               // without holding the renderer that paints the pane gone to
    bool prepareOnly = false;  // the reader is typing a go-to: its pane is readied, nothing moves

    QVariantMap extra;  // keys of the map form this type does not know

    bool isReadingRequest() const { return todaysReading || nextReading || prevReading || firstUnread; }

    // The map form: set booleans as true, optional fields only when present, then `extra`.
    QVariantMap toUserInfo() const;
    // Reads a map leniently: a value of the wrong kind reads as absent (booleans as NO);
    // numbers may come as any numeric kind or as decimal text.
    static GoToRequest fromUserInfo(const QVariantMap& userInfo);

    // Posts this request as GoToNotification (object: the sender).
    void post(NotificationCenter& center, const void* sender) const;
    // Posts this request as EverybodySyncToMeNotification (object: the sender): the other panes of
    // its layout follow the place it names.
    void postLocationSync(NotificationCenter& center, const void* sender) const;
    // The request a GoToNotification or an EverybodySyncToMeNotification carries; a request for no
    // layout (ignored by every observer) when the notification carries none.
    static GoToRequest of(const Notification& notification);
};

// The shared book type in maps: std::shared_ptr<SourceTuple> in a QVariant.
QVariant bookVariant(const std::shared_ptr<SourceTuple>& book);
std::shared_ptr<SourceTuple> bookFromVariant(const QVariant& value);
