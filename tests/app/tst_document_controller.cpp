// SPDX-License-Identifier: GPL-3.0-or-later
// Windows and documents together: what opens at launch, open/save/close/quit with the
// unsaved-changes prompts, the recent list, and the Edit menu's routing to the active window
// and to focused text fields.

#include "support/fake_dialogs.h"

#include "app/content_view.h"
#include "app/document_controller.h"
#include "app/main_window.h"
#include "app/velmora_document.h"
#include "model/project_codec.h"
#include "model/project_session.h"
#include "monitor/desktop_notifier.h"
#include "panes/live_monitoring.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velmora;

namespace {

ProjectData projectWithNodes(int count, const QString& name = u"Net"_s)
{
    ProjectData p;
    p.projectName = name;
    for (int i = 1; i <= count; ++i) {
        p.nodes.append(NodeData{i, u"Node %1"_s.arg(i), u"Device"_s, u"127.0.0.%1"_s.arg(i),
                                i * 200.0, 100.0, 1.0});
    }
    p.nextNodeId = count + 1;
    return p;
}

bool writeProject(const QString& path, const ProjectData& project)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(*encodeProject(project)) > 0;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

} // namespace

class TestDocumentController final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void launchWithoutRecentOpensOneUntitledWindow();
    void launchOpensMostRecentDocument();
    void launchWithDeletedRecentReportsAndOpensUntitled();
    void launchWithFilesIgnoresRecentList();
    void undecodableFileOpensNoWindow();
    void openingAnOpenFileRaisesItsWindow();
    void recentListIsMostRecentFirst();
    void openAndOpenRecentMenuItems();
    void titleShowsNameAndModifiedMarker();
    void windowSizes();
    void closePrompt_data();
    void closePrompt();
    void untitledSaveAsksForPath();
    void failedSaveShowsErrorAndKeepsFile();
    void quitAsksForEveryModifiedWindow_data();
    void quitAsksForEveryModifiedWindow();
    void undoActsOnActiveWindowOnly();
    void ctrlZInLineEditUndoesProject();
    void copyAndPasteWithFocusedLineEditUseText();
    void copyPasteSelectAllWithoutTextFieldUseProject();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DocumentController> m_controller;
    FakeDialogs* m_dialogs = nullptr;
    QStringList m_diagnostics;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    void launchAndWait(const QStringList& files = {});
};

void TestDocumentController::initTestCase()
{
    // The offscreen platform cannot raise windows and says so every time; that is not a fault.
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (message.contains(u"does not support raise()"_s))
                return;
            previous(type, context, message);
        });
}

void TestDocumentController::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_controller = std::make_unique<DocumentController>(path(u"settings.ini"_s));
    auto dialogs = std::make_unique<FakeDialogs>();
    m_dialogs = dialogs.get();
    m_controller->setDialogs(std::move(dialogs));
    m_diagnostics.clear();
    m_controller->setDiagnosticSink([this](const QString& line) { m_diagnostics.append(line); });
}

void TestDocumentController::cleanup()
{
    m_controller.reset();
    m_dialogs = nullptr;
    m_dir.reset();
}

void TestDocumentController::launchAndWait(const QStringList& files)
{
    QSignalSpy finished(m_controller.get(), &DocumentController::launchFinished);
    m_controller->launch(files);
    if (finished.isEmpty())
        QVERIFY(finished.wait(2000));
}

void TestDocumentController::launchWithoutRecentOpensOneUntitledWindow()
{
    QVERIFY(m_controller->recentFiles().isEmpty());
    m_controller->launch({});
    // Nothing opens before the launch delay has passed.
    QVERIFY(m_controller->windows().isEmpty());
    QSignalSpy finished(m_controller.get(), &DocumentController::launchFinished);
    QVERIFY(finished.wait(2000));
    const QList<MainWindow*> windows = m_controller->windows();
    QCOMPARE(windows.size(), 1);
    QVERIFY(windows.first()->document()->isUntitled());
    QCOMPARE(windows.first()->document()->projectData(), ProjectData{});
    QVERIFY(m_diagnostics.isEmpty());
}

