#pragma once
// What the status page shows, as plain values: one snapshot, made on the thread that
// owns the facts (the controller's) and then only read, by any number of threads.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lv {

struct StatusBox {
    int number = 0;              // 1..4
    bool declared = false;       // an undefined slot shows nothing but its number
    std::string state;           // "undefined", "not-connected", "reconnecting", "connected",
                                 // "silent" (connected, nothing read for two minutes)
    std::string stateText;       // the same in the program's language
    std::string label;           // what the window shows beside the box's image
    std::uint64_t reads = 0;
    int lastReadAgeSeconds = -1;  // -1: no read yet
    std::string lastReadText;     // "12 s"; empty without a read
    std::string lostText;         // this box's line of the lost-box band, when it shows
};

struct StatusDetection {
    std::uint32_t number = 0;  // its line in the detection file
    std::string time;          // as recorded (time of day, or absolute)
    int box = 0;               // 0: not from a box (manual entry, import)
    std::string boxName;       // the detector id
    std::string label;         // the bib (or the chip code when it is not known)
    std::string runner;        // the timing application's name for it, once answered
    std::string answer;        // what the timing application did with it
};

struct StatusAlert {
    std::int64_t at = 0;  // seconds since 1970
    std::string time;     // local "HH:MM:SS"
    std::string text;
};

struct StatusFacts {
    std::string version;
    std::string language;  // "en" or "fr"
    std::vector<StatusBox> boxes;
    std::string linkState;      // "off", "connecting", "connected"
    std::string linkStateText;
    std::size_t linkWaiting = 0;  // detections not yet delivered to the timing application
    std::size_t journalPending = 0;
    std::string detectionFile;
    std::size_t detectionFileLines = 0;
    std::vector<StatusDetection> detections;  // the most recent first
    std::vector<StatusAlert> alerts;          // the most recent first
    std::int64_t madeAt = 0;                  // seconds since 1970 when the snapshot was made
};

}  // namespace lv
