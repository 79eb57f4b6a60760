// CWorksheetFile: row lines, header rules and error texts, text files with
// their backup, and Excel workbooks checked with python3-xlrd and FreeXL.

#include "worksheetfile.h"

#include "biffworkbook.h"
#include "worksheettestutil.h"

#include <freexl.h>
#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::string>;

// The header and rows of an export of n channels.
Fields ExportHeader(int channels) {
    Fields h{"序号", "时间"};
    for (int c = 1; c <= channels; ++c)
        h.push_back("通道" + std::to_string(c) + "(℃)");
    return h;
}
Fields ExportRow(int i, int channels) {
    Fields f{std::to_string(i + 1),
             "2024-3-5 10:" + std::to_string(i / 60 % 60) + ":" + std::to_string(i % 60)};
    for (int c = 0; c < channels; ++c) {
        char b[16];
        std::snprintf(b, sizeof b, "%5.1f", ((i + c) % 500) / 10.0 - 5.0);
        f.push_back(b);
    }
    return f;
}

class RecordingProgress : public IWorksheetProgress {
public:
    std::vector<std::string> calls;
    int pos = -1;
    void SetRange(int lower, int upper) override {
        calls.push_back("range " + std::to_string(lower) + " " + std::to_string(upper));
    }
    void SetPos(int p) override {
        pos = p;
        calls.push_back("pos " + std::to_string(p));
    }
    void SetStep(int step) override { calls.push_back("step " + std::to_string(step)); }
    void StepIt() override { calls.push_back("stepit"); }
};

// Signals cancel at the n-th test.
class CancelAfter : public IWorksheetCancel {
public:
    explicit CancelAfter(int n) : m_left(n) {}
    int tests = 0;
    bool IsCancelRequested() override {
        ++tests;
        return --m_left < 0;
    }

private:
    int m_left;
};

class WorksheetFileTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(WorksheetFileTest, RowLineQuotesEveryFieldAndSeparatesWithModeSeparator) {
    CWorksheetFile excel(dir.File("a.xls"), "Sheet1", false);
    EXPECT_TRUE(excel.IsExcelMode());
    const std::string line = excel.BuildRowLine({"a", "b", "c"});
    EXPECT_EQ(line, "\"a\",;.?\"b\",;.?\"c\"");
    EXPECT_EQ(line.size(), 17u);
    EXPECT_EQ(excel.SplitRowLine(line), (Fields{"a", "b", "c"}));

    CWorksheetFile text(dir.File("a.csv"), ",", false);
    EXPECT_FALSE(text.IsExcelMode());
    EXPECT_EQ(text.BuildRowLine({"a", "b", "c"}), "\"a\",\"b\",\"c\"");
    // The mode test looks at the last four characters, any case.
    EXPECT_TRUE(CWorksheetFile(dir.File("B.XLS"), "S", false).IsExcelMode());
    EXPECT_FALSE(CWorksheetFile(dir.File("b.xlsx"), ",", false).IsExcelMode());
}

// Which field values survive a row line and which cannot be split back.
TEST_F(WorksheetFileTest, FieldsWithQuotesAndSeparatorsSplitBackUnlessTheyHoldTheCutSequence) {
    CWorksheetFile excel(dir.File("a.xls"), "Sheet1", false);
    CWorksheetFile text(dir.File("a.csv"), ",", false);
    struct Case {
        CWorksheetFile* table;
        Fields fields;
        bool survives;
    } cases[] = {
        {&excel, {"he said \"hi\"", "\"quoted\"", "x"}, true},
        {&excel, {"a,;.?b", ",;.?", "?"}, true},
        {&excel, {"", "", ""}, true},
        {&excel, {"x\",;.?\"y", "z"}, false},  // holds quote-separator-quote
        {&excel, {"x\",;.?", "z"}, false},     // ends with quote-separator
        {&excel, {"a", ",;.?\"y", "z"}, true}, // starts with separator-quote
        {&excel, {",;.?\"y", "z"}, false},     // ... in the first column
        {&excel, {"a,;.?b"}, false},           // one field with the separator
        {&text, {"1,5", "\"2\"", "a\"b"}, true},
        {&text, {"a\",\"b", "c"}, false},
        {&text, {"only,one"}, false},
    };
    for (const Case& c : cases) {
        const std::string line = c.table->BuildRowLine(c.fields);
        EXPECT_EQ(c.table->SplitRowLine(line) == c.fields, c.survives) << line;
    }
    // A line without the cut sequence is cut at plain separators; a line
    // without any separator is one field, unquoted.
    EXPECT_EQ(text.SplitRowLine("1,2,3"), (Fields{"1", "2", "3"}));
    EXPECT_EQ(text.SplitRowLine("\"one\""), (Fields{"one"}));
    EXPECT_EQ(text.SplitRowLine("plain"), (Fields{"plain"}));
}