void TestDocumentController::launchOpensMostRecentDocument()
{
    QVERIFY(writeProject(path(u"old.velmora"_s), projectWithNodes(1, u"Old"_s)));
    QVERIFY(writeProject(path(u"new.velmora"_s), projectWithNodes(2, u"New"_s)));
    m_controller->noteRecentFile(path(u"old.velmora"_s));
    m_controller->noteRecentFile(path(u"new.velmora"_s));

    // An untitled window that exists before the launch step is replaced.
    MainWindow* early = m_controller->newDocument();
    QPointer<MainWindow> earlyGuard(early);
    launchAndWait();
    QTRY_VERIFY(earlyGuard.isNull() || !earlyGuard->isVisible());

    const QList<MainWindow*> windows = m_controller->windows();
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows.first()->document()->filePath(), path(u"new.velmora"_s));
    QCOMPARE(windows.first()->document()->projectData().projectName, u"New"_s);
    QVERIFY(m_diagnostics.isEmpty());
    // Opening is not a change: ContentView's preparation must not make the project modified.
    QTest::qWait(MainWindow::fitToScreenDelayMs * 2);
    QVERIFY(!windows.first()->document()->isModified());
}

void TestDocumentController::launchWithDeletedRecentReportsAndOpensUntitled()
{
    const QString gone = path(u"gone.velmora"_s);
    QVERIFY(writeProject(gone, projectWithNodes(1)));
    m_controller->noteRecentFile(gone);
    QVERIFY(QFile::remove(gone));

    launchAndWait();
    QCOMPARE(m_diagnostics.size(), 1);
    QVERIFY2(m_diagnostics.first().startsWith(u"Failed to open recent document: "_s),
             qPrintable(m_diagnostics.first()));
    QVERIFY(m_diagnostics.first().contains(u"gone.velmora"_s));
    QVERIFY(m_dialogs->errorMessages.isEmpty()); // no dialog at launch
    const QList<MainWindow*> windows = m_controller->windows();
    QCOMPARE(windows.size(), 1);
    QVERIFY(windows.first()->document()->isUntitled());
    // Live mode's notification failures are lines of the same kind.
    emit windows.first()->contentView()->liveMonitoring()->notifier()->diagnostic(
        u"Notification error: x"_s);
    QCOMPARE(m_diagnostics.last(), u"Notification error: x"_s);
}

void TestDocumentController::launchWithFilesIgnoresRecentList()
{
    QVERIFY(writeProject(path(u"recent.velmora"_s), projectWithNodes(1)));
    QVERIFY(writeProject(path(u"a.velmora"_s), projectWithNodes(2)));
    QVERIFY(writeProject(path(u"b.velmora"_s), projectWithNodes(3)));
    m_controller->noteRecentFile(path(u"recent.velmora"_s));

    launchAndWait({path(u"a.velmora"_s), path(u"b.velmora"_s)});
    QTest::qWait(DocumentController::launchDelayMs * 2);
    QStringList open;
    for (MainWindow* w : m_controller->windows())
        open.append(QFileInfo(w->document()->filePath()).fileName());
    open.sort();
    QCOMPARE(open, (QStringList{u"a.velmora"_s, u"b.velmora"_s}));
}

void TestDocumentController::undecodableFileOpensNoWindow()
{
    QByteArray json = *encodeProject(projectWithNodes(1));
    json.replace("\"nextNodeId\"", "\"somethingElse\"");
    {
        QFile f(path(u"broken.velmora"_s));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(json);
    }
    QCOMPARE(m_controller->openFile(path(u"broken.velmora"_s)), nullptr);
    QVERIFY(m_controller->windows().isEmpty());
    QCOMPARE(m_dialogs->errorMessages.size(), 1);
    // The dialog carries the decoder's own message.
    QCOMPARE(m_dialogs->errorMessages.first(), decodeProject(json).error().message);
    QVERIFY(m_dialogs->errorMessages.first().contains(u"nextNodeId"_s));
    QVERIFY(m_controller->recentFiles().isEmpty());
}

void TestDocumentController::openingAnOpenFileRaisesItsWindow()
{
    QVERIFY(writeProject(path(u"a.velmora"_s), projectWithNodes(2)));
    MainWindow* first = m_controller->openFile(path(u"a.velmora"_s));
    QVERIFY(first);
    renameProject(first, u"Edited"_s);
    // Another spelling of the same file finds the same window and keeps its edits.
    MainWindow* again = m_controller->openFile(m_dir->path() + u"/./a.velmora"_s);
    QCOMPARE(again, first);
    QCOMPARE(m_controller->windows().size(), 1);
    QCOMPARE(again->document()->projectData().projectName, u"Edited"_s);
}

