// The data list's paging, selection and save rule on real recordings.

#include "datalisttestutil.h"
#include "sheetpage.h"

using namespace dltest;

namespace {

ChannelNameTable NoNames() {
    return ChannelNameTable{};
}

std::array<std::string, 8> Texts(const SheetEditRow& e) {
    return e.texts;
}

} // namespace

TEST(SheetPage, PagesA250RowFileByHundredAndScrollsAsTheBarsSay) {
    TempDir dir;
    Recording r;
    r.rows = 250;
    r.channels = 2;
    WriteRecording(dir.File("a.tda"), r);
    CSheetPage page;
    ASSERT_TRUE(page.Load(dir.File("a.tda"), NoNames(), false));
    EXPECT_EQ(page.PageRowCount(), 100);
    EXPECT_EQ(page.CellText(0, 0), "1");
    EXPECT_EQ(page.CellText(99, 0), "100");
    EXPECT_EQ(page.CellText(0, 1), "2007-5-10 8:30:15");
    EXPECT_EQ(page.CellText(1, 1), "2007-5-10 8:30:16");
    EXPECT_EQ(page.CellText(0, 3), "  0.1"); // "%5.1f" of raw 1

    ASSERT_TRUE(page.ScrollRows(SheetScroll::PageDown, 0, false));
    EXPECT_EQ(page.FirstRow(), 20);
    EXPECT_EQ(page.CellText(0, 0), "21");
    EXPECT_EQ(page.CellText(99, 0), "120");
    EXPECT_EQ(page.CellText(0, 2), " 20.0"); // raw 200

    ASSERT_TRUE(page.ScrollRows(SheetScroll::ThumbTrack, 249, false));
    EXPECT_EQ(page.FirstRow(), 249);
    EXPECT_EQ(page.PageRowCount(), 1);
    EXPECT_EQ(page.CellText(0, 0), "250");

    // Clamped at both ends; other actions leave the position.
    page.ScrollRows(SheetScroll::LineDown, 0, false);
    EXPECT_EQ(page.FirstRow(), 249);
    page.ScrollRows(SheetScroll::Other, 0, false);
    EXPECT_EQ(page.FirstRow(), 249);
    page.ScrollRows(SheetScroll::ThumbPosition, 3, false);
    page.ScrollRows(SheetScroll::PageUp, 0, false);
    EXPECT_EQ(page.FirstRow(), 0);
    page.ScrollRows(SheetScroll::LineDown, 0, false);
    EXPECT_EQ(page.FirstRow(), 1);
}

TEST(SheetPage, EightChannelsPagedRightShowTheLastFourAndDisableTheRestOfTheEdits) {
    TempDir dir;
    Recording r;
    r.channels = 8;
    r.customNames = true;
    r.names = {{5, "Oven"}};
    WriteRecording(dir.File("a.tda"), r);
    CSheetPage page;
    ASSERT_TRUE(page.Load(dir.File("a.tda"), NoNames(), false));
    EXPECT_EQ(page.ColumnTitles().size(), 10u);
    SheetEditRow e = page.SelectedRow(); // the first row counts as selected
    ASSERT_TRUE(e.valid);
    EXPECT_EQ(e.rowText, "1");
    EXPECT_EQ(e.captions[0], "通道1:"); // names enabled, name empty
    EXPECT_EQ(e.captions[5], "Oven");

    ASSERT_TRUE(page.ScrollChannels(SheetScroll::PageDown, 0, false));
    EXPECT_EQ(page.FirstChannel(), 4);
    EXPECT_EQ(page.ColumnTitles(),
              (std::vector<std::string>{"序号", "时间", "通道5:", "Oven", "通道7:", "通道8:"}));
    e = page.SelectedRow();
    EXPECT_EQ(e.firstChannel, 4);
    EXPECT_EQ(e.texts[0], "  0.4");
    for (int b = 4; b < 8; ++b) {
        EXPECT_FALSE(e.enabled[b]) << b;
        EXPECT_EQ(e.texts[b], "") << b;
        EXPECT_EQ(e.captions[b], "") << b;
    }
    // Without custom names the captions carry no colon; the file's names are
    // used only when the file has them.
    Recording plain;
    plain.withNames = false;
    WriteRecording(dir.File("b.tda"), plain);
    ChannelNameTable app{};
    std::snprintf(app.channelNames[0], kChannelNameBytes, "AppName");
    ASSERT_TRUE(page.Load(dir.File("b.tda"), app, false));
    EXPECT_EQ(page.SelectedRow().captions[0], "通道1");
    app.customNamesEnabled = 1;
    ASSERT_TRUE(page.Load(dir.File("b.tda"), app, false));
    EXPECT_EQ(page.SelectedRow().captions[0], "AppName");
    EXPECT_EQ(page.ColumnTitles()[2], "AppName");
}

