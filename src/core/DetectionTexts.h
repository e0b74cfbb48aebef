#pragma once
// The log and question texts of the detection file and the detection list, in the
// program's language, ready to log or show.
#include <string>

namespace lv {

// "Opening detection file : <path>".
std::string OpeningDetectionFileText(const std::string& path);
// "Error opening detection file : <path>".
std::string ErrorOpeningDetectionFileText(const std::string& path);
// "+++ Incoming detections saved in <name>", logged at start and after each reset.
std::string IncomingDetectionsSavedText(const std::string& name);
// "+ Detection list reset done. (<n> detection[s])": plural when n is above 1.
std::string DetectionListResetText(int activeCount);
// "+ Detections exported in file [<path>]".
std::string DetectionsExportedText(const std::string& path);
// The Yes/No question asked before a reset of the detection list.
std::string ConfirmResetDetectionsQuestion();

}  // namespace lv
