// Shared fixtures of the document tests: a temporary folder that holds compiled books and the
// user-data database, and the sample books of each kind.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "documents/cBookDoc.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "engine/foundation/cLStringTmpl.h"
#include "search/core/cBitVector.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"
#include "userdata/cSQLiteDbBase.h"

namespace doctest {

inline std::string str(const cLString8& s)
{
    return std::string(s.chars(), static_cast<size_t>(s.length()));
}
inline std::string str(const cLString16& s)
{
    cLString8 u;
    u.assignFromUTF16(s);
    return str(u);
}
inline cLString16 wide(const std::string& s)
{
    cLString16 w;
    w.assignFromUTF8(s.c_str());
    return w;
}

// A temporary folder, removed with everything in it; the engine's data folder points into it.
class DocFolder {
public:
    DocFolder()
    {
        char pattern[] = "/tmp/qs-docs-XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        m_path = made != nullptr ? made : "/tmp";
        cSQLiteDbBase::setEngineDataFolder(cLString16(m_path.c_str()));
    }
    ~DocFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    DocFolder(const DocFolder&) = delete;
    DocFolder& operator=(const DocFolder&) = delete;

    std::string write(const cTvkBookBuilder& builder, const std::string& name) const
    {
        const std::string file = m_path + "/" + name;
        std::string error;
        EXPECT_TRUE(builder.writeFile(file, &error)) << error;
        return file;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Opens a document of the given kind on a file.
template <typename Doc> void openDoc(Doc& doc, const std::string& file)
{
    doc.SetPathName(wide(file));
    ASSERT_TRUE(doc.Open()) << file;
}

// An ordinary book: part one with two chapters (the first with a subsection), part two with one.
inline cTvkBookBuilder contentsBook()
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Book;
    b.info.bookName = "Handbook of Trees";
    b.info.abbreviatedTitle = "TREES";
    b.info.publisherId = 12;
    b.info.bookId = 345;
    b.info.edition = 2;
    b.addSection({"Part One", 1, "Oaks and elms grow slowly.", 0});               // 1
    b.addSection({"Chapter A", 2, "The oak is strong. The oak lives long.", 0});  // 2
    b.addSection({"Detail", 3, "Acorns fall from the oak in autumn.", 0});        // 3
    b.addSection({"Chapter B", 2, "Elm wood bends without breaking.", 0});        // 4
    b.addSection({"Part Two", 1, "Willows love water.", 0});                      // 5
    b.addSection({"Chapter C", 2, "A willow by the river bends.", 0});            // 6
    b.addSection({"Chapter D", 2, "Pines stay green in winter.", 0});             // 7
    return b;
}

// The test program's one folder of books and database (made on first use).
inline DocFolder& folder()
{
    static DocFolder f;
    return f;
}

// The set bits of a bit vector (none for null).
inline std::set<std::uint32_t> bits(const cBitVector* v)
{
    std::set<std::uint32_t> out;
    if (v != nullptr)
        for (std::uint32_t i = 0; i < v->size(); ++i)
            if (v->test(i))
                out.insert(i);
    return out;
}

}  // namespace doctest
