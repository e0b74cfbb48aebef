#pragma once
// The program with its main window (no Qt in this header: main.cpp includes it).
#include "app/CommandLine.h"

namespace lv {

// Starts as the headless front end does, then runs the main window until it closes.
// argc and argv are the program's own (Qt reads its options from them).
int RunGui(const CommandLine& options, int argc, char** argv);

}  // namespace lv
