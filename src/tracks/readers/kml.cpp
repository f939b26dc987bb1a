// KML: every coordinates element of a LineString under a Placemark (directly or inside its
// MultiGeometry) is one segment, and so is every gx:Track with its times, named after the
// Placemark's name element that comes before it.

#include "tracks/readers/kml.h"

#include <cmath>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "tracks/readers/gpx.h"
#include "tracks/readers/segment_queue.h"
#include "tracks/readers/xml_scanner.h"
#include "tracks/text_file.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr std::size_t NumberWindow = 30;  // a number is read from at most this many characters
constexpr std::size_t MaxNameText = 64 * 1024;
constexpr std::size_t MaxCoordText = 1024;  // a gx:coord or when longer than this is garbage
constexpr std::uintmax_t BytesPerPointHint = 28;  // "lon,lat,alt" of seven decimals and a line end

// Multi: MultiGeometry or gx:MultiTrack, whose lines and tracks count as the Placemark's own.
enum class Node : std::uint8_t { Other, Placemark, Name, Multi, LineString, Coordinates, GxTrack, When, GxCoord };

struct Frame {
    Node Kind = Node::Other;
    int Element = -1;            // queue id of the enclosing Placemark
    std::size_t Placemark = 0;   // depth of the enclosing Placemark
    std::string Text;            // Name, When, GxCoord
    KmlCoordinateScanner Coordinates;  // Coordinates: read as the text streams
    std::string Name;            // Placemark: the name so far
    // GxTrack: times and positions not yet paired, in document order (nothing for one that
    // does not read), and whether a point has been added.
    std::deque<std::optional<double>> Times;
    std::deque<std::optional<TrackPoint>> Coords;
    bool Started = false;
};

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool Collects(Node kind)
{
    return kind == Node::Name || kind == Node::Coordinates || kind == Node::When || kind == Node::GxCoord;
}

// "lon lat [alt]" of a gx:coord; nothing without two numbers or with a coordinate out of the
// number range.
std::optional<TrackPoint> ReadGxCoord(std::string_view text)
{
    double values[3] = {};
    int count = 0;
    std::size_t n = 0;
    while (count < 3) {
        while (n < text.size() && IsXmlSpace(text[n]))
            ++n;
        if (n >= text.size())
            break;
        values[count++] = LeadingDouble(text.substr(n, NumberWindow));
        while (n < text.size() && !IsXmlSpace(text[n]))
            ++n;
    }
    if (count < 2 || !std::isfinite(values[0]) || !std::isfinite(values[1]))
        return std::nullopt;
    TrackPoint point;
    point.Longitude = values[0];
    point.Latitude = values[1];
    if (count == 3 && std::isfinite(values[2])) {
        point.Altitude = values[2];
        point.Flags |= HasAltitude;
    }
    return point;
}

class KmlHandler final : public XmlHandler {
public:
    explicit KmlHandler(SegmentBuilder& builder) : m_queue(&builder) {}

    int PlacemarkCount() const { return m_queue.Count(); }

    void StartElement(const XmlElement& e) override
    {
        const auto depth = static_cast<std::size_t>(e.Depth);
        if (m_frames.size() <= depth)
            m_frames.resize(depth + 1);
        Frame& f = m_frames[depth];
        const Frame* parent = depth > 0 ? &m_frames[depth - 1] : nullptr;
        f.Kind = Node::Other;
        f.Element = parent ? parent->Element : -1;
        f.Placemark = parent ? parent->Placemark : 0;
        f.Text.clear();
        f.Coordinates = {};
        f.Name.clear();
        f.Times.clear();
        f.Coords.clear();
        f.Started = false;
        const bool inPlacemark = parent && (parent->Kind == Node::Placemark || parent->Kind == Node::Multi);
        if (SameName(e.Name, "Placemark")) {
            f.Kind = Node::Placemark;
            f.Element = m_queue.Open();
            f.Placemark = depth;
        } else if (inPlacemark) {
            if (parent->Kind == Node::Placemark && SameNameNoCase(e.Name, "name"))
                f.Kind = Node::Name;
            else if (SameNameNoCase(e.Name, "LineString"))
                f.Kind = Node::LineString;
            else if (SameNameNoCase(e.Name, "MultiGeometry") || SameName(e.Name, "gx:MultiTrack"))
                f.Kind = Node::Multi;
            else if (SameName(e.Name, "gx:Track"))
                f.Kind = Node::GxTrack;
        } else if (parent && parent->Kind == Node::LineString && SameName(e.Name, "coordinates")) {
            f.Kind = Node::Coordinates;
        } else if (parent && parent->Kind == Node::GxTrack) {
            if (SameName(e.Name, "when"))
                f.Kind = Node::When;
            else if (SameName(e.Name, "gx:coord"))
                f.Kind = Node::GxCoord;
        }
        if (Collects(f.Kind))
            ++m_collecting;
        m_open = depth + 1;
    }

