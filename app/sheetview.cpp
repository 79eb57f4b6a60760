#include "sheetview.h"

#include "document.h"
#include "excelexport.h"
#include "mdichildwnd.h"
#include "promptservice.h"
#include "vantrel.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>

namespace {

constexpr int kRowColumnWidth = 50;
constexpr int kTimeColumnWidth = 130;
constexpr int kChannelColumnWidth = 80;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

CSheetView::CSheetView(QWidget* parent) : CView(parent) {
    CreateControls();
    OnCommand(cmd::ID_EXCEL_EXPORT, [this] { OnExcelExport(); });
}

void CSheetView::CreateControls() {
    // The edit row: captions at the top, edit boxes under them.
    auto addCaption = [this](const QString& text, int x, int w) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, 4, w, 18);
        return l;
    };
    auto addEdit = [this](int id, int x, int w, bool readOnly) {
        auto* e = new QLineEdit(this);
        e->setGeometry(x, 22, w, 22);
        e->setReadOnly(readOnly);
        m_controls[id] = e;
        return e;
    };
    int x = 4;
    addCaption("序号", x, 50);
    m_rowEdit = addEdit(IDC_ROW_EDIT, x, 50, true);
    x += 54;
    addCaption("时间", x, 130);
    m_timeEdit = addEdit(IDC_TIME_EDIT, x, 130, true);
    x += 134;
    for (int b = 0; b < SheetEditRow::kEdits; ++b, x += 74) {
        m_captions[b] = addCaption(QString("通道%1").arg(b + 1), x, 70);
        m_controls[IDC_CAPTION0 + b] = m_captions[b];
        m_valueEdits[b] = addEdit(IDC_VALUE_EDIT0 + b, x, 70, false);
        m_valueEdits[b]->setMaxLength(15); // a value is at most 15 characters
    }
    m_saveButton = new QPushButton("保存", this);
    m_saveButton->setGeometry(x, 21, 60, 24);
    m_controls[IDC_SAVE] = m_saveButton;
    connect(m_saveButton, &QPushButton::clicked, this, [this] { SaveSelectedRow(); });

    m_list = new QTableWidget(this);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(false);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->verticalHeader()->setDefaultSectionSize(18);
    m_controls[IDC_LIST] = m_list;
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
            [this] { OnListSelectionChanged(); });

    m_vScroll = new QScrollBar(Qt::Vertical, this);
    m_vScroll->setSingleStep(CSheetPage::kRowLineStep);
    m_vScroll->setPageStep(CSheetPage::kRowPageStep);
    m_controls[IDC_VSCROLL] = m_vScroll;
    connect(m_vScroll, &QScrollBar::valueChanged, this, [this](int v) { OnVScroll(v); });

    m_hScroll = new QScrollBar(Qt::Horizontal, this);
    m_hScroll->setSingleStep(CSheetPage::kChannelLineStep);
    m_hScroll->setPageStep(CSheetPage::kChannelPageStep);
    m_controls[IDC_HSCROLL] = m_hScroll;
    connect(m_hScroll, &QScrollBar::valueChanged, this, [this](int v) { OnHScroll(v); });
}

QWidget* CSheetView::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

bool CSheetView::Fahrenheit() const {
    return theApp.m_nTempUnit != 0;
}

void CSheetView::OnInitialUpdate() {
    if (CMDIChildWnd* frame = GetParentFrame())
        frame->MDIMaximize();
    if (GetDocument())
        m_filePath = GetDocument()->GetPathName();
    LayOut();
    LoadFile();
}

void CSheetView::LoadFile() {
    // A file that cannot be read leaves the list empty, without a message:
    // the history window of the same file says what is wrong with it.
    if (!m_page.Load(m_filePath.toStdString(), theApp.m_ChannelNames, Fahrenheit()))
        return;
    UpdateScrollBars();
    FillList();
    ShowSelectedRow();
    m_ready = true;
}

void CSheetView::OnSize(int, int) {
    if (m_ready)
        LayOut();
}

