#include "biffworkbookwriter.h"

#include "biffworkbook.h"
#include "compoundfile.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <span>

namespace {

constexpr uint16_t kMaxRecordData = 8224;
constexpr int kRowsPerBlock = 32;
constexpr size_t kMaxTextLength = 32767;

enum RecordType : uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kInterfaceHdr = 0x00E1,
    kMms = 0x00C1,
    kInterfaceEnd = 0x00E2,
    kWriteAccess = 0x005C,
    kCodePage = 0x0042,
    kDsf = 0x0161,
    kRRTabId = 0x013D,
    kWinProtect = 0x0019,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kProt4Rev = 0x01AF,
    kProt4RevPass = 0x01BC,
    kWindow1 = 0x003D,
    kBackup = 0x0040,
    kHideObj = 0x008D,
    kDate1904 = 0x0022,
    kCalcPrecision = 0x000E,
    kRefreshAll = 0x01B7,
    kBookBool = 0x00DA,
    kFont = 0x0031,
    kFormat = 0x041E,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kUsesElfs = 0x0160,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kExtSst = 0x00FF,
    kIndex = 0x020B,
    kCalcMode = 0x000D,
    kCalcCount = 0x000C,
    kCalcRefMode = 0x000F,
    kCalcIter = 0x0011,
    kCalcDelta = 0x0010,
    kCalcSaveRecalc = 0x005F,
    kPrintRowCol = 0x002A,
    kPrintGrid = 0x002B,
    kGridSet = 0x0082,
    kGuts = 0x0080,
    kDefaultRowHeight = 0x0225,
    kWsBool = 0x0081,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kSetup = 0x00A1,
    kDefColWidth = 0x0055,
    kDimensions = 0x0200,
    kRow = 0x0208,
    kDbCell = 0x00D7,
    kWindow2 = 0x023E,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kBoolErr = 0x0205,
    kBlank = 0x0201,
};

void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// A growing byte buffer of records.
class Buffer {
public:
    std::vector<uint8_t> bytes;
    size_t size() const { return bytes.size(); }
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
    void Double(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        U32(uint32_t(bits));
        U32(uint32_t(bits >> 32));
    }
    void Bytes(std::span<const uint8_t> b) { bytes.insert(bytes.end(), b.begin(), b.end()); }
    // Starts a record; returns its position for End.
    size_t Begin(uint16_t type) {
        const size_t at = size();
        U16(type);
        U16(0);
        return at;
    }
    void End(size_t at) { Put16(&bytes[at + 2], uint16_t(size() - at - 4)); }
    size_t DataSize(size_t at) const { return size() - at - 4; }
    void Record(uint16_t type, std::initializer_list<uint16_t> words) {
        const size_t at = Begin(type);
        for (uint16_t w : words)
            U16(w);
        End(at);
    }
    // A string with a 1-byte (shortCount) or 2-byte count and an option byte.
    void UnicodeString(std::u16string_view s, bool shortCount) {
        const bool high = std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0xFF; });
        if (shortCount)
            U8(uint8_t(s.size()));
        else
            U16(uint16_t(s.size()));
        U8(high ? 1 : 0);
        for (char16_t c : s)
            high ? U16(uint16_t(c)) : U8(uint8_t(c));
    }
};

std::u16string ToUtf16(std::string_view s) {
    std::u16string out;
    Utf8ToUtf16(s, out);
    return out;
}

} // namespace

// Interned texts of all sheets: one open-addressing hash table over an arena
// of UTF-8 bytes, in first-use order.
struct CBiffWorkbookWriter::StringTable {
    struct Item {
        uint64_t offset;
        uint32_t length;
        uint32_t hash;
    };
    std::vector<char> arena;
    std::vector<Item> items;
    std::vector<uint32_t> slots = std::vector<uint32_t>(1 << 12, 0); // item index + 1

    std::string_view Text(const Item& it) const { return {arena.data() + it.offset, it.length}; }

