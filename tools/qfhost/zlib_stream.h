#pragma once
// zlib's streams for qfhost's PNG code, ended however the scope is left.

#include <zlib.h>

namespace veilmere::qfhost {

template <int (*End)(z_streamp)>
struct ZStream {
  z_stream stream{};
  bool ready = false;  // initialised, so to be ended

  ZStream() = default;
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;
  ~ZStream() {
    if (ready) End(&stream);
  }
};

using Inflater = ZStream<&::inflateEnd>;
using Deflater = ZStream<&::deflateEnd>;

}  // namespace veilmere::qfhost
