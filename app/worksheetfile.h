#pragma once
// CWorksheetFile: one table of text cells kept in memory as one text line per
// row, stored either as one worksheet of an Excel 97-2003 workbook (.xls) or
// as a delimited text file. Changes are written out in one batch.
//
// All texts are UTF-8. Failures return false and leave a message in
// LastError(); nothing is shown to the user. No Qt: progress and cancel reach
// the writer through the two small interfaces below, so a worker thread can
// drive it.

#include <string>
#include <string_view>
#include <vector>

// Progress display of a long write-out (a progress bar on the GUI thread, or
// nothing). Called on the writer's thread.
class IWorksheetProgress {
public:
    virtual ~IWorksheetProgress() = default;
    virtual void SetRange(int lower, int upper) = 0;
    virtual void SetPos(int pos) = 0;
    virtual void SetStep(int step) = 0;
    virtual void StepIt() = 0;
};

// Cancel test of a long write-out: asked once per written row, must not wait.
class IWorksheetCancel {
public:
    virtual ~IWorksheetCancel() = default;
    virtual bool IsCancelRequested() = 0;
};

class CWorksheetFile {
public:
    // Excel mode when the path ends in ".xls" (any case): sheetOrSeparator is
    // the sheet name. Text mode otherwise: sheetOrSeparator is the field
    // separator, and makeBackup keeps a copy "<path>.bak" of an existing file.
    CWorksheetFile(const std::string& path, const std::string& sheetOrSeparator, bool makeBackup);
    ~CWorksheetFile();
    CWorksheetFile(const CWorksheetFile&) = delete;
    CWorksheetFile& operator=(const CWorksheetFile&) = delete;

    int RowCount() const { return m_totalRows; }
    int ColumnCount() const { return m_totalColumns; }
    int CurrentRow() const { return m_currentRow; }
    const std::string& LastError() const { return m_lastError; }
    bool IsExcelMode() const { return m_excelMode; }
    bool SheetExists() const { return m_sheetExists; }
    bool BackupKept() const { return m_makeBackup; }
    const std::string& Separator() const { return m_separator; }
    const std::vector<std::string>& HeaderFields() const { return m_headers; }
    // The stored row line of a 1-based row (empty when out of range).
    std::string RowLine(int row) const;

    // Batches: between StartBatch and WriteOut changes live only in memory.
    void StartBatch() { m_inBatch = true; }
    // Drops the batch's changes by reading the sheet or file again.
    bool AbandonBatch();

    bool SetHeaderRow(const std::vector<std::string>& fields, bool replace);
    // row is 1-based; 0 appends. replace overwrites an existing row, otherwise
    // the new row is inserted before it.
    bool PutRow(const std::vector<std::string>& fields, int row, bool replace);
    // Fields of a 1-based row; row 0 reads the row at the cursor. The cursor
    // moves to the row after it.
    bool GetRowFields(std::vector<std::string>& fields, int row);

    // Columns are 1-based numbers, or header names / column letters resolved
    // with ResolveColumn.
    bool PutCell(const std::string& value, int column, int row);
    bool PutCell(const std::string& value, const std::string& column, bool isLetters, int row);
    bool GetColumnValues(int column, std::vector<std::string>& values);
    bool GetColumnValues(const std::string& column, bool isLetters,
                         std::vector<std::string>& values);
    bool GetCellValue(int column, int row, std::string& value);
    bool GetCellValue(const std::string& column, bool isLetters, int row, std::string& value);
    // Excel mode: sets newValues in every row whose fields equal oldValues.
    bool UpdateMatchingRows(const std::vector<std::string>& newValues,
                            const std::vector<std::string>& oldValues);
    bool DropSheet();
    // Column letters ("A".."ZZ") or a header name to a 1-based column; 0 on
    // failure.
    int ResolveColumn(const std::string& text, bool isLetters);
    // Writes a copy with the other storage: an Excel table to "<base>.csv"
    // with arg as separator, a text table to "<base>.xls" with arg as sheet.
    bool SaveInOtherFormat(const std::string& arg);

    // Writes the whole table; ends the batch.
    bool WriteOut();
    // WriteOut with a progress display and a cancel test after each row
    // (Excel mode). A cancel keeps the rows written so far, sets the
    // progress to 0 and clears success.
    bool WriteOutWithProgress(IWorksheetProgress* progress, bool& success,
                              IWorksheetCancel* cancel);
    // Reads the sheet or file again into memory.
    bool Reload();

    // A row line built from fields in this table's format: every field in
    // double quotes, the fields parted by the separator. Values are stored as
    // they are; a line is cut at each quote-separator-quote, so quotes and
    // separators inside values split back correctly, except in a value that
    // holds quote-separator-quote or ends with quote-separator, a first
    // value that starts with separator-quote, and the one value of a
    // single-field row when it holds the separator.
    std::string BuildRowLine(const std::vector<std::string>& fields) const;
    // Fields of a row line, cut as GetRowFields does.
    std::vector<std::string> SplitRowLine(std::string_view line) const;

private:
    void SplitInto(std::string_view line, std::vector<std::string_view>& fields) const;
    static std::string JoinFields(const std::vector<std::string>& fields,
                                  const std::string& separator);
    bool ReadRow(int row, std::vector<std::string>& fields);
    bool ReloadExcel();
    bool ReloadText();
    bool WriteOutText(const std::string& path);
    bool WriteOutExcel(IWorksheetProgress* progress, bool* success, IWorksheetCancel* cancel);
    bool ClearSheetInWorkbook();
    std::string PaddingLine() const;
    std::string PaddingCell() const { return m_excelMode ? " " : ""; }
    void EmptyTable();
    bool Fail(std::string message);

    bool m_sheetExists = false;
    bool m_makeBackup = false;
    bool m_excelMode = false;
    bool m_inBatch = false;
    int m_currentRow = 1;
    int m_totalRows = 0;
    int m_totalColumns = 0;
    std::string m_rowText;
    std::string m_sheetName;
    std::string m_path;
    std::string m_separator;
    std::string m_quotedSeparator; // quote, separator, quote: where fields are cut
    std::string m_lastError;
    std::vector<std::string> m_fields;
    std::vector<std::string> m_headers;
    std::vector<std::string> m_rows;
};
