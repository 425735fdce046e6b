// The Color page of the settings window: the colour schemes, a colour well for each of the ten
// page colours and the bold and underline styles. A well commits half a second after its last
// change (a drag through the colour chooser writes once), and any change makes the scheme the
// custom one with every scheme colour kept under its custom key. Main thread only; the wells commit
// through one-shot timers on the main event loop.
#pragma once

#include "app/preferences/PreferencesViewController.h"

#include <QList>
#include <QPair>
#include <QVariant>

#include <array>

class ColorWell;
class QTimer;

class ColorPreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    // The page in the settings window's toolbar.
    static constexpr Identity kIdentity = {
        "ColorPreferences", "preferences-desktop-color", QT_TRANSLATE_NOOP("PreferencesViewController", "Color")};

    static constexpr int kColorDebounceMs = 500;

    explicit ColorPreferencesViewController(const Environment& env, QWidget* parent = nullptr);
    ~ColorPreferencesViewController() override;

    QWidget* initialKeyView() const override;
    // Writes a colour scheme by its tag (unknown tags are the default scheme, the look of a first
    // start).
    void chooseColorScheme(int tag);
    // Copies the thirteen scheme values to their custom keys.
    void moveCurrentColorsToCustom();

private:
    void refreshPage() override;
    void colorWellChanged(int index);
    void commitColor(int index);
    void rebuildColorSchemeMenu();
    void initializeColorWells();
    // The stored values of the scheme's keys, their custom keys and the scheme tag (an invalid value
    // where nothing is stored).
    QList<QPair<QString, QVariant>> storedSchemeState() const;
    void chooserClosed(int index, bool accepted);

    QComboBox* m_schemes = nullptr;
    std::array<ColorWell*, 10> m_wells {};
    std::array<QTimer*, 10> m_colorTimers {};
    QList<QPair<QString, QVariant>> m_beforeChooser;
};
