#include "ui/main/StatusImages.h"

#include <QPainter>
#include <array>

#include "engine/Views.h"

namespace {

struct IconLook {
    QColor fill;
    bool cross;  // a cross, else a check
};
// Indexed like Images::RedCross, GreenCheck, GreyCheck.
const std::array<IconLook, 3> kIconLooks{{
    {QColor(0xD0, 0x20, 0x20), true},
    {QColor(0x20, 0xA0, 0x30), false},
    {QColor(0x90, 0x90, 0x90), false},
}};

QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    return image;
}

}  // namespace

QImage WhiteAsTransparent(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0x00FFFFFFu) == 0x00FFFFFFu) line[x] = qRgba(0, 0, 0, 0);
    }
    return out;
}

QImage StateIcon(int index) {
    QImage image = Blank(kIconSize, kIconSize);
    if (index < 0 || index >= int(kIconLooks.size())) return WhiteAsTransparent(image);
    const IconLook& look = kIconLooks[size_t(index)];
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(look.fill);
    p.drawRoundedRect(QRectF(1, 1, 14, 14), 2, 2);
    // Almost white, so the mark survives the white transparency.
    p.setPen(QPen(QColor(0xFE, 0xFE, 0xFE), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (look.cross) {
        p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    } else {
        const QPointF check[] = {{3.5, 8.5}, {6.5, 11.5}, {12.5, 4.5}};
        p.drawPolyline(check, 3);
    }
    p.end();
    return WhiteAsTransparent(image);
}

QImage NozzleSwatch(uint32_t colour) {
    QImage image = Blank(kIconSize, kIconSize);
    QPainter p(&image);
    p.setPen(Qt::black);
    p.setBrush(QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    p.drawRect(0, 0, kIconSize - 1, kIconSize - 1);
    p.end();
    return WhiteAsTransparent(image);
}

std::pair<int, int> DoorSensorIcons(uint8_t bits) {
    auto icon = [](bool open) { return open ? Images::RedCross : Images::GreenCheck; };
    return {icon(bits & 1), icon(bits & 2)};
}

QImage DoorSensorPicture(uint8_t bits) {
    const auto [left, right] = DoorSensorIcons(bits);
    QImage image(2 * kIconSize, kIconSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.drawImage(0, 0, StateIcon(left));
    p.drawImage(kIconSize, 0, StateIcon(right));
    p.end();
    return image;
}

namespace {
constexpr size_t kKeptSwatches = 64;
}

const QPixmap& StatusPictures::State(int index) {
    static const QPixmap none;
    if (index < 0 || index >= int(states_.size())) return none;
    QPixmap& picture = states_[size_t(index)];
    if (picture.isNull()) {
        picture = QPixmap::fromImage(StateIcon(index));
        ++made_;
    }
    return picture;
}

const QPixmap& StatusPictures::Door(uint8_t bits) {
    QPixmap& picture = doors_[bits & 3];
    if (picture.isNull()) {
        picture = QPixmap::fromImage(DoorSensorPicture(bits & 3));
        ++made_;
    }
    return picture;
}

const QPixmap& StatusPictures::Swatch(uint32_t colour) {
    const uint32_t shown = colour & 0xFFFFFF;
    if (const auto found = swatches_.find(shown); found != swatches_.end()) return found->second;
    // The cells hold their own copies: dropping the others only costs a remake should they return.
    if (swatches_.size() >= kKeptSwatches) swatches_.clear();
    ++made_;
    return swatches_.emplace(shown, QPixmap::fromImage(NozzleSwatch(shown))).first->second;
}
