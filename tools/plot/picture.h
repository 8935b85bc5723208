#pragma once

#include <QPainter>
#include <QSize>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

namespace orvan::plot {

enum class PictureFormat { Png, Svg };

// The format a file name's ending asks for (.png or .svg, in any case); false
// for any other ending.
bool FormatOf(std::string_view path, PictureFormat& format);

// Draws a picture of `size` pixels on white with `draw` and writes it to
// `path` as its ending asks: a PNG, or an SVG with `title`. Throws
// std::runtime_error when the file cannot be written. Needs a
// QGuiApplication, for the fonts.
void WritePicture(const std::string& path, QSize size, const QString& title,
                  const std::function<void(QPainter&)>& draw);

// The same picture as the bytes of the file `path` would hold, for a caller
// that writes the file itself.
std::string PictureBytes(const std::string& path, QSize size, const QString& title,
                         const std::function<void(QPainter&)>& draw);

}  // namespace orvan::plot
