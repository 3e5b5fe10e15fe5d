// Glyphs of the main window's six buttons: icons of the active theme, with
// glyphs drawn in code when the theme has none. Disabled looks come from QIcon.
#pragma once

#include <QIcon>

namespace vantelo::ui {

enum class Glyph { Open, Extract, Close, About, Additive, Range };
inline constexpr int kGlyphSize = 20;

QIcon GlyphIcon(Glyph glyph);
// The glyph drawn in code (also used by tests to check that one is always there).
QIcon BuiltInGlyph(Glyph glyph);

}  // namespace vantelo::ui
