#include "app/options_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstring>

#include "app/field_edit.h"
#include "app/host_dialogs.h"
#include "app/qt_text.h"
#include "net/net_address.h"
#include "sky/almanac.h"

#include <climits>
#include <cstdint>

namespace tolvex {
namespace {

constexpr const char* ParityNames[] = {Texts::Mark("无"), Texts::Mark("奇"), Texts::Mark("偶")};
constexpr const char* StopBitNames[] = {"1", "1.5", "2"};
constexpr const char* FormatNames[] = {"(d)dd.dddddd", "(d)ddmm.mmmm", "(d)ddmmss.ss"};

// The kinds of an output, in list order; a network kind writes its address after its prefix.
struct OutputKindRow {
    const char* Text;
    const char* NetPrefix;  // null for the serial kinds
    const char* Example;
};
constexpr OutputKindRow OutputKinds[] = {
    {Texts::Mark("串口"), nullptr, ""},
    {Texts::Mark("虚拟串口"), nullptr, ""},
    {Texts::Mark("TCP服务器"), "tcp-listen:", "10110"},
    {Texts::Mark("TCP客户端"), "tcp:", "192.168.1.10:10110"},
    {"UDP", "udp:", "192.168.1.255:10110"},
};
constexpr int SerialKind = 0;
constexpr int VirtualKind = 1;
constexpr int FirstNetKind = 2;

QLabel* Hint(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

// The sentence boxes in one row.
QHBoxLayout* SentenceRow(std::array<QCheckBox*, SentenceCount>& boxes, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    for (int i = 0; i < SentenceCount; ++i) {
        boxes[i] = new QCheckBox(CoreText(SentenceNames[i]), parent);
        row->addWidget(boxes[i]);
    }
    return row;
}

bool ReadNumber(NumberEdit* edit, double& value, QWidget* page)
{
    const std::optional<double> read = edit->Value();
    if (!read) {
        WarnAboutField(page, NotANumberText(*edit));
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = *read;
    return true;
}

bool ReadInt(NumberEdit* edit, int& value, QWidget* page)
{
    double read = 0;
    if (!ReadNumber(edit, read, page)) return false;
    value = static_cast<int>(read);
    return true;
}

}  // namespace

// --- Output 1..3 ---

COptionOutput::COptionOutput(int output, const OptionsRuntime& runtime, QWidget* parent)
    : OptionsPageBase(parent), m_output(output), m_runtime(runtime), m_active(new QCheckBox(tr("启用"), this)),
      m_kind(new QComboBox(this)), m_address(new QLineEdit(this)), m_port(new QComboBox(this)), m_baud(new QComboBox(this)),
      m_parity(new QComboBox(this)), m_stopBits(new QComboBox(this)),
      m_interval(new NumberEdit(tr("输出%1 间隔(毫秒)").arg(output), -1, this)), m_status(new QLabel(this))
{
    for (const OutputKindRow& kind : OutputKinds) m_kind->addItem(CoreText(kind.Text));
    for (int n = 1; n <= MaxComPort; ++n) m_port->addItem(QString("COM%1").arg(n));
    for (int baud : BaudRates) m_baud->addItem(QString::number(baud));
    for (const char* name : ParityNames) m_parity->addItem(CoreText(name));
    for (const char* name : StopBitNames) m_stopBits->addItem(CoreText(name));

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(m_active);
    top->addWidget(new QLabel(tr("类型"), this));
    top->addWidget(m_kind);
    top->addWidget(new QLabel(tr("地址"), this));
    top->addWidget(m_address, 1);
    layout->addLayout(top);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("串口"), this), 0, 0);
    grid->addWidget(m_port, 0, 1);
    grid->addWidget(new QLabel(tr("波特率"), this), 0, 2);
    grid->addWidget(m_baud, 0, 3);
    grid->addWidget(new QLabel(tr("校验"), this), 1, 0);
    grid->addWidget(m_parity, 1, 1);
    grid->addWidget(new QLabel(tr("停止位"), this), 1, 2);
    grid->addWidget(m_stopBits, 1, 3);
    layout->addLayout(grid);
    layout->addWidget(Hint(tr("提示： 标准 NMEA 设置为4800 波特，1 停止位，无校验"), this));
    // The serial driver here knows one or two stop bits only.
    layout->addWidget(Hint(tr("注：本系统的串口不支持1.5停止位，选择1.5时按2停止位发送"), this));
    auto* interval = new QHBoxLayout;
    m_interval->setMaximumWidth(100);
    interval->addWidget(m_interval);
    interval->addWidget(Hint(tr("毫秒（1Hz GPS为1000，5Hz GPS为200）"), this), 1);
    layout->addLayout(interval);
    layout->addLayout(SentenceRow(m_sentences, this));
    layout->addWidget(Hint(tr("提示: RMC 是最基本的 NMEA 语句"), this));
    layout->addWidget(m_status);
    layout->addStretch();
    connect(m_active, &QCheckBox::clicked, this, [this](bool checked) { ApplyLook(checked, false); });
    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { ApplyKind(); });
}

