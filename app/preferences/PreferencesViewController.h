// The page base of the settings window: one subclass per page, each building only its own controls
// and naming itself in the window's toolbar (kIdentity). The base knows no page; SettingsPages lists
// the pages the window shows. The base holds what every page shares: the page's identity, the settings controls made with addField, addBox and
// addPopUp (a field or box writes its key to the user defaults the moment it changes), refresh() that
// brings them up to date from the user defaults, and the display-change broadcast: a display change
// posts DisplayPreferencesChangedNotification (object: the page) so that book pages restyle and the
// other pages refresh; the page that posted does not refresh itself.
//
// Every page works with the environment it is made with: the settings window's centre, user defaults
// and alerts, the library, and the sync services of the account and sync pages.
//
// To add a page: derive from this class, give it a kIdentity, build the controls in the constructor
// with the add* helpers (or as plain widgets the page fills in refreshPage()), and register it in
// SettingsPages.cpp.
//
// The settings window owns its pages. Main thread only.
#pragma once

#include "platform/UserDefaults.h"

#include "panes/environment/WindowEnvironment.h"

#include <QString>
#include <QUrl>
#include <QVector>
#include <QWidget>
#include <functional>
#include <variant>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLayout;
class QLineEdit;
class UserDefaults;

class PreferencesViewController : public QWidget {
    Q_OBJECT
public:
    // What a page is in the window's toolbar: the identifier the window stores the last page and the
    // page's frame under, the theme name of its icon, and its label (translated in this class's context).
    struct Identity {
        const char* identifier;
        const char* icon;
        const char* label;
    };

    // What the account and sync pages ask of the sync engine and the application. syncServicesFor
    // answers from a sync engine, the sync history store and the desktop's URL handler; the
    // application sets syncNow (its Sync Now command); tests replace any of them.
    struct SyncServices {
        std::function<bool()> isSyncing;
        std::function<bool()> hasUnsyncedData;
        std::function<bool()> hasSomeData;
        std::function<void(qint64)> setAutoSyncFreq;
        std::function<void()> syncNow;
        // Writes the sync log page (every recorded sync, newest first); false when it could not.
        std::function<bool(const QString& path)> writeSyncLog;
        // Opens an address with the desktop's application for it; false when the desktop has none.
        std::function<bool(const QUrl&)> openUrl;
        // Shows a page file in the reader's own web window.
        std::function<void(const QUrl&, const QString& title)> showPage;
    };
    // The services of an engine; without one nothing is syncing, there is no data and a frequency
    // goes nowhere.
    static SyncServices syncServicesFor(qs::cloud::SyncManager* engine);

    // What the pages are made with.
    struct Environment {
        WindowEnvironment window;
        SyncServices sync;
        // The window's objects and the services of its sync engine.
        static Environment fromWindow(const WindowEnvironment& window);
    };

    ~PreferencesViewController() override;

    QString identifier() const;
    QString toolbarItemLabel() const;
    QIcon toolbarItemImage() const;
    // The control that takes the focus when the page is shown (null: none).
    virtual QWidget* initialKeyView() const { return nullptr; }
    bool hasResizableWidth() const { return false; }
    bool hasResizableHeight() const { return false; }
    // Writes the settings field being edited; false when the page cannot give up its edit.
    bool commitEditing();

    // Brings every control of the page up to date from the user defaults.
    void refresh();
    void notifyOthersDisplaySettingsChanged();

    // Controls (null when this page has none), for the window and for tests.
    QLineEdit* textField(const QString& key) const;
    QCheckBox* checkBox(const QString& key) const;
    template <typename T> QLineEdit* textField(const SettingKey<T>& key) const { return textField(key.name); }
    template <typename T> QCheckBox* checkBox(const SettingKey<T>& key) const { return checkBox(key.name); }
    // The line beside a size field: its range, or why a typed size was refused.
    QLabel* rangeLabel(const QString& key) const;
    QComboBox* popUp(const QString& name) const;

protected:
    PreferencesViewController(const Environment& env, const Identity& identity, QWidget* parent);
    // Observes what every page follows; called by each page's constructor once its controls exist.
    void finishConstruction();

    // Settings controls bound to their typed keys (the control's object name is the key's name, by
    // which textField and checkBox find it). A size field stores a whole number or a real as its key
    // is typed, and shows its range beside it, there saying why a size outside it was refused. A box
    // stores its key's flag; a box over a key of text stores one of two words. A box that toggles
    // flips the stored value at each click, whatever it showed.
    enum class BoxStores { Choice, Toggle };
    QLineEdit* addField(QFormLayout* form, const QString& label, const SettingKey<qint64>& key);
    QLineEdit* addField(QFormLayout* form, const QString& label, const SettingKey<double>& key);
    QCheckBox* addBox(
        QLayout* layout, const QString& label, const SettingKey<bool>& key, BoxStores stores = BoxStores::Choice);
    QCheckBox* addBox(
        QLayout* layout, const QString& label, const SettingKey<QString>& key, const QString& on, const QString& off);
    // A pop-up found by popUp() under `name`; the page stores its choice itself.
    QComboBox* addPopUp(QFormLayout* form, const QString& label, const QString& name);
    // A pop-up the page lays out itself, found by popUp() like the others.
    void addPopUpControl(QComboBox* popUp) { m_popUps.append(popUp); }

    // The page's own part of refresh(), after the fields and boxes.
    virtual void refreshPage() { }
    // A box's stored value changed to `now` (after the box wrote it).
    virtual void checkBoxDidChange(const QString& key, bool now)
    {
        (void)key;
        (void)now;
    }
    bool isRefreshing() const { return m_refreshing; }
    const Environment& environment() const { return m_env; }
    // The user defaults every page reads and writes.
    UserDefaults& defaults() const { return m_env.window.settings(); }
    SyncServices& syncServices() { return m_env.sync; }
    // An informational alert (the account and sync pages' reports).
    void informational(const QString& message, const QString& informative = QString()) const;

private:
    // A size field and the key it stores.
    struct Field {
        QLineEdit* edit;
        std::variant<SettingKey<qint64>, SettingKey<double>> key;
        QString name() const;
    };
    // A box and the key it stores: a flag, or the word `on` or `off`.
    struct Box {
        QCheckBox* box;
        std::variant<SettingKey<bool>, SettingKey<QString>> key;
        QString on;
        QString off;
        BoxStores stores = BoxStores::Choice;
        QString name() const;
    };
    QLineEdit* addSizeField(QFormLayout* form, const QString& label, const QString& name, bool real);
    QCheckBox* addBoxControl(QLayout* layout, const QString& label, Box box);
    void textFieldDidEndEditing(const Field& field);
    // What a settings field shows: the stored value, a size held to its range.
    QString fieldText(const Field& field) const;
    static QString rangeText(const QString& key);
    // The line beside the field when `typed` is out of its range.
    static QString refusalText(const QString& typed, const QString& key);
    void checkBoxChanged(const Box& box);
    bool isChecked(const Box& box) const;

    Environment m_env;
    Identity m_identity;
    QVector<Field> m_fields;
    QVector<Box> m_boxes;
    QVector<QComboBox*> m_popUps;
    bool m_refreshing = false;
};
