#include "winapp.h"

#include "commandids.h"
#include "doctemplate.h"
#include "document.h"
#include "mdichildwnd.h"
#include "mdiframewnd.h"
#include "promptservice.h"

#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinter>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp* FrameworkApp() {
    return g_app;
}

CWinApp::CWinApp() {
    g_app = this;
    OnCommand(cmd::ID_FILE_NEW, [this] { OnFileNew(); });
    OnCommand(cmd::ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(cmd::ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    OnCommandRange(cmd::ID_FILE_MRU_FILE1, cmd::ID_FILE_MRU_LAST, [this](int id) {
        const int index = id - cmd::ID_FILE_MRU_FILE1;
        if (index >= m_recentFiles.Files().size())
            return;
        const QString path = m_recentFiles.Files()[index];
        if (!OpenDocumentFile(path) && !QFileInfo::exists(path)) {
            m_recentFiles.Remove(index);
            m_recentFiles.Save();
            if (m_pMainWnd)
                m_pMainWnd->RebuildMenuBar();
        }
    });
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

int CWinApp::ExitInstance() {
    delete m_pMainWnd; // clears m_pMainWnd
    m_pMainWnd = nullptr;
    DestroyTemplates();
    m_pPrinter.reset();
    return 0;
}

void CWinApp::DestroyTemplates() {
    m_registered.clear();
    m_owned.clear();
}

void CWinApp::AddDocTemplate(CDocTemplate* t) {
    AdoptTemplate(t);
    m_registered.push_back(t);
}

void CWinApp::AdoptTemplate(CDocTemplate* t) {
    m_owned.emplace_back(t);
}

std::vector<CDocument*> CWinApp::AllDocuments() const {
    std::vector<CDocument*> docs;
    for (const auto& t : m_owned)
        for (CDocument* d : t->Documents())
            docs.push_back(d);
    return docs;
}

CDocument* CWinApp::OpenDocumentFile(const QString& path) {
    if (m_registered.empty() || path.isEmpty())
        return nullptr;
    CDocument* doc = m_registered.front()->OpenDocumentFile(QFileInfo(path).absoluteFilePath());
    if (doc) {
        m_recentFiles.Add(QFileInfo(path).absoluteFilePath());
        m_recentFiles.Save();
        if (m_pMainWnd)
            m_pMainWnd->RebuildMenuBar();
    }
    return doc;
}

CDocument* CWinApp::OnFileNew() {
    if (m_registered.empty())
        return nullptr;
    return m_registered.front()->OpenDocumentFile(QString());
}

void CWinApp::OnFileOpen() {
    QString filter;
    for (CDocTemplate* t : m_registered)
        filter += t->FilterString();
    filter += QStringLiteral("所有文件 (*.*)|*.*|");
    const QString path = Prompt().OpenFileDialog(filter);
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

void CWinApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(&GetPrinter(), m_pMainWnd);
    dialog.exec();
}

bool CWinApp::ProcessShellCommand(const CCommandLineInfo& info) {
    if (info.m_strFileName.isEmpty()) {
        OnFileNew(); // a template may refuse new documents; that is no failure
        return true;
    }
    return OpenDocumentFile(info.m_strFileName) != nullptr;
}

void CWinApp::LoadStdProfileSettings(int mruSize) {
    m_recentFiles.Configure(m_strRegistryKey, mruSize);
    m_recentFiles.Load();
}

QPrinter& CWinApp::GetPrinter() {
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_pPrinter;
}
