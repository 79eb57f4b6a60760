#pragma once
// The prompt service of the running program: Qt's message box, file and
// colour dialogs, with the program's title.

#include "promptservice.h"

class CQtPromptService : public IPromptService {
public:
    int MessageBox(const QString& text, unsigned flags = MB_OK) override;
    QString SaveFileDialog(const QString& filter, const QString& defaultExt,
                           bool overwritePrompt = false) override;
    QString OpenFileDialog(const QString& filter) override;
    bool ChooseColor(uint32_t& colour) override;

    static inline QString s_title = QStringLiteral("Vantrel");

private:
    QString ConfirmCompletedName(const QString& chosen, const QString& completed,
                                 bool overwritePrompt);
};
