// The acquisition run against the device simulator on a pseudo-terminal,
// the timer driven directly.

#include "acquisitionfixture.h"

#include "zorcomm.h"

#include <chrono>
#include <csignal>
#include <regex>
#include <sys/resource.h>
#include <thread>

using namespace acqtest;
using StartResult = CAcquisitionRun::StartResult;
using TickResult = CAcquisitionRun::TickResult;

namespace {

std::vector<int16_t> Row(CTdaFile& f, long long i) {
    int16_t row[kMaxChannels] = {};
    EXPECT_TRUE(f.ReadRow(i, row)) << "row " << i;
    return std::vector<int16_t>(row, row + f.ChannelCount());
}

std::vector<int16_t> Values(const sim::ServedRead& r) {
    return std::vector<int16_t>(r.values.begin(), r.values.end());
}

// The served reads of the readings (start 0), in order.
std::vector<sim::ServedRead> SampleReads(sim::DeviceSimulator& s) {
    std::vector<sim::ServedRead> out;
    for (auto& r : s.ServedReads())
        if (r.start == 0)
            out.push_back(r);
    return out;
}

} // namespace

TEST_F(AcquisitionTest, EndToEndRunSavesTheSimulatorsReadings) {
    sim::SimulatorOptions o;
    o.channels = 8;
    o.course = sim::Course::Counter;
    o.recordReads = true;
    auto& s = StartSimulator(o);

    ASSERT_EQ(StartRun(), StartResult::Started);
    EXPECT_EQ(m_portOpen, 1);
    const std::string temp = m_run.TempPath();
    EXPECT_TRUE(
        std::regex_match(fs::path(temp).filename().string(), std::regex("TRC[0-9A-F]{1,4}\\.tmp")));
    EXPECT_EQ(fs::path(temp).parent_path(), fs::path(m_folder.Path()));
    EXPECT_EQ(m_para.channelCount, 8);
    EXPECT_EQ(m_para.hasChannelNames, 1);

    EXPECT_EQ(Ticks(10), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
    // The header on disk always carries the rows written so far.
    EXPECT_EQ(ReadHeaderBytes(temp).sampleCount, 9);
    EXPECT_EQ(FileSize(temp), 660 + 9 * 16);

    ChannelNameTable names = MakeEmptyChannelNameTable();
    SetChannelNameUtf8(names, 0, "炉温");
    ASSERT_TRUE(m_run.Stop(names));
    EXPECT_EQ(m_portOpen, 0);
    const std::string saved = m_folder / "run.tda";
    ASSERT_TRUE(CopyRecordingAndDelete(temp, saved));
    EXPECT_FALSE(fs::exists(temp));

    CTdaFile f;
    ASSERT_EQ(f.Open(saved), TdaError::None);
    EXPECT_TRUE(f.ChecksumValid());
    EXPECT_TRUE(f.NameTablePresent());
    EXPECT_EQ(ChannelNameUtf8(f.NameTable(), 0), "炉温");
    EXPECT_EQ(f.Header().sampleInterval, 1);
    EXPECT_EQ(f.Header().valueScale, 1);
    EXPECT_EQ(std::string(f.Header().makerName), "Brenvoltek");
    EXPECT_EQ(f.Parameters().channelCount, 8);
    ASSERT_EQ(f.RowCount(), 9);
    auto reads = SampleReads(s);
    ASSERT_EQ(reads.size(), 9u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Row(f, i), Values(reads[size_t(i)])) << "row " << i;
    EXPECT_EQ(f.FileSize(), 660 + 9 * 16 + 3025);
}

TEST_F(AcquisitionTest, IdentityMustMatchExactly) {
    auto& s = StartSimulator();
    for (const char* identity : {"vqx7306a", "VQX7306A ", "VQX7306", "VQX7306AB"}) {
        SCOPED_TRACE(identity);
        s.SetIdentity(identity);
        EXPECT_EQ(StartRun(), StartResult::ConnectFailed);
        EXPECT_EQ(m_portOpen, 0);
        EXPECT_FALSE(m_run.IsActive());
    }
    // The port was closed again: the exact identity connects at once.
    s.SetIdentity("VQX7306A");
    EXPECT_EQ(StartRun(), StartResult::Started);
    m_run.Abandon();
    EXPECT_EQ(m_portOpen, 0);
}

TEST_F(AcquisitionTest, ALongIdentityReportCannotOverflow) {
    auto& s = StartSimulator();
    // A report far beyond the 20 bytes the run looks at.
    s.SetIdentity(std::string("VQX7306A") + std::string(1, '\0') + std::string(200, 'x'));
    EXPECT_EQ(StartRun(), StartResult::Started);
    m_run.Abandon();
    s.SetIdentity(std::string(240, 'V'));
    EXPECT_EQ(StartRun(), StartResult::ConnectFailed);
}

TEST_F(AcquisitionTest, StartFailures) {
    // No device behind the port name at all.
    EXPECT_EQ(StartRun(), StartResult::PortFailed);
    EXPECT_EQ(m_portOpen, 0);

    auto& s = StartSimulator();
    s.QueueFaults({sim::Fault::BadCrc});
    EXPECT_EQ(StartRun(), StartResult::ConnectFailed); // identity reply damaged
    EXPECT_EQ(m_portOpen, 0);

    // The temporary file cannot be made: the port is closed again.
    m_para = MakeFreshCurveParameters();
    EXPECT_EQ(m_run.Start(Line(), 1, m_para, m_folder / "no/such/folder", CurrentLocalTime()),
              StartResult::FileFailed);
    EXPECT_EQ(m_portOpen, 0);
    EXPECT_FALSE(m_run.IsActive());
}

TEST_F(AcquisitionTest, ChannelCountIsClampedTo80AndZeroGivesEmptyRows) {
    sim::SimulatorOptions o;
    o.channels = 120;
    auto& s = StartSimulator(o);
    ASSERT_EQ(StartRun(), StartResult::Started);
    EXPECT_EQ(m_run.Header().channelCount, 80);
    EXPECT_EQ(m_para.channelCount, 80);
    Ticks(3);
    EXPECT_EQ(FileSize(m_run.TempPath()), 660 + 2 * 160);
    m_run.Abandon();

    s.SetRegister(80, 0);
    ASSERT_EQ(StartRun(), StartResult::Started);
    EXPECT_EQ(m_run.Header().channelCount, 0);
    Ticks(4);
    EXPECT_EQ(m_run.Header().sampleCount, 3);
    EXPECT_EQ(FileSize(m_run.TempPath()), 660);
    EXPECT_EQ(ReadHeaderBytes(m_run.TempPath()).sampleCount, 3);
    m_run.Abandon();
}

TEST_F(AcquisitionTest, FiveSecondIntervalSamplesAtTicks6_11_16) {
    StartSimulator();
    ASSERT_EQ(StartRun(5), StartResult::Started);
    EXPECT_EQ(Ticks(18), (std::vector<int>{6, 11, 16}));
    EXPECT_EQ(m_run.Header().sampleCount, 3);
    EXPECT_TRUE(VerifyTdaHeader(ReadHeaderBytes(m_run.TempPath())));
    m_run.Abandon();
}

TEST_F(AcquisitionTest, IntervalBelowOneSecondIsRecordedAsOneSecond) {
    StartSimulator();
    for (int32_t interval : {0, -3}) {
        ASSERT_EQ(StartRun(interval), StartResult::Started);
        EXPECT_EQ(m_run.Header().sampleInterval, 1);
        EXPECT_EQ(Ticks(3), (std::vector<int>{2, 3}));
        m_run.Abandon();
    }
}

TEST_F(AcquisitionTest, HoldRuleRepeatsTwiceThenRecordsZeros) {
    sim::SimulatorOptions o;
    o.channels = 4;
    o.course = sim::Course::Counter;
    o.recordReads = true;
    auto& s = StartSimulator(o);
    ASSERT_EQ(StartRun(), StartResult::Started);
    Ticks(1);

    auto tick = [&] {
        EXPECT_EQ(m_run.Tick(CurrentLocalTime()), TickResult::Sampled);
        return std::vector<int16_t>(m_run.CurrentRow(), m_run.CurrentRow() + 4);
    };
    auto good = tick();
    EXPECT_EQ(m_run.ReadFailures(), 0);
    const std::vector<int16_t> zeros(4, 0);

    // Damaged replies fail at once, so the test does not wait for a budget.
    s.QueueFaults({sim::Fault::BadCrc, sim::Fault::BadCrc, sim::Fault::BadCrc});
    EXPECT_EQ(tick(), good);
    EXPECT_EQ(m_run.ReadFailures(), 1);
    EXPECT_EQ(tick(), good);
    EXPECT_EQ(m_run.ReadFailures(), 2);
    EXPECT_EQ(tick(), zeros);
    EXPECT_EQ(std::vector<int16_t>(m_run.LastGoodRow(), m_run.LastGoodRow() + 4), zeros);
    EXPECT_EQ(m_run.ReadFailures(), 3);

    auto fresh = tick();
    EXPECT_EQ(m_run.ReadFailures(), 0);
    EXPECT_NE(fresh, zeros);
    auto reads = SampleReads(s);
    EXPECT_EQ(fresh, Values(reads.back()));

    // One failure after a success repeats the new good row; the counter
    // stops at 10 however long the device stays away.
    s.QueueFaults(std::vector<sim::Fault>(12, sim::Fault::BadCrc));
    EXPECT_EQ(tick(), fresh);
    for (int i = 0; i < 11; ++i)
        tick();
    EXPECT_EQ(m_run.ReadFailures(), 10);
    auto recovered = tick();
    EXPECT_EQ(recovered, Values(SampleReads(s).back()));
    EXPECT_EQ(m_run.ReadFailures(), 0);

    ASSERT_TRUE(m_run.Stop(MakeEmptyChannelNameTable()));
    CTdaFile f;
    ASSERT_EQ(f.Open(m_run.TempPath()), TdaError::None);
    ASSERT_EQ(f.RowCount(), 18);
    EXPECT_EQ(Row(f, 0), good);
    EXPECT_EQ(Row(f, 1), good);
    EXPECT_EQ(Row(f, 2), good);
    EXPECT_EQ(Row(f, 3), zeros);
    EXPECT_EQ(Row(f, 4), fresh);
}

TEST_F(AcquisitionTest, ALateReplyIsNotTakenForTheNextPoll) {
    sim::SimulatorOptions o;
    o.channels = 4;
    o.course = sim::Course::Counter;
    o.recordReads = true;
    o.lateDelayMs = 600; // after the poll's budget of 480 ms
    auto& s = StartSimulator(o);
    ASSERT_EQ(StartRun(), StartResult::Started);
    Ticks(2);
    s.QueueFaults({sim::Fault::Late});
    Ticks(1);
    EXPECT_EQ(m_run.ReadFailures(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the late reply is in
    Ticks(1);
    EXPECT_EQ(m_run.ReadFailures(), 0);
    auto reads = SampleReads(s);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(std::vector<int16_t>(m_run.CurrentRow(), m_run.CurrentRow() + 4),
              Values(reads.back()));
    m_run.Abandon();
}

TEST_F(AcquisitionTest, StopRightAfterStartGivesHeaderParametersAndNames) {
    StartSimulator();
    ASSERT_EQ(StartRun(), StartResult::Started);
    const std::string temp = m_run.TempPath();
    ASSERT_TRUE(m_run.Stop(MakeEmptyChannelNameTable()));
    EXPECT_EQ(FileSize(temp), 172 + 488 + 3025);
    TdaHeader h = ReadHeaderBytes(temp);
    EXPECT_EQ(h.sampleCount, 0);
    EXPECT_TRUE(VerifyTdaHeader(h));
    EXPECT_EQ(m_portOpen, 0);
    // Stop does not delete: the finished run can still be saved.
    EXPECT_TRUE(fs::exists(temp));
}

// A full disk, made with a file size limit: the failed sample is not counted,
// no partial row stays behind, and the run can still be stopped.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit l = m_old;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { Lift(); }
    void Lift() {
        if (m_lifted)
            return;
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
        m_lifted = true;
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_lifted = false;
};

TEST_F(AcquisitionTest, FailedWriteIsNotCountedAndStopsCleanly) {
    for (bool diskStaysFull : {true, false}) {
        SCOPED_TRACE(diskStaysFull ? "disk stays full" : "disk freed before the stop");
        StartSimulator();
        ASSERT_EQ(StartRun(), StartResult::Started);
        const std::string temp = m_run.TempPath();
        Ticks(4); // three rows of 16 bytes
        const long long before = FileSize(temp);
        ASSERT_EQ(before, 660 + 3 * 16);
        {
            FileSizeLimit full(rlim_t(before + 7)); // half a row fits
            EXPECT_EQ(m_run.Tick(CurrentLocalTime()), TickResult::WriteFailed);
            EXPECT_EQ(m_run.Header().sampleCount, 3);
            EXPECT_EQ(ReadHeaderBytes(temp).sampleCount, 3);
            EXPECT_TRUE(VerifyTdaHeader(ReadHeaderBytes(temp)));
            EXPECT_EQ(FileSize(temp), before);
            if (!diskStaysFull)
                full.Lift();
            EXPECT_EQ(m_run.Stop(MakeEmptyChannelNameTable()), !diskStaysFull);
        }
        EXPECT_EQ(m_portOpen, 0);
        CTdaFile f;
        ASSERT_EQ(f.Open(temp), TdaError::None);
        EXPECT_TRUE(f.ChecksumValid());
        EXPECT_EQ(f.RowCount(), 3);
        EXPECT_EQ(f.NameTablePresent(), !diskStaysFull);
        EXPECT_EQ(FileSize(temp), before + (diskStaysFull ? 0 : 3025));
        m_sim->Stop();
    }
}

TEST(RunTempFile, UniqueExclusiveNamesInTheFolder) {
    TempFolder folder;
    std::string a = CreateRunTempFile(folder.Path());
    std::string b = CreateRunTempFile(folder.Path());
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(FileSize(a), 0);
    EXPECT_TRUE(CreateRunTempFile(folder / "missing").empty());
}

TEST(RunTempFile, FailedCopyKeepsTheSource) {
    TempFolder folder;
    const std::string src = folder / "TRC1.tmp";
    {
        FILE* f = std::fopen(src.c_str(), "wb");
        std::fputs("recorded", f);
        std::fclose(f);
    }
    EXPECT_FALSE(CopyRecordingAndDelete(src, folder / "no/dir/out.tda"));
    EXPECT_TRUE(fs::exists(src));
    EXPECT_TRUE(CopyRecordingAndDelete(src, folder / "out.tda"));
    EXPECT_FALSE(fs::exists(src));
    EXPECT_EQ(FileSize(folder / "out.tda"), 8);
}
