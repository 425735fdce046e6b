// BookPageBlocks: the blocks a book page shows, as the reader renders them for it: the options of
// a block (the display settings the page was built with, the view's text width, the pane's search
// hits and the linked passage), a
// block's HTML (with a daily reading's header before its first block), and the first screen of a
// place that goes with a new or replaced page. It remembers the text width the blocks were last
// rendered for, the width the first screen of the loaded page was rendered for, whether any
// block of the page holds a picture (pictures are sized for the text width), and whether the
// user's highlights and notes may have changed since the page's blocks were rendered.
//
// Owned by its view; the host, the defaults and the view must outlive it. Main thread only.
#pragma once

#include "panes/page/BookPageHost.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>
#include <QtNumeric>

#include <cstdint>
#include <optional>

class QWidget;
class UserDefaults;

class BookPageBlocks {
public:
    // Most blocks one bridge request, or a first screen, may carry.
    static constexpr qint64 kMaxBlocksPerFetch = 32;

    BookPageBlocks(BookPageHost& host, UserDefaults& defaults, const QWidget& view)
        : m_host(host), m_defaults(defaults), m_view(view)
    {
    }

    // Text width: the view's width less the margins and the pane's scroller.
    double textWidth() const;
    // The display settings the page is built with (made by its view for every page it builds).
    void setDisplayOptions(const DisplayOptions& settings) { m_display = settings; }
    // The options a block of the book is rendered with.
    DisplayOptions renderOptions(const BookPageSourcePtr& book);
    // A block's HTML; null past the book's ends (so the page knows where the book stops), an empty
    // string for a block that does not render. frameKey marks the reading headers.
    // Asked for the loaded page: a block rendered after a change to the user's data makes the page
    // one of mixed blocks.
    QJsonValue htmlForBlock(const BookPageSourcePtr& book, qint64 block, const QString& frameKey);
    // The markup of `count` blocks from `first` (at most kMaxBlocksPerFetch), as one array; the
    // user's highlights and notes of all of them are looked up as one batch.
    QJsonArray htmlForBlocks(const BookPageSourcePtr& book, qint64 first, qint64 count, const QString& frameKey);

    // The blocks of a place's first screen and the element to bring to the top.
    struct FirstScreen {
        QStringList blocks;
        QString target;
        qint64 offset = 0;
        qsizetype characters = 0;
        std::uint64_t userData = 0;  // the user data's change stamp the blocks were rendered under
    };
    // The target block and as many after it as the view shows, so that the page's first paint shows
    // the target's screen whole without waiting for the bridge. Starts a new page's picture record.
    // A screen readied for that place (readyFirstScreen) is taken instead when the book, the place,
    // the frame, the options, the view's size and the user's data are those it was rendered for.
    FirstScreen firstScreen(
        const BookPageSourcePtr& book, const LayoutRegionContentItemState& state, const QString& frameKey);
    // Renders the first screen of a place ahead of the go-to to it (a reference being typed), for
    // firstScreen to take; false when that screen is readied already. Nothing else changes: not the
    // loaded page's record of widths or pictures.
    bool readyFirstScreen(
        const BookPageSourcePtr& book, const LayoutRegionContentItemState& state, const QString& frameKey);
    // Whether a readied screen is kept, and how many readied screens a first screen has taken.
    bool hasReadyScreen() const { return m_ready.has_value(); }
    int readyScreensTaken() const { return m_readyTaken; }

    // The user data's change stamp now (cBlockRenderUserData::changeStamp).
    static std::uint64_t userDataStamp();
    // The page now shows blocks rendered under that change stamp: a new page's first screen, its
    // blocks replaced by one, or all of them rendered again.
    void pageShows(std::uint64_t userDataStamp)
    {
        m_pageUserData = userDataStamp;
        m_pageMixed = false;
    }
    // No highlight or note was written since the page's blocks were rendered, so a move within the
    // page shows what the database holds (cBlockRenderUserData::changeStamp); always so for a page
    // that shows no user data.
    bool pageShowsCurrentUserData() const;
    // A block rendered for the page since its first screen shows verses, which carry the user's
    // highlights and note links; other books' blocks look the same whatever the user's data.
    bool pageShowsUserData() const { return m_page.userData; }

    double lastPaneWidth() const { return m_lastPaneWidth; }
    double pageTextWidth() const { return m_pageTextWidth; }
    bool pageHasImages() const { return m_page.images; }

private:
    BookPageHost& m_host;
    UserDefaults& m_defaults;
    const QWidget& m_view;
    DisplayOptions m_display;
    double m_lastPaneWidth = qQNaN();
    double m_pageTextWidth = qQNaN();  // the text width the loaded page's first blocks were rendered for
    // What the page's blocks hold: an image; verses, which carry the user's highlights and notes.
    struct Marks {
        bool images = false;
        bool userData = false;
    };
    Marks m_page;
    std::uint64_t m_pageUserData = 0;  // the change stamp the page's first blocks were rendered under
    bool m_pageMixed = false;          // a block of the page was rendered under another stamp

    // A first screen readied ahead, with what it was rendered for.
    struct ReadyScreen {
        FirstScreen screen;
        QString book;
        qint64 block = 0;
        QString frameKey;
        DisplayOptions options;
        qsizetype budget = 0;
        Marks marks;
    };
    std::optional<ReadyScreen> m_ready;
    // Whether a readied screen was rendered for that first screen as things are now.
    bool fits(const ReadyScreen& ready, const BookPageSourcePtr& book, qint64 block, const QString& frameKey,
        const DisplayOptions& options) const;
    int m_readyTaken = 0;

    // Markup budget of a first screen: about a screen of the view's text.
    qsizetype firstScreenBudget() const;
    // The first screen's blocks, rendered with `options`; `marks` gains what they hold.
    FirstScreen renderFirstScreen(const BookPageSourcePtr& book, const LayoutRegionContentItemState& state,
        const QString& frameKey, const DisplayOptions& options, Marks& marks);
    QJsonValue renderBlock(const BookPageSourcePtr& book, qint64 block, const QString& frameKey);
    QJsonValue renderBlock(const BookPageSourcePtr& book, qint64 block, const QString& frameKey,
        const DisplayOptions& options, Marks& marks);
    void noteFetch();
};
