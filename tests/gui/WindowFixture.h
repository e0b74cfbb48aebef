#pragma once
// A main window with its controller over a fresh data folder, started as the program
// starts (settings, log, session file), with message boxes answered by the test.
#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include <memory>
#include <vector>

#include "GuiTestSupport.h"
#include "app/MainController.h"
#include "app/Startup.h"
#include "support/TempFolder.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "gui/MainWindow.h"
#include "gui/QtUiLoop.h"
#include "link/DirectLinkSession.h"

namespace lv::test {

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override { QtApp(); }

    void TearDown() override {
        controller.reset();
        window.reset();
        DetectionTable::Instance().Journal().Close();
        DetectionTable::Instance().ClearTable();
        SetLanguage(Language::French);
    }

    // Starts the program's pieces in the given language; `settings` is written to the
    // settings file first (ini text).
    void Start(Language language, const std::string& settings = {}, GuiOptions options = QuietOptions()) {
        if (!settings.empty()) WriteFile(folder / "Lumivane.ini", settings);
        // A prepared race has its chip table (without one the window opens on an alert).
        if (withChipTable && !std::filesystem::exists(folder / "TarvexTable.dtb")) {
            WriteFile(folder / "TarvexTable.dtb", "1 CHIP1\n");
        }
        CommandLine line;
        line.dataDir = folder.Path();
        line.language = language;
        StartupOutcome outcome = startup.Run(line, "");
        ASSERT_TRUE(outcome.ok) << outcome.error;
        window = std::make_unique<MainWindow>(options);
        ControllerOptions controllerOptions;
        controllerOptions.sessionFileName = outcome.sessionFileName;
        controllerOptions.resumeFile = outcome.resumeFile;
        controller = std::make_unique<MainController>(loop, *window, controllerOptions);
        controller->SetLinkSession(std::make_unique<DirectLinkSession>(loop, controller->LinkListener()));
        controller->LoadBoxDeclarations();
        controller->Open();
        window->Attach(*controller);
        window->show();
        QApplication::processEvents();
    }

    static GuiOptions QuietOptions() {
        GuiOptions options;
        options.openConfigurationAtStart = false;
        options.sounds = false;
        options.speech = false;
        options.popFrontServer = false;
        return options;
    }

    template <typename T>
    T* Find(const char* name) {
        T* widget = window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // The next pop-up menu to open chooses the entry with this text; the entries'
    // texts and enabled states are kept in `menuEntries`.
    void ChooseInNextMenu(const QString& entry) {
        menuEntries.clear();
        QTimer::singleShot(0, [this, entry] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) continue;
                menuEntries.push_back({action->text().toStdString(), action->isEnabled()});
                if (action->text() == entry) chosen = action;
            }
            if (chosen && chosen->isEnabled()) {
                menu->setActiveAction(chosen);
                QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(menu, &enter);
            } else {
                menu->close();
            }
        });
    }

    struct MenuEntry {
        std::string text;
        bool enabled;
    };

    TempFolder folder;
    bool withChipTable = true;
    Startup startup;
    QtUiLoop loop;
    MessageRecorder messages;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainController> controller;
    std::vector<MenuEntry> menuEntries;
};

}  // namespace lv::test
