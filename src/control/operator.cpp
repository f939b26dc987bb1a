#include "control/operator.h"

#include "sim/engine.h"
#include "sim/host.h"
#include "tracks/replay.h"

namespace tolvex {

Operator::Operator(Engine& engine, Replay* replay) : m_engine(engine), m_replay(replay) {}

TrackMode Operator::Mode() const { return m_replay ? m_replay->Mode() : TrackMode::Free; }

bool Operator::TrackLoaded() const { return m_replay && m_replay->Store().Loaded(); }

ReplayPosition Operator::Position() const
{
    ReplayPosition at;
    if (!m_replay) return at;
    at.Track = m_replay->Track();
    at.Tracks = m_replay->Store().SegmentCountTotal();
    at.PointInTrack = m_replay->PointInTrack();
    at.PointsInTrack = m_replay->PointsInTrack();
    at.Point = m_replay->Point();
    at.Points = m_replay->Store().PointCountTotal();
    return at;
}

double Operator::JumpDistance() const { return m_engine.Options.Step * StepMultiplier(m_engine.HeldKeys); }

void Operator::Refresh() { m_engine.GetHost().RefreshPanel(1); }

std::string Operator::CopyText(CoordinateAxis axis, CopyForm form) const
{
    const SimFix& fix = m_engine.Fix;
    return CopyCoordinate(axis, form, axis == CoordinateAxis::Latitude ? fix.Latitude : fix.Longitude);
}

bool Operator::ShowQuickHelp()
{
    if (m_quickHelp.Open) return false;
    m_quickHelp.Open = true;
    m_quickHelp.HelpSet = Mode() == TrackMode::Free ? 0 : 1;
    return true;
}

void Operator::SwitchQuickHelpPage() { m_quickHelp.HelpSet = (m_quickHelp.HelpSet + 1) % 2; }

void Operator::CloseQuickHelp() { m_quickHelp.Open = false; }

}  // namespace tolvex
