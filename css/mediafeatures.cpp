#include "css/mediafeatures.h"

#include <QByteArray>

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace parlowen {

namespace {

using Type = CssToken::Type;

constexpr RangedFeature kRanged[] = {
    {"width", MediaValueKind::Length, kScreenWidth},
    {"height", MediaValueKind::Length, kScreenHeight},
    {"device-width", MediaValueKind::Length, kScreenWidth},
    {"device-height", MediaValueKind::Length, kScreenHeight},
    {"resolution", MediaValueKind::Resolution, 1},
    {"color", MediaValueKind::Integer, 8},
    {"monochrome", MediaValueKind::Integer, 0},
    {"color-index", MediaValueKind::Integer, 0},
};

struct KeywordFeature {
    std::string_view name;
    std::string_view screen;
    // What "(name)" alone answers: whether screen is other than the "none" value.
    bool isTrue;
    std::initializer_list<std::string_view> keywords;
};

const KeywordFeature kKeywords[] = {
    {"orientation", "landscape", true, {"portrait", "landscape"}},
    {"scripting", "enabled", true, {"none", "initial-only", "enabled"}},
    {"prefers-color-scheme", "light", true, {"light", "dark"}},
    {"prefers-reduced-motion", "no-preference", false, {"no-preference", "reduce"}},
    {"prefers-reduced-transparency", "no-preference", false, {"no-preference", "reduce"}},
    {"prefers-contrast", "no-preference", false, {"no-preference", "more", "less", "custom"}},
    {"forced-colors", "none", false, {"none", "active"}},
    {"update", "fast", true, {"none", "slow", "fast"}},
    {"hover", "none", false, {"none", "hover"}},
    {"any-hover", "none", false, {"none", "hover"}},
    {"pointer", "none", false, {"none", "coarse", "fine"}},
    {"any-pointer", "none", false, {"none", "coarse", "fine"}},
    {"display-mode",
     "browser",
     true,
     {"fullscreen", "standalone", "minimal-ui", "browser", "window-controls-overlay", "picture-in-picture"}},
    {"color-gamut", "srgb", true, {"srgb", "p3", "rec2020"}},
    {"dynamic-range", "standard", true, {"standard", "high"}},
    {"overflow-block", "scroll", true, {"none", "scroll", "paged"}},
    {"overflow-inline", "scroll", true, {"none", "scroll"}},
};

std::string_view viewOf(QByteArrayView text)
{
    return {text.data(), size_t(text.size())};
}

const KeywordFeature* keywordFeature(QByteArrayView name)
{
    const auto* row = std::find_if(std::begin(kKeywords), std::end(kKeywords),
                                   [name](const KeywordFeature& f) { return f.name == viewOf(name); });
    return row == std::end(kKeywords) ? nullptr : row;
}

// One number, dimension or parenthesised sum, in the kind's units: a
// dimension is scaled, a plain number stays one.
struct CalcValue {
    double value = 0;
    bool dimension = false;
};

std::optional<double> unitScale(MediaValueKind kind, const QByteArray& unit)
{
    static constexpr std::pair<std::string_view, double> lengths[] = {{"px", 1},
                                                                      {"em", 16},
                                                                      {"rem", 16},
                                                                      {"in", 96},
                                                                      {"cm", 96 / 2.54},
                                                                      {"mm", 96 / 25.4},
                                                                      {"q", 96 / 101.6},
                                                                      {"pt", 96.0 / 72},
                                                                      {"pc", 16},
                                                                      {"vw", kScreenWidth / 100},
                                                                      {"vh", kScreenHeight / 100},
                                                                      {"vmin", kScreenHeight / 100},
                                                                      {"vmax", kScreenWidth / 100}};
    static constexpr std::pair<std::string_view, double> resolutions[] = {
        {"dppx", 1}, {"x", 1}, {"dpi", 1.0 / 96}, {"dpcm", 2.54 / 96}};
    const std::string_view u(unit.constData(), size_t(unit.size()));
    if (kind == MediaValueKind::Length) {
        for (const auto& [name, scale] : lengths)
            if (name == u)
                return scale;
    } else if (kind == MediaValueKind::Resolution) {
        for (const auto& [name, scale] : resolutions)
            if (name == u)
                return scale;
    }
    return std::nullopt;
}

class CalcReader {
public:
    CalcReader(const std::vector<CssToken>& tokens, size_t pos, size_t end, MediaValueKind kind)
        : m_tokens(tokens), m_pos(pos), m_end(end), m_kind(kind)
    {}
    size_t pos() const { return m_pos; }

    // sum := product (("+" | "-") product)*
    std::optional<CalcValue> sum(int depth)
    {
        std::optional<CalcValue> total = product(depth);
        for (skipSpace(); total && (peek().isDelim('+') || peek().isDelim('-')); skipSpace()) {
            const bool minus = peek().isDelim('-');
            ++m_pos;
            const std::optional<CalcValue> next = product(depth);
            if (!next || next->dimension != total->dimension)
                return std::nullopt;
            total->value += minus ? -next->value : next->value;
        }
        return total;
    }

private:
    const CssToken& peek() const
    {
        static const CssToken end;
        return m_pos < m_end ? m_tokens[m_pos] : end;
    }
    void skipSpace()
    {
        while (peek().is(Type::Whitespace))
            ++m_pos;
    }

    // product := term (("*" | "/") term)*, at most one side a dimension,
    // and never divided by one.
    std::optional<CalcValue> product(int depth)
    {
        std::optional<CalcValue> total = term(depth);
        for (skipSpace(); total && (peek().isDelim('*') || peek().isDelim('/')); skipSpace()) {
            const bool divide = peek().isDelim('/');
            ++m_pos;
            const std::optional<CalcValue> next = term(depth);
            if (!next || (next->dimension && (divide || total->dimension)) || (divide && next->value == 0))
                return std::nullopt;
            total->value = divide ? total->value / next->value : total->value * next->value;
            total->dimension = total->dimension || next->dimension;
        }
        return total;
    }

    std::optional<CalcValue> term(int depth)
    {
        skipSpace();
        const CssToken& t = peek();
        ++m_pos;
        if (t.is(Type::Number))
            return CalcValue{t.number, false};
        if (t.is(Type::Dimension)) {
            const std::optional<double> scale = unitScale(m_kind, t.text.toLower());
            return scale ? std::optional(CalcValue{t.number * *scale, true}) : std::nullopt;
        }
        if (depth > 16 || !(t.is(Type::LeftParen) || (t.is(Type::Function) && t.text.toLower() == "calc")))
            return std::nullopt;
        std::optional<CalcValue> inner = sum(depth + 1);
        skipSpace();
        if (!peek().is(Type::RightParen))
            return std::nullopt;
        ++m_pos;
        return inner;
    }

    const std::vector<CssToken>& m_tokens;
    size_t m_pos;
    size_t m_end;
    MediaValueKind m_kind;
};

} // namespace

const RangedFeature* rangedFeature(QByteArrayView name)
{
    const auto* row = std::find_if(std::begin(kRanged), std::end(kRanged),
                                   [name](const RangedFeature& f) { return name == f.name; });
    return row == std::end(kRanged) ? nullptr : row;
}

bool isKeywordFeature(QByteArrayView name)
{
    return keywordFeature(name) != nullptr;
}

std::optional<bool> keywordFeatureMatches(QByteArrayView name, QByteArrayView keyword)
{
    const KeywordFeature* feature = keywordFeature(name);
    if (!feature)
        return false;
    const QByteArray lower = keyword.toByteArray().toLower();
    const std::string_view k(lower.constData(), size_t(lower.size()));
    if (std::find(feature->keywords.begin(), feature->keywords.end(), k) == feature->keywords.end())
        return std::nullopt;
    return feature->screen == k;
}

bool featureIsTrue(QByteArrayView name)
{
    if (const KeywordFeature* feature = keywordFeature(name))
        return feature->isTrue;
    const RangedFeature* ranged = rangedFeature(name);
    return ranged && ranged->screen != 0;
}

std::optional<double> readMediaValue(const std::vector<CssToken>& tokens, size_t& pos, size_t end,
                                     MediaValueKind kind)
{
    const CssToken& t = pos < end ? tokens[pos] : CssToken();
    if (kind == MediaValueKind::Integer) {
        ++pos;
        return t.is(Type::Number) && t.number == double(qint64(t.number)) ? std::optional(t.number)
                                                                          : std::nullopt;
    }
    // A length may be a bare zero; a resolution never.
    if (kind == MediaValueKind::Length && t.is(Type::Number) && t.number == 0) {
        ++pos;
        return 0.0;
    }
    const bool calc = t.is(Type::Function) && t.text.toLower() == "calc";
    std::optional<CalcValue> value;
    if (calc) {
        ++pos;
        CalcReader inner(tokens, pos, end, kind);
        value = inner.sum(1);
        pos = inner.pos();
        if (pos >= end || !tokens[pos].is(Type::RightParen))
            return std::nullopt;
        ++pos;
    } else {
        ++pos;
        const std::optional<double> scale =
            t.is(Type::Dimension) ? unitScale(kind, t.text.toLower()) : std::nullopt;
        if (!scale)
            return std::nullopt;
        value = CalcValue{t.number * *scale, true};
    }
    if (!value || !value->dimension)
        return std::nullopt;
    return value->value;
}

} // namespace parlowen
