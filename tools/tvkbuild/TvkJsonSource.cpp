#include "tools/tvkbuild/TvkJsonSource.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "engine/bookfile/BkSyncFormat.h"

namespace {

bool parseKey(const QJsonValue& v, uint32_t& key)
{
    if (v.isDouble()) {
        key = static_cast<uint32_t>(v.toInteger());
        return true;
    }
    const QStringList parts = v.toString().split(':');
    if (parts.size() != 3)
        return false;
    uint32_t n[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        n[i] = parts[i].toUInt(&ok);
        if (!ok || n[i] > 255)
            return false;
    }
    key = BkSyncFormat::bibleKey(n[0], n[1], n[2]);
    return true;
}

bool readFiles(const QJsonArray& list, const QString& base,
    std::vector<std::pair<std::string, std::vector<uint8_t>>>& out, std::string& error)
{
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject();
        QFile f(QDir(base).filePath(o.value("file").toString()));
        if (!f.open(QIODevice::ReadOnly)) {
            error = "cannot read " + f.fileName().toStdString();
            return false;
        }
        const QByteArray bytes = f.readAll();
        out.emplace_back(o.value("name").toString().toStdString(), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    return true;
}

}  // namespace

bool tvkBuilderFromJson(const std::string& json, const std::string& baseFolder, cTvkBookBuilder& b, std::string& error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &parseError);
    if (!doc.isObject()) {
        error = "not a JSON object: " + parseError.errorString().toStdString();
        return false;
    }
    const QJsonObject o = doc.object();
    const QString kind = o.value("kind").toString("book");
    if (kind == "bible")
        b.kind = cTvkBookBuilder::Kind::Bible;
    else if (kind == "dated")
        b.kind = cTvkBookBuilder::Kind::Dated;
    else if (kind == "book")
        b.kind = cTvkBookBuilder::Kind::Book;
    else {
        error = "unknown kind " + kind.toStdString();
        return false;
    }
    auto text = [&o](const char* k) { return o.value(k).toString().toStdString(); };
    b.info.bookName = text("title");
    b.info.abbreviatedTitle = text("abbreviation");
    b.info.subtitle = text("subtitle");
    b.info.sortTitle = text("sortTitle");
    b.info.author = text("author");
    b.info.publisher = text("publisher");
    b.info.publisherCity = text("city");
    b.info.publisherDate = text("date");
    b.info.copyright = text("copyright");
    b.info.bookRanges = text("bookRanges");
    b.info.bibleBooks = text("bibleBooks");
    b.info.wordAttributeDefs = text("wordAttributes");
    b.info.publisherId = static_cast<uint16_t>(o.value("publisherId").toInt(0));
    b.info.bookId = static_cast<uint16_t>(o.value("bookId").toInt(0));
    b.info.edition = static_cast<uint8_t>(o.value("edition").toInt(1));
    b.info.revision = static_cast<uint8_t>(o.value("revision").toInt(1));
    b.info.language = static_cast<uint16_t>(o.value("language").toInt(1033));

    for (const QJsonValue& v : o.value("sections").toArray()) {
        const QJsonObject s = v.toObject();
        cTvkBookBuilder::Section section;
        section.title = s.value("title").toString().toStdString();
        section.level = static_cast<uint8_t>(s.value("level").toInt(1));
        section.text = s.value("text").toString().toStdString();
        if (s.contains("key") && !parseKey(s.value("key"), section.verseKey)) {
            error = "bad key in section " + section.title;
            return false;
        }
        b.addSection(section);
    }
    std::vector<uint32_t> readings;
    for (const QJsonValue& v : o.value("readings").toArray())
        readings.push_back(static_cast<uint32_t>(v.toInteger()));
    if (!readings.empty() || b.kind == cTvkBookBuilder::Kind::Dated)
        b.setReadings(readings, static_cast<uint8_t>(o.value("startMonth").toInt(1)),
            static_cast<uint8_t>(o.value("startDay").toInt(1)));
    const QJsonObject lookup = o.value("lookupWords").toObject();
    for (auto it = lookup.begin(); it != lookup.end(); ++it)
        for (const QJsonValue& s : it.value().toArray())
            b.addLookupWord(it.key().toStdString(), static_cast<uint32_t>(s.toInteger()));
    for (const QJsonValue& v : o.value("verseLookup").toArray()) {
        const QJsonObject e = v.toObject();
        uint32_t key = 0, end = 0;
        if (!parseKey(e.value("key"), key) || (e.contains("end") && !parseKey(e.value("end"), end))) {
            error = "bad verse lookup key";
            return false;
        }
        b.addVerseLookup(key, static_cast<uint32_t>(e.value("section").toInteger()), end);
    }
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    const QString base = QString::fromStdString(baseFolder);
    if (!readFiles(o.value("images").toArray(), base, files, error))
        return false;
    for (auto& f : files)
        b.addImage(f.first, f.second);
    files.clear();
    if (!readFiles(o.value("bibleRef").toArray(), base, files, error))
        return false;
    for (auto& f : files)
        b.addBibleRefFile(f.first, f.second);
    return true;
}
