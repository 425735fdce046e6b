// Reader of the reference-table files (one CSV file per table). Layout, line by line,
// lines ending in LF or CRLF:
//
//   *** any text          a comment, skipped anywhere
//   +++ Header            begins the header
//   Version=<n>           table version, decimal
//   Count=<n>             number of data rows, decimal
//   --- End               ends the header, and again ends the data
//   +++ Data              begins the data; the next non-comment line is the column titles
//   "1","2",...           a data row: fields separated by ",", double quotes trimmed from
//                         both ends of each field, numbers in decimal
//
// Two header variants exist. Most tables read "Version=" and "Count=" themselves inside
// the header and require "--- End" after the data (readStrict). The map tables read the
// header as a key=value dictionary up to the first "--- End" and may end their data at the
// end of the file (readDictionary). Both stop with kBibleRefLoadOk, without reading rows,
// when the file's version is not greater than the loaded one.
//
// The file is read in chunks of kChunkSize bytes, so the reader may take bytes past the last line
// it returns from the stream; a file is read by one reader.
//
// Limits: a line longer than kMaxLineLength or more than kMaxRows data rows make the file
// malformed or mismatched; nothing is allocated beyond what the file holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class cBibleRefTableReader {
public:
    static constexpr std::size_t kMaxLineLength = 64 * 1024;
    static constexpr std::size_t kMaxRows = 65536;
    static constexpr std::size_t kChunkSize = 16 * 1024;

    using Row = std::vector<std::string>;
    // The fields of one data row, valid only during the call that receives them.
    using Fields = std::vector<std::string_view>;
    using RowHandler = std::function<void(const Fields&)>;

    struct Result {
        std::int32_t code = 0;  // a kBibleRefLoad... value
        bool newer = false;     // true when rows were read and should be installed
        std::uint32_t version = 0;
        std::uint32_t count = 0;
        std::vector<Row> rows;     // empty when the rows went to a handler
        std::size_t rowsRead = 0;  // data rows read, with or without a handler
    };

    explicit cBibleRefTableReader(std::FILE* file) : m_file(file) { }

    // requireVersionAndCount: false only for the book-name files.
    Result readStrict(std::uint32_t loadedVersion, bool requireVersionAndCount);
    Result readDictionary(std::uint32_t loadedVersion);
    // The same, handing each data row to onRow as it is read instead of keeping it in rows. Each
    // row is handed over whatever the file holds after it: a loader that finds a bad row keeps
    // reading, so that a fault of the file itself is reported before a fault of its rows.
    Result readStrict(std::uint32_t loadedVersion, bool requireVersionAndCount, const RowHandler& onRow);

    // Splits a data line into fields and trims the quotes.
    static Row splitRow(const std::string& line);
    static void splitFields(std::string_view line, Fields& fields);
    // A decimal number with optional blanks and sign; false when the field is not one.
    static bool parseNumber(std::string_view field, std::int64_t& value);

private:
    enum class Line { Text, EndOfFile, TooLong };
    Line nextLine(std::string& line);  // skips comments; strips the line ending
    bool refill();                     // the next chunk of the file; false at its end
    Result readStrictRows(std::uint32_t loadedVersion, bool requireVersionAndCount, const RowHandler* onRow);
    void addRow(Result& result, std::string_view line, const RowHandler* onRow);

    std::FILE* m_file;
    bool m_firstLine = true;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_begin = 0, m_end = 0;  // the unread bytes of m_buffer
    Fields m_fields;                     // the row handed to a handler, reused
};
