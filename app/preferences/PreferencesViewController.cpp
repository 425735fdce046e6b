#include "app/preferences/PreferencesViewController.h"
#include "platform/ui/PlainLabel.h"

#include "app/preferences/AppNotifications.h"
#include "cloud/sync/SyncManager.h"
#include "panes/bookpane/WebViewWindowController.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ContentTextDocument.h"
#include "userdata/cPersistentData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDoubleValidator>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QIntValidator>
#include <QLineEdit>

namespace {

// A size field's validator: what its base takes, and an unfinished entry (an empty field, a lone
// sign or point) as well, so that the edit's end sees it, refuses it with a word and shows the size
// in force again; otherwise the field would be left so while the old size stays in force.
template <class Base> class FieldValidator : public Base {
public:
    using Base::Base;
    QValidator::State validate(QString& input, int& pos) const override
    {
        const QValidator::State state = Base::validate(input, pos);
        return state == QValidator::Intermediate ? QValidator::Acceptable : state;
    }
};

bool notifies(const QString& key)
{
    using namespace SettingsKeys;
    static const QStringList quiet = {VersePopovers.name, SyncBiblesComm.name, SyncDevotionals.name,
        SyncDictionaries.name, MyOffersNotifications.name, AppUpdateAutomatic.name, VoiceScrollText.name};
    return !quiet.contains(key);
}

}  // namespace

PreferencesViewController::PreferencesViewController(const Environment& env, const Identity& identity, QWidget* parent)
    : QWidget(parent), m_env(env), m_identity(identity)
{
    setObjectName(identifier());
}

void PreferencesViewController::finishConstruction()
{
    NotificationCenter& nc = m_env.window.notifications();
    nc.addObserver(this, AppNotifications::MASPreferencesWindowControllerDidChangeViewNotification,
        [this](Notification&) { refresh(); });
    nc.addObserver(this, PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification& n) {
        if (n.object != this)
            refresh();
    });
    refresh();
}

PreferencesViewController::~PreferencesViewController()
{
    m_env.window.notifications().removeObserver(this);
}

QString PreferencesViewController::identifier() const
{
    return QString::fromLatin1(m_identity.identifier);
}
QString PreferencesViewController::toolbarItemLabel() const
{
    return tr(m_identity.label);
}
QIcon PreferencesViewController::toolbarItemImage() const
{
    return QIcon::fromTheme(QString::fromLatin1(m_identity.icon));
}

bool PreferencesViewController::commitEditing()
{
    // Only the settings fields are written; a page's other fields (the account page's) never are.
    for (const Field& f : m_fields)
        if (f.edit->hasFocus())
            textFieldDidEndEditing(f);
    return true;
}

QLineEdit* PreferencesViewController::textField(const QString& key) const
{
    return findChild<QLineEdit*>(key);
}

QCheckBox* PreferencesViewController::checkBox(const QString& key) const
{
    for (const Box& b : m_boxes)
        if (b.name() == key)
            return b.box;
    return nullptr;
}

QString PreferencesViewController::Field::name() const
{
    return std::visit([](const auto& k) { return k.name; }, key);
}

QString PreferencesViewController::Box::name() const
{
    return std::visit([](const auto& k) { return k.name; }, key);
}

QComboBox* PreferencesViewController::popUp(const QString& name) const
{
    for (QComboBox* c : m_popUps)
        if (c->objectName() == name)
            return c;
    return nullptr;
}

// ---- building

QLineEdit* PreferencesViewController::addField(QFormLayout* form, const QString& label, const SettingKey<qint64>& key)
{
    QLineEdit* f = addSizeField(form, label, key.name, false);
    m_fields.append({f, key});
    return f;
}

QLineEdit* PreferencesViewController::addField(QFormLayout* form, const QString& label, const SettingKey<double>& key)
{
    QLineEdit* f = addSizeField(form, label, key.name, true);
    m_fields.append({f, key});
    return f;
}

