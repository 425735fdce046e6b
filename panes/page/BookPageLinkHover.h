// BookPageLinkHover: the link preview of a book page. The page reports a hovered link (or footnote
// marker) with its rectangle in page coordinates; when the "versePopovers" setting is on, the
// preview opens through the host 0.5 s later at that rectangle in the view, unless the pointer has
// left the link meanwhile.
//
// Owned by its view; the host, the defaults and the view must outlive it. Main thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <QVariantMap>

class BookPageHost;
class QWebEngineView;
class UserDefaults;

class BookPageLinkHover {
public:
    BookPageLinkHover(BookPageHost& host, UserDefaults& defaults, QWebEngineView& view);

    void show(const QString& href, const QString& footnote, int left, int top, int width, int height);
    // Opens the scheduled preview now.
    void showNow();
    void hide();

private:
    BookPageHost& m_host;
    UserDefaults& m_defaults;
    QWebEngineView& m_view;
    QVariantMap m_params;
    QTimer m_timer;
};
