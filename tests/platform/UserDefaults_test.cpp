#include "platform/UserDefaults.h"

#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <limits>
#include <thread>
#include <vector>

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("defaults.conf"); }
};

TEST_F(UserDefaultsTest, StringsCoerceToBooleansAsThePlatformDoes)
{
    UserDefaults d(path());
    const std::pair<const char*, bool> cases[] = {
        {"YES", true},
        {"yes", true},
        {"true", true},
        {"T", true},
        {"y", true},
        {"1", true},
        {"  +007", true},
        {"-1", true},
        {"9 lives", true},
        {"NO", false},
        {"false", false},
        {"0", false},
        {"000", false},
        {"", false},
        {"  ", false},
        {"-0", false},
        {"x1", false},
        {"0.5", false},
    };
    for (const auto& [text, expected] : cases) {
        d.setString(QString::fromLatin1(text), "k");
        EXPECT_EQ(d.boolForKey("k"), expected) << text;
    }
    d.setObject(2.5, "k");
    EXPECT_TRUE(d.boolForKey("k"));
    d.setObject(0.0, "k");
    EXPECT_FALSE(d.boolForKey("k"));
    d.setObject(QVariantList {1}, "k");
    EXPECT_FALSE(d.boolForKey("k"));
}

TEST_F(UserDefaultsTest, StringsAndRealsCoerceToNumbers)
{
    UserDefaults d(path());
    const std::pair<const char*, qint64> ints[] = {
        {"12345", 12345},
        {" 42px", 42},
        {"-17", -17},
        {"+8", 8},
        {"1.9", 1},
        {"abc", 0},
        {"", 0},
        {"99999999999999999999", std::numeric_limits<qint64>::max()},
        {"-9223372036854775808", std::numeric_limits<qint64>::min()},
        {"-99999999999999999999", std::numeric_limits<qint64>::min()},
    };
    for (const auto& [text, expected] : ints) {
        d.setString(QString::fromLatin1(text), "n");
        EXPECT_EQ(d.integerForKey("n"), expected) << text;
    }
    const std::pair<const char*, double> reals[] = {
        {"1.5e3x", 1500.0},
        {" -0.25", -0.25},
        {".5", 0.5},
        {"7.", 7.0},
        {"2e", 2.0},
        {"e5", 0.0},
        {"x", 0.0},
    };
    for (const auto& [text, expected] : reals) {
        d.setString(QString::fromLatin1(text), "r");
        EXPECT_EQ(d.doubleForKey("r"), expected) << text;
    }
    d.setDouble(-2.9, "r");
    EXPECT_EQ(d.integerForKey("r"), -2);
    d.setDouble(1e300, "r");
    EXPECT_EQ(d.integerForKey("r"), std::numeric_limits<qint64>::max());
    d.setBool(true, "b");
    EXPECT_EQ(d.integerForKey("b"), 1);
    EXPECT_EQ(d.doubleForKey("b"), 1.0);
    EXPECT_EQ(d.stringForKey("b"), "1");
    d.setInteger(3600000, "i");
    EXPECT_EQ(d.stringForKey("i"), "3600000");
}

TEST_F(UserDefaultsTest, MissingKeysReadAsRegisteredDefaultOrZero)
{
    UserDefaults d(path());
    EXPECT_FALSE(d.boolForKey("none"));
    EXPECT_EQ(d.integerForKey("none"), 0);
    EXPECT_EQ(d.doubleForKey("none"), 0.0);
    EXPECT_TRUE(d.stringForKey("none").isNull());
    EXPECT_FALSE(d.objectForKey("none").isValid());
    EXPECT_TRUE(d.arrayForKey("none").isEmpty());

    d.registerDefaults({{"size", qint64(12)}, {"color", "#0000CC"}, {"on", true}});
    d.registerDefaults({{"size", qint64(14)}});
    EXPECT_EQ(d.integerForKey("size"), 14);
    EXPECT_EQ(d.stringForKey("color"), "#0000CC");
    EXPECT_EQ(d.stringForKey("on"), "1");

    d.setInteger(20, "size");
    EXPECT_EQ(d.integerForKey("size"), 20);
    EXPECT_TRUE(d.hasStoredValue("size"));
    d.setObject(QVariant(), "size");  // an empty value removes the key
    EXPECT_FALSE(d.hasStoredValue("size"));
    EXPECT_EQ(d.integerForKey("size"), 14);
    d.setString(QString(), "color");
    EXPECT_EQ(d.stringForKey("color"), "#0000CC");
    d.setString("", "color");  // an empty string is a value
    EXPECT_TRUE(d.stringForKey("color").isEmpty());
    EXPECT_FALSE(d.stringForKey("color").isNull());
    d.removeObjectForKey("color");
    EXPECT_EQ(d.stringForKey("color"), "#0000CC");
}

