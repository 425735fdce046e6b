// The Display page of the settings window: the body font, text size, margins, line height and
// poetry indents, how footnotes and highlights show, and the display check boxes. Every change
// restyles the open book pages. Main thread only.
#pragma once

#include "app/preferences/PreferencesViewController.h"

#include <QStringList>

class DisplayPreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    // The page in the settings window's toolbar.
    static constexpr Identity kIdentity = {
        "DisplayPreferences", "preferences-desktop-font", QT_TRANSLATE_NOOP("PreferencesViewController", "Display")};

    explicit DisplayPreferencesViewController(const Environment& env, QWidget* parent = nullptr);

    QWidget* initialKeyView() const override;
    // The family names the font list offers: families with regular, italic, bold and bold italic faces.
    static QStringList fontFamiliesWithAllFaces();
    // A family name without the " [foundry]" the font database adds when foundries share it.
    static QString plainFamilyName(const QString& family);
    // The installed family that text asked for in `family` is drawn with: the family itself when it
    // is installed, else the one the desktop's font matcher puts in its place.
    static QString familyInPlaceOf(const QString& family);

private:
    void refreshPage() override;
    void rebuildFontMenu();

    QComboBox* m_font = nullptr;
};
