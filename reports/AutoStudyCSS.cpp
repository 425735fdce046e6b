#include "reports/AutoStudyCSS.h"

#include "platform/AppFolders.h"
#include "platform/FileSave.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The rules that come with the program, compiled in as a resource.
const char kBundledRules[] = ":/reports/AutoStudyCSS.plist";

const char kResetBlock[] = "/* Reset all tags */\n"
                           "body,div,dl,dt,dd,ul,ol,li,h1,h2,h3,h4,h5,h6,pre,form,fieldset,input,textarea,p,blockquote,"
                           "th,td {margin:0;padding:0;}\n"
                           "table {border-collapse:collapse;border-spacing:0;}\n"
                           "fieldset,img {border:0;}\n"
                           "address,caption,cite,code,dfn,em,strong,th,var {font-style:normal;font-weight:normal;}\n"
                           "caption,th {text-align:left;}\n"
                           "h1,h2,h3,h4,h5,h6 {font-size:100%;}\n"
                           "q:before,q:after {content:'';}\n"
                           "abbr,acronym {border:0;}\n"
                           "body {font:12pt/1.231 arial,helvetica,clean,sans-serif;}\n"
                           "select,input,button,textarea,button {font:99% arial,helvetica,clean,sans-serif;}\n"
                           "table {font-size:inherit;font:100%;}\n"
                           "pre,code,kbd,samp,tt {font-family:monospace;line-height:100%;}\n";

const char kInterlinearBlock[] =
    "table {font-size:inherit;}\n"
    "._interlinearversenumbertable {float:left;margin-bottom:1em;-webkit-border-horizontal-spacing:0px;"
    "border-collapse:collapse;}\n"
    "._interlinearnotelinktable {float:left;margin-bottom:1em;-webkit-border-horizontal-spacing:0px;"
    "border-collapse:collapse;}\n"
    "._interlinearwordtable {float:left;margin-bottom:1em;-webkit-border-horizontal-spacing:0px;"
    "border-collapse:collapse;}\n"
    "._interlineartoprow {border-bottom:1px solid transparent;}\n"
    "._interlineartoprow td {padding-left:2px;padding-right:2px;}\n"
    "._interlineartoprow sup {vertical-align:baseline;}\n"
    "._interlinearrow {font-size:80%;color:#333333;}\n"
    "._interlinearrow td {padding-left:2px;padding-right:2px;}\n"
    "._interlinearrow a {color:#333333;text-decoration:none;}\n"
    "._inlinewordattribute {font-size:80%;display:inline;}\n";

}  // namespace

AutoStudyCSS::AutoStudyCSS()
{
    loadDictionary();
    loadString();
}

QString AutoStudyCSS::userCopyPath()
{
    return AppFolders::privateDataDirectory() + QStringLiteral("/Autostudy/autostudy.css");
}

void AutoStudyCSS::loadDictionary()
{
    m_dictionary.clear();
    const QVariant rules = PropertyList::readFile(QString::fromLatin1(kBundledRules));
    if (rules.typeId() == QMetaType::QVariantMap)
        m_dictionary = rules.toMap();
}

void AutoStudyCSS::loadString()
{
    QFile file(userCopyPath());
    if (file.open(QIODevice::ReadOnly)) {
        m_string = QString::fromUtf8(file.readAll());
        return;
    }
    m_string = defaultCSSString();
}

QString AutoStudyCSS::defaultCSSString() const
{
    QString css =
        // html-safe: the program's own style blocks
        QStringLiteral("<style type=\"text/css\">\n%1\n/* Interlinear styles */\n%2\n/* Autostudy styles */\n")
            .arg(QString::fromLatin1(kResetBlock), QString::fromLatin1(kInterlinearBlock));
    for (auto it = m_dictionary.cbegin(); it != m_dictionary.cend(); ++it) {
        const QString declarations = it.value().toString();
        if (!declarations.isEmpty())
            css += QStringLiteral("%1 {%2}\n").arg(it.key(), declarations);
    }
    css += QStringLiteral("</style>");
    return css;
}

QString AutoStudyCSS::cssString()
{
    loadString();
    return m_string;
}

QString AutoStudyCSS::saveFailedMessage()
{
    return QStringLiteral("The autostudy styles could not be saved.");
}

bool AutoStudyCSS::saveCSSEditorContents(const QString& text, QString& why)
{
    if (text == defaultCSSString()) {
        revertToDefaultCssEditorContents();
    } else if (text != m_string) {
        m_string = text;
        // A failed write is not a save: the editor keeps its edits marked, and the sheet goes back
        // to what is on disk so that saving the same text again tries the write again.
        if (!writeCssToFile(why)) {
            loadString();
            return false;
        }
    }
    return true;
}

void AutoStudyCSS::reset()
{
    QFile::remove(userCopyPath());
    loadDictionary();
    loadString();
}

bool AutoStudyCSS::writeCssToFile(QString& why)
{
    // The editor's save tells the user itself, with the reason.
    FileSave file(userCopyPath(), QString(), FileSave::Reporting::CallerTells);
    if (!file.open() || !file.write(m_string.toUtf8()) || !file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}
