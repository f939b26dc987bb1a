#include "app/tile_source.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QImageReader>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include "app/qt_text.h"
#include "config/settings_file.h"

namespace tolvex {
namespace {

constexpr int MemoryTiles = 160;  // decoded tiles of 256 KB each: a few screens' worth
constexpr qint64 RetryFailedMs = 30000;
constexpr qint64 RetryMissingMs = 300000;  // the server said there is no such tile
constexpr qint64 RetryOfflineMs = 10000;
constexpr int TransferTimeoutMs = 15000;

quint64 KeyOf(const TileId& t)
{
    return (static_cast<quint64>(t.Z) << 48) | (static_cast<quint64>(t.X) << 24) | static_cast<quint64>(t.Y);
}

qint64 NowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// Decoded by content: servers send PNG or JPEG whatever the pattern's extension says.
QImage Decode(const QByteArray& bytes)
{
    QImage image;
    image.loadFromData(bytes);
    return image;
}

QImage ReadImageFile(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

// One folder per pattern: the server's name for people, a hash so two patterns never share.
QString FolderFor(const QString& pattern)
{
    QString host = QUrl(pattern).host();
    host.replace(QRegularExpression("[^A-Za-z0-9.-]"), "_");
    const QByteArray hash = QCryptographicHash::hash(pattern.toUtf8(), QCryptographicHash::Sha1).toHex().left(10);
    return (host.isEmpty() ? QString("tiles") : host) + "-" + QString::fromLatin1(hash);
}

}  // namespace

QString DefaultTileCacheRoot()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.cache";
    return base + "/tolvex/tiles";
}

// --- online ---

OnlineTileSource::OnlineTileSource(const QString& pattern, const QString& cacheRoot, QObject* parent)
    : TileSource(parent), m_pattern(pattern), m_cacheFolder(cacheRoot + "/" + FolderFor(pattern)), m_memory(MemoryTiles)
{
    // A tile server on this machine is reached directly, whatever proxy the environment names.
    const QHostAddress host(QUrl(pattern).host());
    if (host.isLoopback() || QUrl(pattern).host() == "localhost") m_network.setProxy(QNetworkProxy::NoProxy);
    m_network.setTransferTimeout(TransferTimeoutMs);
}

OnlineTileSource::~OnlineTileSource()
{
    // Replies still out must not call back into a source that is gone.
    for (QNetworkReply* reply : m_network.findChildren<QNetworkReply*>()) {
        reply->disconnect(this);
        reply->abort();
    }
}

QString OnlineTileSource::CachePath(const TileId& tile) const
{
    return QString("%1/%2/%3/%4.tile").arg(m_cacheFolder).arg(tile.Z).arg(tile.X).arg(tile.Y);
}

QImage OnlineTileSource::Tile(const TileId& tile)
{
    const quint64 key = KeyOf(tile);
    if (const QImage* held = m_memory.object(key)) return *held;
    const QString path = CachePath(tile);
    if (QFileInfo::exists(path)) {
        const QImage image = ReadImageFile(path);
        if (!image.isNull()) {
            m_memory.insert(key, new QImage(image));
            return image;
        }
    }
    const qint64 now = NowMs();
    if (m_pending.contains(key) || now < m_offlineUntil || m_retryAfter.value(key, 0) > now) return {};
    m_pending.insert(key);
    m_queue.push_back(tile);
    while (m_queue.size() > MaxQueued) {
        m_pending.remove(KeyOf(m_queue.front()));
        m_queue.pop_front();
    }
    Dispatch();
    return {};
}

QString OnlineTileSource::Problem() const { return m_problem; }

void OnlineTileSource::Dispatch()
{
    while (m_inFlight < MaxRequests && !m_queue.empty()) {
        // The latest wish first: it is what the view shows now.
        const TileId tile = m_queue.back();
        m_queue.pop_back();
        QNetworkRequest request(QUrl(FromUtf8(TileUrl(ToUtf8(m_pattern), tile))));
        request.setHeader(QNetworkRequest::UserAgentHeader,
                          QString("Tolvex/%1 (virtual GPS receiver)").arg(QString::fromUtf8(SettingsVersion.data(), SettingsVersion.size())));
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        QNetworkReply* reply = m_network.get(request);
        ++m_inFlight;
        connect(reply, &QNetworkReply::finished, this, [this, reply, tile] { Finished(reply, tile); });
    }
}

void OnlineTileSource::Finished(QNetworkReply* reply, const TileId& tile)
{
    reply->deleteLater();
    --m_inFlight;
    const quint64 key = KeyOf(tile);
    m_pending.remove(key);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::NoError && status == 200) {
        const QByteArray bytes = reply->readAll();
        const QImage image = Decode(bytes);
        if (!image.isNull()) {
            m_problem.clear();
            m_memory.insert(key, new QImage(image));
            // Kept as the server sent it; a tile that cannot be written is still shown.
            QDir().mkpath(QFileInfo(CachePath(tile)).path());
            QSaveFile file(CachePath(tile));
            if (file.open(QIODevice::WriteOnly)) {
                file.write(bytes);
                file.commit();
            }
            emit TileArrived();
        } else {
            m_retryAfter.insert(key, NowMs() + RetryMissingMs);
        }
    } else if (status >= 400) {
        m_retryAfter.insert(key, NowMs() + (status == 404 ? RetryMissingMs : RetryFailedMs));
    } else if (error != QNetworkReply::OperationCanceledError) {
        // No answer at all: the server is out of reach, so the queue waits rather than hammering it.
        m_retryAfter.insert(key, NowMs() + RetryFailedMs);
        m_offlineUntil = NowMs() + RetryOfflineMs;
        for (const TileId& waiting : m_queue) m_pending.remove(KeyOf(waiting));
        m_queue.clear();
        m_problem = tr("无法连接地图服务器：") + reply->errorString();
        emit TileArrived();  // the note on the map changes
    }
    Dispatch();
}

