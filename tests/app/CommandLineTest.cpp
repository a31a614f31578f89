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

TEST(CommandLine, RequestsAnsweredWithoutAWindow) {
  struct Case {
    std::vector<std::string> args;
    CommandRequest request;
    std::string export_path;
  } cases[] = {
      {{}, CommandRequest::kRun, ""},
      {{"-auto"}, CommandRequest::kRun, ""},
      {{"--help"}, CommandRequest::kHelp, ""},
      {{"-HELP"}, CommandRequest::kHelp, ""},
      {{"/?"}, CommandRequest::kHelp, ""},
      {{"-h"}, CommandRequest::kHelp, ""},
      {{"-auto", "--help"}, CommandRequest::kHelp, ""},
      {{"--version", "--help"}, CommandRequest::kHelp, ""},
      {{"--version"}, CommandRequest::kVersion, ""},
      {{"/Version", "-export", "x.csv"}, CommandRequest::kVersion, ""},
      {{"-export", "x.csv", "--version"}, CommandRequest::kVersion, ""},
      {{"-export", "list.csv"}, CommandRequest::kExport, "list.csv"},
      {{"/EXPORT", "/home/me/-auto.csv"}, CommandRequest::kExport, "/home/me/-auto.csv"},
      // The word after -export is the file, whatever it looks like.
      {{"--export", "-h"}, CommandRequest::kExport, "-h"},
      {{"-export"}, CommandRequest::kUsageError, ""},
      {{"-deadlines"}, CommandRequest::kDeadlines, ""},
      {{"/Deadlines", "/tmp/due.csv"}, CommandRequest::kDeadlines, "/tmp/due.csv"},
      {{"-deadlines", "-auto"}, CommandRequest::kDeadlines, ""},
      {{"-auto", "--deadlines", "due.csv"}, CommandRequest::kDeadlines, "due.csv"},
      {{"-export", "x.csv", "-deadlines"}, CommandRequest::kDeadlines, ""},
      {{"-deadlines", "--version"}, CommandRequest::kVersion, ""},
      {{"-deadlines", "-h"}, CommandRequest::kHelp, ""},
      {{"help"}, CommandRequest::kRun, ""},  // a word without a switch sign is no switch
      {{"-helpme"}, CommandRequest::kRun, ""},
  };
  for (const Case& c : cases) {
    const CommandLineRequest parsed = ParseCommandRequest(c.args);
    EXPECT_EQ(parsed.request, c.request) << JoinArguments(c.args);
    EXPECT_EQ(parsed.export_path, c.export_path) << JoinArguments(c.args);
  }
}

TEST(CommandLine, ScheduleTakesTheWordAfterIt) {
  struct Case {
    std::vector<std::string> args;
    CommandRequest request;
    std::string schedule;
    std::string missing_argument_of;
  } cases[] = {
      {{"-schedule", "06:30"}, CommandRequest::kSchedule, "06:30", ""},
      {{"/SCHEDULE", "off"}, CommandRequest::kSchedule, "off", ""},
      {{"-schedule", "-auto"}, CommandRequest::kSchedule, "-auto", ""},
      {{"-export", "x.csv", "-schedule", "7:00"}, CommandRequest::kSchedule, "7:00", ""},
      {{"-schedule", "7:00", "--version"}, CommandRequest::kVersion, "", ""},
      {{"-schedule"}, CommandRequest::kUsageError, "", "-schedule"},
      {{"-export"}, CommandRequest::kUsageError, "", "-export"},
  };
  for (const Case& c : cases) {
    const CommandLineRequest parsed = ParseCommandRequest(c.args);
    EXPECT_EQ(parsed.request, c.request) << JoinArguments(c.args);
    EXPECT_EQ(parsed.schedule, c.schedule) << JoinArguments(c.args);
    EXPECT_EQ(parsed.missing_argument_of, c.missing_argument_of) << JoinArguments(c.args);
  }
}

TEST(CommandLine, UsageNamesEverySwitch) {
  const std::string usage = UsageText();
  for (const char* word : {"-auto", "/auto", "-export FILE.csv", "-deadlines [FILE.csv]",
                           "-deadlines FILE.csv", "-schedule HH:MM", "-schedule off", "--help",
                           "--version", "RegServer", "UnregServer", "LARKSPIRE_SETTINGS"}) {
    EXPECT_NE(usage.find(word), std::string::npos) << word;
  }
  EXPECT_EQ(VersionLine(), "Larkspire\xAE 4.2.04");
}

}  // namespace
}  // namespace larkspire
