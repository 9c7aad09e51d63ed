// Writes fuzz_png's seeds into the folder it is given: a small PNG file (9 x 9, so that
// every Adam7 pass has pixels) of every colour type and bit depth, plain and interlaced, with
// rows of varied bytes under every row filter. Palette images carry a full palette and a
// tRNS; grey and RGB ones a colour key; the interlaced ones every kept chunk type, each
// keeping its rules, so that mutations start from chunks the decoder accepts: an iCCP
// profile for the colour ones, sRGB (which no iCCP may accompany) for the grey ones.
//   png_seeds FOLDER

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& out, std::uint32_t v) {
  out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}

void Chunk(Bytes& file, const char* type, const Bytes& data) {
  Put32(file, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data.begin(), data.end());
  Put32(file, static_cast<std::uint32_t>(crc32(0, file.data() + start, static_cast<uInt>(data.size() + 4))));
}

Bytes Compressed(const Bytes& data) {
  Bytes out(compressBound(static_cast<uLong>(data.size())));
  uLongf size = static_cast<uLongf>(out.size());
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) std::abort();
  out.resize(size);
  return out;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: png_seeds FOLDER\n");
    return 2;
  }
  constexpr std::uint32_t kSide = 9;
  constexpr struct {
    std::uint8_t type, channels;
    std::uint8_t depths[5];
  } kTypes[] = {{0, 1, {1, 2, 4, 8, 16}}, {2, 3, {8, 16}}, {3, 1, {1, 2, 4, 8}},
                {4, 2, {8, 16}}, {6, 4, {8, 16}}};
  std::uint32_t seed = 1;
  const auto next = [&] { return std::uint8_t((seed = seed * 1103515245u + 12345u) >> 16); };
  int written = 0;
  for (const auto& type : kTypes) {
    for (const std::uint8_t depth : type.depths) {
      if (depth == 0) break;
      for (const std::uint8_t interlace : {0, 1}) {
        Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, header;
        Put32(header, kSide);
        Put32(header, kSide);
        header.insert(header.end(), {depth, type.type, 0, 0, interlace});
        Chunk(file, "IHDR", header);
        if (interlace == 1) {
          if (type.type != 0 && type.type != 4) {
            Bytes profile(132, 0);
            profile[3] = 132;
            for (int i = 0; i < 4; ++i) profile[16 + i] = std::uint8_t("RGB "[i]), profile[36 + i] = std::uint8_t("acsp"[i]);
            Chunk(file, "iCCP", Text(std::string("icc\0\0", 5)) + Compressed(profile));
          } else {
            Chunk(file, "sRGB", {0});
          }
          Chunk(file, "gAMA", {0, 0, 0xB1, 0x8F});
          Bytes chromaticities;  // sRGB's white point and primaries, in 100,000ths
          for (const std::uint32_t v : {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000}) Put32(chromaticities, v);
          Chunk(file, "cHRM", chromaticities);
          Chunk(file, "pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1});
          Chunk(file, "tEXt", Text(std::string("Title\0seed", 10)));
          Chunk(file, "zTXt", Text(std::string("Comment\0\0", 9)) + Compressed(Text("a seed")));
          Chunk(file, "iTXt", Text(std::string("Title\0\1\0en\0Title\0", 17)) + Compressed(Text("\xE7\xA8\xAE")));
          Chunk(file, "eXIf", {'M', 'M', 0, 42, 0, 0, 0, 8});
        }
        const std::uint32_t entries = type.type == 3 ? 1u << depth : 0;
        if (type.type == 3) {
          Bytes palette(entries * 3), alpha(entries / 2 + 1);
          for (auto& b : palette) b = next();
          for (auto& b : alpha) b = next();
          Chunk(file, "PLTE", palette);
          Chunk(file, "tRNS", alpha);
        } else if (type.type == 0 || type.type == 2) {
          Chunk(file, "tRNS", Bytes(type.type == 0 ? 2 : 6, 0));
        }
        // The rows of each pass (the whole image when not interlaced), with filters 0 to 4.
        static constexpr std::uint32_t kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                                                       {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2},
                                                       {0, 1, 1, 2}};
        static constexpr std::uint32_t kWhole[1][4] = {{0, 0, 1, 1}};
        Bytes raw;
        const auto passes = interlace == 1 ? std::vector<const std::uint32_t*>{kAdam7[0], kAdam7[1], kAdam7[2], kAdam7[3], kAdam7[4], kAdam7[5], kAdam7[6]}
                                           : std::vector<const std::uint32_t*>{kWhole[0]};
        for (const std::uint32_t* pass : passes) {
          const std::uint32_t columns = (kSide - pass[0] + pass[2] - 1) / pass[2];
          const std::uint32_t rows = (kSide - pass[1] + pass[3] - 1) / pass[3];
          const std::uint32_t rowBytes = (columns * type.channels * depth + 7) / 8;
          for (std::uint32_t y = 0; y < rows; ++y) {
            raw.push_back(std::uint8_t(y % 5));
            for (std::uint32_t i = 0; i < rowBytes; ++i) raw.push_back(next());
          }
        }
        Chunk(file, "IDAT", Compressed(raw));
        Chunk(file, "IEND", {});
        const std::string path = std::string(argv[1]) + "/seed-type" + std::to_string(type.type) + "-" +
                                 std::to_string(depth) + "bit" + (interlace ? "-adam7" : "") + ".png";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
          std::perror(path.c_str());
          return 1;
        }
        ++written;
      }
    }
  }
  std::printf("png_seeds: %d files\n", written);
  return 0;
}
