#pragma once
// The cursor readout state of a trend view (history and live): 192 bytes,
// zero when the view is created.

#include "curveparameters.h"
#include "systemtime.h"

#include <cstddef>
#include <cstdint>

struct CursorReadout {
    uint8_t cursorState; // 0 never placed, 1 shown, 2 hidden by a double-click
    uint8_t dragging;    // 1 from a placing click until the button is released
    int32_t cursorX;     // client coordinates
    int32_t cursorY;
    SYSTEMTIME cursorTime;
    int16_t cursorValues[kMaxChannels]; // raw values read out at the cursor
    int32_t legendScroll;               // first visible channel line of the box
};

static_assert(sizeof(CursorReadout) == 192);
static_assert(offsetof(CursorReadout, cursorX) == 4);
static_assert(offsetof(CursorReadout, cursorTime) == 12);
static_assert(offsetof(CursorReadout, cursorValues) == 28);
static_assert(offsetof(CursorReadout, legendScroll) == 188);

constexpr uint8_t kCursorNeverPlaced = 0;
constexpr uint8_t kCursorShown = 1;
constexpr uint8_t kCursorHidden = 2;
