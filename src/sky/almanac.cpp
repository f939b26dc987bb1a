#include "sky/almanac.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>

#include "config/file_io.h"

namespace tolvex {
namespace {

constexpr double Pi = std::numbers::pi;
constexpr int MaxPrn = 32;

std::string LineText(int line) { return "line " + std::to_string(line) + ": "; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::optional<double> Number(std::string_view s)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// What a record must satisfy before its orbit is flown.
std::string CheckRecord(const OrbitElements& o)
{
    if (o.Prn < 1 || o.Prn > MaxPrn) return "PRN " + std::to_string(o.Prn) + " is outside 1..32";
    if (o.Eccentricity < 0 || o.Eccentricity >= 1) return "eccentricity outside [0, 1)";
    if (o.SqrtA < 1000 || o.SqrtA > 10000) return "square root of the semi-major axis outside 1000..10000 m^1/2";
    if (o.Toa < 0 || o.Toa > SecondsPerWeek) return "time of applicability outside one week";
    if (o.Week < 0 || o.Week > 100000) return "week number out of range";
    return {};
}

template <typename Each>
void ForEachLine(std::string_view text, Each each)
{
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        ++number;
        if (!each(text.substr(0, end), number)) return;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// YUMA: one "Key: value" line per element, records opened by a line of asterisks or by "ID:".
AlmanacResult ParseYuma(std::string_view text)
{
    enum { Id, Health, Ecc, Toa, Incl, Rate, SqrtA, Raan, Perigee, Anomaly, Af0, Af1, Week, FieldCount };
    static constexpr std::array<const char*, FieldCount> Keys = {
        "ID", "Health", "Eccentricity", "Time of Applicability", "Orbital Inclination", "Rate of Right Ascen",
        "SQRT(A)", "Right Ascen at", "Argument of Perigee", "Mean Anom", "Af0", "Af1", "week"};

    AlmanacResult result;
    OrbitElements record;
    unsigned seen = 0;
    int recordLine = 0;
    constexpr unsigned Needed = ((1u << FieldCount) - 1) & ~((1u << Af0) | (1u << Af1) | (1u << Health));
    auto finish = [&](int line) {
        if (seen == 0) return true;
        if ((seen & Needed) != Needed) {
            for (int f = 0; f < FieldCount; ++f)
                if ((Needed & (1u << f)) && !(seen & (1u << f))) {
                    result.Error = LineText(recordLine) + "record without \"" + Keys[static_cast<std::size_t>(f)] + "\"";
                    return false;
                }
        }
        if (std::string why = CheckRecord(record); !why.empty()) {
            result.Error = LineText(recordLine) + why;
            return false;
        }
        if (result.Satellites.size() >= MaxAlmanacRecords) {
            result.Error = LineText(line) + "more than " + std::to_string(MaxAlmanacRecords) + " records";
            return false;
        }
        result.Satellites.push_back(record);
        record = OrbitElements{};
        seen = 0;
        return true;
    };

    ForEachLine(text, [&](std::string_view raw, int line) {
        const std::string_view lineText = Trim(raw);
        if (lineText.empty()) return true;
        if (lineText.front() == '*') return finish(line);
        const auto colon = lineText.find(':');
        if (colon == std::string_view::npos) {
            result.Error = LineText(line) + "expected \"key: value\"";
            return false;
        }
        const std::string_view key = Trim(lineText.substr(0, colon));
        int field = -1;
        for (int f = 0; f < FieldCount; ++f)
            if (StartsWithNoCase(key, Keys[static_cast<std::size_t>(f)]) && (f != Id || key.size() == 2)) field = f;
        if (field < 0) return true;  // a key this reader does not use
        if (field == Id && seen != 0 && !finish(line)) return false;
        if (seen == 0) recordLine = line;
        const std::optional<double> v = Number(lineText.substr(colon + 1));
        if (!v) {
            result.Error = LineText(line) + "\"" + std::string(key) + "\" is not a number";
            return false;
        }
        switch (field) {
        case Id: record.Prn = static_cast<int>(std::clamp(*v, -1.0, 1e6)); break;
        case Health: record.Health = static_cast<int>(std::clamp(*v, 0.0, 1e6)); break;
        case Ecc: record.Eccentricity = *v; break;
        case Toa: record.Toa = *v; break;
        case Incl: record.Inclination = *v; break;
        case Rate: record.RateOfRightAscension = *v; break;
        case SqrtA: record.SqrtA = *v; break;
        case Raan: record.RightAscension = *v; break;
        case Perigee: record.ArgumentOfPerigee = *v; break;
        case Anomaly: record.MeanAnomaly = *v; break;
        case Week: record.Week = static_cast<int>(std::clamp(*v, -1.0, 1e6)); break;
        default: break;
        }
        seen |= 1u << field;
        return true;
    });
    if (result.Error.empty()) finish(0);
    return result;
}

// SEM: "count title", "week toa", then per satellite PRN, SVN, URA, eccentricity, inclination
// offset from 0.30, rate of right ascension, √A, right ascension, argument of perigee, mean
// anomaly, af0, af1, health, configuration; angles in semicircles.
AlmanacResult ParseSem(std::string_view text)
{
    struct Token {
        std::string_view Text;
        int Line;
    };
    std::vector<Token> tokens;
    AlmanacResult result;
    ForEachLine(text, [&](std::string_view lineText, int line) {
        if (line == 1) {
            lineText = Trim(lineText);
            tokens.push_back({lineText.substr(0, lineText.find_first_of(" \t")), 1});  // the title is not read
            return true;
        }
        while (!(lineText = Trim(lineText)).empty()) {
            const auto end = std::min(lineText.find_first_of(" \t\r"), lineText.size());
            tokens.push_back({lineText.substr(0, end), line});
            lineText.remove_prefix(end);
            if (tokens.size() > 3 + 14 * MaxAlmanacRecords) return false;
        }
        return true;
    });
    std::size_t at = 0;
    auto next = [&](const char* what) -> std::optional<double> {
        if (at >= tokens.size()) {
            result.Error = "file ends where " + std::string(what) + " was expected";
            return std::nullopt;
        }
        const Token& t = tokens[at++];
        const std::optional<double> v = Number(t.Text);
        if (!v) result.Error = LineText(t.Line) + std::string(what) + " \"" + std::string(t.Text) + "\" is not a number";
        return v;
    };
    const auto count = next("the record count");
    if (!count) return result;
    const auto week = next("the week number");
    if (!week) return result;
    const auto toa = next("the time of applicability");
    if (!toa) return result;
    if (*count < 1 || *count > static_cast<double>(MaxAlmanacRecords)) {
        result.Error = LineText(1) + "record count outside 1.." + std::to_string(MaxAlmanacRecords);
        return result;
    }
    for (int r = 0; r < static_cast<int>(*count); ++r) {
        static constexpr std::array<const char*, 14> What = {
            "the PRN", "the SVN", "the URA", "the eccentricity", "the inclination offset",
            "the rate of right ascension", "the square root of A", "the right ascension", "the argument of perigee",
            "the mean anomaly", "af0", "af1", "the health", "the configuration"};
        std::array<double, 14> v{};
        const int line = at < tokens.size() ? tokens[at].Line : 0;
        for (std::size_t i = 0; i < v.size(); ++i) {
            const auto value = next(What[i]);
            if (!value) return result;
            v[i] = *value;
        }
        OrbitElements o;
        o.Prn = static_cast<int>(std::clamp(v[0], -1.0, 1e6));
        o.Week = static_cast<int>(std::clamp(*week, -1.0, 1e6));
        o.Toa = *toa;
        o.Eccentricity = v[3];
        o.Inclination = (0.30 + v[4]) * Pi;
        o.RateOfRightAscension = v[5] * Pi;
        o.SqrtA = v[6];
        o.RightAscension = v[7] * Pi;
        o.ArgumentOfPerigee = v[8] * Pi;
        o.MeanAnomaly = v[9] * Pi;
        o.Health = static_cast<int>(std::clamp(v[12], 0.0, 1e6));
        if (std::string why = CheckRecord(o); !why.empty()) {
            result.Error = LineText(line) + why;
            return result;
        }
        result.Satellites.push_back(o);
    }
    return result;
}

}  // namespace

AlmanacResult ParseAlmanac(std::string_view text)
{
    AlmanacResult result = text.find(':') != std::string_view::npos ? ParseYuma(text) : ParseSem(text);
    if (result && result.Satellites.empty()) result.Error = "no satellite record";
    if (!result) result.Satellites.clear();
    return result;
}

AlmanacResult ReadAlmanacFile(const std::string& path)
{
    std::string text;
    std::string error;
    switch (ReadWholeFile(path, text, error)) {
    case ReadStatus::Ok: break;
    case ReadStatus::Missing: return {{}, path + ": no such file"};
    case ReadStatus::Failed: return {{}, error};
    }
    AlmanacResult result = ParseAlmanac(text);
    if (!result) result.Error = path + ": " + result.Error;
    return result;
}

}  // namespace tolvex
