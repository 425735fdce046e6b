// The pane's commands on the page's selection, and its context menu.

#include "engine/references/BibleRef.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/layout/LayoutManager.h"
#include "panes/page/BookPageView.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QUrl>

namespace {

QString snippet(const QString& text)
{
    return text.size() >= 21 ? text.left(20) + QStringLiteral("...") : text;
}

QString spell(quint32 start, quint32 end)
{
    return BibleRef::bibleRefWithStartKey(start, end).fullSpelling();
}

}  // namespace

bool BookPaneViewController::isABible() const
{
    SourceTuple::Ptr t = currentSourceTuple();
    return t && t->docSupports(SourceTuple::kDocSupportsIsBible());
}

void BookPaneViewController::findSelectedBlocksOrKeys()
{
    if (!m_hasSelectionOverride)
        m_selectedBlocksOrKeys = m_page->selectedBlocksOrKeys();
}

void BookPaneViewController::setSelectionOverride(const QString& text, const QString& html)
{
    m_hasSelectionOverride = true;
    m_selectionText = text;
    m_selectionHtml = html;
}

QString BookPaneViewController::selectedText() const
{
    return m_hasSelectionOverride ? m_selectionText : m_page->selectedText();
}

QString BookPaneViewController::selectedBibleRefString() const
{
    const QList<quint32>& l = m_selectedBlocksOrKeys;
    if (!isABible() || l.isEmpty())
        return {};
    return spell(l[0], l.size() >= 2 ? l[1] : l[0]);
}

void BookPaneViewController::putOnClipboard(const QString& html, const QString& text)
{
    auto* mime = new QMimeData;
    mime->setHtml(html);
    mime->setText(text);
    QApplication::clipboard()->setMimeData(mime);
}

void BookPaneViewController::onCopy(std::function<void()> done)
{
    SourceTuple::Ptr book = currentSourceTuple();
    auto finish = [book, done](const QString& selectionHtml, const QString& text) {
        QString html = BookPageView::filterHtml(selectionHtml, 2, false);
        html = BookPaneHooks::current().patchImageSources(html, book);
        putOnClipboard(html, text);
        if (done)
            done();
    };
    if (m_hasSelectionOverride) {
        finish(m_selectionHtml, m_selectionText);
        return;
    }
    const QString text = m_page->selectedText();
    m_page->selectionHtml([finish, text](const QString& html) { finish(html, text); });
}

void BookPaneViewController::doCopyPassage(bool now)
{
    const QList<quint32>& l = m_selectedBlocksOrKeys;
    QString passage;
    if (l.size() == 1)
        passage = spell(l[0], l[0]);
    else if (l.size() >= 2)
        passage = spell(l[0], l[1]);
    BookPaneHooks::current().copyPassage(
        {{"passage", passage}, {"bibleTuple", sharedObjectVariant(currentSourceTuple())}}, now);
}

void BookPaneViewController::onSyncToSelectedVerse()
{
    if (m_selectedBlocksOrKeys.isEmpty())
        return;
    QVariantMap request {{"layoutUuid", layoutUuid()}, {"sourceTuple", sharedObjectVariant(currentSourceTuple())},
        {"bibleKey", m_selectedBlocksOrKeys[0]}, {"syncAnyway", true}};
    if (Layout* l = layout())
        request.insert("paneRegion", l->indexOfRegion(region()));
    else
        request.insert("paneRegion", QVariant::fromValue(quintptr(this)));
    m_center.postNotificationName(QStringLiteral("EverybodySyncToMeNotification"), this, request);
}

void BookPaneViewController::onAutostudyVerse()
{
    onAutostudyThisVerse(selectedBibleRefString());
}

void BookPaneViewController::onAutostudyThisVerse(const QString& refString)
{
    QVariantMap request;
    if (!refString.isEmpty())
        request.insert("refString", refString);
    if (isABible())
        request.insert("sourceTuple", sharedObjectVariant(currentSourceTuple()));
    m_center.postNotificationName(QStringLiteral("UserWantsToDoVerseAutostudy"), nullptr, request);
}

QString BookPaneViewController::selectedHtml() const
{
    return m_hasSelectionOverride ? m_selectionHtml : QString();
}

