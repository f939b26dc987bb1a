// KML: every coordinates element of a LineString directly under a Placemark is one segment,
// named after the Placemark's name element that comes before it.

#include "tracks/readers/kml.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "tracks/readers/segment_queue.h"
#include "tracks/readers/xml_scanner.h"
#include "tracks/text_file.h"

namespace tolvex {
namespace {

constexpr std::size_t NumberWindow = 30;  // a number is read from at most this many characters
constexpr std::size_t MaxNameText = 64 * 1024;

enum class Node : std::uint8_t { Other, Placemark, Name, LineString, Coordinates };

struct Frame {
    Node Kind = Node::Other;
    int Element = -1;  // queue id of the enclosing Placemark
    std::string Text;  // Name, Coordinates
    std::string Name;  // Placemark: the name so far
};

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
        f.Text.clear();
        f.Name.clear();
        if (e.Name == "Placemark") {
            f.Kind = Node::Placemark;
            f.Element = m_queue.Open();
        } else if (parent && parent->Kind == Node::Placemark) {
            if (SameNameNoCase(e.Name, "name"))
                f.Kind = Node::Name;
            else if (SameNameNoCase(e.Name, "LineString"))
                f.Kind = Node::LineString;
        } else if (parent && parent->Kind == Node::LineString && e.Name == "coordinates") {
            f.Kind = Node::Coordinates;
        }
        if (f.Kind == Node::Name || f.Kind == Node::Coordinates)
            ++m_collecting;
        m_open = depth + 1;
    }

    void EndElement(std::string_view, int depthOfElement) override
    {
        const auto depth = static_cast<std::size_t>(depthOfElement);
        Frame& f = m_frames[depth];
        m_open = depth;
        switch (f.Kind) {
        case Node::Name:
            --m_collecting;
            m_frames[depth - 1].Name = TextToUtf8(TrimBlanks(f.Text), m_encoding);
            break;
        case Node::Coordinates: {
            --m_collecting;
            // Placemark / LineString / coordinates: the name is the Placemark's so far.
            const std::string& name = m_frames[depth - 2].Name;
            ScanKmlCoordinates(f.Text, [&](const TrackPoint& p) { m_queue.Add(f.Element, p); });
            m_queue.CloseSegment(f.Element, name.empty() ? std::string{} : "Line:  " + name);
            f.Text = {};
            break;
        }
        case Node::Placemark:
            m_queue.Finish(f.Element);
            break;
        default:
            break;
        }
    }

    void Declaration(std::string_view encoding) override { m_encoding = encoding; }

    void Text(std::string_view text) override
    {
        if (m_collecting == 0)
            return;
        // The text of an element includes that of its descendants.
        for (std::size_t d = 0; d < m_open; ++d) {
            Frame& f = m_frames[d];
            if (f.Kind == Node::Coordinates)
                f.Text.append(text);
            else if (f.Kind == Node::Name && f.Text.size() < MaxNameText)
                f.Text.append(text.substr(0, MaxNameText - f.Text.size()));
        }
    }

private:
    SegmentQueue m_queue;
    std::vector<Frame> m_frames;
    std::size_t m_open = 0;
    int m_collecting = 0;
    std::string m_encoding;
};

bool IsTupleEnd(char c)
{
    return c == ',' || c == ' ' || c == '\n';
}

template <typename Scan>
ReadResult ReadKml(const ReaderContext& context, Scan scan)
{
    SegmentBuilder builder(context.Config);
    KmlHandler handler(builder);
    if (!scan(handler))
        return ReadResult::Failure("载入kml文件失败");
    if (handler.PlacemarkCount() == 0)
        return ReadResult::Failure("kml文件内未找到Placemark");
    return ReadResult::FromCommit(builder.CommitTrack());
}

}  // namespace

void ScanKmlCoordinates(std::string_view c, const std::function<void(const TrackPoint&)>& add)
{
    if (c.size() < 2)
        return;
    const std::size_t last = c.size() - 1;
    auto number = [&](std::size_t at) { return LeadingDouble(c.substr(at, NumberWindow)); };
    bool first = true;
    std::size_t n = 0;
    for (;;) {
        if (n >= last)
            return;
        while (c[n] == ' ' || c[n] == '\t' || c[n] == '\n' || c[n] == ',') {
            if (++n >= last)
                return;
        }
        const double lon = number(n);

        const std::size_t comma = c.find(',', n);
        if (comma == std::string_view::npos || comma >= last)
            return;
        n = comma + 1;
        while (n < last && c[n] == ' ')
            ++n;
        if (n >= last)
            return;
        const double lat = number(n);

        while (!IsTupleEnd(c[n])) {
            if (++n >= last)
                return;  // the tuple is lost
        }
        TrackPoint point;
        point.Latitude = lat;
        point.Longitude = lon;
        const bool withAltitude = c[n] == ',';
        if (withAltitude) {
            point.Altitude = number(n + 1);
            point.Flags |= HasAltitude;
            // Step onto the altitude, not past its first character: a one-character altitude
            // followed by a blank ("11.5,48.1,0 11.6,48.2,0", as Google Earth writes) would
            // otherwise swallow the next tuple's longitude.
            n += 1;
            if (!std::isfinite(point.Altitude)) {
                point.Altitude = 0;
                point.Flags &= ~HasAltitude;
            }
        }
        // A coordinate out of the number range would poison every distance: skip the point.
        if (std::isfinite(lat) && std::isfinite(lon)) {
            if (first)
                point.Flags |= SegmentStart;
            first = false;
            add(point);
        }

        if (withAltitude) {
            while (n < last && c[n] == ' ')
                ++n;
            if (n >= last)
                return;
            while (!IsTupleEnd(c[n])) {
                if (++n >= last)
                    return;
            }
        }
    }
}

void ScanKmlCoordinates(std::string_view text, SegmentBuilder& builder)
{
    ScanKmlCoordinates(text, [&](const TrackPoint& p) { builder.AddTrackPoint(p); });
}

ReadResult ReadKmlText(std::string_view bytes, const ReaderContext& context)
{
    return ReadKml(context, [&](XmlHandler& handler) { return ScanXmlText(bytes, handler); });
}

ReadResult ReadKmlFile(const std::string& path, const ReaderContext& context)
{
    return ReadKml(context, [&](XmlHandler& handler) { return ScanXmlFile(path, handler); });
}

}  // namespace tolvex
