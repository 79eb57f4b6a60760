#pragma once
// Helpers shared by the test folders: calendar times, a private temporary
// folder, whole files read and written as bytes, text split into lines and
// tab-separated cells, and programs run with their output captured.

#include "systemtime.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace testsupport {

// A local time to the second (and millisecond); day of week 0.
inline SYSTEMTIME Time(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    SYSTEMTIME t{};
    t.wYear = uint16_t(y);
    t.wMonth = uint16_t(mo);
    t.wDay = uint16_t(d);
    t.wHour = uint16_t(h);
    t.wMinute = uint16_t(mi);
    t.wSecond = uint16_t(s);
    t.wMilliseconds = uint16_t(ms);
    return t;
}

// A new empty folder below the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "vantrel-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp " + pattern);
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The lines of text without their '\n' (a final '\n' ends the last line).
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eol = text.find('\n', pos);
        lines.push_back(text.substr(pos, eol - pos));
        pos = eol == std::string::npos ? text.size() : eol + 1;
    }
    return lines;
}

// The cells of a line, separated by tabs.
inline std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    size_t a = 0;
    for (;;) {
        const size_t b = line.find('\t', a);
        cells.push_back(line.substr(a, b == std::string::npos ? std::string::npos : b - a));
        if (b == std::string::npos)
            return cells;
        a = b + 1;
    }
}

// A shell command's exit status (-1 when it could not run or did not exit)
// and what it wrote to its standard output.
struct CommandRun {
    int status = -1;
    std::string output;
};

inline CommandRun RunCommand(const std::string& command) {
    CommandRun r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

} // namespace testsupport
