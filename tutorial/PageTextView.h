#pragma once
// A page text: the small HTML of a tutorial page drawn straight onto the page,
// key caps as little white keys with a rounded black border. It shows text and
// nothing more: no background of its own, no selection, no context menu.

#include "tutorial/PageMarkup.h"
#include "tutorial/TextFlow.h"

#include <QFont>
#include <QWidget>

#include <string>
#include <vector>

namespace dimwell {

class PageTextView : public QWidget {
    Q_OBJECT
public:
    explicit PageTextView(QWidget* parent = nullptr);

    /// Shows `html`; text that is not one div element leaves the view blank.
    void loadHTMLString(const std::string& html);

    /// The runs shown, for readers that want the words rather than the pixels.
    const std::vector<MarkupRun>& runs() const { return runs_; }

    /// Height the text needs at `width`, margins included.
    int heightForWidth(int width) const override;
    bool hasHeightForWidth() const override { return true; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    const CssStyle& spanStyle(const MarkupRun& run) const;
    QFont fontFor(const MarkupRun& run) const;
    double pieceWidth(const MarkupRun& run, std::string_view text) const;
    std::vector<FlowLine> layoutFor(double columnWidth) const;
    void relayout();
    void drawKeyCap(QPainter& painter, const FlowPiece& piece, const MarkupRun& run, double left, double baseline) const;

    CssStyle divStyle_;
    std::vector<MarkupRun> runs_;
    std::vector<CssStyle> runStyles_; ///< resolved span style per run
    QFont baseFont_;
    double lineHeight_ = 0.0;
    std::vector<FlowLine> lines_;
};

} // namespace dimwell
