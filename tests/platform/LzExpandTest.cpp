#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/LzExpand.h"
#include "support/LzFile.h"

namespace larkspire {
namespace {

std::string ReadData(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(std::string(LARKSPIRE_TEST_DATA) + "/lz/" + name, bytes)) << name;
  return bytes;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
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
  // Flags 0x03: two literals, then a reference (offset 0xFF0, length 7 + 3).
  const std::string packed = LzFileAround(12, Bytes({0x03, 'a', 'b', 0xF0, 0xF7}));
  EXPECT_EQ(LzExpand(packed), "abababababab");
}

TEST(LzExpandTest, ReferencesWrapTheWindowAndUnwrittenBytesAreBlanks) {
  // Twenty literals fill 4080..4095 and wrap to 0..3; a reference at 4090 runs across the
  // window's end, and one at 100 reads blanks nobody wrote.
  const std::string data = Bytes({0xFF}) + "ABCDEFGH" + Bytes({0xFF}) + "IJKLMNOP" + Bytes({0x0F}) +
                           "QRST" + Bytes({0xFA, 0xF7}) + Bytes({0x64, 0x00});
  EXPECT_EQ(LzExpand(LzFileAround(33, data)),
            "ABCDEFGHIJKLMNOPQRST" + std::string("KLMNOPQRST   "));
}

TEST(LzExpandTest, DataWithoutTheSignatureComesThroughUnchanged) {
  const std::string cases[] = {
      "",
      std::string("\177ELF\x02\x01\x01\x00\x00", 9),
      "SZDD",                                    // too short to be the signature
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
  EXPECT_FALSE(LzExpand(LzFileAround(5, Bytes({0x00, 0xF0}))).has_value());
  // A header claiming far more than the packed bytes can hold fails at once (found by the
  // fuzzer: it used to reserve the claimed 2 GB first).
  std::string huge = packed.substr(0, 14) + "\xFF";
  huge[10] = huge[11] = huge[12] = '\xFF';
  huge[13] = '\x7F';
  EXPECT_FALSE(LzExpand(huge).has_value());
}

}  // namespace
}  // namespace larkspire