TEST_F(UserDefaultsTest, StoredValuesPersistButRegisteredOnesDoNot)
{
    {
        UserDefaults d(path());
        d.registerDefaults({{"registered", "only in memory"}});
        d.setBool(true, "flag");
        d.setInteger(-5, "count");
        d.setDouble(1.2, "lineHeight");
        d.setString("#ff0000", "syncBibleKey:1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
        d.setString("a/b\\c%2F", "odd/key\\with%2Fescapes");
        for (const char* key :
            {"installed.KJV.tvk", "MASPreferences Frame Top Left", "a=b", "[x]", ";c", "#d", "General"})
            d.setString(QString::fromLatin1(key) + " value", QString::fromLatin1(key));
        d.setString("Ἰησοῦς", QString::fromUtf8("ключ"));
        d.setObject(QVariantList {"x", 2}, "list");
        d.setObject(QVariantMap {{"k", "v"}}, "dict");
        d.setObject(QByteArray("\x01\x02", 2), "data");
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults d(path());
    EXPECT_FALSE(d.objectForKey("registered").isValid());
    EXPECT_TRUE(d.boolForKey("flag"));
    EXPECT_EQ(d.integerForKey("count"), -5);
    EXPECT_EQ(d.doubleForKey("lineHeight"), 1.2);
    EXPECT_EQ(d.stringForKey("syncBibleKey:1B4E28BA-2FA1-11D2-883F-0016D3CCA427"), "#ff0000");
    EXPECT_EQ(d.stringForKey("odd/key\\with%2Fescapes"), "a/b\\c%2F");
    EXPECT_EQ(d.arrayForKey("list").size(), 2);
    EXPECT_EQ(d.dictionaryForKey("dict").value("k").toString(), "v");
    EXPECT_EQ(d.dataForKey("data"), QByteArray("\x01\x02", 2));
    EXPECT_TRUE(d.storedKeys().contains("odd/key\\with%2Fescapes"));
    for (const char* key : {"installed.KJV.tvk", "MASPreferences Frame Top Left", "a=b", "[x]", ";c", "#d", "General"})
        EXPECT_EQ(d.stringForKey(QString::fromLatin1(key)), QString::fromLatin1(key) + " value") << key;
    EXPECT_EQ(d.stringForKey(QString::fromUtf8("ключ")), "Ἰησοῦς");
    EXPECT_EQ(d.stringForKey("list"), QString());  // containers have no string form
}

TEST_F(UserDefaultsTest, ChangesReachTheFileAtOnce)
{
    auto fileText = [this] {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    UserDefaults d(path());
    d.setInteger(5, "findProximity");
    EXPECT_TRUE(fileText().contains("findProximity=5"));
    d.removeObjectForKey("findProximity");
    EXPECT_FALSE(fileText().contains("findProximity"));

    // Several at once, each stored as one call would store it; a null string removes its key.
    d.setString("gone soon", "lastWord");
    d.setObjects({{"syncBibleKey", QVariant::fromValue<qint64>(43003016)}, {"wordSync", true}, {"lastWord", QString()},
        {"layoutName", QStringLiteral("Two columns")}});
    const QByteArray text = fileText();
    EXPECT_TRUE(text.contains("syncBibleKey=43003016")) << text.constData();
    EXPECT_TRUE(text.contains("wordSync=1"));
    EXPECT_TRUE(text.contains("layoutName=Two columns"));
    EXPECT_FALSE(text.contains("lastWord"));
    UserDefaults reread(path());
    EXPECT_EQ(reread.integerForKey("syncBibleKey"), 43003016);
    EXPECT_TRUE(reread.boolForKey("wordSync"));
}

TEST_F(UserDefaultsTest, TypedKeysWriteTheSameFileAsTheUntypedCalls)
{
    auto fileText = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QVariantMap offers {{"offer", QVariantList {"a", 2}}};
    const QByteArray frame("\x00\x01geometry", 10);
    const QString untypedPath = dir.filePath("untyped.conf");
    {
        UserDefaults typed(path());
        typed.set(SettingsKeys::StrongsNumbers, false);
        typed.set(SettingsKeys::FindProximity, 7);
        typed.set(SettingsKeys::LineHeight, 1.75);
        typed.set(SettingsKeys::BodyFont, QStringLiteral("Gentium Plus"));
        typed.set(SettingsKeys::MyOffersDictionary, offers);
        typed.set(SettingsKeys::AutostudyResultsWindowFrame, frame);
        typed.set(SettingsKeys::InstalledBook(QStringLiteral("KJV.tvk")), true);
        typed.set(SettingsKeys::PreferencesPaneFrame(QStringLiteral("General")), QStringLiteral("{{0, 0}, {10, 20}}"));
        UserDefaults untyped(untypedPath);
        untyped.setBool(false, "strongsNumbers");
        untyped.setInteger(7, "findProximity");
        untyped.setDouble(1.75, "lineHeight");
        untyped.setString("Gentium Plus", "bodyFont");
        untyped.setObject(offers, "myOffersDictionary");
        untyped.setObject(frame, "AutostudyResultsWindowFrame");
        untyped.setBool(true, "installed.KJV.tvk");
        untyped.setString("{{0, 0}, {10, 20}}", "MASPreferences General Frame");
    }
    ASSERT_FALSE(fileText(path()).isEmpty());
    EXPECT_EQ(fileText(path()), fileText(untypedPath));

    UserDefaults d(path());
    SettingsRegistry::registerDefaultsForAllPreferences(d);
    EXPECT_FALSE(d.value(SettingsKeys::StrongsNumbers));
    EXPECT_EQ(d.value(SettingsKeys::FindProximity), 7);
    EXPECT_EQ(d.value(SettingsKeys::LineHeight), 1.75);
    EXPECT_EQ(d.value(SettingsKeys::BodyFont), "Gentium Plus");
    EXPECT_EQ(d.value(SettingsKeys::MyOffersDictionary), offers);
    EXPECT_EQ(d.value(SettingsKeys::AutostudyResultsWindowFrame), frame);
    EXPECT_TRUE(d.value(SettingsKeys::InstalledBook(QStringLiteral("KJV.tvk"))));
    EXPECT_FALSE(d.value(SettingsKeys::InstalledBook(QStringLiteral("NIV.tvk"))));
    // A key never stored reads as its factory default; removing a key shows the default again, and a
    // null string removes as the untyped setter does.
    EXPECT_EQ(d.value(SettingsKeys::FootnoteStyle), SettingsKeys::FootnoteStyle.factoryDefault);
    d.remove(SettingsKeys::StrongsNumbers);
    EXPECT_FALSE(d.hasStoredValue(SettingsKeys::StrongsNumbers));
    EXPECT_TRUE(d.value(SettingsKeys::StrongsNumbers));
    d.set(SettingsKeys::BodyFont, QString());
    EXPECT_FALSE(d.hasStoredValue(SettingsKeys::BodyFont));
    EXPECT_EQ(d.value(SettingsKeys::BodyFont), "Arial");
}

TEST_F(UserDefaultsTest, RemovingTheDomainClearsEveryStoredValue)
{
    {
        UserDefaults d(path());
        d.registerDefaults({{"autoSyncFreq", qint64(3600000)}});
        d.setInteger(60000, "autoSyncFreq");
        d.setString("someone", "customerID");
        d.removePersistentDomain();
        EXPECT_EQ(d.integerForKey("autoSyncFreq"), 3600000);
        EXPECT_TRUE(d.storedKeys().isEmpty());
    }
    UserDefaults d(path());
    EXPECT_TRUE(d.storedKeys().isEmpty());
}

TEST_F(UserDefaultsTest, StandardInstanceFollowsTheConfigFolder)
{
    // Before anything in this program opens the standard instance.
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    EXPECT_TRUE(UserDefaults::defaultFilePath().startsWith(dir.path()));
    UserDefaults::standardUserDefaults().setInteger(3, "x");
    ASSERT_TRUE(UserDefaults::standardUserDefaults().synchronize());
    EXPECT_TRUE(QFile::exists(UserDefaults::defaultFilePath()));
}

TEST_F(UserDefaultsTest, ConcurrentReadsAndWrites)
{
    UserDefaults d(path());
    d.registerDefaults({{"shared", qint64(1)}});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&d, t] {
            const QString own = QStringLiteral("key%1").arg(t);
            for (int i = 0; i < 40; ++i) {
                d.setInteger(i, own);
                EXPECT_EQ(d.integerForKey(own), i);
                EXPECT_EQ(d.integerForKey("shared"), 1);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(d.storedKeys().size(), 4);
}

}  // namespace

TEST_F(UserDefaultsTest, ADamagedFileIsKeptAsideAndChangesAreStoredAgain)
{
    static const char raw[] = "\x00\x01\x02[General\nwocInRed=1\xff\xfe[[[";
    const QByteArray damaged(raw, sizeof(raw) - 1);
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    {
        UserDefaults d(path());
        d.registerDefaults({{QStringLiteral("baseFontSize"), 16}});
        EXPECT_EQ(d.integerForKey(QStringLiteral("baseFontSize")), 16);
        EXPECT_TRUE(d.storedKeys().isEmpty());
        d.setInteger(12, QStringLiteral("baseFontSize"));
    }
    // The change reached the file, and the damaged file is there as it was.
    UserDefaults again(path());
    EXPECT_EQ(again.integerForKey(QStringLiteral("baseFontSize")), 12);
    QFile aside(path() + QStringLiteral(".damaged"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), damaged);
    // A readable file is left alone.
    EXPECT_TRUE(again.synchronize());
    EXPECT_FALSE(QFile::exists(path() + QStringLiteral(".damaged.damaged")));
}

// Settings kept elsewhere through a link: a link to a settings file is read and written where it
// points and stays a link; a link whose target is missing, a folder, a loop or no settings file is
// refused, named with its target, and neither it nor what it names is ever written (the settings of
// the run are kept apart).
TEST_F(UserDefaultsTest, ALinkInTheFilesPlaceIsHonouredOrRefusedNeverReplaced)
{
    const QString target = dir.filePath(QStringLiteral("elsewhere/settings.conf"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(target).path()));
    {
        UserDefaults seed(target);
        seed.setInteger(14, QStringLiteral("baseFontSize"));
    }
    ASSERT_TRUE(QFile::link(target, path()));
    {
        UserDefaults linked(path());
        EXPECT_TRUE(linked.linkProblem().isEmpty());
        EXPECT_EQ(linked.integerForKey(QStringLiteral("baseFontSize")), 14);
        linked.setInteger(18, QStringLiteral("baseFontSize"));
        EXPECT_EQ(linked.filePath(), path());
    }
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(UserDefaults(target).integerForKey(QStringLiteral("baseFontSize")), 18);
    EXPECT_FALSE(QFile::exists(target + QStringLiteral(".previous")));
    ASSERT_TRUE(QFile::remove(path()));

    const QString missing = dir.filePath(QStringLiteral("unmounted/settings.conf"));
    const QString folder = dir.filePath(QStringLiteral("a-folder"));
    const QString loop = dir.filePath(QStringLiteral("loop"));
    const QString notSettings = dir.filePath(QStringLiteral("picture.png"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::link(path(), loop));
    static const char kPicture[] = "\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR[[[\xff";
    const QByteArray picture(kPicture, sizeof kPicture - 1);
    {
        QFile f(notSettings);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(picture);
    }
    const std::pair<QString, QString> refused[] = {{missing, QStringLiteral("which does not exist")},
        {folder, QStringLiteral("which is a folder")}, {loop, QStringLiteral("which leads round a loop of links")},
        {notSettings, QStringLiteral("which cannot be read as Quillstead's settings")}};
    for (const auto& [to, why] : refused) {
        SCOPED_TRACE(to.toStdString());
        ASSERT_TRUE(QFile::link(to, path()));
        {
            UserDefaults d(path());
            EXPECT_TRUE(d.linkProblem().contains(QStringLiteral("is a link to \"%1\", %2").arg(to, why)))
                << d.linkProblem().toStdString();
            d.registerDefaults({{QStringLiteral("baseFontSize"), 12}});
            EXPECT_EQ(d.integerForKey(QStringLiteral("baseFontSize")), 12);
            // The run keeps its changes in memory.
            d.setInteger(20, QStringLiteral("baseFontSize"));
            EXPECT_EQ(d.integerForKey(QStringLiteral("baseFontSize")), 20);
            EXPECT_TRUE(d.synchronize());
        }
        EXPECT_TRUE(QFileInfo(path()).isSymLink());
        EXPECT_EQ(QFileInfo(path()).symLinkTarget(), QFileInfo(to).absoluteFilePath());
        EXPECT_FALSE(QFileInfo::exists(missing));
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(missing).path()));
        EXPECT_TRUE(QDir(folder).isEmpty());
        QFile f(notSettings);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), picture);
        EXPECT_FALSE(QFile::exists(path() + QStringLiteral(".damaged")));
        ASSERT_TRUE(QFile::remove(path()));
    }
}
