#include "vantrel.h"

#include "aboutdlg.h"
#include "appresources.h"
#include "childfrm.h"
#include "commandids.h"
#include "datafolder.h"
#include "doctemplate.h"
#include "mainfrm.h"
#include "promptservice.h"
#include "realcurvedoc.h"
#include "realcurveview.h"
#include "sheetview.h"
#include "vantreldoc.h"
#include "vantrelview.h"
#include "zorcomm.h"

#include <QApplication>
#include <QScreen>
#include <QtDebug>
#include <cstring>
#include <filesystem>

CVantrelApp theApp;

namespace {
const char* const kComParaFile = "COMPARA.DAT";
const char* const kCurveParaFile = "CURVEPARA.DAT";
const char* const kTempInfoFile = "TempInfo.DAT";
const char* const kSaveError = "文件保存错误!";

void PutLE32(uint8_t* p, int32_t v) {
    const uint32_t u = uint32_t(v);
    p[0] = uint8_t(u);
    p[1] = uint8_t(u >> 8);
    p[2] = uint8_t(u >> 16);
    p[3] = uint8_t(u >> 24);
}
int32_t GetLE32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                   (uint32_t(p[3]) << 24));
}

// Reads up to size bytes; returns how many were read, or -1 when the file
// cannot be opened in mode.
long ReadUpTo(const std::string& path, const char* mode, void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (!f)
        return -1;
    const std::size_t n = std::fread(data, 1, size, f);
    std::fclose(f);
    return long(n);
}

void ComMessage(const char* utf8Text) {
    Prompt().MessageBox(QString::fromUtf8(utf8Text), MB_OK);
}
void ComBeep() {
    QApplication::beep();
}
} // namespace

// ---- ComPara ----

void ComPara::SetDefaults() {
    nPort = 0;
    bOpen = 0;
    nBaud = 6;
    nParity = 0;
    nByteSize = 3;
    nStopBits = 0;
    reserved0 = 0;
    reserved1 = 0;
    reserved2 = 255;
    nSampleSec = 1;
    reserved.fill(0);
}

void EncodeComPara(const ComPara& p, uint8_t unit, uint8_t out[kComParaFileBytes]) {
    const int32_t fields[10] = {p.nPort,     p.bOpen,     p.nBaud,     p.nParity,   p.nByteSize,
                                p.nStopBits, p.reserved0, p.reserved1, p.reserved2, p.nSampleSec};
    for (int i = 0; i < 10; ++i)
        PutLE32(out + 4 * i, fields[i]);
    std::memcpy(out + 40, p.reserved.data(), 128);
    out[168] = unit;
}

void DecodeComPara(const uint8_t* in, std::size_t n, ComPara& p, uint8_t& unit) {
    int32_t* fields[10] = {&p.nPort,     &p.bOpen,     &p.nBaud,     &p.nParity,   &p.nByteSize,
                           &p.nStopBits, &p.reserved0, &p.reserved1, &p.reserved2, &p.nSampleSec};
    for (int i = 0; i < 10; ++i) {
        if (n >= std::size_t(4 * i + 4)) {
            *fields[i] = GetLE32(in + 4 * i);
        } else if (n > std::size_t(4 * i)) {
            // A field cut short: its first bytes replace the old ones.
            uint8_t bytes[4];
            PutLE32(bytes, *fields[i]);
            std::memcpy(bytes, in + 4 * i, n - 4 * i);
            *fields[i] = GetLE32(bytes);
        }
    }
    if (n > 40)
        std::memcpy(p.reserved.data(), in + 40, std::min<std::size_t>(n - 40, 128));
    if (n >= 169)
        unit = in[168];
}

void KeepIndexesInTables(ComPara& p) {
    auto within = [](int32_t v, int count) { return v >= 0 && v < count; };
    if (!within(p.nPort, 255))
        p.nPort = 0;
    if (!within(p.nBaud, 13))
        p.nBaud = 6;
    if (!within(p.nParity, 5))
        p.nParity = 0;
    if (!within(p.nByteSize, 4))
        p.nByteSize = 3;
    if (!within(p.nStopBits, 3))
        p.nStopBits = 0;
}

