#pragma once
// The cloud's API key and token live in the settings file: only its owner may read it.

namespace lv {

// Makes the settings file readable by its owner alone. The store keeps a replaced
// file's mode, so calling it around each write of a private value holds.
void KeepSettingsPrivate();

}  // namespace lv
