#include "picture.h"

#include <QFile>
#include <QImage>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace orvan::plot {

namespace {

constexpr int kScreenDpi = 96;

bool EndsWith(std::string_view path, std::string_view ending) {
  if (path.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), path.end() - ending.size(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

[[noreturn]] void CannotWrite(const std::string& path, const QString& why) {
  throw std::runtime_error(path + ": cannot write: " + why.toStdString());
}

void WritePng(const std::string& path, QSize size, const std::function<void(QPainter&)>& draw) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    draw(p);
  }
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) CannotWrite(path, file.errorString());
  if (!image.save(&file, "PNG")) CannotWrite(path, file.errorString());
}

void WriteSvg(const std::string& path, QSize size, const QString& title,
              const std::function<void(QPainter&)>& draw) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) CannotWrite(path, file.errorString());
  QSvgGenerator svg;
  svg.setOutputDevice(&file);
  // Qt writes the size in millimetres: at 96 dpi a browser shows one pixel
  // of the picture as one of its own.
  svg.setResolution(kScreenDpi);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setTitle(title);
  {
    QPainter p(&svg);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    draw(p);
  }
  if (file.error() != QFileDevice::NoError) CannotWrite(path, file.errorString());
}

}  // namespace

bool FormatOf(std::string_view path, PictureFormat& format) {
  if (EndsWith(path, ".png")) {
    format = PictureFormat::Png;
  } else if (EndsWith(path, ".svg")) {
    format = PictureFormat::Svg;
  } else {
    return false;
  }
  return true;
}

void WritePicture(const std::string& path, QSize size, const QString& title,
                  const std::function<void(QPainter&)>& draw) {
  PictureFormat format = PictureFormat::Png;
  if (!FormatOf(path, format)) throw std::runtime_error(path + ": not a .png or .svg name");
  if (format == PictureFormat::Png) {
    WritePng(path, size, draw);
  } else {
    WriteSvg(path, size, title, draw);
  }
}

}  // namespace orvan::plot
