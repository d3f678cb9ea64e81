#pragma once
// Pictures of the status views: the three state icons, the nozzle colour swatches and the
// door-sensor picture. Pure white is transparent in all of them.
#include <QImage>
#include <cstdint>
#include <utility>

inline constexpr int kIconSize = 16;

// index as in Images:: of the view interface (red cross, green check, grey check)
QImage StateIcon(int index);
// 16 x 16, black one-pixel frame filled with the colour (red + green * 256 + blue * 65536).
QImage NozzleSwatch(uint32_t colour);
// Left and right halves of the door picture: bit 0 left, bit 1 right; red cross when set.
std::pair<int, int> DoorSensorIcons(uint8_t bits);
// 32 x 16 picture from the two icons above.
QImage DoorSensorPicture(uint8_t bits);
// Pure white pixels become transparent.
QImage WhiteAsTransparent(const QImage& image);
