#pragma once
// The mouse rules of the history trend view, without any window: what a
// click, a drag, a double-click or the wheel does to the cursor readout and
// to the window's parameters in each of the five mouse modes. The view
// carries out the returned action (draw into the window, or write back and
// reload through TrendWindow::Reload).
//
// Times are local calendar times at one-second resolution; T is the window
// length in seconds (timeLength, x 60 in minutes).

#include "cursorreadout.h"
#include "curveparameters.h"
#include "devicecontext.h"
#include "tdaheader.h"

#include <cstdint>

enum MouseMode : uint8_t {
    MODE_NORMAL = 0,    // click places the cursor readout
    MODE_ZOOM_IN = 1,   // halve the window and the range around the click
    MODE_ZOOM_OUT = 2,  // double them
    MODE_HEAD_TAIL = 3, // jump to the start (left half) or the end (right half)
    MODE_PAGE = 4,      // one window back (left half) or forward (right half)
};

class TrendNavigator {
public:
    enum class Action {
        None,
        DrawWithReadout,    // axes, curves and the readout at cursorX
        DrawWithoutReadout, // axes and curves (hides the readout)
        DrawReadoutOnly,    // the readout box with a scroll delta
        Reload,             // write back and reload the window, then repaint
    };

    // Left button down at (x, y) with plot rectangle p.
    static Action LeftButtonDown(uint8_t mouseMode, CursorReadout& readout, CurveParameters& para,
                                 const TdaHeader& header, const DcRect& p, int x, int y);
    static Action MouseMove(CursorReadout& readout, int x, int y);
    static Action LeftButtonUp(CursorReadout& readout);
    static Action DoubleClick(CursorReadout& readout, const DcRect& p, int x, int y);
    // wheelDistance as delivered (120 per notch, away from the user
    // positive); scrollDelta receives the lines to scroll the channel list.
    static Action Wheel(const CursorReadout& readout, int wheelDistance, int& scrollDelta);

    static bool InsidePlot(const DcRect& p, int x, int y);

    // The four navigation steps, exposed for the tests and the dialog path.
    static void ZoomIn(CurveParameters& para, const TdaHeader& header, const DcRect& p, int x,
                       int y);
    static void ZoomOut(CurveParameters& para, const TdaHeader& header, const DcRect& p, int x,
                        int y);
    static void HeadOrTail(CurveParameters& para, const TdaHeader& header, const DcRect& p, int x);
    static void Page(CurveParameters& para, const TdaHeader& header, const DcRect& p, int x);
};
