#pragma once
// Base of the program's modal dialogs. Controls are registered under their
// ids, so dialog code reads and sets them by id as the dialog layouts say:
//
//     m_port = AddControl(1212, new QComboBox(this));
//     AddButton(1001, "确定");            // 1 = IDOK and 2 = IDCANCEL call OnOK/OnCancel,
//     OnButton(1001, [this] { Store(); }); // other ids call their handler
//
// DoModal() calls OnInitDialog(), runs the dialog and returns IDOK or
// IDCANCEL. Enter calls OnOK() and Esc OnCancel(), whatever button has the
// focus. Tests install a modal script: DoModal() then calls OnInitDialog()
// and the script (which sets controls and presses buttons by id) instead of
// showing the dialog.

#include <QDialog>
#include <functional>
#include <map>

class QPushButton;

class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(QWidget* parent = nullptr);

    int DoModal();
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK_RESULT); }
    virtual void OnCancel() { EndDialog(IDCANCEL_RESULT); }
    void EndDialog(int result);
    bool IsEnded() const { return m_bEnded; }
    int Result() const { return m_nResult; }

    template <class W> W* AddControl(int id, W* w) {
        m_controls[id] = w;
        return w;
    }
    QWidget* GetDlgItem(int id) const;
    template <class W> W* Control(int id) const { return qobject_cast<W*>(GetDlgItem(id)); }
    void SetDlgItemText(int id, const QString& text);
    QString GetDlgItemText(int id) const;

    QPushButton* AddButton(int id, const QString& text);
    void OnButton(int id, std::function<void()> handler) {
        m_buttonHandlers[id] = std::move(handler);
    }
    // Acts as a click on button id (scripts; also the buttons themselves).
    void PressButton(int id);

    // Tests: while set, DoModal() runs script instead of showing the dialog.
    using ModalScript = std::function<void(CDialog&)>;
    static void SetModalScript(ModalScript script);

    static constexpr int IDOK_RESULT = 1;
    static constexpr int IDCANCEL_RESULT = 2;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void reject() override; // close box

private:
    std::map<int, QWidget*> m_controls;
    std::map<int, std::function<void()>> m_buttonHandlers;
    bool m_bEnded = false;
    int m_nResult = IDCANCEL_RESULT;
};
