#include "curvepara.h"

#include "gbktext.h"
#include "mycolorbutton.h"
#include "promptservice.h"
#include "timearith.h"
#include "vantrel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

CurveParameters& Para() {
    return theApp.m_CurvePara;
}
ChannelNameTable& Names() {
    return theApp.m_ChannelNames;
}

QRadioButton* Radio(const char* text, QWidget* parent) {
    return new QRadioButton(QString::fromUtf8(text), parent);
}

QLabel* Label(const char* text, QWidget* parent) {
    return new QLabel(QString::fromUtf8(text), parent);
}

} // namespace

CCurvePara::CCurvePara(QWidget* parent) : CDialog(parent) {
    setWindowTitle(QStringLiteral("曲线参数设置"));
    BuildControls();
}

void CCurvePara::BuildControls() {
    auto* top = new QVBoxLayout(this);
    auto* upper = new QHBoxLayout;
    top->addLayout(upper);

    // X axis
    auto* xGroup = new QGroupBox(QStringLiteral("X轴显示方式"), this);
    auto* xGrid = new QGridLayout(xGroup);
    auto* xShort = AddControl(IDC_X_SHORT, Radio("短时间", xGroup));
    auto* xLong = AddControl(IDC_X_LONG, Radio("长时间", xGroup));
    m_startDate = AddControl(IDC_START_DATE, new QDateEdit(xGroup));
    m_startDate->setCalendarPopup(true);
    m_startDate->setAlignment(Qt::AlignRight);
    m_startTime = AddControl(IDC_START_TIME, new QTimeEdit(xGroup));
    m_startTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_startTime->setAlignment(Qt::AlignRight);
    auto* length = AddControl(IDC_TIME_LENGTH, new QLineEdit(xGroup));
    auto* minutes = AddControl(IDC_MINUTES, Radio("分钟", xGroup));
    auto* seconds = AddControl(IDC_SECONDS, Radio("秒", xGroup));
    xGrid->addWidget(xShort, 0, 0);
    xGrid->addWidget(xLong, 0, 1);
    xGrid->addWidget(Label("起始时间：", xGroup), 1, 0);
    xGrid->addWidget(m_startDate, 1, 1);
    xGrid->addWidget(m_startTime, 1, 2);
    xGrid->addWidget(Label("时间长度：", xGroup), 2, 0);
    xGrid->addWidget(length, 2, 1);
    xGrid->addWidget(minutes, 2, 2);
    xGrid->addWidget(seconds, 2, 3);
    upper->addWidget(xGroup);

    // Y axis and grid
    auto* right = new QVBoxLayout;
    upper->addLayout(right);
    auto* yGroup = new QGroupBox(QStringLiteral("Y轴显示方式"), this);
    auto* yGrid = new QGridLayout(yGroup);
    auto* percent = AddControl(IDC_Y_PERCENT, Radio("百分比", yGroup));
    auto* value = AddControl(IDC_Y_VALUE, Radio("数值", yGroup));
    yGrid->addWidget(percent, 0, 0);
    yGrid->addWidget(value, 0, 1);
    yGrid->addWidget(Label("范围：", yGroup), 1, 0);
    yGrid->addWidget(AddControl(IDC_Y_MIN, new QLineEdit(yGroup)), 1, 1);
    yGrid->addWidget(AddControl(IDC_Y_MAX, new QLineEdit(yGroup)), 1, 2);
    right->addWidget(yGroup);

    auto* gGroup = new QGroupBox(QStringLiteral("栅格显示"), this);
    auto* gGrid = new QGridLayout(gGroup);
    gGrid->addWidget(Label("栅格数：", gGroup), 0, 0);
    gGrid->addWidget(AddControl(IDC_GRID_ROWS, new QLineEdit(gGroup)), 0, 1);
    gGrid->addWidget(AddControl(IDC_GRID_COLUMNS, new QLineEdit(gGroup)), 0, 2);
    m_backgroundButton = AddControl(IDC_BACKGROUND_COLOR, new CMyColorButton(gGroup));
    m_gridButton = AddControl(IDC_GRID_COLOR, new CMyColorButton(gGroup));
    m_textButton = AddControl(IDC_TEXT_COLOR, new CMyColorButton(gGroup));
    gGrid->addWidget(Label("背景色：", gGroup), 1, 0);
    gGrid->addWidget(m_backgroundButton, 1, 1);
    gGrid->addWidget(Label("栅格色：", gGroup), 2, 0);
    gGrid->addWidget(m_gridButton, 2, 1);
    gGrid->addWidget(Label("字体色：", gGroup), 3, 0);
    gGrid->addWidget(m_textButton, 3, 1);
    right->addWidget(gGroup);

    // Each pair of radio buttons is its own exclusive group.
    for (auto [a, b] : {std::pair{xShort, xLong}, {percent, value}, {minutes, seconds}}) {
        auto* group = new QButtonGroup(this);
        group->addButton(a);
        group->addButton(b);
    }

    // Channel rows
    auto* cGroup = new QGroupBox(QStringLiteral("通道颜色"), this);
    auto* cGrid = new QGridLayout(cGroup);
    for (int k = 0; k < kRows; ++k) {
        const int labelId = k < 7 ? IDC_ROW_LABEL0 + k : IDC_ROW_LABEL7;
        m_rowLabel[k] = AddControl(labelId, new QLabel(cGroup));
        m_rowColor[k] = AddControl(IDC_CHANNEL_COLOR0 + k, new CMyColorButton(cGroup));
        m_visibleCheck[k] = AddControl(IDC_VISIBLE0 + k, new QCheckBox(cGroup));
        m_nameEdit[k] = AddControl(IDC_NAME0 + k, new QLineEdit(cGroup));
        cGrid->addWidget(m_rowLabel[k], k, 0);
        cGrid->addWidget(m_rowColor[k], k, 1);
        cGrid->addWidget(m_visibleCheck[k], k, 2);
        cGrid->addWidget(m_nameEdit[k], k, 3);
        connect(m_nameEdit[k], &QLineEdit::textEdited, this, [this, k] { OnNameEdited(k); });
        OnButton(IDC_CHANNEL_COLOR0 + k, [this, k] { OnRowColor(k); });
        OnButton(IDC_VISIBLE0 + k, [this, k] { OnRowVisible(k); });
    }
    m_channelScroll = AddControl(IDC_CHANNEL_SCROLL, new QScrollBar(Qt::Vertical, cGroup));
    cGrid->addWidget(m_channelScroll, 0, 4, kRows, 1);
    m_customNamesCheck =
        AddControl(IDC_CUSTOM_NAMES, new QCheckBox(QStringLiteral("自定义通道名称"), cGroup));
    cGrid->addWidget(m_customNamesCheck, kRows, 0, 1, 4);
    top->addWidget(cGroup);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    top->addLayout(buttons);
    buttons->addWidget(AddButton(IDC_RESTORE_DEFAULTS, QStringLiteral("恢复缺省值")));
    buttons->addWidget(AddButton(IDC_ACCEPT, QStringLiteral("确定")));
    buttons->addWidget(AddButton(IDC_CANCEL_BUTTON, QStringLiteral("取消")));

    // Clicks of the radio buttons, colour buttons and check boxes are routed
    // by id, as the buttons added with AddButton are.
    const std::pair<QAbstractButton*, int> routed[] = {
        {xShort, IDC_X_SHORT},
        {xLong, IDC_X_LONG},
        {percent, IDC_Y_PERCENT},
        {value, IDC_Y_VALUE},
        {minutes, IDC_MINUTES},
        {seconds, IDC_SECONDS},
        {m_backgroundButton, IDC_BACKGROUND_COLOR},
        {m_gridButton, IDC_GRID_COLOR},
        {m_textButton, IDC_TEXT_COLOR},
        {m_customNamesCheck, IDC_CUSTOM_NAMES},
    };
    for (auto [button, id] : routed)
        connect(button, &QAbstractButton::clicked, this, [this, id = id] { PressButton(id); });
    for (int k = 0; k < kRows; ++k) {
        connect(m_rowColor[k], &QAbstractButton::clicked, this,
                [this, k] { PressButton(IDC_CHANNEL_COLOR0 + k); });
        connect(m_visibleCheck[k], &QAbstractButton::clicked, this,
                [this, k] { PressButton(IDC_VISIBLE0 + k); });
    }

    OnButton(IDC_X_SHORT, [this] { Para().xAxisLongTime = 0, UpdateRadioButtons(); });
    OnButton(IDC_X_LONG, [this] { Para().xAxisLongTime = 1, UpdateRadioButtons(); });
    OnButton(IDC_Y_PERCENT, [this] { Para().yAxisPercent = 1, UpdateRadioButtons(); });
    OnButton(IDC_Y_VALUE, [this] { Para().yAxisPercent = 0, UpdateRadioButtons(); });
    OnButton(IDC_MINUTES, [this] { Para().timeLengthInSeconds = 0, UpdateRadioButtons(); });
    OnButton(IDC_SECONDS, [this] { Para().timeLengthInSeconds = 1, UpdateRadioButtons(); });
    OnButton(IDC_BACKGROUND_COLOR,
             [this] { ChooseColor(Para().backgroundColor, m_backgroundButton); });
    OnButton(IDC_GRID_COLOR, [this] { ChooseColor(Para().gridColor, m_gridButton); });
    OnButton(IDC_TEXT_COLOR, [this] { ChooseColor(Para().textColor, m_textButton); });
    OnButton(IDC_CUSTOM_NAMES, [this] { OnCustomNames(); });
    OnButton(IDC_RESTORE_DEFAULTS, [this] { OnRestoreDefaults(); });
    OnButton(IDC_ACCEPT, [this] { Accept(); });
    OnButton(IDC_CANCEL_BUTTON, [this] { EndDialog(IDCANCEL_RESULT); });

    // The scroll bar: line 1, page 8, thumb; the rows follow its value.
    m_channelScroll->setSingleStep(1);
    m_channelScroll->setPageStep(kRows);
    connect(m_channelScroll, &QScrollBar::valueChanged, this,
            [this](int value) { ShowChannelRows(value); });
}

