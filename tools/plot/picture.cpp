#include "picture.h"

#include <QBuffer>
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

void WritePng(QIODevice& file, const std::string& path, QSize size,
              const std::function<void(QPainter&)>& draw) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    draw(p);
  }
  if (!image.save(&file, "PNG")) CannotWrite(path, file.errorString());
}

void WriteSvg(QIODevice& file, QSize size, const QString& title,
              const std::function<void(QPainter&)>& draw) {
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
}

void Write(QIODevice& file, const std::string& path, PictureFormat format, QSize size,
           const QString& title, const std::function<void(QPainter&)>& draw) {
  if (format == PictureFormat::Png) {
    WritePng(file, path, size, draw);
  } else {
    WriteSvg(file, size, title, draw);
  }
}

PictureFormat FormatFor(const std::string& path) {
  PictureFormat format = PictureFormat::Png;
  if (!FormatOf(path, format)) throw std::runtime_error(path + ": not a .png or .svg name");
  return format;
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
  const PictureFormat format = FormatFor(path);
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) CannotWrite(path, file.errorString());
  Write(file, path, format, size, title, draw);
  if (file.error() != QFileDevice::NoError) CannotWrite(path, file.errorString());
}

std::string PictureBytes(const std::string& path, QSize size, const QString& title,
                         const std::function<void(QPainter&)>& draw) {
  const PictureFormat format = FormatFor(path);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  Write(buffer, path, format, size, title, draw);
  return bytes.toStdString();
}

}  // namespace orvan::plot
