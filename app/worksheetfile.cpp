#include "worksheetfile.h"

#include "biffworkbook.h"
#include "biffworkbookwriter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace {

// Fields of a row line in Excel mode are parted by these four characters.
constexpr const char* kExcelSeparator = ",;.?";
// Rows a text table may be padded to; beyond this a row number is a mistake.
constexpr int kMaxTextRows = 1 << 24;

bool EndsWithXls(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return tail == ".xls";
}

bool FileHasContent(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

std::string Format(const char* format, const std::string& value) {
    const int n = std::snprintf(nullptr, 0, format, value.c_str());
    std::string out(size_t(std::max(n, 0)), '\0');
    std::snprintf(out.data(), out.size() + 1, format, value.c_str());
    return out;
}

// COLINFO records whose format is not among the workbook's XFs get the
// default cell format.
std::vector<uint8_t> WithValidFormats(std::vector<uint8_t> colInfo, uint32_t xfCount) {
    for (size_t at = 0; at + 4 <= colInfo.size();) {
        const size_t length = colInfo[at + 2] | colInfo[at + 3] << 8;
        if (at + 4 + length > colInfo.size())
            break;
        uint8_t* xf = &colInfo[at + 4 + 6];
        if (length >= 8 && uint32_t(xf[0] | xf[1] << 8) >= xfCount) {
            xf[0] = uint8_t(CBiffWorkbookWriter::kDefaultXf);
            xf[1] = 0;
        }
        at += 4 + length;
    }
    return colInfo;
}

// Rewrites the workbook at path: every other worksheet keeps its cell values
// and place; the named sheet is written by writeSheet in its place, or added
// last when the workbook has no such sheet. With mustExist, a missing file
// or sheet is an error.
template <typename WriteSheet>
bool RewriteWorkbook(const std::string& path, const std::string& sheetName, bool mustExist,
                     WriteSheet writeSheet, std::string& error) {
    CBiffWorkbook existing;
    if (FileHasContent(path)) {
        // The sheet being replaced is not read.
        if (!existing.Load(path, error, sheetName))
            return false;
    } else if (mustExist) {
        error = "no workbook";
        return false;
    }
    const int target = existing.FindSheet(sheetName);
    if (mustExist && target < 0) {
        error = "no such sheet";
        return false;
    }
    CBiffWorkbookWriter writer;
    // The other sheets keep their formats when the workbook's own formatting
    // records are complete enough to be written again.
    const bool keepFormats = existing.xfCount >= 16;
    const uint32_t xfCount = keepFormats ? existing.xfCount : 16;
    if (keepFormats)
        writer.UseFormatting(std::move(existing.formatRecords));
    auto formatOf = [&](uint16_t xf) {
        return keepFormats && xf < xfCount ? xf : CBiffWorkbookWriter::kDefaultXf;
    };
    auto copySheet = [&](CBiffSheet& sheet) {
        writer.BeginSheet(sheet.name, sheet.visibility);
        writer.SetColumns(sheet.defaultColumnWidth,
                          WithValidFormats(std::move(sheet.columnRecords), xfCount));
        writer.SetMergedCells(std::move(sheet.mergeRecords));
        for (const CBiffCell& c : sheet.cells) {
            const uint16_t xf = formatOf(c.xf);
            switch (c.kind) {
            case CBiffCell::Text:
                if (c.text < existing.strings.size())
                    writer.AddText(c.row, c.column, existing.strings[c.text], xf);
                break;
            case CBiffCell::Number:
                writer.AddNumber(c.row, c.column, c.number, xf);
                break;
            case CBiffCell::Boolean:
            case CBiffCell::Error:
                writer.AddBoolErr(c.row, c.column, c.code, c.kind == CBiffCell::Error, xf);
                break;
            case CBiffCell::Blank:
                if (keepFormats)
                    writer.AddBlank(c.row, c.column, xf);
                break;
            }
        }
        writer.EndSheet();
    };
    for (size_t i = 0; i < existing.sheets.size(); ++i) {
        if (int(i) == target) {
            writer.BeginSheet(existing.sheets[i].name, existing.sheets[i].visibility);
            writeSheet(writer);
            writer.EndSheet();
        } else {
            copySheet(existing.sheets[i]);
        }
    }
    if (target < 0) {
        writer.BeginSheet(sheetName);
        writeSheet(writer);
        writer.EndSheet();
    }
    // The old workbook's cells are no longer needed while the file is written.
    existing = CBiffWorkbook{};
    return writer.Save(path, error);
}

} // namespace

