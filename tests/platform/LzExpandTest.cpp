#include "platform/LzExpand.h"

#include <gtest/gtest.h>

#include "platform/Files.h"

namespace larkspire {
namespace {

std::string ReadData(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(std::string(LARKSPIRE_TEST_DATA) + "/lz/" + name, bytes)) << name;
  return bytes;
}

// A compressed file around hand-made packed data.
std::string Packed(std::size_t length, std::string_view data) {
  std::string out(kLzSignature);
  out += 'A';
  out += '_';
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((length >> shift) & 0xFF);
  out += data;
  return out;
}

TEST(LzExpandTest, ExpandsFilesMadeByTheCompressor) {
  for (const char* name : {"text.txt", "binary.bin"}) {
    SCOPED_TRACE(name);
    const std::string original = ReadData(name);
    const std::string packed = ReadData(std::string(name) + "_");
    ASSERT_EQ(packed.substr(0, 8), kLzSignature);
    ASSERT_LT(packed.size(), original.size());
    std::optional<std::string> expanded = LzExpand(packed);
    ASSERT_TRUE(expanded.has_value());
    EXPECT_EQ(*expanded, original);
  }
}

TEST(LzExpandTest, AReferenceMayOverlapTheBytesItProduces) {
  // 'a', 'b', then ten bytes from where 'a' was written (4080): the copy reads what it writes.
  const std::string packed = Packed(12, std::string_view("\x03" "ab" "\xF0\xF7", 5));
  EXPECT_EQ(LzExpand(packed), "abababababab");
}

TEST(LzExpandTest, ReferencesWrapTheWindowAndUnwrittenBytesAreBlanks) {
  // Twenty literals fill 4080..4095 and wrap to 0..3; a reference at 4090 runs across the
  // window's end, and one at 100 reads blanks nobody wrote.
  std::string data = "\xFF" "ABCDEFGH" "\xFF" "IJKLMNOP" "\x0F" "QRST";
  data += std::string("\xFA\xF7", 2);
  data += std::string("\x64\x00", 2);
  EXPECT_EQ(LzExpand(Packed(33, data)), "ABCDEFGHIJKLMNOPQRST" "KLMNOPQRST" "   ");
}

TEST(LzExpandTest, DataWithoutTheSignatureComesThroughUnchanged) {
  const std::string cases[] = {
      "",
      std::string("\x7F" "ELF\x02\x01\x01\x00\x00", 9),
      "SZDD",                        // too short to be the signature
      std::string("SZDD\x88\xF0\x27", 7) + "x",  // one byte differs
      "<html>Proxy error</html>",
  };
  for (const std::string& data : cases) EXPECT_EQ(LzExpand(data), data);
}

TEST(LzExpandTest, DamagedCompressedDataFailsCleanly) {
  const std::string packed = ReadData("text.txt_");
  // Every cut from the full signature on loses something the stated length needs.
  for (std::size_t cut = kLzSignature.size(); cut < packed.size(); ++cut) {
    EXPECT_FALSE(LzExpand(packed.substr(0, cut)).has_value()) << "cut at " << cut;
  }
  std::string other_mode = packed;
  other_mode[8] = 'B';
  EXPECT_FALSE(LzExpand(other_mode).has_value());
  // A reference whose second byte is missing.
  EXPECT_FALSE(LzExpand(Packed(5, std::string_view("\x00\xF0", 2))).has_value());
}

}  // namespace
}  // namespace larkspire
