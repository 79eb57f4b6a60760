#pragma once
// Texts shared by the data list and the Excel export: the value, time and
// row-number cells and the channel titles. Both show a recording the same
// way, so the texts are made in one place.

#include "curveparameters.h"
#include "systemtime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// "%5.1f" of the raw value in degrees of the shown unit (one conversion rule,
// in tdafile.h). Two-decimal files are shown with one decimal too.
std::string ValueCellText(int16_t raw, uint8_t valueScale, bool fahrenheit);

// The 65536 value texts of one scale and unit, made once: an export of
// millions of cells then formats each value with a table look-up.
class CValueTextTable {
public:
    CValueTextTable(uint8_t valueScale, bool fahrenheit);
    const std::string& Text(int16_t raw) const { return m_texts[uint16_t(raw)]; }

private:
    std::vector<std::string> m_texts;
};

// "%d-%d-%d %d:%d:%d": year, month, day, hour, minute, second.
std::string TimeCellText(const SYSTEMTIME& t);
// Reads "Y-M-D h:m:s" (the form above; the time part may be left out and
// then means 0:0:0). False for anything else or a date that does not exist.
bool ParseTimeCellText(std::string_view text, SYSTEMTIME& out);

// The stored name of channel c (0-based) as UTF-8, empty when none.
std::string ChannelNameText(const ChannelNameTable& t, int c);
// List column title: the custom name when names are enabled and the name is
// not empty, else "通道%d:".
std::string ChannelColumnTitle(const ChannelNameTable& t, int c);
// Caption above an edit box: with names enabled the custom name (or
// "通道%d:" when it is empty), else "通道%d".
std::string ChannelEditCaption(const ChannelNameTable& t, int c);
// Export column title: name or "通道%d", followed by "(F)" or "(℃)".
std::string ChannelExportTitle(const ChannelNameTable& t, int c, bool fahrenheit);
