#pragma once
// The application object of the framework: document templates, the main
// window, the recent-file list, the shared printer settings and the
// application's own commands (new, open, recent files, print setup, exit).
// Exactly one exists; FrameworkApp() reaches it from anywhere.

#include "cmdtarget.h"
#include "recentfilelist.h"

#include <QString>
#include <memory>
#include <vector>

class CDocTemplate;
class CDocument;
class CMDIFrameWnd;
class QPrinter;

// The command line: one optional file to open.
struct CCommandLineInfo {
    QString m_strFileName; // empty: ask for a new document
};

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    // Called once at start-up after the QApplication exists; false ends the program.
    virtual bool InitInstance() { return true; }
    // Tears down windows and documents; the returned value is the exit code.
    virtual int ExitInstance();

    // Templates: AddDocTemplate registers one (File Open and the command line
    // use the first registered one); AdoptTemplate only takes ownership.
    void AddDocTemplate(CDocTemplate* t);
    void AdoptTemplate(CDocTemplate* t);
    const std::vector<CDocTemplate*>& RegisteredTemplates() const { return m_registered; }
    std::vector<CDocument*> AllDocuments() const;

    // Opens path with the first registered template and adds it to the
    // recent-file list. nullptr when it could not be opened.
    CDocument* OpenDocumentFile(const QString& path);
    // The first registered template asked for a new document.
    CDocument* OnFileNew();
    void OnFileOpen();
    void OnFilePrintSetup();
    // Opens or asks for a new document as the command line says; false when
    // the command could not be processed.
    bool ProcessShellCommand(const CCommandLineInfo& info);

    // Profile key for the recent-file list; then LoadStdProfileSettings(4).
    void SetRegistryKey(const QString& key) { m_strRegistryKey = key; }
    void LoadStdProfileSettings(int mruSize = 4);
    CRecentFileList& RecentFiles() { return m_recentFiles; }

    // The application's printer settings, shared by every print and page
    // setup dialog of the running program.
    QPrinter& GetPrinter();

    CMDIFrameWnd* m_pMainWnd = nullptr;

protected:
    void DestroyTemplates();

private:
    std::vector<CDocTemplate*> m_registered;
    std::vector<std::unique_ptr<CDocTemplate>> m_owned;
    QString m_strRegistryKey;
    CRecentFileList m_recentFiles;
    std::unique_ptr<QPrinter> m_pPrinter;
};

CWinApp* FrameworkApp();
