// SPDX-License-Identifier: GPL-3.0-or-later
// One outage end to end with nothing faked below the window: a real ContentView in live mode,
// the real ping manager and ICMP engine, the real desktop notifier on a private D-Bus bus with a
// small fake notification server. A host goes down by losing its address in a network namespace
// the test creates for itself, and comes back when the address returns.
//
// The ICMP engine is process-wide, so the whole process runs inside the namespace: main()
// creates it, runs this binary again under `ip netns exec` and deletes the namespace afterwards.

#include "app/content_view.h"
#include "canvas/cable_geometry.h"
#include "canvas/canvas_widget.h"
#include "canvas/splash_overlay.h"
#include "canvas/view_state.h"
#include "model/project_session.h"
#include "monitor/alert_center.h"
#include "monitor/alert_types.h"
#include "monitor/ping_manager.h"
#include "monitor/ping_status.h"
#include "panes/live_monitoring.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace velmora;
using namespace Qt::StringLiterals;

namespace {

// Set in the re-executed process to the name of the namespace it runs in.
constexpr const char* namespaceMarker = "VELMORA_E2E_NETNS";
constexpr const char* namespacePrefix = "velmora-e2e-";
// Set in the re-executed process to a temporary folder the outer process owns.
constexpr const char* folderMarker = "VELMORA_E2E_DIR";

// The host that goes down, and its neighbour whose address is never taken away.
constexpr qint64 downNodeId = 1;
constexpr qint64 neighbourId = 2;
constexpr qint64 cableId = 1;
const QString downAddress = u"127.0.77.1"_s;
const QString neighbourAddress = u"127.0.77.2"_s;
const QString downName = u"Core Switch"_s;
// Of the 19 samples taken along the middle of the cable, how many must show its colour.
constexpr int minimumMatches = 10;

// ---- Processes without Qt (main() runs before any QCoreApplication exists) ----

pid_t spawn(const std::vector<std::string>& args, posix_spawn_file_actions_t* actions = nullptr)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv.front(), actions, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

// The exit code of the finished child, or 128 + signal; -1 when it could not be waited for.
int waitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

int run(const std::vector<std::string>& args)
{
    const pid_t pid = spawn(args);
    return pid < 0 ? -1 : waitFor(pid);
}

volatile sig_atomic_t childPid = 0;

// A test runner that stops the outer process passes the signal on, so the inner test ends and
// the namespace is still deleted.
void forwardSignal(int sig)
{
    if (childPid > 0)
        kill(childPid, sig);
}

bool processGone(const std::string& name)
{
    const long pid = std::strtol(name.c_str() + std::strlen(namespacePrefix), nullptr, 10);
    return pid > 0 && kill(pid_t(pid), 0) < 0 && errno == ESRCH;
}

// Namespaces and bus folders left behind by runs that were killed outright (their process no
// longer exists).
void deleteStaleLeftovers()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(namespacePrefix, 0) == 0 && processGone(name))
            run({"ip", "netns", "del", name});
    }
    for (const auto& entry : std::filesystem::directory_iterator("/tmp", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(namespacePrefix, 0) == 0 && processGone(name))
            std::filesystem::remove_all(entry.path(), error);
    }
}

// Runs this binary again inside a new network namespace and returns its exit code; nothing
// when the namespace cannot be made, with the reason in `skipReason`.
std::optional<int> runInOwnNamespace(int argc, char** argv, std::string& skipReason)
{
    if (geteuid() != 0) {
        skipReason = "needs root to create a network namespace (ip netns add) in which a host "
                     "can go down; run as root (CI does)";
        return std::nullopt;
    }
    deleteStaleLeftovers();
    const std::string name = namespacePrefix + std::to_string(getpid());
    if (run({"ip", "netns", "add", name}) != 0) {
        skipReason = "`ip netns add " + name +
                     "` failed: iproute2 missing or network namespaces not available here";
        return std::nullopt;
    }
    std::error_code error;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();
    std::vector<std::string> args = {"ip", "netns", "exec", name, self};
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    setenv(namespaceMarker, name.c_str(), 1);
    // The folder of the inner process's private bus; made and removed here, so that it goes
    // even when the inner process is killed.
    std::string dir = "/tmp/" + name + "-XXXXXX";
    if (!mkdtemp(dir.data()))
        dir.clear();
    setenv(folderMarker, dir.c_str(), 1);

    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
    const pid_t pid = error ? -1 : spawn(args);
    childPid = pid;
    const int code = pid < 0 ? 1 : waitFor(pid);
    childPid = 0;
    if (pid < 0)
        std::fprintf(stderr, "could not run the test inside namespace %s\n", name.c_str());
    run({"ip", "netns", "del", name});
    if (!dir.empty())
        std::filesystem::remove_all(dir, error);
    return code;
}

