#include "studypane/StudyPaneHighlightsViewController.h"

#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/ui/ContentTextDocument.h"
#include "render/cHTMLColor.h"
#include "search/core/BitVector.h"
#include "studypane/HighlightMenus.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSubpanes.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace HighlightMenus;

// --- the sub-pane ---

StudyPaneHighlightsViewController::StudyPaneHighlightsViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host), m_store(m_env.center, m_env.highlights)
{
    if (m_env.center == nullptr)
        return;
    observe(
        PaneNotifications::ThisSourceIsNowActiveNotification, [this](Notification& n) { thisSourceIsNowActive(&n); });
    observe(PaneNotifications::DisplayPreferencesChangedNotification,
        [this](Notification&) { m_list.show(listedBible()); });
    observe(PaneNotifications::qsHighlightsHaveChangedNotification,
        [this](Notification&) { thisSourceIsNowActive(nullptr); });
    observe(StudyPaneNotifications::qsHighlightColorNamesHaveChangedNotification,
        [this](Notification&) { populateColorMenu(); });
}

StudyPaneHighlightsViewController::~StudyPaneHighlightsViewController()
{
    stopObserving();
}

void StudyPaneHighlightsViewController::viewDidLoad()
{
    populateColorMenu();
    thisSourceIsNowActive(nullptr);
    updateButtons();
}

void StudyPaneHighlightsViewController::loadView()
{
    createView(QStringLiteral("StudyPaneHighlightsView"));
    auto* column = new QVBoxLayout(loadedView());
    column->setContentsMargins(4, 4, 4, 4);
    auto* row = new QHBoxLayout;
    m_popup = new QComboBox(loadedView());
    m_popup->setObjectName(QStringLiteral("colorPopUp"));
    m_popup->setToolTip(tr("Highlight colour to list"));
    m_popup->setIconSize(QSize(28, 14));
    m_renameButton = new QToolButton(loadedView());
    m_renameButton->setObjectName(QStringLiteral("renameColorButton"));
    m_renameButton->setText(tr("Rename"));
    m_renameButton->setToolTip(tr("Rename the selected colour"));
    m_removeButton = new QToolButton(loadedView());
    m_removeButton->setObjectName(QStringLiteral("removeHighlightsButton"));
    m_removeButton->setText(tr("Remove"));
    m_removeButton->setToolTip(tr("Remove the highlights of the selected colour"));
    row->addWidget(m_popup, 1);
    row->addWidget(m_renameButton);
    row->addWidget(m_removeButton);
    column->addLayout(row);
    column->addWidget(m_list.makeTable(loadedView(), this, [this](int r) { activateRow(r); }), 1);

    connect(m_popup, &QComboBox::activated, this, [this](int index) { onColorSelected(index); });
    connect(m_renameButton, &QToolButton::clicked, this, [this] { onRenameHighlightColorButton(); });
    connect(m_removeButton, &QToolButton::clicked, this, [this] { onRemoveHighlightsButton(); });
}

void StudyPaneHighlightsViewController::studyPaneDidActivateSubview()
{
    if (m_popup != nullptr)
        m_popup->setFocus();
}

SourceTuple::Ptr StudyPaneHighlightsViewController::listedBible() const
{
    const StudyPaneRegionContentItemState* s = paneState();
    return s != nullptr ? StudyPaneSubpanes::bookForID(m_env, s->highlightPaneSourceTupleID) : nullptr;
}

void StudyPaneHighlightsViewController::populateColorMenu()
{
    if (m_popup == nullptr)
        return;
    QMenu scratch;
    HighlightMenus::populate(&scratch, m_store, kOptionAnyColor, {});
    const QSignalBlocker block(m_popup);
    m_popup->clear();
    for (QAction* a : scratch.actions())
        m_popup->addItem(a->icon(), a->text(), a->data());
    const quint16 wanted = paneState() != nullptr ? paneState()->highlightPaneSelectedColorEnum : 0;
    int chosen = -1;
    for (int i = 0; i < m_popup->count(); ++i) {
        if (m_popup->itemData(i).toMap().value(kColorID).toUInt() == wanted)
            chosen = i;
    }
    m_popup->setCurrentIndex(chosen);
    updateButtons();
}

void StudyPaneHighlightsViewController::updateButtons()
{
    if (m_renameButton == nullptr)
        return;
    const quint16 value = paneState() != nullptr ? paneState()->highlightPaneSelectedColorEnum : 0;
    m_renameButton->show();
    m_renameButton->setEnabled(value != 0);
}

