#pragma once
// A picture on a tutorial page: a still image or an animation, centred and
// scaled down (never up) to fit. A missing picture leaves the view empty.

#include <QPixmap>
#include <QWidget>

#include <memory>

class QMovie;

namespace dimwell {

class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);
    ~ImageView() override;

    /// Shows the picture in `path`; a missing or unreadable file shows nothing.
    void setImageFile(const QString& path);
    bool hasImage() const;

    /// Plays or stops an animation; stopped and started again, it plays from its first frame.
    void setAnimates(bool animates);
    bool animates() const { return animates_; }

    /// The animation being shown, if the picture is one.
    QMovie* movie() const { return movie_.get(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap still_;
    std::unique_ptr<QMovie> movie_;
    bool animates_ = true;
};

} // namespace dimwell
