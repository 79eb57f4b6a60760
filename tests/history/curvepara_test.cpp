// The curve parameter dialog driven by modal scripts, and the colour swatch.

#include "curvepara.h"
#include "mycolorbutton.h"
#include "recordingdc.h"
#include "scriptedpromptservice.h"
#include "timearith.h"
#include "vantrel.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimeEdit>
#include <gtest/gtest.h>

#include <functional>

namespace {

class CurveParaTest : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_CurvePara = MakeFreshCurveParameters();
        theApp.m_CurvePara.startTime = SYSTEMTIME{2007, 5, 0, 10, 8, 30, 15, 0};
        theApp.m_ChannelNames = MakeEmptyChannelNameTable();
        theApp.m_nTempUnit = 0;
    }
    void TearDown() override { CDialog::SetModalScript(nullptr); }

    // Runs the dialog with script; returns DoModal's result.
    int Run(const std::function<void(CCurvePara&)>& script) {
        CDialog::SetModalScript([&](CDialog& d) { script(static_cast<CCurvePara&>(d)); });
        CCurvePara dlg;
        return dlg.DoModal();
    }

    CScriptedPromptService prompts;
};

void SetEdits(CCurvePara& d, const char* lo, const char* hi, const char* rows, const char* cols,
              const char* length) {
    d.SetDlgItemText(CCurvePara::IDC_Y_MIN, QString::fromUtf8(lo));
    d.SetDlgItemText(CCurvePara::IDC_Y_MAX, QString::fromUtf8(hi));
    d.SetDlgItemText(CCurvePara::IDC_GRID_ROWS, QString::fromUtf8(rows));
    d.SetDlgItemText(CCurvePara::IDC_GRID_COLUMNS, QString::fromUtf8(cols));
    d.SetDlgItemText(CCurvePara::IDC_TIME_LENGTH, QString::fromUtf8(length));
}

} // namespace

