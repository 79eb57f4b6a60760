// The menu bar follows the active window: texts, ids and order of the four
// menus as the user sees them.

#include "document.h"
#include "mdichildwnd.h"
#include "resources.h"
#include "shellfixture.h"

#include <QMenu>
#include <QMenuBar>

namespace {

using Menu = std::vector<std::pair<QString, QStringList>>;

// "text=id" per item, "-" per separator.
Menu ShownMenu(QMenuBar* bar) {
    Menu out;
    for (QAction* top : bar->actions()) {
        QStringList items;
        for (QAction* a : top->menu()->actions()) {
            if (a->isSeparator()) {
                items << QStringLiteral("-");
                continue;
            }
            const QString text = a->property("resourceText").isValid()
                                     ? a->property("resourceText").toString()
                                     : a->text();
            items << text + QLatin1Char('=') + QString::number(a->property("commandId").toInt());
        }
        out.emplace_back(top->property("resourceText").toString(), items);
    }
    return out;
}

const QStringList kHelp = {QStringLiteral("关于 Vantrel(&A)...=57664")};
const QStringList kBars = {QStringLiteral("工具栏(&T)=59392"), QStringLiteral("状态栏(&S)=59393")};

const Menu kMain = {
    {"文件(&F)",
     {"打开...\tCtrl+O(&O)=57601", "打开Excel=171", "实时数据采集=161", "-",
      "打印设置(&R)...=57606", "-", "最近的文件=57616", "-", "关闭(&C)=57602", "退出(&X)=57665"}},
    {"视图(&V)", kBars},
    {"帮助(&H)", kHelp},
};

const Menu kHistory = {
    {"文件(&F)",
     {"打开...\tCtrl+O(&O)=57601", "关闭(&C)=57602", "另存为(&A)...=57604", "另存为位图...=151",
      "打开Excel=171", "Excel 导出...=168", "实时数据采集=161", "历史数据列表=160", "-",
      "打印...\tCtrl+P(&P)=57607", "打印预览(&V)=57609", "打印设置(&R)...=57606", "-", "RECENT",
      "-", "退出(&X)=57665"}},
    {"视图(&V)", kBars + QStringList{"放大模式=32774", "缩小模式=32775", "正常模式=32776",
                                     "移到首部或尾部=32779", "翻屏=32778"}},
    {"设置", {"曲线参数...=169", "温度单位...=172"}},
    {"窗口(&W)", {"新建窗口(&N)=57648", "层叠(&C)=57650", "平铺(&T)=57651", "排列图标(&A)=57649"}},
    {"帮助(&H)", kHelp},
};

const Menu kList = {
    {"文件(&F)",
     {"打开...\tCtrl+O(&O)=57601", "关闭(&C)=57602", "打开Excel=171", "Excel 导出...=168",
      "实时数据采集=161", "-", "打印...\tCtrl+P(&P)=57607", "打印预览(&V)=57609",
      "打印设置(&R)...=57606", "-", "RECENT", "-", "退出(&X)=57665"}},
    {"视图(&V)", kBars},
    {"窗口(&W)", {"新建窗口(&N)=57648", "层叠(&C)=57650", "平铺(&T)=57651", "排列图标(&A)=57649"}},
    {"帮助(&H)", kHelp},
};

const Menu kRealTime = {
    {"文件(&F)",
     {"打开...\tCtrl+O(&O)=57601", "关闭(&C)=57602", "保存\tCtrl+S(&S)=57604", "打开Excel=171", "-",
      "最近的文件=57616", "-", "退出(&X)=57665"}},
    {"视图(&V)", kBars},
    {"设置", {"串口设置...=162", "曲线参数...=165", "设备参数...=170", "温度单位...=172"}},
    {"操作", {"开始实时采集=166", "停止实时采集=167"}},
    {"窗口(&W)", {"层叠(&C)=57650", "平铺(&T)=57651", "排列图标(&A)=57649"}},
    {"帮助(&H)", kHelp},
};

// Replaces "RECENT" by the recent-file entries the menu must show.
Menu WithRecent(Menu m, const QStringList& entries) {
    for (auto& [title, items] : m) {
        const int i = items.indexOf(QStringLiteral("RECENT"));
        if (i >= 0) {
            items.removeAt(i);
            for (int k = entries.size() - 1; k >= 0; --k)
                items.insert(i, entries[k]);
        }
    }
    return m;
}

} // namespace

