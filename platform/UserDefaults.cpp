#include "platform/UserDefaults.h"

#include "platform/AppFolders.h"
#include "platform/ProfileLink.h"
#include "platform/SaveFailureAlerts.h"
#include "platform/VariantKinds.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <unistd.h>

namespace {

// QSettings reads "/" as a group separator and "\" as one too; keys keep both characters by
// escaping them (and the escape character) before QSettings sees them.
QString storageKey(const QString& key)
{
    QString out;
    out.reserve(key.size());
    for (QChar c : key) {
        if (c == QLatin1Char('%'))
            out += QStringLiteral("%25");
        else if (c == QLatin1Char('/'))
            out += QStringLiteral("%2F");
        else if (c == QLatin1Char('\\'))
            out += QStringLiteral("%5C");
        else
            out += c;
    }
    return out;
}

QString keyFromStorage(const QString& stored)
{
    QString out = stored;
    out.replace(QStringLiteral("%2F"), QStringLiteral("/"));
    out.replace(QStringLiteral("%5C"), QStringLiteral("\\"));
    out.replace(QStringLiteral("%25"), QStringLiteral("%"));
    return out;
}

qint64 saturatingTruncate(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (d <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(d);
}

qsizetype skipSpace(const QString& s, qsizetype i)
{
    while (i < s.size() && s[i].isSpace())
        ++i;
    return i;
}

bool stringBool(const QString& s)
{
    qsizetype i = skipSpace(s, 0);
    if (i >= s.size())
        return false;
    const QChar c = s[i];
    if (c == QLatin1Char('Y') || c == QLatin1Char('y') || c == QLatin1Char('T') || c == QLatin1Char('t'))
        return true;
    if (c == QLatin1Char('+') || c == QLatin1Char('-'))
        ++i;
    while (i < s.size() && s[i] == QLatin1Char('0'))
        ++i;
    return i < s.size() && s[i] >= QLatin1Char('1') && s[i] <= QLatin1Char('9');
}

qint64 stringInteger(const QString& s)
{
    qsizetype i = skipSpace(s, 0);
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    // Accumulated as a negative number, whose range includes INT64_MIN.
    qint64 value = 0;
    bool overflow = false;
    for (; i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9'); ++i) {
        const int digit = s[i].unicode() - u'0';
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10) {
            overflow = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (overflow)
        return negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    if (negative)
        return value;
    return value == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max() : -value;
}

double stringDouble(const QString& s)
{
    // The longest prefix of the form [sign] digits [. digits] [e [sign] digits], in the C locale.
    const QString t = s.mid(skipSpace(s, 0));
    qsizetype i = 0;
    auto digits = [&] {
        const qsizetype start = i;
        while (i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'))
            ++i;
        return i - start;
    };
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    qsizetype mantissa = digits();
    if (i < t.size() && t[i] == QLatin1Char('.')) {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return 0.0;
    qsizetype end = i;
    if (i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
            ++i;
        if (digits() > 0)
            end = i;
    }
    const QByteArray number = t.left(end).toLatin1();
    return std::strtod(number.constData(), nullptr);
}

// What a failed write of the settings is reported as (a function: the settings are written from
// static destructors too).
QString settingsWhat()
{
    return QStringLiteral("your settings");
}

std::mutex g_standardMutex;
std::shared_ptr<UserDefaults> g_standard;

}  // namespace

UserDefaults::UserDefaults(const QString& filePath)
    : m_filePath(filePath), m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    // A link in the file's place that names no file (a disk not mounted) is refused, as is one naming
    // a file that is no settings file: the settings are kept in memory for this run and the link and
    // what it names are never written.
    if (const QString why = ProfileLink::brokenReason(filePath); !why.isEmpty()) {
        refuseLink(ProfileLink::describe(filePath, why));
        return;
    }
    // A file that cannot be read as settings would never be written again (QSettings refuses to
    // overwrite what it could not read), so every change would be lost. It is kept aside as
    // "<file>.damaged" and the settings start over from the registered defaults. (The file is read
    // on first use: its status is known only after a read.)
    m_settings->contains(QStringLiteral("-"));
    if (m_settings->status() == QSettings::FormatError) {
        m_settings.reset();
        if (QFileInfo(filePath).isSymLink()) {
            refuseLink(
                ProfileLink::describe(filePath, QStringLiteral("which cannot be read as Quillstead's settings")));
            return;
        }
        const QString aside = filePath + QStringLiteral(".damaged");
        QFile::remove(aside);
        if (!QFile::rename(filePath, aside))
            QFile::remove(filePath);
        qWarning("The settings file could not be read; it was kept as %s", qPrintable(aside));
        m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    }
    // QSettings would write pending changes later from an event on its own thread, outside our
    // lock. Without a thread it gets no events; every change is written at once instead.
    m_settings->moveToThread(nullptr);
}

void UserDefaults::refuseLink(const QString& problem)
{
    m_linkProblem = problem;
    qWarning().noquote() << "The settings are not saved this time:" << problem;
    m_scratch = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<QSettings>(
        m_scratch->isValid() ? m_scratch->filePath(QStringLiteral("settings.conf")) : QString(), QSettings::IniFormat);
    m_settings->moveToThread(nullptr);
}

QString UserDefaults::linkProblem() const
{
    std::lock_guard lock(m_mutex);
    return m_linkProblem;
}

UserDefaults::~UserDefaults()
{
    std::lock_guard lock(m_mutex);
    syncKeepingThePreviousFile();
}

void UserDefaults::syncKeepingThePreviousFile()
{
    // Refused at start: the changes stay in this run's scratch file.
    if (!m_linkProblem.isEmpty()) {
        m_settings->sync();
        return;
    }
    // A link whose target went away since (a disk taken out) is not written through either: QSaveFile
    // would make a new file where it pointed, or fail.
    if (const QString why = ProfileLink::brokenReason(m_filePath); !why.isEmpty()) {
        SaveFailureAlerts::reportFailure(settingsWhat(), m_filePath, ProfileLink::describe(m_filePath, why), false);
        return;
    }
    // QSettings writes through a buffered file and renames it into place even when a full disk cut
    // it short. The file it replaces is held under a second name meanwhile (a hard link: no space
    // needed) and put back unless the new one reads back whole: every line ended, every key there.
    // Behind a link the file is where the link points, and is held there.
    const QFileInfo info(m_filePath);
    const QString path = info.isSymLink() ? info.canonicalFilePath() : m_filePath;
    const QString held = path + QStringLiteral(".previous");
    const QByteArray heldName = QFile::encodeName(held);
    ::unlink(heldName.constData());
    const bool holding = ::link(QFile::encodeName(path).constData(), heldName.constData()) == 0;
    m_settings->sync();
    QString problem;
    if (m_settings->status() == QSettings::AccessError)
        problem = QStringLiteral("The settings file could not be written.");
    else if (holding && !isWrittenWhole(path))
        problem = QStringLiteral("The settings file could not be written whole; the disk may be full.");
    if (problem.isEmpty()) {
        if (holding)
            ::unlink(heldName.constData());
        SaveFailureAlerts::reportSuccess(settingsWhat());
        return;
    }
    if (holding)
        std::rename(heldName.constData(), QFile::encodeName(path).constData());
    SaveFailureAlerts::reportFailure(settingsWhat(), m_filePath, problem, holding);
}

bool UserDefaults::isWrittenWhole(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return m_settings->allKeys().isEmpty();
    const QByteArray bytes = file.readAll();
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        return false;
    // One "key=value" line per key (the INI writer escapes line breaks in values and "=" in keys);
    // counted by hand, since no QSettings may be made while the settings are written at exit.
    qsizetype lines = 0;
    for (const QByteArray& line : bytes.split('\n'))
        lines += !line.startsWith('[') && line.contains('=') ? 1 : 0;
    return lines == m_settings->allKeys().size();
}

UserDefaults& UserDefaults::standardUserDefaults()
{
    std::lock_guard lock(g_standardMutex);
    if (!g_standard)
        g_standard = std::make_shared<UserDefaults>(defaultFilePath());
    return *g_standard;
}

QString UserDefaults::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
        AppFolders::bundleIdentifier() + QStringLiteral(".conf");
}

QString UserDefaults::filePath() const
{
    return m_filePath;
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    std::lock_guard lock(m_mutex);
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariantMap UserDefaults::registeredDefaults() const
{
    std::lock_guard lock(m_mutex);
    return m_registered;
}

QVariant UserDefaults::lookup(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    const QVariant stored = m_settings->value(storageKey(key));
    return stored.isValid() ? stored : m_registered.value(key);
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    return lookup(key);
}
QString UserDefaults::stringForKey(const QString& key) const
{
    return stringFromValue(lookup(key));
}
bool UserDefaults::boolForKey(const QString& key) const
{
    return boolFromValue(lookup(key));
}
qint64 UserDefaults::integerForKey(const QString& key) const
{
    return integerFromValue(lookup(key));
}
double UserDefaults::doubleForKey(const QString& key) const
{
    return doubleFromValue(lookup(key));
}
QVariantList UserDefaults::arrayForKey(const QString& key) const
{
    const QVariant v = lookup(key);
    return isArrayVariant(v) ? v.toList() : QVariantList();
}

QVariantMap UserDefaults::dictionaryForKey(const QString& key) const
{
    const QVariant v = lookup(key);
    return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap();
}

QByteArray UserDefaults::dataForKey(const QString& key) const
{
    const QVariant v = lookup(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

bool UserDefaults::hasStoredValue(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_settings->contains(storageKey(key));
}

QStringList UserDefaults::storedKeys() const
{
    std::lock_guard lock(m_mutex);
    QStringList keys;
    for (const QString& k : m_settings->allKeys())
        keys.append(keyFromStorage(k));
    return keys;
}

void UserDefaults::store(const QVariant& value, const QString& key)
{
    const bool remove = !value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isNull());
    if (remove)
        m_settings->remove(storageKey(key));
    else if (value.typeId() == QMetaType::Bool)
        m_settings->setValue(storageKey(key), value.toBool() ? 1 : 0);
    else
        m_settings->setValue(storageKey(key), value);
}

void UserDefaults::setObject(const QVariant& value, const QString& key)
{
    std::lock_guard lock(m_mutex);
    store(value, key);
    syncKeepingThePreviousFile();
}

void UserDefaults::setObjects(const QVariantMap& values)
{
    if (values.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        store(it.value(), it.key());
    syncKeepingThePreviousFile();
}

void UserDefaults::setString(const QString& value, const QString& key)
{
    setObject(value, key);
}
void UserDefaults::setBool(bool value, const QString& key)
{
    setObject(value, key);
}
void UserDefaults::setInteger(qint64 value, const QString& key)
{
    setObject(value, key);
}
void UserDefaults::setDouble(double value, const QString& key)
{
    setObject(value, key);
}
void UserDefaults::removeObjectForKey(const QString& key)
{
    setObject(QVariant(), key);
}

void UserDefaults::removePersistentDomain()
{
    std::lock_guard lock(m_mutex);
    m_settings->clear();
    syncKeepingThePreviousFile();
}

bool UserDefaults::synchronize()
{
    std::lock_guard lock(m_mutex);
    syncKeepingThePreviousFile();
    return m_settings->status() == QSettings::NoError;
}

bool UserDefaults::boolFromValue(const QVariant& v)
{
    const int type = v.typeId();
    if (type == QMetaType::Bool)
        return v.toBool();
    if (isIntegerVariant(v))
        return v.toLongLong() != 0;
    if (isRealVariant(v))
        return v.toDouble() != 0.0;
    if (type == QMetaType::QString)
        return stringBool(v.toString());
    return false;
}

qint64 UserDefaults::integerFromValue(const QVariant& v)
{
    const int type = v.typeId();
    if (type == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    if (type == QMetaType::ULongLong || type == QMetaType::ULong) {
        const quint64 u = v.toULongLong();
        return u > quint64(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max() : qint64(u);
    }
    if (isIntegerVariant(v))
        return v.toLongLong();
    if (isRealVariant(v))
        return saturatingTruncate(v.toDouble());
    if (type == QMetaType::QString)
        return stringInteger(v.toString());
    return 0;
}

double UserDefaults::doubleFromValue(const QVariant& v)
{
    const int type = v.typeId();
    if (type == QMetaType::Bool)
        return v.toBool() ? 1.0 : 0.0;
    if (isIntegerVariant(v) || isRealVariant(v))
        return v.toDouble();
    if (type == QMetaType::QString)
        return stringDouble(v.toString());
    return 0.0;
}

QString UserDefaults::stringFromValue(const QVariant& v)
{
    const int type = v.typeId();
    if (type == QMetaType::QString)
        return v.toString();
    if (type == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (isIntegerVariant(v) || isRealVariant(v))
        return v.toString();
    return QString();
}
