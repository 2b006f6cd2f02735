#pragma once
// The decorative photograph of the purchase page: a landscape painted once
// and encoded as a JPEG file of 434 x 288 pixels.
#include <QByteArray>

namespace quillet {

const QByteArray& LandscapeJpeg();

}  // namespace quillet
