// StartupEnvironment: variables the reader sets for itself while it starts, put back as the user
// had them once what reads them has read them.
//
// Qt's platform plugin and the web engine read some settings from the environment only while they
// start (QT_XCB_GL_INTEGRATION, QTWEBENGINE_CHROMIUM_FLAGS). Every program the reader starts (a
// browser or viewer opened from a link, a file manager) inherits the reader's environment, so a
// value the reader set for itself would reach them too. set() and unset() remember the user's
// value the first time a variable is touched; restore() puts every such variable back as it was
// (set to the same value, or unset), after which the environment is the user's again.
//
// Main thread. set() and unset() before other threads run; restore() may run after the web engine
// has started its threads (glibc keeps the old strings, so a concurrent reader of the environment
// sees one value or the other).
#pragma once

#include <QByteArray>

namespace StartupEnvironment {

// Sets `name` to `value` for the reader's own start.
void set(const char* name, const QByteArray& value);
// Removes `name` for the reader's own start.
void unset(const char* name);
// The user's value of `name` as it was before the reader touched it (the present value when it
// was not touched); null when it was not set.
QByteArray original(const char* name);
// Whether a variable is still to be put back.
bool pending();
// Puts every variable touched back as the user had it.
void restore();

}  // namespace StartupEnvironment
