#include "tracks/readers/segment_queue.h"

namespace tolvex {

int SegmentQueue::Open()
{
    m_waiting.emplace_back();
    return m_count++;
}

void SegmentQueue::Add(int element, const TrackPoint& point)
{
    if (Live(element))
        m_builder->AddTrackPoint(point);
    else
        At(element).Open.push_back(point);
}

void SegmentQueue::CloseSegment(int element, std::string name)
{
    if (Live(element)) {
        m_builder->CloseSegment(std::move(name));
        return;
    }
    Element& e = At(element);
    e.Closed.push_back(Segment{std::move(name), std::move(e.Open)});
    e.Open = {};
}

void SegmentQueue::Finish(int element)
{
    At(element).Finished = true;
    if (!Live(element))
        return;
    // Hand over the elements that waited behind this one; the first unfinished one goes live.
    while (!m_waiting.empty() && m_waiting.front().Finished) {
        m_waiting.pop_front();
        ++m_first;
        if (!m_waiting.empty())
            Hand(m_waiting.front(), *m_builder);
    }
}

void SegmentQueue::Hand(Element& element, SegmentBuilder& builder)
{
    for (Segment& segment : element.Closed) {
        for (const TrackPoint& point : segment.Points)
            builder.AddTrackPoint(point);
        builder.CloseSegment(std::move(segment.Name));
    }
    element.Closed.clear();
    for (const TrackPoint& point : element.Open)
        builder.AddTrackPoint(point);
    element.Open = {};
}

void SegmentQueue::DrainTo(SegmentBuilder& builder)
{
    for (Element& element : m_waiting)
        Hand(element, builder);
    m_waiting.clear();
    m_first = m_count;
}

}  // namespace tolvex
