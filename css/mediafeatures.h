#pragma once
// The media features of the screen pages are read for, as Chromium's
// headless shell answers them in a window of 1024 by 768 pixels: nobody
// points or hovers, script runs, colours are light and nothing moves less.

#include "css/tokenizer.h"

#include <QByteArrayView>

#include <cstdint>
#include <optional>
#include <vector>

namespace parlowen {

inline constexpr double kScreenWidth = 1024;
inline constexpr double kScreenHeight = 768;

enum class MediaValueKind : uint8_t { Length, Resolution, Integer };

struct RangedFeature {
    const char* name;
    MediaValueKind kind;
    // The screen's value: pixels, dots per pixel, or a count.
    double screen;
};

// A feature compared by size, or null; its aspect ratios are read apart.
const RangedFeature* rangedFeature(QByteArrayView name);

// "(name: keyword)": nullopt when name takes no such keyword, which makes
// the query unreadable; false when name is no keyword feature at all.
std::optional<bool> keywordFeatureMatches(QByteArrayView name, QByteArrayView keyword);
bool isKeywordFeature(QByteArrayView name);

// "(name)" on its own: whether the screen's value is other than none or zero.
bool featureIsTrue(QByteArrayView name);

// A value of this kind at tokens[pos], calc() included, in the units of
// RangedFeature::screen; pos moves past it.
std::optional<double> readMediaValue(const std::vector<CssToken>& tokens, size_t& pos, size_t end,
                                     MediaValueKind kind);

} // namespace parlowen