    void EndElement(std::string_view, int depthOfElement) override
    {
        const auto depth = static_cast<std::size_t>(depthOfElement);
        Frame& f = m_frames[depth];
        m_open = depth;
        if (Collects(f.Kind))
            --m_collecting;
        switch (f.Kind) {
        case Node::Name:
            m_frames[depth - 1].Name = std::string(TrimBlanks(f.Text));
            break;
        case Node::Coordinates:
            f.Coordinates.Finish([&](const TrackPoint& p) { m_queue.Add(f.Element, p); });
            m_queue.CloseSegment(f.Element, SegmentName(f));
            break;
        case Node::When:
            m_frames[depth - 1].Times.push_back(ParseIsoTime(TrimBlanks(f.Text)));
            PairTimes(m_frames[depth - 1]);
            break;
        case Node::GxCoord:
            m_frames[depth - 1].Coords.push_back(ReadGxCoord(f.Text));
            PairTimes(m_frames[depth - 1]);
            break;
        case Node::GxTrack:
            // Positions without a time still belong to the track.
            while (!f.Coords.empty()) {
                AddTrackPoint(f, f.Coords.front(), std::nullopt);
                f.Coords.pop_front();
            }
            f.Times.clear();
            m_queue.CloseSegment(f.Element, SegmentName(f));
            break;
        case Node::Placemark:
            m_queue.Finish(f.Element);
            break;
        default:
            break;
        }
    }

    void Declaration(std::string_view encoding) override { m_encoding = encoding; }
    void EndDocument(bool utf8) override { m_encoding = DocumentEncoding(m_encoding, utf8); }
    const std::string& Encoding() const { return m_encoding; }

    void Text(std::string_view text) override
    {
        if (m_collecting == 0)
            return;
        // The text of an element includes that of its descendants.
        for (std::size_t d = 0; d < m_open; ++d) {
            Frame& f = m_frames[d];
            if (f.Kind == Node::Coordinates) {
                f.Coordinates.Feed(text, [&](const TrackPoint& p) { m_queue.Add(f.Element, p); });
            } else if (Collects(f.Kind)) {
                const std::size_t cap = f.Kind == Node::Name ? MaxNameText : MaxCoordText;
                if (f.Text.size() < cap)
                    f.Text.append(text.substr(0, cap - f.Text.size()));
            }
        }
    }

private:
    // "Line:  " and the Placemark's name so far; empty without one.
    std::string SegmentName(const Frame& f) const
    {
        const std::string& name = m_frames[f.Placemark].Name;
        return name.empty() ? std::string{} : "Line:  " + name;
    }

    // The n-th when belongs to the n-th gx:coord: add each pair as soon as both are known.
    void PairTimes(Frame& track)
    {
        while (!track.Times.empty() && !track.Coords.empty()) {
            AddTrackPoint(track, track.Coords.front(), track.Times.front());
            track.Coords.pop_front();
            track.Times.pop_front();
        }
    }

    void AddTrackPoint(Frame& track, std::optional<TrackPoint> point, std::optional<double> time)
    {
        if (!point)
            return;
        if (time) {
            point->Time = *time;
            point->Flags |= HasTime;
        }
        if (!track.Started)
            point->Flags |= SegmentStart;
        track.Started = true;
        m_queue.Add(track.Element, *point);
    }

    SegmentQueue m_queue;
    std::vector<Frame> m_frames;
    std::size_t m_open = 0;
    int m_collecting = 0;
    std::string m_encoding;
};

bool IsTupleEnd(char c)
{
    return c == ',' || IsXmlSpace(c);
}

template <typename Scan>
ReadResult ReadKml(const ReaderContext& context, std::size_t pointHint, Scan scan)
{
    SegmentBuilder builder(context.Config);
    builder.Reserve(pointHint);
    KmlHandler handler(builder);
    if (!scan(handler))
        return ReadResult::Failure(Texts::tr("载入kml文件失败"));
    if (handler.PlacemarkCount() == 0)
        return ReadResult::Failure(Texts::tr("kml文件内未找到Placemark"));
    return ReadResult::FromCommit(NamesToUtf8(builder.CommitTrack(), handler.Encoding()));
}

}  // namespace

void KmlCoordinateScanner::Emit(std::optional<double> altitude, const AddPoint& add)
{
    TrackPoint point;
    point.Latitude = m_latitude;
    point.Longitude = m_longitude;
    if (altitude && std::isfinite(*altitude)) {
        point.Altitude = *altitude;
        point.Flags |= HasAltitude;
    }
    // A position off the globe is left to the builder, which counts what it drops.
    if (m_first)
        point.Flags |= SegmentStart;
    m_first = false;
    add(point);
}

