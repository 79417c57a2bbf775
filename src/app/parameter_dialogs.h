// The seven parameter dialogs. Each holds the plain values it exchanges (filled by the
// command before it opens, read by the command after OK) and its controls.
#pragma once

#include "app/parameter_dialog.h"
#include "engine/platform_services.h"

class QCheckBox;
class QLineEdit;

namespace sorv {

// "Spectrum limits": the centre frequency and one of five bandwidths.
class CSpectrumDlg : public ParameterDialog {
public:
    // The refusal of a centre whose band would reach beyond +-10 MHz.
    static const char* const kBandOutOfRange;

    explicit CSpectrumDlg(QWidget* parent = nullptr);
    SpectrumDlgValues m_values;

protected:
    void LoadFields() override;
    bool SaveFields() override;

private:
    QLineEdit* centre_;
    RadioGroup bandwidth_;
};

// The period search range, longest and shortest period in seconds.
class CPeriodDlg : public ParameterDialog {
public:
    explicit CPeriodDlg(QWidget* parent = nullptr);
    PeriodDlgValues m_values;

protected:
    void LoadFields() override;
    bool SaveFields() override;

private:
    QLineEdit* max_;
    QLineEdit* min_;
};

// "Nominal carrier frequency": the receiver's dial frequency and its sideband.
class CCarrierDlg : public ParameterDialog {
public:
    explicit CCarrierDlg(QWidget* parent = nullptr);
    CarrierDlgValues m_values;

protected:
    void LoadFields() override;
    bool SaveFields() override;

private:
    RadioGroup mode_;
    QLineEdit* carrier_;
};

// "Periodicity graph scale": one of four period spans.
class CPerScaleDlg : public ParameterDialog {
public:
    explicit CPerScaleDlg(QWidget* parent = nullptr);
    PerScaleDlgValues m_values;

protected:
    void LoadFields() override;
    bool SaveFields() override;

private:
    RadioGroup scale_;
};

// "Ident morse wpm": the expected speed and whether the decoder finds it itself.
class CWpmDlg : public ParameterDialog {
public:
    explicit CWpmDlg(QWidget* parent = nullptr);
    WpmDlgValues m_values;

protected:
    void LoadFields() override;
    bool SaveFields() override;

private:
    QLineEdit* wpm_;
    QCheckBox* auto_;
};

// "Automatic search parameters": the subcarrier and ident period limits.
class CAutoParmDlg : public ParameterDialog {
public:
    explicit CAutoParmDlg(QWidget* parent = nullptr);
    AutoParmDlgValues m_values;

protected:
    void LoadFields() override;
    bool SaveFields() override;

private:
    QLineEdit* toneMin_;
    QLineEdit* toneMax_;
    QLineEdit* periodMin_;
    QLineEdit* periodMax_;
};

// "Loran-C Group Repetition Interval", in units of 10 µs.
class CGriDlg : public ParameterDialog {
public:
    // The longest GRI whose length in samples still fits one accumulation slot.
    static constexpr double kMaxGri = 34132.0;
    static const char* const kGriOutOfRange;

    explicit CGriDlg(QWidget* parent = nullptr);
    GriDlgValues m_values;

protected:
    void LoadFields() override;
    bool SaveFields() override;

private:
    QLineEdit* gri_;
};

}  // namespace sorv
