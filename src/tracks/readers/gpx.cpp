// GPX: each trk under gpx is one segment of its trkpt points, each rte one segment of the
// detailed route points that Garmin's gpxx extension carries or, without any, of its rtept
// points. The document is scanned once; tracks stream into the builder, routes wait until the
// operator has said what to load.

#include "tracks/readers/gpx.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "tracks/readers/civil_time.h"
#include "tracks/readers/segment_queue.h"
#include "tracks/readers/xml_scanner.h"
#include "tracks/text_file.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr std::size_t MaxCollectedText = 64 * 1024;  // a name, ele or time longer than this is garbage
constexpr std::uintmax_t BytesPerPointHint = 64;     // a short trkpt with ele and time

enum class Node : std::uint8_t {
    Other,
    Track,
    TrackName,
    Trkseg,
    Trkpt,
    Ele,
    Time,
    Route,
    RouteName,
    Rtept,
    Extensions,
    RoutePointExtension,
    Rpt,
};

bool Collects(Node node)
{
    return node == Node::TrackName || node == Node::RouteName || node == Node::Ele || node == Node::Time;
}

// One open element. Groups (Trkseg, RoutePointExtension) hold their last point back until the
// next one or their end shows whether it is the group's last.
struct Frame {
    Node Kind = Node::Other;
    bool Route = false;
    int Element = -1;  // queue id of the enclosing trk or rte
    TrackPoint Point;  // Trkpt, Rpt
    bool Valid = false;
    TrackPoint Held;   // Trkseg, RoutePointExtension
    int Emitted = 0;
    std::string Text;  // TrackName, RouteName, Ele, Time
    std::string Name;  // Track, Route
    // Route: its rtept points, loaded only when no detailed point turns up; whether one did.
    std::vector<TrackPoint> Plain;
    bool Detailed = false;
};

class GpxHandler final : public XmlHandler {
public:
    explicit GpxHandler(SegmentBuilder& builder) : m_tracks(&builder), m_routes(nullptr) {}

    int TrackCount() const { return m_tracks.Count(); }
    int RouteCount() const { return m_routes.Count(); }
    SegmentQueue& Routes() { return m_routes; }

    void StartElement(const XmlElement& e) override
    {
        const auto depth = static_cast<std::size_t>(e.Depth);
        if (m_frames.size() <= depth)
            m_frames.resize(depth + 1);
        Frame& f = m_frames[depth];
        const Frame* parent = depth > 0 ? &m_frames[depth - 1] : nullptr;
        f.Kind = Node::Other;
        f.Route = parent && parent->Route;
        f.Element = parent ? parent->Element : -1;
        f.Valid = false;
        f.Emitted = 0;
        f.Text.clear();
        f.Name.clear();
        f.Plain.clear();
        f.Detailed = false;

        if (SameName(e.Name, "trk") && SameName(e.Parent, "gpx")) {
            f.Kind = Node::Track;
            f.Route = false;
            f.Element = m_tracks.Open();
        } else if (SameName(e.Name, "rte") && SameName(e.Parent, "gpx")) {
            f.Kind = Node::Route;
            f.Route = true;
            f.Element = m_routes.Open();
            m_route = depth;
        } else if (parent) {
            f.Kind = ChildKind(parent->Kind, e.Name);
        }
        if (f.Kind == Node::Trkpt || f.Kind == Node::Rpt || f.Kind == Node::Rtept) {
            f.Point = TrackPoint{};
            if (const std::optional<LatLon> at = ReadLatLonAttributes(e.Attributes)) {
                f.Point.Latitude = at->Latitude;
                f.Point.Longitude = at->Longitude;
                f.Valid = true;
            }
        }
        if (Collects(f.Kind))
            m_collectors.push_back(depth);
        m_open = depth + 1;
    }

