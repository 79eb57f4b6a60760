#include "sheetpage.h"

#include "celltext.h"
#include "tdafile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

long long ScrollTarget(long long pos, SheetScroll action, long long thumb, long long lineStep,
                       long long pageStep, long long maxPos) {
    switch (action) {
    case SheetScroll::LineUp:
        pos -= lineStep;
        break;
    case SheetScroll::LineDown:
        pos += lineStep;
        break;
    case SheetScroll::PageUp:
        pos -= pageStep;
        break;
    case SheetScroll::PageDown:
        pos += pageStep;
        break;
    case SheetScroll::ThumbPosition:
    case SheetScroll::ThumbTrack:
        pos = thumb;
        break;
    case SheetScroll::Other:
        break;
    }
    return std::clamp(pos, 0LL, std::max(0LL, maxPos));
}

bool CSheetPage::Load(const std::string& path, const ChannelNameTable& appNames, bool fahrenheit) {
    m_loaded = false;
    m_path = path;
    CTdaFile file;
    if (file.Open(path) != TdaError::None)
        return false;
    m_header = file.Header();
    // A file without its own table shows the program's names, as the trend
    // view does; a table lost by an abnormal exit counts as none.
    m_names = file.NameTablePresent() ? file.NameTable() : appNames;
    file.Close();
    m_selectedItem = 0; // the first row counts as selected
    if (!LoadPage(0, 0, fahrenheit))
        return false;
    m_loaded = true;
    return true;
}

bool CSheetPage::LoadPage(int firstChannel, long long firstRow, bool fahrenheit) {
    CTdaFile file;
    if (file.Open(m_path) != TdaError::None || file.ChannelCount() != m_header.channelCount)
        return false;
    const int channels = file.ChannelCount();
    const long long rows = file.RowCount();
    firstChannel = std::clamp(firstChannel, 0, std::max(0, channels - 1));
    firstRow = std::clamp(firstRow, 0LL, std::max(0LL, rows - 1));
    const long long wanted = std::clamp(rows - firstRow, 0LL, (long long)kPageRows);
    std::vector<int16_t> values(size_t(wanted) * size_t(channels));
    long long got = channels > 0 ? file.ReadRowsPacked(firstRow, wanted, values.data()) : wanted;
    if (got < 0)
        return false;
    values.resize(size_t(got) * size_t(channels));
    m_rowCount = rows;
    m_firstChannel = firstChannel;
    m_firstRow = firstRow;
    m_fahrenheit = fahrenheit;
    m_pageRows = int(got);
    m_pageValues = std::move(values);
    return true;
}

bool CSheetPage::ScrollRows(SheetScroll action, long long thumb, bool fahrenheit) {
    long long row =
        ScrollTarget(m_firstRow, action, thumb, kRowLineStep, kRowPageStep, m_rowCount - 1);
    return LoadPage(m_firstChannel, row, fahrenheit);
}

bool CSheetPage::ScrollChannels(SheetScroll action, long long thumb, bool fahrenheit) {
    long long ch = ScrollTarget(m_firstChannel, action, thumb, kChannelLineStep, kChannelPageStep,
                                ChannelCount() - 1);
    return LoadPage(int(ch), m_firstRow, fahrenheit);
}

std::vector<std::string> CSheetPage::ColumnTitles() const {
    std::vector<std::string> titles{"序号", "时间"};
    for (int c = m_firstChannel; c < ChannelCount(); ++c)
        titles.push_back(ChannelColumnTitle(m_names, c));
    return titles;
}

int16_t CSheetPage::PageValue(int item, int channel) const {
    if (item < 0 || item >= m_pageRows || channel < 0 || channel >= ChannelCount())
        return 0;
    return m_pageValues[size_t(item) * size_t(ChannelCount()) + size_t(channel)];
}

std::string CSheetPage::CellText(int item, int column) const {
    if (item < 0 || item >= m_pageRows || column < 0 || column >= ColumnCount())
        return {};
    const long long row = m_firstRow + item;
    if (column == 0)
        return std::to_string(row + 1);
    if (column == 1)
        return TimeCellText(TdaRowTime(m_header, row));
    return ValueCellText(PageValue(item, m_firstChannel + column - 2), m_header.valueScale,
                         m_fahrenheit);
}

SheetEditRow CSheetPage::SelectedRow() const {
    SheetEditRow e;
    if (m_selectedItem < 0 || m_selectedItem >= m_pageRows)
        return e;
    e.valid = true;
    e.row = m_firstRow + m_selectedItem;
    e.firstChannel = m_firstChannel;
    e.fahrenheit = m_fahrenheit;
    e.rowText = CellText(m_selectedItem, 0);
    e.timeText = CellText(m_selectedItem, 1);
    for (int b = 0; b < SheetEditRow::kEdits; ++b) {
        const int c = m_firstChannel + b;
        if (c >= ChannelCount())
            continue;
        e.captions[b] = ChannelEditCaption(m_names, c);
        e.texts[b] = CellText(m_selectedItem, b + 2);
        e.enabled[b] = true;
    }
    return e;
}