TEST_F(WorksheetFileTest, PuttingARowBeyondTheEndAddsPaddingLines) {
    CWorksheetFile excel(dir.File("p.xls"), "Sheet1", false);
    excel.StartBatch();
    ASSERT_TRUE(excel.SetHeaderRow({"A", "B"}, false));
    ASSERT_TRUE(excel.PutRow({"1", "2"}, 2, true));
    ASSERT_TRUE(excel.PutRow({"5", "6"}, 5, true));
    EXPECT_EQ(excel.RowCount(), 5);
    EXPECT_EQ(excel.RowLine(3), "\" \",;.?\" \"");
    EXPECT_EQ(excel.RowLine(4), "\" \",;.?\" \"");
    EXPECT_EQ(excel.RowLine(5), "\"5\",;.?\"6\"");

    CWorksheetFile text(dir.File("p.txt"), ";", false);
    text.StartBatch();
    ASSERT_TRUE(text.PutRow({"h1", "h2", "h3"}, 1, true));
    ASSERT_TRUE(text.PutRow({"x"}, 4, true));
    EXPECT_EQ(text.RowCount(), 4);
    EXPECT_EQ(text.RowLine(2), "\"\";\"\";\"\"");
    EXPECT_EQ(text.RowLine(3), "\"\";\"\";\"\"");
    // Inserting (replace = false) moves the rows down.
    ASSERT_TRUE(text.PutRow({"ins"}, 2, false));
    EXPECT_EQ(text.RowCount(), 5);
    EXPECT_EQ(text.RowLine(2), "\"ins\"");
    EXPECT_EQ(text.RowLine(5), "\"x\"");
    // Row 0 appends.
    ASSERT_TRUE(text.PutRow({"end"}, 0, true));
    EXPECT_EQ(text.RowCount(), 6);
    EXPECT_EQ(text.RowLine(6), "\"end\"");
}

TEST_F(WorksheetFileTest, HeaderRulesFailWithTheirTexts) {
    CWorksheetFile w(dir.File("h.xls"), "Sheet1", false);
    w.StartBatch();
    EXPECT_FALSE(w.PutRow({"1"}, 2, true));
    EXPECT_EQ(w.LastError(), "No header row. Add header row first\n");
    EXPECT_FALSE(w.PutRow({"a", "b", "a"}, 1, true));
    EXPECT_EQ(w.LastError(), "Duplicate header row field:a\n");
    ASSERT_TRUE(w.SetHeaderRow({"a", "b", "c"}, false));
    EXPECT_EQ(w.ColumnCount(), 3);
    EXPECT_FALSE(w.PutRow({"a", "b"}, 1, true));
    EXPECT_EQ(w.LastError(), "Number of columns in new header row cannot be less than the "
                             "number of columns in previous header row");
    EXPECT_FALSE(w.PutRow({"1", "2", "3", "4"}, 2, true));
    EXPECT_EQ(w.LastError(),
              "Number of columns to be added cannot be greater than the number of fields\n");
    Fields fields;
    EXPECT_FALSE(w.GetRowFields(fields, 9));
    EXPECT_EQ(w.LastError(), "Desired row is greater than total number of rows in spreadsheet\n");
    EXPECT_FALSE(w.PutCell("v", 0, 2));
    EXPECT_EQ(w.LastError(), "Column cannot be zero\n");
    EXPECT_FALSE(w.PutCell("v", 5, 2));
    EXPECT_EQ(w.LastError(),
              "Cell column to be added cannot be greater than the number of fields\n");
    EXPECT_EQ(w.ResolveColumn("nope", false), 0);
    EXPECT_EQ(w.LastError(), "Invalid field name or column alphabet\n");
    std::string value;
    EXPECT_FALSE(w.GetCellValue(0, 1, value));
    EXPECT_EQ(w.LastError(), "Column cannot be zero\n");
    EXPECT_FALSE(w.GetCellValue(1, 7, value));
    EXPECT_EQ(w.LastError(), "Error reading row\n");

    CWorksheetFile text(dir.File("h.txt"), ",", false);
    EXPECT_EQ(text.LastError(), "Error in opening file\n");
    EXPECT_FALSE(text.UpdateMatchingRows({"x"}, {"y"}));
    EXPECT_EQ(text.LastError(), "Function not available for text delimited file\n");
}

TEST_F(WorksheetFileTest, AddingHeaderColumnsToAnExistingSheetRefusesDuplicates) {
    const std::string path = dir.File("add.xls");
    {
        CWorksheetFile w(path, "Sheet1", false);
        w.StartBatch();
        ASSERT_TRUE(w.SetHeaderRow({"序号", "时间"}, false));
        ASSERT_TRUE(w.PutRow({"1", "t"}, 2, true));
        ASSERT_TRUE(w.WriteOut()) << w.LastError();
    }
    CWorksheetFile w(path, "Sheet1", false);
    ASSERT_TRUE(w.SheetExists());
    w.StartBatch();
    EXPECT_FALSE(w.SetHeaderRow({"时间"}, false));
    EXPECT_EQ(w.LastError(), "Duplicate header row field:时间\n");
    EXPECT_EQ(w.HeaderFields(), (Fields{"序号", "时间"}));
    ASSERT_TRUE(w.SetHeaderRow({"通道1(℃)"}, false));
    EXPECT_EQ(w.HeaderFields(), (Fields{"序号", "时间", "通道1(℃)"}));
    EXPECT_EQ(w.ColumnCount(), 3);
}

TEST_F(WorksheetFileTest, ResolveColumnTakesLettersOrHeaderNames) {
    CWorksheetFile w(dir.File("r.xls"), "Sheet1", false);
    w.StartBatch();
    ASSERT_TRUE(w.SetHeaderRow({"序号", "时间", "Oven(℃)"}, false));
    EXPECT_EQ(w.ResolveColumn("b", true), 2);
    EXPECT_EQ(w.ResolveColumn("AB", true), 28);
    EXPECT_EQ(w.ResolveColumn("a", true), 1);
    EXPECT_EQ(w.ResolveColumn("Z", true), 26);
    EXPECT_EQ(w.ResolveColumn("aa", true), 27);
    EXPECT_EQ(w.ResolveColumn("Oven(℃)", false), 3);
    EXPECT_EQ(w.ResolveColumn("时间", true), 2);
}