TEST(SheetPage, SavingEditedTextsWritesTenthsAtTheRowAndChannelOffsets) {
    TempDir dir;
    Recording r;
    r.channels = 8;
    const std::string path = dir.File("a.tda");
    WriteRecording(path, r);
    CSheetPage page;
    ASSERT_TRUE(page.Load(path, NoNames(), false));
    page.ScrollChannels(SheetScroll::LineDown, 0, false); // first channel 1
    page.SelectItem(4);                                   // row 5
    const long long rowStart = 660 + 4 * 8 * 2;

    struct Case {
        const char* text;
        int16_t raw;
    } cases[] = {{"25.1", 251}, {"-0.3", -3}, {"25.16", 251}, {" 7 ", 70}, {"-.5", -5}};
    for (const Case& c : cases) {
        SheetEditRow shown = page.SelectedRow();
        ASSERT_TRUE(shown.valid);
        auto edited = Texts(shown);
        edited[0] = c.text;
        SheetSaveResult res = page.SaveRow(shown, edited);
        ASSERT_EQ(res.status, SheetSaveStatus::Saved) << c.text << res.message;
        EXPECT_EQ(res.valuesWritten, 1);
        EXPECT_EQ(RawAt(path, rowStart + 1 * 2), c.raw) << c.text;
        // Neighbours untouched.
        EXPECT_EQ(RawAt(path, rowStart), 40);
        EXPECT_EQ(RawAt(path, rowStart + 2 * 2), 42);
    }
    // The page is read again after a save.
    EXPECT_EQ(page.CellText(4, 2), " -0.5");
}

TEST(SheetPage, AnUnchangedRowStaysByteForByteInEveryUnitAndScale) {
    struct Case {
        uint8_t scale;
        bool fahrenheit;
    } cases[] = {{1, false}, {1, true}, {2, false}, {2, true}};
    for (const Case& c : cases) {
        TempDir dir;
        Recording r;
        r.valueScale = c.scale;
        r.value = [](int row, int ch) {
            static const int16_t v[] = {2517, -333, 19999, 1, -32768, 32767, 1234, 5};
            return int16_t(v[(row + ch) % 8]);
        };
        const std::string path = dir.File("a.tda");
        WriteRecording(path, r);
        const std::string before = ReadFileBytes(path);
        CSheetPage page;
        ASSERT_TRUE(page.Load(path, NoNames(), c.fahrenheit));
        for (int item = 0; item < 3; ++item) {
            page.SelectItem(item);
            SheetEditRow shown = page.SelectedRow();
            EXPECT_EQ(page.SaveRow(shown, Texts(shown)).status, SheetSaveStatus::NothingChanged);
        }
        EXPECT_EQ(ReadFileBytes(path), before) << int(c.scale) << c.fahrenheit;

        // One edited value changes exactly that value.
        page.SelectItem(0);
        SheetEditRow shown = page.SelectedRow();
        auto edited = Texts(shown);
        edited[3] = c.fahrenheit ? "77.0" : "25.0";
        ASSERT_EQ(page.SaveRow(shown, edited).status, SheetSaveStatus::Saved);
        std::string after = ReadFileBytes(path);
        const int16_t expect = c.scale == 2 ? 2500 : 250;
        EXPECT_EQ(RawAt(path, 660 + 3 * 2), expect);
        after[660 + 6] = before[660 + 6];
        after[660 + 7] = before[660 + 7];
        EXPECT_EQ(after, before);
    }
}

TEST(SheetPage, TheValue19999ShowsAs1999Point9AndIsKept) {
    TempDir dir;
    Recording r;
    r.value = [](int, int) { return int16_t(19999); };
    const std::string path = dir.File("a.tda");
    WriteRecording(path, r);
    CSheetPage page;
    ASSERT_TRUE(page.Load(path, NoNames(), false));
    SheetEditRow shown = page.SelectedRow();
    EXPECT_EQ(shown.texts[0], "1999.9");
    auto edited = Texts(shown);
    edited[1] = "1999.90"; // typed again: the same raw value
    ASSERT_EQ(page.SaveRow(shown, edited).status, SheetSaveStatus::Saved);
    EXPECT_EQ(RawAt(path, 660), 19999);
    EXPECT_EQ(RawAt(path, 662), 19999);
}

