#pragma once
// Every filter the module offers, in creation order: row i is the filter the host knows as
// index i. This table is the one place that names them all; the creation table, the tests,
// the fuzzer and the benchmarks read it.
//
// Each row is X(Class, "English label", "Japanese label"). The labels are written here in
// UTF-8; the host reads them in code page 932 (Shift_JIS), as "English|Japanese", and the
// build writes those bytes into filters/filter_labels.h (cmake/filter-labels.cmake), which
// is where the filters take them from. A label must be one line of text with no '"' or '\'.
//
// A new filter is one row here, its class (alpha_filters.h or colour_filters.h), and the
// goldens remade by scripts/update-goldens. The colour filters ask the host for their colour
// as they are created, so the order of the rows is the order of the host's colour queries.
#define VEILMERE_FILTER_TABLE(X)                                                        \
  X(TransparentizeFilter, "Transparentize", "透明化")                                   \
  X(FillWithDrawingColourFilter, "Transparentize(Fill with FGC)",                       \
    "透明化(描画色で塗りつぶす)")                                                       \
  X(FillWithBackgroundColourFilter, "Transparentize(Fill with BGC)",                    \
    "透明化(背景色で塗りつぶす)")                                                       \
  X(BrightnessToTransparencyFilter, "Transparentize at Brightness", "明るさに応じて透明化") \
  X(DarknessToTransparencyFilter, "Transparentize at Darkness", "暗さに応じて透明化")   \
  X(WhiteToTransparentFilter, "Transparentize White Pixels", "白を透明化")              \
  X(BlackToTransparentFilter, "Transparentize Black Pixels", "黒を透明化")              \
  X(DrawingColourToTransparentFilter, "Transpparentize FGC Pixels", "描画色を透明化")   \
  X(OpacifyFilter, "Opacify", "不透明化")                                               \
  X(InvertTransparencyFilter, "Invert Transparency", "透明度反転")

// The one category every filter is filed under.
#define VEILMERE_CATEGORY_LABELS(X) X(kTransparencyCategory, "Transparency", "透明度")

namespace veilmere {

#define VEILMERE_COUNT_ROW(Class, english, japanese) +1
// How many filters the module offers (QFF_FilterCount).
inline constexpr int kFilterCount = 0 VEILMERE_FILTER_TABLE(VEILMERE_COUNT_ROW);
#undef VEILMERE_COUNT_ROW

}  // namespace veilmere
