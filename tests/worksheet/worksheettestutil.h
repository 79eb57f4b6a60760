#pragma once
// Helpers of the worksheet tests (on the shared test support): workbooks
// read back by python3-xlrd, and a small builder of BIFF8 record streams that
// writes records the way other spreadsheet programs do (RK, MULRK, LABEL,
// FORMULA with STRING, strings split across CONTINUE records).

#include "compoundfile.h"
#include "testsupport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::SplitTabs;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

// Every sheet of a workbook as xlrd sees it. Cells: text as it is, numbers
// "n<repr>", booleans "b<0|1>", errors "e<code>", empty "".
struct XlrdSheet {
    std::string name;
    std::vector<std::vector<std::string>> rows;
};
struct XlrdBook {
    bool ok = false;
    std::string output;
    std::vector<XlrdSheet> sheets;
    const XlrdSheet* Sheet(const std::string& name) const {
        for (const auto& s : sheets)
            if (s.name == name)
                return &s;
        return nullptr;
    }
};

// Runs a python3 script on a workbook (sys.argv[1]) and returns its output;
// ok is false when the script fails.
inline std::string RunPython(const std::string& body, const std::string& xlsPath,
                             const TempDir& dir, bool& ok) {
    const std::string script = dir.File("check.py");
    std::ofstream(script) << body;
    const testsupport::CommandRun run =
        testsupport::RunCommand("/usr/bin/python3 '" + script + "' '" + xlsPath + "' 2>&1");
    ok = run.status == 0;
    return run.output;
}

inline XlrdBook ReadWithXlrd(const std::string& xlsPath, const TempDir& dir) {
    const std::string script = dir.File("dump.py");
    {
        std::ofstream py(script);
        py << "import sys, xlrd\n"
              "b = xlrd.open_workbook(sys.argv[1])\n"
              "out = []\n"
              "for s in b.sheets():\n"
              "    out.append('#' + s.name)\n"
              "    for r in range(s.nrows):\n"
              "        cells = []\n"
              "        for c in range(s.ncols):\n"
              "            cell = s.cell(r, c)\n"
              "            t = cell.ctype\n"
              "            if t == xlrd.XL_CELL_TEXT: v = cell.value\n"
              "            elif t == xlrd.XL_CELL_NUMBER: v = 'n' + repr(cell.value)\n"
              "            elif t == xlrd.XL_CELL_BOOLEAN: v = 'b' + str(cell.value)\n"
              "            elif t == xlrd.XL_CELL_ERROR: v = 'e' + str(cell.value)\n"
              "            else: v = ''\n"
              "            cells.append(v)\n"
              "        out.append('\\t'.join(cells))\n"
              "sys.stdout.buffer.write(('\\n'.join(out) + '\\n').encode('utf-8'))\n";
    }
    XlrdBook book;
    const testsupport::CommandRun run =
        testsupport::RunCommand("/usr/bin/python3 '" + script + "' '" + xlsPath + "' 2>&1");
    book.output = run.output;
    book.ok = run.status == 0;
    if (!book.ok)
        return book;
    for (const std::string& line : testsupport::SplitLines(book.output)) {
        if (!line.empty() && line[0] == '#')
            book.sheets.push_back({line.substr(1), {}});
        else if (!book.sheets.empty())
            book.sheets.back().rows.push_back(SplitTabs(line));
    }
    return book;
}

// Builds a BIFF8 record stream by hand.
class BiffBuilder {
public:
    std::vector<uint8_t> bytes;

    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
    void F64(double d) {
        uint64_t b;
        std::memcpy(&b, &d, 8);
        U32(uint32_t(b));
        U32(uint32_t(b >> 32));
    }
    size_t Begin(uint16_t type) {
        const size_t at = bytes.size();
        U16(type);
        U16(0);
        return at;
    }
    void End(size_t at) {
        const size_t len = bytes.size() - at - 4;
        bytes[at + 2] = uint8_t(len);
        bytes[at + 3] = uint8_t(len >> 8);
    }
    void Bof(uint16_t type) {
        const size_t at = Begin(0x0809);
        U16(0x0600);
        U16(type);
        U16(0x0DBB);
        U16(0x07CC);
        U32(0);
        U32(6);
        End(at);
    }
    void Eof() { End(Begin(0x000A)); }
    // One font, 15 style XFs and one cell XF, the least a reader maps cells
    // through, then a cell XF for each extra number format given.
    void Formatting(const std::vector<std::pair<uint16_t, std::string>>& formats) {
        size_t at = Begin(0x0031);
        U16(200);
        U16(0);
        U16(0x7FFF);
        U16(400);
        U16(0);
        U32(0);
        U8(5);
        U8(0);
        for (char c : std::string("Arial"))
            U8(uint8_t(c));
        End(at);
        for (const auto& [index, text] : formats) {
            at = Begin(0x041E);
            U16(index);
            U16(uint16_t(text.size()));
            U8(0);
            for (char c : text)
                U8(uint8_t(c));
            End(at);
        }
        for (size_t i = 0; i < 16 + formats.size(); ++i) {
            at = Begin(0x00E0);
            U16(0);
            U16(i < 16 ? 0 : formats[i - 16].first);
            U16(i < 15 ? 0xFFF5 : 0x0001);
            U8(0x20);
            for (int k = 0; k < 13; ++k)
                U8(0);
            End(at);
        }
    }
    // Returns the position of the sheet offset to patch.
    size_t BoundSheet(const std::string& asciiName, uint8_t visibility = 0) {
        const size_t at = Begin(0x0085);
        const size_t field = bytes.size();
        U32(0);
        U8(visibility);
        U8(0);
        U8(uint8_t(asciiName.size()));
        U8(0);
        for (char c : asciiName)
            U8(uint8_t(c));
        End(at);
        return field;
    }
    void Patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = uint8_t(v >> (8 * i));
    }
    void CellHead(uint16_t row, uint16_t col) {
        U16(row);
        U16(col);
        U16(15);
    }
    void Wrap(const std::string& path) {
        std::string error;
        ASSERT_TRUE(CCompoundFile::WriteSingleStream(path, "Workbook", {bytes}, error)) << error;
    }
};