    uint32_t Intern(std::string_view s) {
        const uint32_t hash = uint32_t(std::hash<std::string_view>{}(s));
        const size_t mask = slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const uint32_t slot = slots[i];
            if (slot == 0) {
                items.push_back({arena.size(), uint32_t(s.size()), hash});
                arena.insert(arena.end(), s.begin(), s.end());
                slots[i] = uint32_t(items.size());
                if (items.size() * 2 > slots.size())
                    Grow();
                return uint32_t(items.size() - 1);
            }
            const Item& it = items[slot - 1];
            if (it.hash == hash && Text(it) == s)
                return slot - 1;
        }
    }
    void Grow() {
        std::vector<uint32_t> bigger(slots.size() * 2, 0);
        const size_t mask = bigger.size() - 1;
        for (size_t k = 0; k < items.size(); ++k) {
            size_t i = items[k].hash & mask;
            while (bigger[i] != 0)
                i = (i + 1) & mask;
            bigger[i] = uint32_t(k + 1);
        }
        slots.swap(bigger);
    }
};

struct CBiffWorkbookWriter::Sheet {
    std::string name;
    std::vector<uint8_t> cells;          // the cell table: row blocks and DBCELLs
    std::vector<uint32_t> dbCellOffsets; // positions within cells
    std::vector<uint8_t> head;           // BOF to DIMENSIONS, built on save
    std::vector<uint8_t> tail;           // WINDOW2, MERGECELLS and EOF
    uint16_t defaultColumnWidth = 8;
    std::vector<uint8_t> columns; // COLINFO records
    std::vector<uint8_t> merged;  // MERGECELLS records
    int firstRow = -1, lastRow = -1, firstColumn = kMaxColumns, lastColumn = -1;
    uint8_t visibility = 0;
};

CBiffWorkbookWriter::CBiffWorkbookWriter() : m_strings(std::make_unique<StringTable>()) {}
CBiffWorkbookWriter::~CBiffWorkbookWriter() = default;

bool CBiffWorkbookWriter::IsValidSheetName(std::string_view name) {
    std::u16string u;
    Utf8ToUtf16(name, u);
    if (u.empty() || u.size() > kMaxSheetName || u.front() == u'\'' || u.back() == u'\'')
        return false;
    return u.find_first_of(u"[]:*?/\\") == std::u16string::npos;
}

void CBiffWorkbookWriter::UseFormatting(std::vector<uint8_t> records) {
    m_formatting = std::move(records);
}

void CBiffWorkbookWriter::SetColumns(uint16_t defaultWidth, std::vector<uint8_t> colInfoRecords) {
    m_sheets.back().defaultColumnWidth = defaultWidth;
    m_sheets.back().columns = std::move(colInfoRecords);
}

void CBiffWorkbookWriter::SetMergedCells(std::vector<uint8_t> mergeCellsRecords) {
    m_sheets.back().merged = std::move(mergeCellsRecords);
}

void CBiffWorkbookWriter::BeginSheet(std::string_view name, uint8_t visibility) {
    m_sheets.push_back(Sheet{});
    m_sheets.back().name = std::string(name);
    m_sheets.back().visibility = uint8_t(visibility & 3);
    m_block = -1;
    m_blockRows.clear();
    m_blockCells.clear();
}

