// The Excel export job: spans, steps, titles, caps, refusals and cancel, with
// the workbooks read back by python3-xlrd.

#include "datalisttestutil.h"
#include "exportjob.h"
#include "timearith.h"

#include <atomic>

using namespace dltest;

namespace {

ExportResult Export(const std::string& src, const std::string& dst, SYSTEMTIME from, SYSTEMTIME to,
                    int step = 1, bool fahrenheit = false, IWorksheetProgress* progress = nullptr) {
    ExportRequest q;
    q.sourcePath = src;
    q.targetPath = dst;
    q.start = from;
    q.end = to;
    q.step = step;
    q.fahrenheit = fahrenheit;
    CExportCancelEvent cancel;
    return CExportJob(q, progress, cancel).Run();
}

// Sets the cancel event once the progress reaches a position.
class CancellingProgress : public IWorksheetProgress {
public:
    CancellingProgress(CExportCancelEvent& e, int at) : m_event(e), m_at(at) {}
    void SetRange(int, int) override {}
    void SetPos(int pos) override {
        if (pos >= m_at)
            m_event.Set();
    }
    void SetStep(int) override {}
    void StepIt() override {}

private:
    CExportCancelEvent& m_event;
    int m_at;
};

} // namespace

TEST(ExportJob, StartAndEndAtTheRunStartExportOnlyTheHeader) {
    TempDir dir;
    Recording r;
    WriteRecording(dir.File("a.tda"), r);
    ExportResult res = Export(dir.File("a.tda"), dir.File("out.xls"), r.start, r.start);
    ASSERT_EQ(res.status, ExportStatus::Succeeded) << res.message;
    EXPECT_EQ(res.message, "导出Excel成功！");
    EXPECT_EQ(res.rows, 0);
    Workbook w = ReadWorkbook(dir.File("out.xls"), dir);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.sheetName, "Sheet1");
    ASSERT_EQ(w.rows.size(), 1u);
    EXPECT_EQ(w.rows[0].size(), 10u);
    EXPECT_EQ(w.rows[0][0], "序号");
    EXPECT_EQ(w.rows[0][1], "时间");
    EXPECT_EQ(w.rows[0][2], "通道1(℃)");
}

TEST(ExportJob, Step10Over100SecondsTakesEveryTenthRecord) {
    TempDir dir;
    Recording r;
    r.rows = 200;
    r.channels = 2;
    WriteRecording(dir.File("a.tda"), r);
    ExportResult res =
        Export(dir.File("a.tda"), dir.File("out.xls"), r.start, AddSeconds(r.start, 100), 10);
    ASSERT_EQ(res.status, ExportStatus::Succeeded) << res.message;
    Workbook w = ReadWorkbook(dir.File("out.xls"), dir);
    ASSERT_EQ(w.rows.size(), 11u);
    for (int i = 0; i < 10; ++i) {
        const auto& row = w.rows[size_t(i) + 1];
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(row[0], std::to_string(i + 1));
        SYSTEMTIME t = AddSeconds(r.start, i * 10);
        char when[64];
        std::snprintf(when, sizeof when, "%d-%d-%d %d:%d:%d", t.wYear, t.wMonth, t.wDay, t.wHour,
                      t.wMinute, t.wSecond);
        EXPECT_EQ(row[1], when);
        char v[16];
        std::snprintf(v, sizeof v, "%5.1f", (i * 10 * 10 + 1) / 10.0); // record 10i, channel 2
        EXPECT_EQ(row[3], v);
    }
}

TEST(ExportJob, AStartBetweenRecordsBeginsAtTheTruncatedRecordLabelledWithTheStart) {
    TempDir dir;
    Recording r;
    r.rows = 20;
    r.channels = 1;
    r.interval = 10;
    WriteRecording(dir.File("a.tda"), r);
    SYSTEMTIME from = AddSeconds(r.start, 5);
    ExportResult res =
        Export(dir.File("a.tda"), dir.File("out.xls"), from, AddSeconds(r.start, 35));
    ASSERT_EQ(res.status, ExportStatus::Succeeded) << res.message;
    Workbook w = ReadWorkbook(dir.File("out.xls"), dir);
    ASSERT_EQ(w.rows.size(), 4u); // 30 s / 10 s
    EXPECT_EQ(w.rows[1][1], "2007-5-10 8:30:20");
    EXPECT_EQ(w.rows[1][2], "  0.0"); // record 0
    EXPECT_EQ(w.rows[2][1], "2007-5-10 8:30:30");
    EXPECT_EQ(w.rows[2][2], "  1.0"); // record 1
}

