#include "scriptedpromptservice.h"

CScriptedPromptService::CScriptedPromptService() : m_previous(InstallPrompt(this)) {}

CScriptedPromptService::~CScriptedPromptService() {
    InstallPrompt(m_previous);
}

int CScriptedPromptService::MessageBox(const QString& text, unsigned flags) {
    m_messages << text;
    m_messageFlags.push_back(flags);
    if (m_messageAnswers.empty()) {
        ++m_unanswered;
        return (flags & MB_BUTTONMASK) == MB_OK ? IDOK : IDCANCEL;
    }
    const int answer = m_messageAnswers.front();
    m_messageAnswers.pop_front();
    return answer;
}

QString CScriptedPromptService::SaveFileDialog(const QString& filter, const QString& defaultExt,
                                               bool) {
    m_saveFilters << filter;
    m_saveExts << defaultExt;
    if (m_saveAnswers.empty()) {
        ++m_unanswered;
        return {};
    }
    const QString path = m_saveAnswers.front();
    m_saveAnswers.pop_front();
    return ApplyDefaultExtension(path, defaultExt);
}

QString CScriptedPromptService::OpenFileDialog(const QString& filter) {
    m_openFilters << filter;
    if (m_openAnswers.empty()) {
        ++m_unanswered;
        return {};
    }
    const QString path = m_openAnswers.front();
    m_openAnswers.pop_front();
    return path;
}

bool CScriptedPromptService::ChooseColor(uint32_t& colour) {
    ++m_colorDialogs;
    if (m_colorAnswers.empty()) {
        ++m_unanswered;
        return false;
    }
    const int64_t answer = m_colorAnswers.front();
    m_colorAnswers.pop_front();
    if (answer < 0)
        return false;
    colour = uint32_t(answer);
    return true;
}
