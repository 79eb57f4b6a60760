// libFuzzer target: arbitrary bytes as an .xls file (compound file and BIFF8
// records) and as a bare workbook stream, read the way CWorksheetFile reads
// workbooks, with every cell turned into its text.

#include "biffworkbook.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

size_t TouchCells(const CBiffWorkbook& book) {
    size_t total = 0;
    for (const CBiffSheet& sheet : book.sheets)
        for (const CBiffCell& cell : sheet.cells)
            total += book.CellText(cell).size();
    return total;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    CBiffWorkbook file;
    if (file.LoadImage(std::vector<uint8_t>(data, data + size), error))
        TouchCells(file);
    CBiffWorkbook stream;
    if (stream.Parse({data, size}, error))
        TouchCells(stream);
    return 0;
}
