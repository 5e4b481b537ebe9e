// The window's part in sharing a picture: the save dialog, whose answer goes
// to the controller.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include "main_window.h"
#include "panel_frame.h"
#include "picture_export.h"

namespace orlix {

QFileDialog* MainWindow::sharePicture()
{
    auto* dialog = new QFileDialog(this, QStringLiteral("Share Picture"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(pictureFileFilters());
    dialog->selectNameFilter(defaultPictureFileFilter());
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    dialog->setDirectory(folder);
    dialog->selectFile(QStringLiteral("Orlix plot.png"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Orlix's own dialog, which can be made as small as a phone's window.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    fitIntoWindow(dialog, this);
    // Another type of file renames the file to its extension: the name's
    // extension is what decides.
    connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& filter) {
        const QStringList typed = dialog->selectedFiles();
        if (typed.size() != 1)
            return;
        const QString wanted = pictureRequestFor(QFileInfo(typed[0]).completeBaseName(), filter).path;
        dialog->selectFile(wanted);
    });
    connect(dialog, &QFileDialog::fileSelected, this, [this, dialog](const QString& path) {
        controller_->sharePicture(pictureRequestFor(path, dialog->selectedNameFilter()));
    });
    dialog->open();
    return dialog;
}

} // namespace orlix
