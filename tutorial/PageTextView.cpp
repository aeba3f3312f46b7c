#include "tutorial/PageTextView.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace dimwell {
namespace {

constexpr double kDefaultFontPx = 16.0; // a browser's medium size
constexpr int kTop = 0, kRight = 1, kBottom = 2, kLeft = 3;

QColor toQColor(const CssColor& c) { return QColor(c.r, c.g, c.b); }

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

PageTextView::PageTextView(QWidget* parent) : QWidget(parent) {
    // Only the page's words: the window's background shows through, and there
    // is nothing to select or to offer in a menu.
    setAutoFillBackground(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::NoFocus);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void PageTextView::loadHTMLString(const std::string& html) {
    runs_.clear();
    runStyles_.clear();
    divStyle_ = {};
    if (const auto page = parsePageMarkup(html)) {
        divStyle_ = resolveStyle(page->style);
        runs_ = page->runs;
        for (const auto& run : runs_) {
            runStyles_.push_back(run.kind == MarkupRun::Kind::KeyCap ? resolveStyle(run.style) : CssStyle{});
        }
    }

    baseFont_ = QFont();
    QStringList families;
    for (const auto& family : divStyle_.fontFamilies) {
        families << toQString(family);
    }
    if (!families.isEmpty()) {
        baseFont_.setFamilies(families);
    }
    baseFont_.setStyleHint(QFont::SansSerif);
    const double fontPx = divStyle_.fontSize ? divStyle_.fontSize->px(kDefaultFontPx) : kDefaultFontPx;
    baseFont_.setPixelSize(std::max(1, static_cast<int>(std::lround(fontPx))));
    lineHeight_ = divStyle_.lineHeight ? divStyle_.lineHeight->px(fontPx) : QFontMetricsF(baseFont_).lineSpacing();

    relayout();
    updateGeometry();
    update();
}

const CssStyle& PageTextView::spanStyle(const MarkupRun& run) const {
    // Runs handed to the flow are this view's own, so their place gives their style.
    return runStyles_[static_cast<size_t>(&run - runs_.data())];
}

QFont PageTextView::fontFor(const MarkupRun& run) const {
    QFont font = baseFont_;
    font.setBold(run.bold);
    font.setItalic(run.italic);
    if (run.kind == MarkupRun::Kind::KeyCap) {
        const CssStyle& style = spanStyle(run);
        if (style.fontSize) {
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(style.fontSize->px(baseFont_.pixelSize())))));
        }
    }
    return font;
}

double PageTextView::pieceWidth(const MarkupRun& run, std::string_view text) const {
    const QFont font = fontFor(run);
    const double advance = QFontMetricsF(font).horizontalAdvance(toQString(text));
    if (run.kind != MarkupRun::Kind::KeyCap) {
        return advance;
    }
    const CssStyle& style = spanStyle(run);
    const double em = font.pixelSize();
    return 2 * style.borderWidth.px(em) + style.padding[kLeft].px(em) + advance + style.padding[kRight].px(em);
}

std::vector<FlowLine> PageTextView::layoutFor(double columnWidth) const {
    return flowText(runs_, columnWidth,
                    [this](const MarkupRun& run, std::string_view text) { return pieceWidth(run, text); });
}

void PageTextView::relayout() {
    const double em = baseFont_.pixelSize();
    const double column = width() - divStyle_.margin[kLeft].px(em) - divStyle_.margin[kRight].px(em);
    lines_ = layoutFor(std::max(1.0, column));
}

int PageTextView::heightForWidth(int width) const {
    const double em = baseFont_.pixelSize();
    const double column = width - divStyle_.margin[kLeft].px(em) - divStyle_.margin[kRight].px(em);
    const auto lines = layoutFor(std::max(1.0, column));
    const double height = divStyle_.margin[kTop].px(em) + static_cast<double>(lines.size()) * lineHeight_ +
                          divStyle_.margin[kBottom].px(em);
    return static_cast<int>(std::ceil(height));
}

QSize PageTextView::sizeHint() const {
    const int w = width() > 0 ? width() : 400;
    return {w, heightForWidth(w)};
}

void PageTextView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void PageTextView::paintEvent(QPaintEvent*) {
    if (lines_.empty()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double em = baseFont_.pixelSize();
    const double left = divStyle_.margin[kLeft].px(em);
    const QFontMetricsF baseMetrics(baseFont_);
    // CSS half-leading: the glyphs sit in the middle of each line box.
    const double halfLeading = (lineHeight_ - (baseMetrics.ascent() + baseMetrics.descent())) / 2;
    double lineTop = divStyle_.margin[kTop].px(em);
    for (const auto& line : lines_) {
        const double baseline = std::round(lineTop + halfLeading + baseMetrics.ascent());
        for (const auto& piece : line) {
            const MarkupRun& run = runs_[piece.run];
            if (run.kind == MarkupRun::Kind::KeyCap) {
                drawKeyCap(painter, piece, run, left + piece.x, baseline);
            } else {
                painter.setFont(fontFor(run));
                painter.setPen(Qt::black);
                painter.drawText(QPointF(left + piece.x, baseline), toQString(piece.text));
            }
        }
        lineTop += lineHeight_;
    }
}

void PageTextView::drawKeyCap(QPainter& painter, const FlowPiece& piece, const MarkupRun& run, double left,
                              double baseline) const {
    const CssStyle& style = spanStyle(run);
    const QFont font = fontFor(run);
    const QFontMetricsF metrics(font);
    const double em = font.pixelSize();
    const double border = style.borderWidth.px(em);
    const double top = std::round(baseline - metrics.ascent() - style.padding[kTop].px(em) - border);
    const double bottom = std::round(baseline + metrics.descent() + style.padding[kBottom].px(em) + border);
    const double radius = style.borderRadius.px(em);
    // A 1px line is crisp when it runs along pixel centres.
    const QRectF outline = QRectF(std::round(left), top, std::round(piece.width), bottom - top)
                               .adjusted(border / 2, border / 2, -border / 2, -border / 2);

    QPainterPath path;
    path.addRoundedRect(outline, radius, radius);
    if (style.background) {
        painter.fillPath(path, toQColor(*style.background));
    }
    if (border > 0.0 && style.borderColor) {
        painter.strokePath(path, QPen(toQColor(*style.borderColor), border));
    }
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(left + border + style.padding[kLeft].px(em), baseline), toQString(piece.text));
}

} // namespace dimwell
