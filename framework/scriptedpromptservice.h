#pragma once
// A prompt service for tests: answers come from a script, every prompt is
// recorded. Installs itself on construction and restores the previous service
// when destroyed.
//
//     CScriptedPromptService prompts;
//     prompts.AnswerMessage(IDYES);
//     prompts.AnswerSave(dir + "/run.tda");
//     ... run the code ...
//     EXPECT_EQ(prompts.Messages(), (QStringList{"...要保存吗？"}));
//
// A prompt with no scripted answer left gets IDCANCEL / cancel (and is
// counted in Unanswered()), so a test never blocks.

#include "promptservice.h"

#include <QStringList>
#include <deque>

class CScriptedPromptService : public IPromptService {
public:
    CScriptedPromptService();
    ~CScriptedPromptService() override;

    void AnswerMessage(int result) { m_messageAnswers.push_back(result); }
    // An empty path answers the dialog with cancel.
    void AnswerSave(const QString& path) { m_saveAnswers.push_back(path); }
    void AnswerOpen(const QString& path) { m_openAnswers.push_back(path); }
    // A colour to choose; use CancelColor() to cancel the next colour dialog.
    void AnswerColor(uint32_t colour) { m_colorAnswers.push_back(int64_t(colour)); }
    void CancelColor() { m_colorAnswers.push_back(-1); }

    int MessageBox(const QString& text, unsigned flags = MB_OK) override;
    QString SaveFileDialog(const QString& filter, const QString& defaultExt,
                           bool overwritePrompt = false) override;
    QString OpenFileDialog(const QString& filter) override;
    bool ChooseColor(uint32_t& colour) override;

    // Message texts in the order shown, and their flags.
    const QStringList& Messages() const { return m_messages; }
    const std::vector<unsigned>& MessageFlags() const { return m_messageFlags; }
    // Filters and default extensions of the save dialogs shown.
    const QStringList& SaveFilters() const { return m_saveFilters; }
    const QStringList& SaveExtensions() const { return m_saveExts; }
    const QStringList& OpenFilters() const { return m_openFilters; }
    int ColorDialogs() const { return m_colorDialogs; }
    // Prompts that found no scripted answer.
    int Unanswered() const { return m_unanswered; }
    // Scripted answers not used yet.
    std::size_t PendingAnswers() const {
        return m_messageAnswers.size() + m_saveAnswers.size() + m_openAnswers.size() +
               m_colorAnswers.size();
    }

private:
    IPromptService* m_previous;
    std::deque<int> m_messageAnswers;
    std::deque<QString> m_saveAnswers;
    std::deque<QString> m_openAnswers;
    std::deque<int64_t> m_colorAnswers;
    QStringList m_messages;
    std::vector<unsigned> m_messageFlags;
    QStringList m_saveFilters, m_saveExts, m_openFilters;
    int m_colorDialogs = 0;
    int m_unanswered = 0;
};
