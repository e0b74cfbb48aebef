#include "app/DetectionIntake.h"

#include "base/Environment.h"
#include "base/Log.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"

namespace lv {

DetectionIntake::DetectionIntake(UiLoop& ui, MainView& view, const ControllerSettings& settings,
                                 DetectionRecorder& recorder, std::function<void(int, bool)> boxState,
                                 std::string sessionFileName)
    : ui_(ui),
      view_(view),
      settings_(settings),
      recorder_(recorder),
      boxState_(std::move(boxState)),
      sessionFileName_(std::move(sessionFileName)) {}

void DetectionIntake::AlertLine(const std::string& text, bool show) {
    if (show) {
        ui_.post([this, text] {
            view_.BringToFront();
            view_.ShowMessage(text, MessageIcon::Warning);
        });
    }
    Log(0, "######## " + text);
}

void DetectionIntake::OperatorAlert(const std::string& text) {
    Log(0, "######## " + text);
    ui_.post([this, text] { view_.ShowOperatorAlert(text); });
}

void DetectionIntake::ShowWarning(const std::string& text) {
    ui_.post([this, text] { view_.ShowMessage(text, MessageIcon::Warning); });
}

void DetectionIntake::PlaySound(Sound sound) {
    if (ui_.isUiThread()) {
        view_.PlaySound(sound);
        return;
    }
    ui_.post([this, sound] { view_.PlaySound(sound); });
}

void DetectionIntake::PostBoxState(int boxNumber, bool unexpected) {
    ui_.post([this, boxNumber, unexpected] { boxState_(boxNumber, unexpected); });
}

void DetectionIntake::OpenJournal() {
    // Nothing when the file is open already; its opening is logged otherwise.
    DetectionTable::Instance().Journal().Open(sessionFileName_);
}

void DetectionIntake::CloseJournal() { DetectionTable::Instance().Journal().Close(); }

void DetectionIntake::ClaimSessionFile() { sessionFileName_ = lv::ClaimSessionFile(sessionFileName_); }

void DetectionIntake::StartNewJournal() {
    sessionFileName_ = lv::ClaimSessionFile(MakeSessionFileName());
    DetectionTable::Instance().Journal().Open(sessionFileName_);
}

}  // namespace lv
