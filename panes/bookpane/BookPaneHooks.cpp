#include "panes/bookpane/BookPaneHooks.h"

#include "platform/ui/ContentTextDocument.h"

QString BookPaneHooks::passagePlainText(
    const SourceTuple::Ptr& book, bool bySection, quint32 start, quint32 end, const PassageOptions& options)
{
    if (!book || start > end)
        return {};
    quint32 firstBlock = start;
    quint32 lastBlock = end;
    if (bySection) {
        firstBlock = book->locations().blockForSection(start);
        const quint32 next = end + 1 < book->numSections() ? book->locations().blockForSection(end + 1)
                                                           : quint32(book->record().numBlocks);
        if (firstBlock == 0xFFFFFFFF || next == 0 || next == 0xFFFFFFFF)
            return {};
        lastBlock = next - 1;
    }
    if (lastBlock >= book->record().numBlocks)
        lastBlock = quint32(book->record().numBlocks) - 1;
    QString text;
    // A passage is never read beyond a few hundred blocks at once.
    for (quint32 b = firstBlock; b <= lastBlock && b - firstBlock < 500; ++b) {
        const QString plain = ContentTextDocument::plainText(book->locations().htmlTextForBlock(b, options.display));
        if (!plain.trimmed().isEmpty()) {
            if (!text.isEmpty())
                text += QLatin1Char('\n');
            text += plain.trimmed();
        }
    }
    return text;
}
