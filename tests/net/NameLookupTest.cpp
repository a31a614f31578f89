// Connecting by name and by IPv6 literal: every address a name has is tried, and a resolver
// that takes its time never holds up a cancel.
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "net/ConnectionTestFixture.h"
#include "net/HttpGet.h"
#include "net/NameLookup.h"
#include "net/NetworkWait.h"
#include "support/TestServer.h"
#include "support/TestWaiter.h"

namespace larkspire {
namespace {

// Puts a resolver of the test's own in place for the test's lifetime.
class CScopedResolver {
 public:
  explicit CScopedResolver(NameResolver resolver) { SetNameResolverForTesting(resolver); }
  ~CScopedResolver() { SetNameResolverForTesting(nullptr); }
  CScopedResolver(const CScopedResolver&) = delete;
  CScopedResolver& operator=(const CScopedResolver&) = delete;
};

std::vector<CSocketAddress> Literals(std::initializer_list<const char*> texts) {
  std::vector<CSocketAddress> addresses;
  for (const char* text : texts) addresses.push_back(*LiteralAddress(text));
  return addresses;
}

// A resolver that answers only when the test lets it: it stands for one that takes many
// seconds. Opened at the end of each test, so the abandoned look-up ends too.
class CGate {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return open_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

class NameLookupTest : public ConnectionTest {
 protected:
  ~NameLookupTest() override { gate_->Open(); }
  NameResolver SlowResolver() {
    return [gate = gate_](const std::string&) {
      gate->Wait();
      return Literals({"127.0.0.1"});
    };
  }
  std::shared_ptr<CGate> gate_ = std::make_shared<CGate>();
};

TEST_F(NameLookupTest, LiteralsAreUsedAsTheyAreAndOthersAreNot) {
  EXPECT_EQ(LiteralAddress("127.0.0.1")->Text(), "127.0.0.1");
  EXPECT_EQ(LiteralAddress("::1")->Text(), "::1");
  EXPECT_EQ(LiteralAddress("2001:DB8::7")->Text(), "2001:db8::7");
  EXPECT_FALSE(LiteralAddress("localhost"));
  EXPECT_FALSE(LiteralAddress("[::1]"));
  EXPECT_FALSE(LiteralAddress(""));
}

TEST_F(NameLookupTest, BracketedIpv6LiteralConnectsWithoutResolving) {
  CTestServer server([](CTestConnection& c) { c.Write("over six\r\n"); }, AF_INET6);
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  EXPECT_EQ(connection->ReceiveAll(false, kRoomyCap), "over six\r\n");
  const std::vector<std::string> texts = Texts();
  EXPECT_EQ(texts[0], "T: Connecting to ::1 on port #" + std::to_string(server.Port()) + " ...");
  EXPECT_EQ(texts[1], "T: Connected");
}

TEST_F(NameLookupTest, NameWithOnlyAnIpv6AddressConnects) {
  CTestServer server([](CTestConnection&) {}, AF_INET6);
  CScopedResolver resolver([](const std::string& name) {
    return name == "six.example" ? Literals({"::1"}) : std::vector<CSocketAddress>{};
  });
  Open()->Connect("six.example:" + std::to_string(server.Port()), 80);
  EXPECT_TRUE(server.WaitForAccepted(1));
  EXPECT_TRUE(Has("T: Connected"));
}

TEST_F(NameLookupTest, EveryAddressIsTriedInTurnUntilOneAnswers) {
  CTestServer server([](CTestConnection&) {}, AF_INET6);
  CScopedResolver resolver([](const std::string&) { return Literals({"127.0.0.1", "::1"}); });
  const std::string port = std::to_string(server.Port());
  Open()->Connect("both.example:" + port, 80);
  EXPECT_TRUE(server.WaitForAccepted(1));
  const std::vector<std::string> expected = {
      "T: Resolving 'both.example' ...",
      "T: Connecting to 127.0.0.1 on port #" + port + " ...",
      "T: Connecting to ::1 on port #" + port + " ...",
      "T: Connected",
  };
  const std::vector<std::string> texts = Texts();
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 4), expected);
}

TEST_F(NameLookupTest, WhenNoAddressAnswersTheLastFailureIsReported) {
  const int unused = UnusedLoopbackPort();
  CScopedResolver resolver([](const std::string&) { return Literals({"::1", "127.0.0.1"}); });
  EXPECT_EQ(ErrorOf([&] { Open()->Connect("none.example:" + std::to_string(unused), 80); }),
            kRefusedMessage);
  const std::vector<std::string> texts = Texts();
  EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                          [](const std::string& t) { return t.starts_with("T: Connecting"); }),
            2);
}

TEST_F(NameLookupTest, CancelFlagEndsASlowLookUp) {
  CScopedResolver resolver(SlowResolver());
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel_.Set(1);
  });
  EXPECT_EQ(ErrorOf([&] { Open()->Connect("slow.example", 80); }), kCanceledMessage);
  stopper.join();
}

TEST_F(NameLookupTest, CancelFromAnotherThreadEndsASlowLookUp) {
  CScopedResolver resolver(SlowResolver());
  auto connection = Open();
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    connection->Cancel();
  });
  EXPECT_EQ(ErrorOf([&] { connection->Connect("slow.example", 80); }), kCanceledMessage);
  canceller.join();
}

// The Cancel button during a look-up that would take many seconds: the wait ends with the
// cancel's own text at once, not with workers that refuse to quit.
TEST_F(NameLookupTest, CancelDuringASlowLookUpEndsTheFetchAsCanceled) {
  CScopedResolver resolver(SlowResolver());
  CTestWaiter waiter(60000);
  waiter.Ui().on_pump = [&] {
    if (waiter.Ui().pumps == 10) waiter.SetAbort(kAbortCanceled);
  };
  std::string page = "untouched";
  EXPECT_EQ(HttpGet(waiter, CHttpRoute{}, "http://slow.example/x", true, false, page),
            "Operation canceled.");
  EXPECT_EQ(page, "untouched");
  EXPECT_TRUE(waiter.Ui().messages.empty());
  EXPECT_EQ(waiter.AbortReason(), kAbortCanceled);
  // Ended within a few slices of the cancel, not after the workers' grace period.
  EXPECT_LT(waiter.Ui().pumps, 10 + static_cast<int>(kWorkerGraceMs / kWaitSliceMs) / 2);
}

}  // namespace
}  // namespace larkspire
