// stb's implementations are compiled here only: PNG alone, from memory only (qfhost does its
// own file input and output, for its error messages and for writing through a temporary file).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb_image.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include "tools/qfhost/stb_codecs.h"

namespace veilmere::qfhost {

void StbFree::operator()(std::uint8_t* pixels) const { stbi_image_free(pixels); }

DecodedRgba DecodePngRgba(const std::uint8_t* bytes, int size, int* width, int* height,
                          std::string* reason) {
  int channels = 0;
  DecodedRgba pixels(stbi_load_from_memory(bytes, size, width, height, &channels, 4));
  if (!pixels) {
    const char* text = stbi_failure_reason();
    *reason = text != nullptr ? text : "unknown error";
  }
  return pixels;
}

bool EncodePngRgba(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>* file) {
  // No exception may cross the encoder, which would leak its buffers: a failed append is
  // recorded and reported when the encoder returns.
  struct Sink {
    std::vector<std::uint8_t>* file;
    bool failed;
  } sink{file, false};
  const auto append = [](void* context, void* data, int size) {
    auto* to = static_cast<Sink*>(context);
    const auto* begin = static_cast<const std::uint8_t*>(data);
    try {
      to->file->insert(to->file->end(), begin, begin + size);
    } catch (...) {
      to->failed = true;
    }
  };
  const int written = stbi_write_png_to_func(append, &sink, width, height, 4, rgba, width * 4);
  return written != 0 && !sink.failed;
}

}  // namespace veilmere::qfhost
