// The Open Data Portal's value shapes written as the status site wrote them.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "retrieval/OdpFormats.h"

namespace larkspire {
namespace {

struct CTextCase {
  const char* in;
  const char* out;
};

TEST(OdpFormatsTest, Dates) {
  struct Case {
    const char* in;
    std::optional<std::string> iso;
    std::optional<std::string> table;
  };
  const Case cases[] = {
      {"2008-12-02", "2008-12-02", "12-02-2008"},
      {"2021-06-02T03:14:15", "2021-06-02", "06-02-2021"},
      {"2021-06-02 03:14:15", "2021-06-02", "06-02-2021"},
      {"2008-02-29", "2008-02-29", "02-29-2008"},
      // Not real calendar dates, or not in the service's layout: refused, never guessed.
      {"2007-02-29", std::nullopt, std::nullopt},
      {"2008-13-01", std::nullopt, std::nullopt},
      {"12-02-2008", std::nullopt, std::nullopt},
      {"2008/12/02", std::nullopt, std::nullopt},
      {"2008-12-02x", std::nullopt, std::nullopt},
      {"2008-12-2", std::nullopt, std::nullopt},
      {"????-??-??", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsoDate(c.in), c.iso) << c.in;
    EXPECT_EQ(SiteTableDate(c.in), c.table) << c.in;
  }
}

TEST(OdpFormatsTest, PatentNumbers) {
  const CTextCase cases[] = {
      {"7460123", "7,460,123"},   {"07460123", "7,460,123"},
      {"11012345", "11,012,345"}, {"7,460,123", "7,460,123"},
      {"RE12345", "RE12,345"},    {"D512345", "D512,345"},
      {"PP12345", "PP12,345"},    {"123", "123"},
      {" 7460123 ", "7,460,123"}, {"", ""},
      {"ABC12345", "ABC12345"},   {"re12345", "re12345"},
      {"7460123B2", "7460123B2"},
  };
  for (const CTextCase& c : cases) EXPECT_EQ(FormatPatentNumber(c.in), c.out) << c.in;
}

TEST(OdpFormatsTest, PublicationNumbers) {
  const CTextCase cases[] = {
      {"US20080228234A1", "US 2008-0228234 A1"},   {"US 2008-0228234 A1", "US 2008-0228234 A1"},
      {"US2008/0228234 A1", "US 2008-0228234 A1"}, {"US20080228234A9", "US 2008-0228234 A9"},
      {"2008-0228234 A1", "2008-0228234 A1"},      {"20080228234A1", "2008-0228234 A1"},
      {"US20080228234", "US20080228234"},          {"WO 2009/064413", "WO 2009/064413"},
      {"US2008022823A1", "US2008022823A1"},        {"", ""},
  };
  for (const CTextCase& c : cases) EXPECT_EQ(FormatPublicationNumber(c.in), c.out) << c.in;
}

TEST(OdpFormatsTest, ApplicationNumbers) {
  const CTextCase cases[] = {
      {"10123456", "10/123,456"},
      {"60905123", "60/905,123"},
      {"08123456", "08/123,456"},
      {"10/123,456", "10/123,456"},
      {"PCTEP05012345", "PCT/EP05/012345"},
      {"PCTEP0312345", "PCT/EP03/12345"},
      {"PCTGB2015051728", "PCT/GB2015/051728"},
      {"PCT/EP05/012345", "PCT/EP05/012345"},
      {"PCTEP050123", "PCTEP050123"},
      {"1012345", "1012345"},
      {"2004-281234", "2004-281234"},
  };
  for (const CTextCase& c : cases) EXPECT_EQ(FormatApplicationNumber(c.in), c.out) << c.in;
}

TEST(OdpFormatsTest, UspcClasses) {
  const CTextCase cases[] = {
      {"435/006000", "435/006.000"},  {"623/001150", "623/001.150"},
      {"345/617", "345/617.000"},     {"707/3", "707/003.000"},
      {"435/006.000", "435/006.000"}, {"D14/138", "D14/138.000"},
      {"604/8901", "604/8901"},       {"435", "435"},
      {"/006000", "/006000"},         {"", ""},
  };
  for (const CTextCase& c : cases) EXPECT_EQ(FormatUspcClass(c.in), c.out) << c.in;
}

TEST(OdpFormatsTest, Utf8BecomesWindows1252) {
  const CTextCase cases[] = {
      {"KIM, JUNE H", "KIM, JUNE H"},
      {"M\xC3\x9CLLER, J\xC3\x96RG", "M\xDCLLER, J\xD6RG"},  // Latin-1 letters keep their byte
      {"\xE2\x82\xAC 5 \xE2\x80\x94 \xC5\x93", "\x80 5 \x97 \x9C"},  // the code page's 0x80-0x9F
      {"\xC2\xA0", "\xA0"},                                          // no-break space
      {"\xE6\xBC\xA2\xE5\xAD\x97", "??"},                            // not in the code page
      {"\xF0\x9F\x98\x80!", "?!"},                                   // four-byte sequence
      {"\xC2\x81", "?"},                                             // a C1 control
      {"a\xC3", "a?"},                                               // cut inside a sequence
  };
  for (const CTextCase& c : cases) EXPECT_EQ(Utf8ToWindows1252(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace larkspire
