// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cmath>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcHistory, "velmora.history")

namespace velmora {
namespace {

constexpr qint64 msPerMinute = 60'000;
constexpr qint64 msPerHour = 3'600'000;
constexpr qint64 msPerDay = 86'400'000;

// A minute inside its hour's block: offset, sent, replies and five latencies in 20 µs units
// (saturating at 1.31 s, beyond any timeout), 15 bytes, so that a day of 1,000 addresses
// pinged every second stays near 22 MB.
constexpr int slotSize = 15;
constexpr double latencyUnitMs = 0.02;

quint16 toUnits(double ms)
{
    return quint16(std::clamp(std::lround(ms / latencyUnitMs), 0L, 65535L));
}

QByteArray encodeSlot(const LatencyAggregate& a)
{
    QByteArray slot(slotSize, '\0');
    auto* p = reinterpret_cast<uchar*>(slot.data());
    p[0] = uchar(a.start % 60);
    qToLittleEndian(quint16(std::min(a.sent, 65535)), p + 1);
    qToLittleEndian(quint16(std::min(a.replies, 65535)), p + 3);
    const double latencies[] = {a.minMs, a.meanMs, a.maxMs, a.p50Ms, a.p95Ms};
    for (int i = 0; i < 5; ++i)
        qToLittleEndian(toUnits(latencies[i]), p + 5 + 2 * i);
    return slot;
}

QList<LatencyAggregate> decodeSlots(qint64 hour, const QByteArray& blob)
{
    QList<LatencyAggregate> cells;
    const auto* p = reinterpret_cast<const uchar*>(blob.constData());
    for (qsizetype at = 0; at + slotSize <= blob.size(); at += slotSize) {
        const uchar* s = p + at;
        auto ms = [s](int i) { return qFromLittleEndian<quint16>(s + 5 + 2 * i) * latencyUnitMs; };
        cells.append({hour * 60 + s[0] % 60, qFromLittleEndian<quint16>(s + 1),
                      qFromLittleEndian<quint16>(s + 3), ms(0), ms(1), ms(2), ms(3), ms(4)});
    }
    return cells;
}

// The value below which `q` of the weight lies.
double weightedPercentile(QList<std::pair<double, double>> values, double q)
{
    std::sort(values.begin(), values.end());
    double total = 0;
    for (const auto& v : values)
        total += v.second;
    double seen = 0;
    for (const auto& v : values) {
        seen += v.second;
        if (seen >= q * total)
            return v.first;
    }
    return values.isEmpty() ? 0.0 : values.last().first;
}

// Several aggregates as one, starting at `start`. Percentiles of a merge are the reply-weighted
// percentiles of the parts' percentiles: exact for one part, close for many.
LatencyAggregate merge(const QList<LatencyAggregate>& parts, qint64 start)
{
    LatencyAggregate m{.start = start};
    QList<std::pair<double, double>> p50s, p95s;
    double sum = 0;
    for (const LatencyAggregate& a : parts) {
        m.sent += a.sent;
        if (a.replies <= 0)
            continue;
        m.minMs = m.replies == 0 ? a.minMs : std::min(m.minMs, a.minMs);
        m.maxMs = std::max(m.maxMs, a.maxMs);
        m.replies += a.replies;
        sum += a.meanMs * a.replies;
        p50s.append({a.p50Ms, a.replies});
        p95s.append({a.p95Ms, a.replies});
    }
    if (m.replies > 0) {
        m.meanMs = sum / m.replies;
        m.p50Ms = weightedPercentile(p50s, 0.5);
        m.p95Ms = weightedPercentile(p95s, 0.95);
    }
    return m;
}

Error sqlError(const QString& path, const QSqlError& error)
{
    return Error{path + u": "_s + error.databaseText()};
}

bool isCorruption(const QSqlError& error)
{
    // SQLITE_CORRUPT, SQLITE_NOTADB
    const QString code = error.nativeErrorCode();
    return code == u"11"_s || code == u"26"_s;
}

const char* const schema[] = {
    "CREATE TABLE addresses(id INTEGER PRIMARY KEY, address TEXT NOT NULL UNIQUE)",
    // The minutes of hours that have ended: one row per hour and address holding the minutes as
    // 15-byte cells, compressed, written once when the hour ends and in key order, so pages
    // stay full.
    "CREATE TABLE minute_blocks(hour INTEGER NOT NULL, address_id INTEGER NOT NULL, "
    "cells BLOB NOT NULL, PRIMARY KEY(hour, address_id)) WITHOUT ROWID",
    "CREATE INDEX minute_blocks_by_address ON minute_blocks(address_id, hour)",
    // The minutes of the hour in progress, one cell a row.
    "CREATE TABLE recent_minutes(address_id INTEGER NOT NULL, minute INTEGER NOT NULL, "
    "cell BLOB NOT NULL, PRIMARY KEY(address_id, minute)) WITHOUT ROWID",
    "CREATE TABLE hours(address_id INTEGER NOT NULL, hour INTEGER NOT NULL, sent INTEGER, "
    "replies INTEGER, min_ms REAL, mean_ms REAL, max_ms REAL, p50_ms REAL, p95_ms REAL, "
    "PRIMARY KEY(address_id, hour)) WITHOUT ROWID",
    "CREATE TABLE changes(address_id INTEGER NOT NULL, time_ms INTEGER NOT NULL, "
    "state INTEGER NOT NULL, PRIMARY KEY(address_id, time_ms)) WITHOUT ROWID",
};

} // namespace

QString HistoryStore::defaultPath()
{
    QString fromEnvironment = qEnvironmentVariable("VELMORA_HISTORY_DB");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u"/history.sqlite"_s;
}

QString HistoryStore::addressKey(const QString& address)
{
    QStringList pieces = address.trimmed().split(u'.', Qt::SkipEmptyParts);
    for (QString& piece : pieces) {
        bool ok = false;
        const uint value = piece.toUInt(&ok);
        if (ok)
            piece = QString::number(value);
    }
    return pieces.join(u'.');
}

HistoryStore::HistoryStore(QString path, QString connection, Clock clock)
    : m_path(std::move(path)), m_connection(std::move(connection)), m_clock(std::move(clock))
{
}

HistoryStore::~HistoryStore()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

qint64 HistoryStore::now() const
{
    return m_clock ? m_clock() : QDateTime::currentMSecsSinceEpoch();
}

Expected<std::unique_ptr<HistoryStore>> HistoryStore::openForWriting(const QString& path,
                                                                     const Clock& clock)
{
    return open(path, false, clock);
}

Expected<std::unique_ptr<HistoryStore>> HistoryStore::openForReading(const QString& path,
                                                                     const Clock& clock)
{
    if (!QFileInfo(path).isFile())
        return Error{path + u": "_s +
                     (QFileInfo(path).isDir() ? QObject::tr("is a directory")
                                              : QObject::tr("no such file"))};
    return open(path, true, clock);
}

Expected<std::unique_ptr<HistoryStore>> HistoryStore::open(const QString& path, bool readOnly,
                                                           const Clock& clock)
{
    if (QFileInfo(path).isDir())
        return Error{path + u": "_s + QObject::tr("is a directory")};
    if (!readOnly)
        QDir().mkpath(QFileInfo(path).absolutePath());
    static std::atomic<int> serial{0};
    const QString connection = u"velmora-history-%1"_s.arg(++serial);
    std::unique_ptr<HistoryStore> store(new HistoryStore(path, connection, clock));
    Expected<void> prepared = store->prepare(readOnly);
    if (!prepared && !readOnly && prepared.error().message.startsWith(u'\x01')) {
        // Damaged: keep the file for whoever wants to look at it and start afresh.
        store.reset();
        const QString aside =
            path + u".corrupt-"_s + QDateTime::currentDateTimeUtc().toString(u"yyyyMMddTHHmmssZ"_s);
        if (!QFile::rename(path, aside))
            return Error{path + u": "_s + QObject::tr("damaged and cannot be moved aside")};
        for (const QString& suffix : {u"-wal"_s, u"-shm"_s})
            QFile::rename(path + suffix, aside + suffix);
        qCWarning(lcHistory) << "damaged history database moved to" << aside;
        store.reset(new HistoryStore(path, connection + u"b"_s, clock));
        store->m_movedAside = aside;
        prepared = store->prepare(false);
    }
    if (!prepared)
        return Error{QString(prepared.error().message).remove(u'\x01')};
    return store;
}

// Opens the connection and checks or creates the schema. A message starting with \x01 marks a
// damaged file.
Expected<void> HistoryStore::prepare(bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(readOnly ? u"QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"_s
                                  : u"QSQLITE_BUSY_TIMEOUT=5000"_s);
    if (!db.open())
        return sqlError(m_path, db.lastError());
    QSqlQuery query(db);
    auto damaged = [&](const QSqlError& error) {
        return isCorruption(error) ? Error{u"\x01"_s + sqlError(m_path, error).message}
                                   : sqlError(m_path, error);
    };
    if (!query.exec(u"PRAGMA quick_check(1)"_s) || !query.next())
        return damaged(query.lastError());
    if (query.value(0).toString() != u"ok"_s)
        return Error{u"\x01"_s + m_path + u": "_s + query.value(0).toString()};
    if (!query.exec(u"PRAGMA user_version"_s) || !query.next())
        return damaged(query.lastError());
    const int version = query.value(0).toInt();
    if (version > schemaVersion) {
        m_readOnlyReason = QObject::tr("%1 was written by a newer Velmora (history format %2; "
                                       "this one knows %3) and is only read")
                               .arg(m_path)
                               .arg(version)
                               .arg(schemaVersion);
        return {};
    }
    if (readOnly)
        return {};
    // WAL: readers (the window, `history`) never wait for the writer. The log is cut back to
    // 4 MB after each checkpoint, so it does not stay at its largest size.
    if (!query.exec(u"PRAGMA journal_mode=WAL"_s) || !query.exec(u"PRAGMA synchronous=NORMAL"_s) ||
        !query.exec(u"PRAGMA journal_size_limit=4194304"_s))
        return damaged(query.lastError());
    if (version == 0) {
        if (!query.exec(u"SELECT count(*) FROM sqlite_master"_s) || !query.next())
            return damaged(query.lastError());
        if (query.value(0).toInt() != 0)
            return Error{u"\x01"_s + m_path + u": "_s +
                         QObject::tr("not a Velmora history database")};
        db.transaction();
        for (const char* statement : schema) {
            if (!query.exec(QString::fromLatin1(statement))) {
                const Error error = sqlError(m_path, query.lastError());
                db.rollback();
                return error;
            }
        }
        if (!query.exec(u"PRAGMA user_version = %1"_s.arg(schemaVersion)) || !db.commit())
            return sqlError(m_path, query.lastError());
    }
    return {};
}

std::optional<qint64> HistoryStore::addressId(const QString& key, bool create)
{
    if (const auto it = m_ids.constFind(key); it != m_ids.constEnd())
        return *it;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (create) {
        query.prepare(u"INSERT OR IGNORE INTO addresses(address) VALUES(?)"_s);
        query.addBindValue(key);
        if (!query.exec())
            return std::nullopt;
    }
    query.prepare(u"SELECT id FROM addresses WHERE address = ?"_s);
    query.addBindValue(key);
    if (!query.exec() || !query.next())
        return std::nullopt;
    const qint64 id = query.value(0).toLongLong();
    m_ids.insert(key, id);
    return id;
}

Expected<void> HistoryStore::mergeIntoBlock(qint64 id, qint64 hour,
                                            const QList<LatencyAggregate>& minutes)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery read(db), put(db);
    read.prepare(u"SELECT cells FROM minute_blocks WHERE hour = ? AND address_id = ?"_s);
    read.addBindValue(hour);
    read.addBindValue(id);
    if (!read.exec())
        return sqlError(m_path, read.lastError());
    QList<LatencyAggregate> cells =
        read.next() ? decodeSlots(hour, qUncompress(read.value(0).toByteArray()))
                    : QList<LatencyAggregate>();
    read.finish();
    for (const LatencyAggregate& minute : minutes) {
        auto same = std::find_if(cells.begin(), cells.end(),
                                 [&](const auto& c) { return c.start == minute.start; });
        if (same == cells.end())
            cells.append(minute);
        else
            *same = merge({*same, minute}, minute.start);
    }
    QByteArray blob;
    blob.reserve(cells.size() * slotSize);
    for (const LatencyAggregate& cell : std::as_const(cells))
        blob += encodeSlot(cell);
    blob = qCompress(blob); // an hour's cells shrink by a quarter to a half
    put.prepare(u"INSERT OR REPLACE INTO minute_blocks(hour, address_id, cells) VALUES(?, ?, ?)"_s);
    put.addBindValue(hour);
    put.addBindValue(id);
    put.addBindValue(blob);
    if (!put.exec())
        return sqlError(m_path, put.lastError());
    return {};
}

