#pragma once
// Parts of the KML reader that the tests use.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tracks/reader.h"

namespace tolvex {

// Cuts one coordinates text ("lon,lat[,alt]" tuples, any white space between them) into points
// and hands each to add; the first gets SegmentStart. Every complete tuple is read, the last one
// too; a lone number is none.
void ScanKmlCoordinates(std::string_view text, const std::function<void(const TrackPoint&)>& add);

// The same for coordinates text that arrives in pieces: between pieces only the few characters
// of a number that the next piece completes are held, whatever the size of the text.
class KmlCoordinateScanner {
public:
    using AddPoint = std::function<void(const TrackPoint&)>;

    void Feed(std::string_view text, const AddPoint& add) { Feed(text, false, add); }
    // The text has ended: a tuple it ended in is handed out. The scanner is ready for a new text.
    void Finish(const AddPoint& add);

private:
    // Where the scan stands between pieces: which number of the tuple, and whether it is being
    // read, its token skipped or the blanks before it.
    enum class State : unsigned char {
        Separators, Longitude, LongitudeToken, LatitudeBlanks, Latitude, LatitudeToken, Altitude,
        AltitudeBlanks, AltitudeToken
    };

    void Feed(std::string_view text, bool last, const AddPoint& add);
    std::size_t Run(std::string_view text, bool last, const AddPoint& add);
    void Emit(std::optional<double> altitude, const AddPoint& add);

    std::string m_held;  // the start of a number the last piece cut
    State m_state = State::Separators;
    double m_longitude = 0;
    double m_latitude = 0;
    bool m_first = true;
};

// The same, appending to the open segment of builder.
void ScanKmlCoordinates(std::string_view text, SegmentBuilder& builder);

// ReadKmlFile on a document held in memory.
ReadResult ReadKmlText(std::string_view bytes, const ReaderContext& context);

}  // namespace tolvex
