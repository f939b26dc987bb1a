#pragma once
// COptions, "选项": seven pages that edit the live settings. A page's values go into the settings
// when it is left for another tab and on OK; Cancel puts back what the settings held at opening.

#include <QDialog>

#include <array>
#include <vector>

#include "config/options_apply.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QLineEdit;
class QTabWidget;

namespace tolvex {

class NumberEdit;

// The run-time facts the pages show and lock on.
struct OptionsRuntime {
    std::array<bool, OutputCount> Running{};  // an OpenPort; the link up for output 0
    std::array<bool, OutputCount> PeerOpen{};
    bool TrackReplay = false;                 // TrackMode is not Free
};

// One page: fills its controls from the form and reads them back.
class OptionsPageBase : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void Load(const OptionsForm& form) = 0;
    // False, after telling the user, when a field is not a number.
    virtual bool Save(OptionsForm& form) = 0;
};

class COptionOutput : public OptionsPageBase {
    Q_OBJECT
public:
    COptionOutput(int output, const OptionsRuntime& runtime, QWidget* parent);
    void Load(const OptionsForm& form) override;
    bool Save(OptionsForm& form) override;

    QCheckBox* ActiveBox() const { return m_active; }
    QComboBox* KindList() const { return m_kind; }
    QLineEdit* AddressEdit() const { return m_address; }
    QComboBox* PortList() const { return m_port; }
    NumberEdit* IntervalEdit() const { return m_interval; }
    QLabel* Status() const { return m_status; }

private:
    void ApplyLook(bool active, bool atInit);
    // Serial fields for the two serial kinds, the address for the network kinds.
    void ApplyKind();

    int m_output;
    OptionsRuntime m_runtime;
    QCheckBox* m_active;
    QComboBox* m_kind;       // 串口, 虚拟串口, TCP服务器, TCP客户端, UDP
    QLineEdit* m_address;
    QComboBox* m_port;
    QComboBox* m_baud;
    QComboBox* m_parity;
    QComboBox* m_stopBits;
    NumberEdit* m_interval;
    std::array<QCheckBox*, SentenceCount> m_sentences{};
    QLabel* m_status;
};

class COptionOzi : public OptionsPageBase {
    Q_OBJECT
public:
    COptionOzi(const OptionsRuntime& runtime, QWidget* parent);
    void Load(const OptionsForm& form) override;
    bool Save(OptionsForm& form) override;

private:
    void ApplyLook(bool active);

    bool m_linkUp;
    QCheckBox* m_active;
    QCheckBox* m_noNmea;
    NumberEdit* m_interval;
    std::array<QCheckBox*, SentenceCount> m_sentences{};
    QLabel* m_status;
};

class COptionGPS : public OptionsPageBase {
    Q_OBJECT
public:
    explicit COptionGPS(QWidget* parent);
    void Load(const OptionsForm& form) override;
    bool Save(OptionsForm& form) override;

private:
    NumberEdit* m_upper;
    NumberEdit* m_lower;
    NumberEdit* m_offset;
    NumberEdit* m_factor;
};

class COptionMisc : public OptionsPageBase {
    Q_OBJECT
public:
    COptionMisc(const OptionsRuntime& runtime, QWidget* parent);
    void Load(const OptionsForm& form) override;
    bool Save(OptionsForm& form) override;

private:
    QComboBox* m_format;
    QComboBox* m_step;
    std::array<NumberEdit*, 3> m_keys{};
    NumberEdit* m_wheel;
};

class COptionTrack : public OptionsPageBase {
    Q_OBJECT
public:
    explicit COptionTrack(QWidget* parent);
    void Load(const OptionsForm& form) override;
    bool Save(OptionsForm& form) override;

private:
    QSpinBox* m_minPoints;
    NumberEdit* m_minLength;
};

// The receiver's realism: satellites, mask, noise.
class COptionSky : public OptionsPageBase {
    Q_OBJECT
public:
    explicit COptionSky(QWidget* parent);
    void Load(const OptionsForm& form) override;
    bool Save(OptionsForm& form) override;

private:
    QCheckBox* m_enabled;
    std::array<QCheckBox*, GnssSystemCount> m_systems{};
    QLineEdit* m_almanac;
    NumberEdit* m_mask;
    NumberEdit* m_uere;
    NumberEdit* m_correlation;
    NumberEdit* m_seed;
};

class COptions : public QDialog {
    Q_OBJECT
public:
    // settings are edited in place; startPage is the tab shown first.
    COptions(Settings& settings, const OptionsRuntime& runtime, int startPage, QWidget* parent);

    int CurrentPage() const;
    void SetCurrentPage(int page);
    OptionsPageBase* Page(int page) const { return m_pages.at(page); }

    void accept() override;
    void reject() override;

private:
    // The page being left: read, checked, stored; false keeps it open.
    bool LeavePage(int page);
    void ShowTab(int page);

    Settings& m_settings;
    Settings m_saved;
    OptionsForm m_form;
    QTabWidget* m_tabs;
    std::vector<OptionsPageBase*> m_pages;
    int m_shownPage = 0;
    bool m_switching = false;
};

}  // namespace tolvex
