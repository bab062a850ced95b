// SPDX-License-Identifier: GPL-3.0-or-later
// The node details' history block read from a real history file: outage texts, loss and
// availability figures, and the sparkline's pixels.

#include "history/history_store.h"
#include "support/pixels.h"

#include "panes/node_history_view.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;
using namespace velmora::test;

class TestNodeHistoryView final : public QObject {
    Q_OBJECT
private slots:
    void outageTexts_data()
    {
        QTest::addColumn<qint64>("lengthMs");
        QTest::addColumn<bool>("ongoing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("5 min") << qint64(300'000) << false << u"Offline %1–%2 (5 min)"_s;
        QTest::newRow("seconds") << qint64(42'500) << false << u"Offline %1–%2 (42 s)"_s;
        QTest::newRow("hours") << qint64(7'500'000) << false << u"Offline %1–%2 (2 h 5 min)"_s;
        QTest::newRow("ongoing") << qint64(120'000) << true << u"Offline since %1 (2 min)"_s;
    }
    void outageTexts()
    {
        QFETCH(qint64, lengthMs);
        QFETCH(bool, ongoing);
        QFETCH(QString, expected);
        const QDateTime start(QDate(2026, 3, 4), QTime(14, 2));
        const qint64 end = start.toMSecsSinceEpoch() + lengthMs;
        const Outage outage{start.toMSecsSinceEpoch(), ongoing ? std::nullopt : std::optional(end)};
        QCOMPARE(
            outageText(outage, end),
            expected.arg(u"14:02"_s, QDateTime::fromMSecsSinceEpoch(end).toString(u"HH:mm"_s)));
    }

    // Half the last hour's minutes answered (10 ms), an outage of 10 min that ended.
    void figuresAndSparkline()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"h.sqlite"_s);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        {
            auto store = HistoryStore::openForWriting(path);
            QVERIFY(store);
            QList<LatencyAggregate> minutes;
            for (int i = 1; i <= 40; ++i)
                minutes.append({now / 60'000 - i, 10, 5, 9, 10, 11, 10, 11});
            QVERIFY(
                (*store)->write({{u"10.1.1.1"_s, minutes}}, {{u"10.1.1.1"_s,
                                                              {{now - 1'800'000, HostState::up},
                                                               {now - 1'200'000, HostState::down},
                                                               {now - 600'000, HostState::up}}}}));
        }
        HistoryReader reader(path);
        NodeHistoryView view(&reader);
        view.resize(220, 120);
        view.showAddress(u" 10.1.1.1"_s);
        QVERIFY2(view.figuresText().contains(u"Loss: 1 h 50.0%"_s), qPrintable(view.figuresText()));
        QVERIFY(view.figuresText().contains(u"Availability: 1 h 66.7%"_s));
        QVERIFY2(view.outagesText().endsWith(u"(10 min)"_s), qPrintable(view.outagesText()));
        QCOMPARE(view.sparkline().size(), 40);
        const QImage image = view.grab().toImage();
        QVERIFY(countNear(image, QColor(52, 199, 89), 40, QRect(0, 0, 220, 28)) > 20);

        view.showAddress(u"10.9.9.9"_s); // no history: no line
        QVERIFY(view.sparkline().isEmpty());
        QCOMPARE(view.outagesText(), u"No outages in 7 days"_s);
    }
};

QTEST_MAIN(TestNodeHistoryView)
#include "tst_node_history_view.moc"
