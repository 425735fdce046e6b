#include "platform/ui/ContentTextDocument.h"

#include <QImage>
#include <QTextDocumentFragment>
#include <QUrl>

ContentTextDocument::ContentTextDocument(QObject* parent) : QTextDocument(parent)
{
}

bool ContentTextDocument::isLoadableResource(const QUrl& name)
{
    const QString scheme = name.scheme().toLower();
    return scheme == QLatin1String("data") || scheme == QLatin1String("qrc");
}

QString ContentTextDocument::plainText(const QString& html)
{
    const ContentTextDocument resources;
    return QTextDocumentFragment::fromHtml(html, &resources).toPlainText();
}

QString ContentTextDocument::plainToolTip(const QString& text)
{
    if (text.isEmpty())
        return text;
    // Escaped and marked as rich text, so that the text itself is never read as markup.
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

QVariant ContentTextDocument::loadResource(int type, const QUrl& name)
{
    if (isLoadableResource(name))
        return QTextDocument::loadResource(type, name);
    if (type == QTextDocument::ImageResource) {
        // An image left unanswered is read from the named file directly by the text layout: a
        // blank pixel stands in for it.
        QImage blank(1, 1, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        return blank;
    }
    return QVariant();
}