TEST_F(ShellTest, MenusFollowTheActiveWindow) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(ShownMenu(Frame()->menuBar()), kMain);

    Frame()->SendCommand(cmd::ID_REALTIME);
    Settle();
    EXPECT_EQ(Frame()->CurrentMenuId(), 155);
    EXPECT_EQ(ShownMenu(Frame()->menuBar()), kRealTime);

    const QString file = TempPath("menu.tda");
    WriteAll(file, QByteArray(10, '\0'));
    ASSERT_NE(theApp.OpenDocumentFile(file), nullptr);
    Settle();
    const QString recent = theApp.RecentFiles().MenuText(0) + QStringLiteral("=57616");
    EXPECT_EQ(Frame()->CurrentMenuId(), 152);
    EXPECT_EQ(ShownMenu(Frame()->menuBar()), WithRecent(kHistory, {recent}));

    Frame()->SendCommand(cmd::ID_DATA_LIST);
    Settle();
    EXPECT_EQ(Frame()->CurrentMenuId(), 154);
    EXPECT_EQ(ShownMenu(Frame()->menuBar()), WithRecent(kList, {recent}));
}

TEST(MenuTextTest, MnemonicMovesBeforeTheShortcut) {
    EXPECT_EQ(resources::DisplayText(QStringLiteral("打开...\tCtrl+O(&O)")),
              QStringLiteral("打开...(&O)\tCtrl+O"));
    EXPECT_EQ(resources::DisplayText(QStringLiteral("保存\tCtrl+S(&S)")),
              QStringLiteral("保存(&S)\tCtrl+S"));
    EXPECT_EQ(resources::DisplayText(QStringLiteral("退出(&X)")), QStringLiteral("退出(&X)"));
}

TEST_F(ShellTest, MenuStatesComeFromTheRoute) {
    ASSERT_TRUE(Start());
    // Always enabled commands of the main frame and the application.
    for (int id : {cmd::ID_OPEN_EXCEL, cmd::ID_REALTIME, cmd::ID_FILE_OPEN, cmd::ID_APP_ABOUT,
                   cmd::ID_APP_EXIT})
        EXPECT_TRUE(Frame()->QueryCommandUI(id).m_bEnabled) << id;
    // Nothing to close, no handler for cut: disabled.
    EXPECT_FALSE(Frame()->QueryCommandUI(cmd::ID_FILE_CLOSE).m_bEnabled);
    EXPECT_FALSE(Frame()->QueryCommandUI(cmd::ID_EDIT_CUT).m_bEnabled);
    const CCmdUI bars = Frame()->QueryCommandUI(cmd::ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(bars.m_bCheckable);
    EXPECT_EQ(bars.m_nCheck, 1);
    Frame()->SendCommand(cmd::ID_VIEW_STATUS_BAR);
    EXPECT_EQ(Frame()->QueryCommandUI(cmd::ID_VIEW_STATUS_BAR).m_nCheck, 0);
}

TEST_F(ShellTest, ToolbarHasTheButtonsAndTipsInOrder) {
    ASSERT_TRUE(Start());
    CToolBar* bar = Frame()->ToolBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(theApp.m_pToolBar, bar);
    QStringList shown;
    for (QAction* a : bar->actions())
        shown << (a->isSeparator() ? QStringLiteral("-")
                                   : a->toolTip() + QLatin1Char('=') +
                                         QString::number(a->property("commandId").toInt()));
    EXPECT_EQ(shown, (QStringList{"打开=57601", "另存为=57604", "-", "剪切=57635", "复制=57634",
                                  "粘贴=57637", "-", "打印=57607", "关于=57664", "-",
                                  "打开Excel=171", "-", "放大模式=32774", "缩小模式=32775",
                                  "正常模式=32776", "移到首部或尾部=32779", "翻屏=32778"}));
    for (int i = 12; i <= 16; ++i)
        EXPECT_FALSE(bar->actions()[i]->icon().isNull());
    EXPECT_EQ(bar->CommandToIndex(cmd::ID_ZOOM_IN), 12);
    EXPECT_EQ(bar->CommandToIndex(cmd::ID_PAGE_MODE), 16);
}
