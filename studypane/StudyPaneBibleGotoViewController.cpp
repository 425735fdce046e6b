#include "studypane/StudyPaneBibleGotoViewController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/ui/ContentTextDocument.h"
#include "studypane/BibleVerseTableCellView.h"
#include "studypane/SearchResultPage.h"
#include "studypane/StudyPaneHitList.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSubpanes.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringListModel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

constexpr quint32 kBookMask = 1;        // full names
constexpr quint32 kCompletionMask = 7;  // full names, abbreviations and the third spelling list
constexpr int kPlaceholderTag = -1;

int tagOf(const QComboBox* popup, int index)
{
    const QVariant v = popup->itemData(index);
    return v.isValid() ? v.toInt() : kPlaceholderTag;
}

int selectedTag(const QComboBox* popup)
{
    return popup->currentIndex() < 0 ? kPlaceholderTag : tagOf(popup, popup->currentIndex());
}

}  // namespace

StudyPaneBibleGotoViewController::StudyPaneBibleGotoViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host)
{
    m_completeTimer.setSingleShot(true);
    m_completeTimer.setInterval(kCompleteAfterKeysMs);
    connect(&m_completeTimer, &QTimer::timeout, this, [this] { completeTyped(); });
    // The list is filled again once the go-to's page has been drawn, not in the frame that shows it.
    m_recentReload.setSingleShot(true);
    m_recentReload.setInterval(kRecentReloadDelayMs);
    connect(&m_recentReload, &QTimer::timeout, this, [this] { reloadRecentList(); });
}

StudyPaneBibleGotoViewController::~StudyPaneBibleGotoViewController()
{
    stopObserving();
}

void StudyPaneBibleGotoViewController::viewDidLoad()
{
    thisSourceIsNowActive(nullptr);
    if (m_env.center != nullptr) {
        observe(PaneNotifications::ThisSourceIsNowActiveNotification,
            [this](Notification& n) { thisSourceIsNowActive(&n); });
        observe(PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification&) {
            m_recentRows.clear();
            reloadRecentList();
        });
        observe(LibraryNotifications::EverybodySyncToMeNotification,
            [this](Notification& n) { everybodySyncToMeNotification(GoToRequest::of(n)); });
    }
}