void COptionOutput::ApplyKind()
{
    const int kind = m_kind->currentIndex();
    const bool network = kind >= FirstNetKind;
    const bool editable = m_kind->isEnabled();
    for (QWidget* w : std::initializer_list<QWidget*>{m_port, m_baud, m_parity, m_stopBits})
        w->setEnabled(editable && !network);
    m_address->setEnabled(editable && network);
    m_address->setPlaceholderText(network ? QString::fromUtf8(OutputKinds[kind].Example) : QString());
}

void COptionOutput::ApplyLook(bool active, bool atInit)
{
    const bool running = m_runtime.Running[m_output];
    const bool network = m_kind->currentIndex() >= FirstNetKind;
    OutputPageLook look =
        OutputPageLookOf(active, running, m_kind->currentIndex() == VirtualKind, m_runtime.PeerOpen[m_output]);
    // A running network output tells whether a peer is there (a UDP output always has one).
    if (running && network)
        look.Status = ToUtf8(m_runtime.PeerOpen[m_output] ? tr("运行中,已连接") : tr("运行中,未连接"));
    if (!atInit) {
        // A click on "启用" switches the whole page with it.
        look.PortFields = active;
        look.IntervalAndSentences = active;
    }
    m_active->setEnabled(look.ActiveBox);
    m_kind->setEnabled(look.PortFields);
    ApplyKind();
    m_interval->setEnabled(look.IntervalAndSentences);
    for (QCheckBox* box : m_sentences) box->setEnabled(look.IntervalAndSentences);
    if (atInit) m_status->setText(FromUtf8(look.Status));
}

void COptionOutput::Load(const OptionsForm& form)
{
    const OutputSettings& o = form.Outputs[m_output];
    m_active->setChecked(o.Active);
    int kind = o.Virtual ? VirtualKind : SerialKind;
    QString address;
    if (!o.Net.empty()) {
        // A malformed address from the file is shown as written, under the kind its prefix names.
        kind = FirstNetKind;
        address = FromUtf8(o.Net);
        for (int k = FirstNetKind; k < static_cast<int>(std::size(OutputKinds)); ++k) {
            if (o.Net.starts_with(OutputKinds[k].NetPrefix)) {
                kind = k;
                address = FromUtf8(o.Net.substr(std::strlen(OutputKinds[k].NetPrefix)));
                break;
            }
        }
    }
    m_kind->setCurrentIndex(kind);
    m_address->setText(address);
    m_port->setCurrentIndex(o.Port);
    m_baud->setCurrentIndex(o.BaudRateIndex);
    m_parity->setCurrentIndex(o.ParityIndex);
    m_stopBits->setCurrentIndex(o.StopBitsIndex);
    m_interval->SetValue(o.Interval);
    for (int i = 0; i < SentenceCount; ++i) m_sentences[i]->setChecked(o.Send[i]);
    ApplyLook(o.Active, true);
}

