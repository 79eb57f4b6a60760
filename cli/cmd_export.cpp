// vantrel-cli export FILE OUT.xls [--from "Y-M-D h:m:s"] [--to "Y-M-D h:m:s"]
//                                [--step N] [--fahrenheit]
// Exports a span of a recording into a workbook (".xls") or, for any other
// extension, a comma-separated text file, with the export dialog's job. The
// span defaults to the whole file, the step to every record. Progress goes to
// the terminal; Ctrl+C cancels.

#include "verbs.h"

#include "celltext.h"
#include "exportcancelevent.h"
#include "exportjob.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kUsage = "usage: vantrel-cli export FILE OUT.xls [--from \"Y-M-D h:m:s\"] "
                               "[--to \"Y-M-D h:m:s\"] [--step N] [--fahrenheit]\n";

struct ExportOptions {
    ExportRequest request;
    bool hasFrom = false, hasTo = false;
};

bool Fail(const char* what, const std::string& arg = {}) {
    std::fprintf(stderr, "vantrel-cli export: %s%s\n", what, arg.c_str());
    return false;
}

bool ParseExportArgs(const CliArgs& a, ExportOptions& o) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < a.args.size(); ++i) {
        const std::string& arg = a.args[i];
        const bool hasValue = i + 1 < a.args.size();
        if (arg == "--fahrenheit") {
            o.request.fahrenheit = true;
        } else if (arg == "--from" || arg == "--to") {
            SYSTEMTIME& t = arg == "--from" ? o.request.start : o.request.end;
            if (!hasValue || !ParseTimeCellText(a.args[i + 1], t))
                return Fail("expected a time \"Y-M-D h:m:s\" after ", arg);
            (arg == "--from" ? o.hasFrom : o.hasTo) = true;
            ++i;
        } else if (arg == "--step") {
            char* end = nullptr;
            long step = hasValue ? std::strtol(a.args[i + 1].c_str(), &end, 10) : 0;
            if (!hasValue || a.args[i + 1].empty() || *end != 0 || step < 1 || step > 1000000000)
                return Fail("--step needs a whole number of at least 1");
            o.request.step = int(step);
            ++i;
        } else if (!arg.empty() && arg[0] != '-' && paths.size() < 2) {
            paths.push_back(arg);
        } else {
            return Fail("unexpected argument ", "'" + arg + "'");
        }
    }
    if (paths.size() != 2) {
        std::fputs(kUsage, stderr);
        return false;
    }
    o.request.sourcePath = paths[0];
    o.request.targetPath = paths[1];
    return true;
}

// Percent of the current phase on one terminal line; silent when stderr is
// not a terminal.
class CTerminalProgress : public IWorksheetProgress {
public:
    CTerminalProgress() : m_enabled(isatty(STDERR_FILENO) == 1) {}
    ~CTerminalProgress() override {
        if (m_enabled && m_shown >= 0)
            std::fputc('\n', stderr);
    }
    void SetRange(int lower, int upper) override {
        m_lower = lower;
        m_upper = upper;
        ++m_phase;
        m_shown = -1;
    }
    void SetPos(int pos) override { Show(pos); }
    void SetStep(int step) override { m_step = step; }
    void StepIt() override { Show(m_pos + m_step); }

private:
    void Show(int pos) {
        m_pos = pos;
        if (!m_enabled)
            return;
        const int span = m_upper - m_lower;
        int percent = span > 0 ? int(100LL * (pos - m_lower) / span) : 100;
        percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
        if (percent == m_shown)
            return;
        m_shown = percent;
        std::fprintf(stderr, "\r%s %3d%%", m_phase <= 1 ? "reading" : "writing", percent);
        std::fflush(stderr);
    }

    bool m_enabled;
    int m_lower = 0, m_upper = 0, m_pos = 0, m_step = 1, m_phase = 0, m_shown = -1;
};

extern "C" void CancelOnInterrupt(int) {
    g_exportCancel.Set();
}

} // namespace

int CmdExport(const CliArgs& a) {
    ExportOptions o;
    if (!ParseExportArgs(a, o))
        return 2;
    TdaHeader h{};
    if (!CExportJob::ReadSourceHeader(o.request.sourcePath, h)) {
        Fail("cannot read the recording ", o.request.sourcePath);
        return 1;
    }
    // The defaults are the whole file, as the dialog's "|<—" and "—>|" set.
    if (!o.hasFrom)
        o.request.start = h.runStartTime;
    if (!o.hasTo)
        o.request.end = CExportJob::FileEndTime(h);

    g_exportCancel.Reset();
    std::signal(SIGINT, CancelOnInterrupt);
    ExportResult result;
    {
        CTerminalProgress progress;
        CExportJob job(o.request, &progress);
        result = job.Run();
    }
    std::signal(SIGINT, SIG_DFL);

    switch (result.status) {
    case ExportStatus::Succeeded:
        std::printf("%s %d rows -> %s\n", result.message.c_str(), result.rows,
                    o.request.targetPath.c_str());
        return 0;
    case ExportStatus::Cancelled:
        std::fprintf(stderr, "vantrel-cli export: cancelled\n");
        return 130;
    default:
        std::fprintf(stderr, "vantrel-cli export: %s\n", result.message.c_str());
        return 1;
    }
}