void StudyPaneBibleGotoViewController::loadView()
{
    createView(QStringLiteral("StudyPaneBibleGotoView"));
    auto* column = new QVBoxLayout(loadedView());
    column->setContentsMargins(4, 4, 4, 4);
    auto* grid = new QGridLayout;
    m_bookPopup = new StudyPanePopUpButton(loadedView());
    m_chapterPopup = new StudyPanePopUpButton(loadedView());
    m_versePopup = new StudyPanePopUpButton(loadedView());
    m_bookPopup->setObjectName(QStringLiteral("bookPopUp"));
    m_chapterPopup->setObjectName(QStringLiteral("chapterPopUp"));
    m_versePopup->setObjectName(QStringLiteral("versePopUp"));
    m_bookPopup->setToolTip(tr("Book"));
    m_chapterPopup->setToolTip(tr("Chapter"));
    m_versePopup->setToolTip(tr("Verse"));
    m_bookPopup->setMinimumContentsLength(10);
    m_bookPopup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (StudyPanePopUpButton* p : {m_bookPopup, m_chapterPopup, m_versePopup})
        connect(p, &StudyPanePopUpButton::popupAboutToShow, this, [this, p] { menuNeedsUpdate(p); });
    grid->addWidget(m_bookPopup, 0, 0, 1, 3);
    auto* go = new QPushButton(tr("Go"), loadedView());
    go->setToolTip(tr("Go to the chosen book, chapter and verse"));
    go->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    grid->addWidget(m_chapterPopup, 1, 0);
    grid->addWidget(m_versePopup, 1, 1);
    grid->addWidget(go, 1, 2);
    auto* combo = new StudyPanePopUpButton(loadedView());
    // The list opened before anything was typed is the book names.
    connect(combo, &StudyPanePopUpButton::popupAboutToShow, this, [this] {
        if (m_completeTimer.isActive()) {
            m_completeTimer.stop();
            completeTyped();
        }
        numberOfItemsInComboBox();
    });
    combo->setEditable(true);
    m_combo = combo;
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->setCompleter(nullptr);
    m_comboModel = new QStringListModel(m_combo);
    m_combo->setModel(m_comboModel);
    m_combo->lineEdit()->setPlaceholderText(tr("Type a reference"));
    // The field paints its own background, so that a blink of its caret repaints the caret's
    // rectangle of the field alone, not the combo box and the pane beneath it too.
    m_combo->lineEdit()->setAutoFillBackground(true);
    m_combo->setToolTip(tr("Type a reference, e.g. \"John 3:16\", and press Return"));
    grid->addWidget(m_combo, 2, 0, 1, 3);
    column->addLayout(grid);
    m_recent = new QTableWidget(0, 1, loadedView());
    m_recent->setObjectName(QStringLiteral("recentVerses"));
    m_recent->setTabKeyNavigation(false);  // Tab leaves the list for the next control
    m_recent->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_recent->setSelectionMode(QAbstractItemView::SingleSelection);
    m_recent->verticalHeader()->hide();
    // Rows as tall as their reference and verse text need at the font and text size in use.
    m_recent->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_recent->horizontalHeader()->setStretchLastSection(true);
    m_recent->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_recent->setShowGrid(false);
    m_recent->setItemDelegate(new BibleVerseTableCellView(m_env.defaults, m_recent));
    column->addWidget(m_recent, 1);

    fillPopup(m_bookPopup, std::nullopt, {}, QStringLiteral("-- Choose Book --"), true);
    fillPopup(m_chapterPopup, std::nullopt, {}, QStringLiteral("Ch"), false);
    fillPopup(m_versePopup, std::nullopt, {}, QStringLiteral("Vs"), false);

    connect(m_bookPopup, &QComboBox::activated, this, [this](int i) { onBookSelected(i); });
    connect(m_chapterPopup, &QComboBox::activated, this, [this](int i) { onChapterSelected(i); });
    connect(m_versePopup, &QComboBox::activated, this, [this](int i) { onVerseSelected(i); });
    connect(go, &QPushButton::clicked, this, [this] { onGoToBCVButton(); });
    connect(m_combo->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) { textEdited(t); });
    connect(m_combo->lineEdit(), &QLineEdit::returnPressed, this, [this] { comboBoxAction(); });
    connect(m_recent, &QTableWidget::cellClicked, this, [this](int r, int) { activateRecentRow(r); });
    connect(m_recent, &QTableWidget::cellActivated, this, [this](int r, int) { activateRecentRow(r); });
}

void StudyPaneBibleGotoViewController::studyPaneDidActivateSubview()
{
    // Shown again (Go > Go To before each reference typed): the list is filled only when its verses
    // changed meanwhile.
    const QList<quint32> recent = paneState() != nullptr ? paneState()->recentGoToVerseKeys : QList<quint32>();
    // (compared element by element: Qt's own comparison of two empty lists hands memcmp a null pointer)
    if (!std::ranges::equal(m_recentShown, recent) || m_recentReload.isActive() ||
        (m_recent != nullptr && m_recent->horizontalHeaderItem(0) == nullptr))
        reloadRecentList();
    if (m_combo != nullptr) {
        // The field takes the keys with its text selected, so that a reference typed replaces the
        // last one.
        m_combo->setFocus();
        m_combo->lineEdit()->selectAll();
        // A reference is about to be typed or pasted: the pane it will move is readied now, before a
        // pasted reference and its Return arrive together with no pause to ready it in.
        wakeGoToPane();
    }
}

// --- following the active Bible ---

