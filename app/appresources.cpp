#include "appresources.h"

#include "commandids.h"
#include "resources.h"
#include "vantrel.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {

using namespace cmd;

MenuItemDef HelpMenu() {
    return MenuPopup(QStringLiteral("帮助(&H)"),
                     {MenuCommand(QStringLiteral("关于 Vantrel(&A)..."), ID_APP_ABOUT)});
}
MenuItemDef Item(const char* text, int id) {
    return MenuCommand(QString::fromUtf8(text), id);
}
MenuItemDef Sep() {
    return MenuSeparator();
}
MenuItemDef Recent() {
    return MenuCommand(QStringLiteral("最近的文件"), ID_FILE_MRU_FILE1);
}

const char* const kOpen = "打开...\tCtrl+O(&O)";
const char* const kClose = "关闭(&C)";
const char* const kExit = "退出(&X)";
const char* const kPrint = "打印...\tCtrl+P(&P)";
const char* const kPreview = "打印预览(&V)";
const char* const kPrintSetup = "打印设置(&R)...";

MenuItemDef ViewMenu(std::vector<MenuItemDef> extra = {}) {
    std::vector<MenuItemDef> items{Item("工具栏(&T)", ID_VIEW_TOOLBAR),
                                   Item("状态栏(&S)", ID_VIEW_STATUS_BAR)};
    for (auto& e : extra)
        items.push_back(std::move(e));
    return MenuPopup(QStringLiteral("视图(&V)"), std::move(items));
}

MenuItemDef WindowMenu(bool withNewWindow) {
    std::vector<MenuItemDef> items;
    if (withNewWindow)
        items.push_back(Item("新建窗口(&N)", ID_WINDOW_NEW));
    items.push_back(Item("层叠(&C)", ID_WINDOW_CASCADE));
    items.push_back(Item("平铺(&T)", ID_WINDOW_TILE_HORZ));
    items.push_back(Item("排列图标(&A)", ID_WINDOW_ARRANGE));
    return MenuPopup(QStringLiteral("窗口(&W)"), std::move(items));
}

MenuDef MainMenu() {
    return {
        MenuPopup(QStringLiteral("文件(&F)"),
                  {Item(kOpen, ID_FILE_OPEN), Item("打开Excel", ID_OPEN_EXCEL),
                   Item("实时数据采集", ID_REALTIME), Sep(), Item(kPrintSetup, ID_FILE_PRINT_SETUP),
                   Sep(), Recent(), Sep(), Item(kClose, ID_FILE_CLOSE), Item(kExit, ID_APP_EXIT)}),
        ViewMenu(), HelpMenu()};
}

MenuDef HistoryMenu() {
    return {
        MenuPopup(QStringLiteral("文件(&F)"),
                  {Item(kOpen, ID_FILE_OPEN), Item(kClose, ID_FILE_CLOSE),
                   Item("另存为(&A)...", ID_FILE_SAVE_AS), Item("另存为位图...", ID_SAVE_BITMAP),
                   Item("打开Excel", ID_OPEN_EXCEL), Item("Excel 导出...", ID_EXCEL_EXPORT),
                   Item("实时数据采集", ID_REALTIME), Item("历史数据列表", ID_DATA_LIST), Sep(),
                   Item(kPrint, ID_FILE_PRINT), Item(kPreview, ID_FILE_PRINT_PREVIEW),
                   Item(kPrintSetup, ID_FILE_PRINT_SETUP), Sep(), Recent(), Sep(),
                   Item(kExit, ID_APP_EXIT)}),
        ViewMenu({Item("放大模式", ID_ZOOM_IN), Item("缩小模式", ID_ZOOM_OUT),
                  Item("正常模式", ID_NORMAL_MODE), Item("移到首部或尾部", ID_HEAD_TAIL),
                  Item("翻屏", ID_PAGE_MODE)}),
        MenuPopup(QStringLiteral("设置"),
                  {Item("曲线参数...", ID_CURVEPARA), Item("温度单位...", ID_TEMP_UNIT)}),
        WindowMenu(true), HelpMenu()};
}

MenuDef ListMenu() {
    return {
        MenuPopup(QStringLiteral("文件(&F)"),
                  {Item(kOpen, ID_FILE_OPEN), Item(kClose, ID_FILE_CLOSE),
                   Item("打开Excel", ID_OPEN_EXCEL), Item("Excel 导出...", ID_EXCEL_EXPORT),
                   Item("实时数据采集", ID_REALTIME), Sep(), Item(kPrint, ID_FILE_PRINT),
                   Item(kPreview, ID_FILE_PRINT_PREVIEW), Item(kPrintSetup, ID_FILE_PRINT_SETUP),
                   Sep(), Recent(), Sep(), Item(kExit, ID_APP_EXIT)}),
        ViewMenu(), WindowMenu(true), HelpMenu()};
}