// A private session bus of our own with no service directories, so nothing else can own the
// notification service. Started before QApplication so that every session-bus user in the
// process (the window's notifier among them) finds it through DBUS_SESSION_BUS_ADDRESS.
class PrivateBus {
public:
    ~PrivateBus()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitFor(m_pid);
        }
        if (m_output >= 0)
            close(m_output);
    }

    // Empty on success, else why the bus could not be started. `dir` holds its configuration
    // and socket.
    std::string start(const std::string& dir)
    {
        const std::string config = dir + "/bus.conf";
        std::ofstream(config)
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
               "<busconfig><type>session</type><listen>unix:dir="
            << dir
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>";
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0)
            return "cannot create a pipe";
        const std::string configArgument = "--config-file=" + config;
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid == 0) {
            // The daemon ends with this process however it ends, even when killed outright.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent)
                _exit(1);
            dup2(pipeEnds[1], 1);
            execlp("dbus-daemon", "dbus-daemon", configArgument.c_str(), "--nofork",
                   "--print-address=1", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeEnds[1]);
        m_output = pipeEnds[0];
        if (m_pid < 0)
            return "cannot start a process for dbus-daemon";
        std::string address;
        char c = 0;
        pollfd readable = {m_output, POLLIN, 0};
        while (poll(&readable, 1, 5000) > 0 && read(m_output, &c, 1) == 1 && c != '\n')
            address += c;
        if (address.empty()) {
            kill(m_pid, SIGTERM);
            const int code = waitFor(m_pid);
            m_pid = -1;
            return code == 127 ? "dbus-daemon is not installed (package dbus-daemon); the notifier "
                                 "needs a bus"
                               : "dbus-daemon printed no address within 5 s";
        }
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        m_address = address;
        return {};
    }

    const std::string& address() const { return m_address; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_address;
};

std::string skipReason;
std::string busError;
std::string busAddress;

// ---- The project, the notification server and the checks ----

ProjectData project()
{
    NodeData down;
    down.id = downNodeId;
    down.name = downName;
    down.type = u"Switch"_s;
    down.ip = downAddress;
    down.x = 0;
    down.y = 0;
    NodeData neighbour;
    neighbour.id = neighbourId;
    neighbour.name = u"Uplink"_s;
    neighbour.type = u"Router"_s;
    neighbour.ip = neighbourAddress;
    neighbour.x = 500;
    neighbour.y = 0;

    ProjectData data;
    data.projectName = u"Outage"_s;
    data.nodes = {down, neighbour};
    CableData cable;
    cable.id = cableId;
    CablePointData from;
    from.type = cablePointTypeNode;
    from.nodeId = downNodeId;
    from.anchorAngle = 0.0;
    CablePointData to;
    to.type = cablePointTypeNode;
    to.nodeId = neighbourId;
    to.anchorAngle = std::numbers::pi;
    cable.points = {from, to};
    data.cables = {cable};
    data.nextNodeId = 3;
    data.nextCableId = 2;
    return data;
}

struct NotifyCall {
    QString summary;
    QString body;
    QVariantMap hints;
};

} // namespace

// The server side of org.freedesktop.Notifications, recording what it is sent.
class FakeNotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    using QObject::QObject;
    QList<NotifyCall> calls;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout)
    {
        Q_UNUSED(appName);
        Q_UNUSED(replacesId);
        Q_UNUSED(appIcon);
        Q_UNUSED(actions);
        Q_UNUSED(expireTimeout);
        calls.append({summary, body, hints});
        return uint(calls.size());
    }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion)
    {
        vendor = u"Velmora tests"_s;
        version = u"1"_s;
        specVersion = u"1.2"_s;
        return u"fake-notifications"_s;
    }
    QStringList GetCapabilities() { return {u"actions"_s, u"body"_s, u"sound"_s}; }
};

class TestLiveEndToEnd final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void outageAndRecovery();
    // Last: once a window has been shown on the offscreen platform, the application stays
    // active for the rest of the process.
    void activeApplicationShowsBannerOnly();

private:
    static bool ip(const QStringList& arguments);
    // Samples along the cable between its two anchors in a fresh rendering of the canvas:
    // how many samples are near `expected`, and how many near `forbidden`.
    static std::pair<int, int> cableSamples(const ContentView& view, QColor expected,
                                            QColor forbidden);

    QDBusConnection m_server{u"unconnected"_s};
    FakeNotificationServer* m_fake = nullptr;
};

