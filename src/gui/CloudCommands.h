#pragma once
// The cloud and box-file commands a window offers: the customer credentials, and the
// box files explorer in cloud mode (token and devices fetched in the background first).
#include <QWidget>

#include <string>

namespace lv {

// "Get Tarvex customer detections": asks for the credentials when one is missing,
// fetches the token and the devices (a cancellable wait), then opens the explorer in
// cloud mode. Returns the downloaded file's path, or "". On a failed request
// `logLine` is "$$$ Error %d: %s".
std::string RunCustomerDetectionsExplorer(QWidget* parent, std::string& logLine);

}  // namespace lv