MenuDef RealTimeMenu() {
    return {
        MenuPopup(QStringLiteral("文件(&F)"),
                  {Item(kOpen, ID_FILE_OPEN), Item(kClose, ID_FILE_CLOSE),
                   Item("保存\tCtrl+S(&S)", ID_FILE_SAVE_AS), Item("打开Excel", ID_OPEN_EXCEL),
                   Sep(), Recent(), Sep(), Item(kExit, ID_APP_EXIT)}),
        ViewMenu(),
        MenuPopup(QStringLiteral("设置"),
                  {Item("串口设置...", ID_COM_SETTING), Item("曲线参数...", ID_REALTIME_CURVEPARA),
                   Item("设备参数...", ID_DEVICE_PARA), Item("温度单位...", ID_TEMP_UNIT)}),
        MenuPopup(QStringLiteral("操作"),
                  {Item("开始实时采集", ID_START_ACQUIRE), Item("停止实时采集", ID_STOP_ACQUIRE)}),
        WindowMenu(false),
        HelpMenu()};
}

std::vector<AcceleratorDef> MainAccelerators() {
    return {
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
    };
}

// ---- images, drawn so that the program needs no image files ----

QPixmap Canvas(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

QIcon Drawn(int size, const std::function<void(QPainter&)>& draw) {
    QPixmap pm = Canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return QIcon(pm);
}

QIcon Magnifier(bool plus) {
    return Drawn(16, [plus](QPainter& p) {
        p.setPen(QPen(QColor(40, 40, 40), 1.6));
        p.setBrush(QColor(220, 235, 255));
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(QColor(40, 40, 40), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        p.setPen(QPen(QColor(0, 0, 160), 1.4));
        p.drawLine(QPointF(3.5, 6), QPointF(8.5, 6));
        if (plus)
            p.drawLine(QPointF(6, 3.5), QPointF(6, 8.5));
    });
}

QIcon Arrow() {
    return Drawn(16, [](QPainter& p) {
        QPainterPath path;
        path.moveTo(4, 1);
        path.lineTo(4, 13);
        path.lineTo(7, 10);
        path.lineTo(9.5, 15);
        path.lineTo(11.5, 14);
        path.lineTo(9, 9);
        path.lineTo(13, 9);
        path.closeSubpath();
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawPath(path);
    });
}

QIcon HeadTail() {
    return Drawn(16, [](QPainter& p) {
        p.setPen(QPen(QColor(0, 90, 0), 1.5));
        p.drawLine(QPointF(1.5, 2), QPointF(1.5, 14));
        p.drawLine(QPointF(14.5, 2), QPointF(14.5, 14));
        p.setBrush(QColor(0, 140, 0));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(3, 8), QPointF(7, 4), QPointF(7, 12)}));
        p.drawPolygon(QPolygonF({QPointF(13, 8), QPointF(9, 4), QPointF(9, 12)}));
    });
}

QIcon PageFlip() {
    return Drawn(16, [](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 1.5, 11, 13));
        p.setPen(QPen(QColor(0, 0, 170), 1.5));
        p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
        p.drawLine(QPointF(4.5, 8), QPointF(7, 5.5));
        p.drawLine(QPointF(4.5, 8), QPointF(7, 10.5));
        p.drawLine(QPointF(11.5, 8), QPointF(9, 5.5));
        p.drawLine(QPointF(11.5, 8), QPointF(9, 10.5));
    });
}

QIcon Sheet() {
    return Drawn(16, [](QPainter& p) {
        p.setPen(QPen(QColor(0, 100, 40), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        for (double y = 5.5; y < 14; y += 3)
            p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
        p.drawLine(QPointF(6.5, 1.5), QPointF(6.5, 14.5));
        p.setBrush(QColor(0, 130, 60));
        p.drawRect(QRectF(1.5, 1.5, 13, 4));
    });
}

QIcon Scissors() {
    return Drawn(16, [](QPainter& p) {
        p.setPen(QPen(QColor(50, 50, 50), 1.3));
        p.drawLine(QPointF(4, 1), QPointF(10, 11));
        p.drawLine(QPointF(12, 1), QPointF(6, 11));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2, 10.5, 4.5, 4.5));
        p.drawEllipse(QRectF(9.5, 10.5, 4.5, 4.5));
    });
}