QLineEdit* PreferencesViewController::addSizeField(
    QFormLayout* form, const QString& label, const QString& key, bool real)
{
    auto* f = new QLineEdit(this);
    f->setObjectName(key);
    // The field keeps its width whatever the line beside it says.
    f->setFixedWidth(80);
    // The validators keep out what is no number; a number outside the size's range reaches the edit's
    // end and is refused there, with a word on why.
    if (real)
        f->setValidator(new FieldValidator<QDoubleValidator>(0.0, 99.0, 2, f));
    else
        f->setValidator(new FieldValidator<QIntValidator>(0, 9999, f));
    const qsizetype index = m_fields.size();
    connect(f, &QLineEdit::editingFinished, this, [this, index] { textFieldDidEndEditing(m_fields.at(index)); });
    if (SettingsRegistry::rangeOf(key)) {
        auto* row = new QHBoxLayout;
        row->addWidget(f);
        auto* hint = new PlainLabel(rangeText(key), this);
        hint->setObjectName(key + QStringLiteral("Range"));
        // The line has room for the longest refusal it may show (the field takes four digits), so
        // that a refusal is read whole and moves nothing.
        hint->setMinimumWidth(hint->fontMetrics().horizontalAdvance(refusalText(QStringLiteral("9999"), key)) + 4);
        row->addWidget(hint, 1);
        f->setToolTip(ContentTextDocument::plainToolTip(rangeText(key)));
        form->addRow(new PlainLabel(label, this), row);
    } else {
        form->addRow(new PlainLabel(label, this), f);
    }
    return f;
}

QString PreferencesViewController::rangeText(const QString& key)
{
    const std::optional<SettingRange> range = SettingsRegistry::rangeOf(key);
    if (!range)
        return QString();
    const QString span = tr("%1 to %2").arg(QString::number(range->minimum), QString::number(range->maximum));
    if (key == SettingsKeys::BaseFontSize.name)
        return tr("%1 points").arg(span);
    if (key == SettingsKeys::LineHeight.name)
        return tr("%1 lines").arg(span);
    return tr("%1 pixels").arg(span);
}

QString PreferencesViewController::refusalText(const QString& typed, const QString& key)
{
    return tr("%1 is out of range: use %2.").arg(typed, rangeText(key));
}

QLabel* PreferencesViewController::rangeLabel(const QString& key) const
{
    return findChild<QLabel*>(key + QStringLiteral("Range"));
}

QCheckBox* PreferencesViewController::addBox(
    QLayout* layout, const QString& label, const SettingKey<bool>& key, BoxStores stores)
{
    return addBoxControl(layout, label, {nullptr, key, QString(), QString(), stores});
}

QCheckBox* PreferencesViewController::addBox(
    QLayout* layout, const QString& label, const SettingKey<QString>& key, const QString& on, const QString& off)
{
    return addBoxControl(layout, label, {nullptr, key, on, off, BoxStores::Choice});
}

QCheckBox* PreferencesViewController::addBoxControl(QLayout* layout, const QString& label, Box box)
{
    auto* b = new QCheckBox(label, this);
    b->setObjectName(box.name());
    box.box = b;
    const qsizetype index = m_boxes.size();
    connect(b, &QCheckBox::clicked, this, [this, index] { checkBoxChanged(m_boxes.at(index)); });
    layout->addWidget(b);
    m_boxes.append(std::move(box));
    return b;
}

QComboBox* PreferencesViewController::addPopUp(QFormLayout* form, const QString& label, const QString& name)
{
    auto* c = new QComboBox(this);
    c->setObjectName(name);
    form->addRow(new PlainLabel(label, this), c);
    m_popUps.append(c);
    return c;
}

// ---- changes

void PreferencesViewController::textFieldDidEndEditing(const Field& field)
{
    if (m_refreshing)
        return;
    const QString key = field.name();
    const bool real = std::holds_alternative<SettingKey<double>>(field.key);
    const QString text = field.edit->text().trimmed();
    bool ok = false;
    const double value = real ? text.toDouble(&ok) : double(text.toLongLong(&ok));
    if (const std::optional<SettingRange> range = SettingsRegistry::rangeOf(key)) {
        QLabel* hint = rangeLabel(key);
        if (!ok || value < range->minimum || value > range->maximum) {
            // Refused: the field shows the size in use again, and the line beside it says why.
            if (hint != nullptr)
                hint->setText(
                    text.isEmpty() ? tr("A size is needed: %1.").arg(rangeText(key)) : refusalText(text, key));
            m_refreshing = true;
            field.edit->setText(fieldText(field));
            m_refreshing = false;
            return;
        }
        if (hint != nullptr)
            hint->setText(rangeText(key));
    }
    if (const auto* integer = std::get_if<SettingKey<qint64>>(&field.key))
        defaults().set(*integer, text.toLongLong());
    else
        defaults().set(std::get<SettingKey<double>>(field.key), ok ? value : 0.0);
    notifyOthersDisplaySettingsChanged();
}