CWorksheetFile::CWorksheetFile(const std::string& path, const std::string& sheetOrSeparator,
                               bool makeBackup)
    : m_makeBackup(makeBackup), m_excelMode(EndsWithXls(path)), m_path(path) {
    if (m_excelMode) {
        m_sheetName = sheetOrSeparator;
        m_separator = kExcelSeparator;
    } else {
        m_separator = sheetOrSeparator;
    }
    m_quotedSeparator = "\"" + m_separator + "\"";
    const bool loaded = Reload();
    if (!m_excelMode && loaded && m_makeBackup && m_sheetExists) {
        if (!WriteOutText(m_path + ".bak"))
            m_makeBackup = false;
    }
}

CWorksheetFile::~CWorksheetFile() = default;

bool CWorksheetFile::Fail(std::string message) {
    m_lastError = std::move(message);
    return false;
}

std::string CWorksheetFile::RowLine(int row) const {
    if (row < 1 || row > int(m_rows.size()))
        return {};
    return m_rows[size_t(row - 1)];
}

std::string CWorksheetFile::JoinFields(const std::vector<std::string>& fields,
                                       const std::string& separator) {
    size_t size = 0;
    for (const std::string& f : fields)
        size += f.size() + 2 + separator.size();
    std::string line;
    line.reserve(size);
    for (size_t i = 0; i < fields.size(); ++i) {
        line += '"';
        line += fields[i];
        line += '"';
        if (i + 1 < fields.size())
            line += separator;
    }
    return line;
}

std::string CWorksheetFile::BuildRowLine(const std::vector<std::string>& fields) const {
    return JoinFields(fields, m_separator);
}

std::string CWorksheetFile::PaddingLine() const {
    return JoinFields(std::vector<std::string>(size_t(m_totalColumns), PaddingCell()), m_separator);
}

void CWorksheetFile::SplitInto(std::string_view line, std::vector<std::string_view>& fields) const {
    fields.clear();
    if (!m_separator.empty()) {
        size_t pos = line.find(m_quotedSeparator);
        if (pos != std::string_view::npos) {
            size_t start = 0;
            for (; pos != std::string_view::npos; pos = line.find(m_quotedSeparator, start)) {
                fields.push_back(line.substr(start, pos - start));
                start = pos + m_quotedSeparator.size();
            }
            fields.push_back(line.substr(start));
            if (!fields.front().empty() && fields.front().front() == '"')
                fields.front().remove_prefix(1);
            if (!fields.back().empty() && fields.back().back() == '"')
                fields.back().remove_suffix(1);
            return;
        }
        pos = line.find(m_separator);
        if (pos != std::string_view::npos) {
            size_t start = 0;
            for (; pos != std::string_view::npos; pos = line.find(m_separator, start)) {
                fields.push_back(line.substr(start, pos - start));
                start = pos + m_separator.size();
            }
            fields.push_back(line.substr(start));
            return;
        }
    }
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
        line = line.substr(1, line.size() - 2);
    fields.push_back(line);
}

std::vector<std::string> CWorksheetFile::SplitRowLine(std::string_view line) const {
    std::vector<std::string_view> views;
    SplitInto(line, views);
    return {views.begin(), views.end()};
}

