// libFuzzer target over qfhost's PNG decoder: any bytes, as a file qfhost reads. Beyond "no
// crash" (AddressSanitizer, UndefinedBehaviorSanitizer), each input is held to the decoder's
// contract, and a broken contract aborts, which libFuzzer reports like a crash:
// - a refusal is a RunError whose one line names the file and shows only printable text;
// - a decoded image has the header's size, and keeps only chunks of the kept types;
// - what qfhost writes from it decodes again to the same pixels, 16-bit samples and chunks,
//   with no warning, in the same colour type and depth.
// Files whose memory bound passes 256 MiB are left alone (qfhost refuses above 1 GiB), so
// that libFuzzer's memory limit is never what stops a run.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/qfhost/errors.h"
#include "tools/qfhost/image.h"
#include "tools/qfhost/png_chunks.h"

namespace {

using namespace veilmere::qfhost;

constexpr std::uint64_t kMaxFuzzBytes = std::uint64_t{256} << 20;
constexpr std::int64_t kMaxRoundTripPixels = std::int64_t{1} << 16;
const std::string kName = "fuzz.png";

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "fuzz_png: contract broken: %s\n", what.c_str());
  std::abort();
}

void CheckRefusal(const RunError& error) {
  const std::string message = error.what();
  if (message.rfind("'" + kName + "' ", 0) != 0) Broken("a refusal that does not name the file: " + message);
  for (const char c : message) {
    if (c < 0x20 || c > 0x7E) Broken("a refusal with a byte that is not printable: " + message);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  DecodedPng decoded;
  try {
    const PngHeader header = ReadPngHeader(bytes, kName);
    if (DecodeMemoryBound(header, size, KeptChunkBytes(bytes, header)) > kMaxFuzzBytes) return 0;
    decoded = DecodePngFile(bytes, kName);
    if (decoded.image.width != header.width || decoded.image.height != header.height ||
        decoded.image.pixels.size() != std::size_t(header.width) * std::size_t(header.height)) {
      Broken("an image of another size than its header's");
    }
    for (const PngChunk& chunk : decoded.metadata) {
      if (!IsKeptChunk(chunk.type, header.colourType)) Broken("a " + chunk.type + " chunk kept");
    }
  } catch (const RunError& error) {
    CheckRefusal(error);
    return 0;
  }
  if (std::int64_t{decoded.image.width} * decoded.image.height > kMaxRoundTripPixels) return 0;
  try {
    const DecodedPng again =
        DecodePngFile(EncodePng(decoded.image, decoded.format, decoded.metadata), kName);
    if (again.image.pixels != decoded.image.pixels) Broken("pixels changed by a round trip");
    if (again.format.originals != decoded.format.originals) Broken("16-bit samples changed by a round trip");
    if (again.format.colourType != decoded.format.colourType || again.format.depth != decoded.format.depth) {
      Broken("the format changed by a round trip");
    }
    if (!again.warnings.empty()) Broken("a kept chunk refused once written: " + again.warnings[0]);
    if (again.metadata.size() != decoded.metadata.size()) Broken("chunks lost in a round trip");
    for (std::size_t i = 0; i < again.metadata.size(); ++i) {
      if (again.metadata[i].type != decoded.metadata[i].type ||
          again.metadata[i].data != decoded.metadata[i].data) {
        Broken("a chunk changed by a round trip");
      }
    }
  } catch (const RunError& error) {
    Broken(std::string("qfhost's own output refused: ") + error.what());
  }
  return 0;
}