void PreferencesViewController::checkBoxChanged(const Box& box)
{
    const bool on = box.box->isChecked();
    if (const auto* words = std::get_if<SettingKey<QString>>(&box.key)) {
        defaults().set(*words, on ? box.on : box.off);
    } else {
        const SettingKey<bool>& flag = std::get<SettingKey<bool>>(box.key);
        if (box.stores == BoxStores::Toggle) {
            // The stored value is flipped whatever the box showed.
            const bool now = !defaults().value(flag);
            defaults().set(flag, now);
            box.box->setChecked(now);
            checkBoxDidChange(flag.name, now);
        } else {
            defaults().set(flag, on);
            if (flag.name == SettingsKeys::MyOffersNotifications.name && on)
                defaults().set(SettingsKeys::MyOffersIgnored, 0);
        }
    }
    if (notifies(box.name()))
        notifyOthersDisplaySettingsChanged();
}

bool PreferencesViewController::isChecked(const Box& box) const
{
    if (const auto* words = std::get_if<SettingKey<QString>>(&box.key))
        return defaults().value(*words) == box.on;
    return defaults().value(std::get<SettingKey<bool>>(box.key));
}

void PreferencesViewController::notifyOthersDisplaySettingsChanged()
{
    m_env.window.notifications().postNotificationName(PaneNotifications::DisplayPreferencesChangedNotification, this);
}

// ---- refresh

QString PreferencesViewController::fieldText(const Field& field) const
{
    // A size stored out of its range (by an older reader, or edited by hand) shows as the size in use.
    const bool ranged = SettingsRegistry::rangeOf(field.name()).has_value();
    if (const auto* integer = std::get_if<SettingKey<qint64>>(&field.key))
        return QString::number(
            ranged ? SettingsRegistry::clampedInteger(defaults(), *integer) : defaults().value(*integer));
    const SettingKey<double>& real = std::get<SettingKey<double>>(field.key);
    return QString::number(ranged ? SettingsRegistry::clampedDouble(defaults(), real) : defaults().value(real));
}

void PreferencesViewController::refresh()
{
    m_refreshing = true;
    for (const Field& f : m_fields)
        f.edit->setText(fieldText(f));
    for (const Box& b : m_boxes)
        b.box->setChecked(isChecked(b));
    refreshPage();
    m_refreshing = false;
}

// ---- services of the account and sync pages

void PreferencesViewController::informational(const QString& message, const QString& informative) const
{
    Alert alert;
    alert.messageText = message;
    alert.informativeText = informative;
    alert.style = AlertStyle::Informational;
    m_env.window.alert().runModal(alert);
}

PreferencesViewController::Environment PreferencesViewController::Environment::fromWindow(
    const WindowEnvironment& window)
{
    return {window, syncServicesFor(window.sync)};
}

PreferencesViewController::SyncServices PreferencesViewController::syncServicesFor(qs::cloud::SyncManager* engine)
{
    SyncServices s;
    s.isSyncing = [engine] { return engine && engine->itsAllHappening(); };
    s.hasUnsyncedData = [engine] { return engine && engine->userHasUnsyncedData(); };
    s.hasSomeData = [engine] { return engine && engine->userHasSomeData(); };
    s.setAutoSyncFreq = [engine](qint64 ms) {
        if (engine)
            engine->setAutoSyncFreq(ms);
    };
    s.writeSyncLog = [](const QString& path) {
        cPersistentData history;
        if (!history.openOrCreate())
            return false;
        return history.writeSyncLogHtml(QFile::encodeName(path).constData(), nullptr, false, true);
    };
    s.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    s.showPage = [](const QUrl& url, const QString& title) {
        WebViewWindowController::openLocalPage(url.toLocalFile(), title);
    };
    return s;
}
