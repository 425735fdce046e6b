// File and folder helpers over POSIX calls. Paths are UTF-8 terminated strings of
// any length. The folder helpers report nothing: each failing step is skipped and
// the next runs; fileExists is the only test. Safe on any thread (a listing belongs
// to one thread).
#pragma once

#include "engine/foundation/cLStringTmpl.h"

// True when stat succeeds on the path (a file or a folder).
bool fileExists(const char* path);

// Removes a file; failures are ignored.
void deleteFile(const char* path);

// Creates the folder and every missing ancestor; each new folder takes the mode of
// its parent (0777 when the parent cannot be read). Existing folders are fine.
void makeFolderPath(const char* path);

// Deletes the folder and everything in it. Symbolic links inside are removed as
// links and never followed, and a path that is itself a link is left alone, so
// nothing outside the tree is touched.
void deleteFolderRecursively(const char* path);

// A folder listing; owned by the caller until closeFolder.
struct cFolderListing;

// Opens a listing of the folder; null on failure.
cFolderListing* openFolder(const char* path);

// Reads entries until one is wanted ("." and ".." never are; folders only with
// includeFolders, anything else only with includeFiles), sets outPath to
// path + "/" + name and answers true. False at the end of the listing or for a null
// listing. A link to a folder counts as a folder.
bool readNextFolderEntry(
    const char* path, cFolderListing* listing, bool includeFolders, bool includeFiles, cLString8& outPath);

// Closes the listing; nothing for null.
void closeFolder(cFolderListing* listing);
