#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "notify/MessageNames.h"

namespace larkspire {
namespace {

TEST(MessageNames, OnlyNamesOfTheQueuesOwnFormHaveAKind) {
  const struct {
    const char* name;
    std::optional<std::string> kind;
  } cases[] = {
      {"Larkspire_s10_123456.tmp", "s"},
      {"Larkspire_a7123456.tmp", "a"},
      {"Larkspire_cUS2005-0123456A1.tmp", "c"},
      {"Larkspire_d.tmp", "d"},  // an entry without a number
      {"Larkspire_s7123456~2.tmp", "s"},
      {"Larkspire_r0123456789abcdef-30.tmp", "r"},
      {"Larkspire_i10_123456.tmp", "i"},
      {"Larkspire_m2026-12-11~2.tmp", "m"},
      {"Larkspire_t7123456.tmp", "t"},
      {"Larkspire_welcome.tmp", "welcome"},
      {"Larkspire_welcome~2.tmp", "welcome"},
      {"Larkspire_welcome~17.tmp", "welcome"},
      {"../../x", std::nullopt},
      {"/etc/passwd", std::nullopt},
      {"Larkspire_s1/../../x.tmp", std::nullopt},
      {"Larkspire_s1 2.tmp", std::nullopt},
      {"Larkspire_pending.tmp", std::nullopt},
      {"Larkspire_pending2.tmp", std::nullopt},
      {"Larkspire_emailtest.txt", std::nullopt},
      {"Larkspire_reminders.dat", std::nullopt},
      {"Larkspire_x1.tmp", std::nullopt},
      {"Larkspire_.tmp", std::nullopt},
      {"Larkspire_s1~.tmp", std::nullopt},
      {"Larkspire_s1~2~3.tmp", std::nullopt},
      {"Larkspire_welcomes.tmp", std::nullopt},
      {"larkspire_s1.tmp", std::nullopt},
      {"Larkspire_s1.TMP", std::nullopt},
      {"Larkspire_s1.tmp\r", std::nullopt},
      {"patent.dat", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageKind(c.name), c.kind) << c.name;
  // A line longer than the list's lines may be is not a name.
  EXPECT_EQ(MessageKind("Larkspire_s" + std::string(47, '1') + ".tmp"), "s");
  EXPECT_EQ(MessageKind("Larkspire_s" + std::string(48, '1') + ".tmp"), std::nullopt);
}

// Taken: the names of a list.
std::function<bool(const std::string&)> Listed(std::vector<std::string> names) {
  return [names](const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
}

TEST(MessageNames, AWaitingNameIsNeverTakenAgain) {
  EXPECT_EQ(UnusedMessageName("s", "10_123456", Listed({})), "Larkspire_s10_123456.tmp");
  EXPECT_EQ(UnusedMessageName("s", "1", Listed({"Larkspire_s1.tmp", "Larkspire_s1~2.tmp"})),
            "Larkspire_s1~3.tmp");
  EXPECT_EQ(UnusedMessageName("a", "1", Listed({"Larkspire_s1.tmp"})), "Larkspire_a1.tmp");
  for (const std::string& name :
       {UnusedMessageName("welcome", "", Listed({})),
        UnusedMessageName("welcome", "", Listed({"Larkspire_welcome.tmp"}))}) {
    EXPECT_EQ(MessageKind(name), "welcome") << name;
  }
}

}  // namespace
}  // namespace larkspire
