// cTOCDoc: the document of an ordinary book (kind 3), navigated through its contents tree. It adds
// to cBookDoc only its kind and a copy that shares the same book file.
#pragma once

#include "documents/cBookDoc.h"

class cTOCDoc : public cBookDoc {
public:
    cTOCDoc();
    ~cTOCDoc() override;

    cSourceDoc* Clone() const override;
    bool Open() override;
    void Close() override;
};