void StudyPaneBibleGotoViewController::thisSourceIsNowActive(const Notification* n)
{
    if (!isLayoutCurrent())
        return;
    StudyPaneSubpanes::ActiveBook place = StudyPaneSubpanes::notifiedPlace(n);
    if (!place.book)
        place = StudyPaneSubpanes::activeBook(m_env);
    const SourceTuple::Ptr book = place.book;
    const quint64 section = place.section;
    if (!book || !book->docSupports(kDocSupportsIsBible))
        return;
    if (m_sourceTuple && m_sourceTuple->isEqual(*book)) {
        // The same Bible, perhaps at another place (a pane made current, Back or Forward): the
        // pop-ups show where it is now.
        if (n != nullptr && section != 0)
            everybodySyncToMeNotification(placeIn(book, quint32(section)));
        return;
    }
    m_sourceTuple = book;
    m_recentRows.clear();
    m_header.reset();
    m_comboStrings.reset();
    m_comboLoadedFrom.reset();
    setComboList({});
    reloadRecentList();
    if (m_recent != nullptr && m_recent->rowCount() > 0)
        m_recent->scrollToTop();
    m_bookNames.reset();
    m_chapterNames.reset();
    m_bookSections.clear();
    m_chapterSections.clear();
    forgetVerses();
    everybodySyncToMeNotification(placeIn(book, quint32(section)));
}

int StudyPaneBibleGotoViewController::itemForTarget(
    const QList<quint32>& sections, quint32 target, const QComboBox* popup)
{
    const int last = popup->count() - 1;
    if (sections.size() < 2)
        return last;
    qsizetype i = 0;
    while (i + 1 < sections.size() && sections[i + 1] <= target)
        ++i;
    if (i == sections.size() - 1)
        return last;
    const int item = popup->findData(int(sections[i]));
    return item < 0 ? last : item;
}

GoToRequest StudyPaneBibleGotoViewController::placeIn(const SourceTuple::Ptr& book, quint32 section) const
{
    GoToRequest place;
    place.layoutUuid = layoutUuid();
    place.sourceTuple = book;
    place.bibleKey = book->locations().keyForSection(section);
    return place;
}

void StudyPaneBibleGotoViewController::everybodySyncToMeNotification(const GoToRequest& request)
{
    if (loadedView() == nullptr || host() == nullptr || !m_sourceTuple || request.layoutUuid != layoutUuid())
        return;
    const SourceTuple::Ptr& book = request.sourceTuple;
    if (!book || !book->isEqual(*m_sourceTuple) || !request.bibleKey)
        return;
    const quint32 key = *request.bibleKey;
    BibleRef ref = BibleRef::bibleRefWithStartKey(key, key);
    ref.setLanguage(int(m_sourceTuple->record().bookLanguage));
    ref.mapToTranslation(m_sourceTuple->record().abbr);
    // A chapter's heading (verse 0) shows as the chapter's first verse, which stands under it.
    quint32 shownKey = ref.bibleKey();
    if ((shownKey & 0xFF) == 0 && ((shownKey >> 8) & 0xFF) != 0)
        shownKey |= 1;
    const quint32 target = m_sourceTuple->locations().sectionForBibleKey(shownKey);

    if (!m_bookNames) {
        m_bookSections.clear();
        m_bookNames =
            m_sourceTuple->locations().bibleBookNameSpellingsAbbreviated(kBookMask, QString(), &m_bookSections);
        fillPopup(m_bookPopup, m_bookNames, m_bookSections, QStringLiteral("-- Choose Book --"), true);
    }
    m_bookPopup->setCurrentIndex(itemForTarget(m_bookSections, target, m_bookPopup));
    const quint32 bookTag = quint32(std::max(0, selectedTag(m_bookPopup)));

    loadChapters(ref.bookSpelling(), bookTag);
    m_chapterPopup->setCurrentIndex(itemForTarget(m_chapterSections, target, m_chapterPopup));

    const QString chapterText = ref.isOneChapterBook()
        ? ref.bookSpelling()
        : QStringLiteral("%1 %2").arg(ref.bookSpelling(), ref.chapterSpelling());
    // The verse is picked from the chapter's list when that is spelled already; else the pop-up holds
    // the verse alone until it is opened: spelling every verse of a chapter costs more than the rest
    // of a go-to together.
    if (!setVerseChapter(chapterText, quint32(std::max(0, selectedTag(m_chapterPopup)))) && m_verseNames) {
        m_versePopup->setCurrentIndex(std::max(0, m_versePopup->findText(ref.verseSpelling())));
        return;
    }
    QString verse = ref.verseSpelling();
    if (shownKey != ref.bibleKey()) {
        BibleRef first = BibleRef::bibleRefWithStartKey(shownKey, shownKey);
        first.setLanguage(int(m_sourceTuple->record().bookLanguage));
        verse = first.verseSpelling();
    }
    fillPopup(m_versePopup, QStringList {verse}, {target}, QStringLiteral("Vs"), false);
}

