#include "excelexport.h"

#include "exportcancelevent.h"
#include "promptservice.h"
#include "vantrel.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimeEdit>
#include <algorithm>
#include <cstdlib>

// Progress of the worker, carried to the progress bar on the GUI thread. The
// worker reports every row; only changes the bar can show are sent on.
class CExcelExport::CQueuedProgress : public IWorksheetProgress {
public:
    explicit CQueuedProgress(CExcelExport* dialog) : m_dialog(dialog) {}

    void SetRange(int lower, int upper) override {
        m_lower = lower;
        m_upper = std::max(lower, upper);
        m_sentAny = false;
        Post([lower, upper](QProgressBar* bar) { bar->setRange(lower, upper); });
        Send(m_pos);
    }
    void SetPos(int pos) override { Send(pos); }
    void SetStep(int step) override { m_step = step; }
    void StepIt() override { Send(std::min(m_pos + m_step, m_upper)); }

private:
    void Send(int pos) {
        m_pos = pos;
        const long long grain = std::max(1, (m_upper - m_lower) / 200);
        const bool edge = pos <= m_lower || pos >= m_upper;
        if (m_sentAny && (pos == m_sent || (!edge && std::llabs((long long)pos - m_sent) < grain)))
            return;
        m_sentAny = true;
        m_sent = pos;
        Post([pos](QProgressBar* bar) { bar->setValue(pos); });
    }
    template <class F> void Post(F f) {
        QPointer<CExcelExport> dialog = m_dialog;
        QMetaObject::invokeMethod(
            m_dialog,
            [dialog, f] {
                if (dialog)
                    f(dialog->m_progress);
            },
            Qt::QueuedConnection);
    }

    CExcelExport* m_dialog;
    int m_lower = 0, m_upper = 100, m_pos = 0, m_step = 1, m_sent = 0;
    bool m_sentAny = false;
};

CExcelExport::CExcelExport(QWidget* parent) : CDialog(parent) {
    setWindowTitle("Excel 导出");
    CreateControls();
}

CExcelExport::~CExcelExport() {
    // The worker uses this dialog's members until it ends.
    if (m_worker.joinable()) {
        g_exportCancel.Set();
        m_worker.join();
    }
}

void CExcelExport::CreateControls() {
    setFixedSize(330, 210);
    auto* group = new QGroupBox("时间设置", this);
    group->setGeometry(10, 6, 310, 86);
    auto label = [this](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, y, w, 22);
    };
    auto picker = [this](int dateId, int timeId, int y) {
        auto* d = AddControl(dateId, new QDateEdit(this));
        d->setDisplayFormat("yyyy-M-d");
        d->setGeometry(90, y, 100, 22);
        auto* t = AddControl(timeId, new QTimeEdit(this));
        t->setDisplayFormat("H:mm:ss");
        t->setGeometry(194, y, 76, 22);
    };
    label("开始时间：", 20, 28, 70);
    picker(IDC_START_DATE, IDC_START_TIME, 28);
    AddButton(IDC_TO_START, "|<—")->setGeometry(274, 28, 38, 22);
    label("结束时间：", 20, 58, 70);
    picker(IDC_END_DATE, IDC_END_TIME, 58);
    AddButton(IDC_TO_END, "—>|")->setGeometry(274, 58, 38, 22);
    label("间        隔：", 20, 104, 70);
    AddControl(IDC_STEP, new QLineEdit(this))->setGeometry(90, 104, 60, 22);
    label("记录间隔", 156, 104, 60);
    AddButton(IDC_EXPORT, "导出...")->setGeometry(70, 140, 80, 26);
    AddButton(IDC_CANCEL_EXPORT, "取消")->setGeometry(180, 140, 80, 26);
    m_progress = AddControl(IDC_PROGRESS, new QProgressBar(this));
    m_progress->setGeometry(10, 178, 310, 18);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    OnButton(IDC_TO_START, [this] { SetStartPickers(m_header.runStartTime); });
    OnButton(IDC_TO_END, [this] { SetEndPickers(CExportJob::FileEndTime(m_header)); });
    OnButton(IDC_EXPORT, [this] { StartExport(); });
    OnButton(IDC_CANCEL_EXPORT, [this] { CancelExport(); });
}

bool CExcelExport::OnInitDialog() {
    LoadSource();
    return true;
}

void CExcelExport::LoadSource() {
    m_sourcePath = theApp.m_strCurrentFile;
    m_recordStep = 1;
    SetDlgItemText(IDC_STEP, "1");
    m_exporting = false;
    m_sourceLoaded = CExportJob::ReadSourceHeader(m_sourcePath.toStdString(), m_header);
    if (!m_sourceLoaded)
        return; // the dialog holds no file; exporting says so
    SetStartPickers(m_header.runStartTime);
    SetEndPickers(CExportJob::FileEndTime(m_header));
}

