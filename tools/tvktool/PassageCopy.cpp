#include "tools/tvktool/PassageCopy.h"

#include "library/SourceTuple.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "reports/CopyPassageCopier.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The opened book, closed quietly whichever way the command ends: a Bible document announces its
// closing on standard output, and the tool's output is the copy alone.
class QuietBook {
public:
    explicit QuietBook(const char* path) : m_doc(SourceTuple::allocateSourceForFile(QString::fromUtf8(path)))
    {
        if (m_doc)
            m_tuple = SourceTuple::sourceTupleForSource(m_doc);
    }
    ~QuietBook()
    {
        std::fflush(stdout);
        const int saved = ::dup(STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        if (saved >= 0 && null >= 0)
            ::dup2(null, STDOUT_FILENO);
        m_doc.reset();
        if (m_tuple)
            m_tuple->releaseSourceDoc();
        std::fflush(stdout);
        if (saved >= 0) {
            ::dup2(saved, STDOUT_FILENO);
            ::close(saved);
        }
        if (null >= 0)
            ::close(null);
    }
    QuietBook(const QuietBook&) = delete;
    QuietBook& operator=(const QuietBook&) = delete;

    const SourceTuple::Ptr& tuple() const { return m_tuple; }

private:
    std::shared_ptr<cSourceDoc> m_doc;
    SourceTuple::Ptr m_tuple;
};

}  // namespace

int copyPassage(
    const char* book, const char* reference, const std::vector<std::string>& options, std::FILE* out, std::FILE* err)
{
    // The choices live in a throw-away defaults file: the tool never touches the reader's settings.
    QTemporaryDir folder;
    UserDefaults defaults(folder.filePath(QStringLiteral("defaults.ini")));
    SettingsRegistry::registerDefaultsForAllPreferences(defaults);
    for (const std::string& option : options) {
        const std::size_t equals = option.find('=');
        const QString key = QString::fromStdString(option.substr(0, equals));
        if (equals == std::string::npos || !key.startsWith(QLatin1String("cp")) ||
            !defaults.registeredDefaults().contains(key)) {
            std::fprintf(err, "not a copy-passage choice: %s\n", option.c_str());
            return 2;
        }
        defaults.setObject(QString::fromStdString(option.substr(equals + 1)), key);
    }

    const QuietBook opened(book);
    if (!opened.tuple()) {
        std::fprintf(err, "cannot open %s\n", book);
        return 1;
    }
    CopyPassageText text;
    CopyPassageError error;
    if (!CopyPassageCopier::composeVerse(QString::fromUtf8(reference), opened.tuple(), defaults, text, &error)) {
        std::fprintf(err, "%s %s\n", qPrintable(error.description), qPrintable(error.failureReason));
        return 1;
    }
    QString plain = text.plain;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(out, "%s\n", plain.toUtf8().constData());
    std::fflush(out);
    return 0;
}
