#include "documents/cTOCDoc.h"

#include "engine/foundation/cMsgBox.h"

cTOCDoc::cTOCDoc()
{
    m_kind = kKindBook;
}

cTOCDoc::~cTOCDoc()
{
    cTOCDoc::Close();
}

cSourceDoc* cTOCDoc::Clone() const
{
    auto* copy = new cTOCDoc();
    copy->bookDocCopyFrom(*this);
    copy->m_kind = kKindBook;
    return copy;
}

bool cTOCDoc::Open()
{
    if (IsOpen())
        return true;
    if (!cBookDoc::Open())
        return false;
    m_kind = kKindBook;
    return true;
}

void cTOCDoc::Close()
{
    cMsgBox::trace("Starting cTOCDoc::Close()");
    if (IsOpen())
        cBookDoc::Close();
}