void CBiffWorkbookWriter::StartCell(uint16_t row, uint16_t column) {
    Sheet& sheet = m_sheets.back();
    if (sheet.firstRow < 0)
        sheet.firstRow = row;
    // Blocks of 32 rows counted from the first row with cells; a block
    // without rows still gets its (empty) DBCELL so that INDEX stays whole.
    const int block = (row - sheet.firstRow) / kRowsPerBlock;
    if (block != m_block) {
        FlushBlock();
        for (int b = m_block + 1; m_block >= 0 && b < block; ++b) {
            Buffer empty;
            const size_t at = empty.Begin(kDbCell);
            empty.U32(0);
            empty.End(at);
            sheet.dbCellOffsets.push_back(uint32_t(sheet.cells.size()));
            sheet.cells.insert(sheet.cells.end(), empty.bytes.begin(), empty.bytes.end());
        }
        m_block = block;
    }
    if (m_blockRows.empty() || m_blockRows.back().row != row)
        m_blockRows.push_back({row, column, uint16_t(column + 1), uint32_t(m_blockCells.size())});
    else
        m_blockRows.back().endColumn = uint16_t(column + 1);
    sheet.lastRow = row;
    sheet.firstColumn = std::min<int>(sheet.firstColumn, column);
    sheet.lastColumn = std::max<int>(sheet.lastColumn, column);
}

uint8_t* CBiffWorkbookWriter::CellRecord(uint16_t type, uint16_t size, uint16_t row,
                                         uint16_t column, uint16_t xf) {
    StartCell(row, column);
    const size_t at = m_blockCells.size();
    m_blockCells.resize(at + 4 + size);
    uint8_t* p = m_blockCells.data() + at;
    Put16(p, type);
    Put16(p + 2, size);
    Put16(p + 4, row);
    Put16(p + 6, column);
    Put16(p + 8, xf);
    return p + 10;
}

void CBiffWorkbookWriter::AddText(uint16_t row, uint16_t column, std::string_view utf8,
                                  uint16_t xf) {
    if (column >= kMaxColumns || utf8.empty())
        return;
    const uint32_t index = m_strings->Intern(utf8);
    ++m_stringRefs;
    Put32(CellRecord(kLabelSst, 10, row, column, xf), index);
}

void CBiffWorkbookWriter::AddNumber(uint16_t row, uint16_t column, double value, uint16_t xf) {
    if (column >= kMaxColumns)
        return;
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    uint8_t* p = CellRecord(kNumber, 14, row, column, xf);
    Put32(p, uint32_t(bits));
    Put32(p + 4, uint32_t(bits >> 32));
}

void CBiffWorkbookWriter::AddBoolErr(uint16_t row, uint16_t column, uint8_t value, bool isError,
                                     uint16_t xf) {
    if (column >= kMaxColumns)
        return;
    uint8_t* p = CellRecord(kBoolErr, 8, row, column, xf);
    p[0] = value;
    p[1] = isError ? 1 : 0;
}

void CBiffWorkbookWriter::AddBlank(uint16_t row, uint16_t column, uint16_t xf) {
    if (column < kMaxColumns)
        CellRecord(kBlank, 6, row, column, xf);
}

void CBiffWorkbookWriter::FlushBlock() {
    if (m_blockRows.empty())
        return;
    Sheet& sheet = m_sheets.back();
    std::vector<uint8_t>& out = sheet.cells;
    const size_t firstRowPos = out.size();
    for (const BlockRow& r : m_blockRows) {
        uint8_t rec[20];
        Put16(rec, kRow);
        Put16(rec + 2, 16);
        Put16(rec + 4, r.row);
        Put16(rec + 6, r.firstColumn);
        Put16(rec + 8, r.endColumn);
        Put16(rec + 10, 0x00FF); // default height
        Put16(rec + 12, 0);
        Put16(rec + 14, 0);
        Put32(rec + 16, 0x000F0100u); // XF 15 (unused without ghost flag), reserved bit
        out.insert(out.end(), rec, rec + 20);
    }
    const size_t cellsPos = out.size();
    out.insert(out.end(), m_blockCells.begin(), m_blockCells.end());
    const size_t dbCellPos = out.size();
    Buffer db;
    const size_t at = db.Begin(kDbCell);
    db.U32(uint32_t(dbCellPos - firstRowPos));
    // First offset: from the end of the first ROW to the first cell; then
    // from each row's first cell to the next row's.
    db.U16(uint16_t(cellsPos + m_blockRows[0].cellOffset - (firstRowPos + 20)));
    for (size_t i = 1; i < m_blockRows.size(); ++i)
        db.U16(uint16_t(m_blockRows[i].cellOffset - m_blockRows[i - 1].cellOffset));
    db.End(at);
    sheet.dbCellOffsets.push_back(uint32_t(dbCellPos));
    out.insert(out.end(), db.bytes.begin(), db.bytes.end());
    m_blockRows.clear();
    m_blockCells.clear();
}