TEST_F(WorksheetFileTest, WorkbookReadsBackInWorksheetFileXlrdAndFreeXL) {
    const std::string path = dir.File("export.xls");
    const int rows = 50, channels = 3;
    {
        CWorksheetFile w(path, "Sheet1", true);
        EXPECT_FALSE(w.SheetExists());
        w.StartBatch();
        ASSERT_TRUE(w.SetHeaderRow(ExportHeader(channels), false));
        for (int i = 0; i < rows; ++i)
            ASSERT_TRUE(w.PutRow(ExportRow(i, channels), i + 2, true));
        ASSERT_TRUE(w.PutRow({"", "it's 空", "", "  中文"}, rows + 2, true));
        ASSERT_TRUE(w.WriteOut()) << w.LastError();
        EXPECT_TRUE(w.SheetExists());
    }
    // No backup of workbooks.
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    CWorksheetFile back(path, "sheet1", false);
    ASSERT_TRUE(back.SheetExists()) << back.LastError();
    EXPECT_EQ(back.RowCount(), rows + 2);
    EXPECT_EQ(back.ColumnCount(), channels + 2);
    EXPECT_EQ(back.HeaderFields(), ExportHeader(channels));
    Fields fields;
    ASSERT_TRUE(back.GetRowFields(fields, 2));
    EXPECT_EQ(fields, ExportRow(0, channels));
    ASSERT_TRUE(back.GetRowFields(fields, 0));
    EXPECT_EQ(fields, ExportRow(1, channels));
    EXPECT_EQ(back.CurrentRow(), 4);
    ASSERT_TRUE(back.GetRowFields(fields, rows + 2));
    EXPECT_EQ(fields, (Fields{"", "it's 空", "", "  中文", ""}));

    const XlrdBook book = ReadWithXlrd(path, dir);
    ASSERT_TRUE(book.ok) << book.output;
    ASSERT_EQ(book.sheets.size(), 1u);
    EXPECT_EQ(book.sheets[0].name, "Sheet1");
    const auto& r = book.sheets[0].rows;
    ASSERT_EQ(r.size(), size_t(rows + 2));
    EXPECT_EQ(r[0], ExportHeader(channels));
    for (int i = 0; i < rows; ++i)
        EXPECT_EQ(r[size_t(i + 1)], ExportRow(i, channels));
    EXPECT_EQ(r[size_t(rows + 1)], (Fields{"", "it's 空", "", "  中文", ""}));

    const void* handle = nullptr;
    ASSERT_EQ(freexl_open(path.c_str(), &handle), FREEXL_OK);
    unsigned int sheets = 0;
    EXPECT_EQ(freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets), FREEXL_OK);
    EXPECT_EQ(sheets, 1u);
    ASSERT_EQ(freexl_select_active_worksheet(handle, 0), FREEXL_OK);
    unsigned int nrows = 0;
    unsigned short ncols = 0;
    ASSERT_EQ(freexl_worksheet_dimensions(handle, &nrows, &ncols), FREEXL_OK);
    EXPECT_EQ(nrows, unsigned(rows + 2));
    EXPECT_EQ(ncols, channels + 2);
    FreeXL_CellValue cell;
    ASSERT_EQ(freexl_get_cell_value(handle, 0, 2, &cell), FREEXL_OK);
    ASSERT_EQ(cell.type, FREEXL_CELL_SST_TEXT);
    EXPECT_STREQ(cell.value.text_value, "通道1(℃)");
    freexl_close(handle);
}

