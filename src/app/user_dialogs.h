// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The questions and messages the document controller puts to the user. The application uses
// the standard Qt dialogs; tests install scripted answers so that nothing blocks on a modal box.

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace velmora {

enum class SaveChoice { save, discard, cancel };

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // "Do you want to save the changes to <name>?" with Save, Discard and Cancel.
    virtual SaveChoice askSaveChanges(QWidget* window, const QString& documentName) = 0;
    // A failure the user must know about (a file that does not open, a save that failed).
    virtual void showError(QWidget* window, const QString& title, const QString& message) = 0;
    // A project file to open; empty when the user cancels.
    virtual QString askOpenPath(QWidget* window) = 0;
    // Where to save; empty when the user cancels.
    virtual QString askSavePath(QWidget* window, const QString& suggestedPath) = 0;
    // Where to export the map (a .png, .svg or .pdf name); empty when the user cancels.
    virtual QString askExportPath(QWidget* window, const QString& suggestedPath) = 0;
};

// QMessageBox and QFileDialog.
class StandardDialogs final : public UserDialogs {
    Q_DECLARE_TR_FUNCTIONS(StandardDialogs)
public:
    SaveChoice askSaveChanges(QWidget* window, const QString& documentName) override;
    void showError(QWidget* window, const QString& title, const QString& message) override;
    QString askOpenPath(QWidget* window) override;
    QString askSavePath(QWidget* window, const QString& suggestedPath) override;
    QString askExportPath(QWidget* window, const QString& suggestedPath) override;
};

// The file-dialog filter of project files.
QString projectFileFilter();
inline constexpr char16_t projectFileSuffix[] = u"velmora";

} // namespace velmora
