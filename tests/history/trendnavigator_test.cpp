// Navigation of the history trend: the cursor rules, the four click modes
// and the reload that writes the parameters back into the file.

#include "tdafixture.h"
#include "trendnavigator.h"
#include "trendwindow.h"

#include <cstring>
#include <memory>

namespace {

const DcRect kPlot{40, 30, 760, 570}; // 720 x 540

struct Loaded {
    TempDir tmp;
    std::string path;
    std::unique_ptr<TrendWindow> w = std::make_unique<TrendWindow>();

    explicit Loaded(FixtureOptions s) {
        path = tmp.File("nav.tda");
        WriteFixture(path, s);
        EXPECT_EQ(w->FirstLoad(path, MakeEmptyChannelNameTable()), TrendWindow::LoadResult::Loaded);
    }
    TrendNavigator::Action Click(uint8_t mode, int x, int y) {
        CursorReadout r{};
        return TrendNavigator::LeftButtonDown(mode, r, w->m_curvePara, w->m_header, kPlot, x, y);
    }
    CurveParameters& Para() { return w->m_curvePara; }
};

FixtureOptions Hour(int32_t length = 600, bool seconds = true) {
    FixtureOptions s;
    s.rows = 3600;
    s.timeLength = length;
    s.inSeconds = seconds;
    return s;
}

int Cmp(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return CompareTime(a, b);
}

} // namespace

TEST(Cursor, PlacingDraggingHidingAndTheWheel) {
    CursorReadout r{};
    CurveParameters para = MakeFreshCurveParameters();
    TdaHeader h{};
    using A = TrendNavigator::Action;
    // Outside the plot nothing happens in any mode.
    for (uint8_t mode = 0; mode <= 4; ++mode)
        for (auto [x, y] : {std::pair{39, 300}, {761, 300}, {400, 29}, {400, 571}})
            EXPECT_EQ(TrendNavigator::LeftButtonDown(mode, r, para, h, kPlot, x, y), A::None);
    EXPECT_EQ(r.cursorState, 0);

    int delta = 5;
    EXPECT_EQ(TrendNavigator::Wheel(r, -120, delta), A::None); // never placed
    EXPECT_EQ(delta, 0);

    EXPECT_EQ(TrendNavigator::LeftButtonDown(MODE_NORMAL, r, para, h, kPlot, 100, 200),
              A::DrawWithReadout);
    EXPECT_EQ(r.cursorState, 1);
    EXPECT_EQ(r.dragging, 1);
    EXPECT_EQ(r.cursorX, 100);
    EXPECT_EQ(TrendNavigator::MouseMove(r, 900, 5), A::DrawWithReadout); // not limited to P
    EXPECT_EQ(r.cursorX, 900);
    EXPECT_EQ(TrendNavigator::LeftButtonUp(r), A::None);
    EXPECT_EQ(TrendNavigator::MouseMove(r, 300, 300), A::None);
    EXPECT_EQ(r.cursorX, 900);

    EXPECT_EQ(TrendNavigator::Wheel(r, -240, delta), A::DrawReadoutOnly);
    EXPECT_EQ(delta, 2); // towards the user: down the list
    EXPECT_EQ(TrendNavigator::Wheel(r, 120, delta), A::DrawReadoutOnly);
    EXPECT_EQ(delta, -1);
    EXPECT_EQ(TrendNavigator::Wheel(r, 60, delta), A::DrawReadoutOnly);
    EXPECT_EQ(delta, 0);

    // Double-click hides; a click then does nothing; the next double-click shows.
    EXPECT_EQ(TrendNavigator::DoubleClick(r, kPlot, 10, 10), A::None);
    EXPECT_EQ(TrendNavigator::DoubleClick(r, kPlot, 300, 300), A::DrawWithoutReadout);
    EXPECT_EQ(r.cursorState, 2);
    EXPECT_EQ(r.dragging, 0);
    EXPECT_EQ(TrendNavigator::LeftButtonDown(MODE_NORMAL, r, para, h, kPlot, 200, 200), A::None);
    EXPECT_EQ(TrendNavigator::Wheel(r, 120, delta), A::None);
    EXPECT_EQ(TrendNavigator::DoubleClick(r, kPlot, 222, 333), A::DrawWithReadout);
    EXPECT_EQ(r.cursorState, 1);
    EXPECT_EQ(r.cursorX, 222);
    EXPECT_EQ(r.dragging, 1);
    r.cursorState = 7;
    EXPECT_EQ(TrendNavigator::DoubleClick(r, kPlot, 222, 333), A::None);
    EXPECT_EQ(r.cursorState, 0);
}