bool COptionOutput::Save(OptionsForm& form)
{
    OutputSettings& o = form.Outputs[m_output];
    const int kind = m_kind->currentIndex();
    std::string net;
    if (kind >= FirstNetKind) {
        net = OutputKinds[kind].NetPrefix + m_address->text().trimmed().toStdString();
        if (!ParseNetSpec(net).Endpoint) {
            WarnAboutField(this, tr("地址“%1”无效。TCP服务器写作 [地址:]端口，如 10110 或 0.0.0.0:10110；"
                                      "TCP客户端和UDP写作 主机:端口，如 %2")
                                     .arg(m_address->text(), CoreText(OutputKinds[3].Example)));
            m_address->setFocus();
            m_address->selectAll();
            return false;
        }
    }
    if (!ReadInt(m_interval, o.Interval, this)) return false;
    o.Active = m_active->isChecked();
    if (kind < FirstNetKind) o.Virtual = kind == VirtualKind;
    o.Net = net;
    o.Port = m_port->currentIndex();
    o.BaudRateIndex = m_baud->currentIndex();
    o.ParityIndex = m_parity->currentIndex();
    o.StopBitsIndex = m_stopBits->currentIndex();
    for (int i = 0; i < SentenceCount; ++i) o.Send[i] = m_sentences[i]->isChecked();
    return true;
}

// --- Output 0 ---

COptionOzi::COptionOzi(const OptionsRuntime& runtime, QWidget* parent)
    : OptionsPageBase(parent), m_linkUp(runtime.Running[0]), m_active(new QCheckBox(tr("启用"), this)),
      m_noNmea(new QCheckBox(tr("不输出NMEA语句到OziExplorer（OziExplorer仅用于获取单双击地图地点的经纬度）"), this)),
      m_interval(new NumberEdit(tr("输出0 间隔(毫秒)"), -1, this)), m_status(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_active);
    layout->addWidget(m_noNmea);
    auto* interval = new QHBoxLayout;
    m_interval->setMaximumWidth(100);
    interval->addWidget(m_interval);
    interval->addWidget(Hint(tr("毫秒（推荐值：200毫秒）"), this), 1);
    layout->addLayout(interval);
    layout->addLayout(SentenceRow(m_sentences, this));
    layout->addWidget(Hint(tr("提示: 目前版本的 OziExplorer 在经 Ozi API 连接时不解释 RMC/GGA 以外的语句"), this));
    layout->addWidget(m_status);
    layout->addStretch();
    connect(m_active, &QCheckBox::clicked, this, [this](bool checked) {
        m_noNmea->setEnabled(checked);
        m_interval->setEnabled(checked);
        for (QCheckBox* box : m_sentences) box->setEnabled(checked);
    });
}

void COptionOzi::ApplyLook(bool active)
{
    const OziPageLook look = OziPageLookOf(active, m_linkUp);
    m_active->setEnabled(look.ActiveBox);
    m_noNmea->setEnabled(look.NoNmeaBox);
    m_interval->setEnabled(look.IntervalAndSentences);
    for (QCheckBox* box : m_sentences) box->setEnabled(look.IntervalAndSentences);
    m_status->setText(FromUtf8(look.Status));
}

void COptionOzi::Load(const OptionsForm& form)
{
    const OutputSettings& o = form.Outputs[0];
    m_active->setChecked(o.Active);
    m_noNmea->setChecked(o.NoNMEA);
    m_interval->SetValue(o.Interval);
    for (int i = 0; i < SentenceCount; ++i) m_sentences[i]->setChecked(o.Send[i]);
    ApplyLook(o.Active);
}

bool COptionOzi::Save(OptionsForm& form)
{
    OutputSettings& o = form.Outputs[0];
    if (!ReadInt(m_interval, o.Interval, this)) return false;
    o.Active = m_active->isChecked();
    o.NoNMEA = m_noNmea->isChecked();
    for (int i = 0; i < SentenceCount; ++i) o.Send[i] = m_sentences[i]->isChecked();
    return true;
}

// --- GPS ---

COptionGPS::COptionGPS(QWidget* parent)
    : OptionsPageBase(parent), m_upper(new NumberEdit(tr("上限"), 2, this)),
      m_lower(new NumberEdit(tr("下限"), 2, this)), m_offset(new NumberEdit(tr("时间偏移"), 4, this)),
      m_factor(new NumberEdit(tr("时间缩放因子"), 4, this))
{
    auto* layout = new QVBoxLayout(this);
    auto* speeds = new QGroupBox(tr("GPS 速度(NMEA 语句中的速度)"), this);
    auto* speedForm = new QFormLayout(speeds);
    speedForm->addRow(tr("上限"), m_upper);
    speedForm->addRow(tr("下限"), m_lower);
    speedForm->addRow(Hint(tr("注：若设定的上限速度小于下限速度，则GPS速度始终为上限速度"), this));
    layout->addWidget(speeds);
    auto* time = new QFormLayout;
    time->addRow(tr("时间偏移"), m_offset);
    time->addRow(tr("时间缩放因子"), m_factor);
    time->addRow(Hint(tr("1：正常，0：时间不变，0～1时间变慢，>1时间变快"), this));
    layout->addLayout(time);
    layout->addStretch();
}

