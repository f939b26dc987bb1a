#include "app/save_nmea.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/host_dialogs.h"
#include "app/qt_text.h"
#include "sim/engine_simulator.h"
#include "tracks/segment_rows.h"

namespace tolvex {
namespace {
}

CSaveNMEA::CSaveNMEA(Simulator& sim, NmeaExport& exporter, QWidget* parent)
    : QDialog(parent), m_exporter(exporter), m_oneSegment(new QRadioButton(tr("选择段"), this)),
      m_allSegments(new QRadioButton(tr("顺序存储所有段"), this)), m_segments(new QComboBox(this)),
      m_totals(new QLabel(this)), m_status(new QLabel(this))
{
    setWindowTitle(tr("存储航迹为NMEA-0183文件"));
    auto* layout = new QVBoxLayout(this);
    auto* header = new QLabel(tr(
                                  "Tolvex GPS模拟器将根据以下选项，及当前的航迹模式及相应的参数（M模式时的速度，S模式时的速度比例，"
                                  "是否反序，偏移量，GPS速度上下限，时间偏移及缩放因子等）生成NMEA语句"),
                              this);
    header->setWordWrap(true);
    layout->addWidget(header);
    auto* sentences = new QHBoxLayout;
    const ExportOptions defaults;
    for (int i = 0; i < SentenceCount; ++i) {
        m_sentences[i] = new QCheckBox(QString::fromUtf8(SentenceNames[i]), this);
        m_sentences[i]->setChecked(defaults.Sentences[i]);
        sentences->addWidget(m_sentences[i]);
    }
    layout->addLayout(sentences);

    for (const std::string& row : SegmentRows(sim.Track, sim.Core.Options.LatLonFormatIndex))
        m_segments->addItem(FromUtf8(row));
    m_segments->setCurrentIndex(m_segments->count() > 0 ? 0 : -1);
    m_oneSegment->setChecked(true);
    auto* choice = new QGridLayout;
    choice->addWidget(m_oneSegment, 0, 0);
    choice->addWidget(m_segments, 0, 1);
    choice->addWidget(m_allSegments, 1, 0);
    layout->addLayout(choice);
    m_totals->setText(FromUtf8(SegmentTotals(sim.Track)));
    layout->addWidget(m_totals);
    layout->addWidget(m_status);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* saveAs = new QPushButton(tr("存储为..."), this);
    auto* quit = new QPushButton(tr("退出"), this);
    buttons->addWidget(saveAs);
    buttons->addWidget(quit);
    layout->addLayout(buttons);
    connect(saveAs, &QPushButton::clicked, this, &CSaveNMEA::SaveAsClicked);
    connect(quit, &QPushButton::clicked, this, &QDialog::accept);
}

ExportOptions CSaveNMEA::Choices() const
{
    ExportOptions options;
    for (int i = 0; i < SentenceCount; ++i) options.Sentences[i] = m_sentences[i]->isChecked();
    options.Segment = m_oneSegment->isChecked() ? std::max(0, m_segments->currentIndex()) + 1 : 0;
    return options;
}

void CSaveNMEA::reject()
{
    if (m_exporting) {
        m_cancelExport = true;
        return;
    }
    QDialog::reject();
}

QString CSaveNMEA::Totals() const { return m_totals->text(); }

QString CSaveNMEA::Status() const { return m_status->text(); }

void CSaveNMEA::SaveAsClicked()
{
    QFileDialog dialog(this, tr("存为NMEA-0183文件"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({tr("NMEA-0183文件(*.nmea)"), tr("所有文件(*)")});
    dialog.setDefaultSuffix("nmea");
    dialog.selectFile("*.nmea");
    LabelFileDialog(dialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    SaveTo(dialog.selectedFiles().front());
}

bool CSaveNMEA::SaveTo(const QString& path)
{
    // A long track takes a while: show how far the replay has come.
    QProgressDialog progress(tr("正在生成NMEA文件..."), tr("取消"), 0, 1000, this);
    progress.setWindowTitle(windowTitle());
    progress.setMinimumDuration(500);
    progress.setWindowModality(Qt::WindowModal);
    m_exporter.Progress = [this, &progress](int point, int points) {
        progress.setValue(points > 0 ? static_cast<int>(1000LL * point / points) : 0);
        QApplication::processEvents();
        return !progress.wasCanceled() && !m_cancelExport;
    };
    m_exporting = true;
    m_cancelExport = false;
    const std::optional<std::string> status = m_exporter.SaveAs(QFile::encodeName(path).toStdString(), Choices());
    m_exporting = false;
    m_exporter.Progress = nullptr;
    progress.reset();
    if (!status) return false;
    m_status->setText(QFile::decodeName(QByteArray::fromStdString(*status)));
    return true;
}

}  // namespace tolvex