// --- MBTiles ---

MbTilesSource::MbTilesSource(const QString& path, QObject* parent)
    : TileSource(parent), m_connection(QString("tolvex-mbtiles-%1").arg(reinterpret_cast<quintptr>(this))), m_memory(MemoryTiles)
{
    if (!QFileInfo(path).isFile()) {
        m_problem = tr("地图文件不存在：") + path;
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_connection);
    db.setDatabaseName(path);
    db.setConnectOptions("QSQLITE_OPEN_READONLY");
    if (!db.open()) {
        m_problem = tr("无法打开地图文件：") + path + " (" + db.lastError().text() + ")";
        return;
    }
    QSqlQuery probe(db);
    if (!probe.exec("SELECT 1 FROM tiles LIMIT 1")) {
        m_problem = tr("不是MBTiles地图文件：") + path;
        return;
    }
    QSqlQuery meta(db);
    if (meta.exec("SELECT value FROM metadata WHERE name = 'attribution'") && meta.next()) {
        // Plain text only: the credit is drawn, not rendered as a page.
        m_attribution = meta.value(0).toString().remove(QRegularExpression("<[^>]*>")).simplified();
    }
}

MbTilesSource::~MbTilesSource()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid()) db.close();
    }
    if (QSqlDatabase::contains(m_connection)) QSqlDatabase::removeDatabase(m_connection);
}

QImage MbTilesSource::Tile(const TileId& tile)
{
    const quint64 key = KeyOf(tile);
    if (const QImage* held = m_memory.object(key)) return *held;
    if (!m_problem.isEmpty() || m_absent.contains(key)) return {};
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.prepare("SELECT tile_data FROM tiles WHERE zoom_level = ? AND tile_column = ? AND tile_row = ?");
    query.addBindValue(tile.Z);
    query.addBindValue(tile.X);
    query.addBindValue((1 << tile.Z) - 1 - tile.Y);
    QImage image;
    if (query.exec() && query.next()) image = Decode(query.value(0).toByteArray());
    if (image.isNull()) {
        m_absent.insert(key);
        return {};
    }
    m_memory.insert(key, new QImage(image));
    return image;
}

QString MbTilesSource::Attribution() const
{
    const QString osm = QString::fromUtf8(OsmAttribution);
    if (m_attribution.isEmpty() || m_attribution.contains("OpenStreetMap")) return osm;
    return osm + " · " + m_attribution;
}

std::unique_ptr<TileSource> MakeTileSource(const std::string& tileFile, const std::string& tileUrl,
                                           const QString& cacheRoot)
{
    if (!tileFile.empty()) return std::make_unique<MbTilesSource>(QFile::decodeName(QByteArray::fromStdString(tileFile)));
    if (IsTilePattern(tileUrl)) return std::make_unique<OnlineTileSource>(FromUtf8(tileUrl), cacheRoot);
    return nullptr;
}

}  // namespace tolvex