// The minutes of hours before `nowHour` move from recent_minutes into their hour's block.
Expected<void> HistoryStore::sealHours(qint64 nowHour)
{
    if (nowHour <= m_sealedBeforeHour)
        return {};
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery old(db);
    old.prepare(u"SELECT address_id, minute, cell FROM recent_minutes WHERE minute < ? "
                "ORDER BY minute / 60, address_id, minute"_s);
    old.addBindValue(nowHour * 60);
    if (!old.exec())
        return sqlError(m_path, old.lastError());
    std::pair<qint64, qint64> block{-1, -1}; // id, hour
    QList<LatencyAggregate> cells;
    auto sealBlock = [&]() -> Expected<void> {
        if (cells.isEmpty())
            return {};
        return mergeIntoBlock(block.first, block.second, std::exchange(cells, {}));
    };
    while (old.next()) {
        const qint64 id = old.value(0).toLongLong();
        const qint64 minute = old.value(1).toLongLong();
        if (std::pair(id, minute / 60) != block) {
            if (Expected<void> sealed = sealBlock(); !sealed)
                return sealed;
            block = {id, minute / 60};
        }
        cells += decodeSlots(minute / 60, old.value(2).toByteArray());
    }
    if (Expected<void> sealed = sealBlock(); !sealed)
        return sealed;
    QSqlQuery drop(db);
    drop.prepare(u"DELETE FROM recent_minutes WHERE minute < ?"_s);
    drop.addBindValue(nowHour * 60);
    if (!drop.exec())
        return sqlError(m_path, drop.lastError());
    m_sealedBeforeHour = nowHour;
    return {};
}

