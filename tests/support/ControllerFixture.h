#pragma once
// What the controller tests share: a data folder of their own and a main controller on
// it with a recording view and an event loop the test pumps.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/EventLoop.h"
#include "app/MainController.h"
#include "base/Clock.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "support/DataFolderFixture.h"
#include "support/FakeMainView.h"

namespace lv::test {

template <class View = FakeMainView>
class ControllerFixture : public DataFolderFixture {
protected:
    void SetUp() override {
        DataFolderFixture::SetUp();
        Logger::Instance().ClearWindow();
        DetectionTable::Instance().ClearTable();
        ClearChipTable();
    }
    void TearDown() override {
        controller.reset();
        DetectionTable::Instance().Journal().Close();
        DetectionTable::Instance().ClearTable();
        ClearChipTable();
        SetWallClockSourceForTests({});
        DataFolderFixture::TearDown();
    }

    // The controller opened as the window opens it, its detection file in the data
    // folder; `loadBoxes`: the box declarations of the settings file first.
    MainController& Open(bool loadBoxes = true) {
        ControllerOptions options;
        options.sessionFileName = folder / "logfiles/session.dat";
        controller = std::make_unique<MainController>(loop, view, options);
        if (loadBoxes) controller->LoadBoxDeclarations();
        controller->Open();
        loop.processPending();
        return *controller;
    }
    void DeclareBox(int slot, const std::string& host, int port, const std::string& detectorId = "31") {
        WriteSettingText("TarvexBoxes", "BoxHost" + std::to_string(slot), host);
        WriteSettingInt("TarvexBoxes", "BoxPort" + std::to_string(slot), port);
        WriteSettingText("TarvexBoxes", "BoxIdDetector" + std::to_string(slot), detectorId);
    }
    void DeclareBox(int slot, int port, const std::string& detectorId = "31") {
        DeclareBox(slot, "127.0.0.1", port, detectorId);
    }

    // Delivers the loop's work until `done` holds or the limit passes.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(10)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            loop.runFor(std::chrono::milliseconds(10));
        }
        return true;
    }
    // Lines of the log window holding `text`.
    int LogCount(const std::string& text) {
        int count = 0;
        for (const auto& line : Logger::Instance().WindowLines()) count += line.find(text) != std::string::npos;
        return count;
    }
    bool LogHas(const std::string& text) { return LogCount(text) > 0; }
    // Lines of the detection file Open gives the controller.
    long JournalLines() {
        const std::string journal = ReadFile(folder / "logfiles/session.dat");
        return static_cast<long>(std::count(journal.begin(), journal.end(), '\n'));
    }

    EventLoop loop;
    View view;
    std::unique_ptr<MainController> controller;
};

}  // namespace lv::test
