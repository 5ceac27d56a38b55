// The checksums and decoders under the CD containers, pinned by check values
// and by streams that the codecs' own libraries make, so that they are tested
// without chdman.
#include <FLAC/stream_encoder.h>
#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include <string>

#include "source/chd/bit_reader.h"
#include "source/chd/chd_decoders.h"
#include "source/chd/crc16.h"
#include "source/chd/huffman_decoder.h"
#include "testkit/cd_sectors.h"
#include "testkit/container_disc.h"
#include "testkit/files.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

// The catalogued check values, over "123456789".
TEST(ChecksumTest, Crc16AndEdcGiveTheirCheckValues) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16(check, sizeof check), 0x29B1);
  EXPECT_EQ(Crc16(check + 4, 5, Crc16(check, 4)), 0x29B1);  // continued in two pieces
  EXPECT_EQ(Crc16(check, 0), kCrc16Start);
  EXPECT_EQ(testkit::CdEdc(check, sizeof check), 0x6EC2EDC4u);
}

// Sectors whose EDC and P/Q parity were computed apart from this code (with
// the RSPC tables of ECMA-130): user bytes 7i + 3, at LBA 16.
TEST(ChecksumTest, EccParityOfMode1AndMode2Sectors) {
  Bytes user(2048);
  for (size_t i = 0; i < user.size(); ++i) user[i] = uint8_t(i * 7 + 3);
  struct Expected {
    Bytes sector;
    size_t edcAt;
    Bytes edc, pHead, pTail, qHead, qTail;
    uint32_t parityCrc32;  // zlib's CRC-32 of all 276 parity bytes
  };
  const Expected cases[] = {
      {testkit::Mode1Sectors(user, 16), 2064, {0x4C, 0xF0, 0x86, 0x1C}, {0x29, 0x63, 0x01, 0x53},
       {0x4E, 0x55, 0x21, 0x1F}, {0xDA, 0xA8, 0x55, 0x33}, {0x13, 0xFD, 0x25, 0xD1}, 0xE484489A},
      // Mode 2 parity is computed as if the address were zero; the address stays.
      {testkit::Mode2Form1Sectors(user, 16), 2072, {0xFB, 0x6F, 0x07, 0xD7}, {0x7E, 0x5C, 0xC7, 0x5E},
       {0x67, 0xD1, 0x58, 0x0D}, {0x70, 0x55, 0xEE, 0x84}, {0xB6, 0x6E, 0x21, 0xA9}, 0x1C802B24},
  };
  for (const Expected& expected : cases) {
    const Bytes& sector = expected.sector;
    ASSERT_EQ(sector.size(), 2352u);
    EXPECT_EQ(testkit::Slice(sector, 12, 3), (Bytes{0x00, 0x02, 0x16}));
    EXPECT_EQ(testkit::Slice(sector, expected.edcAt, 4), expected.edc);
    EXPECT_EQ(testkit::Slice(sector, 2076, 4), expected.pHead);
    EXPECT_EQ(testkit::Slice(sector, 2244, 4), expected.pTail);
    EXPECT_EQ(testkit::Slice(sector, 2248, 4), expected.qHead);
    EXPECT_EQ(testkit::Slice(sector, 2348, 4), expected.qTail);
    EXPECT_EQ(crc32(0, sector.data() + 2076, 276), expected.parityCrc32);
  }
}

TEST(BitReaderTest, MostSignificantFirstAndZerosPastTheEnd) {
  const uint8_t bytes[] = {0xA5, 0x0F, 0xF0};  // 1010 0101 0000 1111 1111 0000
  BitReader bits(bytes, sizeof bytes);
  EXPECT_EQ(bits.Read(1), 1u);
  EXPECT_EQ(bits.Read(3), 2u);
  EXPECT_EQ(bits.Peek(8), 0x50u);
  EXPECT_EQ(bits.Read(12), 0x50Fu);
  EXPECT_EQ(bits.Read(0), 0u);
  EXPECT_EQ(bits.Read(8), 0xF0u);
  EXPECT_FALSE(bits.Overflowed());
  EXPECT_EQ(bits.Read(4), 0u);
  EXPECT_TRUE(bits.Overflowed());

  BitReader whole(bytes, sizeof bytes);
  EXPECT_EQ(whole.Read(32), 0xA50FF000u);
  EXPECT_TRUE(whole.Overflowed());
}

TEST(HuffmanTest, RunLengthTreeOfAMapCode) {
  // Lengths in 4-bit fields: 1 1 (an escaped 1), 2, 3, 3, then 1 0 9: a run
  // of 9 + 3 zeros. The canonical code counts from the longest length down:
  // symbol 0 is "1", 1 is "01", 2 is "000", 3 is "001".
  const uint8_t tree[] = {0x11, 0x23, 0x31, 0x09, 0xA0, 0xC0};  // then 1 01 000 001 1
  BitReader bits(tree, sizeof tree);
  HuffmanDecoder code(16, 8);
  ASSERT_TRUE(code.ImportRunLengthTree(bits));
  for (int symbol : {0, 1, 2, 3, 0}) EXPECT_EQ(code.Decode(bits), symbol);
  EXPECT_FALSE(bits.Overflowed());

  // Sixteen codes of 2 bits cannot exist.
  const uint8_t overfull[] = {0x12, 0xD0};
  BitReader more(overfull, sizeof overfull);
  HuffmanDecoder refused(16, 8);
  EXPECT_FALSE(refused.ImportRunLengthTree(more));
}

