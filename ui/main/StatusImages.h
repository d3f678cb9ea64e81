#pragma once
// Pictures of the status views: the three state icons, the nozzle colour swatches and the
// door-sensor picture. Pure white is transparent in all of them.
#include <QImage>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <unordered_map>
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

// Every picture the views show, made once and handed out again for the same state: a cell
// given an unchanged state then gets the same pixmap (same cache key), keeps its icon and is
// not repainted, and no pass adds pictures or icons to Qt's caches.
class StatusPictures {
public:
    const QPixmap& State(int index);  // a null pixmap for an index that is no state icon
    const QPixmap& Door(uint8_t bits);  // only bits 0 and 1 are shown
    const QPixmap& Swatch(uint32_t colour);  // the top byte is not shown
    // Pictures made so far.
    int Made() const { return made_; }

private:
    std::array<QPixmap, 3> states_;
    std::array<QPixmap, 4> doors_;
    // Colours come from the wire: held to a few, beyond the 30 cells that show them at once.
    std::unordered_map<uint32_t, QPixmap> swatches_;
    int made_ = 0;
};