// ---- CVantrelApp ----

CVantrelApp::CVantrelApp() {
    OnCommand(cmd::ID_APP_ABOUT, [this] { OnAppAbout(); });
}

CVantrelApp::~CVantrelApp() = default;

std::string CVantrelApp::SettingsPath(const char* name) {
    return (std::filesystem::path(vantrel::DataFolder()) / name).string();
}

CMainFrame* CVantrelApp::MainFrame() const {
    return static_cast<CMainFrame*>(m_pMainWnd);
}

bool CVantrelApp::WriteFile(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr;
    if (f) {
        ok = std::fwrite(data, 1, size, f) == size;
        ok = (std::fclose(f) == 0) && ok;
    }
    if (!ok)
        Prompt().MessageBox(QString::fromUtf8(kSaveError), MB_OK);
    return ok;
}

void CVantrelApp::LoadComPara() {
    uint8_t image[kComParaFileBytes];
    // Opened for reading with write access, as the settings are rewritten later.
    const long n = ReadUpTo(SettingsPath(kComParaFile), "r+b", image, sizeof image);
    if (n < 0) {
        m_ComPara.SetDefaults();
        m_nTempUnit = 0;
        SaveComPara();
        return;
    }
    DecodeComPara(image, std::size_t(n), m_ComPara, m_nTempUnit);
    KeepIndexesInTables(m_ComPara);
    // No port is open when the program starts; a stored 1 is left over from
    // a run that ended abnormally and would keep the port from being opened.
    m_ComPara.bOpen = 0;
}

void CVantrelApp::SaveComPara() {
    uint8_t image[kComParaFileBytes];
    EncodeComPara(m_ComPara, m_nTempUnit, image);
    WriteFile(SettingsPath(kComParaFile), image, sizeof image);
}

long CVantrelApp::ReadCurveParaFile(CurveParameters& para, ChannelNameTable& names) {
    uint8_t image[kCurveParaFileBytes];
    std::memcpy(image, &para, sizeof para);
    std::memcpy(image + sizeof para, &names, sizeof names);
    const long n = ReadUpTo(SettingsPath(kCurveParaFile), "rb", image, sizeof image);
    if (n >= 0) {
        std::memcpy(&para, image, sizeof para);
        std::memcpy(&names, image + sizeof para, sizeof names);
    }
    return n;
}

