// Where the customer's password is kept: not in the plain settings file, but in a file of its own
// in the user's private data folder that only the user may read or write (mode 0600), holding the
// password scrambled with the default pad. The file is replaced atomically.
//
// Any thread; calls on the same folder are not serialised against each other.
#pragma once

#include <QString>

namespace qs::cloud {

class CustomerPassword {
public:
    // The file, in `folder` (by default the application's private data folder).
    static QString filePath(const QString& folder = QString());
    static bool store(const QString& password, const QString& folder = QString());
    // The empty text when nothing is kept or the file is not one we wrote.
    static QString load(const QString& folder = QString());
    static void clear(const QString& folder = QString());
};

}  // namespace qs::cloud
