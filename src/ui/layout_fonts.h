#pragma once
// The faces the two windows are drawn with, the same whatever the locale the
// program starts in: a CJK face at 12 pixels where a control names no face,
// and CJK faces of the same kind for the Windows faces the layout names
// (楷体, 新宋体, 微软雅黑, 黑体), which Linux systems do not have. Characters
// beyond the face (rare name characters such as 𠮷) fall back to the other
// CJK faces that are installed.
#include <QFont>
#include <QString>

namespace quillet {

// The face of every control that names none: Noto Sans CJK SC.
QString DefaultLayoutFace();
// That face at the window's 12 pixels.
QFont DefaultLayoutFont();
// Maps the layout's Windows faces to installed faces; idempotent, and done
// before the first WithCjkFallback.
void UseLayoutFaces();
// `families`, each followed by its substitutes, with the CJK faces appended, so that the first installed face
// wins and missing glyphs come from a CJK face rather than from a
// locale-dependent default.
QStringList WithCjkFallback(const QStringList& families);

}  // namespace quillet
