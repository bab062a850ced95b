// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/user_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace velmora {

QString projectFileFilter()
{
    return StandardDialogs::tr("Velmora projects (*.velmora)");
}

SaveChoice StandardDialogs::askSaveChanges(QWidget* window, const QString& documentName)
{
    QMessageBox box(QMessageBox::Warning, u"Velmora"_s,
                    tr("Do you want to save the changes to “%1”?").arg(documentName),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window);
    box.setInformativeText(tr("Your changes will be lost if you don't save them."));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::save;
    case QMessageBox::Discard:
        return SaveChoice::discard;
    default:
        return SaveChoice::cancel;
    }
}

void StandardDialogs::showError(QWidget* window, const QString& title, const QString& message)
{
    QMessageBox box(QMessageBox::Critical, u"Velmora"_s, title, QMessageBox::Ok, window);
    box.setInformativeText(message);
    box.exec();
}

QString StandardDialogs::askOpenPath(QWidget* window)
{
    return QFileDialog::getOpenFileName(window, tr("Open Project"), QString(), projectFileFilter());
}

QString StandardDialogs::askSavePath(QWidget* window, const QString& suggestedPath)
{
    QFileDialog dialog(window, tr("Save Project"), suggestedPath, projectFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromUtf16(projectFileSuffix));
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString StandardDialogs::askExportPath(QWidget* window, const QString& suggestedPath)
{
    // The chosen filter gives a name typed without an extension its format.
    const QStringList filters{tr("PNG image (*.png)"), tr("SVG drawing (*.svg)"),
                              tr("PDF document (*.pdf)")};
    const QStringList suffixes{u"png"_s, u"svg"_s, u"pdf"_s};
    QFileDialog dialog(window, tr("Export Map"), suggestedPath);
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffixes.constFirst());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.setDefaultSuffix(suffixes.value(filters.indexOf(filter), suffixes.constFirst()));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace velmora
