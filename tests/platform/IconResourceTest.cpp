#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/Files.h"
#include "platform/Resources.h"
#include "platform/Shortcuts.h"

namespace larkspire {
namespace {

uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
  uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Every size the shortcuts' icon theme gets is embedded, as a PNG of that many pixels square
// with an alpha channel (the icon stands on any panel colour).
TEST(IconResourceTest, EverySizeIsAnRgbaPngOfThatSize) {
  for (int size : kIconSizes) {
    const std::string name = "LARKSPIRE_" + std::to_string(size) + "_PNG";
    const std::optional<std::string_view> png = FindResource("ICON", name);
    ASSERT_TRUE(png.has_value()) << name;
    ASSERT_GT(png->size(), 33u) << name;
    EXPECT_EQ(png->substr(0, 8), std::string_view("\x89PNG\r\n\x1a\n", 8)) << name;
    EXPECT_EQ(png->substr(12, 4), "IHDR") << name;
    EXPECT_EQ(BigEndian32(*png, 16), static_cast<uint32_t>(size)) << name;
    EXPECT_EQ(BigEndian32(*png, 20), static_cast<uint32_t>(size)) << name;
    EXPECT_EQ(static_cast<unsigned char>((*png)[25]), 6) << name << ": colour type RGBA";
  }
}

TEST(IconResourceTest, TheDrawingIsEmbeddedByteForByte) {
  const std::optional<std::string_view> svg = FindResource("ICON", "LARKSPIRE_SVG");
  ASSERT_TRUE(svg.has_value());
  std::string on_disk;
  ASSERT_TRUE(
      ReadWholeFile(std::string(LARKSPIRE_SOURCE_DIR) + "/resources/icons/larkspire.svg", on_disk));
  EXPECT_EQ(*svg, on_disk);
  EXPECT_NE(svg->find("<svg"), std::string_view::npos);
}

}  // namespace
}  // namespace larkspire
