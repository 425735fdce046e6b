// OutputFile: the file an autostudy report is streamed into, "<cache>/Autostudy/<UUID>.htm". Text is
// appended as UTF-8. When the file cannot be opened the object has no stream: appending writes
// nothing and the file reads as empty, so a report built on it hands on no file. Destroying the
// object closes the stream; the file stays on disk (the results window deletes what it showed).
// One report owns one OutputFile; single thread.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The report as a file to keep outside the reader: its links to places in books (which only
    // the reader can follow: "bible:", "note:", a page's "javascript:" and the like) become their
    // text; links a browser can follow (http, https, mailto, ftp, and to a place in the same page)
    // stay. Everything else is kept byte for byte. The bytes are the report's UTF-8 HTML.
    static QByteArray withReaderLinksAsText(const QByteArray& html);

    // A fresh path in the cache's "Autostudy" folder (created when missing).
    static QString generateFilename();
    static QString folder();

    // Opens a new file under a fresh path.
    void openNew();
    void close();
    // Closes and deletes the file: a report that ends with nothing leaves nothing behind.
    void discard();
    void appendString(const QString& text);
    bool isEmpty();
    bool isOpen() const { return m_file && m_file->isOpen(); }

    QString filename() const { return m_filename; }

private:
    // Opens `m_filename` for appending (created when missing).
    void open();

    QString m_filename;
    std::unique_ptr<QFile> m_file;
};
