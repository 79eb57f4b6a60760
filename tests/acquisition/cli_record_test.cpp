// vantrel-cli record against the simulator: a timed run and a run ended by
// a signal both leave a complete, valid recording.

#include "acquisitionfixture.h"

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>

using namespace acqtest;

namespace {

pid_t SpawnRecord(const std::vector<std::string>& args) {
    pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(VANTREL_CLI_PATH));
        argv.push_back(const_cast<char*>("record"));
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(VANTREL_CLI_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

int WaitExit(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string FindTempRun(const std::string& folder) {
    for (auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".tmp" && e.path().filename().string().rfind("TRC", 0) == 0)
            return e.path().string();
    return {};
}

void ExpectCompleteRecording(const std::string& path, int minRows) {
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    EXPECT_TRUE(f.ChecksumValid());
    EXPECT_TRUE(f.NameTablePresent());
    EXPECT_GE(f.RowCount(), minRows);
    EXPECT_EQ(f.RowCount(), f.Header().sampleCount);
    EXPECT_EQ(f.FileSize(), 660 + f.RowCount() * f.RowBytes() + 3025);
}

} // namespace

TEST_F(AcquisitionTest, CliRecordsForTheGivenSeconds) {
    StartSimulator();
    const std::string out = m_folder / "logger.tda";
    pid_t pid = SpawnRecord(
        {"--port", std::to_string(kTestPort), "--seconds", "3", "--out", out, "--baud", "115200"});
    ASSERT_EQ(WaitExit(pid), 0);
    ExpectCompleteRecording(out, 2);
    EXPECT_EQ(FindTempRun(m_folder.Path()), ""); // the temporary file is gone
}

TEST_F(AcquisitionTest, CliStopsCleanlyOnSigintAndSigterm) {
    StartSimulator();
    for (int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        const std::string out = m_folder / ("signal" + std::to_string(sig) + ".tda");
        pid_t pid = SpawnRecord({"--port", std::to_string(kTestPort), "--seconds", "3600", "--out",
                                 out, "--baud", "115200"});
        // Wait until two samples are on the disk, then ask it to stop.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::string temp;
        while (std::chrono::steady_clock::now() < deadline) {
            if (temp.empty())
                temp = FindTempRun(m_folder.Path());
            if (!temp.empty() && ReadHeaderBytes(temp).sampleCount >= 2)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_FALSE(temp.empty());
        ::kill(pid, sig);
        ASSERT_EQ(WaitExit(pid), 0);
        ExpectCompleteRecording(out, 2);
        EXPECT_FALSE(fs::exists(temp));
    }
}

TEST_F(AcquisitionTest, CliRefusesBadArguments) {
    EXPECT_EQ(WaitExit(SpawnRecord({"--port", "5"})), 2);
    EXPECT_EQ(WaitExit(SpawnRecord({"--port", "x", "--seconds", "1", "--out", "a.tda"})), 2);
    // No device: a clear failure, no file.
    const std::string out = m_folder / "none.tda";
    EXPECT_EQ(WaitExit(SpawnRecord({"--port", "7", "--seconds", "1", "--out", out})), 1);
    EXPECT_FALSE(fs::exists(out));
}
