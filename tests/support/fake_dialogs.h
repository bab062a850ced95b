// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scripted answers for the controller's dialogs, recording every question asked.

#include "app/user_dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace velmora {

class FakeDialogs final : public UserDialogs {
public:
    QList<SaveChoice> saveChoices; // consumed in order; cancel when empty
    QStringList savePaths;         // consumed in order; empty (cancelled) when none left
    QStringList openPaths;
    QStringList exportPaths; // consumed in order; empty (cancelled) when none left
    QStringList askedToSave; // document names
    QStringList errorTitles;
    QStringList errorMessages;

    SaveChoice askSaveChanges(QWidget*, const QString& documentName) override
    {
        askedToSave.append(documentName);
        return saveChoices.isEmpty() ? SaveChoice::cancel : saveChoices.takeFirst();
    }
    void showError(QWidget*, const QString& title, const QString& message) override
    {
        errorTitles.append(title);
        errorMessages.append(message);
    }
    QString askOpenPath(QWidget*) override
    {
        return openPaths.isEmpty() ? QString() : openPaths.takeFirst();
    }
    QString askSavePath(QWidget*, const QString&) override
    {
        return savePaths.isEmpty() ? QString() : savePaths.takeFirst();
    }
    QString askExportPath(QWidget*, const QString&) override
    {
        return exportPaths.isEmpty() ? QString() : exportPaths.takeFirst();
    }
};

} // namespace velmora