bool CVantrelApp::WriteCurveParaFile(const CurveParameters& para, const ChannelNameTable& names) {
    uint8_t image[kCurveParaFileBytes];
    std::memcpy(image, &para, sizeof para);
    std::memcpy(image + sizeof para, &names, sizeof names);
    std::FILE* f = std::fopen(SettingsPath(kCurveParaFile).c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(image, 1, sizeof image, f) == sizeof image;
    return std::fclose(f) == 0 && ok;
}

void CVantrelApp::LoadCurvePara() {
    if (ReadCurveParaFile(m_CurvePara, m_ChannelNames) < 0) {
        m_CurvePara = MakeFreshCurveParameters();
        m_ChannelNames = MakeEmptyChannelNameTable();
        SaveCurvePara();
    }
    m_CurvePara.startTime = CurrentLocalTime();
}

void CVantrelApp::SaveCurvePara() {
    if (!WriteCurveParaFile(m_CurvePara, m_ChannelNames))
        Prompt().MessageBox(QString::fromUtf8(kSaveError), MB_OK);
}

void CVantrelApp::LoadTempInfo() {
    TempInfo info = m_TempInfo;
    const long n = ReadUpTo(SettingsPath(kTempInfoFile), "rb", &info, sizeof info);
    if (n < 0) {
        std::memset(&m_TempInfo, 0, sizeof m_TempInfo);
        SaveTempInfo();
        return;
    }
    m_TempInfo = info;
}

void CVantrelApp::SaveTempInfo() {
    WriteFile(SettingsPath(kTempInfoFile), &m_TempInfo, sizeof m_TempInfo);
}

void CVantrelApp::ClearTempInfo() {
    std::memset(&m_TempInfo, 0, sizeof m_TempInfo);
    SaveTempInfo();
}

std::string CVantrelApp::TempInfoPath() const {
    return std::string(m_TempInfo.szPath, strnlen(m_TempInfo.szPath, sizeof m_TempInfo.szPath));
}

void CVantrelApp::SetTempInfoPath(const std::string& path) {
    std::memset(m_TempInfo.szPath, 0, sizeof m_TempInfo.szPath);
    std::memcpy(m_TempInfo.szPath, path.data(), std::min(path.size(), sizeof m_TempInfo.szPath));
}

void CVantrelApp::DiscardRun() {
    if (m_onDiscardRun)
        m_onDiscardRun();
    Close_Com(uint8_t(m_ComPara.nPort + 1));
    m_ComPara.bOpen = 0;
    m_bAcquiring = false;
    m_bRealTimeOpen = false;
    m_bUnsaved = false;
    if (m_pTempFile) {
        std::fclose(m_pTempFile);
        m_pTempFile = nullptr;
    }
    if (!m_strTempFile.isEmpty()) {
        std::error_code ec;
        std::filesystem::remove(m_strTempFile.toStdString(), ec);
    }
    m_TempInfo.bPending = 0;
    SaveTempInfo();
}

void CVantrelApp::OnAppAbout() {
    CAboutDlg dlg;
    dlg.DoModal();
}

void CVantrelApp::CreateTemplates() {
    using F = CDocTemplate::Factories;
    AddDocTemplate(
        new CDocTemplate(res::IDR_HISTORY, F::Of<CVantrelDoc, CChildFrame, CVantrelView>()));
    m_pHistoryTemplate =
        new CDocTemplate(res::IDR_HISTORY, F::Of<CVantrelDoc, CChildFrame, CVantrelView>());
    AdoptTemplate(m_pHistoryTemplate);
    m_pListTemplate =
        new CDocTemplate(res::IDR_LIST, F::Of<CRealCurveDoc, CChildFrame, CSheetView>());
    AdoptTemplate(m_pListTemplate);
    m_pRealTimeTemplate =
        new CDocTemplate(res::IDR_REALTIME, F::Of<CRealCurveDoc, CChildFrame, CRealCurveView>());
    AdoptTemplate(m_pRealTimeTemplate);
}

bool CVantrelApp::InitInstance() {
    LoadComPara();
    LoadCurvePara();
    LoadTempInfo();
    SetComMessageHandler(&ComMessage);
    SetComBeepHandler(&ComBeep);

    SetRegistryKey(QStringLiteral("应用程序向导生成的本地应用程序"));
    LoadStdProfileSettings(4);

    RegisterAppResources();
    CreateTemplates();

    auto* frame = new CMainFrame;
    m_pMainWnd = frame;
    if (!frame->LoadFrame(res::IDR_MAINFRAME)) {
        delete frame;
        m_pMainWnd = nullptr;
        return false;
    }
    if (!ProcessShellCommand(m_cmdInfo))
        return false;
    // Without a window manager (a bare X server) maximising does nothing:
    // take the screen's work area first.
    if (QScreen* screen = frame->screen())
        frame->setGeometry(screen->availableGeometry());
    frame->showMaximized();
    return true;
}

int CVantrelApp::ExitInstance() {
    SetComMessageHandler(nullptr);
    SetComBeepHandler(nullptr);
    m_pToolBar = nullptr;
    const int code = CWinApp::ExitInstance();
    m_pHistoryTemplate = m_pListTemplate = m_pRealTimeTemplate = nullptr;
    return code;
}
