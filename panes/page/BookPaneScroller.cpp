#include "panes/page/BookPaneScroller.h"

#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/page/BookPageHost.h"
#include "panes/page/BookPageView.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

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
    if (m_defaults.stringForKey(QStringLiteral("scrollTrackInterval")) == QLatin1String("page")) {
        m_view->scrollActiveBookUp(true, false);
        return;
    }
    const BookPageSourcePtr book = m_host->currentSource();
    const LayoutRegionContentItemState* state = m_host->currentState();
    if (!book || state == nullptr)
        return;
    const auto section = static_cast<quint32>(state->section());
    quint32 target = 0;
    if (book->isABible()) {
        if (section == 0 || book->keyForSection(section) == 0)
            return;
        target = book->sectionForPreviousChapter(section);
        if (target == 0 || target == 0xFFFFFFFF)
            return;
    } else if (book->supportsDailyReadings()) {
        const quint32 reading = book->readingNumberForSection(section);
        if (reading < 2) {
            target = 1;
        } else {
            target = book->sectionForReadingNumber(reading - 1);
            if (target == 0 || target == 0xFFFFFFFF)
                return;
        }
    } else {
        target = section < 2 ? 1 : section - 1;
    }
    moveToSection(book, target);
}

void BookPaneScroller::onScrollerIncrementPage()
{
    if (m_defaults.stringForKey(QStringLiteral("scrollTrackInterval")) == QLatin1String("page")) {
        m_view->scrollActiveBookUp(false, false);
        return;
    }
    const BookPageSourcePtr book = m_host->currentSource();
    const LayoutRegionContentItemState* state = m_host->currentState();
    if (!book || state == nullptr)
        return;
    const auto section = static_cast<quint32>(state->section());
    quint32 target = 0;
    if (book->isABible()) {
        if (section == 0 || book->keyForSection(section) == 0)
            return;
        target = book->sectionForNextChapter(section);
    } else if (book->supportsDailyReadings()) {
        const quint64 count = book->numReadings();
        quint64 reading = book->readingNumberForSection(section);
        reading = reading >= count ? count : reading + 1;
        target = book->sectionForReadingNumber(static_cast<quint32>(reading));
    } else {
        const quint64 count = book->numSections();
        target = static_cast<quint32>(section + 1 >= count ? count - 1 : section + 1);
    }
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
