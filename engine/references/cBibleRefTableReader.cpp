#include "engine/references/cBibleRefTableReader.h"

#include "engine/references/cBibleRefTables.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>

namespace {

bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool isBlankLine(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

// Reads an unsigned decimal header value; false when it is not a number.
bool parseHeaderNumber(const std::string& text, std::uint32_t& value)
{
    std::int64_t n = 0;
    if (!cBibleRefTableReader::parseNumber(text, n) || n < 0 || n > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::uint32_t>(n);
    return true;
}

}  // namespace

bool cBibleRefTableReader::refill()
{
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<char[]>(kChunkSize);
    m_begin = 0;
    m_end = std::fread(m_buffer.get(), 1, kChunkSize, m_file);
    return m_end > 0;
}

cBibleRefTableReader::Line cBibleRefTableReader::nextLine(std::string& line)
{
    for (;;) {
        line.clear();
        if (!m_file)
            return Line::EndOfFile;
        bool any = false;
        for (;;) {
            if (m_begin == m_end && !refill())
                break;
            any = true;
            const char* start = m_buffer.get() + m_begin;
            const std::size_t available = m_end - m_begin;
            const char* newline = static_cast<const char*>(std::memchr(start, '\n', available));
            const std::size_t taken = newline ? static_cast<std::size_t>(newline - start) : available;
            if (line.size() + taken > kMaxLineLength)
                return Line::TooLong;
            line.append(start, taken);
            m_begin += taken;
            if (newline) {
                ++m_begin;
                break;
            }
        }
        if (!any)
            return Line::EndOfFile;
        // Line endings, trailing blanks and a leading byte-order mark are not part of a line.
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (m_firstLine && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        m_firstLine = false;
        if (startsWith(line, "***"))
            continue;
        return Line::Text;
    }
}

void cBibleRefTableReader::splitFields(std::string_view line, Fields& fields)
{
    // One pass over the bytes: fields are short, so a scan beats a search call per field.
    fields.clear();
    const char* const text = line.data();
    const std::size_t size = line.size();
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        if (i < size && text[i] != ',')
            continue;
        std::size_t first = start, last = i;
        while (first < last && text[first] == '"')
            ++first;
        while (last > first && text[last - 1] == '"')
            --last;
        fields.emplace_back(text + first, last - first);
        if (i == size)
            break;
        start = i + 1;
    }
}

cBibleRefTableReader::Row cBibleRefTableReader::splitRow(const std::string& line)
{
    Fields fields;
    splitFields(line, fields);
    return Row(fields.begin(), fields.end());
}

void cBibleRefTableReader::addRow(Result& result, std::string_view line, const RowHandler* onRow)
{
    ++result.rowsRead;
    if (onRow == nullptr) {
        result.rows.push_back(splitRow(std::string(line)));
        return;
    }
    splitFields(line, m_fields);
    (*onRow)(m_fields);
}

bool cBibleRefTableReader::parseNumber(std::string_view field, std::int64_t& value)
{
    std::size_t i = 0;
    const std::size_t n = field.size();
    while (i < n && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < n && (field[i] == '-' || field[i] == '+'))
        negative = field[i++] == '-';
    const std::size_t digitsStart = i;
    std::int64_t v = 0;
    while (i < n && field[i] >= '0' && field[i] <= '9') {
        if (v > (std::int64_t {1} << 40))
            return false;  // far beyond any table value
        v = v * 10 + (field[i] - '0');
        ++i;
    }
    if (i == digitsStart)
        return false;
    while (i < n && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    if (i != n)
        return false;
    value = negative ? -v : v;
    return true;
}

cBibleRefTableReader::Result cBibleRefTableReader::readStrict(std::uint32_t loadedVersion, bool requireVersionAndCount)
{
    return readStrictRows(loadedVersion, requireVersionAndCount, nullptr);
}

cBibleRefTableReader::Result cBibleRefTableReader::readStrict(
    std::uint32_t loadedVersion, bool requireVersionAndCount, const RowHandler& onRow)
{
    return readStrictRows(loadedVersion, requireVersionAndCount, onRow ? &onRow : nullptr);
}

cBibleRefTableReader::Result cBibleRefTableReader::readStrictRows(
    std::uint32_t loadedVersion, bool requireVersionAndCount, const RowHandler* onRow)
{
    Result result;
    enum class State { Outside, Header, Data } state = State::Outside;
    bool sawVersion = false, sawCount = false, titleSkipped = false;
    std::string line;
    for (;;) {
        const Line kind = nextLine(line);
        if (kind == Line::TooLong) {
            result.code = kBibleRefLoadMalformed;
            return result;
        }
        if (kind == Line::EndOfFile) {
            // End of file inside header or data, or no data section at all.
            result.code = kBibleRefLoadMalformed;
            return result;
        }
        switch (state) {
        case State::Outside:
            if (line == "+++ Header") {
                state = State::Header;
            } else if (line == "+++ Data") {
                if (requireVersionAndCount && (!sawVersion || !sawCount || result.version == 0 || result.count == 0)) {
                    result.code = kBibleRefLoadNoVersion;
                    return result;
                }
                if (result.count > kMaxRows) {
                    result.code = kBibleRefLoadMismatch;
                    return result;
                }
                if (onRow == nullptr)
                    result.rows.reserve(result.count);
                state = State::Data;
            } else if (!isBlankLine(line)) {
                result.code = kBibleRefLoadMalformed;
                return result;
            }
            break;
        case State::Header:
            if (line == "--- End") {
                state = State::Outside;
            } else if (startsWith(line, "Version=")) {
                if (!parseHeaderNumber(line.substr(8), result.version)) {
                    result.code = requireVersionAndCount ? kBibleRefLoadNoVersion : kBibleRefLoadMalformed;
                    return result;
                }
                sawVersion = true;
                if (result.version <= loadedVersion && (result.version != 0 || !requireVersionAndCount)) {
                    result.code = kBibleRefLoadOk;  // not newer: nothing changes
                    return result;
                }
            } else if (startsWith(line, "Count=")) {
                if (!parseHeaderNumber(line.substr(6), result.count)) {
                    result.code = requireVersionAndCount ? kBibleRefLoadNoVersion : kBibleRefLoadMismatch;
                    return result;
                }
                sawCount = true;
            }
            break;
        case State::Data:
            if (!titleSkipped) {
                titleSkipped = true;
                break;
            }
            if (line == "--- End") {
                result.code = kBibleRefLoadOk;
                result.newer = true;
                return result;
            }
            if (isBlankLine(line))
                break;
            if (result.rowsRead >= kMaxRows) {
                result.code = kBibleRefLoadMismatch;
                return result;
            }
            addRow(result, line, onRow);
            break;
        }
    }
}

cBibleRefTableReader::Result cBibleRefTableReader::readDictionary(std::uint32_t loadedVersion)
{
    Result result;
    std::map<std::string, std::string> header;
    std::string line;
    for (;;) {
        const Line kind = nextLine(line);
        if (kind != Line::Text) {
            result.code = kBibleRefLoadMalformed;
            return result;
        }
        if (line == "--- End")
            break;
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            header[line.substr(0, eq)] = line.substr(eq + 1);
    }
    const auto version = header.find("Version");
    const auto count = header.find("Count");
    if (version == header.end() || count == header.end() || !parseHeaderNumber(version->second, result.version) ||
        !parseHeaderNumber(count->second, result.count) || result.version == 0 || result.count == 0) {
        result.code = kBibleRefLoadNoVersion;
        return result;
    }
    if (result.version <= loadedVersion) {
        result.code = kBibleRefLoadOk;
        return result;
    }
    // Skip to the data section.
    for (;;) {
        const Line kind = nextLine(line);
        if (kind != Line::Text) {
            result.code = kBibleRefLoadMalformed;
            return result;
        }
        if (line == "+++ Data")
            break;
        if (!isBlankLine(line)) {
            result.code = kBibleRefLoadMalformed;
            return result;
        }
    }
    result.rows.reserve(result.count < kMaxRows ? result.count : kMaxRows);
    bool titleSkipped = false;
    for (;;) {
        const Line kind = nextLine(line);
        if (kind == Line::TooLong) {
            result.code = kBibleRefLoadMalformed;
            return result;
        }
        if (kind == Line::EndOfFile || line == "--- End")
            break;
        if (!titleSkipped) {
            titleSkipped = true;
            continue;
        }
        if (isBlankLine(line))
            continue;
        if (result.rowsRead >= kMaxRows) {
            result.code = kBibleRefLoadMismatch;
            return result;
        }
        addRow(result, line, nullptr);
    }
    result.code = kBibleRefLoadOk;
    result.newer = true;
    return result;
}