void TestDocumentController::recentListIsMostRecentFirst()
{
    for (const char* name : {"a.velmora", "b.velmora", "c.velmora"})
        QVERIFY(writeProject(path(QString::fromLatin1(name)), projectWithNodes(1)));
    MainWindow* a = m_controller->openFile(path(u"a.velmora"_s));
    m_controller->openFile(path(u"b.velmora"_s));
    m_controller->openFile(path(u"c.velmora"_s));
    a->close();
    QTRY_COMPARE(m_controller->windows().size(), 2);
    m_controller->openFile(path(u"a.velmora"_s));
    const QStringList expected{path(u"a.velmora"_s), path(u"c.velmora"_s), path(u"b.velmora"_s)};
    QCOMPARE(m_controller->recentFiles(), expected);

    // The menu lists them in that order, then "Clear Menu".
    MainWindow* window = m_controller->windows().first();
    auto* menu = window->findChild<QMenu*>(u"menuOpenRecent"_s);
    QVERIFY(menu);
    emit menu->aboutToShow();
    QStringList listed;
    for (QAction* item : menu->actions()) {
        if (!item->data().toString().isEmpty())
            listed.append(item->data().toString());
    }
    QCOMPARE(listed, expected);
    QCOMPARE(menu->actions().last()->text(), u"Clear Menu"_s);

    // The list survives the controller (it lives in the settings).
    DocumentController other(path(u"settings.ini"_s));
    QCOMPARE(other.recentFiles(), expected);

    menu->actions().last()->trigger();
    QVERIFY(m_controller->recentFiles().isEmpty());
    QVERIFY(!menu->actions().last()->isEnabled());
}

void TestDocumentController::openAndOpenRecentMenuItems()
{
    QVERIFY(writeProject(path(u"a.velmora"_s), projectWithNodes(1)));
    QVERIFY(writeProject(path(u"b.velmora"_s), projectWithNodes(2)));
    MainWindow* window = m_controller->newDocument();

    action(window, "actionOpen")->trigger(); // dialog cancelled
    QCOMPARE(m_controller->windows().size(), 1);
    m_dialogs->openPaths = {path(u"a.velmora"_s)};
    action(window, "actionOpen")->trigger();
    QVERIFY(m_controller->windowForFile(path(u"a.velmora"_s)));

    // A recent entry whose file has gone shows why and opens nothing.
    m_controller->noteRecentFile(path(u"b.velmora"_s));
    QVERIFY(QFile::remove(path(u"b.velmora"_s)));
    auto* menu = window->findChild<QMenu*>(u"menuOpenRecent"_s);
    emit menu->aboutToShow();
    QAction* entry = menu->actions().first();
    QCOMPARE(entry->data().toString(), path(u"b.velmora"_s));
    entry->trigger();
    QCOMPARE(m_controller->windows().size(), 2);
    QCOMPARE(m_dialogs->errorMessages, QStringList{u"no such file"_s});
}

void TestDocumentController::titleShowsNameAndModifiedMarker()
{
    MainWindow* untitled = m_controller->newDocument();
    QCOMPARE(untitled->windowTitle(), u"Untitled[*] — Velmora"_s);
    QVERIFY(!untitled->isWindowModified());

    QVERIFY(writeProject(path(u"site.velmora"_s), projectWithNodes(1)));
    MainWindow* window = m_controller->openFile(path(u"site.velmora"_s));
    QCOMPARE(window->windowTitle(), u"site.velmora[*] — Velmora"_s);
    QVERIFY(!window->isWindowModified());
    // Zoom and pan alone are not unsaved changes.
    window->document()->modify([](ProjectData& p) { p.viewSettings.zoom = 2; });
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

    // A "[*]" in the file name is shown as it is, not taken for the modified marker.
    QVERIFY(writeProject(path(u"a[*]b.velmora"_s), projectWithNodes(1)));
    MainWindow* odd = m_controller->openFile(path(u"a[*]b.velmora"_s));
    renameProject(odd, u"Y"_s);
    QCOMPARE(odd->windowHandle()->title(), u"a[*]b.velmora* — Velmora"_s);
}

