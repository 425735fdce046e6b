#include "studypane/subpanes/StudyPaneHighlightsViewController.h"

#include "engine/references/cBibleRef.h"
#include "library/EngineStrings.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/ui/ContentTextDocument.h"
#include "render/cHTMLColor.h"
#include "search/core/BitVector.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/subpanes/StudyPaneBookmarksViewController.h"
#include "studypane/subpanes/StudyPaneSubpanes.h"
#include "userdata/cHighlightColorNameStg.h"
#include "userdata/cVerseHighlightDoc.h"

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

namespace {

using Controller = StudyPaneHighlightsViewController;

const QString kTitle = QStringLiteral("title");
const QString kColorID = QStringLiteral("colorID");
const QString kBgColor = QStringLiteral("bgColor");
const QString kUnderline = QStringLiteral("underlineStyle");

void post(const StudyPaneEnvironment& env, const QString& name, const void* sender)
{
    if (env.center != nullptr)
        env.center->postNotificationName(name, sender);
}

QVariantMap clearPayload(const QString& title)
{
    return {{kTitle, title}, {kColorID, 0u}, {kBgColor, QColor(Qt::transparent)}, {kUnderline, 0}};
}

// A swatch of the item: its background colour, or a line drawn in its underline pattern.
QIcon swatch(const QVariantMap& payload)
{
    QPixmap pixmap(28, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QColor background = payload.value(kBgColor).value<QColor>();
    if (background.alpha() > 0) {
        painter.fillRect(pixmap.rect().adjusted(1, 1, -1, -1), background);
        painter.setPen(QColor(0, 0, 0, 90));
        painter.drawRect(pixmap.rect().adjusted(1, 1, -2, -2));
    }
    const int style = payload.value(kUnderline).toInt();
    if (style != 0) {
        QPen pen(Qt::black, 1.5);
        pen.setStyle(style == Controller::kUnderlineDotted
                ? Qt::DotLine
                : (style == Controller::kUnderlineDashed ? Qt::DashLine : Qt::SolidLine));
        painter.setPen(pen);
        painter.drawLine(2, 11, 26, 11);
    }
    return QIcon(pixmap);
}

QAction* addItem(QMenu* menu, const QVariantMap& payload, const Controller::MenuHandler& onChosen)
{
    QAction* a = menu->addAction(swatch(payload), payload.value(kTitle).toString());
    a->setData(payload);
    if (onChosen)
        QObject::connect(a, &QAction::triggered, menu, [onChosen, payload] { onChosen(payload); });
    return a;
}

}  // namespace

const std::array<quint16, 19>& StudyPaneHighlightsViewController::menuColorValues()
{
    static const std::array<quint16, 19> values {84, 89, 7, 3, 34, 44, 51, 69, 67, 90, 92, 103, 4, 14, 120, 135,
        kHighlightStyleUnderline, kHighlightStyleDottedUnderline, kHighlightStyleDashedUnderline};
    return values;
}

const void* StudyPaneHighlightsViewController::classObject()
{
    static const char tag = 0;
    return &tag;
}

QVariantMap StudyPaneHighlightsViewController::colorMenuPayload(quint16 value)
{
    QVariantMap p = clearPayload(nameForColorValue(value, false));
    p.insert(kColorID, quint32(value));
    if ((value & 0x8000) != 0) {
        int style = kUnderlineSingle;
        if (value == kHighlightStyleDottedUnderline)
            style = kUnderlineDotted;
        else if (value == kHighlightStyleDashedUnderline)
            style = kUnderlineDashed;
        else if (value != kHighlightStyleUnderline)
            style = kUnderlineNone;
        p.insert(kUnderline, style);
    } else if (value < kHighlightColorRowCount) {
        const std::uint32_t rgb = highlightColorTable()[value].rgb;
        p.insert(kBgColor,
            QColor::fromRgbF(float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f,
                float(rgb & 0xFF) / 255.0f, 1.0f));
    }
    return p;
}

void StudyPaneHighlightsViewController::populateColorMenu(QMenu* menu, int options, const MenuHandler& onChosen)
{
    if (menu == nullptr)
        return;
    menu->clear();
    if ((options & kOptionAnyColor) != 0)
        addItem(menu, clearPayload(QStringLiteral("Any Color")), onChosen);
    for (quint16 value : menuColorValues())
        addItem(menu, colorMenuPayload(value), onChosen);
    if ((options & kOptionRemoveHighlight) != 0)
        addItem(menu, clearPayload(QStringLiteral("Remove Highlight")), onChosen);
}

void StudyPaneHighlightsViewController::highlightTheseVerses(
    const StudyPaneEnvironment& env, const QList<quint32>& keys, quint16 color)
{
    cVerseHighlightDoc* doc = cVerseHighlightDoc::verseHighlightDocInstance();
    if (doc == nullptr || keys.isEmpty())
        return;
    for (quint32 key : keys) {
        const cBibleRef reference(key);
        if (color != 0)
            doc->setHighlight(reference, 0, color);
        else
            doc->removeHighlight(reference);
    }
    post(env, PaneNotifications::qsHighlightsHaveChangedNotification, nullptr);
}

QString StudyPaneHighlightsViewController::defaultNameForStyle(quint32 value)
{
    const quint32 difference = value - 0x8002u;
    const quint32 index = (difference >> 1) | (difference << 31);
    switch (index) {
    case 0:
        return QStringLiteral("Bold");
    case 1:
        return QStringLiteral("Italic");
    case 3:
        return QStringLiteral("Underline");
    case 7:
        return QStringLiteral("Dotted Underline");
    case 11:
        return QStringLiteral("Dashed Underline");
    default:
        return QString();
    }
}

QString StudyPaneHighlightsViewController::nameForColorValue(quint16 value, bool noCustomNames)
{
    if (!noCustomNames) {
        cHighlightColorNameStg store;
        cHighlightColorNameRecord record;
        if (store.findColorName(value, false, record))
            return EngineStrings::fromUtf16(record.name);
    }
    if ((value & 0x8000) != 0)
        return defaultNameForStyle(value);
    if (value < kHighlightColorRowCount)
        return QString::fromUtf8(highlightColorTable()[value].name);
    return QString();
}

void StudyPaneHighlightsViewController::renameHighlightColor(
    const StudyPaneEnvironment& env, quint16 value, const QString& currentName, const QString& newName)
{
    cHighlightColorNameStg store;
    cHighlightColorNameRecord record;
    const bool hasRow = store.findColorName(value, false, record);
    const QString current = hasRow ? EngineStrings::fromUtf16(record.name) : currentName;
    if (current == newName)
        return;
    // Blanks and control characters go from both ends.
    qsizetype from = 0;
    qsizetype to = newName.size();
    auto blank = [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; };
    while (from < to && blank(newName[from]))
        ++from;
    while (to > from && blank(newName[to - 1]))
        --to;
    const QString trimmed = newName.mid(from, to - from);
    if (current == trimmed)
        return;
    record.colornum = value;
    record.name = EngineStrings::utf16(trimmed);
    if (hasRow) {
        record.serverid = 0;
        store.writeColorName(record, false, false);
    } else {
        record.clear();
        record.colornum = value;
        record.name = EngineStrings::utf16(trimmed);
        store.addColorName(record, false, false, false);
    }
    post(env, StudyPaneNotifications::qsHighlightColorNamesHaveChangedNotification, classObject());
}

void StudyPaneHighlightsViewController::deleteHighlightColorNameFor(const StudyPaneEnvironment& env, quint16 value)
{
    cHighlightColorNameStg store;
    cHighlightColorNameRecord record;
    if (store.findColorName(value, false, record))
        store.markColorNameDeleted(record, false, false, false);
    post(env, StudyPaneNotifications::qsHighlightColorNamesHaveChangedNotification, classObject());
}

// --- the sub-pane ---

StudyPaneHighlightsViewController::StudyPaneHighlightsViewController(StudyPaneEnvironment env, StudyPaneHost* host)
    : StudyPaneSubpane(std::move(env), host)
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
    m_popup->setToolTip(tr("Highlight colour to list"));
    m_popup->setIconSize(QSize(28, 14));
    m_renameButton = new QToolButton(loadedView());
    m_renameButton->setText(tr("Rename"));
    m_renameButton->setToolTip(tr("Rename the selected colour"));
    m_removeButton = new QToolButton(loadedView());
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
    populateColorMenu(&scratch, kOptionAnyColor, {});
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
    SourceTuple::Ptr candidate = n ? bookFromVariant(n->userInfo.value(QStringLiteral("sourceTuple"))) : nullptr;
    if (!candidate) {
        SourceTuple::Ptr active = StudyPaneSubpanes::activeBook(m_env).book;
        if (active && active->docSupports(SourceTuple::kDocSupportsIsBible()))
            candidate = active;
    }
    if (!candidate && n == nullptr)
        candidate = listedBible();
    if (candidate && !candidate->docSupports(SourceTuple::kDocSupportsIsBible()))
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
    if (book && book->docSupports(SourceTuple::kDocSupportsIsBible()) && s != nullptr)
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
    const QString name = nameForColorValue(value, true);
    const SourceTuple::Ptr bible = listedBible();
    m_list.list(bible, [&bible, &name](BitVector& found) {
        bible->resultsForColorNamed(found, name == QStringLiteral("<default>") ? QStringLiteral("*") : name);
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
    const QString shown = nameForColorValue(value, false);
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
        deleteHighlightColorNameFor(m_env, value);
    else
        renameHighlightColor(m_env, value, shown, *answer);
}

void StudyPaneHighlightsViewController::onRemoveHighlightsButton()
{
    const quint16 value = paneState() != nullptr ? paneState()->highlightPaneSelectedColorEnum : 0;
    Alert alert;
    alert.style = AlertStyle::Warning;
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    if (value != 0) {
        alert.messageText = QStringLiteral("Are you sure you want to remove all highlights in this color?");
        alert.informativeText = QStringLiteral("If you answer 'Yes', you will delete all highlights that use the color "
                                               "called '%1'. This operation cannot be undone.")
                                    .arg(nameForColorValue(value, false));
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
    cVerseHighlightDoc* doc = cVerseHighlightDoc::verseHighlightDocInstance();
    const bool ok = doc != nullptr && doc->deleteHighlightsWithColor(value != 0 ? std::int32_t(value) : -1, false);
    if (m_env.center != nullptr)
        m_env.center->postNotificationName(PaneNotifications::qsHighlightsHaveChangedNotification, this);
    if (!ok) {
        Alert problem;
        problem.messageText = QStringLiteral("There was a problem removing highlights.");
        problem.informativeText =
            QStringLiteral("This is an unusual error. There appears to be a problem accessing the database.");
        problem.buttons = {QStringLiteral("OK")};
        m_env.ask(problem);
    }
}
