// The main window's commands that open a dialog: position, options, favourite, NMEA export.

#include "app/favorite_dialog.h"
#include "app/options_sheet.h"
#include "app/position_window.h"
#include "app/save_nmea.h"
#include "app/tolvex_dlg.h"
#include "links/ozi_link.h"

namespace tolvex {

void CTolvexDlg::EditPosition(LatLonFormat format)
{
    CCurrentPosition dialog(*m_operator, format, this);
    dialog.exec();
    RefreshPanel(1);
}

void CTolvexDlg::OptionsCommand(int startOutput)
{
    Engine& engine = m_sim->Core;
    Replay& replay = m_sim->TrackReplay;
    if (const int page = OptionsPageOfOutput(startOutput); page >= 0) m_optionsStartPage = page;
    // The replay stands still while the sheet is open; the outputs keep sending.
    replay.SetTrackBusy(true);
    OptionsRuntime runtime;
    runtime.Running[0] = engine.Outputs[0].LinkUp;
    for (int k = 1; k < OutputCount; ++k) {
        runtime.Running[k] = engine.Outputs[k].OpenPort != nullptr;
        runtime.PeerOpen[k] = runtime.Running[k] && engine.Outputs[k].OpenPort->IsPeerOpen();
    }
    runtime.TrackReplay = replay.Mode() != TrackMode::Free;
    COptions sheet(engine.Options, runtime, m_optionsStartPage, this);
    if (sheet.exec() == QDialog::Accepted) {
        m_optionsStartPage = sheet.CurrentPage();
        replay.UpdateStepInterval();
        if (engine.Outputs[0].LinkUp && !engine.Options.Outputs[0].NoNMEA && engine.Outputs.Ozi())
            engine.Outputs.Ozi()->StartMMapi();
        RefreshPanel(2);
    }
    replay.SetTrackBusy(false);
}

void CTolvexDlg::SaveFavoriteCommand()
{
    CAddFavoPoint dialog(*m_operator, this);
    dialog.exec();
}

void CTolvexDlg::SaveNmeaCommand()
{
    Engine& engine = m_sim->Core;
    NmeaExport exporter(m_sim->TrackReplay, engine.Fix, engine.Options, engine.State, engine.Clock,
                        engine.Calendar(), engine.ExportRunning, *this);
    if (!exporter.CheckSpeed()) return;
    CSaveNMEA dialog(*m_sim, exporter, this);
    dialog.exec();
    RefreshPanel(1);
}

}  // namespace tolvex