    void EndElement(std::string_view, int depthOfElement) override
    {
        const auto depth = static_cast<std::size_t>(depthOfElement);
        Frame& f = m_frames[depth];
        Frame* parent = depth > 0 ? &m_frames[depth - 1] : nullptr;
        m_open = depth;
        if (Collects(f.Kind))
            m_collectors.pop_back();
        switch (f.Kind) {
        case Node::TrackName:
        case Node::RouteName:
            parent->Name = std::string(TrimBlanks(f.Text));
            break;
        case Node::Ele:
            if (const double altitude = LeadingDouble(f.Text); std::isfinite(altitude)) {
                parent->Point.Altitude = altitude;
                parent->Point.Flags |= HasAltitude;
            }
            break;
        case Node::Time:
            if (const std::optional<double> time = ParseIsoTime(TrimBlanks(f.Text))) {
                parent->Point.Time = *time;
                parent->Point.Flags |= HasTime;
            }
            break;
        case Node::Trkpt:
        case Node::Rpt:
            if (f.Valid)
                Emit(*parent, f.Point);
            break;
        case Node::Rtept:
            if (f.Valid)
                parent->Plain.push_back(f.Point);
            break;
        case Node::Trkseg:
        case Node::RoutePointExtension:
            EndGroup(f);
            break;
        case Node::Track:
            m_tracks.CloseSegment(f.Element, f.Name.empty() ? std::string{} : "trk: " + f.Name);
            m_tracks.Finish(f.Element);
            break;
        case Node::Route:
            if (!f.Detailed)
                AddPlainRoute(f);
            m_routes.CloseSegment(f.Element, f.Name.empty() ? std::string{} : "rte: " + f.Name);
            m_routes.Finish(f.Element);
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
        // The text of an element includes that of its descendants.
        for (const std::size_t d : m_collectors) {
            Frame& f = m_frames[d];
            if (f.Text.size() < MaxCollectedText)
                f.Text.append(text.substr(0, MaxCollectedText - f.Text.size()));
        }
    }

private:
    // Which children the reader looks at: "./trkpt" and "./gpxx:rpt" match exactly, the other
    // names without regard to case.
    static Node ChildKind(Node parent, std::string_view name)
    {
        switch (parent) {
        case Node::Track:
            if (SameNameNoCase(name, "name"))
                return Node::TrackName;
            if (SameNameNoCase(name, "trkseg"))
                return Node::Trkseg;
            break;
        case Node::Trkseg:
            if (SameName(name, "trkpt"))
                return Node::Trkpt;
            break;
        case Node::Trkpt:
            if (SameNameNoCase(name, "ele"))
                return Node::Ele;
            if (SameNameNoCase(name, "time"))
                return Node::Time;
            break;
        case Node::Route:
            if (SameNameNoCase(name, "name"))
                return Node::RouteName;
            if (SameNameNoCase(name, "rtept"))
                return Node::Rtept;
            break;
        case Node::Rtept:
            if (SameNameNoCase(name, "extensions"))
                return Node::Extensions;
            if (SameNameNoCase(name, "ele"))
                return Node::Ele;
            if (SameNameNoCase(name, "time"))
                return Node::Time;
            break;
        case Node::Extensions:
            if (SameNameNoCase(name, "gpxx:RoutePointExtension"))
                return Node::RoutePointExtension;
            break;
        case Node::RoutePointExtension:
            if (SameName(name, "gpxx:rpt"))
                return Node::Rpt;
            break;
        default:
            break;
        }
        return Node::Other;
    }

    SegmentQueue& Queue(const Frame& f) { return f.Route ? m_routes : m_tracks; }

    void Emit(Frame& group, TrackPoint point)
    {
        if (group.Emitted > 0)
            Queue(group).Add(group.Element, group.Held);
        else
            point.Flags |= SegmentStart;
        group.Held = point;
        ++group.Emitted;
    }

    void EndGroup(Frame& group)
    {
        if (group.Emitted == 0)
            return;
        if (group.Emitted > 1)
            group.Held.Flags |= SegmentEnd;
        Queue(group).Add(group.Element, group.Held);
        if (group.Route)
            m_frames[m_route].Detailed = true;
    }

    // A route as planners write it: its rtept points, marked like one trkseg.
    void AddPlainRoute(Frame& route)
    {
        if (route.Plain.empty())
            return;
        route.Plain.front().Flags |= SegmentStart;
        if (route.Plain.size() > 1)
            route.Plain.back().Flags |= SegmentEnd;
        for (const TrackPoint& point : route.Plain)
            m_routes.Add(route.Element, point);
        route.Plain = {};
    }

    std::vector<Frame> m_frames;
    std::size_t m_open = 0;  // frames of the open elements: m_frames[0, m_open)
    std::vector<std::size_t> m_collectors;  // depths of the open elements whose text is kept, outermost first
    std::string m_encoding;
    std::size_t m_route = 0;  // depth of the open rte
    SegmentQueue m_tracks;
    SegmentQueue m_routes;
};

template <typename Scan>
ReadResult ReadGpx(const ReaderContext& context, std::size_t pointHint, Scan scan)
{
    SegmentBuilder builder(context.Config);
    builder.Reserve(pointHint);
    GpxHandler handler(builder);
    if (!scan(handler))
        return ReadResult::Failure(Texts::tr("载入GPX文件失败"));

    const int tracks = handler.TrackCount();
    const int routes = handler.RouteCount();
    if (tracks == 0 && routes == 0)
        return ReadResult::Failure(Texts::tr("GPX文件内未找到航迹或航线"));
    GpxContent content = GpxContent::Tracks;
    if (tracks == 0) {
        content = GpxContent::Routes;
    } else if (routes > 0) {
        const std::optional<GpxContent> chosen = context.UserHost.ChooseGpxContent(tracks, routes);
        if (!chosen)
            return ReadResult::Failure();
        content = *chosen;
    }

    if (content == GpxContent::Routes) {
        SegmentBuilder routesOnly(context.Config);
        handler.Routes().DrainTo(routesOnly);
        return ReadResult::FromCommit(NamesToUtf8(routesOnly.CommitTrack(), handler.Encoding()));
    }
    if (content == GpxContent::Both)
        handler.Routes().DrainTo(builder);  // tracks before routes
    return ReadResult::FromCommit(NamesToUtf8(builder.CommitTrack(), handler.Encoding()));
}

}  // namespace

