#pragma once
// Colours, pictures with masks, and a drawing surface for pictures and for
// list cells painted by program code.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QPainter;
class QImage;

struct Color {
  std::uint8_t r = 0, g = 0, b = 0;
};

// RGB(215, 221, 229); ColorFromHex(0xD7DDE5) for the &hRRGGBB form.
inline Color RGB(int r, int g, int b)
{
  return Color{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
}
inline Color ColorFromHex(std::uint32_t rgb)
{
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

class Picture;

// A surface in local coordinates (0, 0 is the top left of what it draws on).
class Graphics {
public:
  Graphics(QPainter& painter, int width, int height);
  void SetForeColor(Color c);
  Color ForeColor() const { return fore_; }
  void FillRect(int x, int y, int width, int height);
  // Draws the picture at its own size; a null picture draws nothing.
  void DrawPicture(const Picture* picture, int x, int y);
  // The platform's caution (warning) icon, size pixels square.
  void DrawCautionIcon(int x, int y, int size = 64);
  int Width() const { return width_; }
  int Height() const { return height_; }

private:
  QPainter& painter_;
  int width_, height_;
  Color fore_;
};

// An image; its mask (created on request) is drawn black where the image
// shows and white where it is transparent.
class Picture {
public:
  Picture(int width, int height, int depth = 32);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  int Width() const;
  int Height() const;
  Picture& Mask();
  bool HasMask() const { return mask_ != nullptr; }

  // Runs draw with a surface on this picture.
  void Draw(const std::function<void(Graphics&)>& draw);

  // Framework use.
  QImage& Image();
  const QImage& Image() const;
  static std::unique_ptr<Picture> FromImage(const QImage& image);

private:
  std::unique_ptr<QImage> image_;
  std::unique_ptr<Picture> mask_;
};

// A picture of the application's own resources, by its number; nullptr when
// there is none.
std::unique_ptr<Picture> LoadResourcePicture(int id);