void CBiffWorkbookWriter::EndSheet() {
    if (m_sheets.empty())
        return;
    FlushBlock();
    m_block = -1;
}

namespace {

void BeginOfSubstream(Buffer& b, uint16_t type) {
    const size_t at = b.Begin(kBof);
    b.U16(0x0600);
    b.U16(type);
    b.U16(0x0DBB);
    b.U16(0x07CC);
    b.U32(0x00000009); // edited on Windows
    b.U32(0x00000006); // lowest BIFF version: 8
    b.End(at);
}

// Shared strings: SST split into CONTINUE records of at most 8224 data bytes,
// a string's count and option byte never parted from its first character;
// every dsst-th string's position goes into EXTSST.
void SharedStrings(Buffer& b, const std::vector<std::u16string_view>& strings, uint32_t refs) {
    const uint32_t unique = uint32_t(strings.size());
    const uint16_t dsst = uint16_t(std::max<uint32_t>(8, unique / 128 + 1));
    std::vector<std::pair<uint32_t, uint16_t>> buckets;
    size_t record = b.Begin(kSst);
    b.U32(refs);
    b.U32(unique);
    auto room = [&] { return kMaxRecordData - b.DataSize(record); };
    for (uint32_t i = 0; i < unique; ++i) {
        std::u16string_view s = strings[i];
        const bool high = std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0xFF; });
        const size_t charSize = high ? 2 : 1;
        if (room() < 3 + (s.empty() ? 0 : charSize)) {
            b.End(record);
            record = b.Begin(kContinue);
        }
        if (i % dsst == 0)
            buckets.emplace_back(uint32_t(b.size()), uint16_t(b.size() - record));
        b.U16(uint16_t(s.size()));
        b.U8(high ? 1 : 0);
        size_t done = 0;
        while (done < s.size()) {
            const size_t n = std::min(s.size() - done, room() / charSize);
            for (size_t k = done; k < done + n; ++k)
                high ? b.U16(uint16_t(s[k])) : b.U8(uint8_t(s[k]));
            done += n;
            if (done < s.size()) {
                b.End(record);
                record = b.Begin(kContinue);
                b.U8(high ? 1 : 0);
            }
        }
    }
    b.End(record);
    const size_t at = b.Begin(kExtSst);
    b.U16(dsst);
    for (const auto& [position, offset] : buckets) {
        b.U32(position);
        b.U16(offset);
        b.U16(0);
    }
    b.End(at);
}

} // namespace