void StudyPaneBibleGotoViewController::fillPopup(StudyPanePopUpButton* popup, const std::optional<QStringList>& names,
    const QList<quint32>& sections, const QString& placeholder, bool placeholderFirst)
{
    if (popup == nullptr)
        return;
    const QSignalBlocker block(popup);
    popup->clear();
    // An empty list shows its placeholder too, so the pop-up never stands blank.
    if (placeholderFirst || !names || names->isEmpty())
        popup->addItem(placeholder, kPlaceholderTag);
    if (names) {
        for (qsizetype i = 0; i < names->size(); ++i)
            popup->addItem(names->at(i), i < sections.size() ? int(sections[i]) : kPlaceholderTag);
    }
}

void StudyPaneBibleGotoViewController::menuNeedsUpdate(StudyPanePopUpButton* popup)
{
    if (!m_sourceTuple)
        thisSourceIsNowActive(nullptr);
    const QString current = popup->currentText();
    if (popup == m_bookPopup)
        fillPopup(popup, m_bookNames, m_bookSections, QStringLiteral("-- Choose Book --"), true);
    else if (popup == m_chapterPopup)
        fillPopup(popup, m_chapterNames, m_chapterSections, QStringLiteral("Ch"), false);
    else if (popup == m_versePopup)
        spellVerses();
    const QSignalBlocker block(popup);
    popup->setCurrentIndex(std::max(0, popup->findText(current)));
}

// --- the pop-ups ---

void StudyPaneBibleGotoViewController::onBookSelected(int index)
{
    if (m_bookPopup == nullptr || index < 0 || index >= m_bookPopup->count())
        return;
    if (tagOf(m_bookPopup, index) == kPlaceholderTag) {
        m_chapterNames.reset();
        m_chapterSections.clear();
        forgetVerses();
        fillPopup(m_chapterPopup, std::nullopt, {}, QStringLiteral("Ch"), false);
        fillPopup(m_versePopup, std::nullopt, {}, QStringLiteral("Vs"), false);
        m_chapterPopup->setCurrentIndex(0);
        m_versePopup->setCurrentIndex(0);
        return;
    }
    m_combo->setEditText(QString());
    loadChaptersAndVerses(index);
}

void StudyPaneBibleGotoViewController::loadChaptersAndVerses(int bookIndex)
{
    if (!m_sourceTuple)
        return;
    const QString title = m_bookPopup->itemText(bookIndex);
    loadChapters(title, quint32(std::max(0, tagOf(m_bookPopup, bookIndex))));
    m_chapterPopup->setCurrentIndex(0);
    BibleRef ref;
    ref.setLanguage(int(m_sourceTuple->record().bookLanguage));
    const bool parsed =
        ref.parse(title, m_sourceTuple->record().abbr) && ref.mapToTranslation(m_sourceTuple->record().abbr);
    const QString chapterText = (parsed && ref.isOneChapterBook()) || m_chapterPopup->count() == 0
        ? title
        : QStringLiteral("%1 %2").arg(title, m_chapterPopup->itemText(0));
    loadVerses(chapterText, quint32(std::max(0, tagOf(m_chapterPopup, 0))));
}

void StudyPaneBibleGotoViewController::loadChapters(const QString& bookTitle, quint32 bookSection)
{
    // A go-to within the book shown keeps its chapter list, as one within the chapter keeps its verses.
    const QString loadedFor = QStringLiteral("%1\n%2").arg(bookTitle).arg(bookSection);
    if (m_chapterNames && loadedFor == m_chaptersLoadedFor)
        return;
    m_chapterSections.clear();
    m_chapterNames =
        m_sourceTuple->locations().bibleChapterNameSpellingsForBook(bookTitle, bookSection, true, &m_chapterSections);
    m_chaptersLoadedFor = loadedFor;
    fillPopup(m_chapterPopup, m_chapterNames, m_chapterSections, QStringLiteral("Ch"), false);
}

