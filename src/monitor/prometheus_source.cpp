// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/prometheus_source.h"

#include "monitor/ping_manager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

constexpr int answerTimeoutMs = 2000;

int severity(PingStatus status)
{
    switch (status) {
    case PingStatus::offline:
        return 3;
    case PingStatus::slow:
        return 2;
    case PingStatus::online:
        return 1;
    case PingStatus::unknown:
        break;
    }
    return 0;
}

std::optional<PingStatus> statusFromName(const QString& word)
{
    for (PingStatus status :
         {PingStatus::unknown, PingStatus::online, PingStatus::offline, PingStatus::slow}) {
        if (pingStatusName(status) == word)
            return status;
    }
    return std::nullopt;
}

bool sameSample(const PrometheusSource::Sample& a, const PrometheusSource::Sample& b)
{
    return a.status == b.status && a.latencyMs == b.latencyMs;
}

} // namespace

PrometheusSource::PrometheusSource(PingManager* manager, QObject* parent)
    : QObject(parent), m_manager(manager), m_network(new QNetworkAccessManager(this)),
      m_timer(new QTimer(this))
{
    m_timer->setInterval(int(PingManager::batchUpdateInterval * 1000));
    connect(m_timer, &QTimer::timeout, this, &PrometheusSource::ask);
}

PrometheusSource::~PrometheusSource()
{
    // Whoever listens may be gone already.
    disconnect(this, &PrometheusSource::sourceStateChanged, nullptr, nullptr);
    stop();
}

QString PrometheusSource::query(const QString& selector)
{
    const QString matchers = selector.trimmed().isEmpty() ? QString() : u'{' + selector + u'}';
    // The comparison keeps only each address's current status; the RTT series carry no
    // status label, so they stay apart from it.
    return u"velmora_status%1 == 1 or velmora_rtt_seconds%1"_s.arg(matchers);
}

Expected<QHash<QString, PrometheusSource::Sample>>
PrometheusSource::parseAnswer(const QByteArray& json)
{
    QJsonParseError parseError;
    const QJsonObject root = QJsonDocument::fromJson(json, &parseError).object();
    if (parseError.error != QJsonParseError::NoError)
        return Error{tr("the server's answer is not JSON: %1").arg(parseError.errorString())};
    if (root.value("status"_L1).toString() != "success"_L1) {
        const QString why = root.value("error"_L1).toString();
        return Error{why.isEmpty() ? tr("the server did not answer the query") : why};
    }
    QHash<QString, Sample> samples;
    const QJsonArray result = root.value("data"_L1).toObject().value("result"_L1).toArray();
    for (const auto& entry : result) {
        const QJsonObject metric = entry.toObject().value("metric"_L1).toObject();
        const QString address = metric.value("address"_L1).toString().trimmed();
        bool ok = false;
        const double value =
            entry.toObject().value("value"_L1).toArray().at(1).toString().toDouble(&ok);
        if (address.isEmpty() || !ok)
            continue;
        Sample& sample = samples[address];
        if (!metric.contains("status"_L1)) {
            sample.latencyMs = value * 1000.0;
            continue;
        }
        const std::optional<PingStatus> status =
            statusFromName(metric.value("status"_L1).toString());
        if (status && value == 1.0 && severity(*status) > severity(sample.status))
            sample.status = *status;
    }
    for (Sample& sample : samples) {
        // A latency belongs to an address that is up.
        if (sample.status != PingStatus::online && sample.status != PingStatus::slow)
            sample.latencyMs.reset();
    }
    return samples;
}

Expected<void> PrometheusSource::start(const Settings& settings, const QList<Node>& nodes)
{
    const QString scheme = settings.url.scheme();
    if (!settings.url.isValid() || settings.url.host().isEmpty() ||
        (scheme != "http"_L1 && scheme != "https"_L1))
        return Error{tr("\"%1\" is not an http or https address of a Prometheus server")
                         .arg(settings.url.toString())};
    stop();
    m_settings = settings;
    m_ipToNodeIds.clear();
    for (const Node& node : nodes) {
        const QString address = node.ip.trimmed();
        if (PingManager::isMonitorableAddress(address))
            m_ipToNodeIds[address].append(node.id);
    }
    m_manager->setPingingEnabled(false);
    m_manager->startMonitoring(nodes);
    m_timer->start();
    ask();
    return {};
}

void PrometheusSource::stop()
{
    m_timer->stop();
    if (m_inFlight) {
        QNetworkReply* reply = std::exchange(m_inFlight, nullptr);
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_fed.clear();
    if (m_manager)
        m_manager->setPingingEnabled(true);
    setState({}, {});
}

void PrometheusSource::ask()
{
    if (m_inFlight)
        return; // a slow server gets one question at a time
    QUrl url = m_settings.url;
    QString path = url.path();
    if (!path.endsWith(u'/'))
        path += u'/';
    url.setPath(path + "api/v1/query"_L1);
    QNetworkRequest request(url);
    request.setTransferTimeout(answerTimeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded"_ba);
    if (!m_settings.user.isEmpty()) {
        const QByteArray credentials = (m_settings.user + u':' + m_settings.password).toUtf8();
        request.setRawHeader("Authorization", "Basic " + credentials.toBase64());
    }
    m_inFlight =
        m_network->post(request, "query=" + QUrl::toPercentEncoding(query(m_settings.selector)));
    QNetworkReply* reply = m_inFlight;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { answered(reply); });
}

void PrometheusSource::answered(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != m_inFlight)
        return;
    m_inFlight = nullptr;
    const QByteArray body = reply->readAll();
    Expected<QHash<QString, Sample>> samples = parseAnswer(body);
    if (reply->error() != QNetworkReply::NoError) {
        // Prometheus explains a refused query in its JSON; anything else (a proxy's page, a
        // refused login, no answer at all) is told by the network layer.
        const QString why = QJsonDocument::fromJson(body).object().value("error"_L1).toString();
        samples = Error{why.isEmpty() ? reply->errorString() : why};
    }
    if (!samples) {
        // Everything keeps its last status, marked as not confirmed.
        QSet<qint64> all;
        for (const QList<qint64>& ids : std::as_const(m_ipToNodeIds))
            all.unite(QSet<qint64>(ids.cbegin(), ids.cend()));
        setState(tr("Prometheus at %1 cannot be reached: %2")
                     .arg(m_settings.url.toString(QUrl::RemoveUserInfo), samples.error().message),
                 std::move(all));
        return;
    }
    QSet<qint64> stale;
    for (auto it = m_ipToNodeIds.cbegin(); it != m_ipToNodeIds.cend(); ++it) {
        const auto sample = samples->constFind(it.key());
        if (sample == samples->constEnd() || sample->status == PingStatus::unknown) {
            // Dropped out of the answer (its exporter stopped) after having been seen.
            if (m_fed.contains(it.key()))
                stale.unite(QSet<qint64>(it->cbegin(), it->cend()));
            continue;
        }
        const auto fed = m_fed.constFind(it.key());
        if (fed == m_fed.constEnd() || !sameSample(*fed, *sample)) {
            m_manager->feedAddressStatus(it.key(), sample->status, sample->latencyMs);
            m_fed.insert(it.key(), *sample);
        }
    }
    setState({}, std::move(stale));
}

void PrometheusSource::setState(const QString& error, QSet<qint64> stale)
{
    if (error == m_serverError && stale == m_staleNodeIds)
        return;
    m_serverError = error;
    m_staleNodeIds = std::move(stale);
    emit sourceStateChanged();
}

} // namespace velmora