void TestDocumentController::windowSizes()
{
    MainWindow* window = m_controller->newDocument();
    QCOMPARE(window->minimumSize(), QSize(1000, 600));
    const QRect available = window->screen()->availableGeometry();
    QCOMPARE(window->size(), QSize(1280, 800));
    // After the delay the window, frame included, fills the screen's available area (never
    // below its minimum).
    const QSize frame = window->frameGeometry().size() - window->size();
    QTRY_COMPARE(window->frameGeometry().size(),
                 available.size().expandedTo(QSize(1000, 600) + frame));
}

void TestDocumentController::closePrompt_data()
{
    QTest::addColumn<SaveChoice>("choice");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("nameOnDisk");
    QTest::newRow("discard") << SaveChoice::discard << true << u"Net"_s;
    QTest::newRow("cancel") << SaveChoice::cancel << false << u"Net"_s;
    QTest::newRow("save") << SaveChoice::save << true << u"Changed"_s;
}

void TestDocumentController::closePrompt()
{
    QFETCH(SaveChoice, choice);
    QFETCH(bool, closes);
    QFETCH(QString, nameOnDisk);
    const QString file = path(u"p.velmora"_s);
    QVERIFY(writeProject(file, projectWithNodes(2)));
    MainWindow* window = m_controller->openFile(file);
    QPointer<MainWindow> guard(window);

    // Unmodified: closes without a question.
    MainWindow* clean = m_controller->newDocument();
    QVERIFY(clean->close());
    QVERIFY(m_dialogs->askedToSave.isEmpty());

    renameProject(window, u"Changed"_s);
    m_dialogs->saveChoices = {choice};
    QCOMPARE(window->close(), closes);
    QCOMPARE(m_dialogs->askedToSave, QStringList{u"p.velmora"_s});
    QCOMPARE(m_controller->windows().contains(window), !closes);
    QCOMPARE(VelmoraDocument::readFile(file)->projectName, nameOnDisk);
    if (closes)
        QTRY_VERIFY(guard.isNull());
}

void TestDocumentController::untitledSaveAsksForPath()
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
    QCOMPARE(VelmoraDocument::readFile(target)->projectName, u"Fresh"_s);
    QCOMPARE(m_controller->recentFiles().value(0), target);

    // Saving another window over a file that is open elsewhere is refused.
    MainWindow* open = m_controller->openFile(target);
    MainWindow* other = m_controller->newDocument();
    renameProject(other, u"Intruder"_s);
    m_dialogs->savePaths = {target};
    QVERIFY(!m_controller->saveAs(other));
    QCOMPARE(m_dialogs->errorMessages.size(), 1);
    QCOMPARE(VelmoraDocument::readFile(target)->projectName, u"Fresh"_s);
    QVERIFY(!open->document()->isModified());
}

void TestDocumentController::failedSaveShowsErrorAndKeepsFile()
{
    const QString file = path(u"p.velmora"_s);
    QVERIFY(writeProject(file, projectWithNodes(1)));
    const QByteArray before = readAll(file);
    MainWindow* window = m_controller->openFile(file);
    window->session()->pushUndoSnapshot();
    window->document()->modify(
        [](ProjectData& p) { p.nodes[0].y = std::numeric_limits<double>::infinity(); });
    QVERIFY(!m_controller->save(window));
    QCOMPARE(m_dialogs->errorMessages.size(), 1);
    QVERIFY(!m_dialogs->errorMessages.first().isEmpty());
    QCOMPARE(readAll(file), before);
    QVERIFY(window->document()->isModified());

    // Closing with "Save" that fails keeps the window open.
    m_dialogs->saveChoices = {SaveChoice::save};
    QVERIFY(!window->close());
    QCOMPARE(m_controller->windows().size(), 1);
    QCOMPARE(readAll(file), before);
}

void TestDocumentController::quitAsksForEveryModifiedWindow_data()
{
    QTest::addColumn<QList<SaveChoice>>("choices");
    QTest::addColumn<bool>("quits");
    QTest::addColumn<int>("questions");
    QTest::newRow("discard both") << QList{SaveChoice::discard, SaveChoice::discard} << true << 2;
    QTest::newRow("cancel first") << QList{SaveChoice::cancel} << false << 1;
    QTest::newRow("cancel second") << QList{SaveChoice::discard, SaveChoice::cancel} << false << 2;
    QTest::newRow("save both") << QList{SaveChoice::save, SaveChoice::save} << true << 2;
}

