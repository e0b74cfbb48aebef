#pragma once
// The main window wired to its controller: the Qt loop, the window, the controller
// with its direct-connection session, the box declarations loaded and the window's
// opening steps run. Used by the program and by the window's benchmark.
#include <memory>
#include <string>

#include "app/MainController.h"
#include "gui/MainWindow.h"
#include "gui/QtUiLoop.h"
#include "link/DirectLinkSession.h"

namespace lv {

struct WindowSession {
    WindowSession(const GuiOptions& guiOptions, const std::string& sessionFileName,
                  const std::string& resumeFile = std::string())
        : window(guiOptions), controller(loop, window, ControllerOptionsFor(sessionFileName, resumeFile)) {
        controller.SetLinkSession(std::make_unique<DirectLinkSession>(loop, controller.LinkListener()));
        controller.LoadBoxDeclarations();
        controller.Open();
        window.Attach(controller);
        window.show();
    }

    QtUiLoop loop;
    MainWindow window;
    MainController controller;

private:
    static ControllerOptions ControllerOptionsFor(const std::string& sessionFileName, const std::string& resumeFile) {
        ControllerOptions options;
        options.sessionFileName = sessionFileName;
        options.resumeFile = resumeFile;
        return options;
    }
};

}  // namespace lv
