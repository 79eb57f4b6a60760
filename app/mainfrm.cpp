#include "mainfrm.h"

#include "acquisitionrun.h"
#include "appresources.h"
#include "commandids.h"
#include "doctemplate.h"
#include "document.h"
#include "mdichildwnd.h"
#include "promptservice.h"
#include "realcurvedoc.h"
#include "setunit.h"
#include "vantrel.h"

#include <QDesktopServices>
#include <QDir>
#include <QtDebug>
#include <filesystem>

namespace {
const QString kRecoveryQuestion =
    QStringLiteral("由于非法退出程序，上次实时采集的数据还没保存，要保存吗？");
const QString kRunningQuestion = QStringLiteral("正在实时采集数据，退出数据会丢失，要退出吗？");
const QString kCommandFailed = QStringLiteral("未能执行命令。");
const QString kExcelFile = QStringLiteral("Microsoft Excel 工作表.xls");

struct ToolButton {
    int id;
    const char* tip;
};
// The toolbar's items in order; 0 is a separator.
const ToolButton kToolButtons[] = {
    {cmd::ID_FILE_OPEN, "打开"},
    {cmd::ID_FILE_SAVE_AS, "另存为"},
    {0, ""},
    {cmd::ID_EDIT_CUT, "剪切"},
    {cmd::ID_EDIT_COPY, "复制"},
    {cmd::ID_EDIT_PASTE, "粘贴"},
    {0, ""},
    {cmd::ID_FILE_PRINT, "打印"},
    {cmd::ID_APP_ABOUT, "关于"},
    {0, ""},
    {cmd::ID_OPEN_EXCEL, "打开Excel"},
    {0, ""},
    {cmd::ID_ZOOM_IN, "放大模式"},
    {cmd::ID_ZOOM_OUT, "缩小模式"},
    {cmd::ID_NORMAL_MODE, "正常模式"},
    {cmd::ID_HEAD_TAIL, "移到首部或尾部"},
    {cmd::ID_PAGE_MODE, "翻屏"},
};
} // namespace

CMainFrame::CMainFrame() {
    setObjectName(QStringLiteral("MainFrame"));
    OnCommand(cmd::ID_REALTIME, [this] { OnRealTime(); });
    OnCommand(cmd::ID_DATA_LIST, [this] { OnDataList(); });
    OnCommand(cmd::ID_OPEN_EXCEL, [this] { OnOpenExcel(); });
    OnCommand(cmd::ID_TEMP_UNIT, [this] { OnTempUnit(); });
}

bool CMainFrame::CreateToolBar() {
    auto* bar = new CToolBar(this);
    bar->setWindowTitle(QStringLiteral("工具栏"));
    for (const ToolButton& b : kToolButtons)
        bar->AddButton(b.id, ToolbarIcon(b.id), QString::fromUtf8(b.tip));
    SetToolBar(bar);
    theApp.m_pToolBar = bar;
    return true;
}

bool CMainFrame::CreateStatusBars() {
    CreateStatusBar({QStringLiteral("CAP"), QStringLiteral("NUM"), QStringLiteral("SCRL")});
    return true;
}

bool CMainFrame::OnCreate() {
    if (!CreateToolBar()) {
        qDebug("未能创建工具栏");
        return false;
    }
    if (!CreateStatusBars()) {
        qDebug("未能创建状态栏");
        return false;
    }
    return RecoverTempFile();
}

bool CMainFrame::RecoverTempFile() {
    TempInfo& info = theApp.m_TempInfo;
    if (!info.bPending)
        return true;
    const std::string tempPath = theApp.TempInfoPath();
    std::error_code ec;
    if (tempPath.empty() || !std::filesystem::is_regular_file(tempPath, ec)) {
        // Nothing is left to save: asking would offer a file that is gone.
        theApp.ClearTempInfo();
        return true;
    }
    if (Prompt().MessageBox(kRecoveryQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        const QString path =
            Prompt().SaveFileDialog(CRealCurveDoc::kTdaFilter, CRealCurveDoc::kTdaExtension);
        if (path.isEmpty())
            return false; // the program does not start; the next start asks again
        if (!CopyRecordingAndDelete(tempPath, path.toStdString())) {
            Prompt().MessageBox(
                QStringLiteral(
                    "无法写入文件“%1”。\n采集的数据仍保留在临时文件“%2”中，下次启动时将再次询问。")
                    .arg(path, QString::fromStdString(tempPath)),
                MB_OK | MB_ICONEXCLAMATION);
            return true;
        }
    } else {
        std::filesystem::remove(tempPath, ec);
    }
    theApp.ClearTempInfo();
    return true;
}

void CMainFrame::ReportFailedFrame() {
    qDebug("Warning: failed to create new frame");
    Prompt().MessageBox(kCommandFailed, MB_OK | MB_ICONEXCLAMATION);
}

void CMainFrame::OnRealTime() {
    if (theApp.m_bRealTimeOpen)
        return;
    CDocTemplate* t = theApp.m_pRealTimeTemplate;
    if (!t)
        return;
    theApp.m_bRealTimeOpen = true;
    CDocument* doc = t->CreateNewDocument();
    CMDIChildWnd* frame = doc ? t->CreateNewFrame(doc, MDIGetActive()) : nullptr;
    if (!frame) {
        if (doc) {
            t->RemoveDocument(doc);
            delete doc;
        }
        // Otherwise the command would stay dead until the next start.
        theApp.m_bRealTimeOpen = false;
        ReportFailedFrame();
        return;
    }
    doc->SetTitle(QStringLiteral("实时数据采集"));
    t->InitialUpdateFrame(frame, doc);
}

void CMainFrame::OnDataList() {
    CMDIChildWnd* active = MDIGetActive();
    CDocument* doc = active ? active->GetActiveDocument() : nullptr;
    if (!doc) {
        qDebug("Warning: No active document for WindowNew command");
        Prompt().MessageBox(kCommandFailed, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CDocTemplate* t = theApp.m_pListTemplate;
    CMDIChildWnd* frame = t ? t->CreateNewFrame(doc, active) : nullptr;
    if (!frame) {
        ReportFailedFrame();
        return;
    }
    t->InitialUpdateFrame(frame, doc);
}

void CMainFrame::OnOpenExcel() {
    const QUrl url = QUrl::fromLocalFile(QDir::current().absoluteFilePath(kExcelFile));
    if (s_openUrl)
        s_openUrl(url);
    else
        QDesktopServices::openUrl(url); // the result is not reported
}

void CMainFrame::OnTempUnit() {
    CSetUnit dlg(this);
    dlg.DoModal();
}

bool CMainFrame::OnClose() {
    if (theApp.m_bAcquiring) {
        if (Prompt().MessageBox(kRunningQuestion, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
            return false;
        theApp.DiscardRun();
    }
    theApp.m_nExitAnswer = 0xFF;
    return CMDIFrameWnd::OnClose();
}