void CExcelExport::SetPickers(int dateId, int timeId, const SYSTEMTIME& t) {
    // The date picker shows the date, the time picker the time of day.
    Control<QDateEdit>(dateId)->setDate(QDate(t.wYear, t.wMonth, t.wDay));
    Control<QTimeEdit>(timeId)->setTime(QTime(t.wHour, t.wMinute, t.wSecond));
}

void CExcelExport::SetStartPickers(const SYSTEMTIME& t) {
    SetPickers(IDC_START_DATE, IDC_START_TIME, t);
}

void CExcelExport::SetEndPickers(const SYSTEMTIME& t) {
    SetPickers(IDC_END_DATE, IDC_END_TIME, t);
}

SYSTEMTIME CExcelExport::PickerTime(int dateId, int timeId) const {
    const QDate d = Control<QDateEdit>(dateId)->date();
    const QTime t = Control<QTimeEdit>(timeId)->time();
    SYSTEMTIME s{};
    s.wYear = uint16_t(d.year());
    s.wMonth = uint16_t(d.month());
    s.wDay = uint16_t(d.day());
    s.wHour = uint16_t(t.hour());
    s.wMinute = uint16_t(t.minute());
    s.wSecond = uint16_t(t.second());
    return s;
}

void CExcelExport::StartExport() {
    if (m_exporting)
        return; // one export at a time; the button is disabled meanwhile
    if (!m_sourceLoaded) {
        Prompt().MessageBox("无法打开数据文件，导出未进行！", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_exportStart = PickerTime(IDC_START_DATE, IDC_START_TIME);
    m_exportEnd = PickerTime(IDC_END_DATE, IDC_END_TIME);
    bool stepOk = false;
    const int step = GetDlgItemText(IDC_STEP).trimmed().toInt(&stepOk);
    // Refusals come before anything starts: the span, the step, the file.
    std::string why =
        CExportJob::CheckRequest(m_header, m_exportStart, m_exportEnd, stepOk ? step : 0);
    if (!why.empty()) {
        Prompt().MessageBox(QString::fromStdString(why), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CExportJob::ClampSpan(m_header, m_exportStart, m_exportEnd);
    SetStartPickers(m_exportStart);
    SetEndPickers(m_exportEnd);
    m_exportStart = PickerTime(IDC_START_DATE, IDC_START_TIME);
    m_exportEnd = PickerTime(IDC_END_DATE, IDC_END_TIME);
    m_recordStep = step;

    const QString path = Prompt().SaveFileDialog("*.xls|*.xls|所有文件(*.*)|*.*|", "*.xls", false);
    if (path.isEmpty())
        return;
    m_targetPath = path;

    ExportRequest request;
    request.sourcePath = m_sourcePath.toStdString();
    request.targetPath = m_targetPath.toStdString();
    request.start = m_exportStart;
    request.end = m_exportEnd;
    request.step = m_recordStep;
    request.fahrenheit = theApp.m_nTempUnit != 0;

    m_exporting = true;
    g_exportCancel.Reset();
    GetDlgItem(IDC_EXPORT)->setEnabled(false);
    if (m_worker.joinable())
        m_worker.join();
    m_worker = std::thread([this, request] {
        CQueuedProgress progress(this);
        ExportResult result = CExportJob(request, &progress).Run();
        QMetaObject::invokeMethod(
            this, [this, result] { OnExportFinished(result); }, Qt::QueuedConnection);
    });
}

void CExcelExport::CancelExport() {
    g_exportCancel.Set();
    m_progress->setValue(m_progress->minimum());
}

void CExcelExport::OnExportFinished(const ExportResult& result) {
    if (m_worker.joinable())
        m_worker.join();
    m_exporting = false;
    GetDlgItem(IDC_EXPORT)->setEnabled(true);
    if (result.status == ExportStatus::Cancelled)
        m_progress->setValue(m_progress->minimum());
    if (!result.message.empty()) {
        const unsigned icon =
            result.status == ExportStatus::Succeeded ? MB_ICONINFORMATION : MB_ICONEXCLAMATION;
        Prompt().MessageBox(QString::fromStdString(result.message), MB_OK | icon);
    }
}

bool CExcelExport::WaitForExport(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (m_exporting) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

void CExcelExport::RefuseWhileExporting() {
    Prompt().MessageBox(kStopFirstText, MB_OK | MB_ICONEXCLAMATION);
}

void CExcelExport::OnOK() {
    if (m_exporting) {
        RefuseWhileExporting();
        return;
    }
    CDialog::OnOK();
}

void CExcelExport::OnCancel() {
    if (m_exporting) {
        RefuseWhileExporting();
        return;
    }
    CDialog::OnCancel();
}