bool CWorksheetFile::GetRowFields(std::vector<std::string>& fields, int row) {
    if (row == 0)
        row = m_currentRow;
    if (row > m_totalRows || row < 1)
        return Fail("Desired row is greater than total number of rows in spreadsheet\n");
    m_currentRow = row + 1;
    fields = SplitRowLine(m_rows[size_t(row - 1)]);
    return true;
}

bool CWorksheetFile::ReadRow(int row, std::vector<std::string>& fields) {
    if (!GetRowFields(fields, row))
        return Fail("Error reading row\n");
    return true;
}

void CWorksheetFile::EmptyTable() {
    m_rows.clear();
    m_headers.clear();
    m_totalRows = 0;
    m_totalColumns = 0;
    m_currentRow = 1;
    m_sheetExists = false;
}

bool CWorksheetFile::SetHeaderRow(const std::vector<std::string>& fields, bool replace) {
    if (!m_sheetExists) {
        m_totalColumns = int(fields.size());
        if (!PutRow(fields, 1, true))
            return false;
        m_totalRows = std::max(m_totalRows, 1);
        return true;
    }
    if (replace)
        return PutRow(fields, 1, true);
    if (!GetRowFields(m_fields, 1))
        return false;
    if (m_excelMode) {
        for (const std::string& f : fields)
            if (std::find(m_fields.begin(), m_fields.end(), f) != m_fields.end())
                return Fail(Format("Duplicate header row field:%s\n", f));
    }
    m_fields.insert(m_fields.end(), fields.begin(), fields.end());
    if (!PutRow(m_fields, 1, true))
        return Fail("Problems with adding headers\n");
    m_totalColumns = std::max(m_totalColumns, int(m_fields.size()));
    return true;
}

bool CWorksheetFile::PutRow(const std::vector<std::string>& fields, int row, bool replace) {
    const int count = int(fields.size());
    if (row < 0)
        return Fail("Desired row is greater than total number of rows in spreadsheet\n");
    if (row > (m_excelMode ? CBiffWorkbookWriter::kMaxRows : kMaxTextRows))
        return Fail(m_excelMode ? "An Excel worksheet holds at most 65536 rows\n"
                                : "Row number too large\n");
    if (row == 1) {
        if (m_excelMode) {
            for (size_t i = 1; i < fields.size(); ++i)
                if (std::find(fields.begin(), fields.begin() + long(i), fields[i]) !=
                    fields.begin() + long(i))
                    return Fail(Format("Duplicate header row field:%s\n", fields[i]));
            if (count < m_totalColumns)
                return Fail("Number of columns in new header row cannot be less than the number "
                            "of columns in previous header row");
            m_totalColumns = count;
        }
        m_headers = fields;
    } else if (m_excelMode) {
        if (m_totalColumns == 0)
            return Fail("No header row. Add header row first\n");
        if (count > int(m_headers.size()))
            return Fail(
                "Number of columns to be added cannot be greater than the number of fields\n");
    }
    if (!m_excelMode)
        m_totalColumns = std::max(m_totalColumns, count);

    m_rowText = BuildRowLine(fields);
    if (row != 0 && row <= m_totalRows) {
        if (replace) {
            m_rows[size_t(row - 1)].swap(m_rowText);
        } else {
            m_rows.insert(m_rows.begin() + (row - 1), std::move(m_rowText));
            ++m_totalRows;
        }
    } else if (row > m_totalRows) {
        if (int(m_rows.size()) < row - 1) {
            const std::string padding = PaddingLine();
            m_rows.resize(size_t(row - 1), padding);
        }
        m_rows.push_back(std::move(m_rowText));
        m_totalRows = row;
    } else {
        m_rows.push_back(std::move(m_rowText));
        ++m_totalRows;
    }
    m_rowText.clear();
    if (!m_inBatch)
        return WriteOut();
    return true;
}

