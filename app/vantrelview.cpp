#include "vantrelview.h"

#include "bitmapexport.h"
#include "curvepara.h"
#include "document.h"
#include "mdichildwnd.h"
#include "mdiframewnd.h"
#include "promptservice.h"
#include "qpainterdc.h"
#include "timearith.h"
#include "trendprinter.h"
#include "vantrel.h"

#include <QPainter>

#if __has_include("excelexport.h")
#include "excelexport.h"
#define VANTREL_HAVE_EXCELEXPORT 1
#endif

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// The five mode buttons of the main toolbar, in mode order.
constexpr int kModeCommands[] = {cmd::ID_NORMAL_MODE, cmd::ID_ZOOM_IN, cmd::ID_ZOOM_OUT,
                                 cmd::ID_HEAD_TAIL, cmd::ID_PAGE_MODE};

DcRect ToDcRect(const QRect& r) {
    return DcRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

// Copies source over dest through a temporary file next to dest, so a copy
// that fails half-way never leaves a damaged file under the chosen name.
bool CopyFileReplacing(const std::filesystem::path& source, const std::filesystem::path& dest) {
    std::error_code ec;
    if (std::filesystem::equivalent(source, dest, ec))
        return true; // onto itself: the file already is the copy
    std::filesystem::path temp = dest;
    temp += ".vantrel-copy";
    if (!std::filesystem::copy_file(source, temp, std::filesystem::copy_options::overwrite_existing,
                                    ec)) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    std::filesystem::rename(temp, dest, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace

CVantrelView::CVantrelView() {
    OnCommand(cmd::ID_NORMAL_MODE, [this] { OnNormalMode(); });
    OnCommand(cmd::ID_ZOOM_IN, [this] { OnZoomInMode(); });
    OnCommand(cmd::ID_ZOOM_OUT, [this] { OnZoomOutMode(); });
    OnCommand(cmd::ID_HEAD_TAIL, [this] { OnHeadTailMode(); });
    OnCommand(cmd::ID_PAGE_MODE, [this] { OnPageMode(); });
    OnCommand(cmd::ID_CURVEPARA, [this] { OnCurveParameters(); });
    // A window without data has no parameters of its own to edit or write.
    OnUpdateCommand(cmd::ID_CURVEPARA, [this](CCmdUI& ui) { ui.Enable(m_window.HasData()); });
    OnCommand(cmd::ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    OnCommand(cmd::ID_EXCEL_EXPORT, [this] { OnExcelExport(); });
    OnCommand(cmd::ID_FILE_PRINT, [this] { DoFilePrint(); });
    OnCommand(cmd::ID_FILE_PRINT_DIRECT, [this] { DoFilePrint(true); });
    OnCommand(cmd::ID_FILE_PRINT_PREVIEW, [this] { DoFilePrintPreview(); });
    OnCommand(cmd::ID_SAVE_BITMAP, [this] { OnSaveBitmap(); });
}

void CVantrelView::OnInitialUpdate() {
    if (CMDIChildWnd* frame = GetParentFrame())
        frame->MDIMaximize();
    CDocument* doc = GetDocument();
    const QString path = doc ? doc->GetPathName() : QString();
    if (doc)
        doc->SetTitle(QStringLiteral("历史趋势曲线[") + path + QStringLiteral("]"));
    std::memset(&m_cursorReadout, 0, sizeof m_cursorReadout);
    m_mouseMode = MODE_NORMAL;
    m_window.FirstLoad(path.toStdString(), theApp.m_ChannelNames);
}

DcRect CVantrelView::ClientRectangle() const {
    return ToDcRect(GetClientRect());
}

DcRect CVantrelView::PlotRectangle() const {
    return PlotRect(ClientRectangle(), m_window.m_curvePara);
}

void CVantrelView::OnDraw(QPainter& painter, const QRect& client) {
    QPainterDc dc(painter);
    m_window.Draw(dc, ToDcRect(client), m_cursorReadout, theApp.m_nTempUnit);
}

void CVantrelView::Perform(TrendNavigator::Action action, int scrollDelta) {
    using A = TrendNavigator::Action;
    const uint8_t unit = theApp.m_nTempUnit;
    switch (action) {
    case A::None:
        break;
    case A::DrawWithReadout:
        DrawNow([&](QPainter& painter, const QRect& client) {
            QPainterDc dc(painter);
            m_window.Draw(dc, ToDcRect(client), m_cursorReadout, unit);
        });
        break;
    case A::DrawWithoutReadout:
        DrawNow([&](QPainter& painter, const QRect& client) {
            QPainterDc dc(painter);
            m_window.DrawWithoutReadout(dc, ToDcRect(client), unit);
        });
        break;
    case A::DrawReadoutOnly:
        DrawNow([&](QPainter& painter, const QRect& client) {
            QPainterDc dc(painter);
            m_window.DrawReadoutOnly(dc, ToDcRect(client), m_cursorReadout, unit, scrollDelta);
        });
        break;
    case A::Reload:
        ReloadWindow();
        break;
    }
}

void CVantrelView::OnLButtonDown(QPoint p, Qt::KeyboardModifiers) {
    if (!m_window.HasData())
        return;
    Perform(TrendNavigator::LeftButtonDown(m_mouseMode, m_cursorReadout, m_window.m_curvePara,
                                           m_window.m_header, PlotRectangle(), p.x(), p.y()));
}

void CVantrelView::OnLButtonUp(QPoint, Qt::KeyboardModifiers) {
    Perform(TrendNavigator::LeftButtonUp(m_cursorReadout));
}

void CVantrelView::OnMouseMove(QPoint p, Qt::MouseButtons) {
    if (!m_window.HasData())
        return;
    Perform(TrendNavigator::MouseMove(m_cursorReadout, p.x(), p.y()));
}

void CVantrelView::OnLButtonDblClk(QPoint p, Qt::KeyboardModifiers) {
    if (!m_window.HasData())
        return;
    Perform(TrendNavigator::DoubleClick(m_cursorReadout, PlotRectangle(), p.x(), p.y()));
}

void CVantrelView::OnMouseWheel(int delta, QPoint) {
    if (!m_window.HasData())
        return;
    int scrollDelta = 0;
    const auto action = TrendNavigator::Wheel(m_cursorReadout, delta, scrollDelta);
    Perform(action, scrollDelta);
}

void CVantrelView::SetMouseMode(uint8_t mode) {
    m_mouseMode = mode;
    if (CToolBar* bar = theApp.m_pToolBar)
        for (uint8_t m = 0; m < std::size(kModeCommands); ++m)
            bar->SetButtonChecked(kModeCommands[m], m == mode);
}

void CVantrelView::OnNormalMode() {
    SetMouseMode(MODE_NORMAL);
}
void CVantrelView::OnZoomInMode() {
    SetMouseMode(MODE_ZOOM_IN);
}
void CVantrelView::OnZoomOutMode() {
    SetMouseMode(MODE_ZOOM_OUT);
}
void CVantrelView::OnHeadTailMode() {
    SetMouseMode(MODE_HEAD_TAIL);
}
void CVantrelView::OnPageMode() {
    SetMouseMode(MODE_PAGE);
}

void CVantrelView::ReloadWindow() {
    switch (m_window.Reload()) {
    case TrendWindow::ReloadResult::Reloaded:
        Invalidate();
        break;
    case TrendWindow::ReloadResult::StartBeforeRecording:
        Prompt().MessageBox(QString::fromUtf8(kStartBeforeRecording));
        break;
    case TrendWindow::ReloadResult::StartAfterRecording:
        Prompt().MessageBox(QString::fromUtf8(kStartAfterRecording));
        break;
    case TrendWindow::ReloadResult::CannotOpen:
        break;
    }
}

void CVantrelView::OnCurveParameters() {
    if (!m_window.HasData())
        return;
    theApp.m_CurvePara = m_window.m_curvePara;
    theApp.m_ChannelNames = m_window.m_channelTable;
    CCurvePara dlg(this);
    if (dlg.DoModal() != IDOK)
        return;
    m_window.m_curvePara = theApp.m_CurvePara;
    m_window.m_channelTable = theApp.m_ChannelNames;
    ReloadWindow();
}

void CVantrelView::OnFileSaveAs() {
    const QString dest =
        Prompt().SaveFileDialog(QString::fromUtf8(kSaveAsFilter), QStringLiteral("*.tda"));
    if (dest.isEmpty())
        return;
    CDocument* doc = GetDocument();
    const QString source =
        doc ? doc->GetPathName() : QString::fromStdString(m_window.m_strPathName);
    if (!CopyFileReplacing(source.toStdString(), dest.toStdString()))
        Prompt().MessageBox(QStringLiteral("文件保存错误!"));
}

void CVantrelView::OnExcelExport() {
    if (CDocument* doc = GetDocument())
        theApp.m_strCurrentFile = doc->GetPathName();
#ifdef VANTREL_HAVE_EXCELEXPORT
    CExcelExport dlg(this);
    dlg.DoModal();
#endif
}

// ---- printing and bitmap export ----

bool CVantrelView::OnPreparePrinting(CPrintInfo& info) {
    // The change is made on the shared settings, so later print and page
    // setup dialogs of this run propose landscape A4 as well.
    SetLandscapeA4(FrameworkApp()->GetPrinter());
    if (info.m_pPrinter)
        SetLandscapeA4(*info.m_pPrinter);
    return DoPreparePrinting(info);
}

void CVantrelView::OnPrepareDC(QPainter& painter, CPrintInfo* pInfo) {
    if (pInfo && painter.device())
        PrepareTrendPrintPainter(painter, painter.device()->logicalDpiX(),
                                 painter.device()->logicalDpiY());
}

void CVantrelView::OnPrint(QPainter& painter, CPrintInfo& info) {
    QPainterDc dc(painter);
    DrawTrendPage(dc, PrintableAreaInUnits(painter, info.m_rectDraw), m_window, theApp.m_nTempUnit,
                  CurrentLocalTime());
}

void CVantrelView::OnSaveBitmap() {
    const QString path = Prompt().SaveFileDialog(QString::fromUtf8(kBitmapFilter),
                                                 QString::fromUtf8(kBitmapExtension), true);
    if (path.isEmpty())
        return;
    if (!SaveImageAsBmp(RenderClient(), path))
        Prompt().MessageBox(QString::fromUtf8(kBitmapSaveFailed));
}
