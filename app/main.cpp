// Vantrel: multi-channel temperature acquisition and trend display.
//
//   Vantrel [file.tda] [--acquire]
//
// With a file argument the recording opens in a history window; without
// one the main window opens with no document window. --acquire opens the
// real-time window and starts acquiring from the configured port.

#include "fonts.h"
#include "launchprobe.h"
#include "mainfrm.h"
#include "vantrel.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
    InstallChineseFonts();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("多通道温度数据采集与趋势曲线"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("要打开的记录文件 (.tda)"),
                                 QStringLiteral("[file.tda]"));
    // ---- Program options: declare them here ... ----
    QCommandLineOption acquireOption(
        QStringLiteral("acquire"),
        QStringLiteral(
            "打开实时数据采集窗口并开始采集 (open the real-time window and start acquiring)"));
    parser.addOption(acquireOption);

    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        parser.showHelp(1);
    theApp.m_cmdInfo.m_strFileName = files.value(0);

    if (!theApp.InitInstance()) {
        theApp.ExitInstance();
        return 0;
    }
    // ---- ... and act on them here, once the main window is shown. ----

    InstallLaunchProbe(theApp.MainFrame());
    if (parser.isSet(acquireOption)) {
        if (CMainFrame* frame = theApp.MainFrame()) {
            frame->SendCommand(cmd::ID_REALTIME);
            frame->SendCommand(cmd::ID_START_ACQUIRE);
        }
    }

    app.exec();
    return theApp.ExitInstance();
}
