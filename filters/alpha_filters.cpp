#include "filters/alpha_filters.h"

namespace veilmere {

template class PixelRule<TransparentizeFilter>;
template class PixelRule<WhiteToTransparentFilter>;
template class PixelRule<BlackToTransparentFilter>;
template class PixelRule<OpacifyFilter>;
template class PixelRule<InvertTransparencyFilter>;

}  // namespace veilmere