bool CCurvePara::OnInitDialog() {
    m_channelScroll->blockSignals(true);
    m_channelScroll->setRange(0, kLastFirstChannel);
    m_channelScroll->setValue(0);
    m_channelScroll->blockSignals(false);
    FillControls(0);
    return true;
}

int CCurvePara::ScrollPosition() const {
    return m_channelScroll->value();
}

void CCurvePara::OnVScroll(int code, int thumbPos) {
    int p = ScrollPosition();
    switch (code) {
    case SB_LINEUP:
        p = std::max(p - 1, 0);
        break;
    case SB_LINEDOWN:
        p = std::min(p + 1, kLastFirstChannel);
        break;
    case SB_PAGEUP:
        p = std::max(p - kRows, 0);
        break;
    case SB_PAGEDOWN:
        p = std::min(p + kRows, kLastFirstChannel);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        p = std::clamp(thumbPos, 0, kLastFirstChannel);
        break;
    default:
        break;
    }
    m_channelScroll->blockSignals(true);
    m_channelScroll->setValue(p);
    m_channelScroll->blockSignals(false);
    ShowChannelRows(p);
}

void CCurvePara::FillControls(int first) {
    const CurveParameters& para = Para();
    m_backgroundButton->SetColor(para.backgroundColor);
    m_gridButton->SetColor(para.gridColor);
    m_textButton->SetColor(para.textColor);
    ShowChannelRows(first);
    UpdateRadioButtons();
    SetDlgItemText(IDC_Y_MIN, QString::number(para.yMinTenths / 10));
    SetDlgItemText(IDC_Y_MAX, QString::number(para.yMaxTenths / 10));
    SetDlgItemText(IDC_GRID_ROWS, QString::number(para.gridRows));
    SetDlgItemText(IDC_GRID_COLUMNS, QString::number(para.gridColumns));
    const SYSTEMTIME& t = para.startTime;
    const QDateTime start(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute, t.wSecond));
    // A record that never held a time shows today rather than an invalid date.
    const QDateTime shown = start.isValid() ? start : QDateTime::currentDateTime();
    m_startDate->setDate(shown.date());
    m_startTime->setTime(shown.time());
    SetDlgItemText(IDC_TIME_LENGTH, QString::number(para.timeLength));
}