void StudyPaneBibleGotoViewController::loadVerses(const QString& chapterText, quint32 startSection)
{
    setVerseChapter(chapterText, startSection);
    spellVerses();
    m_versePopup->setCurrentIndex(0);
}

bool StudyPaneBibleGotoViewController::setVerseChapter(const QString& chapterText, quint32 startSection)
{
    // A go-to within the chapter shown keeps its list.
    const QString loadedFor = QStringLiteral("%1\n%2").arg(chapterText).arg(startSection);
    if (loadedFor == m_versesLoadedFor)
        return false;
    forgetVerses();
    m_versesLoadedFor = loadedFor;
    m_versesChapter = chapterText;
    m_versesStart = startSection;
    return true;
}

void StudyPaneBibleGotoViewController::spellVerses()
{
    if (!m_verseNames && !m_versesChapter.isEmpty()) {
        m_verseNames = m_sourceTuple->locations().bibleVerseNameSpellingsForChapter(
            m_versesChapter, m_versesStart, true, &m_verseSections);
    }
    fillPopup(m_versePopup, m_verseNames, m_verseSections, QStringLiteral("Vs"), false);
}

void StudyPaneBibleGotoViewController::forgetVerses()
{
    m_verseNames.reset();
    m_verseSections.clear();
    m_versesLoadedFor.clear();
    m_versesChapter.clear();
    m_versesStart = 0;
}

void StudyPaneBibleGotoViewController::onChapterSelected(int index)
{
    if (!m_sourceTuple || m_chapterPopup == nullptr || index < 0 || index >= m_chapterPopup->count() ||
        tagOf(m_chapterPopup, index) == kPlaceholderTag)
        return;
    m_combo->setEditText(QString());
    const QString title = m_bookPopup->currentText();
    BibleRef ref;
    ref.setLanguage(int(m_sourceTuple->record().bookLanguage));
    const bool parsed =
        ref.parse(title, m_sourceTuple->record().abbr) && ref.mapToTranslation(m_sourceTuple->record().abbr);
    const QString chapterText =
        parsed && ref.isOneChapterBook() ? title : QStringLiteral("%1 %2").arg(title, m_chapterPopup->itemText(index));
    loadVerses(chapterText, quint32(tagOf(m_chapterPopup, index)));
}

void StudyPaneBibleGotoViewController::onVerseSelected(int index)
{
    if (m_versePopup == nullptr || index < 0 || selectedTag(m_versePopup) == kPlaceholderTag)
        return;
    m_combo->setEditText(QString());
    onGoToBCVButton();
}

void StudyPaneBibleGotoViewController::onGoToBCVButton()
{
    if (m_bookPopup == nullptr || selectedTag(m_bookPopup) == kPlaceholderTag ||
        selectedTag(m_chapterPopup) == kPlaceholderTag || selectedTag(m_versePopup) == kPlaceholderTag)
        return;
    // The verse chosen is its own section: gone to as it is, since the names side by side need not
    // read back as that verse ("Psalms 151 151:1", a book of one chapter numbered 151).
    const auto section = quint32(selectedTag(m_versePopup));
    const quint32 key = section != 0 ? m_sourceTuple->locations().keyForSection(section) : 0;
    if (key != 0) {
        goToChosenVerse(section, key);
        return;
    }
    doGoToRefInString(QStringLiteral("%1 %2:%3")
                          .arg(m_bookPopup->currentText(), m_chapterPopup->currentText(), m_versePopup->currentText()));
}

void StudyPaneBibleGotoViewController::comboBoxAction()
{
    m_completeTimer.stop();
    const QString text = m_combo != nullptr ? m_combo->currentText() : QString();
    if (text.isEmpty())
        onGoToBCVButton();
    else
        doGoToRefInString(text);
}

