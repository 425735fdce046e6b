// The commands of the main window: each one's stable name (the name it is registered and looked up
// under in the window's ActionRegistry; where the toolbar has an item for it, the toolbar's
// identifier) and its tag (the number the menus' and toolbar's tag tables give it; 0 for the few
// items without one), and the main menus commands are placed in. Used by the objects that perform
// the commands, by the book panes, whose context menus offer the pane commands, and by tests.
// Constants only; any thread.
#pragma once

struct CommandId {
    const char* name;
    int tag;
};

// A top-level menu of the main window, by the name commands are placed in it under.
struct MenuId {
    const char* name;
};

namespace Menus {
inline constexpr MenuId File {"File"};
inline constexpr MenuId Edit {"Edit"};
inline constexpr MenuId View {"View"};
inline constexpr MenuId Panes {"Panes"};
inline constexpr MenuId Go {"Go"};
inline constexpr MenuId Study {"Study"};
inline constexpr MenuId Help {"Help"};
}  // namespace Menus

namespace CommandNames {

// File.
inline constexpr CommandId OpenBook {"OpenBook", 101};
inline constexpr CommandId CloseBook {"CloseBook", 103};
inline constexpr CommandId AboutThisBook {"AboutThisBook", 113};
inline constexpr CommandId CloudLibrary {"CloudLibrary", 109};
inline constexpr CommandId MyOffers {"MyOffers", 115};
inline constexpr CommandId SyncNow {"Cloud Sync", 602};
inline constexpr CommandId Settings {"Settings", 0};
inline constexpr CommandId Quit {"Quit", 0};

// Edit, and the note editor's formats (the four menus are groups: they send nothing).
inline constexpr CommandId Copy {"Copy", 0};
inline constexpr CommandId CopyPassage {"CopyPassage", 209};
inline constexpr CommandId CopyPassageNow {"CopyPassageNow", 223};
inline constexpr CommandId FormatMenu {"FormatMenu", 211};
inline constexpr CommandId FontMenu {"FontMenu", 210};
inline constexpr CommandId Bold {"Bold", 212};
inline constexpr CommandId Italic {"Italic", 213};
inline constexpr CommandId Underline {"Underline", 214};
inline constexpr CommandId ListsMenu {"ListsMenu", 215};
inline constexpr CommandId OrderedList {"OrderedList", 216};
inline constexpr CommandId UnorderedList {"UnorderedList", 217};
inline constexpr CommandId ParagraphStyleMenu {"ParagraphStyleMenu", 218};
inline constexpr CommandId Paragraph {"Paragraph", 219};
inline constexpr CommandId Heading1 {"Heading1", 220};
inline constexpr CommandId Heading2 {"Heading2", 221};
inline constexpr CommandId Heading3 {"Heading3", 222};

// View.
inline constexpr CommandId StudyPanel {"StudyPanel", 404};
inline constexpr CommandId ShowLayoutTabs {"ShowLayoutTabs", 403};
inline constexpr CommandId ToggleStrongs {"ToggleStrongs", 407};
inline constexpr CommandId CycleFootnoteMarker {"CycleFootnoteMarker", 408};
inline constexpr CommandId ToggleLinkPreview {"ToggleLinkPreview", 417};
inline constexpr CommandId DisplaySettings {"DisplaySettings", 405};
inline constexpr CommandId ColorSettings {"ColorSettings", 406};

// Panes and layouts.
inline constexpr CommandId NewPane {"NewPane", 104};
inline constexpr CommandId SplitPaneHorizontally {"SplitPaneHorizontally", 1001};
inline constexpr CommandId SplitPaneVertically {"SplitPaneVertically", 1002};
inline constexpr CommandId ClosePane {"ClosePane", 105};
inline constexpr CommandId MaximizePane {"MaximizePane", 414};
inline constexpr CommandId MaximizeBook {"MaximizeBook", 413};
inline constexpr CommandId NextBookPane {"NextBookPane", 409};
inline constexpr CommandId PreviousBookPane {"PreviousBookPane", 410};
inline constexpr CommandId NextBook {"NextBook", 0};
inline constexpr CommandId PreviousBook {"PreviousBook", 0};
inline constexpr CommandId ScrollPageUp {"ScrollPageUp", 0};
inline constexpr CommandId ScrollLineUp {"ScrollLineUp", 0};
inline constexpr CommandId ScrollLineDown {"ScrollLineDown", 0};
inline constexpr CommandId ScrollPageDown {"ScrollPageDown", 0};
inline constexpr CommandId ToggleBibleSync {"ToggleBibleSync", 415};
inline constexpr CommandId SyncToActiveBible {"SyncToActiveBible", 416};
inline constexpr CommandId NewLayout {"NewLayout", 106};
inline constexpr CommandId RenameLayout {"RenameLayout", 107};
inline constexpr CommandId DeleteLayout {"DeleteLayout", 108};

// Go.
inline constexpr CommandId Back {"Back", 505};
inline constexpr CommandId Forward {"Forward", 506};
inline constexpr CommandId GoTo {"GoTo", 503};
inline constexpr CommandId TodaysReading {"TodaysReading", 702};
inline constexpr CommandId ReadingComplete {"ReadingComplete", 701};

// Study.
inline constexpr CommandId Find {"Find", 501};
inline constexpr CommandId FindInNotes {"FindInNotes", 502};
inline constexpr CommandId Notes {"Notes", 605};
inline constexpr CommandId Bookmarks {"Bookmarks", 607};
inline constexpr CommandId Highlights {"Highlights", 606};
inline constexpr CommandId Journal {"Journal", 609};
inline constexpr CommandId LibrarySearch {"LibrarySearch", 610};
inline constexpr CommandId LibraryNavigator {"LibraryNavigator", 611};
inline constexpr CommandId AutostudyVerse {"AutostudyVerse", 603};
inline constexpr CommandId AutostudyWord {"AutostudyWord", 604};
inline constexpr CommandId AutostudyToday {"AutostudyToday", 608};
inline constexpr CommandId StartSpeaking {"StartSpeaking", 225};
inline constexpr CommandId StopSpeaking {"StopSpeaking", 226};

// Help.
inline constexpr CommandId QuillsteadHelp {"QuillsteadHelp", 901};
inline constexpr CommandId CheckForUpdates {"checkForUpdates", 0};
inline constexpr CommandId AboutQuillstead {"AboutQuillstead", 0};

}  // namespace CommandNames