TEST_F(WorksheetFileTest, ReplacingASheetKeepsTheOtherSheetsOfAForeignWorkbook) {
    // Globals with two sheets and an SST whose second string goes on in a
    // CONTINUE record that switches to two-byte characters, as Excel does.
    BiffBuilder b;
    b.Bof(0x0005);
    b.Formatting({{164, "yyyy-mm-dd"}});
    const size_t dataPos = b.BoundSheet("Data", 1); // hidden
    const size_t sheetPos = b.BoundSheet("Sheet1");
    size_t at = b.Begin(0x00FC);
    b.U32(4);
    b.U32(3);
    for (const char* s : {"alpha", "old"}) {
        b.U16(uint16_t(std::strlen(s)));
        b.U8(0);
        for (const char* p = s; *p; ++p)
            b.U8(uint8_t(*p));
    }
    b.U16(6); // "abc温度计": 3 one-byte characters here, 3 two-byte ones on
    b.U8(0);
    b.U8('a');
    b.U8('b');
    b.U8('c');
    b.End(at);
    at = b.Begin(0x003C);
    b.U8(1);
    for (char16_t c : std::u16string(u"温度计"))
        b.U16(uint16_t(c));
    b.End(at);
    b.Eof();

    b.Patch32(dataPos, uint32_t(b.bytes.size()));
    b.Bof(0x0010);
    at = b.Begin(0x00FD); // LABELSST
    b.CellHead(0, 0);
    b.U32(0);
    b.End(at);
    at = b.Begin(0x00FD);
    b.CellHead(0, 1);
    b.U32(2);
    b.End(at);
    at = b.Begin(0x027E); // RK: integer 42
    b.CellHead(1, 0);
    b.U32(42u << 2 | 2);
    b.End(at);
    at = b.Begin(0x00BD); // MULRK: 12.34 (as 1234 / 100) and -7
    b.U16(1);
    b.U16(1);
    b.U16(15);
    b.U32(1234u << 2 | 3);
    b.U16(15);
    b.U32(uint32_t(-7) << 2 | 2);
    b.U16(2);
    b.End(at);
    at = b.Begin(0x0203); // NUMBER
    b.CellHead(2, 0);
    b.F64(3.25);
    b.End(at);
    at = b.Begin(0x0205); // BOOLERR: TRUE, #DIV/0!
    b.CellHead(2, 1);
    b.U8(1);
    b.U8(0);
    b.End(at);
    at = b.Begin(0x0205);
    b.CellHead(2, 2);
    b.U8(0x07);
    b.U8(1);
    b.End(at);
    at = b.Begin(0x0204); // LABEL with the text inline
    b.CellHead(3, 0);
    b.U16(6);
    b.U8(0);
    for (char c : std::string("inline"))
        b.U8(uint8_t(c));
    b.End(at);
    at = b.Begin(0x0006); // FORMULA with a text result in STRING
    b.CellHead(3, 1);
    b.U8(0);
    b.U8(0);
    b.U8(0);
    b.U8(0);
    b.U8(0);
    b.U8(0);
    b.U16(0xFFFF);
    b.U16(0);
    b.U32(0);
    b.U16(0);
    b.End(at);
    at = b.Begin(0x0207);
    b.U16(3);
    b.U8(0);
    b.U8('f');
    b.U8('o');
    b.U8('o');
    b.End(at);
    at = b.Begin(0x0006); // FORMULA with a number result
    b.CellHead(3, 2);
    b.F64(99.5);
    b.U16(0);
    b.U32(0);
    b.U16(0);
    b.End(at);
    at = b.Begin(0x0203); // a date: NUMBER with the yyyy-mm-dd format (XF 16)
    b.U16(4);
    b.U16(0);
    b.U16(16);
    b.F64(45000);
    b.End(at);
    at = b.Begin(0x00BE); // MULBLANK: B5:C5 formatted, no values
    b.U16(4);
    b.U16(1);
    b.U16(16);
    b.U16(16);
    b.U16(2);
    b.End(at);
    at = b.Begin(0x0201); // BLANK far to the right
    b.CellHead(4, 200);
    b.End(at);
    at = b.Begin(0x007D); // COLINFO: column A 5000 wide
    b.U16(0);
    b.U16(0);
    b.U16(5000);
    b.U16(15);
    b.U16(0);
    b.U16(0);
    b.End(at);
    at = b.Begin(0x023E); // WINDOW2, then MERGECELLS A5:B5
    for (uint16_t w : {0x06B6, 0, 0, 64, 0, 0, 0, 0, 0})
        b.U16(w);
    b.End(at);
    at = b.Begin(0x00E5);
    b.U16(1);
    b.U16(4);
    b.U16(4);
    b.U16(0);
    b.U16(1);
    b.End(at);
    b.Eof();

    b.Patch32(sheetPos, uint32_t(b.bytes.size()));
    b.Bof(0x0010);
    for (uint16_t row = 0; row < 4; ++row) {
        at = b.Begin(0x00FD);
        b.CellHead(row, 0);
        b.U32(1);
        b.End(at);
    }
    b.Eof();
    const std::string path = dir.File("foreign.xls");
    b.Wrap(path);

    const XlrdBook before = ReadWithXlrd(path, dir);
    ASSERT_TRUE(before.ok) << before.output;
    const XlrdSheet* dataBefore = before.Sheet("Data");
    ASSERT_NE(dataBefore, nullptr);
    ASSERT_EQ(dataBefore->rows.size(), 5u);
    EXPECT_EQ(dataBefore->rows[0], (Fields{"alpha", "abc温度计", ""}));
    EXPECT_EQ(dataBefore->rows[3], (Fields{"inline", "foo", "n99.5"}));

    // The sheet as our reader sees it: texts of every kind of cell.
    CWorksheetFile data(path, "Data", false);
    ASSERT_TRUE(data.SheetExists()) << data.LastError();
    EXPECT_EQ(data.HeaderFields(), (Fields{"alpha", "abc温度计", "F3"}));
    Fields f;
    ASSERT_TRUE(data.GetRowFields(f, 2));
    EXPECT_EQ(f, (Fields{"42", "12.34", "-7"}));
    ASSERT_TRUE(data.GetRowFields(f, 3));
    EXPECT_EQ(f, (Fields{"3.25", "TRUE", "#DIV/0!"}));
    ASSERT_TRUE(data.GetRowFields(f, 4));
    EXPECT_EQ(f, (Fields{"inline", "foo", "99.5"}));

    // The export's way over an existing sheet: blank every row, add the
    // header (refused or merged), put the rows, write out.
    {
        CWorksheetFile w(path, "Sheet1", true);
        ASSERT_TRUE(w.SheetExists());
        EXPECT_EQ(w.RowCount(), 4);
        w.StartBatch();
        for (int row = 1; row <= w.RowCount(); ++row)
            w.PutRow({}, row, true);
        ASSERT_TRUE(w.SetHeaderRow(ExportHeader(2), false));
        ASSERT_TRUE(w.PutRow(ExportRow(0, 2), 2, true));
        ASSERT_TRUE(w.WriteOut()) << w.LastError();
    }
    const XlrdBook after = ReadWithXlrd(path, dir);
    ASSERT_TRUE(after.ok) << after.output;
    ASSERT_EQ(after.sheets.size(), 2u);
    EXPECT_EQ(after.sheets[0].name, "Data");
    EXPECT_EQ(after.sheets[0].rows, dataBefore->rows);
    // Its look too: the date format, the column width, the merged range, and
    // that it is hidden.
    bool ok = false;
    const std::string look = RunPython(
        "import sys, xlrd\n"
        "b = xlrd.open_workbook(sys.argv[1], formatting_info=True)\n"
        "s = b.sheet_by_name('Data')\n"
        "xf = b.xf_list[s.cell_xf_index(4, 0)]\n"
        "print(b.format_map[xf.format_key].format_str, s.colinfo_map[0].width,\n"
        "      s.merged_cells, s.visibility, s.cell_xf_index(4, 2) == s.cell_xf_index(4, 0))\n",
        path, dir, ok);
    EXPECT_TRUE(ok) << look;
    EXPECT_EQ(look, "yyyy-mm-dd 5000 [(4, 5, 0, 2)] 1 True\n");
    const XlrdSheet* sheet1 = after.Sheet("Sheet1");
    ASSERT_NE(sheet1, nullptr);
    Fields header{"old"};
    for (const std::string& h : ExportHeader(2))
        header.push_back(h);
    EXPECT_EQ(sheet1->rows[0], header);
    ASSERT_EQ(sheet1->rows.size(), 2u);
    Fields row = ExportRow(0, 2);
    row.push_back("");
    EXPECT_EQ(sheet1->rows[1], row);
}

