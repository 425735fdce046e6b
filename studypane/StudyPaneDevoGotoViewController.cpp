#include "studypane/StudyPaneDevoGotoViewController.h"
#include "platform/ui/PlainLabel.h"

#include "documents/cDateDoc.h"
#include "engine/foundation/SimpleDate.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/QSHTMLColors.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ContentTextDocument.h"
#include "studypane/StudyPaneSubpanes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr qint64 kDaysEitherWay = 731;  // 63158400 seconds

}  // namespace

// --- catch-up dialog ---

DevotionalCatchUpWindowController::DevotionalCatchUpWindowController(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Catch Up"));
    setObjectName(QStringLiteral("DevotionalCatchUpWindow"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_method = new QComboBox(this);
    m_method->setObjectName(QStringLiteral("catchUpMethodPopUp"));
    m_method->addItem(tr("Move the start date"), int(kMoveStartDate));
    m_method->addItem(tr("Mark unread readings as read"), int(kMarkRead));
    m_endPoint = new QComboBox(this);
    m_endPoint->setObjectName(QStringLiteral("endPointPopUp"));
    m_endPoint->addItem(tr("Through yesterday"), int(kThroughYesterday));
    m_endPoint->addItem(tr("Through today"), int(kThroughToday));
    form->addRow(tr("Catch up by:"), m_method);
    form->addRow(tr("Catch up:"), m_endPoint);
    column->addLayout(form);
    m_description = new PlainLabel(this);
    m_description->setObjectName(QStringLiteral("descriptionLabel"));
    m_description->setWordWrap(true);
    m_description->setMinimumWidth(360);
    column->addWidget(m_description);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { onOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { onCancel(); });
    connect(m_method, &QComboBox::currentIndexChanged, this, [this] { updateDescription(); });
    connect(m_endPoint, &QComboBox::currentIndexChanged, this, [this] { updateDescription(); });
    updateDescription();
}

QString DevotionalCatchUpWindowController::descriptionFor(int method, int endPoint)
{
    if (method == kMarkRead) {
        return endPoint == kThroughToday
            ? QStringLiteral("Quillstead will mark all unread readings up to and including today as \"read\". Your "
                             "next unread reading will be scheduled for tomorrow. Note that by marking previously "
                             "unread readings as \"read\", you will be skipping those readings.")
            : QStringLiteral("Quillstead will mark all unread readings up to and including yesterday as \"read\". Your "
                             "next unread reading will be scheduled for today. Note that by marking previously unread "
                             "readings as \"read\", you will be skipping those readings.");
    }
    return endPoint == kThroughToday
        ? QStringLiteral("Quillstead will move the start date so that the the reading you've already done (if any) "
                         "will take you through today. Your next unread reading will be scheduled for tomorrow. You "
                         "will not miss any readings if you choose this method.")
        : QStringLiteral("Quillstead will move the start date so that the the reading you've already done (if any) "
                         "will take you through yesterday. Your next unread reading will be scheduled for today. You "
                         "will not miss any readings if you choose this method.");
}

void DevotionalCatchUpWindowController::leaveOutMovingTheStartDate()
{
    const int move = m_method->findData(int(kMoveStartDate));
    if (move >= 0)
        m_method->removeItem(move);
    updateDescription();
}

void DevotionalCatchUpWindowController::updateDescription()
{
    m_description->setText(descriptionFor(m_method->currentData().toInt(), m_endPoint->currentData().toInt()));
}

void DevotionalCatchUpWindowController::onOK()
{
    done((m_method->currentData().toInt() << 3) | m_endPoint->currentData().toInt());
}

// --- start-over dialog ---

DevotionalStartOverWindowController::DevotionalStartOverWindowController(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Start Over"));
    setObjectName(QStringLiteral("DevotionalStartOverWindow"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_date = new QDateEdit(this);
    m_date->setCalendarPopup(true);
    const QDate today = QDate::currentDate();
    m_date->setDateRange(today.addDays(-kDaysEitherWay), today.addDays(kDaysEitherWay));
    m_date->setDate(today);
    form->addRow(tr("New start date:"), m_date);
    column->addLayout(form);
    m_clear = new QCheckBox(tr("Clear all progress"), this);
    m_clear->setChecked(true);
    column->addWidget(m_clear);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { onOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { onCancel(); });
}

// --- the sub-pane ---

StudyPaneDevoGotoViewController::StudyPaneDevoGotoViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host)
{
    if (m_env.center == nullptr)
        return;
    observe(
        PaneNotifications::ThisSourceIsNowActiveNotification, [this](Notification& n) { thisSourceIsNowActive(&n); });
    for (const QString& name : {PaneNotifications::DisplayPreferencesChangedNotification,
             LibraryNotifications::DevotionalProgressHasChangedNotification,
             PaneNotifications::qsDevotionalStartDateHasChangedNotification})
        observe(name, [this](Notification&) { displayPreferencesChanged(); });
    observe(LibraryNotifications::EverybodySyncToMeNotification,
        [this](Notification& n) { everybodySyncToMeNotification(GoToRequest::of(n)); });
}

StudyPaneDevoGotoViewController::~StudyPaneDevoGotoViewController()
{
    stopObserving();
}

void StudyPaneDevoGotoViewController::viewDidLoad()
{
    // A devotional noticed before the table existed (its first activation comes before the tab is
    // ever shown) is listed now; a newly active one replaces it.
    reloadTable();
    thisSourceIsNowActive(nullptr);
    updateButtons();
    // The list opens at the reading the active pane shows.
    const StudyPaneSubpanes::ActiveBook active = StudyPaneSubpanes::activeBook(m_env);
    if (m_sourceTuple && active.book && active.book->isEqual(*m_sourceTuple)) {
        quint64 section = active.section;
        if (section == 0 && active.block != SourceTuple::kNoBlock)
            section = m_sourceTuple->locations().sectionForBlock(active.block);
        if (section != 0)
            scrollToReading(qint64(m_sourceTuple->readings().readingNumberForSection(quint32(section))));
    }
}

void StudyPaneDevoGotoViewController::loadView()
{
    createView(QStringLiteral("StudyPaneDevoGotoView"));
    auto* column = new QVBoxLayout(loadedView());
    column->setContentsMargins(4, 4, 4, 4);
    auto* grid = new QGridLayout;
    auto button = [this](const QString& text, const QString& tip) {
        auto* b = new QToolButton(loadedView());
        b->setText(text);
        b->setToolTip(ContentTextDocument::plainToolTip(tip));
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        return b;
    };
    QToolButton* today = button(tr("Today"), tr("Go to today's reading"));
    QToolButton* unread = button(tr("First Unread"), tr("Go to the first unread reading"));
    QToolButton* previous = button(tr("Previous"), tr("Go to the previous reading"));
    QToolButton* next = button(tr("Next"), tr("Go to the next reading"));
    m_startOver = button(tr("Start Over..."), tr("Choose a new start date"));
    m_catchUp = button(tr("Catch Up..."), tr("Bring the schedule level with your reading"));
    m_catchUp->setObjectName(QStringLiteral("catchUpButton"));
    grid->addWidget(today, 0, 0);
    grid->addWidget(unread, 0, 1);
    grid->addWidget(previous, 1, 0);
    grid->addWidget(next, 1, 1);
    grid->addWidget(m_startOver, 2, 0);
    grid->addWidget(m_catchUp, 2, 1);
    column->addLayout(grid);
    m_table = new QTableWidget(0, 1, loadedView());
    m_table->setObjectName(QStringLiteral("readingProgress"));
    m_table->setTabKeyNavigation(false);  // Tab leaves the list for the next control
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->setShowGrid(false);
    m_table->setItemDelegate(new ReadingProgressCellView(m_table));
    column->addWidget(m_table, 1);

    connect(today, &QToolButton::clicked, this, [this] { onTodaysReadingButton(); });
    connect(unread, &QToolButton::clicked, this, [this] { onFirstUnreadReadingButton(); });
    connect(previous, &QToolButton::clicked, this, [this] { onPreviousReadingButton(); });
    connect(next, &QToolButton::clicked, this, [this] { onNextReadingButton(); });
    connect(m_startOver, &QToolButton::clicked, this, [this] { onStartOver(); });
    connect(m_catchUp, &QToolButton::clicked, this, [this] { onCatchUp(); });
    connect(m_table->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { showPendingRow(); });
    connect(m_table, &QTableWidget::cellClicked, this, [this](int r, int) { activateRow(r); });
    connect(m_table, &QTableWidget::cellActivated, this, [this](int r, int) { activateRow(r); });
}

void StudyPaneDevoGotoViewController::thisSourceIsNowActive(const Notification* n)
{
    if (!isLayoutCurrent())
        return;
    StudyPaneSubpanes::ActiveBook place = StudyPaneSubpanes::notifiedPlace(n);
    if (!place.book) {
        place = StudyPaneSubpanes::activeBook(m_env);
        if (place.book && !place.book->docSupports(kDocSupportsDateLookup))
            place = {};
    }
    const SourceTuple::Ptr book = place.book;
    quint64 section = place.section;
    const quint32 block = place.block;
    if (!book || book->record().syncType != 3)
        return;
    if (m_sourceTuple && m_sourceTuple->isEqual(*book)) {
        // The same devotional, perhaps at another reading (a pane made current, Back or Forward).
        if (n != nullptr && section == 0 && block != SourceTuple::kNoBlock)
            section = book->locations().sectionForBlock(block);
        if (n != nullptr && section != 0)
            scrollToReading(qint64(book->readings().readingNumberForSection(quint32(section))));
        return;
    }
    m_sourceTuple = book;
    m_header.reset();
    reloadTable();
    updateButtons();
    if (section == 0 && block != SourceTuple::kNoBlock)
        section = book->locations().sectionForBlock(block);
    if (section != 0)
        scrollToReading(qint64(book->readings().readingNumberForSection(quint32(section))));
}

void StudyPaneDevoGotoViewController::scrollToReading(qint64 reading)
{
    const int row = reading < 1 ? 0 : int(reading - 1);
    m_pendingRow = row;
    showPendingRow();
}

void StudyPaneDevoGotoViewController::showPendingRow()
{
    if (m_table == nullptr || m_pendingRow < 0 || m_pendingRow >= m_table->rowCount())
        return;
    QTableWidgetItem* item = m_table->item(m_pendingRow, 0);
    m_table->scrollToItem(item, QAbstractItemView::PositionAtTop);
    // A list not laid out yet cannot scroll: it does once it has its size.
    if (m_table->isVisible() && m_table->viewport()->height() > 0 &&
        m_table->viewport()->rect().intersects(m_table->visualItemRect(item)))
        m_pendingRow = -1;
}

void StudyPaneDevoGotoViewController::everybodySyncToMeNotification(const GoToRequest& request)
{
    if (host() == nullptr || !m_sourceTuple || request.layoutUuid != layoutUuid())
        return;
    const SourceTuple::Ptr& book = request.sourceTuple;
    if (!book || !book->isEqual(*m_sourceTuple))
        return;
    qint64 n = 0;
    if (request.readingNumber)
        n = *request.readingNumber;
    else if (request.section)
        n = qint64(m_sourceTuple->readings().readingNumberForSection(quint32(*request.section)));
    else if (request.todaysReading)
        n = qint64(m_sourceTuple->readings().readingNumberForDate(SimpleDate()));
    else if (request.firstUnread)
        n = qint64(m_sourceTuple->readings().firstUnreadReadingNumber());
    scrollToReading(n);
}

void StudyPaneDevoGotoViewController::displayPreferencesChanged()
{
    reloadTable();
    updateButtons();
}

void StudyPaneDevoGotoViewController::reloadTable()
{
    if (m_table == nullptr)
        return;
    if (!m_header)
        m_header = m_sourceTuple ? m_sourceTuple->record().name : QString();
    auto* header = new QTableWidgetItem(*m_header);
    header->setToolTip(ContentTextDocument::plainToolTip(*m_header));
    m_table->setHorizontalHeaderItem(0, header);
    const qint64 count = m_sourceTuple ? qint64(std::min<quint64>(m_sourceTuple->record().numReadings, 100000)) : 0;
    m_table->setRowCount(int(count));
    const UserDefaults* defaults = m_env.defaults;
    const QColor read = QSHTMLColors::colorFromHTMLColorString(
        defaults ? defaults->value(SettingsKeys::DevoReadColor) : QStringLiteral("#C0FFDC"))
                            .toQColor();
    const QColor unread = QSHTMLColors::colorFromHTMLColorString(
        defaults ? defaults->value(SettingsKeys::DevoUnreadColor) : QStringLiteral("#FFE3E3"))
                              .toQColor();
    for (int r = 0; r < count; ++r) {
        const quint32 reading = quint32(r + 1);
        QTableWidgetItem* item = m_table->item(r, 0);
        if (item == nullptr) {
            item = new QTableWidgetItem;
            m_table->setItem(r, 0, item);
        }
        item->setText(
            m_sourceTuple->readings().dateForReadingNumber(reading).stringWithStyle(SimpleDate::kStyleWithWeekday));
        // A read reading says so in words as well as by its colour.
        const bool complete = m_sourceTuple->readings().isReadingComplete(reading);
        item->setData(ReadingProgressCellView::ReadingNumberRole,
            QStringLiteral("Reading %1 of %2").arg(reading).arg(m_sourceTuple->record().numReadings) +
                (complete ? QStringLiteral(" \u2014 \u2713 read") : QString()));
        item->setBackground(complete ? read : unread);
    }
}

void StudyPaneDevoGotoViewController::updateButtons()
{
    if (m_catchUp != nullptr)
        m_catchUp->setEnabled(m_sourceTuple && m_sourceTuple->readings().firstUnreadReadingNumber() != 0);
}

void StudyPaneDevoGotoViewController::postReadingRequest(bool GoToRequest::*reading)
{
    if (!m_sourceTuple || m_env.center == nullptr)
        return;
    GoToRequest g;
    g.*reading = true;
    g.sourceTuple = m_sourceTuple;
    g.sync = true;
    g.layoutUuid = layoutUuid();
    g.post(*m_env.center, this);
}

void StudyPaneDevoGotoViewController::onTodaysReadingButton()
{
    postReadingRequest(&GoToRequest::todaysReading);
}

void StudyPaneDevoGotoViewController::onFirstUnreadReadingButton()
{
    postReadingRequest(&GoToRequest::firstUnread);
}

void StudyPaneDevoGotoViewController::onPreviousReadingButton()
{
    postReadingRequest(&GoToRequest::prevReading);
}

void StudyPaneDevoGotoViewController::onNextReadingButton()
{
    postReadingRequest(&GoToRequest::nextReading);
}

void StudyPaneDevoGotoViewController::activateRow(int row)
{
    if (m_sourceTuple && row >= 0 && m_table != nullptr && row < m_table->rowCount()) {
        const quint32 section = m_sourceTuple->readings().sectionForReadingNumber(quint32(row + 1));
        if (section != 0 && section != SourceTuple::kNoBlock) {
            GoToRequest g;
            g.section = section;
            g.sourceTuple = m_sourceTuple;
            g.sync = true;
            requestGoTo(std::move(g));
        }
    }
    if (m_table != nullptr) {
        const QSignalBlocker block(m_table->selectionModel());
        m_table->clearSelection();
    }
}

void StudyPaneDevoGotoViewController::onStartOver()
{
    if (!m_sourceTuple)
        return;
    DevotionalStartOverWindowController dialog(loadedView());
    if (m_env.runModal(dialog) == 0)
        return;
    const QDate picked = dialog.startDateDatePicker()->date();
    SimpleDate start;
    start.setMonth(picked.month(), picked.day(), picked.year());
    m_sourceTuple->readings().setStartDate(start);
    if (dialog.clearAllProgressCheckbox()->isChecked()) {
        m_sourceTuple->readings().resetProgress();
        if (m_env.center != nullptr)
            m_env.center->postNotificationName(LibraryNotifications::DevotionalProgressHasChangedNotification, nullptr);
    }
    if (m_env.center != nullptr)
        m_env.center->postNotificationName(PaneNotifications::qsDevotionalStartDateHasChangedNotification, nullptr);
    onTodaysReadingButton();
}

void StudyPaneDevoGotoViewController::onCatchUp()
{
    if (!m_sourceTuple)
        return;
    DevotionalCatchUpWindowController dialog(loadedView());
    if (const auto doc = m_sourceTuple->dateDoc(); doc && doc->isCalendar())
        dialog.leaveOutMovingTheStartDate();
    const int result = m_env.runModal(dialog);
    const int endPoint = result & 7;
    const quint32 firstUnread = m_sourceTuple->readings().firstUnreadReadingNumber();
    if (result < 8 || endPoint == 0 || firstUnread == 0)
        return;
    const int method = result >> 3;
    if (method == DevotionalCatchUpWindowController::kMarkRead) {
        SimpleDate end;
        if (endPoint == DevotionalCatchUpWindowController::kThroughYesterday)
            end.addDays(-1);
        // The readings scheduled from the start date through the chosen day; a day before the start
        // has none (the reading cycle does not wrap back from the year's end for a range).
        const quint32 last = m_sourceTuple->readings().lastReadingScheduledThrough(end);
        if (last < firstUnread) {
            Alert alert;
            alert.style = AlertStyle::Informational;
            alert.messageText =
                QStringLiteral("You have already read all readings scheduled through %1.")
                    .arg(endPoint == DevotionalCatchUpWindowController::kThroughToday ? QStringLiteral("today")
                                                                                      : QStringLiteral("yesterday"));
            alert.informativeText = QStringLiteral("Nothing will be changed.");
            m_env.ask(alert);
            return;
        }
        for (quint32 reading = firstUnread; reading <= last; ++reading) {
            if (!m_sourceTuple->readings().isReadingComplete(reading))
                m_sourceTuple->readings().toggleReadingNumber(reading, false);
        }
    } else if (method == DevotionalCatchUpWindowController::kMoveStartDate) {
        SimpleDate start;
        start.addDays(
            2 - qint32(firstUnread) - (endPoint == DevotionalCatchUpWindowController::kThroughYesterday ? 1 : 0));
        m_sourceTuple->readings().setStartDate(start);
    }
    if (m_env.center != nullptr)
        m_env.center->postNotificationName(PaneNotifications::qsDevotionalStartDateHasChangedNotification, nullptr);
    onTodaysReadingButton();
}

// --- the reading cell ---

QSize ReadingProgressCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    QFont bold = option.font;
    bold.setBold(true);
    return QSize(option.rect.width(), QFontMetrics(bold).height() + option.fontMetrics.height() + 6);
}

void ReadingProgressCellView::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    const QVariant background = index.data(Qt::BackgroundRole);
    if (option.state & QStyle::State_Selected)
        painter->fillRect(option.rect, option.palette.highlight());
    else if (background.canConvert<QBrush>())
        painter->fillRect(option.rect, background.value<QBrush>());
    const QRect r = option.rect.adjusted(6, 2, -6, -2);
    const int line = option.fontMetrics.height();
    QFont bold = option.font;
    bold.setBold(true);
    const int boldLine = QFontMetrics(bold).height();
    painter->setFont(bold);
    painter->setPen(QColor(Qt::black));
    painter->drawText(QRect(r.x(), r.y(), r.width(), boldLine), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(bold).elidedText(index.data().toString(), Qt::ElideRight, r.width()));
    painter->setFont(option.font);
    painter->drawText(QRect(r.x(), r.y() + boldLine + 1, r.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
        index.data(ReadingNumberRole).toString());
    painter->setPen(QColor(0, 0, 0, 40));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
}