namespace {

std::string Trimmed(const std::string& s) {
    const char* ws = " \t\r\n";
    size_t a = s.find_first_not_of(ws);
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(ws) - a + 1);
}

// A decimal number of degrees as a count of 1/divisor degrees, the digits
// beyond dropped toward zero. False when the text is not such a number;
// outOfRange when it is far beyond any 16-bit count.
bool ParseDecimalCount(const std::string& text, int decimals, long long& count, bool& outOfRange) {
    outOfRange = false;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long whole = 0, fraction = 0;
    int wholeDigits = 0, fractionDigits = 0;
    for (; i < text.size() && std::isdigit((unsigned char)text[i]); ++i, ++wholeDigits) {
        if (whole < 100000000)
            whole = whole * 10 + (text[i] - '0');
        else
            outOfRange = true;
    }
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && std::isdigit((unsigned char)text[i]); ++i, ++fractionDigits)
            if (fractionDigits < decimals)
                fraction = fraction * 10 + (text[i] - '0');
    }
    if (i != text.size() || wholeDigits + fractionDigits == 0)
        return false;
    for (int d = std::min(fractionDigits, decimals); d < decimals; ++d)
        fraction *= 10;
    long long scale = decimals == 2 ? 100 : 10;
    count = whole * scale + fraction;
    if (negative)
        count = -count;
    return true;
}

std::string ChannelMessage(const char* format, int channel, const std::string& text) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, channel + 1, text.substr(0, 64).c_str());
    return buf;
}

} // namespace

bool CSheetPage::EditTextToRaw(const std::string& text, uint8_t valueScale, bool fahrenheit,
                               int16_t& raw, bool& notANumber) {
    const int divisor = valueScale == 2 ? 100 : 10;
    long long count = 0;
    bool outOfRange = false;
    notANumber = !ParseDecimalCount(Trimmed(text), divisor == 100 ? 2 : 1, count, outOfRange);
    if (notANumber || outOfRange)
        return false;
    const double stored = ShownCountToCelsius(double(count), divisor, fahrenheit);
    const long long rounded = std::llround(stored);
    if (rounded < -32768 || rounded > 32767)
        return false;
    // In a two-decimal file 19999 is read as tenths (1999.9): a value that
    // would land on it cannot be stored as meant.
    if (divisor == 100 && rounded == kRawAlwaysTenths)
        return false;
    raw = int16_t(rounded);
    return true;
}

SheetSaveResult CSheetPage::SaveRow(const SheetEditRow& shown,
                                    const std::array<std::string, SheetEditRow::kEdits>& edited) {
    SheetSaveResult result;
    if (!shown.valid || shown.row < 0) {
        result.status = SheetSaveStatus::NoRow;
        return result;
    }
    struct Change {
        int channel;
        int16_t raw;
    };
    std::vector<Change> changes;
    for (int b = 0; b < SheetEditRow::kEdits; ++b) {
        const int c = shown.firstChannel + b;
        if (!shown.enabled[b] || c >= ChannelCount())
            continue;
        // Unchanged texts are not written: the shown text is rounded and in
        // the shown unit, so writing it back could alter the stored value.
        if (Trimmed(edited[b]) == Trimmed(shown.texts[b]))
            continue;
        int16_t raw = 0;
        bool notANumber = false;
        if (!EditTextToRaw(edited[b], m_header.valueScale, shown.fahrenheit, raw, notANumber)) {
            result.status = notANumber ? SheetSaveStatus::NotANumber : SheetSaveStatus::OutOfRange;
            result.message =
                ChannelMessage(notANumber ? "通道%d的数值“%s”不是有效的数字，本行未保存！"
                                          : "通道%d的数值“%s”超出可保存的范围，本行未保存！",
                               c, Trimmed(edited[b]));
            return result;
        }
        changes.push_back({c, raw});
    }
    if (changes.empty())
        return result; // NothingChanged

    CTdaFile file;
    if (file.Open(m_path, CTdaFile::Mode::ReadWrite) != TdaError::None) {
        result.status = SheetSaveStatus::CannotOpen;
        result.message = "无法打开文件进行写入，数据未保存！";
        return result;
    }
    if (file.ChannelCount() != ChannelCount() || shown.row >= file.RowCount()) {
        result.status = SheetSaveStatus::WriteFailed;
        result.message = "文件内容已改变，数据未保存！";
        return result;
    }
    for (const Change& ch : changes) {
        if (file.WriteValue(shown.row, ch.channel, ch.raw) != TdaError::None) {
            result.status = SheetSaveStatus::WriteFailed;
            result.message = "写入文件失败，数据可能未完整保存！";
            return result;
        }
        ++result.valuesWritten;
    }
    file.Close();
    result.status = SheetSaveStatus::Saved;
    LoadPage(m_firstChannel, m_firstRow, m_fahrenheit);
    return result;
}
