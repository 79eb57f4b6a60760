#pragma once
// CBiffWorkbookWriter: writes an Excel 97-2003 workbook (BIFF8 records in the
// "Workbook" stream of a compound file) from cell values given sheet by
// sheet, row by row. Texts go into one shared string table; the record
// sequence follows the BIFF8 grammar (row blocks with DBCELL and INDEX,
// SST with CONTINUE and EXTSST), so the files open in spreadsheet programs.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CBiffWorkbookWriter {
public:
    static constexpr int kMaxRows = 65536;
    static constexpr int kMaxColumns = 256;
    static constexpr size_t kMaxSheetName = 31;
    // The cell format every cell gets unless told otherwise: the first cell
    // XF after the 15 style XFs.
    static constexpr uint16_t kDefaultXf = 15;

    CBiffWorkbookWriter();
    ~CBiffWorkbookWriter();
    CBiffWorkbookWriter(const CBiffWorkbookWriter&) = delete;
    CBiffWorkbookWriter& operator=(const CBiffWorkbookWriter&) = delete;

    // A name Excel accepts for a sheet: 1 to 31 characters, none of []:*?/\.
    static bool IsValidSheetName(std::string_view name);

    // The fonts, number formats, XFs, styles and palette of another workbook
    // (whole records, at least 16 XFs among them) in place of the defaults,
    // so that cells copied from it keep their look.
    void UseFormatting(std::vector<uint8_t> records);

    // visibility: 0 visible, 1 hidden, 2 very hidden. The first visible
    // sheet is the active one.
    void BeginSheet(std::string_view name, uint8_t visibility = 0);
    // Cells of the current sheet, rows ascending and columns ascending within
    // a row; columns from 256 on are ignored. Empty texts make no cell.
    void AddText(uint16_t row, uint16_t column, std::string_view utf8, uint16_t xf = kDefaultXf);
    void AddNumber(uint16_t row, uint16_t column, double value, uint16_t xf = kDefaultXf);
    void AddBoolErr(uint16_t row, uint16_t column, uint8_t value, bool isError,
                    uint16_t xf = kDefaultXf);
    // A cell with a format and no value.
    void AddBlank(uint16_t row, uint16_t column, uint16_t xf);
    // Column widths and merged ranges of the current sheet, as whole COLINFO
    // and MERGECELLS records.
    void SetColumns(uint16_t defaultWidth, std::vector<uint8_t> colInfoRecords);
    void SetMergedCells(std::vector<uint8_t> mergeCellsRecords);
    void EndSheet();

    // Writes the workbook to path (replacing it only when complete).
    bool Save(const std::string& path, std::string& error);

private:
    struct Sheet;
    struct StringTable;
    void StartCell(uint16_t row, uint16_t column);
    void FlushBlock();
    uint8_t* CellRecord(uint16_t type, uint16_t size, uint16_t row, uint16_t column, uint16_t xf);

    std::vector<Sheet> m_sheets;
    std::vector<uint8_t> m_formatting;
    std::unique_ptr<StringTable> m_strings;
    uint32_t m_stringRefs = 0;
    // The row block being gathered (up to 32 rows).
    struct BlockRow {
        uint16_t row, firstColumn, endColumn;
        uint32_t cellOffset;
    };
    std::vector<BlockRow> m_blockRows;
    std::vector<uint8_t> m_blockCells;
    int m_block = -1;
};