TEST(ExportJob, ColumnTitlesFollowTheUnitAndTheCustomNames) {
    TempDir dir;
    Recording r;
    r.channels = 3;
    r.customNames = true;
    r.names = {{0, "Oven"}, {1, "\xc2\xaf\xd7\xd3"}}; // GBK bytes of two characters
    r.value = [](int, int) { return int16_t(250); };
    WriteRecording(dir.File("a.tda"), r);
    SYSTEMTIME to = AddSeconds(r.start, 1);
    ASSERT_EQ(Export(dir.File("a.tda"), dir.File("c.xls"), r.start, to).status,
              ExportStatus::Succeeded);
    Workbook c = ReadWorkbook(dir.File("c.xls"), dir);
    ASSERT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(c.rows[0][2], "Oven(℃)");
    EXPECT_EQ(c.rows[0][3], "炉子(℃)");
    EXPECT_EQ(c.rows[0][4], "通道3(℃)");
    EXPECT_EQ(c.rows[1][2], " 25.0");

    Recording plain = r;
    plain.customNames = false;
    WriteRecording(dir.File("b.tda"), plain);
    ASSERT_EQ(Export(dir.File("b.tda"), dir.File("f.xls"), r.start, to, 1, true).status,
              ExportStatus::Succeeded);
    Workbook f = ReadWorkbook(dir.File("f.xls"), dir);
    ASSERT_EQ(f.rows.size(), 2u);
    EXPECT_EQ(f.rows[0][2], "通道1(F)");
    EXPECT_EQ(f.rows[0][4], "通道3(F)");
    EXPECT_EQ(f.rows[1][2], " 77.0");
}

TEST(ExportJob, ALongSpanStopsAfter65535Rows) {
    TempDir dir;
    Recording r;
    r.rows = 70000;
    r.channels = 1;
    r.withNames = false;
    r.value = [](int row, int) { return int16_t(row % 1000); };
    WriteRecording(dir.File("a.tda"), r);
    TdaHeader h{};
    ASSERT_TRUE(CExportJob::ReadSourceHeader(dir.File("a.tda"), h));
    ExportResult res =
        Export(dir.File("a.tda"), dir.File("out.xls"), r.start, CExportJob::FileEndTime(h));
    ASSERT_EQ(res.status, ExportStatus::Succeeded) << res.message;
    EXPECT_EQ(res.rows, 65535);
    Workbook w = ReadWorkbook(dir.File("out.xls"), dir);
    ASSERT_EQ(w.rows.size(), 65536u);
    EXPECT_EQ(w.rows.back()[0], "65535");
}

TEST(ExportJob, ACancelStopsWithoutWritingAndIsConsumed) {
    TempDir dir;
    Recording r;
    r.rows = 5000;
    WriteRecording(dir.File("a.tda"), r);
    ExportRequest q;
    q.sourcePath = dir.File("a.tda");
    q.targetPath = dir.File("out.xls");
    q.start = r.start;
    q.end = AddSeconds(r.start, 5000);
    CExportCancelEvent cancel;
    CancellingProgress progress(cancel, 1000);
    ExportResult res = CExportJob(q, &progress, cancel).Run();
    EXPECT_EQ(res.status, ExportStatus::Cancelled);
    EXPECT_TRUE(res.message.empty());
    EXPECT_FALSE(std::filesystem::exists(q.targetPath));
    EXPECT_FALSE(cancel.IsSet()); // auto-reset: the worker's test consumed it

    // A pending request from before the export still cancels it; the dialog
    // and the cli clear it when they start one.
    cancel.Set();
    EXPECT_EQ(CExportJob(q, nullptr, cancel).Run().status, ExportStatus::Cancelled);
    EXPECT_EQ(CExportJob(q, nullptr, cancel).Run().status, ExportStatus::Succeeded);
}

