// Draws the large pictures; used only by the make_pictures generator.
#pragma once

#include <QImage>

#include "app/main/pictures.h"

namespace orvexa::app {

QImage draw_picture(Picture which);

}  // namespace orvexa::app
