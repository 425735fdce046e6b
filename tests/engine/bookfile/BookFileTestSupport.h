// Helpers of the book-file tests: temporary folders, hand-made container bytes, and containers that
// hold one storage's stream for that storage's tests.

#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/bookfile/BkStreamFormat.h"
#include "engine/bookfile/cBkStreamFile.h"
#include "tools/tvkbuild/cTvkContainerWriter.h"

using Bytes = std::vector<uint8_t>;

class TempDir {
public:
    TempDir()
    {
        char templ[] = "/tmp/qs-bookfile-XXXXXX";
        const char* made = mkdtemp(templ);
        m_path = made != nullptr ? made : "/tmp";
    }
    ~TempDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void putLE(Bytes& b, size_t at, uint32_t v)
{
    if (b.size() < at + 4)
        b.resize(at + 4, 0);
    bkPutLE(&b[at], v, 4);
}

inline void putHeader(Bytes& b, size_t at, uint32_t id, uint32_t start, uint32_t length, uint32_t next)
{
    putLE(b, at, id);
    putLE(b, at + 4, start);
    putLE(b, at + 8, length);
    putLE(b, at + 12, next);
}

inline std::string writeTemp(const TempDir& dir, const std::string& name, const Bytes& bytes)
{
    const std::string path = dir.file(name);
    EXPECT_TRUE(tvkWriteFile(path, bytes));
    return path;
}

// A container file holding the given streams (tag -> bytes), opened.
struct StreamFixture {
    TempDir dir;
    cBkStreamFile file;
    std::string path;

    explicit StreamFixture(const std::map<std::string, Bytes>& streams, const std::string& name = "fixture.tvk")
    {
        cTvkContainerWriter w;
        for (const auto& [tag, bytes] : streams)
            w.addStream(bkTag(tag.c_str()), bytes);
        path = writeTemp(dir, name, w.build());
        EXPECT_EQ(0u, file.open(path.c_str()));
    }
};
