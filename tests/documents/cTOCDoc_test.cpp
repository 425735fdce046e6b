#include "documents/cTOCDoc.h"

#include <gtest/gtest.h>

#include <memory>

#include "DocTestSupport.h"
#include "engine/bookfile/cBkBookFile.h"

using doctest::folder;
using doctest::str;

namespace {

TEST(TOCDocTest, OpensOnceAndClonesShareTheBook)
{
    const std::string path = folder().write(doctest::contentsBook(), "toc.tvk");
    cTOCDoc doc;
    doctest::openDoc(doc, path);
    EXPECT_EQ(cBookDoc::kKindBook, doc.bookKindFromHeader());
    const size_t files = openBookFileCount();
    EXPECT_TRUE(doc.Open());
    EXPECT_EQ(files, openBookFileCount());
    EXPECT_EQ(1u, doc.bookFile()->referenceCount());

    cRenderParams go;
    go.setOption0008(4);
    ASSERT_EQ(0u, doc.GoTo(go));
    std::unique_ptr<cSourceDoc> clone(doc.Clone());
    ASSERT_NE(nullptr, clone);
    auto* copy = static_cast<cTOCDoc*>(clone.get());
    EXPECT_TRUE(copy->IsOpen());
    EXPECT_EQ(doc.bookFile(), copy->bookFile());
    EXPECT_EQ(2u, doc.bookFile()->referenceCount());
    EXPECT_EQ(345, copy->bookIdentity().book);
    EXPECT_EQ(12, copy->bookIdentity().publisher);
    EXPECT_EQ(4u, copy->currentSection());
    EXPECT_EQ(cBookDoc::kKindBook, copy->bookKindFromHeader());
    clone.reset();
    EXPECT_EQ(1u, doc.bookFile()->referenceCount());

    doc.Close();
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_EQ(files - 1, openBookFileCount());
    std::unique_ptr<cSourceDoc> closedCopy(doc.Clone());
    ASSERT_NE(nullptr, closedCopy);
    EXPECT_FALSE(closedCopy->IsOpen());
}

}  // namespace
