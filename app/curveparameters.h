#pragma once
// The curve parameter record and the channel-name table. Both are stored
// byte for byte in CURVEPARA.DAT and in every .tda file, so the layout below
// is a file format: every offset is checked at compile time.

#include "systemtime.h"

#include <cstddef>
#include <cstdint>

constexpr int kMaxChannels = 80;
constexpr int kChannelNameBytes = 25;

struct CurveParameters {
    uint8_t xAxisLongTime;       // 0 short time, 1 long time (date above time)
    uint8_t yAxisPercent;        // 1 percent, 0 value; stored only
    uint8_t timeLengthInSeconds; // unit of timeLength: 0 minutes, else seconds
    uint8_t reserved0;
    int32_t yMaxTenths;
    int32_t yMinTenths;
    SYSTEMTIME startTime;
    SYSTEMTIME endTime;
    int32_t pointCount;
    float zoomFactor;
    int32_t channelCount;
    uint8_t reserved1[2];
    uint8_t visibleChannels[10]; // bit n%8 of byte n/8
    int32_t gridRows;
    int32_t gridColumns;
    COLORREF backgroundColor;
    COLORREF gridColor;
    COLORREF textColor;
    COLORREF channelColors[kMaxChannels];
    int32_t plotMargins[4]; // left, right, top, bottom
    int32_t timeLength;
    uint8_t hasChannelNames;
    uint8_t reserved2[59];
};

struct ChannelNameTable {
    uint8_t customNamesEnabled;
    char channelNames[kMaxChannels][kChannelNameBytes]; // GBK, zero-terminated
    uint8_t reserved[1024];
};

static_assert(sizeof(CurveParameters) == 488);
static_assert(offsetof(CurveParameters, yMaxTenths) == 4);
static_assert(offsetof(CurveParameters, yMinTenths) == 8);
static_assert(offsetof(CurveParameters, startTime) == 12);
static_assert(offsetof(CurveParameters, endTime) == 28);
static_assert(offsetof(CurveParameters, pointCount) == 44);
static_assert(offsetof(CurveParameters, zoomFactor) == 48);
static_assert(offsetof(CurveParameters, channelCount) == 52);
static_assert(offsetof(CurveParameters, visibleChannels) == 58);
static_assert(offsetof(CurveParameters, gridRows) == 68);
static_assert(offsetof(CurveParameters, gridColumns) == 72);
static_assert(offsetof(CurveParameters, backgroundColor) == 76);
static_assert(offsetof(CurveParameters, gridColor) == 80);
static_assert(offsetof(CurveParameters, textColor) == 84);
static_assert(offsetof(CurveParameters, channelColors) == 88);
static_assert(offsetof(CurveParameters, plotMargins) == 408);
static_assert(offsetof(CurveParameters, timeLength) == 424);
static_assert(offsetof(CurveParameters, hasChannelNames) == 428);

static_assert(sizeof(ChannelNameTable) == 3025);
static_assert(offsetof(ChannelNameTable, channelNames) == 1);
static_assert(offsetof(ChannelNameTable, reserved) == 2001);

// ---- Defaults and channel names ----

#include <string>
#include <string_view>

// Curve colour of channel n is kDefaultChannelColors[n % 8]: red, green,
// blue, magenta, cyan, yellow, purple, sky blue.
extern const COLORREF kDefaultChannelColors[8];

// The record built when no settings file exists: all bytes zero, then the
// default channel count, visibility, grid, range, colours, margins and a time
// length of 10.
CurveParameters MakeFreshCurveParameters();
// "恢复缺省值" of the curve parameter dialog: resets channel count, byte 0 of
// the visibility bitmap, grid, range, colours and margins; leaves every other
// field (time length, axis modes, start time, visibility bytes 1..9) alone.
void RestoreDefaultCurveParameters(CurveParameters& p);
// An all-zero name table (custom names off, every name empty).
ChannelNameTable MakeEmptyChannelNameTable();

// Channel n's name as GBK bytes, bounded to its 25-byte field (a field
// without terminator gives at most 25 bytes). Empty for n outside 0..79.
std::string ChannelNameGbk(const ChannelNameTable& t, int n);
// Stores GBK bytes as channel n's name: cut to at most 24 bytes without
// splitting a double-byte character, zero-filled. Ignored for n outside 0..79.
void SetChannelNameGbk(ChannelNameTable& t, int n, std::string_view gbk);
// Channel n's name converted to UTF-8.
std::string ChannelNameUtf8(const ChannelNameTable& t, int n);
void SetChannelNameUtf8(ChannelNameTable& t, int n, std::string_view utf8);
// Forces a terminator into the last byte of every name field, so a table
// read from an untrusted file can be used as C strings.
void TerminateChannelNames(ChannelNameTable& t);
