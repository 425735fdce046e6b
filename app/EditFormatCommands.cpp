#include "app/EditFormatCommands.h"

#include "platform/ui/ActionRegistry.h"
#include "studypane/EditFormatDelegate.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

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
    ActionRegistry::MenuPlace place;
    std::initializer_list<const CommandId*> members;
};

// The Format group holds the other three groups, so it is enabled by any of the nine formats.
const Group kGroups[] = {
    {CommandNames::FormatMenu, QT_TRANSLATE_NOOP("EditFormatCommands", "Format"), ActionRegistry::in(Menus::Edit, 2, 0),
        {&CommandNames::Bold, &CommandNames::Italic, &CommandNames::Underline, &CommandNames::OrderedList,
            &CommandNames::UnorderedList, &CommandNames::Paragraph, &CommandNames::Heading1, &CommandNames::Heading2,
            &CommandNames::Heading3}},
    {CommandNames::FontMenu, QT_TRANSLATE_NOOP("EditFormatCommands", "Font"),
        ActionRegistry::in(CommandNames::FormatMenu, 0, 0),
        {&CommandNames::Bold, &CommandNames::Italic, &CommandNames::Underline}},
    {CommandNames::ListsMenu, QT_TRANSLATE_NOOP("EditFormatCommands", "Lists"),
        ActionRegistry::in(CommandNames::FormatMenu, 0, 1), {&CommandNames::OrderedList, &CommandNames::UnorderedList}},
    {CommandNames::ParagraphStyleMenu, QT_TRANSLATE_NOOP("EditFormatCommands", "Paragraph Style"),
        ActionRegistry::in(CommandNames::FormatMenu, 0, 2),
        {&CommandNames::Paragraph, &CommandNames::Heading1, &CommandNames::Heading2, &CommandNames::Heading3}},
};

bool can(const EditFormatDelegate* delegate, const Format& format)
{
    return delegate != nullptr && (delegate->*format.can)();
}

const Format& formatOf(const CommandId* id)
{
    return *std::find_if(std::begin(kFormats), std::end(kFormats), [id](const Format& f) { return &f.id == id; });
}

// A format's place: in its group's submenu, in the group's order.
ActionRegistry::MenuPlace placeOf(const Format& format)
{
    for (const Group& group : kGroups) {
        if (&group.id == &CommandNames::FormatMenu)
            continue;
        int order = 0;
        for (const CommandId* member : group.members) {
            if (member == &format.id)
                return ActionRegistry::in(group.id, 0, order);
            ++order;
        }
    }
    return {};
}

}  // namespace

EditFormatCommands::EditFormatCommands(ActionRegistry& actions, const EditFormatRegistry& delegates)
    : m_delegates(delegates)
{
    for (const Group& group : kGroups)
        actions.add(group.id,
            {.text = tr(group.text),
                .menu = group.place,
                .enabled =
                    [this, &group] {
                        const EditFormatDelegate* delegate = m_delegates.current();
                        return std::any_of(group.members.begin(), group.members.end(),
                            [delegate](const CommandId* member) { return can(delegate, formatOf(member)); });
                    }},
            this);
    for (const Format& format : kFormats)
        actions.add(format.id,
            {.text = tr(format.text),
                .shortcut = QKeySequence(format.shortcut),
                .menu = placeOf(format),
                .enabled = [this, &format] { return can(m_delegates.current(), format); }},
            this, [this, &format] {
                // The editor may have stopped since the menu was shown.
                if (EditFormatDelegate* delegate = m_delegates.current(); can(delegate, format))
                    (delegate->*format.apply)();
            });
}
