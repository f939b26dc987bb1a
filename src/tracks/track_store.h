#pragma once
// The one loaded track, kept in file order and reversed so that replay runs either way by
// switching lists. Points sit in contiguous arrays: a million-point file loads without one
// allocation per point.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/settings.h"
#include "tracks/page_warmer.h"

namespace tolvex {

// TrackPoint::Flags bits.
inline constexpr std::uint32_t SegmentStart = 1;  // first point of a segment (or of a GPX trkseg / route group)
inline constexpr std::uint32_t SegmentEnd = 2;    // last point of a segment; replay never interpolates past it
inline constexpr std::uint32_t HasTime = 4;       // Time is valid
inline constexpr std::uint32_t HasAltitude = 8;   // Altitude came from the file

struct TrackPoint {
    double Latitude = 0;   // degrees, north positive
    double Longitude = 0;  // degrees, east positive
    double Altitude = 0;   // metres; 0 when the file gives none
    double Time = 0;       // seconds since 1970-01-01 UTC; negated in the reversed copy
    std::uint32_t Flags = 0;
};

struct TrackSegment {
    int FirstPoint = 0;  // 1-based number in the point list of the same direction
    int PointCount = 0;
    double Length = 0;   // metres, PathLength of the segment's points
    std::string Name;    // "trk: ", "rte: " or "Line:  " + the file's name; may be empty
};

// Sum of GeoDistance between consecutive points (metres); 0 for fewer than two points.
double PathLength(std::span<const TrackPoint> points);

// A track a reader has built and the filter has passed: points in file order, segments
// contiguous from point 1, every segment closed by SegmentEnd. Not yet installed.
struct BuiltTrack {
    std::vector<TrackPoint> Points;
    std::vector<TrackSegment> Segments;
    std::string Remarks;  // what the reader skipped, for `tolvex info`; empty when nothing
    int SkippedPoints = 0;  // points of the file dropped for a position off the globe
};

// A position a track may hold: finite, latitude within ±90, longitude within ±180 degrees.
bool IsOnGlobe(double latitude, double longitude);

// The loading context a reader owns while it parses one file. The filter values are taken
// from the settings when the builder is made; MinTrackPoints below 2 counts as 2.
class SegmentBuilder {
public:
    explicit SegmentBuilder(const Settings& settings);
    SegmentBuilder(int minTrackPoints, double minTrackLength);

    // Appends a filled point to the open segment. The reader sets SegmentStart itself. A point
    // off the globe, or with an altitude or time it claims but that is not finite, is counted and
    // dropped; its segment marks pass to its neighbours.
    void AddTrackPoint(const TrackPoint& point);
    // Filters the open segment: accepted, it gets SegmentEnd on its last point and joins the
    // track; rejected, its points are dropped. The open segment is empty afterwards either way.
    bool CloseSegment(std::string name = {});
    // Ends the load: the still-open segment (if any) is filtered as an unnamed segment. Nothing
    // when no point is left; the store is not touched either way.
    std::optional<BuiltTrack> CommitTrack();

    // Points accepted so far plus the points of the open segment.
    int PointCount() const;
    // Accepted segments (the open one is not counted).
    int SegmentCount() const { return static_cast<int>(m_track.Segments.size()); }
    int OpenPointCount() const;
    // Points dropped so far for a bad position.
    int SkippedPoints() const { return m_track.SkippedPoints; }
    // A hint for large files, to grow the arrays once; capped, since a file's size says little.
    void Reserve(std::size_t points);

private:
    bool Accepts(std::span<const TrackPoint> points, double length) const;

    int m_minTrackPoints;
    double m_minTrackLength;
    BuiltTrack m_track;              // the all-points list and the segment list
    std::size_t m_openBegin = 0;     // the open segment is m_track.Points[m_openBegin..]
    bool m_startPending = false;     // a dropped point began a group: the next point does
    // Faults in a large reserved point list ahead of the points; declared after m_track, so it
    // has stopped before the list is freed.
    std::unique_ptr<PageWarmer> m_warmer;
};

// The loaded track in both directions; what replay, the panel and the export read.
class TrackStore {
public:
    // Replaces the whole content by a built track and fills the reversed segment list. The active
    // direction stays as it was (a reverse setting survives a new load).
    void Install(BuiltTrack&& track);

    // An absent ActivePoints means no track is loaded.
    bool Loaded() const { return m_loaded; }
    int PointCountTotal() const { return m_nPoints; }  // m_nPoints
    int SkippedPoints() const { return m_skippedPoints; }  // dropped from the file for a bad position
    int SegmentCountTotal() const { return m_nTracks; }  // m_nTracks

    bool Reversed() const { return m_reversed; }
    // Turning to the reversed direction makes the reversed points first, if not made yet; when
    // the memory for them is not there it throws std::bad_alloc and the direction stays.
    void SetReversed(bool reversed);

    std::span<const TrackPoint> ActivePoints() const { return m_reversed ? m_reversedPoints : m_forwardPoints; }
    std::span<const TrackSegment> ActiveSegments() const
    {
        return m_reversed ? m_reversedSegments : m_forwardSegments;
    }
    std::span<const TrackPoint> ForwardPoints() const { return m_forwardPoints; }
    std::span<const TrackPoint> ReversedPoints() const
    {
        MakeReversedPoints();
        return m_reversedPoints;
    }
    std::span<const TrackSegment> ForwardSegments() const { return m_forwardSegments; }
    std::span<const TrackSegment> ReversedSegments() const { return m_reversedSegments; }

    // Entry at 0-based position index of ActivePoints; null when outside the list.
    const TrackPoint* PointAt(int index) const;
    // Segment s (1-based) of ActiveSegments; null when outside the list.
    const TrackSegment* SegmentAt(int s) const;

    std::string TrackFilePath;    // the file being loaded or last attempted
    std::string LoadedTrackPath;  // the track loaded now; set only after a successful load
    std::string LoadRemarks;      // the Remarks of the track loaded now

private:
    // The reversed points are made the first time that direction is asked for: most tracks are
    // only ever replayed or exported forward, and the copy is as large as the track.
    void MakeReversedPoints() const;

    bool m_loaded = false;
    bool m_reversed = false;
    int m_nPoints = 0;
    int m_nTracks = 0;
    int m_skippedPoints = 0;
    std::vector<TrackPoint> m_forwardPoints;
    mutable std::vector<TrackPoint> m_reversedPoints;  // empty until made
    std::vector<TrackSegment> m_forwardSegments;
    std::vector<TrackSegment> m_reversedSegments;
};

// The reversed copy of a forward point: same place, time negated, start and end marks swapped
// (a point carrying both keeps only SegmentEnd).
TrackPoint ReversedPoint(const TrackPoint& p);

}  // namespace tolvex
