#include "app/EditFormatCommands.h"

#include "platform/ui/ActionRegistry.h"
#include "studypane/EditFormatDelegate.h"

#include <initializer_list>

namespace {

struct Format {
    const CommandId& id;
    const char* text;
    QKeySequence::StandardKey shortcut;
    bool (EditFormatDelegate::*can)() const;
    void (EditFormatDelegate::*apply)();
};

const Format kFormats[] = {
    {CommandNames::Bold, QT_TRANSLATE_NOOP("EditFormatCommands", "Bold"), QKeySequence::Bold,
        &EditFormatDelegate::canBold, &EditFormatDelegate::applyBold},
    {CommandNames::Italic, QT_TRANSLATE_NOOP("EditFormatCommands", "Italic"), QKeySequence::Italic,
        &EditFormatDelegate::canItalic, &EditFormatDelegate::applyItalic},
    {CommandNames::Underline, QT_TRANSLATE_NOOP("EditFormatCommands", "Underline"), QKeySequence::Underline,
        &EditFormatDelegate::canUnderline, &EditFormatDelegate::applyUnderline},
    {CommandNames::OrderedList, QT_TRANSLATE_NOOP("EditFormatCommands", "Numbered List"), QKeySequence::UnknownKey,
        &EditFormatDelegate::canOrderedList, &EditFormatDelegate::applyOrderedList},
    {CommandNames::UnorderedList, QT_TRANSLATE_NOOP("EditFormatCommands", "Bulleted List"), QKeySequence::UnknownKey,
        &EditFormatDelegate::canUnorderedList, &EditFormatDelegate::applyUnorderedList},
    {CommandNames::Paragraph, QT_TRANSLATE_NOOP("EditFormatCommands", "Paragraph"), QKeySequence::UnknownKey,
        &EditFormatDelegate::canParagraph, &EditFormatDelegate::applyParagraph},
    {CommandNames::Heading1, QT_TRANSLATE_NOOP("EditFormatCommands", "Heading 1"), QKeySequence::UnknownKey,
        &EditFormatDelegate::canHeading1, &EditFormatDelegate::applyHeading1},
    {CommandNames::Heading2, QT_TRANSLATE_NOOP("EditFormatCommands", "Heading 2"), QKeySequence::UnknownKey,
        &EditFormatDelegate::canHeading2, &EditFormatDelegate::applyHeading2},
    {CommandNames::Heading3, QT_TRANSLATE_NOOP("EditFormatCommands", "Heading 3"), QKeySequence::UnknownKey,
        &EditFormatDelegate::canHeading3, &EditFormatDelegate::applyHeading3},
};

struct Group {
    const CommandId& id;
    const char* text;
    std::initializer_list<const CommandId*> members;
};

// The Format group holds the other three groups, so it is enabled by any of the nine formats.
const Group kGroups[] = {
    {CommandNames::FormatMenu, QT_TRANSLATE_NOOP("EditFormatCommands", "Format"),
        {&CommandNames::Bold, &CommandNames::Italic, &CommandNames::Underline, &CommandNames::OrderedList,
            &CommandNames::UnorderedList, &CommandNames::Paragraph, &CommandNames::Heading1, &CommandNames::Heading2,
            &CommandNames::Heading3}},
    {CommandNames::FontMenu, QT_TRANSLATE_NOOP("EditFormatCommands", "Font"),
        {&CommandNames::Bold, &CommandNames::Italic, &CommandNames::Underline}},
    {CommandNames::ListsMenu, QT_TRANSLATE_NOOP("EditFormatCommands", "Lists"),
        {&CommandNames::OrderedList, &CommandNames::UnorderedList}},
    {CommandNames::ParagraphStyleMenu, QT_TRANSLATE_NOOP("EditFormatCommands", "Paragraph Style"),
        {&CommandNames::Paragraph, &CommandNames::Heading1, &CommandNames::Heading2, &CommandNames::Heading3}},
};

bool can(const EditFormatDelegate* delegate, const Format& format)
{
    return delegate != nullptr && (delegate->*format.can)();
}

}  // namespace

EditFormatCommands::EditFormatCommands(ActionRegistry& actions, const EditFormatRegistry& delegates)
    : m_actions(actions), m_delegates(delegates)
{
    for (const Group& group : kGroups)
        actions.add(group.id, ActionRegistry::Look {tr(group.text)});
    for (const Format& format : kFormats)
        actions.add(format.id, ActionRegistry::Look {tr(format.text), {}, QKeySequence(format.shortcut)}, this,
            [this, &format] {
                // The editor may have stopped since the menu was shown.
                if (EditFormatDelegate* delegate = m_delegates.current(); can(delegate, format))
                    (delegate->*format.apply)();
            });
    connect(&actions, &ActionRegistry::statesNeeded, this, &EditFormatCommands::updateActionStates);
}

void EditFormatCommands::updateActionStates()
{
    QHash<const CommandId*, bool> enabled;
    for (const Format& format : kFormats) {
        enabled.insert(&format.id, can(m_delegates.current(), format));
        m_actions.action(format.id)->setEnabled(enabled.value(&format.id));
    }
    for (const Group& group : kGroups) {
        bool any = false;
        for (const CommandId* member : group.members)
            any = any || enabled.value(member);
        m_actions.action(group.id)->setEnabled(any);
    }
}