TEST(ZoomIn, TheExampleAndItsReloadWrittenBack) {
    Loaded f(Hour(600, true));
    ASSERT_EQ(f.Para().startTime.wHour, 10);
    // Shift the window to 10:00:00 .. 10:10:00 (it already is) and click
    // 180 px right of P.left at mid-height.
    EXPECT_EQ(f.Click(MODE_ZOOM_IN, 220, 300), TrendNavigator::Action::Reload);
    EXPECT_EQ(f.Para().timeLength, 300);
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 0, 0)), 0);
    EXPECT_EQ(f.Para().yMinTenths, 750);
    EXPECT_EQ(f.Para().yMaxTenths, 2250);

    ASSERT_EQ(f.w->Reload(), TrendWindow::ReloadResult::Reloaded);
    EXPECT_EQ(f.Para().pointCount, 301);
    EXPECT_EQ(f.w->m_pointsPerScreen, 301u);
    EXPECT_EQ(f.w->m_displayPos, 300);
    const CurveParameters stored = StoredParameters(f.path);
    EXPECT_EQ(stored.timeLength, 300);
    EXPECT_EQ(stored.yMinTenths, 750);
    EXPECT_EQ(stored.yMaxTenths, 2250);
    EXPECT_EQ(stored.hasChannelNames, 1);
    EXPECT_EQ(Cmp(stored.startTime, Time(2007, 5, 10, 10, 0, 0)), 0);

    // A click in the middle of 10:00 .. 10:05 centres the next window there.
    f.Click(MODE_ZOOM_IN, 400, 300);
    EXPECT_EQ(f.Para().timeLength, 150);
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 1, 15)), 0);
    ASSERT_EQ(f.w->Reload(), TrendWindow::ReloadResult::Reloaded);
    EXPECT_EQ(f.w->m_displayBuffer[2][0], FixtureValue(75, 2));

    // Reopening shows the new length and range from the recording's start.
    TrendWindow again;
    ASSERT_EQ(again.FirstLoad(f.path, MakeEmptyChannelNameTable()),
              TrendWindow::LoadResult::Loaded);
    EXPECT_EQ(again.m_curvePara.timeLength, 150);
    EXPECT_EQ(again.m_curvePara.yMaxTenths, f.Para().yMaxTenths);
    EXPECT_EQ(Cmp(again.m_curvePara.startTime, Time(2007, 5, 10, 10, 0, 0)), 0);
}

TEST(ZoomIn, StopsAtOneMinuteOrOneSecondAndKeepsARange) {
    for (bool seconds : {false, true}) {
        Loaded f(Hour(1, seconds));
        for (int i = 0; i < 3; ++i) {
            f.Click(MODE_ZOOM_IN, 400, 300);
            ASSERT_EQ(f.w->Reload(), TrendWindow::ReloadResult::Reloaded);
        }
        EXPECT_EQ(f.Para().timeLength, 1);
        EXPECT_EQ(f.Para().pointCount, seconds ? 2 : 61);
        EXPECT_GE(f.Para().yMaxTenths - f.Para().yMinTenths, 1);
    }
    Loaded f(Hour());
    f.Para().yMinTenths = 0;
    f.Para().yMaxTenths = 2;
    f.Click(MODE_ZOOM_IN, 400, 570);
    EXPECT_EQ(f.Para().yMinTenths, 0);
    EXPECT_EQ(f.Para().yMaxTenths, 1);
}

TEST(ZoomOut, DoublesAndCapsAtTheRecording) {
    Loaded f(Hour(600, true));
    EXPECT_EQ(f.Click(MODE_ZOOM_OUT, 400, 300), TrendNavigator::Action::Reload);
    EXPECT_EQ(f.Para().timeLength, 1200);
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 0, 0)), 0); // not before the start
    EXPECT_EQ(f.Para().yMinTenths, 1500 - 3000);
    EXPECT_EQ(f.Para().yMaxTenths, 1500 + 3000);
    f.Para().timeLength = 3000;
    f.Click(MODE_ZOOM_OUT, 400, 300);
    EXPECT_EQ(f.Para().timeLength, 3600); // the recording: 3600 rows x 1 s

    Loaded m(Hour(40, false));
    m.Click(MODE_ZOOM_OUT, 400, 300);
    EXPECT_EQ(m.Para().timeLength, 61); // 60 whole minutes + 1
    m.Click(MODE_ZOOM_OUT, 400, 300);
    EXPECT_EQ(m.Para().timeLength, 61);
    EXPECT_EQ(Cmp(m.Para().startTime, Time(2007, 5, 10, 10, 0, 0)), 0);
    ASSERT_EQ(m.w->Reload(), TrendWindow::ReloadResult::Reloaded);
    EXPECT_EQ(m.Para().pointCount, 3600);
    EXPECT_EQ(m.w->m_pointsPerScreen, 1200u);
}