TEST(HuffmanTest, HuffCodecTreeAndBytes) {
  // The lengths' own code: repeat 1 bit ("1"), length 0 and length 1 two bits
  // each ("00", "01"). Then 65 zeros (repeat, 9 + 56), 'A' and 'B' of length
  // 1, a zero and a run of 9 + 179 zeros; then "ABBA" as 0 1 1 0.
  const uint8_t stream[] = {0x21, 0x2F, 0xE7, 0x0A, 0x7D, 0x9B, 0x00};
  uint8_t out[4];
  EXPECT_TRUE(MakeHuffmanBlockDecoder()->Decode(stream, sizeof stream, out, sizeof out));
  EXPECT_EQ(std::string(out, out + 4), "ABBA");
  // Asked for more bytes than the stream holds, it fails.
  uint8_t more[64];
  EXPECT_FALSE(MakeHuffmanBlockDecoder()->Decode(stream, sizeof stream, more, sizeof more));
}

Bytes Deflated(const Bytes& data) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&stream, uLong(data.size())));
  stream.next_in = const_cast<Bytes::value_type*>(data.data());
  stream.avail_in = uInt(data.size());
  stream.next_out = out.data();
  stream.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

Bytes LzmaCompressed(const Bytes& data) {
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 6);
  options.lc = 3;
  options.lp = 0;
  options.pb = 2;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream stream = LZMA_STREAM_INIT;
  EXPECT_EQ(lzma_raw_encoder(&stream, filters), LZMA_OK);
  Bytes out(data.size() + 1024);
  stream.next_in = data.data();
  stream.avail_in = data.size();
  stream.next_out = out.data();
  stream.avail_out = out.size();
  EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
  out.resize(stream.total_out);
  lzma_end(&stream);
  return out;
}

// Each decoder gives back what its library made, and refuses a cut stream
// and a stream of another length.
TEST(BlockDecoderTest, DeflateAndLzmaStreamsOfTheirLibraries) {
  const Bytes data = testkit::TextBytes(9000, 3);
  struct Codec {
    const char* name;
    std::unique_ptr<BlockDecoder> decoder;
    Bytes stream;
  };
  Codec codecs[] = {{"deflate", MakeDeflateDecoder(), Deflated(data)},
                    {"lzma", MakeLzmaDecoder(), LzmaCompressed(data)}};
  for (Codec& codec : codecs) {
    Bytes out(data.size());
    EXPECT_TRUE(codec.decoder->Decode(codec.stream.data(), codec.stream.size(), out.data(), out.size()))
        << codec.name;
    EXPECT_EQ(out, data) << codec.name;
    EXPECT_FALSE(codec.decoder->Decode(codec.stream.data(), codec.stream.size() / 2, out.data(), out.size()))
        << codec.name;
    Bytes longer(data.size() + 100);
    EXPECT_FALSE(
        codec.decoder->Decode(codec.stream.data(), codec.stream.size(), longer.data(), longer.size()))
        << codec.name;
  }
}

// FLAC frames of 16-bit stereo samples as libFLAC writes them, without the
// stream's marker and metadata, as a CHD keeps them.
Bytes FlacFrames(const Bytes& samples, uint32_t blockSize) {
  FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
  FLAC__stream_encoder_set_channels(encoder, 2);
  FLAC__stream_encoder_set_bits_per_sample(encoder, 16);
  FLAC__stream_encoder_set_sample_rate(encoder, 44100);
  FLAC__stream_encoder_set_blocksize(encoder, blockSize);
  FLAC__stream_encoder_set_compression_level(encoder, 8);
  Bytes frames;
  auto write = [](const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes, uint32_t samples,
                  uint32_t, void* client) {
    Bytes& frames = *static_cast<Bytes*>(client);
    if (samples != 0) frames.insert(frames.end(), buffer, buffer + bytes);  // 0: the stream's metadata
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  };
  EXPECT_EQ(FLAC__stream_encoder_init_stream(encoder, write, nullptr, nullptr, nullptr, &frames),
            FLAC__STREAM_ENCODER_INIT_STATUS_OK);
  std::vector<FLAC__int32> interleaved(samples.size() / 2);
  for (size_t i = 0; i < interleaved.size(); ++i) {
    interleaved[i] = int16_t(uint16_t(samples[2 * i] | samples[2 * i + 1] << 8));  // little-endian
  }
  EXPECT_TRUE(FLAC__stream_encoder_process_interleaved(encoder, interleaved.data(),
                                                       uint32_t(interleaved.size() / 2)));
  EXPECT_TRUE(FLAC__stream_encoder_finish(encoder));
  FLAC__stream_encoder_delete(encoder);
  return frames;
}

TEST(BlockDecoderTest, FlacFramesInEitherByteOrder) {
  const uint32_t blockSize = 588;  // one CD frame of samples
  Bytes samples(3 * blockSize * 4);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * i / 7);
  const Bytes frames = FlacFrames(samples, blockSize);
  // Trailing bytes after the frames are not taken.
  const Bytes input = testkit::Concat(frames, Bytes(10, 0));
  Bytes out(samples.size());
  EXPECT_EQ(MakeFlacDecoder()->Decode(input.data(), input.size(), out.data(), out.size(), false, blockSize),
            frames.size());
  EXPECT_EQ(out, samples);
  ASSERT_TRUE(MakeFlacDecoder()->Decode(input.data(), input.size(), out.data(), out.size(), true, blockSize));
  for (size_t i = 0; i < samples.size(); i += 2) {
    ASSERT_EQ(out[i], samples[i + 1]) << i;
    ASSERT_EQ(out[i + 1], samples[i]) << i;
  }
  // Too few frames for the output.
  Bytes more(samples.size() + blockSize * 4);
  EXPECT_FALSE(
      MakeFlacDecoder()->Decode(frames.data(), frames.size(), more.data(), more.size(), false, blockSize));
}

}  // namespace
}  // namespace zanthrel
