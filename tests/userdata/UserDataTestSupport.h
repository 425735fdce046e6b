// What the user-data tests share: a throw-away engine data folder per test, a raw share of the
// connection for looking at the tables, and text helpers.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/CallRecorder.h"
#include "userdata/UserDataHooks.h"
#include "userdata/cSQLiteDbBase.h"

namespace qs::userdata::testsupport {

using qs::userdata::CallRecorder;
using Calls = std::vector<std::string>;
using Table = std::vector<std::vector<std::string>>;

inline std::string text(const cLString8& s)
{
    return std::string(s.chars(), static_cast<std::size_t>(s.length()));
}
inline std::string text(const cLString16& s)
{
    return text(cLString8(s));
}

// The stores' calls upward are recorded in every test of the folder (the program's defaults keep
// nothing).
class RecordCalls : public ::testing::Environment {
public:
    void SetUp() override { CallRecorder::installShared(); }
};
inline ::testing::Environment* const kRecordCalls = ::testing::AddGlobalTestEnvironment(new RecordCalls);

inline Calls takeCalls()
{
    return CallRecorder::shared().takeCalls();
}

inline Table asTable(const cSQLRows& rows)
{
    Table out;
    for (const cSQLRow& row : rows) {
        out.emplace_back();
        for (const cLString8& cell : row)
            out.back().push_back(text(cell));
    }
    return out;
}

// Each test runs in its own folder "qs-<name>-XXXXXX" in $TMPDIR (default /tmp), set as the engine data folder and removed
// afterwards, when every share of the connection must be closed. The call recorder starts empty.
class UserDataTest : public ::testing::Test {
protected:
    explicit UserDataTest(const char* name) : m_name(name) { }

    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/qs-" + m_name + "-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        cSQLiteDbBase::setEngineDataFolder(cLString16(m_folder.c_str()));
        CallRecorder::installShared();
        CallRecorder::shared().clear();
    }
    void TearDown() override
    {
        m_raw.close();
        EXPECT_EQ(cSQLiteDbBase::openCount(), 0) << "a test left a share open";
        std::system(("rm -rf '" + m_folder + "'").c_str());
    }

    // Opens the raw share; `fast` turns syncing to disk off (test speed only; the file is thrown away).
    void openRaw(bool fast = false)
    {
        ASSERT_TRUE(m_raw.open(m_raw.databasePath()));
        if (fast) {
            ASSERT_TRUE(m_raw.exec("PRAGMA synchronous = OFF"));
        }
    }
    // Runs `sql` on the raw share, opening it first when needed.
    cSQLRows query(const char* sql)
    {
        if (!m_raw.isOpen()) {
            EXPECT_TRUE(m_raw.open(m_raw.databasePath()));
        }
        cSQLRows rows;
        EXPECT_TRUE(m_raw.exec(sql, {}, &rows)) << sql;
        return rows;
    }
    bool run(const char* sql) { return m_raw.exec(sql); }

    std::string m_folder;
    cSQLiteDbBase m_raw;

private:
    std::string m_name;
};

// A test of one store, opened by openStore() together with a fast raw share, and closed afterwards.
template <typename Store> class StoreTest : public UserDataTest {
protected:
    using UserDataTest::UserDataTest;
    void TearDown() override
    {
        m_store.close();
        UserDataTest::TearDown();
    }
    void openStore()
    {
        ASSERT_TRUE(m_store.openOrCreate(cLString16(), true));
        openRaw(true);
        CallRecorder::shared().clear();
    }

    Store m_store;
};

}  // namespace qs::userdata::testsupport
