// The serial settings and temperature unit dialogs: what they show and what
// reaches COMPARA.DAT.

#include "comsettingdlg.h"
#include "datafolder.h"
#include "setunit.h"
#include "shellfixture.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

int32_t StoredField(const QByteArray& com, int index) {
    int32_t v;
    std::memcpy(&v, com.constData() + 4 * index, 4);
    return v;
}

QStringList Items(QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Runs the dialog through DoModal with script acting on it.
template <class Dlg> int RunModal(const std::function<void(Dlg&)>& script) {
    CDialog::SetModalScript([&](CDialog& d) { script(static_cast<Dlg&>(d)); });
    Dlg dlg;
    const int result = dlg.DoModal();
    CDialog::SetModalScript(nullptr);
    return result;
}

} // namespace

class SerialDialogTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        theApp.LoadComPara(); // a first start: defaults written
        m_before = ReadAll(DataFile("COMPARA.DAT"));
    }
    QByteArray m_before;
};

TEST_F(SerialDialogTest, ShowsTheDefaults) {
    RunModal<CComSettingDlg>([](CComSettingDlg& d) {
        auto* port = d.Control<QComboBox>(CComSettingDlg::IDC_PORT);
        auto* baud = d.Control<QComboBox>(CComSettingDlg::IDC_BAUD);
        EXPECT_EQ(Items(port).size(), 10);
        EXPECT_EQ(Items(port).front(), QStringLiteral("COM1"));
        EXPECT_EQ(Items(port).back(), QStringLiteral("COM10"));
        EXPECT_FALSE(port->isEditable());
        EXPECT_FALSE(baud->isEditable());
        EXPECT_EQ(Items(baud),
                  (QStringList{"110", "300", "600", "1200", "2400", "4800", "9600", "14400",
                               "19200", "38400", "56000", "128000", "256000"}));
        EXPECT_EQ(d.GetDlgItemText(CComSettingDlg::IDC_PORT), QStringLiteral("COM1"));
        EXPECT_EQ(d.GetDlgItemText(CComSettingDlg::IDC_BAUD), QStringLiteral("9600"));
        EXPECT_EQ(d.GetDlgItemText(CComSettingDlg::IDC_DATABITS), QStringLiteral("8"));
        EXPECT_EQ(d.GetDlgItemText(CComSettingDlg::IDC_STOPBITS), QStringLiteral("1位"));
        EXPECT_EQ(d.GetDlgItemText(CComSettingDlg::IDC_PARITY), QStringLiteral("NO"));
        EXPECT_EQ(d.GetDlgItemText(CComSettingDlg::IDC_SAMPLE), QStringLiteral("1"));
        EXPECT_FALSE(d.GetDlgItem(CComSettingDlg::IDC_DATABITS)->isEnabled());
        EXPECT_FALSE(d.GetDlgItem(CComSettingDlg::IDC_STOPBITS)->isEnabled());
        EXPECT_FALSE(d.GetDlgItem(CComSettingDlg::IDC_PARITY)->isEnabled());
        EXPECT_TRUE(d.GetDlgItem(CComSettingDlg::IDC_PROTOCOL)->isHidden());
        EXPECT_EQ(d.windowTitle(), QStringLiteral("串口设置"));
        // The device the chosen port opens on this machine.
        EXPECT_EQ(d.GetDlgItemText(CComSettingDlg::IDC_PORT_DEVICE),
                  QStringLiteral("→ ") + QString::fromStdString(vantrel::PortDevicePath(1)));
        d.PressButton(CComSettingDlg::IDC_CLOSE);
    });
}

TEST_F(SerialDialogTest, StoresPortBaudAndInterval) {
    struct Case {
        int port;
        const char* baud;
        const char* sample;
        int32_t storedPort, storedBaud, storedSample;
    };
    const Case cases[] = {
        {2, "19200", "5", 2, 8, 5},
        {0, "110", "abc", 0, 0, 0},
        {9, "256000", " 12s", 9, 12, 12},
        {4, "9600", "-3", 4, 6, -3},
    };
    for (const Case& c : cases) {
        const int result = RunModal<CComSettingDlg>([&](CComSettingDlg& d) {
            d.Control<QComboBox>(CComSettingDlg::IDC_PORT)->setCurrentIndex(c.port);
            d.Control<QComboBox>(CComSettingDlg::IDC_BAUD)
                ->setCurrentText(QString::fromUtf8(c.baud));
            d.SetDlgItemText(CComSettingDlg::IDC_SAMPLE, QString::fromUtf8(c.sample));
            d.PressButton(CComSettingDlg::IDC_STORE);
        });
        EXPECT_EQ(result, IDOK);
        const QByteArray com = ReadAll(DataFile("COMPARA.DAT"));
        ASSERT_EQ(com.size(), 169);
        EXPECT_EQ(StoredField(com, 0), c.storedPort) << c.baud;
        EXPECT_EQ(StoredField(com, 2), c.storedBaud) << c.baud;
        EXPECT_EQ(StoredField(com, 9), c.storedSample) << c.sample;
        EXPECT_EQ(StoredField(com, 3), 0); // parity, data bits, stop bits unchanged
        EXPECT_EQ(StoredField(com, 4), 3);
        EXPECT_EQ(StoredField(com, 5), 0);
    }
}

