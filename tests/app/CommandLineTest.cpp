#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace larkspire {
namespace {

TEST(CommandLine, UnattendedFlag) {
  struct Case {
    const char* line;
    bool unattended;
  } cases[] = {
      {"-auto", true},
      {"-AUTO", true},
      {"/auto", true},
      {"/Auto", true},
      {"-autox", false},
      {"auto", false},
      {"", false},
      {"--auto", true},  // every "-" starts a token, the second one reads "auto"
      {"-x -auto", true},
      {"/home/me/-auto/data", false},  // the token after "-" runs on to "auto/data"
      {"/home/me/-auto extra", true},
      {"C:\\folder\\-auto", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasAutoFlag(c.line), c.unattended) << c.line;
  }
}

TEST(CommandLine, RegistrationWordsStandAlone) {
  EXPECT_EQ(ParseRegistration("RegServer"), RegistrationCommand::kRegServer);
  EXPECT_EQ(ParseRegistration("-regserver"), RegistrationCommand::kRegServer);
  EXPECT_EQ(ParseRegistration("/RegServer"), RegistrationCommand::kRegServer);
  EXPECT_EQ(ParseRegistration("-UnregServer"), RegistrationCommand::kUnregServer);
  EXPECT_EQ(ParseRegistration("-RegServer -auto"), RegistrationCommand::kNone);
  EXPECT_EQ(ParseRegistration("-auto"), RegistrationCommand::kNone);
  EXPECT_EQ(JoinArguments({"-x", "/auto"}), "-x /auto");
}

}  // namespace
}  // namespace larkspire
