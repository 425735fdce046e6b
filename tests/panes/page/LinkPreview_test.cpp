// The preview of a note link: the first lines of the user's note it leads to, as plain text (markup,
// pictures and references read as text, never loaded), cut with "…" when the note goes on, and none
// for a note that is gone or shows nothing.
#include <gtest/gtest.h>

#include "panes/page/LinkPreview.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <thread>

namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "link-preview-test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

bool saveBibleNote(cNoteDoc& notes, int book, int chapter, int verse, const char* text)
{
    cBibleNote note;
    note.booknum = book;
    note.chapter = chapter;
    note.verse = verse;
    note.note.assignFromUTF8(text);
    return notes.saveBibleNote(note, false);
}

TEST(LinkPreview, ANoteLinkShowsTheNotesFirstLinesAsPlainText)
{
    ensureApplication();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    cSQLiteDbBase::setEngineDataFolder(cLString16((folder.path() + QLatin1Char('/')).toUtf8().constData()));
    cNoteDoc notes;
    ASSERT_TRUE(notes.openStores(cLString16()));
    const LinkPreview preview({}, {}, [&notes] { return &notes; });
    const auto shown = [&preview](const char* link) {
        return preview.stringForPopupFromHref(QStringLiteral("javascript:href('%1');").arg(QLatin1String(link)));
    };

    ASSERT_TRUE(saveBibleNote(notes, 43, 3, 16,
        "<p><b>Loved</b> &amp; given</p>\n<p><img src=\"/etc/passwd\">whosoever&nbsp;believeth</p>\n"
        "<p>&lt;i&gt;not markup&lt;/i&gt;</p>\n"));
    EXPECT_EQ(shown("note:_043003016000"), QStringLiteral("Loved & given\nwhosoever believeth\n<i>not markup</i>"));

    // A long note: its first lines, then "…".
    std::string longNote;
    for (int i = 1; i <= 20; ++i)
        longNote += "<p>line " + std::to_string(i) + "</p>\n";
    ASSERT_TRUE(saveBibleNote(notes, 1, 1, 1, longNote.c_str()));
    const QString lines = shown("note:_001001001000");
    EXPECT_TRUE(lines.startsWith(QStringLiteral("line 1\nline 2\n"))) << lines.toStdString();
    EXPECT_TRUE(lines.endsWith(QStringLiteral("line 8 \u2026"))) << lines.toStdString();

    // A book section's note.
    cBookNote section;
    section.pubid = 7;
    section.bookid = 12;
    section.edition = 1;
    section.section = 345;
    section.note.assignFromUTF8("<p>On the section</p>");
    ASSERT_TRUE(notes.saveBookNote(section, false));
    EXPECT_TRUE(shown("note:_00007000120013450000000").isNull());  // a section past any book
    EXPECT_EQ(shown("note:_00007000120010000000345"), QStringLiteral("On the section"));

    // While another program holds the database the preview says the note could not be read, never
    // that there is none; once it answers, the note shows again.
    cSQLiteDbBase::setWindowThread();
    cSQLiteDbBase::setLockFaultForTests([](const char*) { return true; });
    EXPECT_EQ(shown("note:_001001001000"),
        QStringLiteral("This note could not be read yet: another program holds the notes database."));
    cSQLiteDbBase::setLockFaultForTests(nullptr);
    cSQLiteDbBase::setWindowThread(std::thread::id());
    EXPECT_EQ(shown("note:_001001001000"), lines);

    // None for a deleted note, an unknown verse, a malformed link, or without the notes.
    ASSERT_TRUE(notes.deleteBibleNoteAtVerse(43, 3, 16));
    EXPECT_TRUE(shown("note:_043003016000").isNull());
    EXPECT_TRUE(shown("note:_043003017000").isNull());
    EXPECT_TRUE(shown("note:_04300301").isNull());
    EXPECT_TRUE(LinkPreview().stringForPopupFromHref(QStringLiteral("note:_001001001000")).isNull());
    notes.Close();
}

}  // namespace
