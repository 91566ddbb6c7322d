#include "Graphics.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QImage>
#include <QPainter>

Graphics::Graphics(QPainter& painter, int width, int height) : painter_(painter), width_(width), height_(height) {}

void Graphics::SetForeColor(Color c) { fore_ = c; }

void Graphics::FillRect(int x, int y, int width, int height)
{
  painter_.fillRect(x, y, width, height, QColor(fore_.r, fore_.g, fore_.b));
}

void Graphics::DrawPicture(const Picture* picture, int x, int y)
{
  if (picture)
    painter_.drawImage(x, y, picture->Image());
}

void Graphics::DrawCautionIcon(int x, int y, int size)
{
  const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
  painter_.drawPixmap(x, y, icon.pixmap(size, size));
}

Picture::Picture(int width, int height, int /*depth*/)
    : image_(std::make_unique<QImage>(width, height, QImage::Format_ARGB32))
{
  image_->fill(Qt::white);
}

Picture::~Picture() = default;

int Picture::Width() const { return image_->width(); }
int Picture::Height() const { return image_->height(); }

Picture& Picture::Mask()
{
  if (!mask_)
    mask_ = std::make_unique<Picture>(Width(), Height());
  return *mask_;
}

void Picture::Draw(const std::function<void(Graphics&)>& draw)
{
  QPainter p(image_.get());
  Graphics g(p, Width(), Height());
  draw(g);
}

QImage& Picture::Image() { return *image_; }
const QImage& Picture::Image() const { return *image_; }

std::unique_ptr<Picture> Picture::FromImage(const QImage& image)
{
  auto p = std::make_unique<Picture>(image.width(), image.height());
  *p->image_ = image.convertToFormat(QImage::Format_ARGB32);
  return p;
}

static void initResources()
{
  static bool done = false;
  if (!done) {
    Q_INIT_RESOURCE(pictures);
    done = true;
  }
}

std::unique_ptr<Picture> LoadResourcePicture(int id)
{
  initResources();
  QImage img(QStringLiteral(":/pictures/%1.png").arg(id));
  if (img.isNull())
    return nullptr;
  return Picture::FromImage(img);
}
