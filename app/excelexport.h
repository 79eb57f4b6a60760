#pragma once
// The "Excel 导出" dialog: picks a time span of the current recording and a
// record step, asks for the target file and runs the export on a worker
// thread with a progress bar and a cancel button. The worker runs
// CExportJob and never touches a widget: progress and the final message come
// back to the GUI thread as queued calls. The dialog cannot be closed while
// the worker runs.

#include "dialog.h"
#include "exportjob.h"
#include "tdaheader.h"

#include <QString>
#include <thread>

class QDateEdit;
class QTimeEdit;
class QLineEdit;
class QProgressBar;

class CExcelExport : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDC_START_DATE = 1301,
        IDC_START_TIME = 1302,
        IDC_END_DATE = 1303,
        IDC_END_TIME = 1304,
        IDC_STEP = 1401,
        IDC_TO_START = 1001,
        IDC_TO_END = 1002,
        IDC_EXPORT = 1003,
        IDC_CANCEL_EXPORT = 1017,
        IDC_PROGRESS = 1601,
    };
    static constexpr const char* kStopFirstText = "请先停止Excel导出！";

    explicit CExcelExport(QWidget* parent = nullptr);
    ~CExcelExport() override;

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    bool IsExporting() const { return m_exporting; }
    // Waits (processing events) until a running export has ended; false on
    // time-out. For tests and for an orderly shutdown.
    bool WaitForExport(int timeoutMs);
    QProgressBar* ProgressBar() const { return m_progress; }
    const QString& TargetPath() const { return m_targetPath; }

private:
    class CQueuedProgress;

    void CreateControls();
    void LoadSource();
    void SetPickers(int dateId, int timeId, const SYSTEMTIME& t);
    void SetStartPickers(const SYSTEMTIME& t);
    void SetEndPickers(const SYSTEMTIME& t);
    SYSTEMTIME PickerTime(int dateId, int timeId) const;
    void StartExport();
    void CancelExport();
    void OnExportFinished(const ExportResult& result);
    void RefuseWhileExporting();

    QString m_sourcePath;
    QString m_targetPath;
    TdaHeader m_header{};
    bool m_sourceLoaded = false;
    int m_recordStep = 1;
    SYSTEMTIME m_exportStart{};
    SYSTEMTIME m_exportEnd{};
    bool m_exporting = false;
    QProgressBar* m_progress = nullptr;
    std::thread m_worker;
};