void BookPaneViewController::onAutostudyWord()
{
    QString word = BookPageView::filterHtml(selectedHtml(), 4, true);
    if (word.isEmpty())
        word = selectedText();
    QVariantMap request {{"word", word}};
    if (SourceTuple::Ptr t = currentSourceTuple())
        request.insert("sourceTuple", sharedObjectVariant(t));
    m_center.postNotificationName(QStringLiteral("UserWantsToDoWordAutostudy"), nullptr, request);
}

void BookPaneViewController::onAutostudyToday()
{
    SourceTuple::Ptr book = currentSourceTuple();
    quint32 n = 0;
    if (book && !m_selectedBlocksOrKeys.isEmpty()) {
        const quint32 section = book->sectionForBlock(m_selectedBlocksOrKeys[0]);
        if (section != 0)
            n = book->readingNumberForSection(section);
    }
    QVariantMap request {{"date", QDate::currentDate()}};
    if (n > 0)
        request.insert("readingNumber", n);
    m_center.postNotificationName(QStringLiteral("UserWantsToDoTodayAutostudy"), nullptr, request);
}

void BookPaneViewController::onLookup()
{
    m_center.postNotificationName(QStringLiteral("GoToNotification"), this,
        {{"wordSync", selectedText()}, {"sync", true}, {"activatePane", true}, {"layoutUuid", layoutUuid()}});
}

void BookPaneViewController::onAddViewNoteSelected()
{
    SourceTuple::Ptr book = currentSourceTuple();
    if (m_selectedBlocksOrKeys.isEmpty() || !book)
        return;
    const quint32 first = m_selectedBlocksOrKeys[0];
    const quint32 key = isABible() ? first : 0;
    const quint32 section = isABible() ? book->sectionForBibleKey(first) : book->sectionForBlock(first);
    m_center.postNotificationName(QStringLiteral("qsUserNoteLinkSelected"), this,
        {{"source", sharedObjectVariant(book)}, {"section", section}, {"key", key}, {"editIfEmpty", true}});
}

