#pragma once
// Where the map's pictures come from. A source answers at once from what it holds and fetches
// the rest in the background; the map draws its grid wherever a tile is missing, so nothing ever
// waits for a tile and a missing one is never an error box.

#include <QCache>
#include <QHash>
#include <QImage>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QString>

#include <deque>
#include <memory>

#include "map/tile_math.h"

class QNetworkReply;

namespace tolvex {

inline constexpr const char* OsmAttribution = "© OpenStreetMap contributors";

class TileSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // The tile's picture if it is at hand; a null image otherwise (then it may be on its way, and
    // TileArrived follows when it lands).
    virtual QImage Tile(const TileId& tile) = 0;
    // Credit for the map data, drawn on the map at all times.
    virtual QString Attribution() const { return QString::fromUtf8(OsmAttribution); }
    // A short note drawn on the map when the source cannot serve at all; empty when fine.
    virtual QString Problem() const { return {}; }

signals:
    void TileArrived();
};

// Slippy-map tiles over HTTP from a {z}/{x}/{y} pattern, kept on disk and reused offline.
class OnlineTileSource : public TileSource {
    Q_OBJECT
public:
    // cacheRoot: the folder that holds one folder of tiles per pattern.
    OnlineTileSource(const QString& pattern, const QString& cacheRoot, QObject* parent = nullptr);
    ~OnlineTileSource() override;

    QImage Tile(const TileId& tile) override;
    QString Problem() const override;
    // The folder this pattern's tiles are kept in.
    QString CacheFolder() const { return m_cacheFolder; }

    // Requests in flight at once: the public servers ask for few.
    static constexpr int MaxRequests = 2;
    // Waiting requests kept; the oldest (most likely scrolled away) give way.
    static constexpr std::size_t MaxQueued = 64;

private:
    QString CachePath(const TileId& tile) const;
    void Dispatch();
    void Finished(QNetworkReply* reply, const TileId& tile);

    QString m_pattern;
    QString m_cacheFolder;
    QNetworkAccessManager m_network;
    QCache<quint64, QImage> m_memory;
    QSet<quint64> m_pending;             // queued or in flight
    QHash<quint64, qint64> m_retryAfter;  // ms since epoch before which a failed tile is not asked again
    std::deque<TileId> m_queue;
    int m_inFlight = 0;
    qint64 m_offlineUntil = 0;  // the server could not be reached: wait before trying again
    QString m_problem;
};

// An MBTiles file (SQLite, rows counted from the south), read with Qt's SQLite driver.
class MbTilesSource : public TileSource {
    Q_OBJECT
public:
    explicit MbTilesSource(const QString& path, QObject* parent = nullptr);
    ~MbTilesSource() override;

    QImage Tile(const TileId& tile) override;
    QString Attribution() const override;
    QString Problem() const override { return m_problem; }

private:
    QString m_connection;
    QString m_attribution;
    QString m_problem;
    QCache<quint64, QImage> m_memory;
    QSet<quint64> m_absent;
};

// $XDG_CACHE_HOME/tolvex/tiles, or ~/.cache/tolvex/tiles.
QString DefaultTileCacheRoot();

// The source the settings ask for: the MBTiles file when set, else the URL pattern; none (the
// grid alone) when neither is usable.
std::unique_ptr<TileSource> MakeTileSource(const std::string& tileFile, const std::string& tileUrl,
                                           const QString& cacheRoot);

}  // namespace tolvex
