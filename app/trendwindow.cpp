#include "trendwindow.h"

#include "tdafile.h"
#include "timearith.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

long long WindowSeconds(const CurveParameters& para) {
    const long long length = para.timeLength;
    return para.timeLengthInSeconds ? length : length * 60;
}

TrendWindowSize ComputeWindowSize(long long seconds, int32_t interval, uint32_t rowsLeft) {
    TrendWindowSize size;
    if (interval <= 0)
        return size;
    long long rows = seconds / interval + 1;
    if (rows < 0) // a negative time length from a damaged record
        rows = 0;
    if ((unsigned long long)rowsLeft < (unsigned long long)rows)
        rows = rowsLeft;
    rows = std::min<long long>(rows, INT32_MAX);
    size.pointCount = int32_t(rows);
    size.points = uint32_t(std::min<long long>(rows, kDisplayPoints));
    size.zoomFactor = rows <= size.points ? 1.0f : float(double(rows) / (size.points - 1));
    size.displayPos = size.points > 0 ? int32_t(size.points) - 1 : 0;
    return size;
}

void TrendWindow::ApplySize(const TrendWindowSize& size) {
    m_curvePara.pointCount = size.pointCount;
    m_curvePara.zoomFactor = size.zoomFactor;
    m_pointsPerScreen = size.points;
    m_displayPos = size.displayPos;
}

void TrendWindow::ClearPoints() {
    m_pointsPerScreen = 0;
    m_displayPos = 0;
}

// Loads the N points of the window whose first row is firstRow. A row that
// is not in the file (a header claiming more rows than were written) keeps
// the values of the row before it, as a short read leaves the row buffer.
void TrendWindow::FillFromRows(CTdaFile& file, long long firstRow) {
    const uint32_t n = m_pointsPerScreen;
    const bool everyRow = m_curvePara.pointCount <= int32_t(n);
    long long got = 0;
    if (everyRow) {
        got = file.ReadRows(firstRow, n, 1, m_rowScratch);
    } else {
        long long rows[kDisplayPoints];
        const float zoom = m_curvePara.zoomFactor;
        for (uint32_t i = 0; i < n; ++i)
            rows[i] = firstRow + (long long)(float(i) * zoom);
        got = file.ReadRowsAt(std::span<const long long>(rows, n), m_rowScratch);
    }
    const int channels = std::clamp(m_header.channelCount, 0, kMaxChannels);
    for (uint32_t i = 0; i < n; ++i) {
        if ((long long)i < got)
            std::memcpy(m_currentRow, m_rowScratch[i], sizeof(int16_t) * size_t(channels));
        for (int c = 0; c < channels; ++c)
            m_displayBuffer[c][i] = m_currentRow[c];
    }
}

TrendWindow::LoadResult TrendWindow::FirstLoad(const std::string& path,
                                               const ChannelNameTable& appNames) {
    m_strPathName = path;
    m_hasData = false;
    ClearPoints();

    CTdaFile file;
    if (file.Open(path, CTdaFile::Mode::ReadWrite) != TdaError::None)
        return LoadResult::CannotOpen;
    // A refused file leaves nothing of itself in the view.
    if (!file.ChecksumValid() || !file.IntervalValid())
        return LoadResult::Refused;

    m_header = file.Header();
    m_curvePara = file.Parameters();
    m_curvePara.channelCount = m_header.channelCount;
    // A table that is not really there (a run that ended abnormally) would
    // be rows read as names; the application's names stand in for it.
    m_channelTable = file.NameTablePresent() ? file.NameTable() : appNames;
    TerminateChannelNames(m_channelTable);

    m_curvePara.startTime = m_header.runStartTime;
    ApplySize(ComputeWindowSize(WindowSeconds(m_curvePara), m_header.sampleInterval,
                                uint32_t(m_header.sampleCount)));
    std::memset(m_currentRow, 0, sizeof m_currentRow);
    FillFromRows(file, 0);
    m_hasData = true;
    return LoadResult::Loaded;
}

TrendWindow::ReloadResult TrendWindow::Reload() {
    if (!m_hasData)
        return ReloadResult::CannotOpen;
    CTdaFile file;
    if (file.Open(m_strPathName, CTdaFile::Mode::ReadWrite) != TdaError::None)
        return ReloadResult::CannotOpen;
    // The table first, then the block that says it is there.
    file.WriteParametersAndNames(m_curvePara, m_channelTable);
    m_curvePara.hasChannelNames = 1;

    if (CompareTime(m_header.runStartTime, m_curvePara.startTime) == 1)
        return ReloadResult::StartBeforeRecording;
    if (CompareTime(m_curvePara.startTime, m_header.lastSampleTime) == 1)
        return ReloadResult::StartAfterRecording;

    const long long first =
        DiffSeconds(m_curvePara.startTime, m_header.runStartTime) / m_header.sampleInterval;
    const uint32_t rowsLeft = uint32_t(m_header.sampleCount) - uint32_t(first);
    ApplySize(ComputeWindowSize(WindowSeconds(m_curvePara), m_header.sampleInterval, rowsLeft));
    FillFromRows(file, first);
    return ReloadResult::Reloaded;
}

TimeScale TrendWindow::Scale() const {
    return TimeScale{m_pointsPerScreen, m_header.sampleInterval, double(m_curvePara.zoomFactor)};
}

TrendEnv TrendWindow::Env(uint8_t tempUnit) const {
    TrendEnv env;
    env.tempUnit = tempUnit;
    env.valueScale = m_header.valueScale;
    return env;
}

void TrendWindow::DrawWithoutReadout(DeviceContext& dc, const DcRect& r, uint8_t tempUnit) const {
    if (!m_hasData) {
        dc.FillSolidRect(r, MakeFreshCurveParameters().backgroundColor);
        return;
    }
    const TrendEnv env = Env(tempUnit);
    DrawAxes(dc, r, m_curvePara, env, Scale());
    DrawCurves(dc, r, m_curvePara, env, m_displayBuffer, m_pointsPerScreen, uint32_t(m_displayPos));
}

void TrendWindow::Draw(DeviceContext& dc, const DcRect& r, CursorReadout& readout,
                       uint8_t tempUnit) const {
    DrawWithoutReadout(dc, r, tempUnit);
    if (readout.cursorState == kCursorShown)
        DrawReadoutOnly(dc, r, readout, tempUnit, 0);
}

void TrendWindow::DrawReadoutOnly(DeviceContext& dc, const DcRect& r, CursorReadout& readout,
                                  uint8_t tempUnit, int scrollDelta) const {
    if (!m_hasData)
        return;
    DrawCursorReadout(dc, r, m_curvePara, Env(tempUnit), m_displayBuffer, Scale(),
                      uint32_t(m_displayPos), m_channelTable, readout.cursorX, scrollDelta,
                      readout);
}
