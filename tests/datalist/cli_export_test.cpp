// vantrel-cli export: the same job from the command line, with its exit
// status and reason.

#include "datalisttestutil.h"
#include "timearith.h"

using namespace dltest;

namespace {

using CliRun = testsupport::CommandRun;

CliRun Cli(const std::string& args) {
    return testsupport::RunCommand(std::string(VANTREL_CLI_PATH) + " " + args + " 2>&1");
}

} // namespace

TEST(CliExport, ExportsTheWholeFileByDefaultAndASpanWhenAsked) {
    TempDir dir;
    Recording r;
    r.rows = 30;
    r.channels = 2;
    WriteRecording(dir.File("a.tda"), r);
    CliRun all = Cli("export '" + dir.File("a.tda") + "' '" + dir.File("all.xls") + "'");
    ASSERT_EQ(all.status, 0) << all.output;
    EXPECT_NE(all.output.find("导出Excel成功！"), std::string::npos);
    Workbook w = ReadWorkbook(dir.File("all.xls"), dir);
    EXPECT_EQ(w.rows.size(), 31u);

    CliRun span =
        Cli("export '" + dir.File("a.tda") + "' '" + dir.File("span.xls") +
            "' --from '2007-5-10 8:30:20' --to '2007-5-10 8:30:40' --step 5 --fahrenheit");
    ASSERT_EQ(span.status, 0) << span.output;
    w = ReadWorkbook(dir.File("span.xls"), dir);
    ASSERT_EQ(w.rows.size(), 5u);
    EXPECT_EQ(w.rows[0][2], "通道1(F)");
    EXPECT_EQ(w.rows[1][1], "2007-5-10 8:30:20");
    EXPECT_EQ(w.rows[2][1], "2007-5-10 8:30:25");
    EXPECT_EQ(w.rows[1][2], " 41.0"); // raw 50 (5.0 ℃) at record 5
}

TEST(CliExport, FailuresExitNonZeroWithTheReason) {
    TempDir dir;
    Recording r;
    WriteRecording(dir.File("a.tda"), r);
    const std::string src = "'" + dir.File("a.tda") + "' ";
    struct Case {
        std::string args;
        int status;
        std::string reason;
    } cases[] = {
        {"export", 2, "usage"},
        {src + "'" + dir.File("o.xls") + "' --step 0", 2, "--step"},
        {src + "'" + dir.File("o.xls") + "' --from 2007-13-1", 2, "--from"},
        {"export '" + dir.File("none.tda") + "' '" + dir.File("o.xls") + "'", 1,
         "cannot read the recording"},
        {src + "'" + dir.File("o.xls") + "' --from '2007-5-10 9:00:00' --to '2007-5-10 8:00:00'", 1,
         "结束时间要大于开始时间！"},
        {src + "'" + dir.File("no/dir/o.xls") + "'", 1, "导出Excel失败"},
    };
    for (const Case& c : cases) {
        std::string args = c.args.rfind("export", 0) == 0 ? c.args : "export " + c.args;
        CliRun run = Cli(args);
        EXPECT_EQ(run.status, c.status) << args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << args << "\n" << run.output;
    }
}
