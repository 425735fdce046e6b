// Rich text of book and user content loads no local file; alerts and tool tips show such text as
// written.

#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/ResourceWatch.h"
#include "platform/ui/WidgetAlerts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QUrl>

#include <optional>

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "ContentTextDocument_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Kept to the end of the process: destroyed among the exit handlers, after Qt's own statics, it
    // would take down the input devices a key event created.
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

QByteArray png(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A picture of 40 by 30 pixels for documents to name, and a watch on it.
class WatchedPicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(png(40, 30));
        file.close();
        m_watch.emplace(path);
        ASSERT_TRUE(m_watch->valid());
    }
    // Whether the picture was opened or read since the last call.
    bool touched() { return m_watch->touched(); }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("watched.png"));

private:
    std::optional<ResourceWatch> m_watch;
};

// Lays the document out and draws it, as a list cell does.
void draw(QTextDocument& doc)
{
    doc.setTextWidth(300);
    QImage target(300, 300, QImage::Format_RGB32);
    QPainter painter(&target);
    doc.drawContents(&painter);
}

TEST_F(WatchedPicture, NamedLocalFilesAreNeverOpenedDataImagesLoad)
{
    const QString url = QUrl::fromLocalFile(path).toString();
    const QStringList hostile = {
        QStringLiteral("<img src=\"%1\">").arg(path),
        QStringLiteral("<img src=\"%1\">").arg(url),
        QStringLiteral("<table background=\"%1\"><tr><td>x</td></tr></table>").arg(path),
        QStringLiteral("<p style=\"background-image:url('%1')\">x</p>").arg(path),
        QStringLiteral("<link rel=\"stylesheet\" href=\"%1\"><p>x</p>").arg(path),
        QStringLiteral("<img src=\"watched.png\">"),
    };
    // The watch sees what a plain document does (it reads the file).
    {
        QTextDocument plain;
        plain.setHtml(hostile[0]);
        draw(plain);
        ASSERT_TRUE(touched()) << "the watch saw no open of the file";
    }
    for (const QString& html : hostile) {
        ContentTextDocument doc;
        doc.setBaseUrl(QUrl::fromLocalFile(dir.path() + QLatin1Char('/')));
        doc.setHtml(html);
        draw(doc);
        EXPECT_FALSE(touched()) << html.toStdString();
    }
    // A data: image is drawn at its size; a qrc: address is allowed too.
    ContentTextDocument doc;
    doc.setHtml(
        QStringLiteral("<img src=\"data:image/png;base64,%1\">").arg(QString::fromLatin1(png(40, 30).toBase64())));
    draw(doc);
    EXPECT_GE(doc.size().width(), 40);
    EXPECT_GE(doc.size().height(), 30);
    EXPECT_TRUE(ContentTextDocument::isLoadableResource(QUrl(QStringLiteral("qrc:/page/x.png"))));
    EXPECT_TRUE(ContentTextDocument::isLoadableResource(QUrl(QStringLiteral("DATA:image/png;base64,AA"))));
    EXPECT_FALSE(ContentTextDocument::isLoadableResource(QUrl(QStringLiteral("file:///etc/passwd"))));
    EXPECT_FALSE(ContentTextDocument::isLoadableResource(QUrl(QStringLiteral("/etc/passwd"))));
    EXPECT_FALSE(ContentTextDocument::isLoadableResource(QUrl(QStringLiteral(":/page/x.png"))));
    EXPECT_FALSE(ContentTextDocument::isLoadableResource(QUrl(QStringLiteral("http://127.0.0.1/x.png"))));
}

TEST_F(WatchedPicture, PlainTextOfHtmlOpensNoFileItNames)
{
    const QString html = QStringLiteral("<p>In the beginning</p><table background=\"%1\"><tr><td>God created</td></tr>"
                                        "</table><p style=\"background-image:url('%1')\">the heaven</p>")
                             .arg(path);
    // Qt's own reading of it opens the file (the watch works).
    QTextDocumentFragment::fromHtml(html).toPlainText();
    ASSERT_TRUE(touched());
    const QString text = ContentTextDocument::plainText(html);
    EXPECT_FALSE(touched());
    EXPECT_TRUE(text.contains(QStringLiteral("In the beginning")));
    EXPECT_TRUE(text.contains(QStringLiteral("God created")));
    EXPECT_TRUE(text.contains(QStringLiteral("the heaven")));
}