bool TestLiveEndToEnd::ip(const QStringList& arguments)
{
    QProcess process;
    process.start(u"ip"_s, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("ip %s failed: %s", qPrintable(arguments.join(u' ')),
                 process.readAllStandardError().constData());
        return false;
    }
    return true;
}

void TestLiveEndToEnd::initTestCase()
{
    if (!skipReason.empty())
        QSKIP(skipReason.c_str());
    if (!busError.empty())
        QSKIP(busError.c_str());
    QVERIFY(qEnvironmentVariableIsSet(namespaceMarker));
    // Inside our namespace: loopback up, its 127.0.0.0/8 replaced by two single addresses, one
    // of which the test takes away and gives back.
    QVERIFY(ip({u"link"_s, u"set"_s, u"lo"_s, u"up"_s}));
    QVERIFY(ip({u"addr"_s, u"del"_s, u"127.0.0.1/8"_s, u"dev"_s, u"lo"_s}));
    QVERIFY(ip({u"addr"_s, u"add"_s, downAddress + u"/32"_s, u"dev"_s, u"lo"_s}));
    QVERIFY(ip({u"addr"_s, u"add"_s, neighbourAddress + u"/32"_s, u"dev"_s, u"lo"_s}));

    m_server = QDBusConnection::connectToBus(QString::fromStdString(busAddress),
                                             u"fake-notification-server"_s);
    QVERIFY2(m_server.isConnected(), qPrintable(m_server.lastError().message()));
    m_fake = new FakeNotificationServer(this);
    QVERIFY(m_server.registerObject(u"/org/freedesktop/Notifications"_s, m_fake,
                                    QDBusConnection::ExportAllSlots));
    QVERIFY(m_server.registerService(u"org.freedesktop.Notifications"_s));
}

void TestLiveEndToEnd::cleanupTestCase()
{
    if (m_server.isConnected())
        QDBusConnection::disconnectFromBus(m_server.name());
}

std::pair<int, int> TestLiveEndToEnd::cableSamples(const ContentView& view, QColor expected,
                                                   QColor forbidden)
{
    const ProjectData& data = view.session()->document()->projectData();
    const CableData& cable = data.cables.first();
    const ViewTransform transform = view.viewState()->transform();
    const QPointF from = transform.toScreen(anchorPosition(cable.points.at(0), data));
    const QPointF to = transform.toScreen(anchorPosition(cable.points.at(1), data));
    const QImage image = view.canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto near = [](QRgb pixel, QColor colour) {
        return std::abs(qRed(pixel) - colour.red()) <= 30 &&
               std::abs(qGreen(pixel) - colour.green()) <= 30 &&
               std::abs(qBlue(pixel) - colour.blue()) <= 30;
    };
    int expectedCount = 0;
    int forbiddenCount = 0;
    // A fifth at either end is left out: there the cable meets the nodes' outlines.
    constexpr int samples = 30;
    for (int k = 6; k <= samples - 6; ++k) {
        const QPoint p = (from + (to - from) * (double(k) / samples)).toPoint();
        if (!image.rect().contains(p))
            continue;
        const QRgb pixel = image.pixel(p);
        expectedCount += near(pixel, expected) ? 1 : 0;
        forbiddenCount += near(pixel, forbidden) ? 1 : 0;
    }
    return {expectedCount, forbiddenCount};
}