TEST_F(WorksheetFileTest, CancelKeepsTheRowsWrittenSoFar) {
    const std::string path = dir.File("cancel.xls");
    CWorksheetFile w(path, "Sheet1", true);
    w.StartBatch();
    ASSERT_TRUE(w.SetHeaderRow(ExportHeader(2), false));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(w.PutRow(ExportRow(i, 2), i + 2, true));
    RecordingProgress progress;
    CancelAfter cancel(3);
    bool success = true;
    ASSERT_TRUE(w.WriteOutWithProgress(&progress, success, &cancel)) << w.LastError();
    EXPECT_FALSE(success);
    EXPECT_EQ(cancel.tests, 4);
    EXPECT_EQ(progress.pos, 0);
    const std::vector<std::string> expected{"range 0 10", "pos 0", "step 2", "stepit",
                                            "stepit",     "pos 0", "stepit", "pos 1",
                                            "stepit",     "pos 1", "pos 0"};
    EXPECT_EQ(progress.calls, expected);

    const XlrdBook book = ReadWithXlrd(path, dir);
    ASSERT_TRUE(book.ok) << book.output;
    ASSERT_EQ(book.sheets[0].rows.size(), 5u); // the header and four rows
    EXPECT_EQ(book.sheets[0].rows[4], ExportRow(3, 2));

    // Without a cancel request every row is written and success stays set.
    RecordingProgress full;
    CancelAfter never(1000);
    success = true;
    ASSERT_TRUE(w.WriteOutWithProgress(&full, success, &never));
    EXPECT_TRUE(success);
    EXPECT_EQ(never.tests, 20);
    EXPECT_EQ(full.pos, 10);
    EXPECT_EQ(ReadWithXlrd(path, dir).sheets[0].rows.size(), 21u);
}

TEST_F(WorksheetFileTest, LargeWorkbookUsesDifatSectorsAndReadsBack) {
    const std::string path = dir.File("large.xls");
    const int rows = 7000, channels = 80;
    {
        CWorksheetFile w(path, "Sheet1", true);
        w.StartBatch();
        ASSERT_TRUE(w.SetHeaderRow(ExportHeader(channels), false));
        for (int i = 0; i < rows; ++i)
            ASSERT_TRUE(w.PutRow(ExportRow(i, channels), i + 2, true));
        ASSERT_TRUE(w.WriteOut()) << w.LastError();
    }
    const std::string bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 7u << 20);
    const uint32_t difatSectors = uint8_t(bytes[72]) | uint8_t(bytes[73]) << 8;
    EXPECT_GT(difatSectors, 0u);

    const XlrdBook book = ReadWithXlrd(path, dir);
    ASSERT_TRUE(book.ok) << book.output;
    ASSERT_EQ(book.sheets[0].rows.size(), size_t(rows + 1));
    EXPECT_EQ(book.sheets[0].rows[rows], ExportRow(rows - 1, channels));

    CWorksheetFile back(path, "Sheet1", false);
    ASSERT_EQ(back.RowCount(), rows + 1);
    Fields f;
    ASSERT_TRUE(back.GetRowFields(f, rows + 1));
    EXPECT_EQ(f, ExportRow(rows - 1, channels));
}

