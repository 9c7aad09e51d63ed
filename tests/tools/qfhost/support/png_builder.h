#pragma once
// PNG files assembled from first principles, for the decoder's tests: a signature, IHDR, the
// chunks given, the pixels' zlib stream in one IDAT, the chunks that come after it and IEND,
// each chunk with its CRC. zlib makes the stream and every checksum.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veilmere::test {

inline std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}

// `data` as a zlib stream.
inline std::vector<std::uint8_t> Z(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out(compressBound(static_cast<uLong>(data.size())));
  uLongf size = static_cast<uLongf>(out.size());
  EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
  out.resize(size);
  return out;
}

class PngBuilder {
 public:
  PngBuilder(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t type,
             std::uint8_t interlace = 0) {
    file_ = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Put32(header, width);
    Put32(header, height);
    header.insert(header.end(), {depth, type, 0, 0, interlace});
    Chunk("IHDR", header);
  }

  PngBuilder& Chunk(const char* type, const std::vector<std::uint8_t>& data) {
    const std::vector<std::uint8_t> body = std::vector<std::uint8_t>(type, type + 4) + data;
    Put32(file_, static_cast<std::uint32_t>(data.size()));
    file_.insert(file_.end(), body.begin(), body.end());
    Put32(file_, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    return *this;
  }

  // A chunk to come after the pixels.
  PngBuilder& After(const char* type, const std::vector<std::uint8_t>& data) {
    after_.emplace_back(type, data);
    return *this;
  }

  // `stream`: the whole zlib stream, in one IDAT.
  std::vector<std::uint8_t> FinishStream(const std::vector<std::uint8_t>& stream) {
    Chunk("IDAT", stream);
    for (const auto& [type, data] : after_) Chunk(type.c_str(), data);
    Chunk("IEND", {});
    return file_;
  }

  // `rows`: each row's filter byte and its bytes. `adlerError` is XORed into the checksum.
  std::vector<std::uint8_t> Finish(const std::vector<std::uint8_t>& rows, std::uint32_t adlerError = 0) {
    std::vector<std::uint8_t> stream = Z(rows);
    for (int i = 0; i < 4; ++i) stream[stream.size() - 4 + std::size_t(i)] ^= std::uint8_t(adlerError >> (24 - 8 * i));
    return FinishStream(stream);
  }

 private:
  std::vector<std::uint8_t> file_;
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> after_;
};

// A zlib stream of `row`, then `mebibytes` MiB of zero bytes, with its true Adler-32: 1,024
// MiB takes about a MiB. Each MiB follows a full flush, which resets the compressor, so every
// one compresses to the same bytes, and the stream repeats them rather than compress them all.
inline std::vector<std::uint8_t> RowThenZeros(const std::vector<std::uint8_t>& row, int mebibytes) {
  z_stream z{};
  EXPECT_EQ(deflateInit(&z, Z_BEST_COMPRESSION), Z_OK);
  const std::vector<std::uint8_t> zeros(std::size_t{1} << 20, 0);
  const auto compress = [&](const std::uint8_t* data, std::size_t size, int flush) {
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(size)) + 64);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_NE(deflate(&z, flush), Z_STREAM_ERROR);
    out.resize(out.size() - z.avail_out);
    return out;
  };
  std::vector<std::uint8_t> stream = compress(row.data(), row.size(), Z_FULL_FLUSH);
  const std::vector<std::uint8_t> mebibyte = compress(zeros.data(), zeros.size(), Z_FULL_FLUSH);
  EXPECT_EQ(compress(zeros.data(), zeros.size(), Z_FULL_FLUSH), mebibyte);
  std::vector<std::uint8_t> end = compress(nullptr, 0, Z_FINISH);  // last block, Adler-32
  deflateEnd(&z);
  uLong adler = adler32(adler32(0, nullptr, 0), row.data(), static_cast<uInt>(row.size()));
  const uLong zerosAdler = adler32(adler32(0, nullptr, 0), zeros.data(), static_cast<uInt>(zeros.size()));
  for (int i = 0; i < mebibytes; ++i) {
    stream.insert(stream.end(), mebibyte.begin(), mebibyte.end());
    adler = adler32_combine(adler, zerosAdler, static_cast<z_off_t>(zeros.size()));
  }
  for (int i = 0; i < 4; ++i) end[end.size() - 4 + std::size_t(i)] = std::uint8_t(adler >> (24 - 8 * i));
  return stream + end;
}

// The raw rows (filter byte 0) of a width x height image of `depth`-bit samples, `channels`
// a pixel, given row after row; Adam7's passes when `interlaced`.
inline std::vector<std::uint8_t> Rows(std::int32_t width, std::int32_t height, int depth, int channels,
                                      bool interlaced, const std::vector<std::uint16_t>& samples) {
  static constexpr int kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                       {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  static constexpr int kWhole[1][4] = {{0, 0, 1, 1}};
  std::vector<std::uint8_t> rows;
  for (const auto& pass : interlaced ? std::vector<const int*>(std::begin(kAdam7), std::end(kAdam7))
                                     : std::vector<const int*>{kWhole[0]}) {
    for (int y = pass[1]; y < height; y += pass[3]) {
      std::vector<std::uint8_t> row{0};
      int bit = 0;
      for (int x = pass[0]; x < width; x += pass[2]) {
        for (int c = 0; c < channels; ++c, bit += depth) {
          const std::uint16_t v = samples[std::size_t((y * width + x) * channels + c)];
          if (bit % 8 == 0) row.push_back(0);
          if (depth == 16) {
            row.back() = std::uint8_t(v >> 8), row.push_back(std::uint8_t(v)), bit += 8;
          } else {
            row.back() = std::uint8_t(row.back() | v << (8 - depth - bit % 8));
          }
        }
      }
      if (row.size() > 1) rows.insert(rows.end(), row.begin(), row.end());
    }
  }
  return rows;
}

}  // namespace veilmere::test