void TestDocumentController::quitAsksForEveryModifiedWindow()
{
    QFETCH(QList<SaveChoice>, choices);
    QFETCH(bool, quits);
    QFETCH(int, questions);
    QVERIFY(writeProject(path(u"a.velmora"_s), projectWithNodes(1)));
    QVERIFY(writeProject(path(u"b.velmora"_s), projectWithNodes(1)));
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
    QCOMPARE(VelmoraDocument::readFile(path(u"a.velmora"_s))->projectName,
             saved ? u"A2"_s : u"Net"_s);
    QCOMPARE(VelmoraDocument::readFile(path(u"b.velmora"_s))->projectName,
             saved ? u"B2"_s : u"Net"_s);
}

void TestDocumentController::undoActsOnActiveWindowOnly()
{
    MainWindow* a = m_controller->newDocument();
    MainWindow* b = m_controller->newDocument();
    renameProject(a, u"A1"_s);
    renameProject(b, u"B1"_s);

    // The menu item of window A.
    action(a, "actionUndo")->trigger();
    QCOMPARE(a->document()->projectData().projectName, u"Untitled"_s);
    QCOMPARE(b->document()->projectData().projectName, u"B1"_s);
    action(a, "actionRedo")->trigger();
    QCOMPARE(a->document()->projectData().projectName, u"A1"_s);

    // The keys go to the active window.
    b->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(b));
    QTest::keyClick(b, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(b->document()->projectData().projectName, u"Untitled"_s);
    QCOMPARE(a->document()->projectData().projectName, u"A1"_s);
    QTest::keyClick(b, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(b->document()->projectData().projectName, u"B1"_s);
    QCOMPARE(a->session()->redoStack().size(), 0);
}

void TestDocumentController::ctrlZInLineEditUndoesProject()
{
    MainWindow* window = m_controller->newDocument();
    auto* edit = new QLineEdit(window->contentView());
    edit->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClicks(edit, u"typed"_s);
    renameProject(window, u"Edited"_s);

    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window->document()->projectData().projectName, u"Untitled"_s);
    // The line edit's own undo did not run.
    QCOMPARE(edit->text(), u"typed"_s);
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(window->document()->projectData().projectName, u"Edited"_s);
}

void TestDocumentController::copyAndPasteWithFocusedLineEditUseText()
{
    MainWindow* window = m_controller->newDocument();
    window->document()->setProjectData(projectWithNodes(2));
    window->session()->selectAll();
    auto* edit = new QLineEdit(u"Core Router"_s, window->contentView());
    edit->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    edit->setSelection(0, 4);

    QGuiApplication::clipboard()->clear();
    action(window, "actionCopy")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), u"Core"_s);
    QVERIFY(window->session()->clipboard().isEmpty());

    edit->setSelection(5, 6);
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"Router"_s);
    QVERIFY(window->session()->clipboard().isEmpty());

    edit->setCursorPosition(0);
    action(window, "actionPaste")->trigger();
    QCOMPARE(edit->text(), u"RouterCore Router"_s);
    QCOMPARE(window->document()->projectData().nodes.size(), 2);

    action(window, "actionSelectAll")->trigger();
    QCOMPARE(edit->selectedText(), edit->text());
}

void TestDocumentController::copyPasteSelectAllWithoutTextFieldUseProject()
{
    MainWindow* a = m_controller->newDocument();
    MainWindow* b = m_controller->newDocument();
    a->document()->setProjectData(projectWithNodes(3));
    b->document()->setProjectData(projectWithNodes(2));
    a->contentView()->setFocus();

    action(a, "actionSelectAll")->trigger();
    QCOMPARE(a->session()->selectedNodes(), (QSet<qint64>{1, 2, 3}));
    QVERIFY(b->session()->selectedNodes().isEmpty());

    a->session()->setSelectedNodes({2});
    action(a, "actionCopy")->trigger();
    QCOMPARE(a->session()->clipboard().size(), 1);
    QVERIFY(b->session()->clipboard().isEmpty());

    action(a, "actionPaste")->trigger();
    QCOMPARE(a->document()->projectData().nodes.size(), 4);
    QCOMPARE(a->document()->projectData().nodes.last().name, u"Node 2 (copy)"_s);
    QCOMPARE(b->document()->projectData().nodes.size(), 2);
    QVERIFY(a->document()->isModified());
}

QTEST_MAIN(TestDocumentController)
#include "tst_document_controller.moc"
