// A symbolic link the user put in the place of one of the profile's files (the settings, the screen
// layout, the database) to keep it elsewhere: on another disk, in a synced folder. A link that names
// a regular file is honoured, read and written where it points; one whose target is missing (a disk
// not mounted), a loop of links, a folder or any other non-file is refused, and never removed or
// replaced: the file it stands for may come back, and a new file in its place would hide it.
//
// Stateless; any thread.
#pragma once

#include <QString>

namespace ProfileLink {

// The target of the symbolic link at `path` as the link gives it (a relative one made absolute beside
// the link); empty when `path` is no link.
QString target(const QString& path);

// When `path` is a symbolic link that cannot stand for a file, the clause saying what its target is
// ("which does not exist ..."); empty when `path` is no link or names a regular file.
QString brokenReason(const QString& path);

// The sentence naming the link, its target and `reason`: "\"<path>\" is a link to \"<target>\",
// <reason>."
QString describe(const QString& path, const QString& reason);

// What the user can do about a refused link, for the alerts that tell of one.
QString advice();

}  // namespace ProfileLink
