#include "ui/QrCode.h"

#include <qrencode.h>

#include <QPainter>

#include <memory>
#include <vector>

namespace {

constexpr int kQuietZone = 4;

// The modules row by row, quiet zone included; an empty matrix on failure.
std::vector<std::vector<bool>> modules(const QByteArray &text, int *side)
{
    std::unique_ptr<QRcode, void (*)(QRcode *)> code(
        QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M), QRcode_free);
    if (!code || code->width <= 0) {
        *side = 0;
        return {};
    }
    const int width = code->width;
    *side = width + 2 * kQuietZone;
    std::vector<std::vector<bool>> dark(*side, std::vector<bool>(*side, false));
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < width; ++x)
            dark[y + kQuietZone][x + kQuietZone] = (code->data[y * width + x] & 1) != 0; // bit 0: dark
    }
    return dark;
}

} // namespace

QImage qrCodeImage(const QByteArray &text, int moduleSize)
{
    int side = 0;
    const std::vector<std::vector<bool>> dark = modules(text, &side);
    if (side == 0 || moduleSize <= 0)
        return QImage();
    QImage image(side * moduleSize, side * moduleSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            if (dark[y][x])
                painter.fillRect(x * moduleSize, y * moduleSize, moduleSize, moduleSize, Qt::black);
        }
    }
    return image;
}
