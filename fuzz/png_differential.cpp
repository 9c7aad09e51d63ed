// png_differential: qfhost's PNG decoder held to libspng's, file by file. Each file is
// decoded by both; they must agree on whether it is a PNG image and, where both decode it,
// on every pixel as 8-bit RGBA. libspng decodes at 16 bits a sample, which qfhost's rule
// reduces: v becomes round(v / 257) (a sample of fewer bits is spread over 0 to 65535 first,
// so this gives qfhost's spreading over 0 to 255), and tRNS colour keys are made transparent.
// A file that one decoder refuses and the other decodes is a known difference when the
// refusal is one listed in kKnownDifferences (the README's "Where qfhost's decoder and libspng differ"
// gives each its reason); any other is reported, with the file and both outcomes, and fails.
//   png_differential PATH...    (files, or folders whose every file is read)
// Exit status: 0 no unknown difference, 1 some, 2 a path that cannot be read.

#include <spng.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/qfhost/errors.h"
#include "tools/qfhost/image.h"
#include "tools/qfhost/platform.h"

namespace {

using namespace veilmere::qfhost;
using Bytes = std::vector<std::uint8_t>;

// Files whose image would take more than this at 16 bits a sample are left alone (counted),
// as fuzz_png leaves alone files whose memory bound passes 256 MiB.
constexpr std::uint64_t kMaxSpngImageBytes = std::uint64_t{256} << 20;

// Refusals that are known differences, each a class: the refuser's message holds `text`.
// qfhost's are stricter checks of its own; libspng's, a chunk that it refuses a file for and
// qfhost leaves out of its output with a warning. The README gives each one's reason.
struct KnownDifference {
  const char* refuser;  // "qfhost" or "libspng"
  const char* text;     // in the refusal's message
  const char* what;     // the class, for the summary
};
constexpr KnownDifference kKnownDifferences[] = {
    {"qfhost", "it has a second ", "a second chunk of a type a file holds once"},
    {"qfhost", " chunk's length is ", "a chunk of fixed length with another length"},
    {"qfhost", "its tRNS chunk does not fit the image", "a tRNS chunk that does not fit the image"},
    {"qfhost", "a grey image has a PLTE chunk", "a PLTE chunk in a grey image"},
    {"qfhost", "is not four letters", "a chunk name that is not four letters"},
    {"qfhost", "is past its", "a palette index past the palette"},
    // The pixel stream after the last row, which libspng does not read.
    {"qfhost", "more compressed data than the image holds", "pixel data going on past the last row"},
    {"qfhost", "its compressed pixels end without their checksum", "pixel data without its checksum"},
    {"qfhost", "its compressed pixels are corrupt", "pixel data corrupt after the last row"},
    {"qfhost", "it is cut off after", "a file cut off in its IEND chunk's CRC"},
    {"libspng", "reached chunk/cache limits", "an empty eXIf chunk"},
};

struct Outcome {
  bool decoded = false;
  bool tooLarge = false;    // left alone, undecoded
  std::string refusal;      // why not, when not decoded
  Bytes rgba;               // 8-bit RGBA, row after row
  std::int32_t width = 0;
};

Outcome DecodeWithQfhost(const Bytes& file, const std::string& name) {
  Outcome outcome;
  try {
    const Image image = DecodePngFile(file, name).image;
    outcome.rgba.resize(image.pixels.size() * 4);
    PixelsToRgba(image.pixels.data(), image.pixels.size(), outcome.rgba.data());
    outcome.width = image.width;
    outcome.decoded = true;
  } catch (const RunError& error) {
    outcome.refusal = error.what();
  }
  return outcome;
}

// libspng as its documentation shows: a context over the file's bytes, the image's size at
// the format asked, the image decoded with its tRNS applied, then the chunks after it up to
// IEND. Settings chosen to match what qfhost checks: every chunk's CRC, critical and
// ancillary, is an error (libspng's default discards an ancillary chunk with a wrong CRC),
// the pixel stream's Adler-32 is checked (no SPNG_CTX_IGNORE_ADLER32), and no chunk or
// chunk cache is larger than the largest file qfhost reads.
Outcome DecodeWithSpng(const Bytes& file) {
  Outcome outcome;
  const std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
  std::size_t size = 0;
  int error = ctx ? 0 : SPNG_EMEM;
  if (error == 0) error = spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_ERROR);
  if (error == 0) error = spng_set_chunk_limits(ctx.get(), kMaxFileBytes, kMaxFileBytes);
  if (error == 0) error = spng_set_png_buffer(ctx.get(), file.data(), file.size());
  if (error == 0) error = spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA16, &size);
  if (error == 0 && size > kMaxSpngImageBytes) {
    outcome.tooLarge = true;
    return outcome;
  }
  std::vector<std::uint16_t> rgba16(size / 2);
  if (error == 0) error = spng_decode_image(ctx.get(), rgba16.data(), size, SPNG_FMT_RGBA16, SPNG_DECODE_TRNS);
  if (error == 0) error = spng_decode_chunks(ctx.get());
  if (error != 0) {
    outcome.refusal = std::to_string(error) + " " + spng_strerror(error);
    return outcome;
  }
  outcome.rgba.reserve(rgba16.size());
  for (const std::uint16_t v : rgba16) outcome.rgba.push_back(static_cast<std::uint8_t>((v + 128) / 257));
  outcome.decoded = true;
  return outcome;
}

