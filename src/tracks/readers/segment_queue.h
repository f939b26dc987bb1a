#pragma once
// Segments of XML elements that may nest, handed to the builder in the order their elements
// start, which is the order a walk over the document tree closes them in. The oldest unfinished
// element streams straight into the builder; a later one (only ever met in odd nestings) waits
// in memory until everything before it is finished.

#include <deque>
#include <string>
#include <vector>

#include "tracks/track_store.h"

namespace tolvex {

class SegmentQueue {
public:
    // With no builder everything waits until DrainTo.
    explicit SegmentQueue(SegmentBuilder* builder) : m_builder(builder) {}

    // A new element at the end of the order; returns its id.
    int Open();
    void Add(int element, const TrackPoint& point);
    // Ends one segment of the element with its name.
    void CloseSegment(int element, std::string name);
    void Finish(int element);
    // Elements opened so far.
    int Count() const { return m_count; }
    // Hands every waiting segment to builder, in order.
    void DrainTo(SegmentBuilder& builder);

private:
    struct Segment {
        std::string Name;
        std::vector<TrackPoint> Points;
    };
    struct Element {
        std::vector<Segment> Closed;
        std::vector<TrackPoint> Open;
        bool Finished = false;
    };

    bool Live(int element) const { return m_builder && element == m_first; }
    Element& At(int element) { return m_waiting[static_cast<std::size_t>(element - m_first)]; }
    static void Hand(Element& element, SegmentBuilder& builder);

    SegmentBuilder* m_builder;
    std::deque<Element> m_waiting;  // elements m_first, m_first + 1, ...
    int m_first = 0;
    int m_count = 0;
};

}  // namespace tolvex
