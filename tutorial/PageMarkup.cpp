#include "tutorial/PageMarkup.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace dimwell {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::optional<char32_t> entityCodePoint(std::string_view name) {
    static constexpr std::pair<std::string_view, char32_t> named[] = {
        {"amp", U'&'},     {"lt", U'<'},      {"gt", U'>'},      {"quot", U'"'},    {"apos", U'\''},
        {"nbsp", U'\u00A0'}, {"mdash", U'\u2014'}, {"ndash", U'\u2013'}, {"hellip", U'\u2026'},
    };
    for (const auto& [n, cp] : named) {
        if (n == name) {
            return cp;
        }
    }
    if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        unsigned long value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
        if (ec == std::errc() && end == digits.data() + digits.size() && !digits.empty() && value > 0 && value <= 0x10FFFF) {
            return static_cast<char32_t>(value);
        }
    }
    return std::nullopt;
}

/// Text between tags with its entities replaced; an unknown entity stays as written.
std::string decodeText(std::string_view raw) {
    std::string out;
    size_t i = 0;
    while (i < raw.size()) {
        if (raw[i] == '&') {
            const size_t semi = raw.find(';', i + 1);
            if (semi != std::string_view::npos && semi - i <= 10) {
                if (const auto cp = entityCodePoint(raw.substr(i + 1, semi - i - 1))) {
                    appendUtf8(out, *cp);
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += raw[i++];
    }
    return out;
}

struct Tag {
    std::string name;
    bool closing = false;
    bool selfClosing = false;
    std::vector<std::pair<std::string, std::string>> attributes;

    std::string attribute(std::string_view key) const {
        for (const auto& [k, v] : attributes) {
            if (k == key) {
                return v;
            }
        }
        return {};
    }
};

/// The tag starting at text[pos] == '<'; pos moves past its '>'.
std::optional<Tag> parseTag(std::string_view text, size_t& pos) {
    size_t i = pos + 1;
    Tag tag;
    if (i < text.size() && text[i] == '/') {
        tag.closing = true;
        ++i;
    }
    const size_t nameStart = i;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) != 0)) {
        ++i;
    }
    if (i == nameStart) {
        return std::nullopt;
    }
    tag.name = lower(text.substr(nameStart, i - nameStart));
    for (;;) {
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
        if (i >= text.size()) {
            return std::nullopt;
        }
        if (text[i] == '>') {
            pos = i + 1;
            return tag;
        }
        if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '>') {
            tag.selfClosing = true;
            pos = i + 2;
            return tag;
        }
        const size_t keyStart = i;
        while (i < text.size() && !isBlank(text[i]) && text[i] != '=' && text[i] != '>' && text[i] != '/') {
            ++i;
        }
        if (i == keyStart) {
            return std::nullopt;
        }
        std::string key = lower(text.substr(keyStart, i - keyStart));
        std::string value;
        if (i < text.size() && text[i] == '=') {
            ++i;
            if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) {
                return std::nullopt;
            }
            const char quote = text[i];
            const size_t end = text.find(quote, i + 1);
            if (end == std::string_view::npos) {
                return std::nullopt;
            }
            value = decodeText(text.substr(i + 1, end - i - 1));
            i = end + 1;
        }
        tag.attributes.emplace_back(std::move(key), std::move(value));
    }
}

void appendRun(std::vector<MarkupRun>& runs, MarkupRun run) {
    if (run.kind != MarkupRun::Kind::LineBreak && !runs.empty()) {
        MarkupRun& last = runs.back();
        if (last.kind == run.kind && last.bold == run.bold && last.italic == run.italic && last.style == run.style) {
            last.text += run.text;
            return;
        }
    }
    runs.push_back(std::move(run));
}

std::optional<CssLength> parseLength(std::string_view token) {
    token = trim(token);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc()) {
        return std::nullopt;
    }
    const std::string unit = lower(token.substr(static_cast<size_t>(end - token.data())));
    if (unit == "px" || (unit.empty() && value == 0.0)) {
        return CssLength{value, CssLength::Unit::Px};
    }
    if (unit == "em") {
        return CssLength{value, CssLength::Unit::Em};
    }
    return std::nullopt;
}

std::optional<CssColor> parseColor(std::string_view token) {
    const std::string t = lower(trim(token));
    static constexpr std::pair<std::string_view, CssColor> named[] = {
        {"black", {0, 0, 0}},       {"white", {255, 255, 255}}, {"gray", {128, 128, 128}},
        {"grey", {128, 128, 128}},  {"silver", {192, 192, 192}}, {"red", {255, 0, 0}},
        {"green", {0, 128, 0}},     {"blue", {0, 0, 255}},
    };
    for (const auto& [n, c] : named) {
        if (n == t) {
            return c;
        }
    }
    if (t.size() != 4 && t.size() != 7) {
        return std::nullopt;
    }
    if (t[0] != '#' || !std::all_of(t.begin() + 1, t.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return std::nullopt;
    }
    const auto hex = [&](size_t at, size_t len) {
        unsigned v = static_cast<unsigned>(std::strtoul(t.substr(at, len).c_str(), nullptr, 16));
        return static_cast<std::uint8_t>(len == 1 ? v * 17 : v);
    };
    return t.size() == 4 ? CssColor{hex(1, 1), hex(2, 1), hex(3, 1)} : CssColor{hex(1, 2), hex(3, 2), hex(5, 2)};
}

std::vector<std::string_view> splitBlanks(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isBlank(s[i])) {
            ++i;
        }
        const size_t start = i;
        while (i < s.size() && !isBlank(s[i])) {
            ++i;
        }
        if (i > start) {
            out.push_back(s.substr(start, i - start));
        }
    }
    return out;
}

