#include "export/ExportUploads.h"

#include <atomic>

namespace lv {

namespace {
std::atomic<ExportUploads*> installed{nullptr};
}

void InstallExportUploads(ExportUploads* uploads) { installed.store(uploads); }

ExportUploads* InstalledExportUploads() { return installed.load(); }

}  // namespace lv