TEST_F(SerialDialogTest, CancelEscAndEnterStoreNothing) {
    const auto edit = [](CComSettingDlg& d) {
        d.Control<QComboBox>(CComSettingDlg::IDC_PORT)->setCurrentIndex(5);
        d.SetDlgItemText(CComSettingDlg::IDC_SAMPLE, QStringLiteral("60"));
    };
    EXPECT_EQ(RunModal<CComSettingDlg>([&](CComSettingDlg& d) {
                  edit(d);
                  d.PressButton(CComSettingDlg::IDC_CLOSE);
              }),
              IDCANCEL);
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        RunModal<CComSettingDlg>([&](CComSettingDlg& d) {
            edit(d);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(&d, &press);
            EXPECT_TRUE(d.IsEnded());
        });
    }
    EXPECT_EQ(ReadAll(DataFile("COMPARA.DAT")), m_before);
    EXPECT_EQ(theApp.m_ComPara.nPort, 0);
    EXPECT_EQ(theApp.m_ComPara.nSampleSec, 1);
}

TEST_F(SerialDialogTest, APortBeyondTheListIsShownAndKept) {
    theApp.m_ComPara.nPort = 15;
    RunModal<CComSettingDlg>([](CComSettingDlg& d) {
        EXPECT_EQ(d.GetDlgItemText(CComSettingDlg::IDC_PORT), QStringLiteral("COM16"));
        d.PressButton(CComSettingDlg::IDC_STORE);
    });
    EXPECT_EQ(StoredField(ReadAll(DataFile("COMPARA.DAT")), 0), 15);
}

TEST_F(SerialDialogTest, SaveErrorKeepsTheNewValuesInMemory) {
    QFile::remove(DataFile("COMPARA.DAT"));
    QDir().mkpath(DataFile("COMPARA.DAT"));
    RunModal<CComSettingDlg>([](CComSettingDlg& d) {
        d.Control<QComboBox>(CComSettingDlg::IDC_PORT)->setCurrentIndex(3);
        d.PressButton(CComSettingDlg::IDC_STORE);
    });
    EXPECT_EQ(m_prompts->Messages(), QStringList{QStringLiteral("文件保存错误!")});
    EXPECT_EQ(theApp.m_ComPara.nPort, 3);
}

TEST_F(SerialDialogTest, UnitDialogStoresTheChoiceAtOffset168) {
    RunModal<CSetUnit>([](CSetUnit& d) {
        EXPECT_EQ(d.m_unitCombo->currentText(), QStringLiteral("℃"));
        EXPECT_EQ(Items(d.m_unitCombo), (QStringList{QStringLiteral("℃"), QStringLiteral("F")}));
        d.m_unitCombo->setCurrentIndex(1);
        d.PressButton(IDOK);
    });
    QByteArray expected = m_before;
    expected[168] = 1;
    EXPECT_EQ(ReadAll(DataFile("COMPARA.DAT")), expected);

    // Opening again shows F; cancel keeps everything.
    RunModal<CSetUnit>([](CSetUnit& d) {
        EXPECT_EQ(d.m_unitCombo->currentText(), QStringLiteral("F"));
        d.m_unitCombo->setCurrentIndex(0);
        d.PressButton(IDCANCEL);
    });
    EXPECT_EQ(theApp.m_nTempUnit, 1);
    EXPECT_EQ(ReadAll(DataFile("COMPARA.DAT")), expected);

    // Any nonzero stored unit means Fahrenheit and is shown so.
    theApp.m_nTempUnit = 7;
    RunModal<CSetUnit>([](CSetUnit& d) {
        EXPECT_EQ(d.m_unitCombo->currentIndex(), 1);
        d.PressButton(IDOK);
    });
    EXPECT_EQ(theApp.m_nTempUnit, 1);
}

TEST(LeadingIntegerTest, ReadsTheNumberAtTheStart) {
    EXPECT_EQ(LeadingInteger(QStringLiteral("abc")), 0);
    EXPECT_EQ(LeadingInteger(QStringLiteral("")), 0);
    EXPECT_EQ(LeadingInteger(QStringLiteral("  42")), 42);
    EXPECT_EQ(LeadingInteger(QStringLiteral("7x")), 7);
    EXPECT_EQ(LeadingInteger(QStringLiteral("-15")), -15);
    EXPECT_EQ(LeadingInteger(QStringLiteral("99999999999")), 2147483647);
    EXPECT_EQ(LeadingInteger(QStringLiteral("-99999999999")), -2147483647 - 1);
}