TEST_F(WorksheetFileTest, LongStringsSplitAcrossContinueRecordsReadBack) {
    const std::string path = dir.File("long.xls");
    std::string ascii, chinese;
    for (int i = 0; i < 9000; ++i)
        ascii += char('a' + i % 26);
    for (int i = 0; i < 5000; ++i)
        chinese += (i % 2) ? "温" : "度";
    Fields header{"short", "ascii", "chinese"};
    {
        CWorksheetFile w(path, "Sheet1", false);
        w.StartBatch();
        ASSERT_TRUE(w.SetHeaderRow(header, false));
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(w.PutRow({"r" + std::to_string(i), ascii, chinese + std::to_string(i)},
                                 i + 2, true));
        ASSERT_TRUE(w.WriteOut()) << w.LastError();
    }
    const XlrdBook book = ReadWithXlrd(path, dir);
    ASSERT_TRUE(book.ok) << book.output;
    ASSERT_EQ(book.sheets[0].rows.size(), 301u);
    EXPECT_EQ(book.sheets[0].rows[300], (Fields{"r299", ascii, chinese + "299"}));

    CWorksheetFile back(path, "Sheet1", false);
    Fields f;
    ASSERT_TRUE(back.GetRowFields(f, 151));
    EXPECT_EQ(f, (Fields{"r149", ascii, chinese + "149"}));
}

TEST_F(WorksheetFileTest, DamagedWorkbookIsNeitherReadNorOverwritten) {
    const std::string good = dir.File("good.xls");
    {
        CWorksheetFile w(good, "Sheet1", false);
        w.StartBatch();
        ASSERT_TRUE(w.SetHeaderRow({"a"}, false));
        ASSERT_TRUE(w.WriteOut());
    }
    const std::string whole = ReadFileBytes(good);
    // Two sheet entries sharing one substream: each record must be read once.
    BiffBuilder shared;
    shared.Bof(0x0005);
    const size_t first = shared.BoundSheet("Sheet1"), second = shared.BoundSheet("Two");
    shared.Eof();
    shared.Patch32(first, uint32_t(shared.bytes.size()));
    shared.Patch32(second, uint32_t(shared.bytes.size()));
    shared.Bof(0x0010);
    shared.Eof();
    shared.Wrap(dir.File("shared.xls"));
    const std::string damaged[] = {
        "not a workbook at all",
        whole.substr(0, 600),
        whole.substr(0, 512) + std::string(whole.size() - 512, '\xFF'),
        ReadFileBytes(dir.File("shared.xls")),
    };
    for (const std::string& bytes : damaged) {
        const std::string path = dir.File("bad.xls");
        WriteFileBytes(path, bytes);
        CWorksheetFile w(path, "Sheet1", false);
        EXPECT_FALSE(w.SheetExists());
        EXPECT_EQ(w.LastError().rfind("Error opening workbook", 0), 0u) << w.LastError();
        w.StartBatch();
        ASSERT_TRUE(w.SetHeaderRow({"x"}, false));
        EXPECT_FALSE(w.WriteOut());
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
}

TEST_F(WorksheetFileTest, TextFileKeepsABackupAndWritesCrLfLines) {
    const std::string path = dir.File("table.txt");
    WriteFileBytes(path, "\"a\",\"b\"\n\"1\",\"2\"\r\n3,4,5\n");
    {
        CWorksheetFile w(path, ",", true);
        EXPECT_TRUE(w.SheetExists());
        EXPECT_TRUE(w.BackupKept());
        EXPECT_EQ(w.RowCount(), 3);
        EXPECT_EQ(w.ColumnCount(), 3);
        EXPECT_EQ(w.HeaderFields(), (Fields{"a", "b"}));
        EXPECT_EQ(ReadFileBytes(path + ".bak"), "\"a\",\"b\"\r\n\"1\",\"2\"\r\n3,4,5\r\n");
        ASSERT_TRUE(w.PutRow({"x", "y"}, 2, true)); // no batch: written at once
        EXPECT_EQ(ReadFileBytes(path), "\"a\",\"b\"\r\n\"x\",\"y\"\r\n3,4,5\r\n");
    }
    // No backup of a missing file, nor when the copy cannot be written.
    CWorksheetFile fresh(dir.File("new.txt"), ",", true);
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.txt.bak")));
    const std::string blocked = dir.File("blocked.txt");
    WriteFileBytes(blocked, "x\r\n");
    std::filesystem::create_directory(blocked + ".bak");
    CWorksheetFile noBackup(blocked, ",", true);
    EXPECT_FALSE(noBackup.BackupKept());

    CWorksheetFile unwritable(dir.File("missing/dir.txt"), ",", false);
    unwritable.StartBatch();
    ASSERT_TRUE(unwritable.PutRow({"a"}, 1, true));
    EXPECT_FALSE(unwritable.WriteOut());
    EXPECT_EQ(unwritable.LastError(), "Error writing file\n");
}

TEST_F(WorksheetFileTest, CellAndColumnOperations) {
    const std::string path = dir.File("ops.xls");
    CWorksheetFile w(path, "Sheet1", false);
    w.StartBatch();
    ASSERT_TRUE(w.SetHeaderRow({"id", "name", "temp"}, false));
    ASSERT_TRUE(w.PutRow({"1", "oven", "20.5"}, 2, true));
    ASSERT_TRUE(w.PutRow({"2", "kiln", "30.0"}, 3, true));
    ASSERT_TRUE(w.PutCell("99.9", "temp", false, 3));
    ASSERT_TRUE(w.PutCell("new", "B", true, 5)); // a new row, padded
    EXPECT_EQ(w.RowCount(), 5);
    EXPECT_EQ(w.RowLine(5), "\" \",;.?\"new\",;.?\" \"");
    std::string value;
    ASSERT_TRUE(w.GetCellValue("C", true, 3, value));
    EXPECT_EQ(value, "99.9");
    Fields column;
    ASSERT_TRUE(w.GetColumnValues("name", false, column));
    EXPECT_EQ(column, (Fields{"name", "oven", "kiln", " ", "new"}));

    ASSERT_TRUE(w.WriteOut());
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(w.UpdateMatchingRows({"2", "furnace", "31.0"}, {"2", "kiln", "99.9"}));
    // The rewritten workbook keeps the file's permissions.
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(w.GetCellValue(2, 3, value));
    EXPECT_EQ(value, "furnace");
    const XlrdBook book = ReadWithXlrd(path, dir);
    ASSERT_TRUE(book.ok) << book.output;
    EXPECT_EQ(book.sheets[0].rows[2], (Fields{"2", "furnace", "31.0"}));

    // Abandoning a batch returns to what the file holds.
    w.StartBatch();
    ASSERT_TRUE(w.PutRow({"9", "tmp", "0"}, 0, true));
    EXPECT_EQ(w.RowCount(), 6);
    ASSERT_TRUE(w.AbandonBatch());
    EXPECT_EQ(w.RowCount(), 5);

    // Copies in the other storage.
    ASSERT_TRUE(w.SaveInOtherFormat(";"));
    EXPECT_EQ(ReadFileBytes(dir.File("ops.csv"))
                  .rfind("\"id\";\"name\";\"temp\"\r\n\"1\";\"oven\";\"20.5\"\r\n", 0),
              0u);
    CWorksheetFile text(dir.File("ops.csv"), ";", false);
    ASSERT_TRUE(text.SaveInOtherFormat("Copy"));
    CWorksheetFile copy(dir.File("ops.xls"), "Copy", false);
    EXPECT_EQ(copy.RowCount(), 5);
    EXPECT_EQ(copy.HeaderFields(), (Fields{"id", "name", "temp"}));
    // The copy went into the same workbook as a second sheet.
    CWorksheetFile original(dir.File("ops.xls"), "Sheet1", false);
    EXPECT_EQ(original.RowCount(), 5);

    WriteFileBytes(dir.File("dup.txt"), "a,b,a\r\n");
    CWorksheetFile dup(dir.File("dup.txt"), ",", false);
    EXPECT_FALSE(dup.SaveInOtherFormat("S"));
    EXPECT_EQ(dup.LastError(), "Duplicate header row field:a\n");

    // Dropping the sheet empties it in the workbook and in memory.
    ASSERT_TRUE(original.DropSheet());
    EXPECT_EQ(original.RowCount(), 0);
    EXPECT_FALSE(CWorksheetFile(path, "Sheet1", false).SheetExists());
    EXPECT_EQ(CWorksheetFile(path, "Copy", false).RowCount(), 5);
    CWorksheetFile missing(dir.File("none.xls"), "Sheet1", false);
    EXPECT_FALSE(missing.DropSheet());
    EXPECT_EQ(missing.LastError(), "Error deleting sheet\n");
}

} // namespace

