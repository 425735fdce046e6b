// The note editor's format commands: each one enabled by what the editing delegate can do, each
// group by any of its commands, all disabled without a delegate; a command sends its format to the
// delegate that edits when it runs.

#include "app/EditFormatCommands.h"

#include "platform/ui/ActionRegistry.h"
#include "studypane/EditFormatDelegate.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

// Can do the formats it is given; records what it was asked to apply.
class FakeEditor : public EditFormatDelegate {
public:
    explicit FakeEditor(QSet<QString> can) : m_can(std::move(can)) { }
    QStringList applied;

    bool canBold() const override { return m_can.contains(QStringLiteral("Bold")); }
    bool canItalic() const override { return m_can.contains(QStringLiteral("Italic")); }
    bool canUnderline() const override { return m_can.contains(QStringLiteral("Underline")); }
    bool canOrderedList() const override { return m_can.contains(QStringLiteral("OrderedList")); }
    bool canUnorderedList() const override { return m_can.contains(QStringLiteral("UnorderedList")); }
    bool canParagraph() const override { return m_can.contains(QStringLiteral("Paragraph")); }
    bool canHeading1() const override { return m_can.contains(QStringLiteral("Heading1")); }
    bool canHeading2() const override { return m_can.contains(QStringLiteral("Heading2")); }
    bool canHeading3() const override { return m_can.contains(QStringLiteral("Heading3")); }
    void applyBold() override { applied << QStringLiteral("Bold"); }
    void applyItalic() override { applied << QStringLiteral("Italic"); }
    void applyUnderline() override { applied << QStringLiteral("Underline"); }
    void applyOrderedList() override { applied << QStringLiteral("OrderedList"); }
    void applyUnorderedList() override { applied << QStringLiteral("UnorderedList"); }
    void applyParagraph() override { applied << QStringLiteral("Paragraph"); }
    void applyHeading1() override { applied << QStringLiteral("Heading1"); }
    void applyHeading2() override { applied << QStringLiteral("Heading2"); }
    void applyHeading3() override { applied << QStringLiteral("Heading3"); }

private:
    QSet<QString> m_can;
};

const CommandId kFormats[] = {CommandNames::Bold, CommandNames::Italic, CommandNames::Underline,
    CommandNames::OrderedList, CommandNames::UnorderedList, CommandNames::Paragraph, CommandNames::Heading1,
    CommandNames::Heading2, CommandNames::Heading3};
const CommandId kGroups[] = {
    CommandNames::FormatMenu, CommandNames::FontMenu, CommandNames::ListsMenu, CommandNames::ParagraphStyleMenu};

}  // namespace

TEST(EditFormatCommands, EachFormatAndGroupFollowsWhatTheEditorCanDo)
{
    ActionRegistry actions;
    EditFormatRegistry editors;
    EditFormatCommands formats(actions, editors);
    for (const CommandId& id : kFormats)
        ASSERT_NE(actions.action(id), nullptr) << id.name;
    EXPECT_EQ(actions.action(CommandNames::Bold)->data().toInt(), 212);
    EXPECT_EQ(actions.action(CommandNames::Heading3)->text(), QStringLiteral("Heading 3"));
    EXPECT_EQ(actions.action(CommandNames::Bold)->shortcut(), QKeySequence(QKeySequence::Bold));
    EXPECT_EQ(actions.action(CommandNames::ParagraphStyleMenu)->data().toInt(), 218);

    // No editor: everything is disabled and nothing is sent.
    editors.setCurrent(nullptr);
    actions.updateStates();
    for (const CommandId& id : kFormats)
        EXPECT_FALSE(actions.action(id)->isEnabled()) << id.name;
    for (const CommandId& id : kGroups)
        EXPECT_FALSE(actions.action(id)->isEnabled()) << id.name;

    // An editor that can only make lists: the Lists group and Format are enabled, Font and
    // Paragraph Style are not.
    FakeEditor lists({QStringLiteral("OrderedList"), QStringLiteral("UnorderedList")});
    editors.setCurrent(&lists);
    actions.updateStates();
    EXPECT_TRUE(actions.action(CommandNames::ListsMenu)->isEnabled());
    EXPECT_TRUE(actions.action(CommandNames::FormatMenu)->isEnabled());
    EXPECT_FALSE(actions.action(CommandNames::FontMenu)->isEnabled());
    EXPECT_FALSE(actions.action(CommandNames::ParagraphStyleMenu)->isEnabled());
    EXPECT_FALSE(actions.trigger(CommandNames::Bold));
    EXPECT_TRUE(actions.trigger(CommandNames::UnorderedList));
    EXPECT_EQ(lists.applied, QStringList {QStringLiteral("UnorderedList")});

    // Only a heading: Paragraph Style and Format.
    FakeEditor heading({QStringLiteral("Heading2")});
    editors.setCurrent(&heading);
    actions.updateStates();
    EXPECT_TRUE(actions.action(CommandNames::ParagraphStyleMenu)->isEnabled());
    EXPECT_FALSE(actions.action(CommandNames::ListsMenu)->isEnabled());
    EXPECT_TRUE(actions.trigger(CommandNames::Heading2));
    EXPECT_EQ(heading.applied, QStringList {QStringLiteral("Heading2")});

    // The editor stopped after the menu was shown: the stale enabled item sends nothing.
    actions.action(CommandNames::Bold)->setEnabled(true);
    editors.setCurrent(nullptr);
    actions.action(CommandNames::Bold)->trigger();
    EXPECT_EQ(heading.applied.size(), 1);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