namespace {

bool IsDigitAt(std::string_view text, std::size_t i)
{
    return text[i] >= '0' && text[i] <= '9';
}

int TwoDigits(std::string_view text, std::size_t i)
{
    return (text[i] - '0') * 10 + (text[i + 1] - '0');
}

// "YYYY-MM-DDThh:mm:" as nearly every writer starts a time, read at fixed places.
bool FixedIsoStart(std::string_view text, std::int64_t& year, std::int64_t& month, std::int64_t& day,
                   std::int64_t& hour, std::int64_t& minute)
{
    constexpr std::string_view Layout = "dddd-dd-ddTdd:dd:";
    if (text.size() < Layout.size())
        return false;
    for (std::size_t i = 0; i < Layout.size(); ++i) {
        if (Layout[i] == 'd' ? !IsDigitAt(text, i) : text[i] != Layout[i])
            return false;
    }
    year = TwoDigits(text, 0) * 100 + TwoDigits(text, 2);
    month = TwoDigits(text, 5);
    day = TwoDigits(text, 8);
    hour = TwoDigits(text, 11);
    minute = TwoDigits(text, 14);
    return true;
}

}  // namespace

std::optional<double> ParseIsoTime(std::string_view text)
{
    std::size_t i = 0;
    auto number = [&](std::int64_t& value) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        const std::size_t start = i;
        value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (value < 100000000)
                value = value * 10 + (text[i] - '0');
        }
        return i > start;
    };
    auto separator = [&](char c) {
        if (i >= text.size() || text[i] != c)
            return false;
        ++i;
        return true;
    };
    std::int64_t year, month, day, hour, minute;
    if (FixedIsoStart(text, year, month, day, hour, minute)) {
        i = 17;
    } else if (!number(year) || !separator('-') || !number(month) || !separator('-') || !number(day)
               || !separator('T') || !number(hour) || !separator(':') || !number(minute) || !separator(':')) {
        return std::nullopt;
    }
    // Two digits of whole seconds and then no number character ("ssZ", "ss+08:00") are read
    // directly, in integers; they are what the general reading gives.
    std::int64_t whole, milliseconds = 0;
    const std::size_t after = i + 2;
    if (after <= text.size() && IsDigitAt(text, i) && IsDigitAt(text, i + 1)
        && (after == text.size() || (!IsDigitAt(text, after) && text[after] != '.' && text[after] != 'e' && text[after] != 'E'))) {
        whole = TwoDigits(text, i);
        if (whole >= 60)
            return std::nullopt;
    } else {
        const double seconds = LeadingDouble(text.substr(i));
        if (!(seconds >= 0 && seconds < 60))
            return std::nullopt;
        whole = static_cast<std::int64_t>(seconds);
        milliseconds = static_cast<std::int64_t>((seconds - static_cast<double>(whole)) * 1000 + 0.5);
    }
    // The range of the calendar conversion: years 100 to 9999, real dates, a time of day.
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1
        || day > DaysInMonth(year, static_cast<int>(month)) || hour > 23 || minute > 59)
        return std::nullopt;
    const std::int64_t days = DaysFromCivil(year, static_cast<int>(month), static_cast<int>(day));
    const double result = static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + whole);
    return milliseconds != 0 ? result + static_cast<double>(milliseconds) / 1000 : result;
}

std::optional<LatLon> ReadLatLonAttributes(std::span<const XmlAttribute> attributes)
{
    std::optional<std::string_view> lat, lon;
    for (const XmlAttribute& a : attributes) {
        if (SameName(a.Name, "lat"))
            lat = a.Value;
        else if (SameName(a.Name, "lon"))
            lon = a.Value;
    }
    if (!lat || !lon)
        return std::nullopt;
    // Each must start with a number (after blanks and a sign); a position off the globe is left
    // to the builder, which counts what it drops.
    std::size_t latUsed = 0, lonUsed = 0;
    const LatLon at{LeadingDouble(*lat, latUsed), LeadingDouble(*lon, lonUsed)};
    if (latUsed == 0 || lonUsed == 0)
        return std::nullopt;
    return at;
}

ReadResult ReadGpxText(std::string_view bytes, const ReaderContext& context)
{
    return ReadGpx(context, bytes.size() / BytesPerPointHint,
                   [&](XmlHandler& handler) { return ScanXmlText(bytes, handler); });
}

ReadResult ReadGpxFile(const std::string& path, const ReaderContext& context)
{
    return ReadGpx(context, static_cast<std::size_t>(FileSize(path) / BytesPerPointHint),
                   [&](XmlHandler& handler) { return ScanXmlFile(path, handler); });
}

}  // namespace tolvex
