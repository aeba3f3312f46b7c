#include "tutorial/ImageView.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMovie>
#include <QPainter>

#include <cmath>

namespace dimwell {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}

ImageView::~ImageView() = default;

void ImageView::setImageFile(const QString& path) {
    movie_.reset();
    still_ = QPixmap();
    // Checked first so that an absent picture costs nothing and says nothing.
    if (QFileInfo(path).isFile()) {
        if (QImageReader(path).supportsAnimation()) {
            auto movie = std::make_unique<QMovie>(path);
            if (movie->isValid()) {
                connect(movie.get(), &QMovie::updated, this, [this] { update(); });
                movie_ = std::move(movie);
                if (animates_) {
                    movie_->start();
                } else {
                    movie_->jumpToFrame(0);
                }
            }
        } else {
            still_.load(path);
        }
    }
    update();
}

bool ImageView::hasImage() const { return movie_ != nullptr || !still_.isNull(); }

void ImageView::setAnimates(bool animates) {
    animates_ = animates;
    if (!movie_) {
        return;
    }
    if (animates) {
        if (movie_->state() == QMovie::NotRunning) {
            movie_->start(); // from the first frame
        }
    } else {
        movie_->stop();
    }
}

void ImageView::paintEvent(QPaintEvent*) {
    const QPixmap image = movie_ ? movie_->currentPixmap() : still_;
    if (image.isNull()) {
        return;
    }
    QSizeF size = image.deviceIndependentSize();
    if (size.width() > width() || size.height() > height()) {
        size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
    }
    const QRectF target(std::round((width() - size.width()) / 2), std::round((height() - size.height()) / 2), size.width(),
                        size.height());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, image, QRectF(image.rect()));
}

} // namespace dimwell
