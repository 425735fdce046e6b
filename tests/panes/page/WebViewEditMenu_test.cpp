// The reader's own web views other than the book page offer the engine's editing commands on a
// right-click, never its browser commands (Reload would load a note page again over its typing).

#include "panes/page/WebViewEditMenu.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

using TestSupport::waitFor;

TEST(WebViewEditMenu, ARightClickOffersEditingAndNoBrowserCommands)
{
    QWebEngineView view;
    view.resize(500, 300);
    WebViewEditMenu::attach(&view);
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view.setHtml(QStringLiteral("<body style='margin:0'><p id='p' style='height:100px'>Words to copy</p>"
                                "<div id='e' contenteditable='true' style='height:100px'>typed</div></body>"));
    view.show();
    ASSERT_TRUE(waitFor([&] { return loaded; }));
    QWidget* input = view.focusProxy() != nullptr ? view.focusProxy() : &view;
    ASSERT_TRUE(waitFor([&] { return input->isVisible(); }));
    const auto menuAt = [&](const QPoint& at) {
        return TestSupport::readPopupMenu(
            [&] { QTest::mouseClick(input, Qt::RightButton, Qt::NoModifier, at); }, QString(), 3000)
            .titles;
    };
    const QStringList browser {QStringLiteral("Back"), QStringLiteral("Forward"), QStringLiteral("Reload"),
        QStringLiteral("Save page"), QStringLiteral("View page source")};

    // On selected text: Copy, and none of the browser's commands.
    ASSERT_TRUE(TestSupport::runScript(view.page(),
        QStringLiteral("var r=document.createRange();r.selectNodeContents(document.getElementById('p'));"
                       "getSelection().removeAllRanges();getSelection().addRange(r);true"))
                    .has_value());
    QStringList titles = menuAt(QPoint(30, 10));
    EXPECT_TRUE(titles.contains(QStringLiteral("Copy"))) << titles.join(" | ").toStdString();
    for (const QString& command : browser)
        EXPECT_FALSE(titles.contains(command)) << titles.join(" | ").toStdString();

    // In the editable text: Paste among the editing commands.
    titles = menuAt(QPoint(30, 150));
    EXPECT_TRUE(titles.contains(QStringLiteral("Paste"))) << titles.join(" | ").toStdString();
    for (const QString& command : browser)
        EXPECT_FALSE(titles.contains(command)) << titles.join(" | ").toStdString();

    // Below everything, where the engine offers only browser commands: no menu at all.
    ASSERT_TRUE(
        TestSupport::runScript(view.page(), QStringLiteral("getSelection().removeAllRanges();true")).has_value());
    EXPECT_TRUE(menuAt(QPoint(30, 280)).isEmpty());
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("web-view-edit-menu-test");
    return RUN_ALL_TESTS();
}
