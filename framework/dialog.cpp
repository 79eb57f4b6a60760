#include "dialog.h"

#include "promptservice.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
CDialog::ModalScript g_script;
}

void CDialog::SetModalScript(ModalScript script) {
    g_script = std::move(script);
}

CDialog::CDialog(QWidget* parent) : QDialog(parent ? parent : PromptParent()) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

int CDialog::DoModal() {
    m_bEnded = false;
    m_nResult = IDCANCEL_RESULT;
    OnInitDialog();
    if (g_script) {
        ModalScript script = g_script;
        script(*this);
        return m_nResult;
    }
    exec();
    return m_nResult;
}

void CDialog::EndDialog(int result) {
    m_bEnded = true;
    m_nResult = result;
    done(result == IDOK_RESULT ? QDialog::Accepted : QDialog::Rejected);
}

QWidget* CDialog::GetDlgItem(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* w = GetDlgItem(id);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setCurrentText(text);
}

QString CDialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    return {};
}

QPushButton* CDialog::AddButton(int id, const QString& text) {
    auto* b = AddControl(id, new QPushButton(text, this));
    b->setAutoDefault(false);
    b->setDefault(false);
    connect(b, &QPushButton::clicked, this, [this, id] { PressButton(id); });
    return b;
}

void CDialog::PressButton(int id) {
    if (auto it = m_buttonHandlers.find(id); it != m_buttonHandlers.end()) {
        auto h = it->second;
        h();
    } else if (id == IDOK_RESULT) {
        OnOK();
    } else if (id == IDCANCEL_RESULT) {
        OnCancel();
    }
}

void CDialog::keyPressEvent(QKeyEvent* e) {
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            OnOK();
            return;
        }
        if (e->key() == Qt::Key_Escape) {
            OnCancel();
            return;
        }
    }
    QDialog::keyPressEvent(e);
}

void CDialog::reject() {
    if (!m_bEnded)
        OnCancel();
    else
        QDialog::reject();
}
