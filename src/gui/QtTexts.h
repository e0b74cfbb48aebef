#pragma once
// Texts between the program (UTF-8 std::string, bilingual pairs) and Qt (QString).
#include <QString>

#include <string>

#include "base/Texts.h"

namespace lv {

// The text of the program's language.
inline QString T(const char* english, const char* french) { return QString::fromUtf8(Tr(english, french)); }
inline QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }
inline std::string FromQt(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace lv