namespace {

struct RawRecord {
    size_t pos;
    uint16_t type;
    std::vector<uint8_t> data;
};

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(Le16(p)) | uint32_t(Le16(p + 2)) << 16;
}

std::vector<RawRecord> RecordsFrom(const std::vector<uint8_t>& stream, size_t pos) {
    std::vector<RawRecord> out;
    int depth = 0;
    while (pos + 4 <= stream.size()) {
        RawRecord r{pos, Le16(&stream[pos]), {}};
        const uint16_t len = Le16(&stream[pos + 2]);
        r.data.assign(stream.begin() + long(pos + 4), stream.begin() + long(pos + 4 + len));
        pos += 4 + len;
        out.push_back(r);
        depth += r.type == 0x0809 ? 1 : r.type == 0x000A ? -1 : 0;
        if (depth == 0)
            break;
    }
    return out;
}

std::vector<uint16_t> Types(const std::vector<RawRecord>& records) {
    std::vector<uint16_t> t;
    for (const auto& r : records)
        t.push_back(r.type);
    return t;
}

} // namespace

// The record sequence of a written workbook, checked against the BIFF8
// grammar rather than against what some reader happens to accept.
TEST_F(WorksheetFileTest, WrittenRecordsFollowTheGrammar) {
    const std::string path = dir.File("grammar.xls");
    std::string longText;
    for (int i = 0; i < 4100; ++i)
        longText += (i % 3) ? "x" : "温";
    {
        CWorksheetFile w(path, "Sheet1", false);
        w.StartBatch();
        ASSERT_TRUE(w.SetHeaderRow(ExportHeader(4), false));
        for (int i = 0; i < 100; ++i) {
            Fields row = ExportRow(i, 4);
            row[1] = longText + std::to_string(i); // many CONTINUE records
            ASSERT_TRUE(w.PutRow(row, i + 2, true));
        }
        ASSERT_TRUE(w.PutRow(ExportRow(7, 4), 200, true)); // rows with gaps between
        ASSERT_TRUE(w.WriteOut()) << w.LastError();
    }
    CCompoundFile file;
    std::string error;
    const std::string bytes = ReadFileBytes(path);
    ASSERT_TRUE(file.Open({bytes.begin(), bytes.end()}, error)) << error;
    std::vector<uint8_t> stream;
    ASSERT_TRUE(file.ReadStream("Workbook", stream, error)) << error;
    ASSERT_GE(stream.size(), 4096u);

    const auto globals = RecordsFrom(stream, 0);
    for (const auto& r : globals)
        ASSERT_LE(r.data.size(), 8224u);
    // The globals in grammar order, with the counted productions folded.
    std::vector<uint16_t> folded;
    for (uint16_t t : Types(globals))
        if (folded.empty() || folded.back() != t || t == 0x0809)
            folded.push_back(t);
    const std::vector<uint16_t> expected{
        0x0809, 0x00E1, 0x00C1, 0x00E2, 0x005C, 0x0042, 0x0161, 0x013D, 0x0019, 0x0012, 0x0013,
        0x01AF, 0x01BC, 0x003D, 0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA, 0x0031, 0x041E,
        0x00E0, 0x0293, 0x0160, 0x0085, 0x008C, 0x00FC, 0x003C, 0x00FF, 0x000A};
    EXPECT_EQ(folded, expected);
    const std::vector<uint16_t> globalTypes = Types(globals);
    EXPECT_EQ(std::count(globalTypes.begin(), globalTypes.end(), 0x00E0), 16);
    EXPECT_GE(std::count(globalTypes.begin(), globalTypes.end(), 0x041E), 8);

    // SST: every string's count and option byte share a record with its
    // first character; runs going on in a CONTINUE start with an option byte.
    size_t sst = 0;
    while (globals[sst].type != 0x00FC)
        ++sst;
    const uint32_t unique = Le32(&globals[sst].data[4]);
    size_t rec = sst, off = 8, strings = 0;
    std::vector<std::pair<size_t, size_t>> starts; // (record, offset) of each string
    for (; strings < unique; ++strings) {
        if (off == globals[rec].data.size()) {
            ++rec;
            off = 0;
        }
        ASSERT_LE(off + 4, globals[rec].data.size()) << "string header parted, string " << strings;
        starts.emplace_back(rec, off);
        size_t left = Le16(&globals[rec].data[off]);
        size_t width = (globals[rec].data[off + 2] & 1) ? 2 : 1;
        off += 3;
        while (left > 0) {
            if (off == globals[rec].data.size()) {
                ++rec;
                ASSERT_EQ(globals[rec].type, 0x003C);
                width = (globals[rec].data[0] & 1) ? 2 : 1;
                off = 1;
            }
            const size_t n = std::min(left, (globals[rec].data.size() - off) / width);
            ASSERT_GT(n, 0u);
            off += n * width;
            left -= n;
        }
    }
    EXPECT_EQ(off, globals[rec].data.size());
    EXPECT_EQ(globals[rec + 1].type, 0x00FF);
    // EXTSST points at every dsst-th string.
    const auto& ext = globals[rec + 1].data;
    const uint16_t dsst = Le16(&ext[0]);
    for (size_t k = 0; 2 + 8 * k + 8 <= ext.size(); ++k) {
        const auto [r, o] = starts.at(k * dsst);
        EXPECT_EQ(Le32(&ext[2 + 8 * k]), globals[r].pos + 4 + o);
        EXPECT_EQ(Le16(&ext[2 + 8 * k + 4]), 4 + o);
    }

    // The sheet: BOUNDSHEET8 points at its BOF; INDEX at every DBCELL; each
    // DBCELL back at its first ROW and at each row's first cell.
    const auto& bound = *std::find_if(globals.begin(), globals.end(),
                                      [](const RawRecord& r) { return r.type == 0x0085; });
    const auto sheet = RecordsFrom(stream, Le32(bound.data.data()));
    ASSERT_EQ(sheet.front().type, 0x0809);
    EXPECT_EQ(Le16(&sheet.front().data[2]), 0x0010);
    EXPECT_EQ(sheet[1].type, 0x020B);
    const std::vector<uint16_t> head{0x000D, 0x000C, 0x000F, 0x0011, 0x0010, 0x005F, 0x002A,
                                     0x002B, 0x0082, 0x0080, 0x0225, 0x0081, 0x0014, 0x0015,
                                     0x0083, 0x0084, 0x00A1, 0x0055, 0x0200};
    const std::vector<uint16_t> sheetTypes = Types(sheet);
    EXPECT_EQ(std::vector<uint16_t>(sheetTypes.begin() + 2, sheetTypes.begin() + 21), head);
    EXPECT_EQ(sheetTypes[sheetTypes.size() - 2], 0x023E);
    const auto& index = sheet[1].data;
    EXPECT_EQ(Le32(&index[4]), 0u);
    EXPECT_EQ(Le32(&index[8]), 200u);
    EXPECT_EQ(Le32(&index[12]), sheet[19].pos); // DEFCOLWIDTH
    const size_t blocks = (index.size() - 16) / 4;
    EXPECT_EQ(blocks, size_t((200 - 1 - 0) / 32 + 1));
    auto at = [&](size_t pos) {
        return *std::find_if(sheet.begin(), sheet.end(),
                             [&](const RawRecord& r) { return r.pos == pos; });
    };
    for (size_t b = 0; b < blocks; ++b) {
        const RawRecord db = at(Le32(&index[16 + 4 * b]));
        ASSERT_EQ(db.type, 0x00D7);
        const uint32_t back = Le32(db.data.data());
        if (back == 0)
            continue; // a block without rows
        const RawRecord firstRow = at(db.pos - back);
        EXPECT_EQ(firstRow.type, 0x0208);
        size_t cell = firstRow.pos + 20;
        for (size_t k = 0; 4 + 2 * k + 2 <= db.data.size(); ++k) {
            cell += Le16(&db.data[4 + 2 * k]);
            const RawRecord c = at(cell);
            EXPECT_EQ(c.type, 0x00FD);
            EXPECT_EQ(Le16(&c.data[2]), 0u); // the row's first cell is in column A
        }
    }
}
