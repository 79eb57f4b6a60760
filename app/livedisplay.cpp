#include "livedisplay.h"

#include "timearith.h"

#include <algorithm>

void CLiveDisplay::Layout(CurveParameters& para, int32_t sampleInterval, const SYSTEMTIME& now) {
    const int32_t interval = std::max<int32_t>(sampleInterval, 1);
    const long long t = para.timeLength;
    m_displayTick = 0;
    // The factor 60 is applied whatever the unit of the time length.
    uint32_t step = uint32_t(t * 60 / (long long)kDisplayColumns);
    if (step < uint32_t(interval))
        step = uint32_t(interval);
    m_displayStep = std::max<uint32_t>(step, 1);
    const uint32_t span = uint32_t(para.timeLengthInSeconds == 0 ? t * 60 : t);
    // In 64 bits: a damaged time length must not wrap the count to 0.
    m_pointsPerScreen =
        uint32_t(std::min<uint64_t>(uint64_t(span / m_displayStep) + 1, kDisplayColumns));
    MoveWindow(para, now);
}

void CLiveDisplay::MoveWindow(CurveParameters& para, const SYSTEMTIME& now) const {
    para.startTime = now;
    para.endTime = AddSecondsWide(now, (long long)(m_pointsPerScreen - 1) * m_displayStep);
}

CLiveDisplay::Column CLiveDisplay::Tick(const int16_t row[kMaxChannels], CurveParameters& para,
                                        const SYSTEMTIME& now) {
    Column column;
    if (m_displayTick >= m_displayStep) {
        m_displayTick = 0;
        // After a change of the time length the position may lie beyond the
        // new window; the column is still inside the buffer and wraps at once.
        const uint32_t pos = std::min(m_displayPos, kDisplayColumns - 1);
        for (int c = 0; c < kMaxChannels; ++c)
            m_displayBuffer[c][pos] = row[c];
        column.added = true;
        column.index = pos;
        m_displayPos = pos + 1;
        if (m_displayPos >= m_pointsPerScreen) {
            m_displayPos = 0;
            MoveWindow(para, now);
            column.wrapped = true;
        }
    }
    m_displayTick += 1;
    return column;
}