void COptionGPS::Load(const OptionsForm& form)
{
    m_upper->SetValue(form.UpperSpeedKmh);
    m_lower->SetValue(form.LowerSpeedKmh);
    m_offset->SetValue(form.GPSTimeOffset);
    m_factor->SetValue(form.GPSTimeFactor);
}

bool COptionGPS::Save(OptionsForm& form)
{
    return ReadNumber(m_upper, form.UpperSpeedKmh, this) && ReadNumber(m_lower, form.LowerSpeedKmh, this) &&
           ReadNumber(m_offset, form.GPSTimeOffset, this) && ReadNumber(m_factor, form.GPSTimeFactor, this);
}

// --- Miscellaneous ---

COptionMisc::COptionMisc(const OptionsRuntime& runtime, QWidget* parent)
    : OptionsPageBase(parent), m_format(new QComboBox(this)), m_step(new QComboBox(this)),
      m_wheel(new NumberEdit(tr("鼠标滚轮灵敏度"), 2, this))
{
    for (const char* name : FormatNames) m_format->addItem(CoreText(name));
    for (const StepRow& row : StepTable) m_step->addItem(CoreText(row.Text));
    const char* keyLabels[] = {Texts::Mark("按一下"), Texts::Mark("短时间按住"), Texts::Mark("长时间按住")};
    const char* keyHints[] = {Texts::Mark("推荐值：1度"), Texts::Mark("推荐值：2度"), Texts::Mark("推荐值：5度")};
    auto* layout = new QVBoxLayout(this);
    auto* top = new QFormLayout;
    top->addRow(tr("经纬度格式"), m_format);
    top->addRow(tr("跳跃步长"), m_step);
    top->addRow(Hint(tr("（用于跳跃键。在南北方向上0.00001 度大约等于1米，东西方向上随纬度增加而减小）"), this));
    layout->addLayout(top);
    auto* keys = new QGroupBox(tr("左右箭头灵敏度(度)"), this);
    auto* keyGrid = new QGridLayout(keys);
    for (int i = 0; i < 3; ++i) {
        m_keys[i] = new NumberEdit(CoreText(keyLabels[i]), 2, this);
        // The arrow keys steer only in free driving.
        m_keys[i]->setEnabled(!runtime.TrackReplay);
        keyGrid->addWidget(new QLabel(CoreText(keyLabels[i]), keys), i, 0);
        keyGrid->addWidget(m_keys[i], i, 1);
        keyGrid->addWidget(new QLabel(CoreText(keyHints[i]), keys), i, 2);
    }
    layout->addWidget(keys);
    auto* wheel = new QGridLayout;
    wheel->addWidget(new QLabel(tr("鼠标滚轮灵敏度"), this), 0, 0);
    wheel->addWidget(m_wheel, 0, 1);
    wheel->addWidget(new QLabel(tr("推荐值：5度（负值反转方向）"), this), 0, 2);
    layout->addLayout(wheel);
    layout->addStretch();
}

void COptionMisc::Load(const OptionsForm& form)
{
    m_format->setCurrentIndex(form.LatLonFormatIndex);
    m_step->setCurrentIndex(form.StepIndex >= 0 && form.StepIndex < StepCount ? form.StepIndex : -1);
    m_keys[0]->SetValue(form.KeySensitivity1);
    m_keys[1]->SetValue(form.KeySensitivity2);
    m_keys[2]->SetValue(form.KeySensitivity3);
    m_wheel->SetValue(form.WheelSensitivity);
}

bool COptionMisc::Save(OptionsForm& form)
{
    if (!ReadNumber(m_keys[0], form.KeySensitivity1, this) || !ReadNumber(m_keys[1], form.KeySensitivity2, this) ||
        !ReadNumber(m_keys[2], form.KeySensitivity3, this) || !ReadNumber(m_wheel, form.WheelSensitivity, this))
        return false;
    form.LatLonFormatIndex = std::max(0, m_format->currentIndex());
    form.StepIndex = m_step->currentIndex();
    return true;
}

