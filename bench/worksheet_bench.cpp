// Writing an export-sized sheet: 65,536 rows of 82 text cells (a number, a
// time text and 80 values like " 23.5"), once with CWorksheetFile as an .xls
// workbook and once with libxlsxwriter as an .xlsx in its constant-memory
// mode. Each writer runs in a child process of its own, so that its wall time
// and peak memory (maximum resident set) are measured alone.
//
//   worksheet_bench [rows] [folder]

#include "worksheetfile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xlsxwriter.h>

namespace {

constexpr int kChannels = 80;

// Cell texts of one row; the value texts come from a pool, as a recording's
// temperatures repeat.
class RowSource {
public:
    RowSource() {
        for (int v = 0; v < 1000; ++v) {
            char b[16];
            std::snprintf(b, sizeof b, "%5.1f", v / 10.0 - 20.0);
            m_values.emplace_back(b);
        }
    }
    std::vector<std::string> Header() const {
        std::vector<std::string> h{"序号", "时间"};
        for (int c = 1; c <= kChannels; ++c)
            h.push_back("通道" + std::to_string(c) + "(℃)");
        return h;
    }
    void Row(int i, std::vector<std::string>& fields) const {
        fields.resize(kChannels + 2);
        fields[0] = std::to_string(i + 1);
        char t[48];
        std::snprintf(t, sizeof t, "%d-%d-%d %d:%d:%d", 2024, 3, 5 + i / 86400, i / 3600 % 24,
                      i / 60 % 60, i % 60);
        fields[1] = t;
        for (int c = 0; c < kChannels; ++c)
            fields[size_t(c + 2)] = m_values[size_t((i * 7 + c * 13) % 1000)];
    }

private:
    std::vector<std::string> m_values;
};

int WriteWithWorksheetFile(const std::string& path, int rows) {
    RowSource source;
    CWorksheetFile sheet(path, "Sheet1", true);
    sheet.StartBatch();
    sheet.SetHeaderRow(source.Header(), false);
    std::vector<std::string> fields;
    for (int i = 0; i + 1 < rows; ++i) {
        source.Row(i, fields);
        if (!sheet.PutRow(fields, i + 2, true))
            return 1;
    }
    if (!sheet.WriteOut()) {
        std::fprintf(stderr, "%s", sheet.LastError().c_str());
        return 1;
    }
    return 0;
}

int WriteWithXlsxWriter(const std::string& path, const std::string& folder, int rows) {
    RowSource source;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(folder.c_str());
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    if (!book)
        return 1;
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
    const std::vector<std::string> header = source.Header();
    for (size_t c = 0; c < header.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), header[c].c_str(), nullptr);
    std::vector<std::string> fields;
    for (int i = 0; i + 1 < rows; ++i) {
        source.Row(i, fields);
        for (size_t c = 0; c < fields.size(); ++c)
            worksheet_write_string(sheet, lxw_row_t(i + 1), lxw_col_t(c), fields[c].c_str(),
                                   nullptr);
    }
    return workbook_close(book) == LXW_NO_ERROR ? 0 : 1;
}

struct Measure {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
    long long bytes = 0;
};

template <typename Work> Measure RunInChild(Work work, const std::string& output) {
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0)
        _exit(work());
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    m.peakKiB = usage.ru_maxrss;
    if (FILE* f = std::fopen(output.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        m.bytes = std::ftell(f);
        std::fclose(f);
    }
    return m;
}

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    std::string folder = argc > 2 ? argv[2] : "";
    char tmpl[] = "/tmp/worksheet-bench-XXXXXX";
    if (folder.empty()) {
        if (!mkdtemp(tmpl))
            return 1;
        folder = tmpl;
    }
    const std::string xls = folder + "/bench.xls", xlsx = folder + "/bench.xlsx";
    std::printf("%d rows x %d text cells\n", rows, kChannels + 2);
    const Measure ours = RunInChild([&] { return WriteWithWorksheetFile(xls, rows); }, xls);
    const Measure theirs =
        RunInChild([&] { return WriteWithXlsxWriter(xlsx, folder, rows); }, xlsx);
    std::printf("%-34s %9s %12s %12s\n", "writer", "seconds", "peak MiB", "file MiB");
    auto line = [](const char* name, const Measure& m) {
        std::printf("%-34s %9.3f %12.1f %12.1f%s\n", name, m.seconds, m.peakKiB / 1024.0,
                    double(m.bytes) / (1 << 20), m.ok ? "" : "  FAILED");
    };
    line("CWorksheetFile (.xls)", ours);
    line("libxlsxwriter constant_memory (.xlsx)", theirs);
    const double ratio = theirs.seconds > 0 ? ours.seconds / theirs.seconds : 0;
    std::printf("time ratio ours/libxlsxwriter: %.3f (target <= 0.25): %s\n", ratio,
                ours.ok && theirs.ok && ratio <= 0.25 ? "met" : "NOT met");
    std::remove(xls.c_str());
    std::remove(xlsx.c_str());
    if (folder == tmpl)
        rmdir(tmpl);
    return ours.ok && theirs.ok ? 0 : 1;
}
