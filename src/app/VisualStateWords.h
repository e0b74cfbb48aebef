#pragma once
// The machine words of a box's and of the direct connection's states, as the headless
// output and the status page's JSON print them: scripts read them, so they never change
// with the language.
#include "app/MainView.h"

namespace lv {

inline const char* BoxStateWord(BoxVisualState state) {
    switch (state) {
        case BoxVisualState::Undefined: return "undefined";
        case BoxVisualState::NotConnected: return "not-connected";
        case BoxVisualState::Reconnecting: return "reconnecting";
        case BoxVisualState::Connected: return "connected";
    }
    return "undefined";
}

// A connected box that has read nothing for a while (BoxActivity::silent).
inline const char* BoxStateWord(BoxVisualState state, bool silent) {
    return silent && state == BoxVisualState::Connected ? "silent" : BoxStateWord(state);
}

inline const char* LinkStateWord(LinkVisualState state) {
    switch (state) {
        case LinkVisualState::Off: return "off";
        case LinkVisualState::Connecting: return "connecting";
        case LinkVisualState::Connected: return "connected";
    }
    return "off";
}

}  // namespace lv
