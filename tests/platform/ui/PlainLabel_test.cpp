// Labels and Qt's own dialogs show text from books, notes and servers as written and open nothing it
// names.

#include "platform/ui/PlainLabel.h"
#include "platform/ui/ResourceWatch.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "PlainLabel_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication a(argc, argv);
    return a;
}

class NamedPicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(path));
        watch = std::make_unique<ResourceWatch>(path);
        ASSERT_TRUE(watch->valid());
        hostile = QStringLiteral("<img src=\"%1\"><table background=\"%1\"><tr><td>Rename “Work”?").arg(path);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("watched.png"));
    std::unique_ptr<ResourceWatch> watch;
    QString hostile;
};

TEST_F(NamedPicture, ALabelShowsItsTextAsWritten)
{
    PlainLabel label(hostile);
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
    label.show();
    label.grab();
    EXPECT_EQ(label.text(), hostile);
    label.setText(hostile + QStringLiteral("!"));
    label.grab();
    PlainLabel empty;
    EXPECT_EQ(empty.textFormat(), Qt::PlainText);
    EXPECT_FALSE(watch->touched());
}

TEST_F(NamedPicture, TheTextPromptShowsItsLabelAsWrittenAndAnswers)
{
    QString shownLabel;
    Qt::TextFormat shownFormat = Qt::AutoText;
    bool answer = false;
    QString text;
    // The user reads the prompt, types a name and accepts; then cancels the second prompt.
    int round = 0;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        if (round++ == 0) {
            for (QLabel* label : dialog->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    shownLabel = label->text();
                    shownFormat = label->textFormat();
                }
            }
            dialog->grab();
            dialog->findChild<QLineEdit*>()->setText(QStringLiteral("Study"));
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
    poll.start();
    answer = PlainLabel::getText(nullptr, QStringLiteral("Rename"), hostile, QStringLiteral("Work"), &text);
    EXPECT_TRUE(answer);
    EXPECT_EQ(text, QStringLiteral("Study"));
    EXPECT_EQ(shownLabel, hostile);
    EXPECT_EQ(shownFormat, Qt::PlainText);
    text = QStringLiteral("unchanged");
    EXPECT_FALSE(PlainLabel::getText(nullptr, QStringLiteral("Rename"), hostile, QString(), &text));
    EXPECT_EQ(text, QStringLiteral("unchanged"));
    poll.stop();
    EXPECT_FALSE(watch->touched());
}

TEST_F(NamedPicture, DialogsMadePlainShowTheirTextsAsWritten)
{
    QProgressDialog progress;
    progress.setLabel(new PlainLabel(&progress));
    PlainLabel::makePlain(&progress);
    progress.setLabelText(hostile);
    QMessageBox box;
    box.setInformativeText(QStringLiteral(" "));
    PlainLabel::makePlain(&box);
    box.setInformativeText(hostile);
    box.setText(hostile);
    for (QWidget* w : {static_cast<QWidget*>(&progress), static_cast<QWidget*>(&box)}) {
        w->show();
        w->grab();
        for (QLabel* label : w->findChildren<QLabel*>())
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    }
    EXPECT_FALSE(watch->touched());
    PlainLabel::makePlain(nullptr);  // nothing to do
}

}  // namespace