TEST(SheetPage, TextsThatAreNoNumberOrCannotBeStoredRefuseTheWholeRow) {
    TempDir dir;
    Recording r;
    const std::string path = dir.File("a.tda");
    WriteRecording(path, r);
    const std::string before = ReadFileBytes(path);
    CSheetPage page;
    struct Case {
        const char* text;
        bool fahrenheit;
        SheetSaveStatus status;
    } cases[] = {
        {"abc", false, SheetSaveStatus::NotANumber},
        {"", false, SheetSaveStatus::NotANumber},
        {"12,5", false, SheetSaveStatus::NotANumber},
        {"1e3", false, SheetSaveStatus::NotANumber},
        {"-", false, SheetSaveStatus::NotANumber},
        {"3276.8", false, SheetSaveStatus::OutOfRange},
        {"-3276.9", false, SheetSaveStatus::OutOfRange},
        {"99999999999999999999", false, SheetSaveStatus::OutOfRange},
        {"6000", true, SheetSaveStatus::OutOfRange},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(page.Load(path, NoNames(), c.fahrenheit));
        SheetEditRow shown = page.SelectedRow();
        auto edited = Texts(shown);
        edited[0] = "12.3"; // a valid edit before the bad one is not written either
        edited[2] = c.text;
        SheetSaveResult res = page.SaveRow(shown, edited);
        EXPECT_EQ(res.status, c.status) << c.text;
        EXPECT_NE(res.message.find("通道3"), std::string::npos) << res.message;
        EXPECT_EQ(ReadFileBytes(path), before) << c.text;
    }
}

TEST(SheetPage, EditTextToRawConvertsFromTheShownUnitToTheFilesCount) {
    struct Case {
        const char* text;
        uint8_t scale;
        bool fahrenheit;
        int16_t raw;
    } cases[] = {
        {"77.0", 1, true, 250},        {"-40.0", 1, true, -400},  {"32", 1, true, 0},
        {"212.0", 1, true, 1000},      {"25.16", 2, false, 2516}, {"25.169", 2, false, 2516},
        {"77.0", 2, true, 2500},       {"-0.01", 2, false, -1},   {"3276.7", 1, false, 32767},
        {"-3276.8", 1, false, -32768},
    };
    for (const Case& c : cases) {
        int16_t raw = 0;
        bool nan = true;
        EXPECT_TRUE(CSheetPage::EditTextToRaw(c.text, c.scale, c.fahrenheit, raw, nan)) << c.text;
        EXPECT_FALSE(nan);
        EXPECT_EQ(raw, c.raw) << c.text;
    }
    // 199.99 in a two-decimal file would read back as 1999.9.
    int16_t raw = 0;
    bool nan = false;
    EXPECT_FALSE(CSheetPage::EditTextToRaw("199.99", 2, false, raw, nan));
    EXPECT_FALSE(nan);
}

TEST(SheetPage, AFileWithoutRowsHasNothingToSaveAndUnreadableFilesStayEmpty) {
    TempDir dir;
    Recording r;
    r.rows = 0;
    const std::string path = dir.File("a.tda");
    WriteRecording(path, r);
    const std::string before = ReadFileBytes(path);
    CSheetPage page;
    ASSERT_TRUE(page.Load(path, NoNames(), false));
    EXPECT_EQ(page.PageRowCount(), 0);
    SheetEditRow shown = page.SelectedRow();
    EXPECT_FALSE(shown.valid);
    std::array<std::string, 8> edited;
    edited.fill("1.0");
    EXPECT_EQ(page.SaveRow(shown, edited).status, SheetSaveStatus::NoRow);
    EXPECT_EQ(ReadFileBytes(path), before);

    EXPECT_FALSE(page.Load(dir.File("missing.tda"), NoNames(), false));
    std::ofstream(dir.File("short.tda")) << "not a recording";
    EXPECT_FALSE(page.Load(dir.File("short.tda"), NoNames(), false));
    EXPECT_FALSE(page.IsLoaded());
}

TEST(SheetPage, AHeaderCountingMoreRowsThanTheFileHoldsPagesOnlyTheRowsThere) {
    TempDir dir;
    Recording r;
    r.rows = 30;
    r.withNames = false;
    const std::string path = dir.File("a.tda");
    WriteRecording(path, r);
    // Claim 1000 rows.
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        int32_t n = 1000;
        f.seekp(104);
        f.write(reinterpret_cast<char*>(&n), 4);
    }
    CSheetPage page;
    ASSERT_TRUE(page.Load(path, NoNames(), false));
    EXPECT_EQ(page.RowCount(), 30);
    page.ScrollRows(SheetScroll::ThumbTrack, 999, false);
    EXPECT_EQ(page.FirstRow(), 29);
    EXPECT_EQ(page.PageRowCount(), 1);
}
