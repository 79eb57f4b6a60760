#include "exportjob.h"

#include "celltext.h"
#include "tdafile.h"
#include "timearith.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <vector>

CExportJob::CExportJob(ExportRequest request, IWorksheetProgress* progress,
                       CExportCancelEvent& cancel)
    : m_request(std::move(request)), m_progress(progress), m_cancel(cancel) {}

SYSTEMTIME CExportJob::FileEndTime(const TdaHeader& h) {
    return AddSecondsWide(h.runStartTime, (long long)h.sampleCount * h.sampleInterval);
}

bool CExportJob::ReadSourceHeader(const std::string& path, TdaHeader& h) {
    CTdaFile file;
    if (file.Open(path) != TdaError::None)
        return false;
    h = file.Header();
    return true;
}

std::string CExportJob::CheckRequest(const TdaHeader& h, const SYSTEMTIME& start,
                                     const SYSTEMTIME& end, int step) {
    if (DiffSecondsWide(end, start) < 0)
        return kEndBeforeStartText;
    if (step < 1)
        return "记录间隔必须是大于0的整数！";
    if (h.sampleInterval <= 0)
        return "数据文件的采样间隔无效，无法导出！";
    return {};
}

void CExportJob::ClampSpan(const TdaHeader& h, SYSTEMTIME& start, SYSTEMTIME& end) {
    if (CompareTime(start, h.runStartTime) < 0)
        start = h.runStartTime;
    const SYSTEMTIME fileEnd = FileEndTime(h);
    if (CompareTime(end, fileEnd) > 0)
        end = fileEnd;
}

long long CExportJob::FirstRecord(const TdaHeader& h, const SYSTEMTIME& start) {
    if (h.sampleInterval <= 0)
        return 0;
    return std::max(0LL, DiffSecondsWide(start, h.runStartTime) / h.sampleInterval);
}

int CExportJob::RowsToExport(const TdaHeader& h, const SYSTEMTIME& start, const SYSTEMTIME& end,
                             int step, long long rowsInFile) {
    if (h.sampleInterval <= 0 || step < 1)
        return 0;
    long long rows = DiffSecondsWide(end, start) / ((long long)h.sampleInterval * step);
    // Rows past the file's last record (a recording cut short by an abnormal
    // exit) are not there to read.
    const long long first = FirstRecord(h, start);
    const long long available = first < rowsInFile ? (rowsInFile - first + step - 1) / step : 0;
    return int(std::clamp(std::min(rows, available), 0LL, (long long)kMaxRows));
}

bool CExportJob::IsWorkbookPath(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
        c = char(std::tolower((unsigned char)c));
    return ext == ".xls";
}

bool CExportJob::IsSameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

void CExportJob::SetProgress(int pos) {
    if (m_progress) {
        m_progress->SetPos(pos);
        m_progress->StepIt();
    }
}

namespace {

std::string WriterError(const CWorksheetFile& sheet) {
    std::string e = sheet.LastError();
    while (!e.empty() && (e.back() == '\n' || e.back() == '\r'))
        e.pop_back();
    return "导出Excel失败：" + (e.empty() ? std::string("无法写入文件") : e);
}

} // namespace

ExportResult CExportJob::Run() {
    ExportResult result;
    CTdaFile source;
    if (source.Open(m_request.sourcePath) != TdaError::None) {
        result.status = ExportStatus::SourceUnreadable;
        result.message = "无法打开数据文件，导出未进行！";
        return result;
    }
    const TdaHeader h = source.Header();
    SYSTEMTIME start = m_request.start, end = m_request.end;
    if (std::string why = CheckRequest(h, start, end, m_request.step); !why.empty()) {
        result.message = why;
        return result;
    }
    if (IsSameFile(m_request.sourcePath, m_request.targetPath)) {
        result.message = "不能导出到数据文件本身，请选择其他文件！";
        return result;
    }
    ClampSpan(h, start, end);
    const int step = m_request.step;
    const int rows = RowsToExport(h, start, end, step, source.RowCount());
    const long long firstRecord = FirstRecord(h, start);
    const int channels = h.channelCount;
    const ChannelNameTable& names = source.NameTable();

    // The comma is the text file's separator; the sheet name only means
    // something inside a workbook.
    const bool workbook = IsWorkbookPath(m_request.targetPath);
    auto sheet =
        std::make_unique<CWorksheetFile>(m_request.targetPath, workbook ? "Sheet1" : ",", true);
    sheet->StartBatch();
    // What the sheet held before is blanked. A workbook keeps its header row
    // when the new one matches it (refused as a duplicate, which is fine); a
    // text file, which has no duplicate check, gets its header replaced so a
    // second export to it does not repeat the titles.
    for (int r = 2, n = sheet->RowCount(); r <= n; ++r)
        sheet->PutRow({}, r, true);
    std::vector<std::string> fields{"序号", "时间"};
    for (int c = 0; c < channels; ++c)
        fields.push_back(ChannelExportTitle(names, c, m_request.fahrenheit));
    sheet->SetHeaderRow(fields, !workbook);

    if (m_progress) {
        m_progress->SetRange(0, rows / 2);
        m_progress->SetPos(0);
        m_progress->SetStep(2);
        m_progress->StepIt();
    }
    const CValueTextTable values(h.valueScale, m_request.fahrenheit);
    constexpr int kChunk = 512;
    std::vector<int16_t> chunk(size_t(kChunk) * kMaxChannels);
    auto* chunkRows = reinterpret_cast<int16_t(*)[kMaxChannels]>(chunk.data());
    for (int i = 0; i < rows; ++i) {
        if (m_cancel.IsCancelRequested()) {
            if (m_progress)
                m_progress->SetPos(0);
            result.status = ExportStatus::Cancelled;
            return result;
        }
        const int inChunk = i % kChunk;
        if (inChunk == 0) {
            const long long want = std::min(kChunk, rows - i);
            const long long got =
                source.ReadRows(firstRecord + (long long)i * step, want, step, chunkRows);
            if (got != want) {
                result.status = ExportStatus::SourceUnreadable;
                result.message = "读取数据文件失败，导出未完成！";
                return result;
            }
        }
        fields.resize(size_t(2 + channels));
        fields[0] = std::to_string(i + 1);
        fields[1] = TimeCellText(AddSecondsWide(start, (long long)i * h.sampleInterval * step));
        for (int c = 0; c < channels; ++c)
            fields[2 + c] = values.Text(chunkRows[inChunk][c]);
        if (!sheet->PutRow(fields, i + 2, true)) {
            result.status = ExportStatus::WriteFailed;
            result.message = WriterError(*sheet);
            return result;
        }
        SetProgress(i / 2);
    }
    source.Close();

    bool success = true;
    const bool written = sheet->WriteOutWithProgress(m_progress, success, &m_cancel);
    if (m_progress)
        m_progress->SetPos(success ? rows / 2 : 0);
    result.rows = rows;
    if (!success) {
        result.status = ExportStatus::Cancelled;
    } else if (!written) {
        result.status = ExportStatus::WriteFailed;
        result.message = WriterError(*sheet);
    } else {
        result.status = ExportStatus::Succeeded;
        result.message = kSuccessText;
    }
    return result;
}
