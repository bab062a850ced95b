// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/document_controller.h"

#include "app/content_view.h"
#include "app/live_tray.h"
#include "app/main_window.h"
#include "app/velmora_document.h"
#include "canvas/view_state.h"
#include "monitor/desktop_notifier.h"
#include "monitor/ping_manager.h"
#include "panes/live_monitoring.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

const QString recentFilesKey = u"recentFiles"_s;

// Paths are compared after resolving symbolic links and "..", so one file has one window.
QString canonicalPath(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

DocumentController::DocumentController(QString settingsFile, QObject* parent)
    : QObject(parent), m_settingsFile(std::move(settingsFile)),
      m_dialogs(std::make_unique<StandardDialogs>()), m_diagnostic([](const QString& line) {
          QTextStream out(stdout);
          out << line << Qt::endl;
      }),
      m_tray(new LiveTray(this))
{
}

DocumentController::~DocumentController()
{
    for (const QPointer<MainWindow>& window : std::as_const(m_windows))
        delete window.data();
}

void DocumentController::setDialogs(std::unique_ptr<UserDialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

void DocumentController::setDiagnosticSink(std::function<void(const QString&)> sink)
{
    m_diagnostic = std::move(sink);
}

void DocumentController::launch(const QStringList& files, AppMode mode)
{
    if (mode == AppMode::live) {
        connect(
            this, &DocumentController::launchFinished, this,
            [this] {
                for (MainWindow* window : windows())
                    window->contentView()->switchMode(AppMode::live);
            },
            Qt::SingleShotConnection);
    }
    if (!files.isEmpty()) {
        for (const QString& file : files)
            openFile(file);
        if (windows().isEmpty())
            newDocument();
        emit launchFinished();
        return;
    }
    QTimer::singleShot(launchDelayMs, this, &DocumentController::openAtLaunch);
}

void DocumentController::openAtLaunch()
{
    const QStringList recent = recentFiles();
    if (recent.isEmpty()) {
        newDocument();
        emit launchFinished();
        return;
    }
    // Untitled windows that hold nothing are replaced by the recent document; one with
    // changes stays, so nothing typed in the first moments is lost.
    const QList<MainWindow*> open = windows();
    for (MainWindow* window : open) {
        if (window->document()->isUntitled() && !window->document()->isModified())
            window->closeConfirmed();
    }
    const Expected<MainWindow*> opened = openDocument(recent.constFirst());
    if (!opened) {
        m_diagnostic(u"Failed to open recent document: "_s + opened.error().message);
        newDocument();
    }
    emit launchFinished();
}

MainWindow* DocumentController::addWindow(VelmoraDocument* document)
{
    auto* window = new MainWindow(document, this);
    m_windows.append(window);
    connect(window->contentView()->liveMonitoring()->notifier(), &DesktopNotifier::diagnostic, this,
            [this](const QString& line) { m_diagnostic(line); });
    connect(window, &MainWindow::aboutToBeDestroyed, this, [this, window] {
        m_windows.removeIf(
            [window](const QPointer<MainWindow>& w) { return w.isNull() || w.data() == window; });
        m_tray->refresh();
        // Queued: the closing window is still among the receivers while it is destroyed.
        QMetaObject::invokeMethod(this, &DocumentController::openFilesChanged,
                                  Qt::QueuedConnection);
    });
    ContentView* view = window->contentView();
    connect(view->pingManager(), &PingManager::published, m_tray, &LiveTray::refresh);
    connect(view, &ContentView::modeSwitched, m_tray, &LiveTray::refresh);
    connect(window, &MainWindow::backgroundChanged, m_tray, &LiveTray::refresh);
    connect(document, &VelmoraDocument::filePathChanged, this,
            &DocumentController::openFilesChanged);
    emit openFilesChanged();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

MainWindow* DocumentController::newDocument()
{
    return addWindow(new VelmoraDocument());
}

Expected<MainWindow*> DocumentController::openOrRaise(const QString& path)
{
    if (MainWindow* existing = windowForFile(path)) {
        existing->show();
        existing->raise();
        existing->activateWindow();
        return existing;
    }
    Expected<VelmoraDocument*> document = VelmoraDocument::open(path);
    if (!document)
        return Error{document.error()};
    MainWindow* window = addWindow(*document);
    noteRecentFile(window->document()->filePath());
    return window;
}

Expected<MainWindow*> DocumentController::openDocument(const QString& path)
{
    Expected<MainWindow*> window = openOrRaise(path);
    if (!window)
        return Error{QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) + u": "_s +
                     window.error().message};
    return window;
}

MainWindow* DocumentController::openFile(const QString& path)
{
    const Expected<MainWindow*> window = openOrRaise(path);
    if (!window) {
        m_dialogs->showError(
            qApp->activeWindow(),
            tr("The document “%1” could not be opened.").arg(QFileInfo(path).fileName()),
            window.error().message);
        return nullptr;
    }
    return *window;
}

void DocumentController::openWithDialog(QWidget* parent)
{
    const QString path = m_dialogs->askOpenPath(parent);
    if (!path.isEmpty())
        openFile(path);
}

bool DocumentController::save(MainWindow* window)
{
    VelmoraDocument* document = window->document();
    if (document->isUntitled())
        return saveAs(window);
    const Expected<void> saved = document->save();
    if (!saved) {
        m_dialogs->showError(
            window, tr("The document “%1” could not be saved.").arg(document->displayName()),
            saved.error().message);
        return false;
    }
    noteRecentFile(document->filePath());
    return true;
}

bool DocumentController::saveAs(MainWindow* window)
{
    VelmoraDocument* document = window->document();
    const QString suggested =
        document->isUntitled()
            ? QDir::home().filePath(
                  QString(document->projectData().projectName).replace(u'/', u'-') + u".velmora"_s)
            : document->filePath();
    QString path = m_dialogs->askSavePath(window, suggested);
    if (path.isEmpty())
        return false;
    // Two windows on one file would overwrite each other's saves.
    if (MainWindow* other = windowForFile(path); other && other != window) {
        m_dialogs->showError(
            window, tr("The document “%1” could not be saved.").arg(QFileInfo(path).fileName()),
            tr("It is open in another window. Close that window first."));
        return false;
    }
    const Expected<void> saved = document->saveAsNamingUntitled(path);
    if (!saved) {
        m_dialogs->showError(
            window, tr("The document “%1” could not be saved.").arg(QFileInfo(path).fileName()),
            saved.error().message);
        return false;
    }
    noteRecentFile(document->filePath());
    return true;
}

bool DocumentController::confirmClose(MainWindow* window)
{
    if (!window->document()->isModified())
        return true;
    window->raise();
    window->activateWindow();
    switch (m_dialogs->askSaveChanges(window, window->document()->displayName())) {
    case SaveChoice::save:
        return save(window);
    case SaveChoice::discard:
        return true;
    case SaveChoice::cancel:
        break;
    }
    return false;
}

bool DocumentController::quit()
{
    const QList<MainWindow*> open = windows();
    for (MainWindow* window : open) {
        if (!confirmClose(window))
            return false;
    }
    for (MainWindow* window : open)
        window->closeConfirmed();
    return true;
}

QList<MainWindow*> DocumentController::windows() const
{
    QList<MainWindow*> result;
    for (const QPointer<MainWindow>& window : m_windows) {
        // A closed window lingers until its deferred deletion; it no longer counts as open.
        if (window && (window->isVisible() || window->isInBackground()))
            result.append(window.data());
    }
    return result;
}

MainWindow* DocumentController::windowForFile(const QString& path) const
{
    const QString wanted = canonicalPath(path);
    for (MainWindow* window : windows()) {
        const QString file = window->document()->filePath();
        if (!file.isEmpty() && canonicalPath(file) == wanted)
            return window;
    }
    return nullptr;
}

bool DocumentController::keepsMonitoringWhenClosed(MainWindow* window) const
{
    return m_tray->isAvailable() &&
           window->contentView()->viewState()->appMode() == AppMode::live &&
           LiveMonitoring::keepMonitoringWhenClosed();
}

std::unique_ptr<QSettings> DocumentController::settings() const
{
    if (m_settingsFile.isEmpty())
        return std::make_unique<QSettings>();
    return std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat);
}

QStringList DocumentController::openFiles() const
{
    QStringList files;
    for (const QPointer<MainWindow>& window : m_windows) {
        if (window && !window->document()->isUntitled())
            files.append(window->document()->filePath());
    }
    return files;
}

QStringList DocumentController::recentFiles() const
{
    QStringList files = settings()->value(recentFilesKey).toStringList();
    files.removeAll(QString());
    return files.mid(0, maxRecentFiles);
}

void DocumentController::noteRecentFile(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > maxRecentFiles)
        files.removeLast();
    settings()->setValue(recentFilesKey, files);
    emit recentFilesChanged();
}

void DocumentController::clearRecentFiles()
{
    settings()->remove(recentFilesKey);
    emit recentFilesChanged();
}

} // namespace velmora
