#pragma once
// CSaveNMEA, "存储航迹为NMEA-0183文件": the loaded track written as an NMEA log, segment by
// segment or all in order. The dialog stays open so several files can be written in one visit.

#include <QDialog>

#include <array>
#include <string>

#include "nmea/export.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

namespace tolvex {

struct Simulator;

class CSaveNMEA : public QDialog {
    Q_OBJECT
public:
    CSaveNMEA(Simulator& sim, NmeaExport& exporter, QWidget* parent);

    // "存储为...": asks for the file, then SaveTo.
    void SaveAsClicked();
    // Exports into path with the dialog's choices; false when nothing was written.
    bool SaveTo(const QString& path);

    ExportOptions Choices() const;
    QCheckBox* SentenceBox(int i) const { return m_sentences.at(i); }
    QRadioButton* OneSegment() const { return m_oneSegment; }
    QRadioButton* AllSegments() const { return m_allSegments; }
    QComboBox* Segments() const { return m_segments; }
    QString Totals() const;
    QString Status() const;

    // Escape or a close from outside during an export cancels the export; the dialog stays.
    void reject() override;

private:
    NmeaExport& m_exporter;
    std::array<QCheckBox*, SentenceCount> m_sentences{};
    QRadioButton* m_oneSegment;
    QRadioButton* m_allSegments;
    QComboBox* m_segments;
    QLabel* m_totals;
    QLabel* m_status;
    bool m_exporting = false;
    bool m_cancelExport = false;
};

}  // namespace tolvex