void TestLiveEndToEnd::outageAndRecovery()
{
    ProjectDocument document(project());
    ContentView view(&document);
    // Not shown on a screen: on the offscreen platform the first shown window makes the
    // application active for good, and a window in the background is what this test is about
    // (alerts become desktop notifications only while Velmora is not the active application).
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(1400, 900);
    view.show();
    view.windowShown();
    view.splash()->finish();
    QTRY_VERIFY_WITH_TIMEOUT(view.viewState()->isContentReady(), 2000);
    QVERIFY2(QGuiApplication::applicationState() != Qt::ApplicationActive,
             "the application must be in the background for desktop notifications");

    PingManager* pings = view.pingManager();
    AlertCenter* alerts = view.liveMonitoring()->alertCenter();
    ProjectSession* session = view.session();
    const QList<CablePoint> cablePoints = session->cables().first().points;
    const auto status = [pings](qint64 id) {
        return pings->nodeStatuses().value(id, PingStatus::unknown);
    };
    const QColor online = QColor::fromRgbF(0.29f, 0.87f, 0.5f);
    const QColor offline = QColor::fromRgbF(0.95f, 0.3f, 0.3f);

    // What happened when: the first publication with the node offline, each alert as it is
    // appended (with the selection at that moment), and the first selection change.
    QElapsedTimer clock;
    clock.start();
    qint64 offlinePublishedAt = -1;
    qint64 offlineAlertAt = -1;
    qint64 selectedAt = -1;
    QSet<qint64> selectionAtAlert = {-1};
    connect(pings, &PingManager::published, this, [&] {
        if (offlinePublishedAt < 0 && status(downNodeId) == PingStatus::offline)
            offlinePublishedAt = clock.elapsed();
    });
    connect(alerts, &AlertCenter::alertsChanged, this, [&] {
        if (offlineAlertAt < 0 && !alerts->alerts().isEmpty()) {
            offlineAlertAt = clock.elapsed();
            selectionAtAlert = session->selectedNodes();
        }
    });
    connect(session, &ProjectSession::selectionChanged, this, [&] {
        if (selectedAt < 0 && !session->selectedNodes().isEmpty())
            selectedAt = clock.elapsed();
    });
    QSignalSpy monitoringErrors(pings, &PingManager::monitoringError);

    // The fastest interval preset, then live mode.
    pings->setPingInterval(1.0);
    view.switchMode(AppMode::live);
    QVERIFY(pings->isMonitoring());
    QCOMPARE(pings->pingInterval(), 1.0);
    QTRY_VERIFY2_WITH_TIMEOUT(
        status(downNodeId) == PingStatus::online && status(neighbourId) == PingStatus::online,
        monitoringErrors.isEmpty() ? "both hosts answer within 10 s"
                                   : qPrintable(monitoringErrors.first().first().toString()),
        10000);
    // Rendering the live cable while both ends answer draws it in the online colour (and
    // remembers that it has been online, which later lets it be drawn offline).
    QTRY_VERIFY_WITH_TIMEOUT(cableSamples(view, online, offline).first >= minimumMatches, 3000);
    QCOMPARE(cableSamples(view, online, offline).second, 0);
    QCOMPARE(pings->cableStatus(cableId, cablePoints), PingStatus::online);
    QVERIFY(alerts->alerts().isEmpty()); // starting to monitor raises nothing
    QVERIFY(m_fake->calls.isEmpty());
    QVERIFY(session->selectedNodes().isEmpty());

    // The host goes down: sends to it now fail at once.
    QVERIFY(ip({u"addr"_s, u"del"_s, downAddress + u"/32"_s, u"dev"_s, u"lo"_s}));
    // Next request after at most 1 s, published within 0.5 s.
    QTRY_COMPARE_WITH_TIMEOUT(status(downNodeId), PingStatus::offline, 5000);
    QCOMPARE(status(neighbourId), PingStatus::online);
    QCOMPARE(pings->cableStatus(cableId, cablePoints), PingStatus::offline);
    const auto [redSamples, greenSamples] = cableSamples(view, offline, online);
    QVERIFY2(redSamples >= minimumMatches, "the cable is drawn in the offline colour");
    QCOMPARE(greenSamples, 0);

    // Confirmed after 2 s: one offline alert, in the history and as a desktop notification.
    QTRY_VERIFY_WITH_TIMEOUT(!alerts->alerts().isEmpty(), 5000);
    QCOMPARE(alerts->alerts().size(), 1);
    const NetworkAlert down = alerts->alerts().first();
    QCOMPARE(down.type, AlertType::offline);
    QCOMPARE(down.nodeIds, QList<qint64>{downNodeId});
    QCOMPARE(down.nodeNames, QStringList{downName});
    QVERIFY(down.isVisible);
    QVERIFY(offlinePublishedAt >= 0);
    QVERIFY2(offlineAlertAt - offlinePublishedAt >= 1900,
             qPrintable(u"alert %1 ms after the offline status; the change must hold for 2 s"_s.arg(
                 offlineAlertAt - offlinePublishedAt)));
    QTRY_COMPARE_WITH_TIMEOUT(m_fake->calls.size(), 1, 3000);
    QCOMPARE(m_fake->calls.at(0).summary, downName + u" Offline"_s);
    QCOMPARE(m_fake->calls.at(0).body, downAddress);
    QCOMPARE(m_fake->calls.at(0).hints.value(u"category"_s).toString(), u"NETWORK_ALERT"_s);
    QVERIFY(m_fake->calls.at(0).hints.contains(u"sound-name"_s)); // offline alerts sound

    // Auto-zoom: 0.3 s after the alert the outage node becomes the only selection.
    QCOMPARE(selectionAtAlert, QSet<qint64>{});
    QVERIFY(alerts->isAutoZooming());
    QTRY_COMPARE_WITH_TIMEOUT(session->selectedNodes(), QSet<qint64>{downNodeId}, 2000);
    QVERIFY2(selectedAt - offlineAlertAt >= 250,
             qPrintable(u"selected %1 ms after the alert; the zoom waits 0.3 s"_s.arg(
                 selectedAt - offlineAlertAt)));
    QVERIFY(session->selectedCableIds().isEmpty());

    // The host comes back: an online alert and a second notification, without sound.
    QVERIFY(ip({u"addr"_s, u"add"_s, downAddress + u"/32"_s, u"dev"_s, u"lo"_s}));
    QTRY_COMPARE_WITH_TIMEOUT(status(downNodeId), PingStatus::online, 5000);
    QCOMPARE(pings->cableStatus(cableId, cablePoints), PingStatus::online);
    QTRY_COMPARE_WITH_TIMEOUT(alerts->alerts().size(), 2, 5000);
    const NetworkAlert up = alerts->alerts().at(1);
    QCOMPARE(up.type, AlertType::online);
    QCOMPARE(up.nodeIds, QList<qint64>{downNodeId});
    QTRY_COMPARE_WITH_TIMEOUT(m_fake->calls.size(), 2, 3000);
    QCOMPARE(m_fake->calls.at(1).summary, downName + u" Online"_s);
    QCOMPARE(m_fake->calls.at(1).body, downAddress);
    QVERIFY(!m_fake->calls.at(1).hints.contains(u"sound-name"_s));
    QTRY_VERIFY_WITH_TIMEOUT(cableSamples(view, online, offline).first >= minimumMatches, 3000);
    QCOMPARE(cableSamples(view, online, offline).second, 0);
    QVERIFY(monitoringErrors.isEmpty());

    view.switchMode(AppMode::edit);
    QVERIFY(!pings->isMonitoring());
}