bool CBiffWorkbookWriter::Save(const std::string& path, std::string& error) {
    if (m_sheets.empty()) {
        error = "a workbook needs at least one sheet";
        return false;
    }
    // The texts of the shared string table, cut to the cell limit.
    std::vector<std::u16string> utf16(m_strings->items.size());
    std::vector<std::u16string_view> views(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        Utf8ToUtf16(m_strings->Text(m_strings->items[i]), utf16[i]);
        if (utf16[i].size() > kMaxTextLength) {
            size_t cut = kMaxTextLength;
            if (utf16[i][cut - 1] >= 0xD800 && utf16[i][cut - 1] <= 0xDBFF)
                --cut;
            utf16[i].resize(cut);
        }
        views[i] = utf16[i];
    }

    Buffer g;
    BeginOfSubstream(g, 0x0005);
    g.Record(kInterfaceHdr, {0x04B0});
    g.Record(kMms, {0});
    g.Record(kInterfaceEnd, {});
    {
        const size_t at = g.Begin(kWriteAccess);
        g.UnicodeString(u"Vantrel", false);
        while (g.DataSize(at) < 112)
            g.U8(' ');
        g.End(at);
    }
    g.Record(kCodePage, {0x04B0}); // UTF-16
    g.Record(kDsf, {0});
    {
        const size_t at = g.Begin(kRRTabId);
        for (size_t i = 0; i < m_sheets.size(); ++i)
            g.U16(uint16_t(i + 1));
        g.End(at);
    }
    g.Record(kWinProtect, {0});
    g.Record(kProtect, {0});
    g.Record(kPassword, {0});
    g.Record(kProt4Rev, {0});
    g.Record(kProt4RevPass, {0});
    // The first visible sheet is the active one; a workbook needs one.
    size_t active = 0;
    while (active < m_sheets.size() && m_sheets[active].visibility != 0)
        ++active;
    if (active == m_sheets.size()) {
        active = 0;
        m_sheets[0].visibility = 0;
    }
    g.Record(kWindow1, {0x0168, 0x001E, 0x4000, 0x2000, 0x0038, uint16_t(active), uint16_t(active),
                        1, 0x0258});
    g.Record(kBackup, {0});
    g.Record(kHideObj, {0});
    g.Record(kDate1904, {0});
    g.Record(kCalcPrecision, {1});
    g.Record(kRefreshAll, {0});
    g.Record(kBookBool, {0});
    if (m_formatting.empty()) {
        for (int i = 0; i < 4; ++i) {
            const size_t at = g.Begin(kFont);
            g.U16(200); // 10 pt
            g.U16(0);
            g.U16(0x7FFF);
            g.U16(400);
            g.U16(0);
            g.U8(0);
            g.U8(0);
            g.U8(0);
            g.U8(0);
            g.UnicodeString(u"Arial", true);
            g.End(at);
        }
        static const std::pair<uint16_t, const char16_t*> formats[] = {
            {5, u"\"$\"#,##0_);(\"$\"#,##0)"},
            {6, u"\"$\"#,##0_);[Red](\"$\"#,##0)"},
            {7, u"\"$\"#,##0.00_);(\"$\"#,##0.00)"},
            {8, u"\"$\"#,##0.00_);[Red](\"$\"#,##0.00)"},
            {42, u"_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)"},
            {41, u"_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"},
            {44, u"_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)"},
            {43, u"_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)"},
        };
        for (const auto& [index, text] : formats) {
            const size_t at = g.Begin(kFormat);
            g.U16(index);
            g.UnicodeString(text, false);
            g.End(at);
        }
        // 15 style XFs and the one cell XF every cell uses.
        for (int i = 0; i < 16; ++i) {
            const bool style = i < 15;
            const size_t at = g.Begin(kXf);
            g.U16(0);
            g.U16(0);
            g.U16(style ? 0xFFF5 : 0x0001);
            g.U8(0x20);
            g.U8(0);
            g.U8(0);
            g.U8(style && i > 0 ? 0xF4 : 0x00);
            g.U32(0);
            g.U32(0);
            g.U16(0x20C0);
            g.End(at);
        }
        g.Record(kStyle, {0x8000, 0xFF00});
    } else {
        g.Bytes(m_formatting);
    }
    g.Record(kUsesElfs, {0});
    std::vector<size_t> sheetPositionFields;
    for (const Sheet& s : m_sheets) {
        const size_t at = g.Begin(kBoundSheet);
        sheetPositionFields.push_back(g.size());
        g.U32(0);
        g.U8(s.visibility);
        g.U8(0);
        std::u16string name = ToUtf16(s.name);
        name.resize(std::min(name.size(), kMaxSheetName));
        g.UnicodeString(name, true);
        g.End(at);
    }
    g.Record(kCountry, {1, 86});
    SharedStrings(g, views, m_stringRefs);
    g.Record(kEof, {});

    // Each sheet's head (BOF to DIMENSIONS) holds absolute stream positions.
    uint64_t position = g.size();
    for (size_t i = 0; i < m_sheets.size(); ++i) {
        Sheet& s = m_sheets[i];
        // WINDOW2: grid, headers, zeros, outline symbols; the active sheet is
        // the selected and shown one.
        Buffer tail;
        const uint16_t flags = i == active ? 0x06B6 : 0x00B6;
        tail.Record(kWindow2, {flags, 0, 0, 64, 0, 0, 0, 0, 0});
        tail.Bytes(s.merged);
        tail.Record(kEof, {});
        s.tail = std::move(tail.bytes);
        if (position > 0x7FFFFFFF) {
            error = "workbook too large";
            return false;
        }
        Put32(&g.bytes[sheetPositionFields[i]], uint32_t(position));
        Buffer h;
        BeginOfSubstream(h, 0x0010);
        const size_t indexAt = h.Begin(kIndex);
        const size_t indexSize = 16 + 4 * s.dbCellOffsets.size();
        h.bytes.resize(h.size() + indexSize, 0);
        h.End(indexAt);
        h.Record(kCalcMode, {1});
        h.Record(kCalcCount, {100});
        h.Record(kCalcRefMode, {1});
        h.Record(kCalcIter, {0});
        {
            const size_t at = h.Begin(kCalcDelta);
            h.Double(0.001);
            h.End(at);
        }
        h.Record(kCalcSaveRecalc, {1});
        h.Record(kPrintRowCol, {0});
        h.Record(kPrintGrid, {0});
        h.Record(kGridSet, {1});
        h.Record(kGuts, {0, 0, 0, 0});
        h.Record(kDefaultRowHeight, {0, 0x00FF});
        h.Record(kWsBool, {0x04C1});
        h.Record(kHeader, {});
        h.Record(kFooter, {});
        h.Record(kHCenter, {0});
        h.Record(kVCenter, {0});
        {
            // A4, 100 %, no printer data.
            const size_t at = h.Begin(kSetup);
            for (uint16_t w : {9, 100, 1, 1, 1, 0x0004, 600, 600})
                h.U16(w);
            h.Double(0.5);
            h.Double(0.5);
            h.U16(1);
            h.End(at);
        }
        const size_t defColWidthPos = h.size();
        h.Record(kDefColWidth, {s.defaultColumnWidth});
        h.Bytes(s.columns);
        const bool empty = s.firstRow < 0;
        {
            const size_t at = h.Begin(kDimensions);
            h.U32(empty ? 0 : uint32_t(s.firstRow));
            h.U32(empty ? 0 : uint32_t(s.lastRow + 1));
            h.U16(empty ? 0 : uint16_t(s.firstColumn));
            h.U16(empty ? 0 : uint16_t(s.lastColumn + 1));
            h.U16(0);
            h.End(at);
        }
        const uint64_t cellsPos = position + h.size();
        uint8_t* index = &h.bytes[indexAt + 4];
        Put32(index, 0);
        Put32(index + 4, empty ? 0 : uint32_t(s.firstRow));
        Put32(index + 8, empty ? 0 : uint32_t(s.lastRow + 1));
        Put32(index + 12, uint32_t(position + defColWidthPos));
        for (size_t k = 0; k < s.dbCellOffsets.size(); ++k)
            Put32(index + 16 + 4 * k, uint32_t(cellsPos + s.dbCellOffsets[k]));
        s.head = std::move(h.bytes);
        position += s.head.size() + s.cells.size() + s.tail.size();
    }
    if (position > 0x7FFFFFFF) {
        error = "workbook too large";
        return false;
    }

    std::vector<std::span<const uint8_t>> pieces{g.bytes};
    for (const Sheet& s : m_sheets) {
        pieces.emplace_back(s.head);
        pieces.emplace_back(s.cells);
        pieces.emplace_back(s.tail);
    }
    return CCompoundFile::WriteSingleStream(path, "Workbook", pieces, error);
}
