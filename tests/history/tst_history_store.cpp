// SPDX-License-Identifier: GPL-3.0-or-later
// The history store on real files: what each kind of bad file becomes, and minutes rolled into
// hours (and hours dropped) as an injected clock moves on.

#include "history/history_store.h"
#include "support/files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

namespace {

constexpr qint64 day = 86'400'000;
const QString host = u"10.0.0.5"_s;

// Two hours of minutes starting at `startMs`: minute i sends 60 and gets 60 - i % 7 replies.
QList<LatencyAggregate> twoHours(qint64 startMs)
{
    QList<LatencyAggregate> minutes;
    for (int i = 0; i < 120; ++i) {
        const double l = 1.0 + i % 10;
        minutes.append({startMs / 60'000 + i, 60, 60 - i % 7, l / 2, l, l * 2, l, l * 1.5});
    }
    return minutes;
}

} // namespace

class TestHistoryStore : public QObject {
    Q_OBJECT
private slots:
    void badFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("movedAside");
        QTest::addColumn<bool>("writable");
        QTest::newRow("empty file") << u"empty"_s << true << false << true;
        QTest::newRow("random bytes") << u"random"_s << true << true << true;
        QTest::newRow("truncated") << u"truncated"_s << true << true << true;
        QTest::newRow("another program's database") << u"foreign"_s << true << true << true;
        QTest::newRow("newer schema") << u"newer"_s << true << false << false;
        QTest::newRow("directory") << u"directory"_s << false << false << false;
    }
    void badFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, opens);
        QFETCH(bool, movedAside);
        QFETCH(bool, writable);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"history.sqlite"_s);
        const qint64 recent = QDateTime::currentMSecsSinceEpoch() - 3 * 3'600'000;
        if (kind == u"directory"_s)
            QVERIFY(QDir().mkpath(path));
        else if (kind == u"random"_s)
            QVERIFY(writeFile(path, QByteArray(8192, '\0').fill(char(0x5a), 4096) + "junk"));
        else if (kind == u"empty"_s)
            QVERIFY(writeFile(path, {}));
        else {
            // A real database (ours, or another program's) to damage or to mark newer.
            {
                auto store = HistoryStore::openForWriting(path);
                QVERIFY2(store, qPrintable(store.error().message));
                QVERIFY((*store)->write({{host, twoHours(recent)}}, {}));
            }
            QFile::remove(path + u"-wal"_s);
            QByteArray bytes = readFile(path);
            if (kind == u"truncated"_s)
                bytes.truncate(bytes.size() / 2);
            else if (kind == u"newer"_s)
                bytes[60] = char(HistoryStore::schemaVersion + 1); // user_version, big-endian
            else
                bytes.replace("minute_blocks", "other_thing_");
            QVERIFY(writeFile(path, bytes));
        }
        const QByteArray before = readFile(path);

        auto store = HistoryStore::openForWriting(path);
        QCOMPARE(bool(store), opens);
        if (!opens) {
            QVERIFY(store.error().message.contains(u"directory"_s));
            return;
        }
        QCOMPARE(!(*store)->movedAsideTo().isEmpty(), movedAside);
        if (movedAside) {
            QVERIFY((*store)->movedAsideTo().startsWith(path + u".corrupt-"_s));
            QCOMPARE(readFile((*store)->movedAsideTo()), before); // kept as it was
        }
        const Expected<void> written = (*store)->write({{host, twoHours(recent)}}, {});
        QCOMPARE(bool(written), writable);
        if (!writable) {
            QVERIFY(written.error().message.contains(u"newer"_s));
            store->reset();
            QCOMPARE(readFile(path), before);
            return;
        }
        QCOMPARE((*store)->summary(host, 0)->sent, 120 * 60); // only what this run wrote
    }

    void rollup_data()
    {
        QTest::addColumn<int>("ageDays");
        QTest::addColumn<int>("minuteRows");
        QTest::addColumn<int>("hourRows");
        QTest::newRow("13 days: minutes") << 13 << 120 << 0;
        QTest::newRow("15 days: hours") << 15 << 0 << 2;
        QTest::newRow("401 days: gone") << 401 << 0 << 0;
    }
    void rollup()
    {
        QFETCH(int, ageDays);
        QFETCH(int, minuteRows);
        QFETCH(int, hourRows);
        QTemporaryDir dir;
        const qint64 start = 20'000 * day; // midnight
        qint64 now = start + 3 * 3'600'000;
        auto store = HistoryStore::openForWriting(dir.filePath(u"h.sqlite"_s), [&] { return now; });
        QVERIFY(store);
        const QList<LatencyAggregate> minutes = twoHours(start);
        QVERIFY((*store)->write({{host, minutes}}, {}));
        const HistorySummary before = *(*store)->summary(host, 0);

        now = start + qint64(ageDays) * day;
        QVERIFY((*store)->write({{u"10.0.0.6"_s, twoHours(now)}}, {}));
        QCOMPARE((*store)->minutes(host, 0)->size(), minuteRows);
        const QList<LatencyAggregate> hours = *(*store)->hours(host, 0);
        QCOMPARE(hours.size(), hourRows);
        if (hourRows == 0)
            return;
        const HistorySummary after = *(*store)->summary(host, 0);
        QCOMPARE(after.sent, before.sent);
        QCOMPARE(after.replies, before.replies);
        for (int h = 0; h < 2; ++h) {
            const QList<LatencyAggregate> part = minutes.mid(h * 60, 60);
            int replies = 0;
            for (const LatencyAggregate& m : part)
                replies += m.replies;
            QCOMPARE(hours[h].replies, replies);
            QCOMPARE(hours[h].minMs, 0.5);
            QCOMPARE(hours[h].maxMs, 20.0);
            QVERIFY(hours[h].p50Ms >= 4 && hours[h].p50Ms <= 7);
        }
    }

    void availabilityAndOutages()
    {
        QTemporaryDir dir;
        qint64 now = 1'000'000;
        auto store = HistoryStore::openForWriting(dir.filePath(u"h.sqlite"_s), [&] { return now; });
        QVERIFY(store);
        // Up 0-100 s, down 100-130 s, up 130-160 s, unmonitored from 160 s, down from 190 s.
        QVERIFY((*store)->write({}, {{host,
                                      {{0, HostState::up},
                                       {100'000, HostState::down},
                                       {130'000, HostState::up},
                                       {160'000, HostState::unmonitored},
                                       {190'000, HostState::down}}}}));
        now = 200'000;
        const HistorySummary all = *(*store)->summary(host, 0);
        QCOMPARE(all.outages.size(), 2);
        QCOMPARE(all.outages[0].startMs, 100'000);
        QCOMPARE(all.outages[0].endMs, 130'000);
        QVERIFY(!all.outages[1].endMs);
        QCOMPARE(*all.availabilityPercent, 100.0 * 130 / 170);
        // A window starting inside the outage sees its part of it, and the outage itself.
        const HistorySummary late = *(*store)->summary(host, 120'000);
        QCOMPARE(late.outages.size(), 2);
        QCOMPARE(*late.availabilityPercent, 100.0 * 30 / 50);
        QVERIFY(!late.lossPercent()); // nothing sent in any recorded minute
    }
};

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_history_store.moc"
