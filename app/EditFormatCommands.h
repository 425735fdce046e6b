// EditFormatCommands: the note editor's text formats in the Edit menu (Bold, Italic, Underline, the
// two lists, Paragraph and the three headings, under the Format, Font, Lists and Paragraph Style
// groups). It registers them in the main window's ActionRegistry with their places in the Edit menu
// and their states, and sends each to the registered EditFormatDelegate (the note editor while it
// edits); a command is enabled when the delegate can do it, a group when it can do any of its
// commands, and all are disabled without a delegate.
//
// Owned by the main window controller, which owns the registry too. Main thread only.
#pragma once

#include <QObject>

class ActionRegistry;
class EditFormatRegistry;

class EditFormatCommands : public QObject {
    Q_OBJECT
public:
    EditFormatCommands(ActionRegistry& actions, const EditFormatRegistry& delegates);

private:
    const EditFormatRegistry& m_delegates;
};
