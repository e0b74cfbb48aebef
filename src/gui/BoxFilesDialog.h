#pragma once
// CDlgBoxFiles: the box files explorer's window, a thin view over BoxFilesExplorer.
// Entry point for the window and the import dialog:
//   std::string path = RunBoxFilesDialog(parent, BoxFilesSource::ForCloud(reply));
// Modal; returns the path of the downloaded "TX_<file id>.txt", or "" when the dialog
// closed without a download.
#include <QWidget>

#include <string>

#include "cloud/explorer/BoxFilesSource.h"

namespace lv {

std::string RunBoxFilesDialog(QWidget* parent, BoxFilesSource source);

}  // namespace lv
