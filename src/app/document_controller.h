// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Owns the set of open project windows: what opens at launch, New/Open/Save/Close/Quit, the
// unsaved-changes prompts and the recent-files list (in QSettings).

#include "app/user_dialogs.h"
#include "canvas/app_mode.h"
#include "model/expected.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QSettings;

namespace velmora {

class LiveTray;
class MainWindow;

class DocumentController final : public QObject {
    Q_OBJECT
public:
    static constexpr int launchDelayMs = 100;
    static constexpr int maxRecentFiles = 10;

    // `settingsFile` names an INI file for the recent list; empty uses the application's
    // standard settings.
    explicit DocumentController(QString settingsFile = {}, QObject* parent = nullptr);
    ~DocumentController() override;

    void setDialogs(std::unique_ptr<UserDialogs> dialogs);
    UserDialogs& dialogs() const { return *m_dialogs; }
    // Diagnostic lines go to standard output unless a test captures them.
    void setDiagnosticSink(std::function<void(const QString& line)> sink);

    // Files given on the command line open at once. Otherwise, 0.1 s later, the most recent
    // document opens (untitled windows are closed first) or, with no recent document, one
    // untitled window. A recent document that fails to open is reported on standard output and
    // an untitled window opens instead. With `mode` live, the windows opened at launch switch
    // to live mode once they are open (as a click on "Live" would).
    void launch(const QStringList& files, AppMode mode = AppMode::edit);

    MainWindow* newDocument();
    // Raises the file's window when it is open already. A file that cannot be read or decoded
    // shows the reason in a dialog and opens nothing (returns nullptr).
    MainWindow* openFile(const QString& path);
    // As openFile() but reports a failure to the caller instead of the user.
    Expected<MainWindow*> openDocument(const QString& path);
    void openWithDialog(QWidget* parent);

    // A failed save keeps the file on disk as it was and says why in a dialog.
    bool save(MainWindow* window);
    bool saveAs(MainWindow* window);

    // Asks about unsaved changes: true when the window may close.
    bool confirmClose(MainWindow* window);
    // Asks for every window with unsaved changes, then closes all of them; a Cancel (or a save
    // that fails) stops the quit and closes nothing.
    bool quit();

    // Open windows, those monitoring in the background included.
    QList<MainWindow*> windows() const;
    // The files of the open windows (untitled ones left out).
    QStringList openFiles() const;
    MainWindow* windowForFile(const QString& path) const;

    // Most recent first.
    QStringList recentFiles() const;
    void clearRecentFiles();
    void noteRecentFile(const QString& path);

    // The tray icon of the live windows.
    LiveTray* tray() const { return m_tray; }
    // Closing this window hides it and monitoring goes on: it is live, the desktop has a tray
    // and "Keep monitoring when the window is closed" is on.
    bool keepsMonitoringWhenClosed(MainWindow* window) const;

signals:
    void recentFilesChanged();
    // A window opened or closed, or a window's file changed: titles may need the folder.
    void openFilesChanged();
    void launchFinished();

private:
    void openAtLaunch();
    Expected<MainWindow*> openOrRaise(const QString& path);
    MainWindow* addWindow(class VelmoraDocument* document);
    std::unique_ptr<QSettings> settings() const;

    QString m_settingsFile;
    std::unique_ptr<UserDialogs> m_dialogs;
    std::function<void(const QString&)> m_diagnostic;
    QList<QPointer<MainWindow>> m_windows;
    LiveTray* m_tray;
};

} // namespace velmora
