#pragma once
// CBiffWorkbook: the cell values of an Excel 97-2003 workbook (BIFF8 records
// in the "Workbook" stream of a compound file), read from a file. Keeps every
// worksheet's texts, numbers, booleans and error values (formulas by their
// last result), which is what a rewrite of the workbook carries over. Every
// record length and index is checked; damaged or hostile files fail cleanly
// with a reason, and allocations stay proportional to the file's size.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct CBiffCell {
    enum Kind : uint8_t { Text, Number, Boolean, Error, Blank }; // Blank: a format only
    uint16_t row = 0;
    uint16_t column = 0;
    Kind kind = Text;
    uint8_t code = 0; // Boolean: 0 or 1; Error: the error code
    uint16_t xf = 15; // the cell's format (index of its XF record)
    union {
        uint32_t text;       // Text: index into CBiffWorkbook::strings
        double number = 0.0; // Number
    };
};

struct CBiffSheet {
    std::string name; // UTF-8
    std::vector<CBiffCell> cells;
    uint8_t visibility = 0; // 0 visible, 1 hidden, 2 very hidden
    // Look of the sheet carried over as whole records: the default column
    // width, COLINFO (column widths) and MERGECELLS.
    uint16_t defaultColumnWidth = 8;
    std::vector<uint8_t> columnRecords;
    std::vector<uint8_t> mergeRecords;
};

class CBiffWorkbook {
public:
    // The largest workbook file read (the whole file is held in memory).
    static constexpr size_t kMaxFileSize = size_t(1) << 30;
    // The most sheets a workbook may have (their ids fit in one record).
    static constexpr size_t kMaxSheets = 4096;

    std::vector<std::string> strings; // UTF-8: the shared strings, then inline texts
    std::vector<CBiffSheet> sheets;   // worksheets in workbook order
    // The workbook's FONT, FORMAT, XF, STYLE and PALETTE records as they
    // stand (headers included), and how many XF records are among them.
    std::vector<uint8_t> formatRecords;
    uint32_t xfCount = 0;

    // Reads the workbook file at path. False and a reason when the file is
    // missing, damaged, encrypted or not a BIFF8 workbook. The worksheet
    // named skipSheet (ASCII case ignored) is listed without its cells.
    bool Load(const std::string& path, std::string& error, std::string_view skipSheet = {});
    // Parses a complete compound file image.
    bool LoadImage(std::vector<uint8_t> image, std::string& error, std::string_view skipSheet = {});
    // Parses the records of a "Workbook" stream.
    bool Parse(std::span<const uint8_t> stream, std::string& error,
               std::string_view skipSheet = {});

    // Index of the worksheet with this name (ASCII case ignored), or -1.
    int FindSheet(std::string_view name) const;
    // A cell's value as text: numbers in their shortest exact form
    // ("23.5", "1"), booleans "TRUE"/"FALSE", errors as Excel shows them.
    std::string CellText(const CBiffCell& cell) const;
    // Sorts a sheet's cells by row and column, the last of duplicates winning.
    static void SortCells(CBiffSheet& sheet);
};

// UTF-8 helpers shared by the workbook reader and writer. Invalid UTF-8
// becomes U+FFFD.
void AppendUtf16AsUtf8(std::string& out, const char16_t* text, size_t count);
void Utf8ToUtf16(std::string_view text, std::u16string& out);
