#pragma once
// The small piece of HTML and CSS the tutorial pages are written in: one styled
// div holding text with bold, italic, line breaks, entities and styled spans
// (the key caps). Parsing stays free of any toolkit so it can be checked alone.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dimwell {

struct MarkupRun {
    enum class Kind { Text, KeyCap, LineBreak };
    Kind kind = Kind::Text;
    std::string text;  ///< UTF-8, entities decoded, whitespace as written
    bool bold = false;
    bool italic = false;
    std::string style; ///< the enclosing span's style attribute (key caps only)
    friend bool operator==(const MarkupRun&, const MarkupRun&) = default;
};

struct PageMarkup {
    std::string style; ///< the div's style attribute
    std::vector<MarkupRun> runs;
};

/// The runs of a page; nullopt unless the text is exactly one div element.
std::optional<PageMarkup> parsePageMarkup(std::string_view html);

/// "a: b; c: d" as ordered (lower-case property, value) pairs, blanks trimmed.
std::vector<std::pair<std::string, std::string>> parseStyleDeclarations(std::string_view style);

struct CssLength {
    enum class Unit { Px, Em };
    double value = 0.0;
    Unit unit = Unit::Px;
    /// In pixels, for the font size em lengths refer to.
    double px(double emPx) const { return unit == Unit::Em ? value * emPx : value; }
    friend bool operator==(const CssLength&, const CssLength&) = default;
};

struct CssColor {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const CssColor&, const CssColor&) = default;
};

/// The properties the pages use; anything else is ignored. Box edges are in
/// CSS order: top, right, bottom, left.
struct CssStyle {
    std::vector<std::string> fontFamilies;
    std::optional<CssLength> fontSize;
    std::optional<CssLength> lineHeight;
    std::array<CssLength, 4> margin{};
    std::array<CssLength, 4> padding{};
    CssLength borderRadius{};
    CssLength borderWidth{};
    std::optional<CssColor> borderColor;
    std::optional<CssColor> background;
    bool noWrap = false;
};

CssStyle resolveStyle(std::string_view style);

} // namespace dimwell