QIcon Copy() {
    return Drawn(16, [](QPainter& p) {
        p.setPen(QPen(QColor(50, 50, 50), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 10));
        p.drawRect(QRectF(6.5, 4.5, 8, 10));
    });
}

QIcon Paste() {
    return Drawn(16, [](QPainter& p) {
        p.setPen(QPen(QColor(90, 60, 20), 1));
        p.setBrush(QColor(200, 160, 90));
        p.drawRect(QRectF(1.5, 2.5, 10, 12));
        p.setBrush(Qt::white);
        p.setPen(QPen(QColor(50, 50, 50), 1));
        p.drawRect(QRectF(6.5, 6.5, 8, 8));
    });
}

QIcon Printer() {
    return Drawn(16, [](QPainter& p) {
        p.setPen(QPen(QColor(50, 50, 50), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
    });
}

QIcon Question() {
    return Drawn(16, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 90, 200));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(11);
        p.setFont(f);
        p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
    });
}

} // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm = Canvas(size);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size / 64.0;
        p.scale(s, s);
        p.setPen(QPen(QColor(20, 40, 90), 3));
        p.setBrush(QColor(10, 30, 70));
        p.drawRoundedRect(QRectF(3, 3, 58, 58), 8, 8);
        p.setPen(QPen(QColor(70, 90, 130), 1.5));
        for (int x = 15; x < 60; x += 12)
            p.drawLine(QPointF(x, 8), QPointF(x, 56));
        for (int y = 15; y < 60; y += 12)
            p.drawLine(QPointF(8, y), QPointF(56, y));
        QPainterPath red;
        red.moveTo(8, 44);
        red.cubicTo(20, 20, 30, 48, 40, 26);
        red.cubicTo(46, 14, 52, 22, 56, 16);
        p.setPen(QPen(QColor(255, 70, 60), 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(red);
        QPainterPath green;
        green.moveTo(8, 52);
        green.cubicTo(22, 40, 34, 54, 56, 36);
        p.setPen(QPen(QColor(60, 220, 90), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(green);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon ToolbarIcon(int id) {
    QStyle* style = QApplication::style();
    switch (id) {
    case ID_FILE_OPEN:
        return style->standardIcon(QStyle::SP_DialogOpenButton);
    case ID_FILE_SAVE_AS:
        return style->standardIcon(QStyle::SP_DialogSaveButton);
    case ID_EDIT_CUT:
        return Scissors();
    case ID_EDIT_COPY:
        return Copy();
    case ID_EDIT_PASTE:
        return Paste();
    case ID_FILE_PRINT:
        return Printer();
    case ID_APP_ABOUT:
        return Question();
    case cmd::ID_OPEN_EXCEL:
        return Sheet();
    case cmd::ID_ZOOM_IN:
        return Magnifier(true);
    case cmd::ID_ZOOM_OUT:
        return Magnifier(false);
    case cmd::ID_NORMAL_MODE:
        return Arrow();
    case cmd::ID_HEAD_TAIL:
        return HeadTail();
    case cmd::ID_PAGE_MODE:
        return PageFlip();
    default:
        return {};
    }
}

void RegisterAppResources() {
    resources::RegisterMenu(res::IDR_MAINFRAME, MainMenu());
    resources::RegisterMenu(res::IDR_HISTORY, HistoryMenu());
    resources::RegisterMenu(res::IDR_LIST, ListMenu());
    resources::RegisterMenu(res::IDR_REALTIME, RealTimeMenu());

    resources::RegisterString(res::IDR_MAINFRAME, QStringLiteral("Vantrel"));
    resources::RegisterString(
        res::IDR_HISTORY,
        QStringLiteral(
            "\nVantrel\nVantrel\nVantrel Files (*.tda)\n.tda\nVantrel.Document\nVantrel.Document"));
    resources::RegisterString(
        res::IDR_LIST,
        QStringLiteral(
            "\nVantrel\nVantrel\nVantrel Files (*.tls)\n.tda\nVantrel.Document\nVantrel.Document"));
    resources::RegisterString(res::IDR_REALTIME, QStringLiteral("\n实时数据采集"));

    const QIcon icon = ProgramIcon();
    QApplication::setWindowIcon(icon);
    for (int id : {res::IDR_MAINFRAME, res::IDR_HISTORY, res::IDR_LIST, res::IDR_REALTIME})
        resources::RegisterIcon(id, icon);

    resources::RegisterAccelerators(res::IDR_MAINFRAME, MainAccelerators());
}
