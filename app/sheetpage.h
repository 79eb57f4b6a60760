#pragma once
// The data list's model: one recording shown 100 rows per page with the
// channels from a first channel on, the selected row as eight edit texts, and
// the rule that writes edited texts back into the file in place. The file is
// opened per page and per save and never held open in between; only the page
// shown is kept in memory.

#include "curveparameters.h"
#include "tdaheader.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Scroll bar actions, as the list's two scroll bars report them.
enum class SheetScroll {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbPosition,
    ThumbTrack,
    Other, // end of scroll, to top, to bottom, ...: the position stays
};

// New position after a scroll action: line moves by lineStep, page by
// pageStep, the thumb sets it; clamped to 0 .. maxPos (0 when maxPos < 0).
long long ScrollTarget(long long pos, SheetScroll action, long long thumb, long long lineStep,
                       long long pageStep, long long maxPos);

// What the eight edit boxes above the list show for the selected row.
struct SheetEditRow {
    static constexpr int kEdits = 8;
    bool valid = false;                       // false: no row selected, edits empty
    long long row = -1;                       // 0-based row in the file
    int firstChannel = 0;                     // channel of edit 0
    bool fahrenheit = false;                  // unit the texts are in
    std::string rowText;                      // "序号" edit
    std::string timeText;                     // "时间" edit
    std::array<std::string, kEdits> captions; // statics above the edits
    std::array<std::string, kEdits> texts;    // value texts, as the list shows them
    std::array<bool, kEdits> enabled{};       // false beyond the last channel
};

enum class SheetSaveStatus {
    Saved,          // the changed values were written
    NothingChanged, // no text differs from what was shown: nothing written
    NoRow,          // no row selected (a file without rows)
    NotANumber,     // an edited text is not a number: nothing of the row written
    OutOfRange,     // a value cannot be stored as a raw count: nothing written
    CannotOpen,     // the file cannot be opened for writing
    WriteFailed,
};

struct SheetSaveResult {
    SheetSaveStatus status = SheetSaveStatus::NothingChanged;
    int valuesWritten = 0;
    std::string message; // for the user; empty when there is nothing to say
};

class CSheetPage {
public:
    static constexpr int kPageRows = 100;
    static constexpr int kRowLineStep = 1, kRowPageStep = 20;
    static constexpr int kChannelLineStep = 1, kChannelPageStep = 4;

    // Reads the fixed parts and the first page, channels from 0; the first
    // row counts as selected. appNames stands in when the file carries no
    // name table. False when the file cannot be read (the list stays empty).
    bool Load(const std::string& path, const ChannelNameTable& appNames, bool fahrenheit);
    bool IsLoaded() const { return m_loaded; }

    // Rebuilds the page from the file: channels from firstChannel, rows from
    // firstRow (both clamped). False, and the page unchanged, when the file
    // cannot be read.
    bool LoadPage(int firstChannel, long long firstRow, bool fahrenheit);
    bool ScrollRows(SheetScroll action, long long thumb, bool fahrenheit);
    bool ScrollChannels(SheetScroll action, long long thumb, bool fahrenheit);

    // ---- The page ----
    const std::string& Path() const { return m_path; }
    const TdaHeader& Header() const { return m_header; }
    const ChannelNameTable& Names() const { return m_names; }
    int ChannelCount() const { return m_header.channelCount; }
    long long RowCount() const { return m_rowCount; }
    int FirstChannel() const { return m_firstChannel; }
    long long FirstRow() const { return m_firstRow; }
    int PageRowCount() const { return m_pageRows; }
    // "序号", "时间", then one title per channel from FirstChannel().
    std::vector<std::string> ColumnTitles() const;
    int ColumnCount() const { return 2 + ChannelCount() - m_firstChannel; }
    // Text of a cell of the page; empty outside the page.
    std::string CellText(int item, int column) const;
    int16_t PageValue(int item, int channel) const;

    // ---- Selection and saving ----
    int SelectedItem() const { return m_selectedItem; }
    // The list's selection changed: item index on the page, -1 for none.
    void SelectItem(int item) { m_selectedItem = item; }
    // The edits for the selected item of the current page, channels from
    // FirstChannel(); invalid when no item or the item is not on the page.
    SheetEditRow SelectedRow() const;

    // Writes the edits back into the row 'shown' came from. Only texts that
    // differ from what was shown are written, each converted from the shown
    // unit to the file's raw count (Celsius; tenths, or hundredths for a
    // two-decimal file; digits beyond are dropped toward zero). A text that
    // is not a number or a value that cannot be stored refuses the whole
    // row. After a save the page is read again.
    SheetSaveResult SaveRow(const SheetEditRow& shown,
                            const std::array<std::string, SheetEditRow::kEdits>& edited);

    // One edited text to the raw count it stores. False when it is not a
    // number (notANumber set) or out of range.
    static bool EditTextToRaw(const std::string& text, uint8_t valueScale, bool fahrenheit,
                              int16_t& raw, bool& notANumber);

private:
    std::string m_path;
    TdaHeader m_header{};
    ChannelNameTable m_names{};
    bool m_loaded = false;
    long long m_rowCount = 0;
    int m_firstChannel = 0;
    long long m_firstRow = 0;
    int m_selectedItem = -1;
    bool m_fahrenheit = false;         // unit of the page's texts
    int m_pageRows = 0;                // rows on the page
    std::vector<int16_t> m_pageValues; // m_pageRows x ChannelCount(), packed
};
