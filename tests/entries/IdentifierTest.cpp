#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "entries/Entry.h"
#include "entries/Identifier.h"

namespace larkspire {
namespace {

struct IdentifierCase {
  const char* text;
  int field;  // -1 when the text is rejected
  const char* stored;
};

class SetIdentifierCases : public ::testing::TestWithParam<IdentifierCase> {};

TEST_P(SetIdentifierCases, StoreTheCanonicalFormInOneField) {
  const IdentifierCase& c = GetParam();
  CEntry entry;
  entry.Text(kAppNum) = "old app";
  entry.Text(kPatNum) = "old pat";
  entry.Text(kPubNum) = "old pub";
  std::optional<std::string> error = SetIdentifier(entry, c.text);
  if (c.field < 0) {
    ASSERT_TRUE(error.has_value()) << c.text;
    EXPECT_EQ(*error, kInvalidIdentifierMessage);
    EXPECT_EQ(entry.Text(kAppNum), "old app");
    EXPECT_EQ(entry.Text(kPatNum), "old pat");
    EXPECT_EQ(entry.Text(kPubNum), "old pub");
    return;
  }
  ASSERT_FALSE(error.has_value()) << c.text;
  for (int id : {kAppNum, kPatNum, kPubNum}) {
    EXPECT_EQ(entry.Text(id), id == c.field ? c.stored : "") << c.text << " field " << id;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Identifier, SetIdentifierCases,
    ::testing::Values(IdentifierCase{"10/123,456", kAppNum, "10/123,456"},
                      IdentifierCase{"7,123,456", kPatNum, "7,123,456"},
                      IdentifierCase{"7123456", kPatNum, "7,123,456"},
                      IdentifierCase{"RE12345", kPatNum, "RE12,345"},
                      IdentifierCase{"D512345", kPatNum, "D512,345"},
                      IdentifierCase{"US 2007-0123456 A1", kPubNum, "US 2007-0123456 A1"},
                      IdentifierCase{"us 2007-0123456 A1", kPubNum, "us 2007-0123456 A1"},
                      IdentifierCase{"2007-0123456 a1", kPubNum, "2007-0123456 a1"},
                      IdentifierCase{"2007/0123456A1", kPubNum, "2007-0123456 A1"},
                      IdentifierCase{"2007-0123456A1", kPubNum, "2007-0123456 A1"},
                      IdentifierCase{"2007/0123456 B2", kPubNum, "2007-0123456 B2"},
                      IdentifierCase{"", -1, ""}, IdentifierCase{"10123456", -1, ""},
                      IdentifierCase{"2007-0123456 A", -1, ""}, IdentifierCase{"10/123456", -1, ""},
                      IdentifierCase{" 7123456", -1, ""}, IdentifierCase{"7123456 ", -1, ""},
                      IdentifierCase{"RE1234", -1, ""},
                      IdentifierCase{"US 2007/0123456 A1", -1, ""},
                      IdentifierCase{"2007-0123456 1A", -1, ""}));

TEST(Identifier, InvalidIdentifierMessageIsTheDialogText) {
  EXPECT_STREQ(kInvalidIdentifierMessage,
               "Invalid Patent/Application/Publication Number.\n"
               "Patent numbers must be of the form: nnnnnnn or n,nnn,nnn\n"
               "Application numbers must be of the form: nn/nnn,nnn\n"
               "Publication numbers must be of the form: nnnn/nnnnnnn xn or nnnn-nnnnnnn xn");
}

TEST(Identifier, FileSafeIdentifierPrefersPatentThenApplicationThenPublication) {
  CEntry entry;
  EXPECT_EQ(FileSafeIdentifier(entry), "");
  entry.Text(kPubNum) = "US 2007-0123456 A1";
  EXPECT_EQ(FileSafeIdentifier(entry), "US2007-0123456A1");
  entry.Text(kAppNum) = "10/123,456";
  EXPECT_EQ(FileSafeIdentifier(entry), "10_123456");
  entry.Text(kPatNum) = "7,123,456";
  EXPECT_EQ(FileSafeIdentifier(entry), "7123456");
  entry.Text(kPatNum) = "RE12,345";
  EXPECT_EQ(FileSafeIdentifier(entry), "RE12345");
  // Whatever was typed or imported, nothing can leave the directory or upset the file system.
  entry.Text(kPatNum) = "../a:b\\c*?\xE9.d";
  EXPECT_EQ(FileSafeIdentifier(entry), "_abcd");
}

}  // namespace
}  // namespace larkspire
