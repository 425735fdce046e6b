#include "reports/OutputFile.h"

#include "platform/AppFolders.h"

#include <QDir>
#include <QUuid>

OutputFile::~OutputFile()
{
    close();
    m_filename.clear();
}

QString OutputFile::folder()
{
    return AppFolders::cacheDirectory() + QStringLiteral("/Autostudy");
}

QString OutputFile::generateFilename()
{
    const QString dir = folder();
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
        QStringLiteral(".htm");
}

void OutputFile::openNew()
{
    close();
    m_filename = generateFilename();
    open();
}

void OutputFile::open()
{
    close();
    if (m_filename.isEmpty())
        return;
    auto file = std::make_unique<QFile>(m_filename);
    if (file->open(QIODevice::ReadWrite | QIODevice::Append))
        m_file = std::move(file);
}

void OutputFile::close()
{
    if (m_file)
        m_file->close();
    m_file.reset();
}

void OutputFile::discard()
{
    close();
    if (!m_filename.isEmpty())
        QFile::remove(m_filename);
}

void OutputFile::appendString(const QString& text)
{
    if (m_file)
        m_file->write(text.toUtf8());
}

bool OutputFile::isEmpty()
{
    if (!m_file)
        return true;
    m_file->flush();
    return m_file->size() == 0;
}
