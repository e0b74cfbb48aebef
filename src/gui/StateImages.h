#pragma once
// The window's images, drawn at run time: the four box states, the three states of
// the direct-connection toggle, the removed-detection marker, the warning sign and
// the program icon.
#include <QIcon>
#include <QPixmap>

#include "app/MainView.h"

namespace lv {

QPixmap BoxStateImage(BoxVisualState state, int size = 32);
// A connected box that reads nothing: the connected box with its light off.
QPixmap BoxSilentImage(int size = 32);
QPixmap LinkStateImage(LinkVisualState state, int size = 32);
QPixmap RemovedMarkerImage(int size = 14);
QPixmap WarningImage(int size = 24);
QIcon ProgramIcon();

}  // namespace lv