Expected<void> HistoryStore::write(const QHash<QString, QList<LatencyAggregate>>& minutes,
                                   const QHash<QString, QList<StateChange>>& changes)
{
    if (!m_readOnlyReason.isEmpty())
        return Error{m_readOnlyReason};
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return sqlError(m_path, db.lastError());
    auto failed = [&](const Error& error) {
        db.rollback();
        m_ids.clear(); // ids made in the rolled-back transaction are gone
        m_sealedBeforeHour = -1;
        m_rolledUpBeforeHour = -1;
        return error;
    };
    const qint64 nowMs = now();
    const qint64 nowHour = nowMs / msPerHour;
    QSqlQuery insert(db), read(db), update(db);
    insert.prepare(u"INSERT OR IGNORE INTO recent_minutes(address_id, minute, cell) "
                   "VALUES(?, ?, ?)"_s);
    read.prepare(u"SELECT cell FROM recent_minutes WHERE address_id = ? AND minute = ?"_s);
    update.prepare(u"UPDATE recent_minutes SET cell = ? WHERE address_id = ? AND minute = ?"_s);
    for (auto it = minutes.cbegin(); it != minutes.cend(); ++it) {
        const std::optional<qint64> id = addressId(HistoryStore::addressKey(it.key()), true);
        if (!id)
            return failed(Error{m_path + u": "_s + db.lastError().databaseText()});
        for (const LatencyAggregate& minute : *it) {
            insert.addBindValue(*id);
            insert.addBindValue(minute.start);
            insert.addBindValue(encodeSlot(minute));
            if (!insert.exec())
                return failed(sqlError(m_path, insert.lastError()));
            if (insert.numRowsAffected() > 0)
                continue;
            // The minute is there already (flushed before it ended): merge.
            read.addBindValue(*id);
            read.addBindValue(minute.start);
            if (!read.exec() || !read.next())
                return failed(sqlError(m_path, read.lastError()));
            const QList<LatencyAggregate> stored =
                decodeSlots(minute.start / 60, read.value(0).toByteArray());
            read.finish();
            update.addBindValue(encodeSlot(merge(stored + QList{minute}, minute.start)));
            update.addBindValue(*id);
            update.addBindValue(minute.start);
            if (!update.exec())
                return failed(sqlError(m_path, update.lastError()));
        }
    }
    QSqlQuery change(db);
    change.prepare(u"INSERT OR REPLACE INTO changes(address_id, time_ms, state) VALUES(?, ?, ?)"_s);
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        const std::optional<qint64> id = addressId(HistoryStore::addressKey(it.key()), true);
        if (!id)
            return failed(sqlError(m_path, change.lastError()));
        for (const StateChange& c : *it) {
            change.addBindValue(*id);
            change.addBindValue(c.timeMs);
            change.addBindValue(int(c.state));
            if (!change.exec())
                return failed(sqlError(m_path, change.lastError()));
        }
    }
    if (const Expected<void> sealed = sealHours(nowHour); !sealed)
        return failed(sealed.error());
    if (const Expected<void> rolled = rollup(nowMs); !rolled)
        return failed(rolled.error());
    if (!db.commit())
        return failed(sqlError(m_path, db.lastError()));
    return {};
}