TEST(ExportJob, RequestsThatCannotBeExportedAreRefusedWithAReason) {
    TempDir dir;
    Recording r;
    WriteRecording(dir.File("a.tda"), r);
    Recording noInterval = r;
    noInterval.interval = 0;
    WriteRecording(dir.File("zero.tda"), noInterval);
    const SYSTEMTIME later = AddSeconds(r.start, 5);
    struct Case {
        std::string src, dst;
        SYSTEMTIME from, to;
        int step;
        ExportStatus status;
        std::string message;
    } cases[] = {
        {dir.File("a.tda"), dir.File("o1.xls"), later, r.start, 1, ExportStatus::Refused,
         "结束时间要大于开始时间！"},
        {dir.File("a.tda"), dir.File("o2.xls"), r.start, later, 0, ExportStatus::Refused,
         "记录间隔"},
        {dir.File("a.tda"), dir.File("o3.xls"), r.start, later, -3, ExportStatus::Refused,
         "记录间隔"},
        {dir.File("zero.tda"), dir.File("o4.xls"), r.start, later, 1, ExportStatus::Refused,
         "采样间隔"},
        {dir.File("missing.tda"), dir.File("o5.xls"), r.start, later, 1,
         ExportStatus::SourceUnreadable, "无法打开数据文件"},
        {dir.File("a.tda"), dir.File("no/such/dir/o6.xls"), r.start, later, 1,
         ExportStatus::WriteFailed, "导出Excel失败"},
    };
    const std::string recording = ReadFileBytes(dir.File("a.tda"));
    for (const Case& c : cases) {
        ExportResult res = Export(c.src, c.dst, c.from, c.to, c.step);
        EXPECT_EQ(res.status, c.status) << c.dst;
        EXPECT_NE(res.message.find(c.message), std::string::npos) << res.message;
        EXPECT_NE(res.message, "导出Excel成功！");
        EXPECT_FALSE(std::filesystem::exists(c.dst)) << c.dst;
    }
    // The recording itself as the target is refused and stays as it was.
    ExportResult self = Export(dir.File("a.tda"), dir.File("a.tda"), r.start, later);
    EXPECT_EQ(self.status, ExportStatus::Refused);
    EXPECT_NE(self.message.find("数据文件本身"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir.File("a.tda")), recording);
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.tda.bak")));
}

TEST(ExportJob, OtherTargetsBecomeCommaSeparatedTextAndCutShortFilesEndAtTheirLastRow) {
    TempDir dir;
    Recording r;
    r.rows = 3;
    r.channels = 2;
    r.withNames = false;
    WriteRecording(dir.File("a.tda"), r);
    // Claim 50 rows: only the 3 present are exported.
    {
        std::fstream f(dir.File("a.tda"), std::ios::in | std::ios::out | std::ios::binary);
        int32_t n = 50;
        f.seekp(104);
        f.write(reinterpret_cast<char*>(&n), 4);
    }
    ExportResult res =
        Export(dir.File("a.tda"), dir.File("out.csv"), r.start, AddSeconds(r.start, 50));
    ASSERT_EQ(res.status, ExportStatus::Succeeded) << res.message;
    EXPECT_EQ(res.rows, 3);
    std::string text = ReadFileBytes(dir.File("out.csv"));
    EXPECT_EQ(text.find("Sheet1"), std::string::npos);
    EXPECT_EQ(text.substr(0, text.find('\r')), "\"序号\",\"时间\",\"通道1(℃)\",\"通道2(℃)\"");
    EXPECT_NE(text.find("\"3\",\"2007-5-10 8:30:17\",\"  2.0\",\"  2.1\""), std::string::npos);
    // Exported again to the same file: one header, the same rows.
    ASSERT_EQ(
        Export(dir.File("a.tda"), dir.File("out.csv"), r.start, AddSeconds(r.start, 50)).status,
        ExportStatus::Succeeded);
    EXPECT_EQ(ReadFileBytes(dir.File("out.csv")), text);
}