void CSheetView::LayOut() {
    const QRect c = GetClientRect();
    const int s = kScrollBarWidth;
    m_list->setGeometry(
        QRect(QPoint(c.left(), c.top() + kEditRowHeight), QPoint(c.right() - s, c.bottom() - s)));
    m_hScroll->setGeometry(
        QRect(QPoint(c.left(), c.bottom() - s + 1), QPoint(c.right() - s, c.bottom())));
    m_vScroll->setGeometry(QRect(QPoint(c.right() - s + 1, c.top() + kEditRowHeight),
                                 QPoint(c.right(), c.bottom() - s)));
}

void CSheetView::OnDraw(QPainter& painter, const QRect& client) {
    painter.fillRect(client, palette().window());
}

void CSheetView::UpdateScrollBars() {
    QSignalBlocker bv(m_vScroll), bh(m_hScroll);
    m_vScroll->setRange(0, int(std::max(0LL, m_page.RowCount() - 1)));
    m_vScroll->setValue(int(m_page.FirstRow()));
    m_hScroll->setRange(0, std::max(0, m_page.ChannelCount() - 1));
    m_hScroll->setValue(m_page.FirstChannel());
}

void CSheetView::FillList() {
    // Rebuilding the list drops its selection; the selected item and the
    // edits stay as they are.
    QSignalBlocker block(m_list);
    const std::vector<std::string> titles = m_page.ColumnTitles();
    m_list->clear();
    m_list->setColumnCount(int(titles.size()));
    m_list->setRowCount(m_page.PageRowCount());
    QStringList labels;
    for (const std::string& t : titles)
        labels << Q(t);
    m_list->setHorizontalHeaderLabels(labels);
    for (int col = 0; col < int(titles.size()); ++col)
        m_list->setColumnWidth(col, col == 0   ? kRowColumnWidth
                                    : col == 1 ? kTimeColumnWidth
                                               : kChannelColumnWidth);
    for (int item = 0; item < m_page.PageRowCount(); ++item)
        for (int col = 0; col < int(titles.size()); ++col)
            m_list->setItem(item, col, new QTableWidgetItem(Q(m_page.CellText(item, col))));
}

void CSheetView::ShowSelectedRow() {
    if (m_page.SelectedItem() < 0)
        return;
    m_shown = m_page.SelectedRow();
    m_rowEdit->setText(Q(m_shown.rowText));
    m_timeEdit->setText(Q(m_shown.timeText));
    for (int b = 0; b < SheetEditRow::kEdits; ++b) {
        m_captions[b]->setText(Q(m_shown.captions[b]));
        m_valueEdits[b]->setText(Q(m_shown.texts[b]));
        m_valueEdits[b]->setEnabled(m_shown.enabled[b]);
    }
}

void CSheetView::OnVScroll(int position) {
    m_page.LoadPage(m_page.FirstChannel(), position, Fahrenheit());
    UpdateScrollBars();
    FillList();
}

void CSheetView::OnHScroll(int position) {
    m_page.LoadPage(position, m_page.FirstRow(), Fahrenheit());
    UpdateScrollBars();
    FillList();
    ShowSelectedRow();
}

void CSheetView::OnListSelectionChanged() {
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    int item = -1;
    for (const QModelIndex& i : rows)
        item = item < 0 ? i.row() : std::min(item, i.row());
    m_page.SelectItem(item);
    if (item >= 0)
        ShowSelectedRow();
}

void CSheetView::SaveSelectedRow() {
    std::array<std::string, SheetEditRow::kEdits> edited;
    for (int b = 0; b < SheetEditRow::kEdits; ++b)
        edited[b] = m_valueEdits[b]->text().toStdString();
    const SheetSaveResult r = m_page.SaveRow(m_shown, edited);
    if (!r.message.empty())
        Prompt().MessageBox(Q(r.message), MB_OK | MB_ICONEXCLAMATION);
    if (r.status != SheetSaveStatus::Saved)
        return;
    FillList();
    // The edits show what the file now holds when their row is on the page.
    if (m_page.SelectedRow().row == m_shown.row)
        ShowSelectedRow();
}

void CSheetView::OnExcelExport() {
    if (GetDocument())
        theApp.m_strCurrentFile = GetDocument()->GetPathName();
    CExcelExport dlg;
    dlg.DoModal();
}