TEST(ContentTextDocument, ToolTipsShowTheTextAsWritten)
{
    app();
    const QString name = QStringLiteral("Psalms <img src=\"/dev/zero\"> & <b>bold</b>");
    const QString tip = ContentTextDocument::plainToolTip(name);
    EXPECT_FALSE(tip.contains(QLatin1String("<img")));
    EXPECT_FALSE(tip.contains(QLatin1String("<b>")));
    QTextDocument shown;
    shown.setHtml(tip);
    EXPECT_EQ(shown.toPlainText(), name);
    EXPECT_EQ(ContentTextDocument::plainToolTip(QString()), QString());
}

TEST(WidgetAlerts, TextsAreShownAsPlainText)
{
    app();
    Alert alert;
    alert.messageText = QStringLiteral("Delete all bookmarks in <b>Work</b>?");
    alert.informativeText = QStringLiteral("<img src=\"/dev/zero\"><h1>Nothing is deleted</h1>");
    alert.buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")};
    QStringList texts;
    QList<Qt::TextFormat> formats;
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || seen)
            return;
        seen = true;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text().isEmpty())
                continue;
            texts << label->text();
            formats << label->textFormat();
        }
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QLatin1String("Cancel"))
                b->click();
    });
    poll.start();
    WidgetAlerts alerts;
    const int answer = alerts.runModal(alert);
    poll.stop();
    ASSERT_TRUE(seen);
    EXPECT_EQ(answer, AlertFirstButtonReturn + 1);
    EXPECT_TRUE(texts.contains(alert.messageText)) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(texts.contains(alert.informativeText)) << texts.join(QLatin1Char('|')).toStdString();
    for (const Qt::TextFormat f : formats)
        EXPECT_EQ(f, Qt::PlainText);
}

}  // namespace

TEST(WidgetAlerts, EscapeAnswersAsTheDecliningButton)
{
    app();
    // The button Escape presses in the shown box (none: Escape does nothing), and the answer that
    // button gives.
    const auto escapeOf = [](const QStringList& buttons) {
        Alert alert;
        alert.messageText = QStringLiteral("\"King James Version\" has been downloaded. Do you want to remove it?");
        alert.buttons = buttons;
        QString escape = QStringLiteral("(none)");
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            QAbstractButton* chosen = box->escapeButton();
            if (chosen != nullptr)
                escape = chosen->text();
            else
                chosen = box->buttons().constFirst();
            chosen->click();
        });
        poll.start();
        WidgetAlerts alerts;
        const int answer = alerts.runModal(alert);
        poll.stop();
        return std::make_pair(escape, answer - AlertFirstButtonReturn);
    };
    EXPECT_EQ(escapeOf({QStringLiteral("Yes"), QStringLiteral("No")}), std::make_pair(QStringLiteral("No"), 1));
    EXPECT_EQ(escapeOf({QStringLiteral("No"), QStringLiteral("Yes")}), std::make_pair(QStringLiteral("No"), 0));
    EXPECT_EQ(
        escapeOf({QStringLiteral("Delete"), QStringLiteral("Cancel")}), std::make_pair(QStringLiteral("Cancel"), 1));
    // Neither: the box's own rule (one button answers Escape, several do not).
    EXPECT_EQ(escapeOf({QStringLiteral("Keep"), QStringLiteral("Replace")}).first, QStringLiteral("(none)"));
}

TEST(WidgetAlerts, EscapeAndTheCloseBoxAnswerAsTheButtonTheAlertNames)
{
    app();
    // The log-out question: neither button declines by name; Stay Logged In is named for Escape.
    Alert alert;
    alert.messageText = QStringLiteral("Log out with changes that have not been synced?");
    alert.buttons = {QStringLiteral("Log Out"), QStringLiteral("Stay Logged In")};
    alert.defaultButton = 1;
    alert.escapeButton = 1;
    // How the box is left: Escape pressed where the keys are, or the window closed as its close box does.
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "close box");
        int tries = 0;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            if (++tries > 100) {
                box->buttons().constFirst()->click();  // never left: answered as the wrong button
                return;
            }
            if (escape) {
                QWidget* focus = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : box;
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(focus, &press);
            } else {
                box->close();
            }
        });
        poll.start();
        WidgetAlerts alerts;
        EXPECT_EQ(alerts.runModal(alert), AlertFirstButtonReturn + 1);
        poll.stop();
    }
}
