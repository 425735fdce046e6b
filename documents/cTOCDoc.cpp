#include "documents/cTOCDoc.h"

#include <cstdio>

cTOCDoc::cTOCDoc()
{
    kind_ = kKindBook;
}

cTOCDoc::~cTOCDoc()
{
    cTOCDoc::Close();
}

cSourceDoc* cTOCDoc::Clone() const
{
    auto* copy = new cTOCDoc();
    copy->bookDocCopyFrom(*this);
    copy->kind_ = kKindBook;
    return copy;
}

bool cTOCDoc::Open()
{
    if (IsOpen())
        return true;
    if (!cBookDoc::Open())
        return false;
    kind_ = kKindBook;
    return true;
}

void cTOCDoc::Close()
{
    std::fputs("Starting cTOCDoc::Close()\r", stdout);
    std::fflush(stdout);
    if (IsOpen())
        cBookDoc::Close();
}
