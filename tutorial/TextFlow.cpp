#include "tutorial/TextFlow.h"

#include <optional>

namespace dimwell {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

class LineBuilder {
public:
    LineBuilder(const std::vector<MarkupRun>& runs, double width, const FlowMeasure& measure)
        : runs_(runs), width_(width), measure_(measure) {}

    void addPiece(size_t run, std::string text) {
        if (!text.empty()) {
            word_.push_back({run, std::move(text), 0.0, 0.0});
        }
    }

    void addBlank(size_t run) {
        finishWord();
        if (!blankRun_ && !lines_.back().empty()) {
            blankRun_ = run;
        }
    }

    void breakLine() {
        finishWord();
        lines_.emplace_back();
        x_ = 0.0;
        blankRun_.reset();
    }

    std::vector<FlowLine> take() {
        finishWord();
        return std::move(lines_);
    }

private:
    void finishWord() {
        if (word_.empty()) {
            return;
        }
        double wordWidth = 0.0;
        for (auto& piece : word_) {
            piece.width = measure_(runs_[piece.run], piece.text);
            wordWidth += piece.width;
        }
        const double blank = blankRun_ ? measure_(runs_[*blankRun_], " ") : 0.0;
        if (!lines_.back().empty() && x_ + blank + wordWidth > width_) {
            lines_.emplace_back();
            x_ = 0.0;
        } else {
            x_ += blank;
        }
        for (auto& piece : word_) {
            piece.x = x_;
            x_ += piece.width;
            lines_.back().push_back(std::move(piece));
        }
        word_.clear();
        blankRun_.reset();
    }

    const std::vector<MarkupRun>& runs_;
    double width_;
    const FlowMeasure& measure_;
    std::vector<FlowLine> lines_{FlowLine{}};
    FlowLine word_;
    std::optional<size_t> blankRun_; ///< the run whose blank precedes the next word
    double x_ = 0.0;
};

} // namespace

std::vector<FlowLine> flowText(const std::vector<MarkupRun>& runs, double width, const FlowMeasure& measure) {
    LineBuilder builder(runs, width, measure);
    for (size_t r = 0; r < runs.size(); ++r) {
        const MarkupRun& run = runs[r];
        switch (run.kind) {
        case MarkupRun::Kind::LineBreak:
            builder.breakLine();
            break;
        case MarkupRun::Kind::KeyCap:
            builder.addPiece(r, run.text);
            break;
        case MarkupRun::Kind::Text: {
            std::string pending;
            for (const char c : run.text) {
                if (isBlank(c)) {
                    builder.addPiece(r, std::move(pending));
                    pending.clear();
                    builder.addBlank(r);
                } else {
                    pending += c;
                }
            }
            builder.addPiece(r, std::move(pending));
            break;
        }
        }
    }
    std::vector<FlowLine> lines = builder.take();
    if (lines.size() == 1 && lines.front().empty()) {
        lines.clear();
    }
    return lines;
}

} // namespace dimwell
