#pragma once
// A text as a QR code image (libqrencode's encoder, error correction level
// M), black modules on white with the four-module quiet zone that readers
// need.

#include <QByteArray>
#include <QImage>

// Each module `moduleSize` pixels square; a null image when the text does
// not fit a QR code.
QImage qrCodeImage(const QByteArray &text, int moduleSize);

