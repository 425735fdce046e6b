// cBkEmbeddedFiles: files carried inside a book ("IMAGES" pictures, "BIBLEREF" reference tables).
// Such a stream holds a whole container (a sub-file) whose streams are the files, found by name.
// Each object has its own container mutex (its sub-file's), taken around each open, copy or read.
// The book file destroys its embedded files before its container.

#pragma once

#include <memory>
#include <string>

#include "engine/bookfile/cBkStreamFile.h"
#include "engine/bookfile/cPlatformMemPtr.h"

class cBkEmbeddedFiles {
public:
    static constexpr uint32_t kCopyChunk = 2048;

    cBkEmbeddedFiles() = default;
    ~cBkEmbeddedFiles();
    cBkEmbeddedFiles(const cBkEmbeddedFiles&) = delete;
    cBkEmbeddedFiles& operator=(const cBkEmbeddedFiles&) = delete;

    // Opens the sub-file held in stream `streamId` of the book's container; 217 without a container.
    uint32_t open(cBkStreamFile* bookContainer, uint32_t streamId);

    // Copies the named file (a " " in the name may stand for "+" in the book) into `folder`, keeping
    // the name as given. An existing file is left alone (0). The copy is written to a temporary file
    // (mode 0644, created exclusively) and renamed into place only when complete; a failed read
    // answers its stream code, a failed write 228, and no partial file is left.
    uint32_t extractToFile(const std::string& name, const std::string& folder);
    uint32_t readIntoMemory(const std::string& name, cPlatformMemPtr& buffer);
    uint32_t extractToFile(const cLString8& name, const cLString8& folder)
    {
        return extractToFile(bkStd(name), bkStd(folder));
    }
    uint32_t readIntoMemory(const cLString8& name, cPlatformMemPtr& buffer)
    {
        return readIntoMemory(bkStd(name), buffer);
    }
    uint32_t extractToFile(const char* name, const char* folder)
    {
        return extractToFile(std::string(name != nullptr ? name : ""), std::string(folder != nullptr ? folder : ""));
    }
    uint32_t readIntoMemory(const char* name, cPlatformMemPtr& buffer)
    {
        return readIntoMemory(std::string(name != nullptr ? name : ""), buffer);
    }

    cBkStreamFile* subFile() const { return m_sub.get(); }

private:
    std::unique_ptr<cBkStreamFile> m_sub;
};
