#include "panes/page/BookPaneScroller.h"

#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/page/BookPageHost.h"
#include "panes/page/BookPageView.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QMouseEvent>

#include <cmath>

BookPaneScroller::BookPaneScroller(
    BookPageView* view, BookPageHost* host, NotificationCenter& center, UserDefaults& defaults, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent), m_view(view), m_host(host), m_center(center), m_defaults(defaults)
{
    setRange(0, kRange);
    setPageStep(kRange / 40);  // a knob of 2.5 % of the track
    setSingleStep(kRange / 1000);
    setValue(0);
    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(100);
    connect(&m_updateTimer, &QTimer::timeout, this, &BookPaneScroller::displayCurrentSourceOnTimer);
    connect(this, &QAbstractSlider::actionTriggered, this, &BookPaneScroller::onActionTriggered);
}

void BookPaneScroller::setDoubleValue(double value)
{
    const double v = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
    const QSignalBlocker blocker(this);
    setSliderPosition(static_cast<int>(std::lround(v * kRange)));
    setValue(sliderPosition());
}

void BookPaneScroller::updateScroller()
{
    const BookPageSourcePtr book = m_host->currentSource();
    const LayoutRegionContentItemState* state = m_host->currentState();
    const quint64 blocks = book ? book->numBlocks() : 0;
    if (state == nullptr || blocks == 0 || state->block() < 0 ||
        state->block() >= LayoutRegionContentItemState::kNoBlock)
        return;
    setDoubleValue(static_cast<double>(state->block()) / static_cast<double>(blocks));
}

void BookPaneScroller::mousePressEvent(QMouseEvent* event)
{
    QScrollBar::mousePressEvent(event);
    if (m_defaults.value(SettingsKeys::ScrollTrackInterval) != QLatin1String("page") &&
        (repeatAction() == SliderPageStepAdd || repeatAction() == SliderPageStepSub))
        setRepeatAction(SliderNoAction);
}

void BookPaneScroller::onActionTriggered(int action)
{
    switch (action) {
    case SliderPageStepAdd:
        onScrollerChange(kIncrementPage);
        break;
    case SliderPageStepSub:
        onScrollerChange(kDecrementPage);
        break;
    case SliderMove:
        onScrollerChange(kKnob);
        return;  // the knob stays where the user put it
    default:
        break;
    }
    // A track click moves the page or the book, not the knob by itself.
    QTimer::singleShot(0, this, &BookPaneScroller::updateScroller);
}

void BookPaneScroller::onScrollerChange(int hitPart)
{
    QS_ASSERT_MAIN_THREAD();
    if (hitPart == kIncrementPage) {
        onScrollerIncrementPage();
    } else if (hitPart == kDecrementPage) {
        onScrollerDecrementPage();
    } else if (hitPart == kKnob) {
        const BookPageSourcePtr book = m_host->currentSource();
        LayoutRegionContentItemState* state = m_host->currentState();
        if (!book || state == nullptr || book->numBlocks() == 0)
            return;
        const auto block = static_cast<qint64>(doubleValue() * static_cast<double>(book->numBlocks() - 1));
        if (block == state->block())
            return;
        state->clear();
        state->setBlock(block);
        state->setSection(book->sectionForBlock(static_cast<quint32>(block)));
        state->setDirty(true);
        m_host->updateTitleBar();
        m_updateTimer.start();  // restarts a pending one
    }
}

void BookPaneScroller::displayCurrentSourceOnTimer()
{
    m_view->displayCurrentSource(false);
    m_host->conditionallySyncToMe();
}

void BookPaneScroller::onScrollerDecrementPage()
{
    stepPage(false);
}

void BookPaneScroller::onScrollerIncrementPage()
{
    stepPage(true);
}

namespace {

// The section one step of the scroller's arrows goes to from `section`: a chapter of a Bible, a
// reading of a devotional, a section of any other book. 0 or 0xFFFFFFFF: nowhere.
quint32 steppedSection(BookPageSource& book, quint32 section, bool forward)
{
    if (book.isABible()) {
        // From chapter to chapter, across books too: a book's own heading (its title, chapter 0)
        // between one book's last chapter and the next book's first is stepped over, so that a step
        // lands on a chapter's heading with its first verse.
        quint32 s = section;
        for (int steps = 0; steps < 3; ++steps) {
            if (s == 0 || book.keyForSection(s) == 0)
                return 0;
            s = forward ? book.sectionForNextChapter(s) : book.sectionForPreviousChapter(s);
            if (s == 0 || s == 0xFFFFFFFF || ((book.keyForSection(s) >> 8) & 0xFF) != 0)
                return s;
        }
        return 0;
    }
    if (book.supportsDailyReadings()) {
        const quint64 reading = book.readingNumberForSection(section);
        if (!forward)
            return reading < 2 ? 1 : book.sectionForReadingNumber(static_cast<quint32>(reading - 1));
        const quint64 count = book.numReadings();
        return book.sectionForReadingNumber(static_cast<quint32>(reading >= count ? count : reading + 1));
    }
    if (!forward)
        return section < 2 ? 1 : section - 1;
    const quint64 count = book.numSections();
    return static_cast<quint32>(section + 1 >= count ? count - 1 : section + 1);
}

}  // namespace

void BookPaneScroller::stepPage(bool forward)
{
    if (m_defaults.value(SettingsKeys::ScrollTrackInterval) == QLatin1String("page")) {
        m_view->scrollActiveBookUp(!forward, false);
        return;
    }
    const BookPageSourcePtr book = m_host->currentSource();
    const LayoutRegionContentItemState* state = m_host->currentState();
    if (!book || state == nullptr)
        return;
    const quint32 target = steppedSection(*book, static_cast<quint32>(state->section()), forward);
    if (target == 0 || target == 0xFFFFFFFF)
        return;
    moveToSection(book, target);
}

void BookPaneScroller::postHistory(bool alwaysAdd)
{
    m_center.postNotificationName(LibraryNotifications::AddStateToHistoryNotification, nullptr,
        {{QStringLiteral("alwaysAdd"), alwaysAdd}, {QStringLiteral("layoutUuid"), m_host->layoutUuid()}});
}

void BookPaneScroller::moveToSection(const BookPageSourcePtr& book, quint32 section)
{
    postHistory(false);
    GoToRequest request;
    request.section = section;
    m_view->goTo(book, request);
    m_host->conditionallySyncToMe();
    postHistory(true);
}
