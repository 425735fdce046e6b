// What the user-data tests share: a throw-away engine data folder per test, a raw share of the
// connection for looking at the tables, and text helpers.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

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

// Each test runs in its own folder "/tmp/qs-<name>-XXXXXX", set as the engine data folder and removed
// afterwards, when every share of the connection must be closed. The call recorder starts empty.
class UserDataTest : public ::testing::Test {
protected:
    explicit UserDataTest(const char* name) : name_(name) { }

    void SetUp() override
    {
        std::string pattern = "/tmp/qs-" + name_ + "-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        cSQLiteDbBase::setEngineDataFolder(cLString16(folder_.c_str()));
        CallRecorder::shared().clear();
    }
    void TearDown() override
    {
        raw_.close();
        EXPECT_EQ(cSQLiteDbBase::openCount(), 0) << "a test left a share open";
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }

    // Opens the raw share; `fast` turns syncing to disk off (test speed only; the file is thrown away).
    void openRaw(bool fast = false)
    {
        ASSERT_TRUE(raw_.open(raw_.databasePath()));
        if (fast) {
            ASSERT_TRUE(raw_.exec("PRAGMA synchronous = OFF"));
        }
    }
    // Runs `sql` on the raw share, opening it first when needed.
    cSQLRows query(const char* sql)
    {
        if (!raw_.isOpen()) {
            EXPECT_TRUE(raw_.open(raw_.databasePath()));
        }
        cSQLRows rows;
        EXPECT_TRUE(raw_.exec(sql, {}, &rows)) << sql;
        return rows;
    }
    bool run(const char* sql) { return raw_.exec(sql); }

    std::string folder_;
    cSQLiteDbBase raw_;

private:
    std::string name_;
};

// A test of one store, opened by openStore() together with a fast raw share, and closed afterwards.
template <typename Store> class StoreTest : public UserDataTest {
protected:
    using UserDataTest::UserDataTest;
    void TearDown() override
    {
        store_.close();
        UserDataTest::TearDown();
    }
    void openStore()
    {
        ASSERT_TRUE(store_.openOrCreate(cLString16(), true));
        openRaw(true);
        CallRecorder::shared().clear();
    }

    Store store_;
};

}  // namespace qs::userdata::testsupport
