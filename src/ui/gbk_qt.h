#pragma once
// The Qt layer's edge: program text is GBK bytes, Qt speaks UTF-16.
#include <QString>
#include <string>

#include "util/codepage.h"

namespace quillet {

inline QString FromGbk(const std::string& text) { return QString::fromStdString(Utf8FromGbk(text)); }
inline std::string ToGbk(const QString& text) { return GbkFromUtf8(text.toStdString()); }

}  // namespace quillet
