#pragma once
// The Excel export of a time span of a recording, as one plain job that the
// export dialog runs on its worker thread and vantrel-cli runs in the
// foreground. The job reads the source, collects one text row per exported
// record and writes the table out in one batch with CWorksheetFile. It never
// touches a widget: progress goes to an IWorksheetProgress and the outcome is
// returned, so the caller decides how to show them.

#include "exportcancelevent.h"
#include "systemtime.h"
#include "tdaheader.h"
#include "worksheetfile.h"

#include <string>

struct ExportRequest {
    std::string sourcePath;
    std::string targetPath; // ".xls": a workbook; anything else: comma-separated text
    SYSTEMTIME start{};
    SYSTEMTIME end{};
    int step = 1; // every n-th record
    bool fahrenheit = false;
};

enum class ExportStatus {
    Succeeded,
    Cancelled,
    Refused,          // the request cannot be exported (step, interval, span)
    SourceUnreadable, // the recording cannot be opened or read
    WriteFailed,      // the target could not be written
};

struct ExportResult {
    ExportStatus status = ExportStatus::Refused;
    std::string message; // for the user; empty for a cancel
    int rows = 0;        // data rows exported
};

class CExportJob {
public:
    static constexpr int kMaxRows = 65535;
    static constexpr const char* kSuccessText = "导出Excel成功！";
    static constexpr const char* kEndBeforeStartText = "结束时间要大于开始时间！";

    // progress may be null. The cancel event is tested once per collected row
    // and once per written row, without waiting.
    CExportJob(ExportRequest request, IWorksheetProgress* progress,
               CExportCancelEvent& cancel = g_exportCancel);

    ExportResult Run();

    // ---- Rules shared with the dialog ----
    // The file's end: runStartTime + sampleCount * sampleInterval.
    static SYSTEMTIME FileEndTime(const TdaHeader& h);
    // Reads the header of a recording; false when it cannot be opened.
    static bool ReadSourceHeader(const std::string& path, TdaHeader& h);
    // Why a request cannot start, or empty when it can: an end before the
    // start, a step below 1, a file without a valid sampling interval.
    static std::string CheckRequest(const TdaHeader& h, const SYSTEMTIME& start,
                                    const SYSTEMTIME& end, int step);
    // Moves a start before the file's start and an end after its end inside.
    static void ClampSpan(const TdaHeader& h, SYSTEMTIME& start, SYSTEMTIME& end);
    // Records exported: span / (interval * step), at most kMaxRows and no
    // more than the file holds from the first record on.
    static int RowsToExport(const TdaHeader& h, const SYSTEMTIME& start, const SYSTEMTIME& end,
                            int step, long long rowsInFile);
    // Record of the first exported row: (start - runStartTime) / interval.
    static long long FirstRecord(const TdaHeader& h, const SYSTEMTIME& start);
    // Target paths ending in ".xls" (any case) get a workbook.
    static bool IsWorkbookPath(const std::string& path);
    // Both paths name one existing file (the recording must never be
    // overwritten by its own export).
    static bool IsSameFile(const std::string& a, const std::string& b);

private:
    class CancelAdapter : public IWorksheetCancel {
    public:
        explicit CancelAdapter(CExportCancelEvent& e) : m_event(e) {}
        bool IsCancelRequested() override { return m_event.TestAndReset(); }

    private:
        CExportCancelEvent& m_event;
    };

    void SetProgress(int pos);

    ExportRequest m_request;
    IWorksheetProgress* m_progress;
    CancelAdapter m_cancel;
};