int CWorksheetFile::ResolveColumn(const std::string& text, bool isLetters) {
    if (isLetters && (text.size() == 1 || text.size() == 2)) {
        std::string up = text;
        for (char& c : up)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        const bool letters =
            std::all_of(up.begin(), up.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        if (letters)
            return up.size() == 1 ? up[0] - 'A' + 1 : 26 * up[0] + up[1] - 1728;
    }
    for (size_t i = 0; i < m_headers.size(); ++i)
        if (m_headers[i] == text)
            return int(i + 1);
    Fail("Invalid field name or column alphabet\n");
    return 0;
}

bool CWorksheetFile::PutCell(const std::string& value, int column, int row) {
    if (column <= 0)
        return Fail("Column cannot be zero\n");
    if (m_excelMode && column > int(m_headers.size()) + 1)
        return Fail("Cell column to be added cannot be greater than the number of fields\n");
    if (row >= 1 && row <= m_totalRows) {
        if (!ReadRow(row, m_fields))
            return false;
        if (int(m_fields.size()) < column)
            m_fields.resize(size_t(column));
        m_fields[size_t(column - 1)] = value;
        return PutRow(m_fields, row, true);
    }
    // A new row: padding cells around the value.
    m_fields.assign(size_t(std::max(m_totalColumns, column)), PaddingCell());
    m_fields[size_t(column - 1)] = value;
    return PutRow(m_fields, row, true);
}

bool CWorksheetFile::PutCell(const std::string& value, const std::string& column, bool isLetters,
                             int row) {
    const int c = ResolveColumn(column, isLetters);
    return c != 0 && PutCell(value, c, row);
}

bool CWorksheetFile::GetColumnValues(int column, std::vector<std::string>& values) {
    if (column <= 0)
        return Fail("Column cannot be zero\n");
    values.clear();
    for (int row = 1; row <= m_totalRows; ++row) {
        if (!ReadRow(row, m_fields))
            return false;
        values.push_back(int(m_fields.size()) >= column ? m_fields[size_t(column - 1)] : "");
    }
    return true;
}

bool CWorksheetFile::GetColumnValues(const std::string& column, bool isLetters,
                                     std::vector<std::string>& values) {
    const int c = ResolveColumn(column, isLetters);
    return c != 0 && GetColumnValues(c, values);
}

bool CWorksheetFile::GetCellValue(int column, int row, std::string& value) {
    if (column <= 0)
        return Fail("Column cannot be zero\n");
    if (!ReadRow(row, m_fields))
        return false;
    value = int(m_fields.size()) >= column ? m_fields[size_t(column - 1)] : "";
    return true;
}

bool CWorksheetFile::GetCellValue(const std::string& column, bool isLetters, int row,
                                  std::string& value) {
    const int c = ResolveColumn(column, isLetters);
    return c != 0 && GetCellValue(c, row, value);
}

bool CWorksheetFile::UpdateMatchingRows(const std::vector<std::string>& newValues,
                                        const std::vector<std::string>& oldValues) {
    if (!m_excelMode)
        return Fail("Function not available for text delimited file\n");
    const size_t setCount = std::min(m_headers.size(), newValues.size());
    const size_t matchCount = std::min(m_headers.size(), oldValues.size());
    std::vector<std::string_view> views;
    for (size_t r = 1; r < m_rows.size(); ++r) {
        SplitInto(m_rows[r], views);
        bool match = true;
        for (size_t j = 0; j < matchCount && match; ++j)
            match = (j < views.size() ? views[j] : std::string_view()) == oldValues[j];
        if (!match)
            continue;
        std::vector<std::string> fields(views.begin(), views.end());
        if (fields.size() < setCount)
            fields.resize(setCount);
        std::copy(newValues.begin(), newValues.begin() + long(setCount), fields.begin());
        m_rows[r] = BuildRowLine(fields);
    }
    if (!WriteOut())
        return false;
    return Reload();
}

bool CWorksheetFile::ClearSheetInWorkbook() {
    std::string error;
    return RewriteWorkbook(
        m_path, m_sheetName, true, [](CBiffWorkbookWriter&) {}, error);
}

bool CWorksheetFile::DropSheet() {
    if (m_excelMode) {
        if (!ClearSheetInWorkbook())
            return Fail("Error deleting sheet\n");
        EmptyTable();
        return true;
    }
    EmptyTable();
    if (!m_inBatch)
        return WriteOut();
    return true;
}

bool CWorksheetFile::AbandonBatch() {
    const bool ok = Reload();
    m_inBatch = false;
    if (!ok)
        return Fail("Error in returning to previous state\n");
    return true;
}

bool CWorksheetFile::SaveInOtherFormat(const std::string& arg) {
    std::string base = m_path;
    if (m_excelMode) {
        base.resize(base.size() - 4);
    } else {
        const size_t dot = base.rfind('.');
        const size_t slash = base.rfind('/');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
            base.resize(dot);
    }
    std::vector<std::string> fields;
    if (m_excelMode) {
        const std::string path = base + ".csv";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            return Fail("Error writing file\n");
        bool ok = true;
        for (const std::string& line : m_rows) {
            const std::string out = JoinFields(SplitRowLine(line), arg) + "\r\n";
            ok = ok && std::fwrite(out.data(), 1, out.size(), f) == out.size();
        }
        if (std::fclose(f) != 0 || !ok)
            return Fail("Error writing file\n");
        return true;
    }
    CWorksheetFile copy(base + ".xls", arg, false);
    copy.EmptyTable();
    copy.StartBatch();
    for (int row = 1; row <= m_totalRows; ++row) {
        fields = SplitRowLine(m_rows[size_t(row - 1)]);
        if (!copy.PutRow(fields, row, true))
            return Fail(copy.LastError());
    }
    if (!copy.WriteOut())
        return Fail(copy.LastError());
    return true;
}

bool CWorksheetFile::WriteOut() {
    if (m_excelMode)
        return WriteOutExcel(nullptr, nullptr, nullptr);
    m_inBatch = false;
    return WriteOutText(m_path);
}

bool CWorksheetFile::WriteOutWithProgress(IWorksheetProgress* progress, bool& success,
                                          IWorksheetCancel* cancel) {
    if (m_excelMode)
        return WriteOutExcel(progress, &success, cancel);
    m_inBatch = false;
    return WriteOutText(m_path);
}

bool CWorksheetFile::WriteOutText(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return Fail("Error writing file\n");
    std::vector<char> buffer(1 << 20);
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    bool ok = true;
    for (const std::string& line : m_rows) {
        ok = ok && std::fwrite(line.data(), 1, line.size(), f) == line.size();
        ok = ok && std::fwrite("\r\n", 1, 2, f) == 2;
    }
    if (std::fclose(f) != 0 || !ok)
        return Fail("Error writing file\n");
    return true;
}

bool CWorksheetFile::WriteOutExcel(IWorksheetProgress* progress, bool* success,
                                   IWorksheetCancel* cancel) {
    m_inBatch = false;
    if (m_headers.empty())
        return Fail("No header row. Add header row first\n");
    if (!CBiffWorkbookWriter::IsValidSheetName(m_sheetName))
        return Fail("Invalid sheet name\n");
    if (m_headers.size() > size_t(CBiffWorkbookWriter::kMaxColumns) ||
        m_totalColumns > CBiffWorkbookWriter::kMaxColumns)
        return Fail("An Excel worksheet holds at most 256 columns\n");
    if (m_totalRows > CBiffWorkbookWriter::kMaxRows)
        return Fail("An Excel worksheet holds at most 65536 rows\n");

    auto writeSheet = [&](CBiffWorkbookWriter& writer) {
        for (size_t c = 0; c < m_headers.size(); ++c)
            writer.AddText(0, uint16_t(c), m_headers[c]);
        if (progress) {
            progress->SetRange(0, m_totalRows / 2);
            progress->SetPos(0);
            progress->SetStep(2);
            progress->StepIt();
        }
        std::vector<std::string_view> fields;
        for (int k = 1; k < m_totalRows; ++k) {
            SplitInto(m_rows[size_t(k)], fields);
            const size_t count = std::min<size_t>(fields.size(), CBiffWorkbookWriter::kMaxColumns);
            for (size_t c = 0; c < count; ++c)
                writer.AddText(uint16_t(k), uint16_t(c), fields[c]);
            if (cancel && cancel->IsCancelRequested()) {
                // The rows written so far stay in the workbook.
                if (progress)
                    progress->SetPos(0);
                if (success)
                    *success = false;
                break;
            }
            if (progress) {
                progress->StepIt();
                progress->SetPos(k / 2);
            }
        }
    };
    std::string error;
    if (!RewriteWorkbook(m_path, m_sheetName, false, writeSheet, error))
        return Fail("Error writing workbook: " + error + "\n");
    if (!m_sheetExists) {
        m_totalColumns = int(m_headers.size());
        m_sheetExists = true;
    }
    return true;
}

bool CWorksheetFile::Reload() {
    return m_excelMode ? ReloadExcel() : ReloadText();
}

bool CWorksheetFile::ReloadExcel() {
    EmptyTable();
    if (!FileHasContent(m_path))
        return false; // a new workbook: the sheet is created on writing out
    CBiffWorkbook book;
    std::string error;
    if (!book.Load(m_path, error))
        return Fail("Error opening workbook: " + error + "\n");
    const int index = book.FindSheet(m_sheetName);
    if (index < 0)
        return false; // no such sheet yet
    const CBiffSheet& sheet = book.sheets[size_t(index)];
    int columns = 0, lastRow = -1;
    // Cells with a format and no value do not make the table larger.
    for (const CBiffCell& c : sheet.cells) {
        if (c.kind == CBiffCell::Blank)
            continue;
        columns = std::max(columns, c.column + 1);
        lastRow = std::max(lastRow, int(c.row));
    }
    if (columns == 0)
        return true;
    m_sheetExists = true;
    std::vector<std::string> fields;
    auto cell = sheet.cells.begin();
    for (int row = 0; row <= lastRow; ++row) {
        fields.assign(size_t(columns), std::string());
        for (; cell != sheet.cells.end() && cell->row == row; ++cell)
            if (cell->kind != CBiffCell::Blank)
                fields[cell->column] = book.CellText(*cell);
        if (row == 0) {
            // Columns without a name get F1, F2, ... as their name.
            for (int c = 0; c < columns; ++c)
                if (fields[size_t(c)].empty())
                    fields[size_t(c)] = "F" + std::to_string(c + 1);
            m_headers = fields;
        }
        m_rows.push_back(BuildRowLine(fields));
    }
    m_totalRows = int(m_rows.size());
    m_totalColumns = columns;
    m_currentRow = 1;
    return true;
}

bool CWorksheetFile::ReloadText() {
    std::FILE* f = std::fopen(m_path.c_str(), "rb");
    if (!f)
        return Fail("Error in opening file\n");
    std::string content;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.append(buffer, n);
    const bool readError = std::ferror(f);
    std::fclose(f);
    if (readError)
        return Fail("Error in opening file\n");
    EmptyTable();
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string_view line(content.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_rows.emplace_back(line);
        SplitInto(line, fields);
        m_totalColumns = std::max(m_totalColumns, int(fields.size()));
        start = end + 1;
    }
    m_totalRows = int(m_rows.size());
    if (!m_rows.empty())
        m_headers = SplitRowLine(m_rows[0]);
    m_sheetExists = m_totalColumns != 0;
    return true;
}