quint32 StudyPaneBibleGotoViewController::sectionForReference(const QString& text, BibleRef& ref) const
{
    if (!m_sourceTuple)
        return 0;
    ref.setLanguage(int(m_sourceTuple->record().bookLanguage));
    if (!ref.parse(text, m_sourceTuple->record().abbr) || !ref.mapToTranslation(m_sourceTuple->record().abbr))
        return 0;
    if (m_sourceTuple->isABible() && !m_sourceTuple->locations().referenceFault(ref).isEmpty())
        return 0;  // no place to go: the caller says why
    quint32 section = m_sourceTuple->isABible() ? m_sourceTuple->locations().sectionForBibleKey(ref.bibleKey())
                                                : m_sourceTuple->locations().sectionForSyncString(text);
    // A chapter named without a verse opens at its heading, its first verse under it.
    if (m_sourceTuple->isABible() && ref.isBookChapterOnly() && section != 0 && section != 0xFFFFFFFF)
        section = m_sourceTuple->locations().chapterHeadingSectionAbove(section);
    return section;
}

void StudyPaneBibleGotoViewController::wakeGoToPane()
{
    // The pane's renderer is woken once in a few seconds of typing, not at every key.
    if (!m_sourceTuple || (m_wokeGoToPane.isValid() && m_wokeGoToPane.elapsed() < kWakeGoToPaneMs))
        return;
    m_wokeGoToPane.start();
    GoToRequest g;
    g.sourceTuple = m_sourceTuple;
    g.prepareOnly = true;
    requestGoTo(std::move(g));
}

void StudyPaneBibleGotoViewController::readyGoTo(const QString& text)
{
    BibleRef ref;
    const quint32 section = m_sourceTuple && !text.trimmed().isEmpty() ? sectionForReference(text, ref) : 0;
    // A book's name alone is no place yet: the next key names its chapter.
    if (section == 0 || section == 0xFFFFFFFF || ref.isBookOnly() || section == m_readiedSection) {
        wakeGoToPane();
        return;
    }
    m_readiedSection = section;
    m_wokeGoToPane.start();  // the pane is woken with it
    GoToRequest g;
    g.section = section;
    g.bibleKey = ref.bibleKey();
    g.sourceTuple = m_sourceTuple;
    g.prepareOnly = true;
    requestGoTo(std::move(g));
}

void StudyPaneBibleGotoViewController::doGoToRefInString(const QString& text)
{
    m_readiedSection = 0;
    BibleRef ref;
    const quint32 section = sectionForReference(text, ref);
    if (section == 0 || section == 0xFFFFFFFF) {
        // A range that ends before it starts, or a chapter past its book's end, is said as such.
        const SourceTupleLocations::ReferenceFault fault = m_sourceTuple && ref.numRanges() > 0
            ? m_sourceTuple->locations().referenceFault(ref)
            : SourceTupleLocations::ReferenceFault {};
        m_env.showToast(fault.isEmpty() ? QStringLiteral("Verse not found (%1).").arg(text)
                                        : fault.description + QLatin1Char(' ') + fault.reason);
        return;
    }
    goToChosenVerse(section, ref.bibleKey());
}

void StudyPaneBibleGotoViewController::postGoTo(quint32 section, quint32 key)
{
    GoToRequest g;
    g.section = section;
    g.sourceTuple = m_sourceTuple;
    g.bibleKey = key;
    g.sync = true;
    requestGoTo(std::move(g));
}

// --- the reference field ---

void StudyPaneBibleGotoViewController::textEdited(const QString&)
{
    if (m_updatingCombo)
        return;
    // Whether this key made the text before the cursor longer (typed forward, not deleted).
    QLineEdit* edit = m_combo->lineEdit();
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    m_typedForward = start > m_typedBefore;
    m_typedBefore = start;
    // The keys of a pasted or quickly typed reference come together: the list follows once they
    // have all been taken.
    m_completeTimer.start();
}