// Minute blocks of hours that ended more than 14 days ago become hourly rows with the same
// totals; hourly rows and changes older than 400 days go. Runs when that hour has moved on.
Expected<void> HistoryStore::rollup(qint64 nowMs)
{
    const qint64 cutoffHour = (nowMs - minuteDays * msPerDay) / msPerHour;
    if (cutoffHour <= m_rolledUpBeforeHour)
        return {};
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery old(db), put(db), existing(db);
    old.prepare(u"SELECT address_id, hour, cells FROM minute_blocks WHERE hour < ? "
                "ORDER BY hour, address_id"_s);
    old.addBindValue(cutoffHour);
    if (!old.exec())
        return sqlError(m_path, old.lastError());
    existing.prepare(u"SELECT sent, replies, min_ms, mean_ms, max_ms, p50_ms, p95_ms FROM hours "
                     "WHERE address_id = ? AND hour = ?"_s);
    put.prepare(u"INSERT OR REPLACE INTO hours VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
    while (old.next()) {
        const qint64 id = old.value(0).toLongLong();
        const qint64 hour = old.value(1).toLongLong();
        QList<LatencyAggregate> parts = decodeSlots(hour, qUncompress(old.value(2).toByteArray()));
        existing.addBindValue(id);
        existing.addBindValue(hour);
        if (existing.exec() && existing.next()) {
            parts.append({hour * 60, existing.value(0).toInt(), existing.value(1).toInt(),
                          existing.value(2).toDouble(), existing.value(3).toDouble(),
                          existing.value(4).toDouble(), existing.value(5).toDouble(),
                          existing.value(6).toDouble()});
        }
        existing.finish();
        const LatencyAggregate h = merge(parts, hour);
        for (const QVariant& value : {QVariant(id), QVariant(hour), QVariant(h.sent),
                                      QVariant(h.replies), QVariant(h.minMs), QVariant(h.meanMs),
                                      QVariant(h.maxMs), QVariant(h.p50Ms), QVariant(h.p95Ms)})
            put.addBindValue(value);
        if (!put.exec())
            return sqlError(m_path, put.lastError());
    }
    QSqlQuery drop(db);
    const qint64 oldestMs = nowMs - hourDays * msPerDay;
    const std::pair<QString, qint64> deletions[] = {
        {u"DELETE FROM minute_blocks WHERE hour < ?"_s, cutoffHour},
        {u"DELETE FROM hours WHERE hour < ?"_s, oldestMs / msPerHour},
        {u"DELETE FROM changes WHERE time_ms < ?"_s, oldestMs}};
    for (const auto& [statement, bound] : deletions) {
        drop.prepare(statement);
        drop.addBindValue(bound);
        if (!drop.exec())
            return sqlError(m_path, drop.lastError());
    }
    m_rolledUpBeforeHour = cutoffHour;
    return {};
}

Expected<QList<LatencyAggregate>> HistoryStore::minutes(const QString& address,
                                                        qint64 sinceMs) const
{
    QList<LatencyAggregate> result;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(u"SELECT m.hour, m.cells FROM minute_blocks m JOIN addresses a ON "
                  "a.id = m.address_id WHERE a.address = ? AND m.hour >= ? ORDER BY m.hour"_s);
    query.addBindValue(addressKey(address));
    query.addBindValue(sinceMs / msPerHour);
    if (!query.exec())
        return sqlError(m_path, query.lastError());
    const qint64 sinceMinute = sinceMs / msPerMinute;
    while (query.next()) {
        QList<LatencyAggregate> cells =
            decodeSlots(query.value(0).toLongLong(), qUncompress(query.value(1).toByteArray()));
        std::sort(cells.begin(), cells.end(),
                  [](const auto& a, const auto& b) { return a.start < b.start; });
        for (const LatencyAggregate& cell : std::as_const(cells)) {
            if (cell.start >= sinceMinute)
                result.append(cell);
        }
    }
    query.prepare(u"SELECT r.minute, r.cell FROM recent_minutes r JOIN addresses a ON "
                  "a.id = r.address_id WHERE a.address = ? AND r.minute >= ? ORDER BY r.minute"_s);
    query.addBindValue(addressKey(address));
    query.addBindValue(sinceMinute);
    if (!query.exec())
        return sqlError(m_path, query.lastError());
    while (query.next())
        result += decodeSlots(query.value(0).toLongLong() / 60, query.value(1).toByteArray());
    return result;
}

Expected<QList<LatencyAggregate>> HistoryStore::hours(const QString& address, qint64 sinceMs) const
{
    QList<LatencyAggregate> result;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(u"SELECT h.hour, sent, replies, min_ms, mean_ms, max_ms, p50_ms, p95_ms FROM "
                  "hours h JOIN addresses a ON a.id = h.address_id WHERE a.address = ? AND "
                  "h.hour >= ? ORDER BY h.hour"_s);
    query.addBindValue(addressKey(address));
    query.addBindValue(sinceMs / msPerHour);
    if (!query.exec())
        return sqlError(m_path, query.lastError());
    while (query.next()) {
        result.append({query.value(0).toLongLong(), query.value(1).toInt(), query.value(2).toInt(),
                       query.value(3).toDouble(), query.value(4).toDouble(),
                       query.value(5).toDouble(), query.value(6).toDouble(),
                       query.value(7).toDouble()});
    }
    return result;
}

Expected<HistorySummary> HistoryStore::summary(const QString& address, qint64 sinceMs) const
{
    const Expected<QList<LatencyAggregate>> recent = minutes(address, sinceMs);
    if (!recent)
        return recent.error();
    const Expected<QList<LatencyAggregate>> older = hours(address, sinceMs);
    if (!older)
        return older.error();
    HistorySummary summary;
    const LatencyAggregate all = merge(*older + *recent, 0);
    summary.sent = all.sent;
    summary.replies = all.replies;
    if (all.replies > 0) {
        summary.p50Ms = all.p50Ms;
        summary.p95Ms = all.p95Ms;
    }

    // The state at the window's start (the last change before it), then every change in it.
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(
        u"SELECT time_ms, state FROM changes c JOIN addresses a ON a.id = c.address_id "
        "WHERE a.address = ? AND time_ms >= coalesce((SELECT max(time_ms) FROM changes c2 "
        "WHERE c2.address_id = a.id AND c2.time_ms <= ?), 0) ORDER BY time_ms"_s);
    query.addBindValue(addressKey(address));
    query.addBindValue(sinceMs);
    if (!query.exec())
        return sqlError(m_path, query.lastError());
    QList<StateChange> timeline;
    while (query.next())
        timeline.append({query.value(0).toLongLong(), HostState(query.value(1).toInt())});
    const qint64 end = std::max(now(), sinceMs);
    qint64 up = 0, down = 0;
    for (qsizetype i = 0; i < timeline.size(); ++i) {
        const bool last = i + 1 == timeline.size();
        const qint64 from = std::max(timeline[i].timeMs, sinceMs);
        const qint64 to = last ? end : std::min(timeline[i + 1].timeMs, end);
        const qint64 span = std::max<qint64>(0, to - from);
        if (timeline[i].state == HostState::up)
            up += span;
        else if (timeline[i].state == HostState::down) {
            down += span;
            summary.outages.append(
                {timeline[i].timeMs, last ? std::nullopt : std::optional(timeline[i + 1].timeMs)});
        }
    }
    if (up + down > 0)
        summary.availabilityPercent = 100.0 * double(up) / double(up + down);
    return summary;
}

} // namespace velmora
