#pragma once
// The box files explorer's words that `lumivane cloud` says too, in the language of
// the interface.
#include <string>

#include "cloud/explorer/DetectionFileDownload.h"

namespace lv {

// "Download done (%d kB)", with the detections left out when there are any.
std::string DownloadDoneText(const DetectionFileDownload& download);
// A failed download as the user reads it.
std::string DownloadFailureText(const DetectionFileDownload& download);
// "File %s is empty!"
std::string EmptyFileText(const std::string& fileId);
// "Cannot create folder\n    %s  \n"
std::string CannotCreateFolderText(const std::string& folder);
// "Cannot connect to Tarvex box: " and the reason: a listing of stored files failed.
std::string ListingFailureText(const std::string& error);

}  // namespace lv
