#include "qtpromptservice.h"

#include <QColorDialog>
#include <QFileDialog>
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
    QFileDialog::Options options;
    if (!overwritePrompt)
        options |= QFileDialog::DontConfirmOverwrite;
    QString path = QFileDialog::getSaveFileName(PromptParent(), QStringLiteral("另存为"), QString(),
                                                QtFilterFromBars(filter), nullptr, options);
    return ApplyDefaultExtension(path, defaultExt);
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
