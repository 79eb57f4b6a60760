#pragma once
// The data list window: one recording as a table of 100-row pages with a
// column per channel, scroll bars over the rows and the channels, and eight
// edit boxes above the table in which the selected row's values can be
// corrected and saved back into the file in place. The paging and the save
// rule live in CSheetPage; this view only shows them.

#include "sheetpage.h"
#include "view.h"

#include <QString>
#include <map>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTableWidget;

class CSheetView : public CView {
    Q_OBJECT
public:
    // Control ids of the form.
    enum : int {
        IDC_ROW_EDIT = 1401,
        IDC_TIME_EDIT = 1406,
        IDC_VALUE_EDIT0 = 1409, // .. 1416
        IDC_SAVE = 1005,
        IDC_LIST = 1500,
        IDC_VSCROLL = 1801,
        IDC_HSCROLL = 1802,
        IDC_CAPTION0 = 1901, // .. 1908
    };
    static constexpr int kEditRowHeight = 50; // the edit row above the list
    static constexpr int kScrollBarWidth = 15;

    explicit CSheetView(QWidget* parent = nullptr);

    void OnInitialUpdate() override;
    void OnDraw(QPainter& painter, const QRect& client) override;
    void OnSize(int cx, int cy) override;

    // The form's controls by id (tests and the layout).
    QWidget* Control(int id) const;
    const CSheetPage& Page() const { return m_page; }
    bool IsReady() const { return m_ready; }

    // The handlers of the form's controls.
    void OnVScroll(int position);
    void OnHScroll(int position);
    void OnListSelectionChanged();
    void SaveSelectedRow();
    void OnExcelExport();

private:
    void CreateControls();
    void LoadFile();
    void LayOut();
    void FillList();
    void ShowSelectedRow();
    void UpdateScrollBars();
    bool Fahrenheit() const;

    QString m_filePath;
    CSheetPage m_page;
    SheetEditRow m_shown; // what the edits were filled with
    bool m_ready = false;

    QTableWidget* m_list = nullptr;
    QScrollBar* m_vScroll = nullptr;
    QScrollBar* m_hScroll = nullptr;
    QLineEdit* m_rowEdit = nullptr;
    QLineEdit* m_timeEdit = nullptr;
    QLineEdit* m_valueEdits[SheetEditRow::kEdits] = {};
    QLabel* m_captions[SheetEditRow::kEdits] = {};
    QPushButton* m_saveButton = nullptr;
    std::map<int, QWidget*> m_controls;
};