/// CSS shorthand for box edges: one to four values, top right bottom left.
std::optional<std::array<CssLength, 4>> parseEdges(std::string_view value) {
    std::vector<CssLength> v;
    for (const auto token : splitBlanks(value)) {
        const auto length = parseLength(token);
        if (!length) {
            return std::nullopt;
        }
        v.push_back(*length);
    }
    switch (v.size()) {
    case 1: return std::array{v[0], v[0], v[0], v[0]};
    case 2: return std::array{v[0], v[1], v[0], v[1]};
    case 3: return std::array{v[0], v[1], v[2], v[1]};
    case 4: return std::array{v[0], v[1], v[2], v[3]};
    default: return std::nullopt;
    }
}

} // namespace

std::optional<PageMarkup> parsePageMarkup(std::string_view html) {
    html = trim(html);
    size_t pos = 0;
    if (html.empty() || html[0] != '<') {
        return std::nullopt;
    }
    const auto outer = parseTag(html, pos);
    if (!outer || outer->name != "div" || outer->closing || outer->selfClosing) {
        return std::nullopt;
    }
    PageMarkup page;
    page.style = outer->attribute("style");

    int bold = 0;
    int italic = 0;
    int nestedDivs = 0;
    std::vector<std::string> spanStyles;
    while (pos < html.size()) {
        if (html[pos] != '<') {
            const size_t end = std::min(html.find('<', pos), html.size());
            MarkupRun run;
            run.text = decodeText(html.substr(pos, end - pos));
            run.bold = bold > 0;
            run.italic = italic > 0;
            if (!spanStyles.empty()) {
                run.kind = MarkupRun::Kind::KeyCap;
                run.style = spanStyles.back();
            }
            appendRun(page.runs, std::move(run));
            pos = end;
            continue;
        }
        const auto tag = parseTag(html, pos);
        if (!tag) {
            return std::nullopt;
        }
        const int step = tag->closing ? -1 : (tag->selfClosing ? 0 : 1);
        if (tag->name == "b" || tag->name == "strong") {
            bold = std::max(0, bold + step);
        } else if (tag->name == "i" || tag->name == "em") {
            italic = std::max(0, italic + step);
        } else if (tag->name == "br" && !tag->closing) {
            page.runs.push_back({MarkupRun::Kind::LineBreak, {}, false, false, {}});
        } else if (tag->name == "span") {
            if (step > 0) {
                spanStyles.push_back(tag->attribute("style"));
            } else if (step < 0 && !spanStyles.empty()) {
                spanStyles.pop_back();
            }
        } else if (tag->name == "div") {
            if (step < 0 && nestedDivs == 0) {
                // The page's own div closed: only blanks may follow.
                return trim(html.substr(pos)).empty() ? std::optional<PageMarkup>(std::move(page)) : std::nullopt;
            }
            nestedDivs += step;
        }
    }
    return std::nullopt; // the div was never closed
}

std::vector<std::pair<std::string, std::string>> parseStyleDeclarations(std::string_view style) {
    std::vector<std::pair<std::string, std::string>> out;
    while (!style.empty()) {
        const size_t semi = std::min(style.find(';'), style.size());
        const std::string_view decl = style.substr(0, semi);
        style.remove_prefix(std::min(semi + 1, style.size()));
        const size_t colon = decl.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const std::string_view property = trim(decl.substr(0, colon));
        if (!property.empty()) {
            out.emplace_back(lower(property), std::string(trim(decl.substr(colon + 1))));
        }
    }
    return out;
}

CssStyle resolveStyle(std::string_view styleAttribute) {
    CssStyle style;
    for (const auto& [property, value] : parseStyleDeclarations(styleAttribute)) {
        if (property == "font-family") {
            std::string_view rest = value;
            while (!rest.empty()) {
                const size_t comma = std::min(rest.find(','), rest.size());
                std::string_view family = trim(rest.substr(0, comma));
                rest.remove_prefix(std::min(comma + 1, rest.size()));
                if (family.size() >= 2 && (family.front() == '"' || family.front() == '\'') && family.back() == family.front()) {
                    family = family.substr(1, family.size() - 2);
                }
                if (!family.empty()) {
                    style.fontFamilies.emplace_back(family);
                }
            }
        } else if (property == "font-size") {
            style.fontSize = parseLength(value);
        } else if (property == "line-height") {
            style.lineHeight = parseLength(value);
            double factor = 0.0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), factor);
            if (!style.lineHeight && ec == std::errc() && end == value.data() + value.size()) {
                style.lineHeight = CssLength{factor, CssLength::Unit::Em}; // a bare factor of the font size
            }
        } else if (property == "margin" || property == "padding") {
            if (const auto edges = parseEdges(value)) {
                (property == "margin" ? style.margin : style.padding) = *edges;
            }
        } else if (property == "border-radius") {
            if (const auto tokens = splitBlanks(value); !tokens.empty()) {
                style.borderRadius = parseLength(tokens.front()).value_or(CssLength{});
            }
        } else if (property == "border") {
            for (const auto token : splitBlanks(value)) {
                if (const auto width = parseLength(token)) {
                    style.borderWidth = *width;
                } else if (const auto color = parseColor(token)) {
                    style.borderColor = color;
                } else if (lower(token) == "none") {
                    style.borderWidth = {};
                }
            }
            if (!style.borderColor && style.borderWidth.value > 0.0) {
                style.borderColor = CssColor{}; // currentColor: the text is black
            }
        } else if (property == "background" || property == "background-color") {
            style.background = parseColor(value);
        } else if (property == "white-space") {
            style.noWrap = lower(value) == "nowrap";
        }
    }
    return style;
}

} // namespace dimwell