void CCurvePara::ShowChannelRows(int first) {
    const CurveParameters& para = Para();
    for (int k = 0; k < kRows; ++k) {
        const int c = first + k;
        m_rowLabel[k]->setText(QStringLiteral("通道%1:").arg(c + 1));
        m_rowColor[k]->SetColor(para.channelColors[c]);
        m_visibleCheck[k]->setChecked(GetBit(para.visibleChannels, c));
    }
    const bool custom = Names().customNamesEnabled == 1;
    m_customNamesCheck->setChecked(custom);
    for (int k = 0; k < kRows; ++k) {
        m_nameEdit[k]->setEnabled(custom);
        m_nameEdit[k]->setText(QString::fromStdString(ChannelNameUtf8(Names(), first + k)));
    }
}

void CCurvePara::UpdateRadioButtons() {
    const CurveParameters& para = Para();
    Control<QRadioButton>(para.xAxisLongTime ? IDC_X_LONG : IDC_X_SHORT)->setChecked(true);
    Control<QRadioButton>(para.yAxisPercent ? IDC_Y_PERCENT : IDC_Y_VALUE)->setChecked(true);
    Control<QRadioButton>(para.timeLengthInSeconds ? IDC_SECONDS : IDC_MINUTES)->setChecked(true);
}

void CCurvePara::ChooseColor(COLORREF& field, CMyColorButton* button) {
    uint32_t colour = field;
    if (!Prompt().ChooseColor(colour))
        return;
    field = colour;
    button->SetColor(colour);
}