// --- Track ---

COptionTrack::COptionTrack(QWidget* parent)
    : OptionsPageBase(parent), m_minPoints(new QSpinBox(this)),
      m_minLength(new NumberEdit(tr("航迹段最短长度（米）"), 2, this))
{
    // The up-down control keeps the count within what the page accepts.
    m_minPoints->setObjectName(QString::fromUtf8("航迹段最少点数"));
    m_minPoints->setRange(2, 9999);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(tr("航迹段过滤"), this);
    auto* form = new QFormLayout(group);
    form->addRow(tr("航迹段最少点数"), m_minPoints);
    form->addRow(tr("航迹段最短长度（米）"), m_minLength);
    layout->addWidget(group);
    layout->addStretch();
}

void COptionTrack::Load(const OptionsForm& form)
{
    m_minPoints->setValue(form.MinTrackPoints);
    m_minLength->SetValue(form.MinTrackLength);
}

bool COptionTrack::Save(OptionsForm& form)
{
    form.MinTrackPoints = m_minPoints->value();
    return ReadNumber(m_minLength, form.MinTrackLength, this);
}

// --- Sky ---

constexpr const char* SystemBoxTexts[GnssSystemCount] = {"GPS", "GLONASS", "Galileo", Texts::Mark("北斗")};

COptionSky::COptionSky(QWidget* parent)
    : OptionsPageBase(parent), m_enabled(new QCheckBox(tr("模拟真实接收机（卫星运动、精度因子、定位噪声、失锁）"), this)),
      m_almanac(new QLineEdit(this)), m_mask(new NumberEdit(tr("截止高度角（度）"), 1, this)),
      m_uere(new NumberEdit(tr("用户等效距离误差（米）"), 2, this)),
      m_correlation(new NumberEdit(tr("噪声相关时间（秒）"), 1, this)), m_seed(new NumberEdit(tr("随机种子"), -1, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_enabled);
    auto* systems = new QGroupBox(tr("卫星系统"), this);
    auto* systemRow = new QHBoxLayout(systems);
    for (int i = 0; i < GnssSystemCount; ++i) {
        m_systems[i] = new QCheckBox(CoreText(SystemBoxTexts[i]), systems);
        systemRow->addWidget(m_systems[i]);
    }
    layout->addWidget(systems);
    auto* almanacRow = new QHBoxLayout;
    auto* browse = new QPushButton(tr("浏览..."), this);
    almanacRow->addWidget(m_almanac);
    almanacRow->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("选择历书文件"), m_almanac->text(),
                                                          tr("历书文件 (*.alm *.al3 *.txt);;所有文件 (*)"));
        if (!path.isEmpty()) m_almanac->setText(path);
    });
    auto* form = new QFormLayout;
    form->addRow(tr("GPS历书文件"), almanacRow);
    form->addRow(Hint(tr("YUMA或SEM格式；为空时使用标准星座"), this));
    form->addRow(tr("截止高度角（度）"), m_mask);
    form->addRow(Hint(tr("高于此角度的卫星少于4颗时失去定位（可模拟城市峡谷）"), this));
    form->addRow(tr("用户等效距离误差（米）"), m_uere);
    form->addRow(Hint(tr("0：无定位噪声"), this));
    form->addRow(tr("噪声相关时间（秒）"), m_correlation);
    form->addRow(tr("随机种子"), m_seed);
    form->addRow(Hint(tr("0：每次运行不同；相同的种子产生相同的语句"), this));
    layout->addLayout(form);
    layout->addStretch();
}

void COptionSky::Load(const OptionsForm& form)
{
    m_enabled->setChecked(form.Sky.Enabled);
    for (int i = 0; i < GnssSystemCount; ++i) m_systems[i]->setChecked((form.Sky.Systems & (1u << i)) != 0);
    m_almanac->setText(FromUtf8(form.Sky.AlmanacFile));
    m_mask->SetValue(form.Sky.MaskDeg);
    m_uere->SetValue(form.Sky.Uere);
    m_correlation->SetValue(form.Sky.CorrelationTime);
    m_seed->SetValue(form.Sky.Seed);
}

