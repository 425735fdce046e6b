#include "app/preferences/DisplayPreferencesViewController.h"

#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ContentTextDocument.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QVBoxLayout>

#include <variant>

namespace {

QString firstWord(const QString& title)
{
    return title.section(QLatin1Char(' '), 0, 0);
}

// The pop-ups that store the first word of their choice, with their keys.
const std::pair<const char*, const SettingKey<QString>*> kWordPopUps[2] = {
    {"footnotePopUpButton", &SettingsKeys::FootnoteStyle},
    {"highlightStylePopUpButton", &SettingsKeys::HighlightStyle},
};

// The settings the page edits in text fields and in check boxes, (label, key) in page order.
const std::pair<const char*, std::variant<const Setting<qint64>*, const Setting<double>*>> kFields[6] = {
    {"Text size:", &SettingsKeys::BaseFontSize},
    {"Left margin:", &SettingsKeys::LeftMargin},
    {"Right margin:", &SettingsKeys::RightMargin},
    {"Line height:", &SettingsKeys::LineHeight},
    {"Poetry indent, left:", &SettingsKeys::PoetryLeft},
    {"Poetry indent, right:", &SettingsKeys::PoetryRight},
};
const std::pair<const char*, const SettingKey<bool>*> kBoxes[9] = {
    {"Indent poetry", &SettingsKeys::IndentPoetry},
    {"Show Strong's numbers", &SettingsKeys::StrongsNumbers},
    {"Words of Christ in red", &SettingsKeys::WocInRed},
    {"One verse per paragraph", &SettingsKeys::OneVersePerParagraph},
    {"Hide verse numbers", &SettingsKeys::HideVerseNumbers},
    {"Show verse numbers in paraphrases", &SettingsKeys::ShowMsgVerses},
    {"Show verse previews in pop-overs", &SettingsKeys::VersePopovers},
    {"Hide links to my notes", &SettingsKeys::HideNoteLinks},
    {"Highlight the linked passage", &SettingsKeys::HighlightLinkedPassage},
};

}  // namespace

DisplayPreferencesViewController::DisplayPreferencesViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* form = new QFormLayout;
    m_font = addPopUp(form, tr("Font:"), QStringLiteral("fontPopUpButton"));
    m_font->setMinimumWidth(220);
    connect(m_font, &QComboBox::activated, this, [this] {
        if (m_font->currentIndex() < 0)
            return;
        defaults().set(SettingsKeys::BodyFont, m_font->currentText());
        notifyOthersDisplaySettingsChanged();
    });
    for (auto [label, key] : kFields)
        std::visit([&](const auto* typed) { addField(form, tr(label), *typed); }, key);
    QComboBox* footnotes = addPopUp(form, tr("Footnotes:"), QStringLiteral("footnotePopUpButton"));
    footnotes->addItems({tr("Collapse footnotes"), tr("Expand footnotes"), tr("Hide footnotes")});
    QComboBox* highlights = addPopUp(form, tr("Highlights:"), QStringLiteral("highlightStylePopUpButton"));
    highlights->addItems({tr("Show highlights"), tr("Verse highlights (whole verses)"), tr("Hide highlights")});
    for (auto [name, key] : kWordPopUps) {
        QComboBox* combo = popUp(QString::fromLatin1(name));
        connect(combo, &QComboBox::activated, this, [this, combo, key = key] {
            defaults().set(*key, firstWord(combo->currentText()));
            notifyOthersDisplaySettingsChanged();
        });
    }
    left->addLayout(form);
    left->addStretch(1);
    top->addLayout(left);
    auto* right = new QVBoxLayout;
    for (auto [label, key] : kBoxes)
        addBox(right, tr(label), *key);
    right->addStretch(1);
    top->addLayout(right);
    finishConstruction();
}

QWidget* DisplayPreferencesViewController::initialKeyView() const
{
    return m_font;
}

QString DisplayPreferencesViewController::plainFamilyName(const QString& family)
{
    // The font database names a family that several foundries supply "Family [foundry]"; the
    // page's style sheet and the font matcher want the family alone.
    if (family.endsWith(QLatin1Char(']'))) {
        const qsizetype open = family.lastIndexOf(QStringLiteral(" ["));
        if (open > 0)
            return family.left(open);
    }
    return family;
}

QStringList DisplayPreferencesViewController::fontFamiliesWithAllFaces()
{
    // Faces are pooled over every foundry's version of a family; each family is listed once.
    enum Face { Regular = 1, Italic = 2, Bold = 4, BoldItalic = 8, All = 15 };
    QStringList order;
    QHash<QString, int> faces;
    for (const QString& family : QFontDatabase::families()) {
        const QString plain = plainFamilyName(family);
        if (!faces.contains(plain))
            order << plain;
        int& found = faces[plain];
        for (const QString& style : QFontDatabase::styles(family)) {
            const int weight = QFontDatabase::weight(family, style);
            const bool it = QFontDatabase::italic(family, style);
            const bool isBold = QFontDatabase::bold(family, style) || weight >= QFont::Bold;
            if (!it && weight == QFont::Normal)
                found |= Regular;
            else if (it && !isBold)
                found |= Italic;
            else if (!it && isBold)
                found |= Bold;
            else if (it && isBold)
                found |= BoldItalic;
        }
    }
    QStringList out;
    for (const QString& family : order)
        if (faces.value(family) == All)
            out << family;
    return out;
}

void DisplayPreferencesViewController::refreshPage()
{
    UserDefaults& d = defaults();
    for (auto [name, key] : kWordPopUps) {
        QComboBox* combo = popUp(QString::fromLatin1(name));
        const QString word = d.value(*key);
        for (int i = 0; i < combo->count(); ++i)
            if (!word.isEmpty() && combo->itemText(i).startsWith(word))
                combo->setCurrentIndex(i);
    }
    rebuildFontMenu();
}

void DisplayPreferencesViewController::rebuildFontMenu()
{
    const QString current = plainFamilyName(defaults().value(SettingsKeys::BodyFont));
    m_font->clear();
    for (const QString& family : fontFamiliesWithAllFaces()) {
        m_font->addItem(family);
        QFont face(family);
        face.setPointSize(11);
        m_font->setItemData(m_font->count() - 1, face, Qt::FontRole);
    }
    m_font->setCurrentIndex(m_font->findText(current));
    m_font->setToolTip(QString());
    if (m_font->currentIndex() >= 0 || current.isEmpty())
        return;
    // A family that is not installed: the page draws with the family the font matcher puts in its
    // place (Liberation Sans for Arial), and the list shows that one. The stored name stays as it is.
    const QString used = familyInPlaceOf(current);
    m_font->setCurrentIndex(m_font->findText(used));
    m_font->setPlaceholderText(tr("%1 (in place of %2)").arg(used, current));
    m_font->setToolTip(ContentTextDocument::plainToolTip(
        tr("%1 is not installed; the page shows %2 in its place.").arg(current, used)));
}

QString DisplayPreferencesViewController::familyInPlaceOf(const QString& family)
{
    QFont asked(family);
    asked.setStyleHint(QFont::Serif);
    return plainFamilyName(QFontInfo(asked).family());
}
