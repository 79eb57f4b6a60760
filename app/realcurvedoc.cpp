#include "realcurvedoc.h"

#include "acquisitionrun.h"
#include "commandids.h"
#include "mainfrm.h"
#include "promptservice.h"
#include "vantrel.h"

#include <filesystem>

const QString CRealCurveDoc::kTdaFilter = QStringLiteral("*.tda|*.tda|所有文件(*.*)|*.*|");
const QString CRealCurveDoc::kTdaExtension = QStringLiteral("*.tda");

namespace {
const QString kRunningQuestion = QStringLiteral("正在实时采集数据，退出数据会丢失，要退出吗？");
const QString kUnsavedQuestion = QStringLiteral("上次实时采集的数据未保存，要保存吗？");

void DeleteFile(const QString& path) {
    std::error_code ec;
    if (!path.isEmpty())
        std::filesystem::remove(path.toStdString(), ec);
}
} // namespace

CRealCurveDoc::CRealCurveDoc() {
    // Ctrl+S is bound to the plain save command; in this window it saves the run.
    OnCommand(cmd::ID_FILE_SAVE, [] {
        if (CMainFrame* f = theApp.MainFrame())
            f->SendCommand(cmd::ID_FILE_SAVE_AS);
    });
    OnUpdateCommand(cmd::ID_FILE_SAVE, [](CCmdUI& ui) {
        CMainFrame* f = theApp.MainFrame();
        ui.Enable(f && f->QueryCommandUI(cmd::ID_FILE_SAVE_AS).m_bEnabled);
    });
}

bool CRealCurveDoc::IsRealTimeDocument() const {
    return GetDocTemplate() != nullptr && GetDocTemplate() == theApp.m_pRealTimeTemplate;
}

bool CRealCurveDoc::SaveRunTo(const QString& path) {
    if (!CopyRecordingAndDelete(theApp.m_strTempFile.toStdString(), path.toStdString())) {
        Prompt().MessageBox(QStringLiteral("无法写入文件“%1”。\n采集的数据仍保留在临时文件“%2”中。")
                                .arg(path, theApp.m_strTempFile),
                            MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    theApp.m_bUnsaved = false;
    theApp.m_TempInfo.bPending = 0;
    theApp.SaveTempInfo();
    return true;
}

bool CRealCurveDoc::ConfirmClose() {
    if (theApp.m_bAcquiring) {
        if (Prompt().MessageBox(kRunningQuestion, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
            return false;
        theApp.DiscardRun();
        return true;
    }
    if (!theApp.m_bUnsaved)
        return true;
    const int answer = Prompt().MessageBox(kUnsavedQuestion, MB_YESNOCANCEL | MB_ICONQUESTION);
    theApp.m_nSaveAnswer = uint8_t(answer);
    if (answer == IDYES) {
        const QString path = Prompt().SaveFileDialog(kTdaFilter, kTdaExtension);
        // A cancelled dialog or a failed copy keeps the data: the window stays
        // open, or, while the program exits, the recovery record offers the
        // temporary file at the next start.
        return !path.isEmpty() && SaveRunTo(path);
    }
    if (answer == IDNO) {
        DeleteFile(theApp.m_strTempFile);
        theApp.m_bUnsaved = false;
        theApp.m_TempInfo.bPending = 0;
        theApp.SaveTempInfo();
        return true;
    }
    return false; // cancel
}

void CRealCurveDoc::OnCloseDocument() {
    if (IsClosing())
        return;
    if (IsRealTimeDocument()) {
        if (!ConfirmClose())
            return;
        theApp.m_bRealTimeOpen = false;
    }
    CDocument::OnCloseDocument();
}