// Scans as far as text allows and returns where it stopped: at its end, or, before the text
// has ended, at a number with fewer characters left than a number is read from.
std::size_t KmlCoordinateScanner::Run(std::string_view c, bool last, const AddPoint& add)
{
    const std::size_t size = c.size();
    std::size_t n = 0;
    std::size_t used = 0;
    auto number = [&] { return LeadingDouble(c.substr(n, NumberWindow), used); };
    // A number that began with no blank is skipped with its token: none of its characters ends one.
    auto skippedWithNumber = [&] {
        if (used == 0 || IsXmlSpace(c[n]) || c[n] == '\v' || c[n] == '\f')
            return false;
        n += used;
        return true;
    };
    auto windowCut = [&] { return !last && size - n < NumberWindow; };
    auto skipBlanks = [&] {
        while (n < size && c[n] == ' ')
            ++n;
    };
    auto skipToken = [&] {
        while (n < size && !IsTupleEnd(c[n]))
            ++n;
    };
    for (;;) {
        switch (m_state) {
        case State::Separators:
            while (n < size && (IsXmlSpace(c[n]) || c[n] == ','))
                ++n;
            if (n >= size)
                return n;
            m_state = State::Longitude;
            [[fallthrough]];
        case State::Longitude:
            if (windowCut())
                return n;
            m_longitude = number();
            skippedWithNumber();
            m_state = State::LongitudeToken;
            [[fallthrough]];
        case State::LongitudeToken:
            skipToken();
            if (n >= size)
                return n;
            // Any white space ends a tuple: a number without its latitude is no point, and the
            // next tuple's numbers are never taken for its missing ones.
            if (c[n] != ',') {
                m_state = State::Separators;
                continue;
            }
            ++n;
            m_state = State::LatitudeBlanks;
            [[fallthrough]];
        case State::LatitudeBlanks:
            skipBlanks();
            if (n >= size)
                return n;
            m_state = State::Latitude;
            [[fallthrough]];
        case State::Latitude:
            if (windowCut())
                return n;
            m_latitude = number();
            skippedWithNumber();
            m_state = State::LatitudeToken;
            [[fallthrough]];
        case State::LatitudeToken:
            skipToken();
            if (n >= size) {
                if (last)
                    Emit(std::nullopt, add);
                return n;
            }
            if (c[n] != ',') {
                Emit(std::nullopt, add);
                m_state = State::Separators;
                continue;
            }
            ++n;
            m_state = State::Altitude;
            [[fallthrough]];
        case State::Altitude:
            if (windowCut())
                return n;
            Emit(number(), add);
            if (skippedWithNumber()) {
                m_state = State::AltitudeToken;  // no blank before it, so none to skip after
                continue;
            }
            m_state = State::AltitudeBlanks;
            [[fallthrough]];
        case State::AltitudeBlanks:
            skipBlanks();
            if (n >= size)
                return n;
            m_state = State::AltitudeToken;
            [[fallthrough]];
        case State::AltitudeToken:
            skipToken();
            if (n >= size)
                return n;
            m_state = State::Separators;
            continue;
        }
    }
}

void KmlCoordinateScanner::Feed(std::string_view text, bool last, const AddPoint& add)
{
    if (!m_held.empty()) {
        // The held start of a number and enough of the new piece to read it.
        const std::size_t held = m_held.size();
        const std::size_t take = std::min(text.size(), 2 * NumberWindow);
        m_held.append(text.substr(0, take));
        const bool all = take == text.size();
        const std::size_t used = Run(m_held, last && all, add);
        if (used >= held && !all) {
            text.remove_prefix(used - held);
            m_held.clear();
        } else {
            m_held.erase(0, used);
            if (!all) {
                m_held.append(text.substr(take));
                m_held.erase(0, Run(m_held, last, add));
            }
            return;
        }
    }
    m_held.assign(text.substr(Run(text, last, add)));
}

void KmlCoordinateScanner::Finish(const AddPoint& add)
{
    Feed({}, true, add);
    *this = KmlCoordinateScanner{};
}

void ScanKmlCoordinates(std::string_view text, const std::function<void(const TrackPoint&)>& add)
{
    KmlCoordinateScanner scanner;
    scanner.Feed(text, add);
    scanner.Finish(add);
}

void ScanKmlCoordinates(std::string_view text, SegmentBuilder& builder)
{
    ScanKmlCoordinates(text, [&](const TrackPoint& p) { builder.AddTrackPoint(p); });
}

ReadResult ReadKmlText(std::string_view bytes, const ReaderContext& context)
{
    return ReadKml(context, bytes.size() / BytesPerPointHint,
                   [&](XmlHandler& handler) { return ScanXmlText(bytes, handler); });
}

ReadResult ReadKmlFile(const std::string& path, const ReaderContext& context)
{
    return ReadKml(context, static_cast<std::size_t>(FileSize(path) / BytesPerPointHint),
                   [&](XmlHandler& handler) { return ScanXmlFile(path, handler); });
}

}  // namespace tolvex