// The known difference a disagreement is, or nullptr.
const KnownDifference* Known(const Outcome& qfhost, const Outcome& spng) {
  const bool qfhostRefused = !qfhost.decoded;
  const std::string& message = qfhostRefused ? qfhost.refusal : spng.refusal;
  for (const KnownDifference& known : kKnownDifferences) {
    if ((std::string(known.refuser) == "qfhost") == qfhostRefused &&
        message.find(known.text) != std::string::npos) {
      return &known;
    }
  }
  return nullptr;
}

std::string Describe(const Outcome& outcome) {
  return outcome.decoded ? "decoded" : "refused (" + outcome.refusal + ")";
}

struct Tally {
  int files = 0, decoded = 0, refused = 0, leftAlone = 0, unknown = 0;
  std::map<std::string, int> known;  // by refuser and text
};

// Compares the two decoders on one file, printing a line for a disagreement.
void Compare(const std::string& path, Tally& tally) {
  const Bytes file = ReadWholeFile(path, kMaxFileBytes);
  ++tally.files;
  const Outcome spng = DecodeWithSpng(file);
  if (spng.tooLarge) {
    ++tally.leftAlone;
    return;
  }
  const Outcome qfhost = DecodeWithQfhost(file, path);
  if (qfhost.decoded != spng.decoded) {
    if (const KnownDifference* known = Known(qfhost, spng)) {
      ++tally.known[std::string(known->refuser) + " refuses " + known->what];
      return;
    }
    ++tally.unknown;
    std::printf("%s: qfhost %s; libspng %s\n", path.c_str(), Describe(qfhost).c_str(),
                Describe(spng).c_str());
    return;
  }
  if (!qfhost.decoded) {
    ++tally.refused;
    return;
  }
  if (qfhost.rgba != spng.rgba) {
    std::size_t i = 0;  // the first pixel that differs (both images have the header's size)
    while (std::memcmp(&qfhost.rgba[i * 4], &spng.rgba[i * 4], 4) == 0) ++i;
    const auto rgba = [i](const Outcome& outcome) {
      const std::uint8_t* p = &outcome.rgba[i * 4];
      return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) +
             "," + std::to_string(p[3]);
    };
    ++tally.unknown;
    std::printf("%s: both decode, but pixel (%zu, %zu) differs: qfhost %s; libspng %s\n",
                path.c_str(), i % std::size_t(qfhost.width), i / std::size_t(qfhost.width),
                rgba(qfhost).c_str(), rgba(spng).c_str());
    return;
  }
  ++tally.decoded;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: png_differential PATH...\n");
    return 2;
  }
  Tally tally;
  try {
    for (int i = 1; i < argc; ++i) {
      if (!std::filesystem::is_directory(argv[i])) {
        Compare(argv[i], tally);
        continue;
      }
      for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
        if (entry.is_regular_file()) Compare(entry.path().string(), tally);
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "png_differential: %s\n", error.what());
    return 2;
  }
  for (const auto& [difference, count] : tally.known) {
    std::printf("known difference, %d files: %s\n", count, difference.c_str());
  }
  std::printf("png_differential: %d files: %d decoded alike, %d refused by both, %d left alone "
              "(too large), %d known differences, %d unknown\n",
              tally.files, tally.decoded, tally.refused, tally.leftAlone,
              tally.files - tally.decoded - tally.refused - tally.leftAlone - tally.unknown,
              tally.unknown);
  return tally.unknown == 0 ? 0 : 1;
}