void BookPaneViewController::onRemoveNoteSelected()
{
    SourceTuple::Ptr book = currentSourceTuple();
    if (m_selectedBlocksOrKeys.isEmpty() || !book)
        return;
    onAddViewNoteSelected();
    QMessageBox box(QMessageBox::Warning, QString(), tr("Are you sure you want to delete this note?"));
    box.setInformativeText(
        tr("If you answer 'Yes', you will permanently delete the note. This operation cannot be undone."));
    QPushButton* yes = box.addButton(tr("Yes"), QMessageBox::AcceptRole);
    box.addButton(tr("No"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() != static_cast<QAbstractButton*>(yes))
        return;
    const quint32 first = m_selectedBlocksOrKeys[0];
    const quint32 section = isABible() ? book->sectionForBibleKey(first) : book->sectionForBlock(first);
    BookPaneHooks::current().deleteNote(book, isABible() ? first : 0, section, isABible());
}

void BookPaneViewController::onRemoveTempHL()
{
    if (LayoutRegionContentItemState* state = currentSourceState()) {
        state->setTempHighlightStartSection(0);
        state->setTempHighlightEndSection(0);
        displayCurrentSource(true);
    }
}

void BookPaneViewController::onCopyImage(const QString& imageUrl)
{
    const QString name = QUrl(imageUrl).fileName();
    const QString path = BookPaneHooks::current().copyImageToCache(name, currentSourceTuple());
    QImage image;
    if (path.isEmpty() || !image.load(path))
        return;
    QApplication::clipboard()->clear();
    QApplication::clipboard()->setImage(image);
}

QMenu* BookPaneViewController::contextMenu(
    const MenuElement& element, const QList<QAction*>& defaultItems, QWidget* parent)
{
    findSelectedBlocksOrKeys();
    const QList<quint32> list = m_selectedBlocksOrKeys;
    const int n = int(list.size());
    const bool bible = isABible();
    SourceTuple::Ptr book = currentSourceTuple();
    const bool current = isPaneCurrent();
    BookPaneHooks& hooks = BookPaneHooks::current();
    auto* menu = new QMenu(parent);
    auto add = [&](const QString& title, std::function<void()> action) {
        QAction* a = menu->addAction(title);
        if (action)
            connect(a, &QAction::triggered, this, std::move(action));
        return a;
    };
    auto separator = [&] {
        if (!menu->actions().isEmpty())
            menu->addSeparator();
    };
    const QString passage = n >= 2 ? spell(list[0], list[1]) : (n == 1 ? spell(list[0], list[0]) : QString());
    const QString firstVerse = n >= 1 ? spell(list[0], list[0]) : QString();
    QString lastNamed;

    // Group 1: selection commands.
    if (bible && n >= 1) {
        QMenu* colors = menu->addMenu(tr("Highlight %1").arg(passage));
        colors->setObjectName(QStringLiteral("Colors"));
        hooks.populateColorMenu(colors, 2, [this, list](const QVariantMap& payload) {
            BookPaneHooks::current().highlight(list, quint16(payload.value("colorID").toUInt()));
        });
    }
    if (n >= 1) {
        QMenu* categories = menu->addMenu(bible ? tr("Bookmark %1").arg(firstVerse) : tr("Bookmark This Section"));
        categories->setObjectName(QStringLiteral("Categories"));
        hooks.populateCategoryMenu(
            categories, 6, book, list[0], bible, [this, book, list, bible](const QVariantMap& p) {
                BookPaneHooks::current().bookmark(book, list[0], bible, p);
            });
        if (hooks.hasBookmarks(book, list[0], bible)) {
            QMenu* remove = menu->addMenu(
                bible ? tr("Remove Bookmark(s) From %1").arg(firstVerse) : tr("Remove Bookmark(s) From This Section"));
            remove->setObjectName(QStringLiteral("Categories"));
            hooks.populateCategoryMenu(remove, 8, book, list[0], bible, [book, list, bible](const QVariantMap& p) {
                BookPaneHooks::current().removeBookmark(book, list[0], bible, p);
            });
        }
        const bool note = hooks.hasNote(book, list[0], bible);
        if (note)
            add(bible ? tr("View Note on %1").arg(firstVerse) : tr("View Note on This Section"),
                [this] { onAddViewNoteSelected(); });
        else
            add(bible ? tr("Add Note to %1").arg(firstVerse) : tr("Add Note to This Section"),
                [this] { onAddViewNoteSelected(); });
        if (note)
            add(bible ? tr("Remove Note from %1").arg(firstVerse) : tr("Remove Note from This Section"),
                [this] { onRemoveNoteSelected(); });
    }
    const QString text = selectedText();
    if (!text.isEmpty())
        add(tr("Look Up \u201C%1\u201D in Quillstead").arg(snippet(text)), [this] { onLookup(); });
    if (bible && n >= 1 && book) {
        LayoutRegionContentItemState* state = currentSourceState();
        const quint64 s = state ? state->tempHighlightStartSection() : 0;
        const quint64 e = state ? state->tempHighlightEndSection() : 0;
        if (s != 0 && e != 0 && s <= book->sectionForBibleKey(list.last()) && book->sectionForBibleKey(list[0]) <= e)
            add(tr("Remove Linked-To Verse Highlighting"), [this] { onRemoveTempHL(); });
    }
    if (bible)
        add(n == 0 ? tr("Copy Passage") : tr("Copy %1 with Formatting").arg(passage), [this] { doCopyPassage(false); });
    if (bible && n >= 1) {
        add(tr("Copy %1 with Formatting Now!").arg(passage), [this] { doCopyPassage(true); });
        add(tr("Sync all Bibles and Commentaries to %1").arg(firstVerse), [this] { onSyncToSelectedVerse(); });
        lastNamed = firstVerse;
    }

    // Group 2: pane and window commands.
    bool group2 = false;
    auto appItem = [&](const QString& title, const QString& action, int tag) {
        if (!group2) {
            separator();
            group2 = true;
        }
        QAction* a = add(title, [this, action, tag] { BookPaneHooks::current().appAction(action, tag, this); });
        a->setData(tag);
    };
    if (current) {
        if (hooks.canCurrentPaneSplit(true))
            appItem(tr("Split Pane Horizontally"), QStringLiteral("onNewPane:"), 1001);
        if (hooks.canCurrentPaneSplit(false))
            appItem(tr("Split Pane Vertically"), QStringLiteral("onNewPane:"), 1002);
        Layout* l = m_env.layouts ? m_env.layouts->currentLayout() : nullptr;
        if (l && l->countRegionsWithKind(QString()) >= 2)
            appItem(tr("Close Pane"), QStringLiteral("onClosePane:"), 105);
    }
    if (book) {
        appItem(tr("Maximize Pane"), QStringLiteral("onMaximizePane:"), 414);
        appItem(tr("Maximize Book"), QStringLiteral("onMaximizeBook:"), 413);
    }

    // Group 3.
    if (current && book) {
        separator();
        add(tr("Location Sync..."),
            [this] { BookPaneHooks::current().appAction(QStringLiteral("onLocationSyncSettings:"), 0, this); });
    }

    // Group 4: autostudy.
    if (book) {
        separator();
        QString ref;
        bool linkIsBibleRef = false;
        const QString link = QUrl::fromPercentEncoding(element.linkUrl.toUtf8());
        if (!link.isEmpty()) {
            BibleRef r = BibleRef::bibleRefWithLinkString(link);
            if (r.isValid()) {
                ref = r.fullSpelling();
                linkIsBibleRef = true;
            }
        } else
            ref = lastNamed;
        if (ref.isEmpty() && bible && n >= 1)
            ref = passage;
        if (!ref.isEmpty())
            add(tr("Autostudy %1").arg(ref), [this, ref] { onAutostudyThisVerse(ref); });
        if (!linkIsBibleRef) {
            QString word = BookPageView::filterHtml(selectedHtml(), 4, true);
            if (word.isEmpty())
                word = text;
            add(word.isEmpty() ? tr("Autostudy Word") : tr("Autostudy \u201C%1\u201D").arg(snippet(word)),
                [this] { onAutostudyWord(); });
        }
        if (book->docSupports(SourceTuple::kDocSupportsDateLookup()))
            add(tr("Autostudy Today"), [this] { onAutostudyToday(); });
    }

    // Group 5: speech.
    if (book) {
        separator();
        if (!element.linkUrl.isEmpty())
            add(tr("Speak Linked-To Text (%1)").arg(element.linkLabel),
                [this, url = element.linkUrl] { onSpeakLinkedToText(url); });
        if (bible)
            add(n >= 1 ? tr("Speak %1").arg(passage) : tr("Speak Verse"), [this] { onSpeakBlockOrVerse(); });
        else if (n >= 1)
            add(tr("Speak Paragraph"), [this] { onSpeakBlockOrVerse(); });
        if (!text.isEmpty())
            add(tr("Speak Selection"), [this] { onSpeakSelection(); });
        if (n >= 1)
            add(tr("Start Speaking From Here"), [this] { onSpeakStartSpeaking(); });
        if (auto synthesizer = SpeechSynthesizer::shared(); synthesizer && synthesizer->isSpeaking())
            add(tr("Stop Speaking"), [this] { onSpeakStopSpeaking(); });
    }

    // Group 6: the page's own items, filtered.
    bool first = true;
    for (QAction* item : defaultItems) {
        if (!item || item->isSeparator())
            continue;
        const QString title = item->text().remove(QLatin1Char('&'));
        if (title == QLatin1String("Reload") || title == QLatin1String("Open Image in New Window") ||
            title == QLatin1String("Download Image") || title == QLatin1String("Speech"))
            continue;
        if (first && !menu->actions().isEmpty() && !menu->actions().last()->isSeparator())
            menu->addSeparator();
        first = false;
        if (title.startsWith(QLatin1String("Look Up ")))
            add(tr("%1 on the Web").arg(title), [item] { item->trigger(); });
        else if (title == QLatin1String("Copy"))
            add(title, [this] { onCopy(); });
        else if (title == QLatin1String("Copy Image"))
            add(title, [this, url = element.imageUrl] { onCopyImage(url); });
        else
            menu->addAction(item);
    }
    if (menu->actions().isEmpty()) {
        delete menu;
        return nullptr;
    }
    return menu;
}
