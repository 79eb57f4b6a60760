#pragma once
// The live display of an acquisition run without any drawing: the geometry
// of the time window (columns per screen, ticks per column), the buffer of
// screen columns and the wrap. The real-time view draws what this says.

#include "curveparameters.h"
#include "systemtime.h"

#include <cstdint>

constexpr uint32_t kDisplayColumns = 1200;

class CLiveDisplay {
public:
    // A display column filled by a tick.
    struct Column {
        bool added = false;   // a column was filled on this tick
        uint32_t index = 0;   // the column filled (before the position advanced)
        bool wrapped = false; // the window is full and starts again at the left
    };

    // Lays out the window for the time length of para: step, columns,
    // para.startTime = now and para.endTime = the time of the last column.
    // A sample interval below 1 s counts as 1 s, and the step is at least 1,
    // so no division meets a zero.
    void Layout(CurveParameters& para, int32_t sampleInterval, const SYSTEMTIME& now);

    // The display part of a timer tick: when a column is due, copies row
    // into it, advances the position and wraps the window when it is full.
    Column Tick(const int16_t row[kMaxChannels], CurveParameters& para, const SYSTEMTIME& now);

    // A new run fills the window from the left.
    void Rewind() { m_displayPos = 0; }

    uint32_t PointsPerScreen() const { return m_pointsPerScreen; }
    uint32_t DisplayStep() const { return m_displayStep; }
    uint32_t DisplayTick() const { return m_displayTick; }
    uint32_t DisplayPos() const { return m_displayPos; }
    const int16_t (&Buffer() const)[kMaxChannels][kDisplayColumns] { return m_displayBuffer; }

private:
    void MoveWindow(CurveParameters& para, const SYSTEMTIME& now) const;

    uint32_t m_displayPos = 0;
    uint32_t m_pointsPerScreen = 1;
    uint32_t m_displayTick = 0;
    uint32_t m_displayStep = 1;
    int16_t m_displayBuffer[kMaxChannels][kDisplayColumns]{};
};
