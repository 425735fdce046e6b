// HighlightMenus: the colour menu of the highlight commands (a book pane's Highlight menu, the
// highlights sub-pane's colour pop-up): 19 colours and underline styles with their swatches and the
// names a HighlightStore gives them.
//
// Menu payloads (QAction::data(), a QVariantMap): "title", "colorID", "bgColor" (a QColor;
// transparent for styles), "underlineStyle".
//
// Main thread only.
#pragma once

#include "studypane/HighlightStore.h"

#include <QVariantMap>

#include <array>
#include <functional>

class QMenu;

namespace HighlightMenus {

enum MenuOption {
    kOptionAnyColor = 1,         // "Any Color" first
    kOptionRemoveHighlight = 2,  // "Remove Highlight" last
};
// The underline styles of the menu's swatches.
enum UnderlineStyle { kUnderlineNone = 0, kUnderlineSingle = 1, kUnderlineDotted = 257, kUnderlineDashed = 513 };
using MenuHandler = std::function<void(const QVariantMap& payload)>;

inline const QString kTitle = QStringLiteral("title");
inline const QString kColorID = QStringLiteral("colorID");
inline const QString kBgColor = QStringLiteral("bgColor");
inline const QString kUnderline = QStringLiteral("underlineStyle");

// The 19 values the colour menu offers, in menu order.
const std::array<quint16, 19>& menuColorValues();
// The item payload of a value (its name as the menu shows it).
QVariantMap colorMenuPayload(const HighlightStore& store, quint16 value);
// Empties the menu and fills it: "Any Color" (option 1), the 19 values, "Remove Highlight" (option 2).
void populate(QMenu* menu, const HighlightStore& store, int options, const MenuHandler& onChosen);

}  // namespace HighlightMenus