void TestLiveEndToEnd::activeApplicationShowsBannerOnly()
{
    // Whatever the previous test left, the host answers again.
    QVERIFY(ip({u"addr"_s, u"replace"_s, downAddress + u"/32"_s, u"dev"_s, u"lo"_s}));
    ProjectDocument document(project());
    ContentView view(&document);
    view.resize(1400, 900);
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    view.windowShown();
    view.splash()->finish();
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::applicationState(), Qt::ApplicationActive, 2000);

    PingManager* pings = view.pingManager();
    AlertCenter* alerts = view.liveMonitoring()->alertCenter();
    const auto status = [pings](qint64 id) {
        return pings->nodeStatuses().value(id, PingStatus::unknown);
    };
    QSignalSpy notificationRequests(alerts, &AlertCenter::systemNotificationRequested);
    const qsizetype notifiedBefore = m_fake->calls.size();
    pings->setPingInterval(1.0);
    view.switchMode(AppMode::live);
    QTRY_COMPARE_WITH_TIMEOUT(status(downNodeId), PingStatus::online, 10000);

    QVERIFY(ip({u"addr"_s, u"del"_s, downAddress + u"/32"_s, u"dev"_s, u"lo"_s}));
    QTRY_VERIFY_WITH_TIMEOUT(!alerts->alerts().isEmpty(), 10000);
    QCOMPARE(alerts->alerts().size(), 1);
    QCOMPARE(alerts->alerts().first().type, AlertType::offline);
    QVERIFY(alerts->alerts().first().isVisible); // the in-window banner
    QCOMPARE(notificationRequests.size(), 0);
    // The outage zoom follows 0.3 s later; a notification sent with the alert would have
    // reached the server by then.
    QTRY_COMPARE_WITH_TIMEOUT(view.session()->selectedNodes(), QSet<qint64>{downNodeId}, 2000);
    QCOMPARE(m_fake->calls.size(), notifiedBefore);

    QVERIFY(ip({u"addr"_s, u"add"_s, downAddress + u"/32"_s, u"dev"_s, u"lo"_s}));
    view.switchMode(AppMode::edit);
}

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet(namespaceMarker)) {
        if (const std::optional<int> code = runInOwnNamespace(argc, argv, skipReason))
            return *code;
    } else {
        // The outer process waits for us; should it be killed outright, do not outlive it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    }
    PrivateBus bus;
    if (skipReason.empty()) {
        const char* dir = std::getenv(folderMarker);
        busError = dir && *dir ? bus.start(dir) : "no temporary folder for the private bus";
        busAddress = bus.address();
    }
    QApplication app(argc, argv);
    TestLiveEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_live_e2e.moc"