void CCurvePara::OnRowColor(int k) {
    ChooseColor(Para().channelColors[ScrollPosition() + k], m_rowColor[k]);
}

void CCurvePara::OnRowVisible(int k) {
    const int c = ScrollPosition() + k;
    if (m_visibleCheck[k]->isChecked())
        SetBit(Para().visibleChannels, c);
    else
        ClearBit(Para().visibleChannels, c);
}

void CCurvePara::OnCustomNames() {
    const bool on = m_customNamesCheck->isChecked();
    Names().customNamesEnabled = on ? 1 : 0;
    for (QLineEdit* edit : m_nameEdit)
        edit->setEnabled(on);
}

void CCurvePara::OnNameEdited(int k) {
    const int c = ScrollPosition() + k;
    QLineEdit* edit = m_nameEdit[k];
    SetChannelNameUtf8(Names(), c, edit->text().toStdString());
    // Show what is kept: at most 24 bytes of GBK text.
    const QString kept = QString::fromStdString(ChannelNameUtf8(Names(), c));
    if (kept != edit->text()) {
        edit->setText(kept);
        edit->setCursorPosition(int(kept.size()));
    }
}

void CCurvePara::OnRestoreDefaults() {
    RestoreDefaultCurveParameters(Para());
    FillControls(ScrollPosition());
}

int CCurvePara::ReadInt(int id) const {
    bool ok = false;
    const int value = GetDlgItemText(id).trimmed().toInt(&ok);
    return ok ? value : 0;
}

namespace {
// Whole degrees that still fit the record as tenths.
int ToTenths(int degrees) {
    return std::clamp(degrees, INT32_MIN / 10, INT32_MAX / 10) * 10;
}
} // namespace

void CCurvePara::OnOK() {
    Accept();
}

bool CCurvePara::Accept() {
    CurveParameters& para = Para();
    const int a = ReadInt(IDC_Y_MIN);
    const int b = ReadInt(IDC_Y_MAX);
    if (a == b) {
        Prompt().MessageBox(theApp.m_nTempUnit
                                ? QStringLiteral("Y轴范围最大值和最小值的差要大于1F。")
                                : QStringLiteral("Y轴范围最大值和最小值的差要大于1℃。"));
        return false;
    }
    para.yMinTenths = ToTenths(std::min(a, b));
    para.yMaxTenths = ToTenths(std::max(a, b));

    const int rows = ReadInt(IDC_GRID_ROWS);
    if (rows < 1) {
        Prompt().MessageBox(QStringLiteral("栅格行数要大于1。"));
        return false;
    }
    para.gridRows = rows;
    const int columns = ReadInt(IDC_GRID_COLUMNS);
    if (columns < 1) {
        Prompt().MessageBox(QStringLiteral("栅格行数要大于1。"));
        return false;
    }
    para.gridColumns = columns;

    const QDate date = m_startDate->date();
    const QTime time = m_startTime->time();
    para.startTime.wYear = uint16_t(date.year());
    para.startTime.wMonth = uint16_t(date.month());
    para.startTime.wDay = uint16_t(date.day());
    para.startTime.wHour = uint16_t(time.hour());
    para.startTime.wMinute = uint16_t(time.minute());
    para.startTime.wSecond = uint16_t(time.second());

    const int length = ReadInt(IDC_TIME_LENGTH);
    if (length < 1) {
        Prompt().MessageBox(QStringLiteral("时间长度要大于1。"));
        return false;
    }
    para.timeLength = length;
    EndDialog(IDOK_RESULT);
    return true;
}
