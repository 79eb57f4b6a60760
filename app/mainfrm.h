#pragma once
// The main window: toolbar, status bar, start-up recovery of an unsaved
// acquisition file, the exit question, and the commands 160 (data list of
// the active history file), 161 (real-time window, one at a time), 171 (open
// "Microsoft Excel 工作表.xls" with the desktop) and 172 (temperature unit).

#include "mdiframewnd.h"

#include <QUrl>
#include <functional>

class CMainFrame : public CMDIFrameWnd {
    Q_OBJECT
public:
    CMainFrame();

    bool OnCreate() override;

    void OnRealTime();
    void OnDataList();
    void OnOpenExcel();
    void OnTempUnit();

    // How command 171 hands a file to the desktop; tests replace it.
    static inline std::function<void(const QUrl&)> s_openUrl;

protected:
    bool OnClose() override;

private:
    bool CreateToolBar();
    bool CreateStatusBars();
    // The start-up question about a run left unsaved by an abnormal exit.
    // False when the user chose to save and then cancelled the dialog.
    bool RecoverTempFile();
    void ReportFailedFrame();
};
