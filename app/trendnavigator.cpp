#include "trendnavigator.h"

#include "timearith.h"
#include "trendwindow.h"

#include <algorithm>
#include <climits>

namespace {

int32_t ClampToInt32(long long v) {
    return int32_t(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// The time under x: startTime + T x (x - P.left) / P.width seconds.
SYSTEMTIME ClickedTime(const CurveParameters& para, const DcRect& p, int x) {
    const long long width = std::max(p.Width(), 1);
    const long long offset = WindowSeconds(para) * (x - p.left) / width;
    return AddSeconds(para.startTime, ClampToInt32(offset));
}

// The value under y: yMinTenths + R x (P.bottom - y) / P.height.
long long ClickedValue(const CurveParameters& para, const DcRect& p, int y) {
    const long long range = (long long)para.yMaxTenths - para.yMinTenths;
    const long long height = std::max(p.Height(), 1);
    return para.yMinTenths + range * (p.bottom - y) / height;
}

void NotBeforeRecording(CurveParameters& para, const TdaHeader& header) {
    if (CompareTime(header.runStartTime, para.startTime) == 1)
        para.startTime = header.runStartTime;
}

// startTime := t - T / 2, not earlier than the recording.
void CentreOn(CurveParameters& para, const TdaHeader& header, const SYSTEMTIME& t) {
    para.startTime = SubtractSeconds(t, ClampToInt32(WindowSeconds(para) / 2));
    NotBeforeRecording(para, header);
}

int Middle(const DcRect& p) {
    return p.left + p.Width() / 2;
}

} // namespace

bool TrendNavigator::InsidePlot(const DcRect& p, int x, int y) {
    return !(x < p.left || x > p.right || y < p.top || y > p.bottom);
}

void TrendNavigator::ZoomIn(CurveParameters& para, const TdaHeader& header, const DcRect& p, int x,
                            int y) {
    const SYSTEMTIME t = ClickedTime(para, p, x);
    para.timeLength = std::max(para.timeLength / 2, 1);
    CentreOn(para, header, t);

    const long long range = (long long)para.yMaxTenths - para.yMinTenths;
    const long long g = ClickedValue(para, p, y);
    para.yMinTenths = ClampToInt32(g - range / 4);
    para.yMaxTenths = ClampToInt32(g + range / 4);
    if ((long long)para.yMaxTenths - para.yMinTenths < 1)
        para.yMaxTenths = ClampToInt32((long long)para.yMinTenths + 1);
}

void TrendNavigator::ZoomOut(CurveParameters& para, const TdaHeader& header, const DcRect& p, int x,
                             int y) {
    const SYSTEMTIME t = ClickedTime(para, p, x);
    long long length = (long long)para.timeLength * 2;
    // Not longer than the recording: its seconds, or its whole minutes + 1.
    // Compared unsigned, as the stored counts are: a negative length from a
    // damaged record counts as longer than any recording.
    const uint64_t recordSeconds =
        uint64_t(uint32_t(header.sampleCount)) * uint32_t(header.sampleInterval);
    const uint64_t asked = length < 0 ? UINT64_MAX : uint64_t(length);
    if (para.timeLengthInSeconds) {
        if (asked >= recordSeconds)
            length = (long long)recordSeconds;
    } else if (asked >= recordSeconds / 60) {
        length = (long long)(recordSeconds / 60 + 1);
    }
    para.timeLength = ClampToInt32(length);
    CentreOn(para, header, t);

    const long long range = (long long)para.yMaxTenths - para.yMinTenths;
    const long long g = ClickedValue(para, p, y);
    para.yMinTenths = ClampToInt32(g - range);
    para.yMaxTenths = ClampToInt32(g + range);
}

void TrendNavigator::HeadOrTail(CurveParameters& para, const TdaHeader& header, const DcRect& p,
                                int x) {
    if (x > Middle(p)) {
        para.startTime = SubtractSeconds(header.lastSampleTime, ClampToInt32(WindowSeconds(para)));
        NotBeforeRecording(para, header);
    } else {
        para.startTime = header.runStartTime;
    }
}

void TrendNavigator::Page(CurveParameters& para, const TdaHeader& header, const DcRect& p, int x) {
    const int32_t seconds = ClampToInt32(WindowSeconds(para));
    if (x > Middle(p)) {
        const SYSTEMTIME next = AddSeconds(para.startTime, seconds);
        if (CompareTime(header.lastSampleTime, next) == 1)
            para.startTime = next;
    } else {
        para.startTime = SubtractSeconds(para.startTime, seconds);
    }
    NotBeforeRecording(para, header);
}

TrendNavigator::Action TrendNavigator::LeftButtonDown(uint8_t mouseMode, CursorReadout& readout,
                                                      CurveParameters& para,
                                                      const TdaHeader& header, const DcRect& p,
                                                      int x, int y) {
    if (!InsidePlot(p, x, y))
        return Action::None;
    switch (mouseMode) {
    case MODE_NORMAL:
        if (readout.cursorState == kCursorHidden)
            return Action::None;
        if (readout.cursorState == kCursorNeverPlaced)
            readout.cursorState = kCursorShown;
        readout.cursorX = x;
        readout.cursorY = y;
        readout.dragging = 1;
        return Action::DrawWithReadout;
    case MODE_ZOOM_IN:
        ZoomIn(para, header, p, x, y);
        return Action::Reload;
    case MODE_ZOOM_OUT:
        ZoomOut(para, header, p, x, y);
        return Action::Reload;
    case MODE_HEAD_TAIL:
        HeadOrTail(para, header, p, x);
        return Action::Reload;
    case MODE_PAGE:
        Page(para, header, p, x);
        return Action::Reload;
    default:
        return Action::None;
    }
}

TrendNavigator::Action TrendNavigator::MouseMove(CursorReadout& readout, int x, int y) {
    if (readout.cursorState != kCursorShown || readout.dragging != 1)
        return Action::None;
    readout.cursorX = x;
    readout.cursorY = y;
    return Action::DrawWithReadout;
}

TrendNavigator::Action TrendNavigator::LeftButtonUp(CursorReadout& readout) {
    readout.dragging = 0;
    return Action::None;
}

TrendNavigator::Action TrendNavigator::DoubleClick(CursorReadout& readout, const DcRect& p, int x,
                                                   int y) {
    if (!InsidePlot(p, x, y))
        return Action::None;
    switch (readout.cursorState) {
    case kCursorNeverPlaced:
    case kCursorHidden:
        readout.cursorState = kCursorShown;
        readout.dragging = 1;
        readout.cursorX = x;
        readout.cursorY = y;
        return Action::DrawWithReadout;
    case kCursorShown:
        readout.cursorState = kCursorHidden;
        readout.dragging = 0;
        return Action::DrawWithoutReadout;
    default:
        readout.cursorState = kCursorNeverPlaced;
        return Action::None;
    }
}

TrendNavigator::Action TrendNavigator::Wheel(const CursorReadout& readout, int wheelDistance,
                                             int& scrollDelta) {
    scrollDelta = 0;
    if (readout.cursorState != kCursorShown)
        return Action::None;
    scrollDelta = -int(int16_t(wheelDistance)) / 120;
    return Action::DrawReadoutOnly;
}