void StudyPaneHighlightsViewController::thisSourceIsNowActive(const Notification* n)
{
    if (!isLayoutCurrent())
        return;
    SourceTuple::Ptr candidate = StudyPaneSubpanes::notifiedPlace(n).book;
    if (!candidate) {
        SourceTuple::Ptr active = StudyPaneSubpanes::activeBook(m_env).book;
        if (active && active->docSupports(kDocSupportsIsBible))
            candidate = active;
    }
    if (!candidate && n == nullptr)
        candidate = listedBible();
    if (candidate && !candidate->docSupports(kDocSupportsIsBible))
        return;
    StudyPaneRegionContentItemState* s = paneState();
    const std::optional<SourceTupleID> stored = s != nullptr ? s->highlightPaneSourceTupleID : std::nullopt;
    const bool same = candidate ? (stored && candidate->isEqual(*stored)) : !stored.has_value();
    if (!same) {
        if (s != nullptr)
            s->highlightPaneSourceTupleID =
                candidate ? std::optional<SourceTupleID>(candidate->sourceTupleID()) : std::nullopt;
        m_list.resetHeader();
    } else if (n != nullptr) {
        return;
    }
    searchCurrentSourceForColor(s != nullptr ? s->highlightPaneSelectedColorEnum : 0);
}

void StudyPaneHighlightsViewController::onColorSelected(int index)
{
    if (m_popup == nullptr || index < 0 || index >= m_popup->count())
        return;
    const quint16 value = quint16(m_popup->itemData(index).toMap().value(kColorID).toUInt());
    SourceTuple::Ptr book = StudyPaneSubpanes::activeBook(m_env).book;
    StudyPaneRegionContentItemState* s = paneState();
    if (book && book->docSupports(kDocSupportsIsBible) && s != nullptr)
        s->highlightPaneSourceTupleID = book->sourceTupleID();
    else
        book = listedBible();
    if (book)
        searchCurrentSourceForColor(value);
    updateButtons();
}

void StudyPaneHighlightsViewController::searchCurrentSourceForColor(quint16 value)
{
    if (StudyPaneRegionContentItemState* s = paneState())
        s->highlightPaneSelectedColorEnum = value;
    const QString name = m_store.nameForColorValue(value, true);
    const SourceTuple::Ptr bible = listedBible();
    m_list.list(bible, [&bible, &name](BitVector& found) {
        bible->words().resultsForColorNamed(found, name == QStringLiteral("<default>") ? QStringLiteral("*") : name);
    });
}

void StudyPaneHighlightsViewController::activateRow(int row)
{
    const SourceTuple::Ptr bible = listedBible();
    m_list.activate(row, bible, [this, &bible](quint32 section) { goToSection(bible, section); });
}

void StudyPaneHighlightsViewController::onRenameHighlightColorButton()
{
    const quint16 value = paneState() != nullptr ? paneState()->highlightPaneSelectedColorEnum : 0;
    const QString shown = m_store.nameForColorValue(value, false);
    const std::optional<QString> answer =
        m_env.promptForText({{QStringLiteral("title"), QStringLiteral("Rename Highlight Color")},
            {QStringLiteral("prompt"),
                QStringLiteral("Enter a new name for this color below. To reset the color to its default name, clear "
                               "the field and select OK.")},
            {QStringLiteral("default"), shown},
            {QStringLiteral("detailPrompt"),
                QStringLiteral("Color names don't have to be unique but it will be less confusing if they are. "
                               "Changing the name of the color does not change the color itself. It is intended that "
                               "you use names that are descriptive of the reason why you highlight using this "
                               "particular color. ")}});
    if (!answer)
        return;
    if (answer->trimmed().isEmpty())
        m_store.deleteColorName(value);
    else
        m_store.renameColor(value, shown, *answer);
}

void StudyPaneHighlightsViewController::onRemoveHighlightsButton()
{
    const quint16 value = paneState() != nullptr ? paneState()->highlightPaneSelectedColorEnum : 0;
    Alert alert;
    alert.style = AlertStyle::Warning;
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    alert.defaultButton = 1;  // Return keeps the highlights, at both questions
    if (value != 0) {
        alert.messageText = QStringLiteral("Are you sure you want to remove all highlights in this color?");
        alert.informativeText = QStringLiteral("If you answer 'Yes', you will delete all highlights that use the color "
                                               "called '%1'. This operation cannot be undone.")
                                    .arg(m_store.nameForColorValue(value, false));
    } else {
        alert.messageText = QStringLiteral("Are you sure you want to remove ALL your highlights?");
        alert.informativeText = QStringLiteral(
            "If you answer 'Yes', you will remove ALL HIGHLIGHTS in ALL COLORS. This operation cannot be undone.");
    }
    if (m_env.ask(alert) != AlertFirstButtonReturn)
        return;
    alert.messageText = QStringLiteral("LAST CHANCE: %1").arg(alert.messageText);
    if (m_env.ask(alert) != AlertFirstButtonReturn)
        return;
    const bool ok = m_store.removeHighlightsWithColor(value);
    if (!ok) {
        Alert problem;
        problem.messageText = QStringLiteral("There was a problem removing highlights.");
        problem.informativeText =
            QStringLiteral("This is an unusual error. There appears to be a problem accessing the database.");
        problem.buttons = {QStringLiteral("OK")};
        m_env.ask(problem);
    }
}
