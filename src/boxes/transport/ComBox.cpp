#include "boxes/transport/ComBox.h"

namespace lv {

std::string CComBox::LastComponent(const std::string& text) {
    std::size_t dot = text.rfind('.');
    return dot == std::string::npos ? text : text.substr(dot + 1);
}

}  // namespace lv
