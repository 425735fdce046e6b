// Placing a composed copy on the clipboard, QtGui's: built into qs_reports, apart from the rest of
// the copier, so that qs_reports_core runs on QtCore alone (the command-line tool's copy prints it).

#include "reports/CopyPassageCopier.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

void CopyPassageCopier::placeOnClipboard(const CopyPassageText& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return;
    auto* data = new QMimeData;
    if (text.clipboardFormat != 3)
        data->setHtml(text.html);
    if (text.clipboardFormat != 2) {
        // Line breaks are carriage returns while the copy is built; text on this desktop breaks lines
        // with line feeds.
        QString plain = text.plain;
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        data->setText(plain);
    }
    clipboard->setMimeData(data);
}