bool COptionSky::Save(OptionsForm& form)
{
    double seed = 0;
    if (!ReadNumber(m_mask, form.Sky.MaskDeg, this) || !ReadNumber(m_uere, form.Sky.Uere, this) ||
        !ReadNumber(m_correlation, form.Sky.CorrelationTime, this) || !ReadNumber(m_seed, seed, this))
        return false;
    if (!(seed >= 0 && seed <= UINT32_MAX)) {
        WarnAboutField(this, OutOfRangeText(m_seed->Label(), 0, UINT32_MAX, true));
        m_seed->setFocus();
        return false;
    }
    unsigned systems = 0;
    for (int i = 0; i < GnssSystemCount; ++i)
        if (m_systems[i]->isChecked()) systems |= 1u << i;
    if (systems == 0) {
        WarnAboutField(this, tr("请至少选择一个卫星系统"));
        return false;
    }
    const std::string almanac = m_almanac->text().trimmed().toStdString();
    if (!almanac.empty()) {
        // Refused here, where it can be corrected, rather than at every run.
        const AlmanacResult read = ReadAlmanacFile(almanac);
        if (!read) {
            WarnAboutField(this, tr("无法使用此历书文件：") + FromUtf8(read.Error));
            m_almanac->setFocus();
            return false;
        }
    }
    form.Sky.Enabled = m_enabled->isChecked();
    form.Sky.Systems = systems;
    form.Sky.AlmanacFile = almanac;
    form.Sky.Seed = static_cast<std::uint32_t>(seed);
    return true;
}

// --- The sheet ---

COptions::COptions(Settings& settings, const OptionsRuntime& runtime, int startPage, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_saved(settings), m_form(OptionsFormOf(settings)),
      m_tabs(new QTabWidget(this))
{
    setWindowTitle(tr("选项"));
    m_pages = {new COptionOutput(1, runtime, this), new COptionOutput(2, runtime, this),
               new COptionOutput(3, runtime, this), new COptionOzi(runtime, this),
               new COptionGPS(this),                new COptionMisc(runtime, this),
               new COptionTrack(this),              new COptionSky(this)};
    for (int page = 0; page < OptionsPageCount; ++page) {
        m_pages[page]->Load(m_form);
        m_tabs->addTab(m_pages[page], CoreText(OptionsTabText(page)));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(OkCancelButtons(this));
    m_shownPage = startPage >= 0 && startPage < OptionsPageCount ? startPage : 0;
    m_tabs->setCurrentIndex(m_shownPage);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int page) {
        if (m_switching || page == m_shownPage) return;
        // The page being left stays in front until its values pass, also while a refusal is shown.
        ShowTab(m_shownPage);
        if (!LeavePage(m_shownPage)) return;
        m_shownPage = page;
        m_pages[page]->Load(m_form);
        ShowTab(page);
    });
}

void COptions::ShowTab(int page)
{
    m_switching = true;
    m_tabs->setCurrentIndex(page);
    m_switching = false;
}

int COptions::CurrentPage() const { return m_tabs->currentIndex(); }

void COptions::SetCurrentPage(int page) { m_tabs->setCurrentIndex(page); }

bool COptions::LeavePage(int page)
{
    if (!m_pages[page]->Save(m_form)) return false;
    if (const auto error = CheckOptionsPage(m_form, page)) {
        WarnAboutField(this, OutOfRangeText(FromUtf8(error->Field), error->Min, error->Max,
                                                               error->Integer));
        return false;
    }
    StoreOptionsPage(m_form, page, m_settings);
    return true;
}

void COptions::accept()
{
    if (!LeavePage(m_shownPage)) return;
    if (const auto error = CheckOptionsForm(m_form)) {
        m_tabs->setCurrentIndex(error->Page);
        WarnAboutField(this, OutOfRangeText(FromUtf8(error->Field), error->Min, error->Max,
                                                               error->Integer));
        return;
    }
    ApplyOptionsOk(m_form, m_settings);
    QDialog::accept();
}

void COptions::reject()
{
    RestoreOptions(m_saved, m_settings);
    QDialog::reject();
}

}  // namespace tolvex
