#pragma once
// Every message box, question and file or colour dialog of the program goes
// through one interface, so that tests can answer them without a screen.
//
//     if (Prompt().MessageBox("上次实时采集的数据未保存，要保存吗？",
//                             MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES) ...
//     QString path = Prompt().SaveFileDialog("*.tda|*.tda|所有文件(*.*)|*.*|", "*.tda");
//
// The program installs CQtPromptService (real Qt dialogs, title "Vantrel");
// tests install CScriptedPromptService.

#include "commandids.h"

#include <QString>
#include <cstdint>

class QWidget;

class IPromptService {
public:
    virtual ~IPromptService() = default;

    // Modal message box with the program's title. flags: one of MB_OK,
    // MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL, optionally or-ed with an icon.
    // Returns IDOK (1), IDCANCEL (2), IDYES (6) or IDNO (7). Timers keep
    // running while it is shown.
    virtual int MessageBox(const QString& text, unsigned flags = MB_OK) = 0;

    // Save-as dialog. filter: description and pattern pairs, each followed by
    // '|' ("*.tda|*.tda|所有文件(*.*)|*.*|"); ';' separates several patterns
    // of one pair. An empty pattern takes the one in the description's
    // parentheses. defaultExt ("*.tda", "tda" or ".tda") is appended when the
    // chosen file name has no dot, before any overwrite question
    // (overwritePrompt) is asked. Returns the completed path, or an empty
    // string when cancelled.
    virtual QString SaveFileDialog(const QString& filter, const QString& defaultExt,
                                   bool overwritePrompt = false) = 0;

    // Open dialog with the same filter syntax; empty string when cancelled.
    virtual QString OpenFileDialog(const QString& filter) = 0;

    // Colour dialog initialised with colour (0x00BBGGRR). On accept stores the
    // choice in colour and returns true; on cancel leaves it alone.
    virtual bool ChooseColor(uint32_t& colour) = 0;
};

// The installed service. Before any is installed, a CQtPromptService.
IPromptService& Prompt();
// Installs service (not owned; nullptr restores the Qt one). Returns the
// previous one.
IPromptService* InstallPrompt(IPromptService* service);

// The parent for dialogs the prompt service shows (the main window).
void SetPromptParent(QWidget* parent);
QWidget* PromptParent();

// Turns a '|'-separated filter into Qt's "desc (patterns);;desc (patterns)".
QString QtFilterFromBars(const QString& filter);
// defaultExt ("*.tda", ".tda" or "tda") without its leading "*" and ".".
QString DefaultSuffix(const QString& defaultExt);
// Appends defaultExt to path when its file name has no dot, as Qt's file
// dialog does with its default suffix.
QString ApplyDefaultExtension(const QString& path, const QString& defaultExt);