TEST(HeadTailAndPage, MovesTheWindowWithinTheRecording) {
    Loaded f(Hour(600, true)); // rows 10:00:00 .. 10:59:59
    f.Click(MODE_HEAD_TAIL, 401, 300);
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 49, 59)), 0);
    ASSERT_EQ(f.w->Reload(), TrendWindow::ReloadResult::Reloaded);
    EXPECT_EQ(f.Para().pointCount, 601);
    EXPECT_EQ(f.w->m_displayBuffer[0][0], FixtureValue(2999, 0));

    // Forward from the last window: the start stays, the reload still runs.
    EXPECT_EQ(f.Click(MODE_PAGE, 700, 300), TrendNavigator::Action::Reload);
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 49, 59)), 0);
    f.Para().yMaxTenths = 2999;
    ASSERT_EQ(f.w->Reload(), TrendWindow::ReloadResult::Reloaded);
    EXPECT_EQ(StoredParameters(f.path).yMaxTenths, 2999);

    f.Click(MODE_PAGE, 400, 300); // mid counts as the left half
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 39, 59)), 0);
    f.Click(MODE_HEAD_TAIL, 400, 300);
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 0, 0)), 0);
    f.Click(MODE_PAGE, 100, 300); // back from the first window
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 0, 0)), 0);
    f.Click(MODE_PAGE, 700, 300);
    EXPECT_EQ(Cmp(f.Para().startTime, Time(2007, 5, 10, 10, 10, 0)), 0);

    // Tail of a recording shorter than the window: its start.
    FixtureOptions s; // 300 rows, 10 minutes
    Loaded g(s);
    g.Click(MODE_HEAD_TAIL, 700, 300);
    EXPECT_EQ(Cmp(g.Para().startTime, Time(2007, 5, 10, 10, 0, 0)), 0);
}

TEST(Reload, StartsOutsideTheRecordingAreRefusedAfterTheWriteBack) {
    Loaded f(Hour(600, true));
    const int16_t before = f.w->m_displayBuffer[0][10];
    struct Case {
        SYSTEMTIME start;
        TrendWindow::ReloadResult result;
    } cases[] = {
        {Time(2007, 5, 10, 9, 59, 59), TrendWindow::ReloadResult::StartBeforeRecording},
        {Time(2007, 5, 10, 11, 0, 0), TrendWindow::ReloadResult::StartAfterRecording},
    };
    for (const auto& c : cases) {
        f.Para().startTime = c.start;
        f.Para().yMinTenths = -100;
        EXPECT_EQ(f.w->Reload(), c.result);
        const CurveParameters stored = StoredParameters(f.path);
        EXPECT_EQ(Cmp(stored.startTime, c.start), 0); // written although not shown
        EXPECT_EQ(stored.yMinTenths, -100);
        EXPECT_EQ(f.w->m_displayBuffer[0][10], before);
        EXPECT_EQ(f.w->m_pointsPerScreen, 601u);
    }
    // The last sample's own second is still a valid start.
    f.Para().startTime = Time(2007, 5, 10, 10, 59, 59);
    ASSERT_EQ(f.w->Reload(), TrendWindow::ReloadResult::Reloaded);
    EXPECT_EQ(f.Para().pointCount, 1);
    EXPECT_EQ(f.w->m_displayBuffer[0][0], FixtureValue(3599, 0));
}

TEST(Reload, NameTableIsAppendedOnceAndNeverOverwritesRows) {
    struct Case {
        bool table, flagOnly;
    } cases[] = {{true, false}, {false, false}, {false, true}};
    for (const auto& c : cases) {
        FixtureOptions s;
        s.nameTable = c.table;
        s.flagWithoutTable = c.flagOnly;
        Loaded f(s);
        const size_t rowsEnd = 660 + 300 * 16;
        SetChannelNameUtf8(f.w->m_channelTable, 1, "出口");
        ASSERT_EQ(f.w->Reload(), TrendWindow::ReloadResult::Reloaded);
        ASSERT_EQ(f.w->Reload(), TrendWindow::ReloadResult::Reloaded);
        const auto bytes = ReadFileBytes(f.path);
        ASSERT_EQ(bytes.size(), rowsEnd + 3025);
        // Every row is intact.
        for (int i = 0; i < 300; i += 7) {
            int16_t v;
            std::memcpy(&v, bytes.data() + 660 + i * 16 + 6, 2);
            EXPECT_EQ(v, FixtureValue(i, 3));
        }
        TrendWindow again;
        ASSERT_EQ(again.FirstLoad(f.path, MakeEmptyChannelNameTable()),
                  TrendWindow::LoadResult::Loaded);
        EXPECT_EQ(ChannelNameUtf8(again.m_channelTable, 1), "出口");
        EXPECT_EQ(again.m_curvePara.hasChannelNames, 1);
    }
}

TEST(Reload, AFileThatCannotBeReopenedIsLeftAlone) {
    Loaded f(Hour());
    std::filesystem::remove(f.path);
    f.Para().timeLength = 5;
    EXPECT_EQ(f.w->Reload(), TrendWindow::ReloadResult::CannotOpen);
    EXPECT_FALSE(std::filesystem::exists(f.path));
    EXPECT_EQ(f.w->m_pointsPerScreen, 601u);
}
