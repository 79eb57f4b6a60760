#include "qtpromptservice.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

int CQtPromptService::MessageBox(const QString& text, unsigned flags) {
    QMessageBox box(PromptParent());
    box.setWindowTitle(s_title);
    box.setText(text);
    switch (flags & 0xF0) {
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
    }
    struct Choice {
        const char* text;
        int result;
        QMessageBox::ButtonRole role;
    };
    std::vector<Choice> choices;
    switch (flags & MB_BUTTONMASK) {
    case MB_OKCANCEL:
        choices = {{"确定", IDOK, QMessageBox::AcceptRole},
                   {"取消", IDCANCEL, QMessageBox::RejectRole}};
        break;
    case MB_YESNO:
        choices = {{"是(&Y)", IDYES, QMessageBox::YesRole}, {"否(&N)", IDNO, QMessageBox::NoRole}};
        break;
    case MB_YESNOCANCEL:
        choices = {{"是(&Y)", IDYES, QMessageBox::YesRole},
                   {"否(&N)", IDNO, QMessageBox::NoRole},
                   {"取消", IDCANCEL, QMessageBox::RejectRole}};
        break;
    default:
        choices = {{"确定", IDOK, QMessageBox::AcceptRole}};
    }
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    for (const Choice& c : choices)
        buttons.emplace_back(box.addButton(QString::fromUtf8(c.text), c.role), c.result);
    box.setDefaultButton(static_cast<QPushButton*>(buttons.front().first));
    // Esc answers cancel, or "no"/"OK" where there is no cancel.
    box.setEscapeButton(buttons.back().first);
    box.exec();
    for (auto& [button, result] : buttons)
        if (box.clickedButton() == button)
            return result;
    return (flags & MB_BUTTONMASK) == MB_YESNO
               ? IDNO
               : ((flags & MB_BUTTONMASK) == MB_OK ? IDOK : IDCANCEL);
}

QString CQtPromptService::SaveFileDialog(const QString& filter, const QString& defaultExt,
                                         bool overwritePrompt) {
    QFileDialog dialog(PromptParent(), QStringLiteral("另存为"), QString(),
                       QtFilterFromBars(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog completes the name itself, so its overwrite question is
    // about the file that will really be written.
    dialog.setDefaultSuffix(DefaultSuffix(defaultExt));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !overwritePrompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    return ConfirmCompletedName(chosen, ApplyDefaultExtension(chosen, defaultExt), overwritePrompt);
}

QString CQtPromptService::ConfirmCompletedName(const QString& chosen, const QString& completed,
                                               bool overwritePrompt) {
    // A desktop's own dialog may ignore the default suffix; then the name is
    // completed here and an existing file still gets the question.
    if (!overwritePrompt || completed == chosen || !QFileInfo::exists(completed))
        return completed;
    const QString question =
        QStringLiteral("%1 已存在。\n要替换它吗？").arg(QFileInfo(completed).fileName());
    return MessageBox(question, MB_YESNO | MB_ICONEXCLAMATION) == IDYES ? completed : QString();
}

QString CQtPromptService::OpenFileDialog(const QString& filter) {
    return QFileDialog::getOpenFileName(PromptParent(), QStringLiteral("打开"), QString(),
                                        QtFilterFromBars(filter));
}

bool CQtPromptService::ChooseColor(uint32_t& colour) {
    const QColor initial(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    const QColor chosen = QColorDialog::getColor(initial, PromptParent());
    if (!chosen.isValid())
        return false;
    colour =
        uint32_t(chosen.red()) | (uint32_t(chosen.green()) << 8) | (uint32_t(chosen.blue()) << 16);
    return true;
}
