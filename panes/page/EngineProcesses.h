// EngineProcesses: the web engine's processes as the reader starts them, set through its flags
// (QTWEBENGINE_CHROMIUM_FLAGS) before the application object exists.
//
// With its sandbox on, the engine starts two zygote processes, and every renderer is forked from
// one of them. With the sandbox off (--no-sandbox in the flags, or QTWEBENGINE_DISABLE_SANDBOX set)
// the zygotes hold nothing a renderer needs: the reader's one renderer starts from the engine's
// program itself (--no-zygote), and the two processes go with some 10 MB of the tree's memory
// (bench/README.md, "Memory alone"). The renderer is still a process of its own: one that ends is
// survived, and its pages are drawn again.
//
// The engine's processes run the reader's own engine program (quillstead-engine, beside the reader
// or in ../libexec/quillstead), whose renderer hands back the code pages it mapped once it is idle
// (platform/IdlePageTrim.h); QTWEBENGINEPROCESS_PATH, when set, names another.
//
// Flags the user set stay: --no-zygote is added only when the flags name neither it nor
// --single-process. Main thread, once.
#pragma once

#include <QByteArray>
#include <QString>

namespace EngineProcesses {

// Whether the engine's sandbox is off: the flags name --no-sandbox, or QTWEBENGINE_DISABLE_SANDBOX has
// a value other than "0". Pure.
bool sandboxOff(const QByteArray& flags, const QByteArray& disableSandbox);

// The flags with the reader's process settings added where they apply. Pure.
QByteArray withProcessFlags(const QByteArray& flags, const QByteArray& disableSandbox);

// The engine program that goes with the reader program at `readerPath`: quillstead-engine in the
// same folder, else in ../libexec/quillstead; empty when neither exists.
QString engineProgramFor(const QString& readerPath);

// Sets QTWEBENGINE_CHROMIUM_FLAGS to withProcessFlags() of its value, and QTWEBENGINEPROCESS_PATH
// to the reader's engine program when it is unset and the program exists; before the application
// object.
void apply();

}  // namespace EngineProcesses