TEST_F(CurveParaTest, ShowsTheRecord) {
    theApp.m_CurvePara.yMinTenths = -205;
    Run([](CCurvePara& d) {
        EXPECT_EQ(d.GetDlgItemText(CCurvePara::IDC_Y_MIN), "-20");
        EXPECT_EQ(d.GetDlgItemText(CCurvePara::IDC_Y_MAX), "300");
        EXPECT_EQ(d.GetDlgItemText(CCurvePara::IDC_GRID_ROWS), "10");
        EXPECT_EQ(d.GetDlgItemText(CCurvePara::IDC_TIME_LENGTH), "10");
        EXPECT_EQ(d.Control<QDateEdit>(CCurvePara::IDC_START_DATE)->date(), QDate(2007, 5, 10));
        EXPECT_EQ(d.Control<QTimeEdit>(CCurvePara::IDC_START_TIME)->time(), QTime(8, 30, 15));
        EXPECT_TRUE(d.Control<QRadioButton>(CCurvePara::IDC_X_SHORT)->isChecked());
        EXPECT_TRUE(d.Control<QRadioButton>(CCurvePara::IDC_Y_VALUE)->isChecked());
        EXPECT_TRUE(d.Control<QRadioButton>(CCurvePara::IDC_MINUTES)->isChecked());
        EXPECT_EQ(d.Control<QLabel>(CCurvePara::IDC_ROW_LABEL7)->text(), "通道8:");
        EXPECT_TRUE(d.Control<QCheckBox>(CCurvePara::IDC_VISIBLE0 + 7)->isChecked());
        EXPECT_FALSE(d.Control<QLineEdit>(CCurvePara::IDC_NAME0)->isEnabled());
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
}

TEST_F(CurveParaTest, AcceptValidatesInOrderAndKeepsWhatItStored) {
    struct Case {
        const char *lo, *hi, *rows, *cols, *length;
        uint8_t unit;
        const char* message; // nullptr: accepted
        int32_t yMin, yMax;
    } cases[] = {
        {"100", "20", "10", "10", "10", 0, nullptr, 200, 1000},
        {"-20", "40", "10", "10", "10", 0, nullptr, -200, 400},
        {"20", "21", "1", "1", "1", 0, nullptr, 200, 210},
        {"50", "50", "10", "10", "10", 0, "Y轴范围最大值和最小值的差要大于1℃。", 0, 3000},
        {"50", "50", "10", "10", "10", 1, "Y轴范围最大值和最小值的差要大于1F。", 0, 3000},
        {"10", "90", "0", "10", "10", 0, "栅格行数要大于1。", 100, 900},
        {"10", "90", "5", "0", "10", 0, "栅格行数要大于1。", 100, 900},
        {"10", "90", "5", "5", "0", 0, "时间长度要大于1。", 100, 900},
        {"10", "90", "5", "5", "abc", 0, "时间长度要大于1。", 100, 900},
    };
    for (const auto& c : cases) {
        SetUp();
        theApp.m_nTempUnit = c.unit;
        CScriptedPromptService local;
        const int result = Run([&](CCurvePara& d) {
            SetEdits(d, c.lo, c.hi, c.rows, c.cols, c.length);
            d.Control<QDateEdit>(CCurvePara::IDC_START_DATE)->setDate(QDate(2008, 2, 29));
            d.Control<QTimeEdit>(CCurvePara::IDC_START_TIME)->setTime(QTime(23, 59, 58));
            d.PressButton(CCurvePara::IDC_ACCEPT);
            EXPECT_EQ(d.IsEnded(), c.message == nullptr) << c.lo << " " << c.rows;
            if (!d.IsEnded())
                d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
        });
        const CurveParameters& p = theApp.m_CurvePara;
        EXPECT_EQ(result, c.message ? IDCANCEL : IDOK);
        if (c.message)
            EXPECT_EQ(local.Messages(), QStringList{QString::fromUtf8(c.message)});
        else
            EXPECT_TRUE(local.Messages().isEmpty());
        EXPECT_EQ(p.yMinTenths, c.yMin) << c.lo;
        EXPECT_EQ(p.yMaxTenths, c.yMax) << c.hi;
        if (!c.message) {
            EXPECT_EQ(p.gridRows, atoi(c.rows));
            EXPECT_EQ(p.timeLength, atoi(c.length));
            EXPECT_EQ(CompareTime(p.startTime, SYSTEMTIME{2008, 2, 0, 29, 23, 59, 58, 0}), 0);
        }
    }
}

TEST_F(CurveParaTest, EnterAcceptsThroughTheValidation) {
    const int result = Run([](CCurvePara& d) {
        SetEdits(d, "5", "5", "10", "10", "10");
        d.OnOK();
        EXPECT_FALSE(d.IsEnded());
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(prompts.Messages().size(), 1);
}

TEST_F(CurveParaTest, TheScrollBarPagesTheChannelRows) {
    Run([](CCurvePara& d) {
        auto label = [&](int k) {
            return d
                .Control<QLabel>(k < 7 ? CCurvePara::IDC_ROW_LABEL0 + k
                                       : CCurvePara::IDC_ROW_LABEL7)
                ->text();
        };
        d.OnVScroll(CCurvePara::SB_THUMBPOSITION, 72);
        EXPECT_EQ(label(0), "通道73:");
        EXPECT_EQ(label(7), "通道80:");
        d.OnVScroll(CCurvePara::SB_PAGEDOWN);
        EXPECT_EQ(d.ScrollPosition(), 72);
        d.OnVScroll(CCurvePara::SB_LINEUP);
        EXPECT_EQ(d.ScrollPosition(), 71);
        EXPECT_EQ(label(0), "通道72:");
        EXPECT_EQ(label(7), "通道79:");
        d.OnVScroll(CCurvePara::SB_PAGEUP);
        EXPECT_EQ(d.ScrollPosition(), 63);
        d.OnVScroll(CCurvePara::SB_THUMBTRACK, -5);
        EXPECT_EQ(d.ScrollPosition(), 0);
        d.OnVScroll(CCurvePara::SB_LINEUP);
        EXPECT_EQ(d.ScrollPosition(), 0);
        d.OnVScroll(CCurvePara::SB_ENDSCROLL);
        EXPECT_EQ(label(0), "通道1:");
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
}

TEST_F(CurveParaTest, RowControlsActOnTheChannelUnderThem) {
    prompts.AnswerColor(RGB(1, 2, 3));
    prompts.CancelColor();
    Run([](CCurvePara& d) {
        d.OnVScroll(CCurvePara::SB_THUMBPOSITION, 10);
        d.Control<QCheckBox>(CCurvePara::IDC_VISIBLE0 + 3)->click(); // channel 14
        d.PressButton(CCurvePara::IDC_CHANNEL_COLOR0 + 2);           // channel 13
        d.PressButton(CCurvePara::IDC_CHANNEL_COLOR0 + 2);           // cancelled
        EXPECT_EQ(d.Control<CMyColorButton>(CCurvePara::IDC_CHANNEL_COLOR0 + 2)->m_color,
                  RGB(1, 2, 3));
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
    // Cancel keeps what the dialog changed on the way.
    EXPECT_EQ(theApp.m_CurvePara.visibleChannels[1], 1 << 5);
    EXPECT_TRUE(GetBit(theApp.m_CurvePara.visibleChannels, 13));
    EXPECT_EQ(theApp.m_CurvePara.channelColors[12], RGB(1, 2, 3));
    EXPECT_EQ(theApp.m_CurvePara.channelColors[11], kDefaultChannelColors[11 % 8]);

    // The third row (check box 1103) at position 10 is channel 13: bit 12.
    SetUp();
    Run([](CCurvePara& d) {
        d.OnVScroll(CCurvePara::SB_THUMBPOSITION, 10);
        d.Control<QCheckBox>(CCurvePara::IDC_VISIBLE0 + 2)->click();
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
    EXPECT_EQ(theApp.m_CurvePara.visibleChannels[1], 1 << 4); // channel 13, bit 12
}

TEST_F(CurveParaTest, BackgroundGridAndTextColours) {
    prompts.AnswerColor(RGB(10, 20, 30));
    prompts.AnswerColor(RGB(40, 50, 60));
    prompts.AnswerColor(RGB(70, 80, 90));
    Run([](CCurvePara& d) {
        d.PressButton(CCurvePara::IDC_BACKGROUND_COLOR);
        d.PressButton(CCurvePara::IDC_GRID_COLOR);
        d.PressButton(CCurvePara::IDC_TEXT_COLOR);
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
    EXPECT_EQ(theApp.m_CurvePara.backgroundColor, RGB(10, 20, 30));
    EXPECT_EQ(theApp.m_CurvePara.gridColor, RGB(40, 50, 60));
    EXPECT_EQ(theApp.m_CurvePara.textColor, RGB(70, 80, 90));
}

TEST_F(CurveParaTest, RadioButtonsTakeEffectAtOnce) {
    Run([](CCurvePara& d) {
        d.Control<QRadioButton>(CCurvePara::IDC_X_LONG)->click();
        d.Control<QRadioButton>(CCurvePara::IDC_Y_PERCENT)->click();
        d.Control<QRadioButton>(CCurvePara::IDC_SECONDS)->click();
        EXPECT_FALSE(d.Control<QRadioButton>(CCurvePara::IDC_X_SHORT)->isChecked());
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
    EXPECT_EQ(theApp.m_CurvePara.xAxisLongTime, 1);
    EXPECT_EQ(theApp.m_CurvePara.yAxisPercent, 1);
    EXPECT_EQ(theApp.m_CurvePara.timeLengthInSeconds, 1);
}

TEST_F(CurveParaTest, CustomNamesAreEnabledByTheirCheckBoxAndCutTo24Bytes) {
    Run([](CCurvePara& d) {
        auto* edit = d.Control<QLineEdit>(CCurvePara::IDC_NAME0 + 1);
        d.Control<QCheckBox>(CCurvePara::IDC_CUSTOM_NAMES)->click();
        EXPECT_TRUE(edit->isEnabled());
        d.OnVScroll(CCurvePara::SB_THUMBPOSITION, 4);
        edit->setFocus();
        edit->selectAll();
        edit->insert(QString::fromUtf8("一二三四五六七八九十一二三四五")); // 30 GBK bytes
        EXPECT_EQ(edit->text(), QString::fromUtf8("一二三四五六七八九十一二"));
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
    EXPECT_EQ(theApp.m_ChannelNames.customNamesEnabled, 1);
    EXPECT_EQ(ChannelNameGbk(theApp.m_ChannelNames, 5).size(), 24u);
    EXPECT_EQ(ChannelNameUtf8(theApp.m_ChannelNames, 5), "一二三四五六七八九十一二");
}

TEST_F(CurveParaTest, RestoreDefaultsLeavesTheOtherVisibilityBytes) {
    ClearBit(theApp.m_CurvePara.visibleChannels, 2);
    theApp.m_CurvePara.visibleChannels[2] = 0xFF; // channels 17-24
    ClearBit(theApp.m_CurvePara.visibleChannels, 19);
    theApp.m_CurvePara.gridRows = 3;
    theApp.m_CurvePara.timeLength = 77;
    Run([](CCurvePara& d) {
        d.PressButton(CCurvePara::IDC_RESTORE_DEFAULTS);
        EXPECT_EQ(d.GetDlgItemText(CCurvePara::IDC_GRID_ROWS), "10");
        EXPECT_EQ(d.GetDlgItemText(CCurvePara::IDC_TIME_LENGTH), "77");
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
    EXPECT_EQ(theApp.m_CurvePara.visibleChannels[0], 0xFF);
    EXPECT_FALSE(GetBit(theApp.m_CurvePara.visibleChannels, 19));
    EXPECT_TRUE(GetBit(theApp.m_CurvePara.visibleChannels, 18));
}

TEST(MyColorButton, SunkenSwatch) {
    RecordingDc dc;
    CMyColorButton::DrawSwatch(dc, DcRect{0, 0, 40, 20}, RGB(0, 0, 255));
    ASSERT_EQ(dc.Fills().size(), 1u);
    EXPECT_EQ(dc.Fills()[0].rect, (DcRect{4, 4, 36, 16}));
    EXPECT_EQ(dc.Fills()[0].color, RGB(0, 0, 255));
    const DcPen black{RGB(0, 0, 0), 1}, white{RGB(255, 255, 255), 1};
    ASSERT_EQ(dc.Lines().size(), 4u);
    EXPECT_EQ(dc.Lines()[0], (RecordingDc::Line{4, 4, 36, 4, black}));
    EXPECT_EQ(dc.Lines()[1], (RecordingDc::Line{4, 4, 4, 16, black}));
    EXPECT_EQ(dc.Lines()[2], (RecordingDc::Line{4, 16, 36, 16, white}));
    EXPECT_EQ(dc.Lines()[3], (RecordingDc::Line{36, 16, 36, 4, white}));
    EXPECT_EQ(dc.Pen(), (DcPen{0, 1}));

    CMyColorButton button;
    button.SetColor(RGB(9, 8, 7));
    EXPECT_EQ(button.m_color, RGB(9, 8, 7));
}
