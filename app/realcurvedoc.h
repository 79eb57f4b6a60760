#pragma once
// The document of the real-time acquisition window (and of data list
// windows). It holds no data; its close asks before acquisition data is lost:
//
//  - during a run: "正在实时采集数据，退出数据会丢失，要退出吗？" (OK, cancel);
//    OK discards the run, cancel keeps the window;
//  - after an unsaved run: "上次实时采集的数据未保存，要保存吗？" (yes, no,
//    cancel); yes saves the temporary file under a chosen .tda path, no
//    deletes it, cancel keeps the window. While the program exits, cancel
//    keeps the temporary file and the recovery record, so the next start
//    offers the data again.

#include "document.h"

#include <QString>

class CRealCurveDoc : public CDocument {
public:
    CRealCurveDoc();

    void OnCloseDocument() override;

    // Copies the temporary file to path and deletes it. On failure the
    // temporary file and the recovery record stay and the user is told.
    // Shared by the save paths of the real-time window.
    static bool SaveRunTo(const QString& path);
    static const QString kTdaFilter;
    static const QString kTdaExtension;

private:
    // The questions of a close; true when the window may close.
    bool ConfirmClose();
    bool IsRealTimeDocument() const;
};
