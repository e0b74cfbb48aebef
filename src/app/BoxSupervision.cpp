// The main window's control of the four boxes: connect/disconnect, the box-state
// message with the automatic restart, the clock commands and the declarations.
#include <fmt/printf.h>

#include <chrono>
#include <thread>

#include "app/MainController.h"
#include "base/Texts.h"
#include "boxes/BoxDeclarations.h"
#include "boxes/BoxThread.h"
#include "boxes/TarvexBox.h"
#include "boxes/transport/TcpComBox.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"

namespace lv {

CTarvexBox& MainController::Box(int index) { return *boxes_.at(index); }

bool MainController::AnyBoxConnected() const {
    for (const auto& box : boxes_) {
        if (box->IsConnected()) return true;
    }
    return false;
}

bool MainController::AnyBoxInUse() const {
    for (const auto& box : boxes_) {
        if (box->IsConfigured() && box->IsInUse()) return true;
    }
    return false;
}

void MainController::ShowBoxState(int index) {
    CTarvexBox& box = *boxes_[index];
    BoxVisualState state;
    const char* text;
    if (!box.Transport() || !box.IsConfigured()) {
        state = BoxVisualState::Undefined;
        text = Tr("Box undefined", "Boîtier non défini");
    } else if (!box.IsInUse()) {
        state = BoxVisualState::NotConnected;
        text = Tr("Box not connected", "Boîtier non connecté");
    } else if (box.IsPending()) {
        state = BoxVisualState::Reconnecting;
        text = Tr("Reconnecting...", "Reconnexion en cours...");
    } else {
        state = BoxVisualState::Connected;
        text = Tr("Box connected", "Boîtier connecté");
    }
    std::string label = state == BoxVisualState::Undefined
                            ? std::string(text)
                            : fmt::sprintf("Boîtier %d %s\n%s", index + 1, box.GetDescription(), text);
    view_.SetBoxState(index, state, label);
}

void MainController::StartBoxThread(int index) {
    CTarvexBox& box = *boxes_[index];
    // The thread clears the cancel request itself once it knows no older thread runs.
    if (!lv::StartBoxThread(*this, box)) {
        Log(0, fmt::sprintf(Tr("## Box %d : its previous thread is still running",
                               "## Boîtier %d : son thread précédent tourne encore"),
                            index + 1));
    }
    ShowBoxState(index);
}

void MainController::DisconnectBox(int index) {
    CTarvexBox& box = *boxes_[index];
    box.cancelRequested = true;
    if (box.IsConnected()) box.Close();
    // The ending thread posts its state; keep delivering while it finishes.
    ui_.pumpUntil([&box] { return !box.threadRunning.load(); });
    box.JoinThread();
}

void MainController::DisconnectAllBoxes() {
    for (int i = 0; i < kBoxCount; ++i) DisconnectBox(i);
    // Let the last state messages of the threads arrive before the file is closed.
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    ui_.pumpUntil([until] { return std::chrono::steady_clock::now() >= until; });
    DetectionTable::Instance().Journal().Close();
    RefreshCountersNow();
}

void MainController::OnConnectButton(bool pressed) {
    if (!pressed) {
        if (!view_.AskYesNo(Tr("Are you sure you want to disconnect from the boxes?",
                               "Etes vous certain de vouloir vous déconnecter des boîtiers ?"))) {
            RefreshCountersNow();
            return;
        }
    }
    ConnectAllBoxes();
}

void MainController::ConnectAllBoxes() {
    int configured = 0;
    for (const auto& box : boxes_) {
        if (box->IsConfigured()) ++configured;
    }
    if (configured == 0) {
        AlertLine(Tr("No Tarvex box has been declared in your configuration !!!",
                     "Aucun boîtier Tarvex n'est déclaré dans votre configuration !!!"),
                  true);
        return;
    }
    if (AnyBoxInUse()) {
        DisconnectAllBoxes();
        return;
    }
    int initialised = 0;
    for (auto& box : boxes_) {
        if (box->IsConfigured() && box->InitializeBox()) ++initialised;
    }
    if (initialised == 0) {
        AlertLine(Tr("No Tarvex box has been successfully initialized in your configuration !!!",
                     "Aucun boîtier Tarvex n'a été initialisé avec succès dans votre configuration !!!"),
                  true);
        view_.BringToFront();
        RefreshCountersNow();
        return;
    }
    RefreshCountersNow();
    DetectionTable::Instance().Journal().Open(options_.sessionFileName);
    for (int i = 0; i < kBoxCount; ++i) {
        if (boxes_[i]->IsConnected()) StartBoxThread(i);
    }
    view_.PlaySound(Sound::BoxesConnected);
    RefreshCountersNow();
}

void MainController::OnBoxState(int boxNumber, bool unexpected) {
    int index = boxNumber - 1;
    if (index < 0 || index >= kBoxCount) return;
    CTarvexBox& box = *boxes_[index];
    ShowBoxState(index);
    if (box.IsConnected() || box.IsInUse()) return;
    // Still running threads end here; this may deliver further messages meanwhile.
    if (box.threadRunning.load()) {
        DisconnectBox(index);
    } else {
        box.JoinThread();
    }
    if (unexpected) {
        view_.PlaySound(Sound::BoxLost);
        if (CurrentIntakeSettings().reconnectSeconds != 0) {
            Log(0, fmt::sprintf("APP FOUND UNEXPECTED CNX ERROR for box %d and will restart BoxThread",
                                boxNumber));
            StartBoxThread(index);
        }
    }
    RefreshCountersNow();
}

void MainController::SynchronizeBoxes() {
    if (!view_.AskYesNo(Tr("Are you sure you want to synchronize connected Tarvex boxes ?\n"
                           "This will update their internal clock,\nand exit temporarily from the "
                           "acquisition mode.",
                           "Etes vous certain de vouloir synchroniser les boîtiers connectés ?\n"
                           "Cela provoque une mise à jour de leur horloge interne,\net les sort "
                           "temporairement du mode acquisition.")))
        return;
    for (auto& box : boxes_) {
        if (box->IsConfigured() && box->IsConnected() && !box->IsSerial()) box->SetBoxClock();
    }
}

void MainController::RequestBoxesTime() {
    for (auto& box : boxes_) {
        if (box->IsConnected()) box->RequestBoxTime();
    }
}

void MainController::DeclareBox(int index, const std::string& host, int port, const std::string& detectorId) {
    CTarvexBox& box = *boxes_.at(index);
    // Serial boxes get their own transport once it exists; until then a COM host
    // keeps a TCP transport, which cannot connect to it and says so.
    if (!box.Transport()) {
        auto tcp = std::make_unique<CTcpComBox>();
        box.SetTransport(std::move(tcp));
    }
    box.SetParameters(detectorId, host, port);
}

void MainController::LoadBoxDeclarations() {
    for (int i = 0; i < kBoxCount; ++i) {
        BoxDeclaration d = LoadBoxSettings(i);
        DeclareBox(i, d.host, d.port, d.detectorId);
    }
}

void MainController::SaveBoxDeclarations() {
    for (int i = 0; i < kBoxCount; ++i) {
        BoxDeclaration d;
        boxes_[i]->GetParameters(d.detectorId, d.host, d.port);
        SaveBoxSettings(i, d);
    }
}

}  // namespace lv