void StudyPaneBibleGotoViewController::completeTyped()
{
    if (m_combo == nullptr)
        return;
    ++m_completions;
    QLineEdit* edit = m_combo->lineEdit();
    const QString text = edit->text();
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const QString prefix = text.left(start);
    const bool typedAtEnd = start == text.size();
    const bool grew = m_typedForward;
    controlTextDidChange(prefix);
    // Inline completion while typing forward at the end: the rest of the first entry that begins with
    // the text is put after it, selected.
    if (typedAtEnd && grew && !prefix.isEmpty()) {
        const QString completed = comboBoxCompletedString(prefix);
        if (completed.size() > prefix.size()) {
            m_updatingCombo = true;
            edit->setText(prefix + completed.mid(prefix.size()));
            edit->setSelection(int(prefix.size()), int(completed.size() - prefix.size()));
            m_updatingCombo = false;
        }
    }
    // The reader is typing a reference (a pasted one with its Return has gone already): the pane the
    // go-to will move is readied for the text as Return would take it.
    readyGoTo(edit->text());
}

void StudyPaneBibleGotoViewController::controlTextDidChange(const QString& prefix)
{
    if (!m_sourceTuple)
        thisSourceIsNowActive(nullptr);
    if (!m_sourceTuple || !m_sourceTuple->docSupports(kDocSupportsIsBible))
        return;
    if (m_comboLoadedFrom && *m_comboLoadedFrom == prefix)
        return;
    const QChar last = prefix.isEmpty() ? QChar() : prefix.back();
    QString trimmed = prefix;
    static const QString kTrim = QStringLiteral(" .:");
    while (!trimmed.isEmpty() && kTrim.contains(trimmed.front()))
        trimmed.remove(0, 1);
    while (!trimmed.isEmpty() && kTrim.contains(trimmed.back()))
        trimmed.chop(1);
    BibleRef ref;
    ref.setLanguage(int(m_sourceTuple->record().bookLanguage));
    const bool parsed = !trimmed.isEmpty() && ref.parse(trimmed, m_sourceTuple->record().abbr) &&
        ref.mapToTranslation(m_sourceTuple->record().abbr);
    auto books = [&] {
        return m_sourceTuple->locations().bibleBookNameSpellingsAbbreviated(kCompletionMask, prefix, nullptr);
    };
    auto chapters = [&] {
        return m_sourceTuple->locations().bibleChapterNameSpellingsForBook(prefix, 0, false, nullptr);
    };
    auto verses = [&] {
        return m_sourceTuple->locations().bibleVerseNameSpellingsForChapter(prefix, 0, false, nullptr);
    };
    QStringList list;
    if (!parsed)
        list = books();
    else if (ref.isBookOnly())
        list = last == QLatin1Char(' ') ? chapters() : books();
    else if (ref.isBookChapterOnly())
        list =
            (last == QLatin1Char(' ') || last == QLatin1Char('.') || last == QLatin1Char(':')) ? verses() : chapters();
    else if (ref.isValid())
        list = verses();
    else
        list = books();
    m_comboStrings = list;
    m_comboLoadedFrom = prefix;
    setComboList(list);
}

void StudyPaneBibleGotoViewController::setComboList(const QStringList& list)
{
    if (m_combo == nullptr)
        return;
    QLineEdit* edit = m_combo->lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    const int selStart = edit->selectionStart();
    const int selLength = int(edit->selectedText().size());
    m_updatingCombo = true;
    {
        const QSignalBlocker block(m_combo);
        m_comboModel->setStringList(list);
        m_combo->setCurrentIndex(-1);
        edit->setText(text);
        if (selStart >= 0 && selLength > 0)
            edit->setSelection(selStart, selLength);
        else
            edit->setCursorPosition(cursor);
    }
    m_updatingCombo = false;
}

int StudyPaneBibleGotoViewController::numberOfItemsInComboBox()
{
    if (!m_comboLoadedFrom)
        controlTextDidChange(QString());
    return m_comboStrings ? int(m_comboStrings->size()) : 0;
}

QString StudyPaneBibleGotoViewController::comboBoxObjectValueForItemAtIndex(int index) const
{
    if (!m_comboStrings)
        return QStringLiteral("Genesis");
    if (index < 0 || index >= m_comboStrings->size())
        return QStringLiteral("Revelation");
    return m_comboStrings->at(index);
}

