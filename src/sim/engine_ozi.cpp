#include "links/ozi_link.h"
#include "sim/engine.h"
#include "sim/geodesy.h"
#include "sim/host.h"
#include "sim/replay_driver.h"

namespace tolvex {

void Engine::ApplyPendingOziClicks()
{
    OziLink* link = Outputs.Ozi();
    if (link == nullptr) return;
    OziClick click;
    while (link->TakeClick(click)) ApplyMapClick(click);
}

void Engine::ApplyMapClick(const OziClick& click)
{
    const bool free = Mode() == TrackMode::Free;
    if (click.Double) {
        // OnOziMapDblClick: jump there, or to the nearest place on the track.
        if (free) {
            Fix.Latitude = click.Latitude;
            Fix.Longitude = click.Longitude;
            m_host.RefreshPanel(1);
        } else {
            m_replay->SnapToTrack(click.Latitude, click.Longitude);
        }
    } else if (free) {
        // OnOziMapClick: turn towards the point; two identical points leave the course alone.
        bool valid = true;
        const double course = GeoBearing(Fix.Latitude, Fix.Longitude, click.Latitude, click.Longitude, &valid);
        if (valid) Fix.Course = course;
        m_host.RefreshPanel(1);
    }
}

}  // namespace tolvex
