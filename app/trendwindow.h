#pragma once
// The data of a history trend view and how a window of a .tda file is loaded
// into it: the file's header, the view's curve parameters and channel names,
// and at most 1200 points per channel of the rows between startTime and
// startTime + the time length, every zoomFactor-th row when the window holds
// more rows than points. The file is opened only while loading or writing
// back, and closed again.
//
// The window arithmetic: T = timeLength (x 60 when in minutes) seconds;
// P = T / sampleInterval + 1 rows, lowered to the rows left in the recording;
// N = min(P, 1200) points; zoomFactor = 1 when P <= N, else P / (N - 1);
// point i is row floor(i x zoomFactor) of the window. The drawing routines
// show points 0 .. N - 2 (displayPos = N - 1).

#include "cursorreadout.h"
#include "curveparameters.h"
#include "devicecontext.h"
#include "tdaheader.h"
#include "trendrenderer.h"

#include <cstdint>
#include <string>

class CTdaFile;

// P, N, zoomFactor and displayPos of a window.
struct TrendWindowSize {
    int32_t pointCount = 0; // P: rows the window covers
    uint32_t points = 0;    // N: points loaded, 0 .. 1200
    float zoomFactor = 1.0f;
    int32_t displayPos = 0; // N - 1 (0 when N is 0)
};

// T in seconds: timeLength, times 60 when timeLengthInSeconds is 0.
long long WindowSeconds(const CurveParameters& para);
// The window of T seconds at interval seconds per row with rowsLeft rows of
// the recording from the window's first row on (compared unsigned, as the
// stored counts are). interval must be positive.
TrendWindowSize ComputeWindowSize(long long seconds, int32_t interval, uint32_t rowsLeft);

class TrendWindow {
public:
    enum class LoadResult {
        Loaded,
        CannotOpen, // missing, unreadable, not writable, or not a .tda layout
        Refused,    // failed integrity sum or a sample interval of 0 or less
    };
    enum class ReloadResult {
        Reloaded,
        CannotOpen,           // nothing written or reloaded
        StartBeforeRecording, // parameters written; "起始时间小于采样的开始时间！"
        StartAfterRecording,  // parameters written; "起始时间大于采样的结束时间！"
    };

    // The first load of a view: the first window of the file at path from
    // its first row, with the time length, range, grid, colours and
    // visibility stored in the file. appNames is used when the file carries
    // no name table. On failure the window holds no points.
    LoadResult FirstLoad(const std::string& path, const ChannelNameTable& appNames);

    // Writes the view's name table and parameters back into the file, then
    // loads the window that starts at m_curvePara.startTime. On the two
    // refusals the parameters stay written and the previous points stay.
    ReloadResult Reload();

    // True once a load succeeded: the header, parameters and points are the
    // file's. Otherwise nothing may be drawn or written from them.
    bool HasData() const { return m_hasData; }

    // N and S of the loaded window for the drawing routines.
    TimeScale Scale() const;
    TrendEnv Env(uint8_t tempUnit) const;

    // The view's picture in client rectangle r: axes, curves, and the
    // readout at readout.cursorX when it is shown. Without data: the plain
    // background of the fresh parameters and nothing else.
    void Draw(DeviceContext& dc, const DcRect& r, CursorReadout& readout, uint8_t tempUnit) const;
    // The same without the readout (a double-click that hides it).
    void DrawWithoutReadout(DeviceContext& dc, const DcRect& r, uint8_t tempUnit) const;
    // Only the readout box, with the wheel's scroll delta.
    void DrawReadoutOnly(DeviceContext& dc, const DcRect& r, CursorReadout& readout,
                         uint8_t tempUnit, int scrollDelta) const;

    // The view's data, named as the view's members.
    std::string m_strPathName;
    TdaHeader m_header{};
    int16_t m_currentRow[kMaxChannels]{};
    int32_t m_displayPos = 0;
    DisplayBuffer m_displayBuffer{};
    CurveParameters m_curvePara{};
    ChannelNameTable m_channelTable{};
    uint32_t m_pointsPerScreen = 0;

private:
    void ApplySize(const TrendWindowSize& size);
    void FillFromRows(CTdaFile& file, long long firstRow);
    void ClearPoints();

    bool m_hasData = false;
    // Row-major scratch for bulk reads, kept so a reload allocates nothing.
    int16_t m_rowScratch[kDisplayPoints][kMaxChannels]{};
};
