// SPDX-License-Identifier: GPL-3.0-or-later
// Windows and documents together: what opens at launch, open/save/close/quit with the
// unsaved-changes prompts, the modified state, the recent list, the Edit menu's routing to
// the active window and to focused text fields, the View and Help menus, map export, and live
// windows kept monitoring in the background with their tray icon.

#include "support/fake_dialogs.h"
#include "support/files.h"
#include "support/pixels.h"

#include "app/content_view.h"
#include "app/document_controller.h"
#include "app/live_tray.h"
#include "app/main_window.h"
#include "app/velmora_document.h"
#include "app/view_help_menus.h"
#include "canvas/canvas_interaction.h"
#include "canvas/canvas_renderer.h"
#include "canvas/view_state.h"
#include "model/project_codec.h"
#include "model/project_session.h"
#include "monitor/desktop_notifier.h"
#include "monitor/ping_manager.h"
#include "panes/live_monitoring.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace velmora;
using velmora::test::readFile;

Q_DECLARE_METATYPE(velmora::ViewSettings)
Q_DECLARE_METATYPE(velmora::LiveCounts)
Q_DECLARE_METATYPE(velmora::PingStatus)
Q_DECLARE_METATYPE(velmora::AppMode)

namespace {

ProjectData projectWithNodes(int count, const QString& name = u"Net"_s)
{
    ProjectData p{.projectName = name, .nextNodeId = count + 1};
    for (int i = 1; i <= count; ++i)
        p.nodes.append(NodeData{.id = i, .name = u"Node %1"_s.arg(i), .x = i * 200.0});
    return p;
}

// An edit as every editing operation makes it: snapshot first, then the change.
void renameProject(MainWindow* window, const QString& name)
{
    window->session()->pushUndoSnapshot();
    window->document()->modify([&](ProjectData& p) { p.projectName = name; });
}

QAction* action(MainWindow* window, const char* name)
{
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

QString projectNameIn(const QString& path)
{
    return VelmoraDocument::readFile(path)->projectName;
}

} // namespace

class TestDocumentController final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The offscreen platform cannot raise windows and says so every time; no fault.
        static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
        qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.contains(u"does not support raise()"_s))
                    previous(type, context, message);
            });
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->path());
        m_controller = std::make_unique<DocumentController>(path(u"settings.ini"_s));
        auto dialogs = std::make_unique<FakeDialogs>();
        m_dialogs = dialogs.get();
        m_controller->setDialogs(std::move(dialogs));
        m_diagnostics.clear();
        m_controller->setDiagnosticSink([this](const QString& line) { m_diagnostics << line; });
    }

    void cleanup()
    {
        m_controller.reset();
        m_dir.reset();
    }

    void launch_data()
    {
        QTest::addColumn<QStringList>("recent"); // oldest first; "gone" names a deleted file
        QTest::addColumn<QStringList>("files");  // on the command line
        QTest::addColumn<QStringList>("open");   // file names of the windows; "" for untitled
        QTest::addColumn<bool>("reported");      // the recent document's failure on stdout
        QTest::addColumn<AppMode>("mode");       // asked for at launch
        QTest::newRow("no recent document")
            << QStringList{} << QStringList{} << QStringList{u""_s} << false << AppMode::edit;
        QTest::newRow("the most recent document opens")
            << QStringList{u"old"_s, u"new"_s} << QStringList{} << QStringList{u"new.velmora"_s}
            << false << AppMode::edit;
        QTest::newRow("the most recent document is gone")
            << QStringList{u"gone"_s} << QStringList{} << QStringList{u""_s} << true
            << AppMode::edit;
        QTest::newRow("files given")
            << QStringList{u"old"_s} << QStringList{u"a"_s, u"b"_s}
            << QStringList{u"a.velmora"_s, u"b.velmora"_s} << false << AppMode::edit;
        QTest::newRow("files given, live")
            << QStringList{} << QStringList{u"a"_s, u"b"_s}
            << QStringList{u"a.velmora"_s, u"b.velmora"_s} << false << AppMode::live;
        QTest::newRow("the most recent document opens, live")
            << QStringList{u"new"_s} << QStringList{} << QStringList{u"new.velmora"_s} << false
            << AppMode::live;
    }
    // An untitled window that exists before the launch step is replaced when there is a recent
    // document; nothing opens before the launch delay; opening is not a change; no dialog
    // appears at launch.
    void launch()
    {
        QFETCH(QStringList, recent);
        QFETCH(QStringList, files);
        QFETCH(QStringList, open);
        QFETCH(bool, reported);
        QFETCH(AppMode, mode);
        for (const QString& name : recent + files) {
            QVERIFY(writeProject(name + u".velmora"_s, projectWithNodes(1)));
            if (recent.contains(name))
                m_controller->noteRecentFile(path(name + u".velmora"_s));
        }
        QFile::remove(path(u"gone.velmora"_s));
        QPointer<MainWindow> early =
            files.isEmpty() && !recent.isEmpty() ? m_controller->newDocument() : nullptr;
        QSignalSpy finished(m_controller.get(), &DocumentController::launchFinished);
        QStringList arguments;
        for (const QString& name : files)
            arguments.append(path(name + u".velmora"_s));
        m_controller->launch(arguments, mode);
        QVERIFY(!early || early->isVisible());
        QVERIFY(!finished.isEmpty() || finished.wait(2000));
        QTest::qWait(DocumentController::launchDelayMs * 2);
        QStringList names;
        for (MainWindow* w : m_controller->windows()) {
            names.append(QFileInfo(w->document()->filePath()).fileName());
            QVERIFY(!w->document()->isModified());
            QCOMPARE(w->contentView()->viewState()->appMode(), mode);
            QCOMPARE(w->contentView()->pingManager()->isMonitoring(), mode == AppMode::live);
        }
        names.sort();
        QCOMPARE(names, open);
        QVERIFY(!early || !early->isVisible());
        // Live mode asks the desktop for notifications; whether a server answers on this bus
        // is not the launch's concern.
        const QStringList launchLines =
            m_diagnostics.filter(QRegularExpression(u"^(?!Notification)"_s));
        QCOMPARE(launchLines, reported ? QStringList{u"Failed to open recent document: "_s +
                                                     path(u"gone.velmora"_s) + u": no such file"_s}
                                       : QStringList{});
        QVERIFY(m_dialogs->errorMessages.isEmpty());
        // Live mode's notification failures are lines of the same kind.
        MainWindow* any = m_controller->windows().first();
        emit any->contentView()->liveMonitoring()->notifier()->diagnostic(
            u"Notification error: x"_s);
        QCOMPARE(m_diagnostics.last(), u"Notification error: x"_s);
    }

    void unreadableFileOpensNoWindow_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message"); // part of the message
        QTest::newRow("missing") << u"missing"_s << u"no such file"_s;
        QTest::newRow("directory") << u"directory"_s << u"directory"_s;
        QTest::newRow("empty") << u"empty"_s << u"empty"_s;
        QTest::newRow("fifo") << u"fifo"_s << u"not a regular file"_s;
        QTest::newRow("no nextNodeId") << u"undecodable"_s << u"nextNodeId"_s;
    }
    // The dialog says why (the decoder's own message for a broken project); no window opens.
    void unreadableFileOpensNoWindow()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        const QString file = path(u"p.velmora"_s);
        QByteArray json = *encodeProject(projectWithNodes(1));
        json.replace("\"nextNodeId\"", "\"somethingElse\"");
        if (kind == u"directory"_s)
            QVERIFY(QDir(m_dir->path()).mkdir(u"p.velmora"_s));
        else if (kind == u"empty"_s)
            QVERIFY(test::writeFile(file, {}));
        else if (kind == u"fifo"_s) // a pipe with no writer would block a naive read forever
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        else if (kind == u"undecodable"_s)
            QVERIFY(test::writeFile(file, json));
        QCOMPARE(m_controller->openFile(file), nullptr);
        QVERIFY(m_controller->windows().isEmpty());
        QCOMPARE(m_dialogs->errorMessages.size(), 1);
        QVERIFY2(m_dialogs->errorMessages[0].contains(message),
                 qPrintable(m_dialogs->errorMessages[0]));
        if (kind == u"undecodable"_s)
            QCOMPARE(m_dialogs->errorMessages[0], decodeProject(json).error().message);
        QVERIFY(m_controller->recentFiles().isEmpty());
    }

    void openingAnOpenFileRaisesItsWindow()
    {
        QVERIFY(writeProject(u"a.velmora"_s, projectWithNodes(2)));
        MainWindow* first = m_controller->openFile(path(u"a.velmora"_s));
        QVERIFY(first);
        renameProject(first, u"Edited"_s);
        // Another spelling of the same file finds the same window and keeps its edits.
        QCOMPARE(m_controller->openFile(m_dir->path() + u"/./a.velmora"_s), first);
        QCOMPARE(m_controller->windows().size(), 1);
        QCOMPARE(first->document()->projectData().projectName, u"Edited"_s);
    }

    void recentListAndMenu()
    {
        for (const QString& name : {u"a.velmora"_s, u"b.velmora"_s, u"c.velmora"_s})
            QVERIFY(writeProject(name, projectWithNodes(1)));
        MainWindow* a = m_controller->openFile(path(u"a.velmora"_s));
        m_controller->openFile(path(u"b.velmora"_s));
        m_controller->openFile(path(u"c.velmora"_s));
        a->close();
        QTRY_COMPARE(m_controller->windows().size(), 2);
        m_controller->openFile(path(u"a.velmora"_s));
        const QStringList expected{path(u"a.velmora"_s), path(u"c.velmora"_s),
                                   path(u"b.velmora"_s)};
        QCOMPARE(m_controller->recentFiles(), expected);
        // The list survives the controller (it lives in the settings).
        QCOMPARE(DocumentController(path(u"settings.ini"_s)).recentFiles(), expected);

        // The menu lists them in that order, then "Clear Menu"; an entry whose file has gone
        // shows why and opens nothing. (Open… with the dialog cancelled opens nothing either.)
        MainWindow* window = m_controller->windowForFile(path(u"a.velmora"_s));
        action(window, "actionOpen")->trigger();
        QCOMPARE(m_controller->windows().size(), 3);
        auto* menu = window->findChild<QMenu*>(u"menuOpenRecent"_s);
        emit menu->aboutToShow();
        QStringList listed;
        for (QAction* item : menu->actions())
            if (!item->data().toString().isEmpty())
                listed.append(item->data().toString());
        QCOMPARE(listed, expected);
        m_controller->windowForFile(path(u"b.velmora"_s))->close();
        QVERIFY(QFile::remove(path(u"b.velmora"_s)));
        menu->actions().at(2)->trigger();
        QCOMPARE(m_dialogs->errorMessages, QStringList{u"no such file"_s});
        QTRY_COMPARE(m_controller->windows().size(), 2);
        m_dialogs->openPaths = {path(u"c.velmora"_s)}; // open already: raised, not opened again
        action(window, "actionOpen")->trigger();
        QCOMPARE(m_controller->windows().size(), 2);

        menu->actions().last()->trigger();
        QVERIFY(m_controller->recentFiles().isEmpty());
        QVERIFY(!menu->actions().last()->isEnabled());
    }

    void titleShowsNameAndModifiedMarker()
    {
        MainWindow* untitled = m_controller->newDocument();
        QCOMPARE(untitled->windowTitle(), u"Untitled[*] — Velmora"_s);
        QVERIFY(writeProject(u"site.velmora"_s, projectWithNodes(1)));
        MainWindow* window = m_controller->openFile(path(u"site.velmora"_s));
        QCOMPARE(window->windowTitle(), u"site.velmora[*] — Velmora"_s);
        QVERIFY(!window->isWindowModified());
        renameProject(window, u"Renamed"_s);
        QVERIFY(window->isWindowModified());
        window->session()->undo();
        QVERIFY(!window->isWindowModified());

        m_dialogs->savePaths = {path(u"other.velmora"_s)};
        renameProject(untitled, u"X"_s);
        QVERIFY(m_controller->save(untitled));
        QCOMPARE(untitled->windowTitle(), u"other.velmora[*] — Velmora"_s);
        QVERIFY(!untitled->isWindowModified());

        // Two open files of one name show their folders, in the titles and in Open Recent.
        QVERIFY(QDir(path(QString())).mkdir(u"sub"_s));
        QVERIFY(writeProject(u"sub/site.velmora"_s, projectWithNodes(1)));
        MainWindow* twin = m_controller->openFile(path(u"sub/site.velmora"_s));
        const QString folder = QDir(path(QString())).dirName();
        QCOMPARE(twin->windowTitle(), u"site.velmora — sub[*] — Velmora"_s);
        QCOMPARE(window->windowTitle(), u"site.velmora — %1[*] — Velmora"_s.arg(folder));
        auto* menu = twin->findChild<QMenu*>(u"menuOpenRecent"_s);
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().at(0)->text(), u"site.velmora — sub"_s);
        QCOMPARE(menu->actions().at(1)->text(), u"other.velmora"_s);
        QCOMPARE(menu->actions().at(2)->text(), u"site.velmora — %1"_s.arg(folder));
        twin->close();
        QTRY_COMPARE(window->windowTitle(), u"site.velmora[*] — Velmora"_s);

        // A "[*]" in the file name is shown as it is, not taken for the modified marker.
        QVERIFY(writeProject(u"a[*]b.velmora"_s, projectWithNodes(1)));
        MainWindow* odd = m_controller->openFile(path(u"a[*]b.velmora"_s));
        renameProject(odd, u"Y"_s);
        QCOMPARE(odd->windowHandle()->title(), u"a[*]b.velmora* — Velmora"_s);
    }

    void windowSizes()
    {
        MainWindow* window = m_controller->newDocument();
        QCOMPARE(window->minimumSize(), QSize(1000, 600));
        QCOMPARE(window->size(), QSize(1280, 800));
        // After the delay the window, frame and all, fills the screen's available area.
        const QSize frame = window->frameGeometry().size() - window->size();
        QTRY_COMPARE(
            window->frameGeometry().size(),
            window->screen()->availableGeometry().size().expandedTo(QSize(1000, 600) + frame));
    }

    void untitledSaveAsksForPath()
    {
        MainWindow* window = m_controller->newDocument();
        renameProject(window, u"Fresh"_s);
        // Cancelling the file dialog saves nothing and keeps the window open.
        m_dialogs->saveChoices = {SaveChoice::save};
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());

        const QString target = path(u"fresh.velmora"_s);
        m_dialogs->saveChoices = {SaveChoice::save};
        m_dialogs->savePaths = {target};
        QVERIFY(window->close());
        QCOMPARE(projectNameIn(target), u"Fresh"_s);
        QCOMPARE(m_controller->recentFiles().value(0), target);

        // Saving another window over a file that is open elsewhere is refused.
        MainWindow* open = m_controller->openFile(target);
        MainWindow* other = m_controller->newDocument();
        renameProject(other, u"Intruder"_s);
        m_dialogs->savePaths = {target};
        QVERIFY(!m_controller->saveAs(other));
        QCOMPARE(m_dialogs->errorMessages.size(), 1);
        QCOMPARE(projectNameIn(target), u"Fresh"_s);
        QVERIFY(!open->document()->isModified());

        // A project still named "Untitled" takes the file's base name; a named one keeps it.
        MainWindow* plain = m_controller->newDocument();
        const QString site = path(u"p1.site.velmora"_s);
        m_dialogs->savePaths = {site};
        QVERIFY(m_controller->saveAs(plain));
        QCOMPARE(projectNameIn(site), u"p1.site"_s);
        QCOMPARE(plain->document()->projectData().projectName, u"p1.site"_s);
        QVERIFY(!plain->document()->isModified());
    }

    // A save that fails (here: a number the file format cannot hold) leaves the file on disk as
    // it was, keeps the document modified and its window open, and says why.
    void failedSaveShowsErrorAndKeepsFile()
    {
        const QString file = path(u"p.velmora"_s);
        QVERIFY(writeProject(u"p.velmora"_s, projectWithNodes(1)));
        const QByteArray before = readFile(file);
        MainWindow* window = m_controller->openFile(file);
        window->session()->pushUndoSnapshot();
        window->document()->modify(
            [](ProjectData& p) { p.nodes[0].y = std::numeric_limits<double>::infinity(); });
        QVERIFY(!m_controller->save(window));
        QCOMPARE(m_dialogs->errorMessages.size(), 1);
        QVERIFY(!m_dialogs->errorMessages.first().isEmpty());
        QVERIFY(window->document()->isModified());
        QCOMPARE(window->document()->filePath(), file);

        m_dialogs->saveChoices = {SaveChoice::save};
        QVERIFY(!window->close());
        QCOMPARE(m_controller->windows().size(), 1);
        QCOMPARE(readFile(file), before);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
                 (QStringList{u"p.velmora"_s, u"settings.ini"_s})); // no temporary file left
    }

    void quitAsksForEveryModifiedWindow_data()
    {
        QTest::addColumn<QList<SaveChoice>>("choices");
        QTest::addColumn<bool>("quits");
        QTest::addColumn<int>("questions");
        QTest::newRow("discard both")
            << QList{SaveChoice::discard, SaveChoice::discard} << true << 2;
        QTest::newRow("cancel first") << QList{SaveChoice::cancel} << false << 1;
        QTest::newRow("cancel second")
            << QList{SaveChoice::discard, SaveChoice::cancel} << false << 2;
        QTest::newRow("save both") << QList{SaveChoice::save, SaveChoice::save} << true << 2;
    }
    void quitAsksForEveryModifiedWindow()
    {
        QFETCH(QList<SaveChoice>, choices);
        QFETCH(bool, quits);
        QFETCH(int, questions);
        QVERIFY(writeProject(u"a.velmora"_s, projectWithNodes(1)));
        QVERIFY(writeProject(u"b.velmora"_s, projectWithNodes(1)));
        MainWindow* a = m_controller->openFile(path(u"a.velmora"_s));
        MainWindow* b = m_controller->openFile(path(u"b.velmora"_s));
        m_controller->newDocument(); // unmodified: never asked about
        renameProject(a, u"A2"_s);
        renameProject(b, u"B2"_s);

        m_dialogs->saveChoices = choices;
        QCOMPARE(m_controller->quit(), quits);
        QCOMPARE(m_dialogs->askedToSave.size(), questions);
        QCOMPARE(m_controller->windows().size(), quits ? 0 : 3);
        const bool saved = choices.count(SaveChoice::save) == 2;
        QCOMPARE(projectNameIn(path(u"a.velmora"_s)), saved ? u"A2"_s : u"Net"_s);
        QCOMPARE(projectNameIn(path(u"b.velmora"_s)), saved ? u"B2"_s : u"Net"_s);
    }

    void modifiedByMapLookNotByZoomOrPan_data()
    {
        QTest::addColumn<ViewSettings>("changed");
        QTest::addColumn<bool>("modified");
        QTest::newRow("zoom") << ViewSettings{.zoom = 2.5} << false;
        QTest::newRow("pan") << ViewSettings{.panX = -300, .panY = 12} << false;
        QTest::newRow("map opacity") << ViewSettings{.mapOpacity = 0.3} << true;
        QTest::newRow("map saturation") << ViewSettings{.mapSaturation = 0} << true;
    }
    // Zoom and pan follow the user around and ask for no save; the map's opacity and
    // saturation are settings the user chose, so closing without saving them must prompt. A
    // save writes the view settings all the same.
    void modifiedByMapLookNotByZoomOrPan()
    {
        QFETCH(ViewSettings, changed);
        QFETCH(bool, modified);
        VelmoraDocument doc;
        QSignalSpy spy(&doc, &VelmoraDocument::modifiedChanged);
        doc.modify([&](ProjectData& p) { p.viewSettings = changed; });
        QCOMPARE(doc.isModified(), modified);
        QCOMPARE(spy.count(), modified ? 1 : 0);
        QVERIFY(doc.saveAs(path(u"v.velmora"_s)));
        QVERIFY(!doc.isModified());
        QCOMPARE(VelmoraDocument::readFile(doc.filePath())->viewSettings, changed);
    }

    void modifiedFollowsContent()
    {
        VelmoraDocument doc;
        doc.modify([](ProjectData& p) { p.nodes.append(NodeData{.id = 1}); });
        QVERIFY(doc.isModified());
        doc.modify([](ProjectData& p) { p.nodes.clear(); }); // back to the saved content
        QVERIFY(!doc.isModified());
        // A different map image with the same size is a change.
        doc.modify([](ProjectData& p) { p.map = MapData{QByteArray("abc"), 100, 50, 1}; });
        QVERIFY(doc.saveAs(path(u"m.velmora"_s)));
        doc.modify([](ProjectData& p) { p.map->imageData = QByteArray("abd"); });
        QVERIFY(doc.isModified());
        doc.modify([](ProjectData& p) { p.map->imageData = QByteArray("abc"); });
        QVERIFY(!doc.isModified());
    }

    // The Edit menu and its keys act on their own window only.
    void editCommandsActOnTheirWindowOnly()
    {
        MainWindow* a = m_controller->newDocument();
        MainWindow* b = m_controller->newDocument();
        a->document()->setProjectData(projectWithNodes(3));
        b->document()->setProjectData(projectWithNodes(2));
        renameProject(a, u"A1"_s);
        renameProject(b, u"B1"_s);

        action(a, "actionUndo")->trigger();
        QCOMPARE(a->document()->projectData().projectName, u"Net"_s);
        QCOMPARE(b->document()->projectData().projectName, u"B1"_s);
        action(a, "actionRedo")->trigger();
        QCOMPARE(a->document()->projectData().projectName, u"A1"_s);
        b->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(b));
        QTest::keyClick(b, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(b->document()->projectData().projectName, u"Net"_s);
        QCOMPARE(a->document()->projectData().projectName, u"A1"_s);

        a->contentView()->setFocus();
        action(a, "actionSelectAll")->trigger();
        QCOMPARE(a->session()->selectedNodes(), (QSet<qint64>{1, 2, 3}));
        QVERIFY(b->session()->selectedNodes().isEmpty());
        a->session()->setSelectedNodes({2});
        action(a, "actionCopy")->trigger();
        action(a, "actionPaste")->trigger();
        QCOMPARE(a->document()->projectData().nodes.last().name, u"Node 2 (copy)"_s);
        QVERIFY(b->session()->clipboard().isEmpty());
        QCOMPARE(b->document()->projectData().nodes.size(), 2);

        // With a text field focused, copy, paste and select all are the field's.
        auto* edit = new QLineEdit(u"Core Router"_s, b->contentView());
        edit->show();
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->setSelection(0, 4);
        QGuiApplication::clipboard()->clear();
        action(b, "actionCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Core"_s);
        edit->setSelection(5, 6);
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Router"_s);
        QVERIFY(b->session()->clipboard().isEmpty());
        edit->setCursorPosition(0);
        action(b, "actionPaste")->trigger();
        QCOMPARE(edit->text(), u"RouterCore Router"_s);
        QCOMPARE(b->document()->projectData().nodes.size(), 2);
        action(b, "actionSelectAll")->trigger();
        QCOMPARE(edit->selectedText(), edit->text());
    }

    // The menu bar a Linux user expects; the Edit menu keeps exactly its five commands.
    void menuBarLayout()
    {
        MainWindow* window = m_controller->newDocument();
        QStringList menus;
        QStringList edit;
        for (const QAction* menu : window->menuBar()->actions()) {
            menus.append(menu->text());
            if (menu->text() == u"&Edit"_s) {
                for (const QAction* item : menu->menu()->actions())
                    edit.append(item->text());
            }
        }
        QCOMPARE(menus, (QStringList{u"&File"_s, u"&Edit"_s, u"&View"_s, u"&Help"_s}));
        QCOMPARE(edit, (QStringList{
                           u"Undo"_s, u"Redo"_s, {}, u"Copy"_s, u"Paste"_s, {}, u"Select All"_s}));
        // Every key of the window is listed once; About names the version, licence and tracker.
        const QStringList keys = shortcutLines(window);
        for (const QString& line : {u"Export Map…: Ctrl+E"_s, u"Live Mode: Ctrl+2"_s,
                                    u"Fit to Screen: Ctrl+0"_s, u"Search Nodes…: Ctrl+F"_s})
            QVERIFY2(keys.count(line) == 1, qPrintable(keys.join(u'\n')));
        QCoreApplication::setApplicationVersion(u"9.8.7"_s);
        const QString about = aboutText();
        QVERIFY(about.contains(u"9.8.7"_s) && about.contains(u"General Public License"_s) &&
                about.contains(u"/issues"_s));
        action(window, "actionKeyboardShortcuts")->trigger();
        QTRY_VERIFY(window->findChild<QMessageBox*>(u"keyboardShortcuts"_s));
    }

    // Each View menu item is in the menu, runs from its key and does what its button does.
    void viewMenu_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QKeySequence>("key");
        QTest::newRow("live mode") << u"actionLiveMode"_s << QKeySequence(u"Ctrl+2"_s);
        QTest::newRow("edit mode") << u"actionEditMode"_s << QKeySequence(u"Ctrl+1"_s);
        QTest::newRow("zoom in") << u"actionZoomIn"_s << QKeySequence(u"Ctrl+="_s);
        QTest::newRow("zoom out") << u"actionZoomOut"_s << QKeySequence(u"Ctrl+-"_s);
        QTest::newRow("fit") << u"actionFitToScreen"_s << QKeySequence(u"Ctrl+0"_s);
        QTest::newRow("search") << u"actionFind"_s << QKeySequence(u"Ctrl+F"_s);
    }
    void viewMenu()
    {
        QFETCH(QString, item);
        QFETCH(QKeySequence, key);
        MainWindow* window = m_controller->newDocument();
        window->document()->setProjectData(projectWithNodes(3));
        QVERIFY(QTest::qWaitForWindowActive(window));
        ContentView* view = window->contentView();
        ViewState* state = view->viewState();
        auto* menu = window->findChild<QMenu*>(u"menuView"_s);
        QAction* command = window->findChild<QAction*>(item);
        QVERIFY(menu->actions().contains(command));
        // Start live for "edit mode", off-centre for "fit", so each key has something to do.
        if (item == u"actionEditMode"_s)
            view->switchMode(AppMode::live);
        state->setView(1.0, QPointF(-900, -900));
        const double zoom = state->zoom();
        view->setFocus();
        QTest::keySequence(window, key);
        if (item == u"actionLiveMode"_s || item == u"actionEditMode"_s) {
            const AppMode wanted = item == u"actionLiveMode"_s ? AppMode::live : AppMode::edit;
            QCOMPARE(state->appMode(), wanted);
            QVERIFY(command->isChecked());
            // The pair follows the mode however it is switched.
            view->switchMode(wanted == AppMode::live ? AppMode::edit : AppMode::live);
            QVERIFY(!command->isChecked());
        } else if (item == u"actionFind"_s) {
            QVERIFY(view->interaction()->showSearchBar());
        } else if (item == u"actionFitToScreen"_s) {
            QTRY_VERIFY(state->transform().pan != QPointF(-900, -900));
        } else {
            QTRY_VERIFY((state->zoom() > zoom) == (item == u"actionZoomIn"_s) &&
                        state->zoom() != zoom);
        }
    }

    // File › Export Map… frames the whole content with the margin, without the selection's
    // darkening; a file that cannot be written is reported.
    void exportMap()
    {
        MainWindow* window = m_controller->newDocument();
        ProjectData project = projectWithNodes(2);
        project.nodes[0].x = 0;
        project.nodes[1].x = 1000;
        project.nodes[1].y = 500;
        window->document()->setProjectData(project);
        window->session()->setSelectedNodes({1});
        m_dialogs->exportPaths = {path(u"map.png"_s), path(u"missing/map.pdf"_s)};
        action(window, "actionExportMap")->trigger();
        const QImage image(path(u"map.png"_s));
        // Nodes are 180 x 80 with 24 units of glow room around, and 40 units of margin.
        QCOMPARE(image.size(), QSize(1000 + 180 + 2 * 24 + 2 * 40, 500 + 80 + 2 * 24 + 2 * 40));
        QVERIFY(test::colorsNear(image.pixelColor(2, 2), QColor(10, 10, 10), 1)); // not darkened
        for (const QPoint corner : {QPoint(64, 64), QPoint(1064, 564)})
            QVERIFY(test::colorsNear(image.pixelColor(corner + QPoint(8, 70)),
                                     QColor::fromRgbF(0.15f, 0.15f, 0.15f), 6));
        QVERIFY(m_dialogs->errorTitles.isEmpty());
        action(window, "actionExportMap")->trigger();
        QCOMPARE(m_dialogs->errorTitles.size(), 1);
    }

    void trayLookFromCounts_data()
    {
        QTest::addColumn<LiveCounts>("counts");
        QTest::addColumn<PingStatus>("worst");
        QTest::newRow("all online") << LiveCounts{3, 0, 0, 0} << PingStatus::online;
        QTest::newRow("one slow") << LiveCounts{3, 0, 1, 0} << PingStatus::slow;
        QTest::newRow("one offline") << LiveCounts{3, 1, 1, 0} << PingStatus::offline;
        QTest::newRow("one unknown") << LiveCounts{3, 0, 0, 1} << PingStatus::unknown;
        QTest::newRow("no nodes") << LiveCounts{} << PingStatus::unknown;
    }
    void trayLookFromCounts()
    {
        QFETCH(LiveCounts, counts);
        QFETCH(PingStatus, worst);
        const TrayLook look = trayLook(counts);
        QCOMPARE(look.worst, worst);
        QCOMPARE(look.color, toColor(statusColor(worst)));
        QCOMPARE(look.toolTip,
                 u"Velmora: %1 online, %2 slow, %3 offline, %4 unknown"_s.arg(counts.online)
                     .arg(counts.slow)
                     .arg(counts.offline)
                     .arg(counts.unknown));
    }

    // Closing a live window with "Keep monitoring when the window is closed" on hides it where
    // the desktop has a tray; Quit still asks about its changes and closes it.
    void closingKeepsLiveWindowInBackground_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<AppMode>("mode");
        QTest::addColumn<bool>("kept");
        QTest::newRow("setting on, live") << true << true << AppMode::live << true;
        QTest::newRow("setting off") << false << true << AppMode::live << false;
        QTest::newRow("no tray") << true << false << AppMode::live << false;
        QTest::newRow("edit mode") << true << true << AppMode::edit << false;
    }
    void closingKeepsLiveWindowInBackground()
    {
        QFETCH(bool, setting);
        QFETCH(bool, tray);
        QFETCH(AppMode, mode);
        QFETCH(bool, kept);
        m_controller->tray()->setAvailable(tray);
        MainWindow* window = m_controller->newDocument();
        window->contentView()->switchMode(AppMode::live);
        LivePane* pane = window->contentView()->liveMonitoring()->livePane();
        QCOMPARE(pane->optionBadgeText(LiveOption::keepMonitoringWhenClosed), u"OFF"_s);
        if (setting)
            pane->optionButton(LiveOption::keepMonitoringWhenClosed)->click();
        QCOMPARE(LiveMonitoring::keepMonitoringWhenClosed(), setting);
        window->contentView()->switchMode(mode);
        QCOMPARE(m_controller->tray()->icon() && m_controller->tray()->icon()->isVisible(),
                 tray && mode == AppMode::live);
        renameProject(window, u"Changed"_s);
        m_dialogs->saveChoices = {SaveChoice::discard};
        window->close();
        QCOMPARE(m_dialogs->askedToSave.size(), kept ? 0 : 1);
        QCOMPARE(window->isInBackground(), kept);
        QCOMPARE(m_controller->windows().size(), kept ? 1 : 0);
        QCOMPARE(QGuiApplication::quitOnLastWindowClosed(), !kept);
        if (!kept)
            return;
        m_dialogs->saveChoices = {SaveChoice::discard};
        QVERIFY(m_controller->quit());
        QCOMPARE(m_dialogs->askedToSave.size(), 1);
        QTRY_VERIFY(m_controller->windows().isEmpty());
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
    }

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    bool writeProject(const QString& name, const ProjectData& project) const
    {
        return test::writeFile(path(name), *encodeProject(project));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DocumentController> m_controller;
    FakeDialogs* m_dialogs = nullptr;
    QStringList m_diagnostics;
};

QTEST_MAIN(TestDocumentController)
#include "tst_document_controller.moc"