QString StudyPaneBibleGotoViewController::comboBoxCompletedString(const QString& typed) const
{
    const QString upper = typed.toUpper();
    for (const QString& entry : m_comboStrings.value_or(QStringList())) {
        if (entry.toUpper().startsWith(upper))
            return entry;
    }
    return QString();
}

int StudyPaneBibleGotoViewController::comboBoxIndexOfItemWithStringValue(const QString& text) const
{
    const QStringList list = m_comboStrings.value_or(QStringList());
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].compare(text, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

// --- recent verses ---

namespace {

// A preview shows the verse's words: a Bible's paragraph sign ("¶ For God so loved") is left out.
QString withoutParagraphSigns(QString html)
{
    static const QRegularExpression sign(QStringLiteral("(?:\u00B6|&para;|&#182;|&#[xX][bB]6;)(?:\\s|&nbsp;)*"));
    return html.remove(sign);
}

}  // namespace

void StudyPaneBibleGotoViewController::reloadRecentList()
{
    m_recentReload.stop();
    if (m_recent == nullptr)
        return;
    const QList<quint32> keys = paneState() != nullptr ? paneState()->recentGoToVerseKeys : QList<quint32>();
    if (!m_header)
        m_header = QStringLiteral("Recent Verses - %1").arg(m_sourceTuple ? m_sourceTuple->record().name : QString());
    auto* header = new QTableWidgetItem(*m_header);
    header->setToolTip(ContentTextDocument::plainToolTip(*m_header));
    m_recent->setHorizontalHeaderItem(0, header);
    m_recent->clearContents();
    m_recent->setRowCount(m_sourceTuple ? int(keys.size()) : 0);
    m_recentShown = keys;
    // A row's reference and markup are made once for the Bible and the text settings in use: the
    // list is filled again after every go-to.
    if (m_recentRowsBook != m_sourceTuple.get() || m_recentRows.size() > 256) {
        m_recentRows.clear();
        m_recentRowsBook = m_sourceTuple.get();
    }
    for (int r = 0; r < m_recent->rowCount(); ++r) {
        auto row = m_recentRows.constFind(keys[r]);
        if (row == m_recentRows.constEnd()) {
            BibleRef ref;
            ref.setLanguage(int(m_sourceTuple->record().bookLanguage));
            ref.setBibleKey(keys[r]);
            ref.mapToTranslation(m_sourceTuple->record().abbr);
            const quint32 section = m_sourceTuple->locations().sectionForBibleKey(ref.bibleKey());
            const QString body = section != 0 && section != 0xFFFFFFFF
                ? withoutParagraphSigns(m_sourceTuple->words().htmlSearchResultTextForSection(section, nullptr, 2))
                : QStringLiteral("<p><i>Verse not found in this Bible.</i></p>");
            row = m_recentRows.insert(keys[r], {ref.fullSpelling(), SearchResultPage::page(m_env.defaults, body)});
        }
        auto* item = new QTableWidgetItem(row->first);
        item->setData(BibleVerseTableCellView::HtmlRole, row->second);
        m_recent->setItem(r, 0, item);
    }
}

void StudyPaneBibleGotoViewController::activateRecentRow(int row)
{
    if (m_recent != nullptr) {
        const QSignalBlocker block(m_recent->selectionModel());
        m_recent->clearSelection();
    }
    // The verse of the row as shown (the list follows a go-to a moment later).
    const QList<quint32>& keys = m_recentShown;
    if (!m_sourceTuple || row < 0 || row >= keys.size())
        return;
    BibleRef ref;
    ref.setLanguage(int(m_sourceTuple->record().bookLanguage));
    ref.setBibleKey(keys[row]);
    if (!ref.mapToTranslation(m_sourceTuple->record().abbr) || !ref.isValid())
        return;
    const quint32 section = m_sourceTuple->locations().sectionForBibleKey(ref.bibleKey());
    if (section == 0 || section == 0xFFFFFFFF)
        return;
    goToChosenVerse(section, ref.bibleKey());
}

void StudyPaneBibleGotoViewController::goToChosenVerse(quint32 section, quint32 key)
{
    m_readiedSection = 0;
    emit recentVerseVisited(key, m_sourceTuple->record().abbr);
    postGoTo(section, key);
    m_recentReload.start();
}
