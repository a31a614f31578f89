#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "net/AppError.h"
#include "net/Connection.h"
#include "net/ConnectionTestFixture.h"
#include "net/ReplyReader.h"
#include "support/TestServer.h"

namespace larkspire {
namespace {

TEST_F(ConnectionTest, DottedAddressWithPortConnectsWithoutResolvingAndLogsEveryStep) {
  CTestServer server([](CTestConnection& c) {
    c.ReadUntil("\r\n");
    c.Write("hello\r\n");
  });
  {
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    connection->Send("ping\r\n");
    EXPECT_EQ(connection->ReceiveAll(false, kRoomyCap), "hello\r\n");
  }
  const std::string port = std::to_string(server.Port());
  const std::vector<std::string> expected = {
      "T: Connecting to 127.0.0.1 on port #" + port + " ...",
      "T: Connected",
      "T: Sending 'ping\\r\\n' ...",
      "T: Sent",
      "T: Receiving ...",
      "T: Received part 'hello\\r\\n'",
      "T: Received 7 bytes",
      "T: Shutdown...",
      "T: Closing...",
      "T: Closed",
  };
  EXPECT_EQ(Texts(), expected);
  EXPECT_EQ(Activities(), (std::vector<int>{1, 2, 1, 0, 0, 2, 0, 0, 0, 0}));
}

TEST_F(ConnectionTest, HostNameIsResolvedAndTheDefaultPortUsedWithoutColon) {
  CTestServer server([](CTestConnection&) {});
  auto connection = Open();
  connection->Connect("localhost:" + std::to_string(server.Port()), 1);
  EXPECT_TRUE(Has("T: Resolving 'localhost' ..."));
  EXPECT_TRUE(Has("T: Connecting to 127.0.0.1 on port #" + std::to_string(server.Port()) + " ..."));

  auto second = Open();
  second->Connect("127.0.0.1", server.Port());
  EXPECT_TRUE(server.WaitForAccepted(2));
}

TEST_F(ConnectionTest, ConnectFailuresHaveTheirMessagesAndAreLogged) {
  const int unused = UnusedLoopbackPort();
  EXPECT_EQ(ErrorOf([&] { Open()->Connect("127.0.0.1:" + std::to_string(unused), 80); }),
            kRefusedMessage);
  EXPECT_TRUE(Has(std::string("T: ") + kRefusedMessage));
  EXPECT_EQ(ErrorOf([&] { Open()->Connect("no-such-host.invalid", 80); }), kNoResolveMessage);
  EXPECT_TRUE(Has(std::string("T: ") + kNoResolveMessage));
}

TEST_F(ConnectionTest, CancelFlagEndsAConnectThatNeverCompletes) {
  CUnansweredListener unanswered;
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel_.Set(1);
  });
  const std::string error = ErrorOf([&] { Open()->Connect(unanswered.HostPort(), 80); });
  stopper.join();
  EXPECT_EQ(error, kCanceledMessage);
}

TEST_F(ConnectionTest, LongTextsAreSentWholeInChunksAndLoggedByTheirEnds) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += static_cast<char>('a' + i % 23);
  std::string received;
  CTestServer server([&](CTestConnection& c) {
    if (auto all = c.ReadExactly(text.size())) received = *all;
  });
  {
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    connection->Send(text);
  }
  ASSERT_TRUE(server.WaitForFinished(1));
  EXPECT_EQ(received, text);
  const std::vector<std::string> texts = Texts();
  EXPECT_EQ(texts[2], "T: Sending '" + text.substr(0, 40) + "..." + text.substr(39960) + "' ...");
  // At most 16384 bytes go per chunk, so three chunks at least: two "Sending..." lines.
  EXPECT_GE(std::count(texts.begin(), texts.end(), "T: Sending..."), 2);
}

TEST_F(ConnectionTest, LogTextReplacesTheSentText) {
  CTestServer server([](CTestConnection& c) { c.ReadUntil("\r\n"); });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  connection->Send("c2VjcmV0\r\n", "***password***");
  EXPECT_TRUE(Has("T: Sending ***password***"));
  for (const std::string& text : Texts()) EXPECT_EQ(text.find("c2VjcmV0"), std::string::npos);
}

TEST_F(ConnectionTest, SizeOnlyLogsTheLengthOfEachPart) {
  CTestServer server([](CTestConnection& c) { c.Write("12345"); });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  EXPECT_EQ(connection->ReceiveAll(true, kRoomyCap), "12345");
  EXPECT_TRUE(Has("T: Received part '5'"));
  EXPECT_TRUE(Has("T: Received 5 bytes"));
}

// Replies to commands sent together may arrive in one piece: once asked to, Expect leaves
// what follows a reply for the next one, and a connection holding such a reply is no longer
// free for a new command.
TEST_F(ConnectionTest, RepliesArrivingInOnePieceAreReadOneByOneWhenKeptApart) {
  CTestServer server([&](CTestConnection& c) {
    c.Write("250 sender ok\r\n250-recipient\r\n250 ok\r\n354 go ahead\r\n");
    c.ReadUntil("\r\n");
  });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  connection->KeepRepliesApart();
  EXPECT_TRUE(connection->Expect(250));
  EXPECT_EQ(connection->LastReply(), "250 sender ok\r\n");
  EXPECT_FALSE(connection->StillOpen());
  EXPECT_TRUE(connection->Expect(250));
  EXPECT_EQ(connection->LastReply(), "250-recipient\r\n250 ok\r\n");
  EXPECT_TRUE(connection->Expect(354));
  EXPECT_EQ(connection->LastReply(), "354 go ahead\r\n");
  EXPECT_TRUE(connection->StillOpen());
  connection->Send("DONE\r\n");
  ASSERT_TRUE(server.WaitForFinished(1));
}

TEST_F(ConnectionTest, ExpectReadsAMultiLineReplyArrivingInTwoChunks) {
  std::atomic<bool> early{false};
  CTestServer server([&](CTestConnection& c) {
    c.Write("250-first line\r\n");
    // Nothing may come back before the reply's last line has been sent.
    early = c.DataArrives(300);
    c.Write("250 last line\r\n");
    c.ReadUntil("\r\n");
  });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  EXPECT_TRUE(connection->Expect(250));
  connection->Send("NEXT\r\n");
  ASSERT_TRUE(server.WaitForFinished(1));
  EXPECT_FALSE(early);
  const std::vector<std::string> texts = Texts();
  const std::vector<std::string> expected = {
      "T: Expecting '250' ...", "T: Received '250-first line\\r\\n'",
      "T: Received '250 last line\\r\\n'", "T: Received 31 bytes"};
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 2, texts.begin() + 6), expected);
}

TEST_F(ConnectionTest, ExpectComparesTheFirstLinesCode) {
  const struct {
    const char* reply;
    int code;
    bool matches;
  } cases[] = {
      {"250 ok\r\n", 250, true},     {"550 no\r\n", 250, false}, {"354-a\r\n250 b\r\n", 250, false},
      {"2500 long\r\n", 250, false}, {"abc\r\n", 250, false},    {"220\n", 220, true},
  };
  for (const auto& c : cases) {
    CTestServer server([&](CTestConnection& s) {
      s.Write(c.reply);
      s.Stall();
    });
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    EXPECT_EQ(connection->Expect(c.code), c.matches) << c.reply;
  }
}

// Servers that send without end: what is kept stays bounded, and the request fails with the
// cap's message instead.
TEST_F(ConnectionTest, ReceiveAllKeepsUpToItsCapAndRaisesItsMessagePastIt) {
  constexpr CReceiveCap kCap{100000, "T: larger than the cap."};
  const struct {
    std::size_t sent;
    bool endless;
    std::string error;
  } cases[] = {
      {kCap.bytes, false, ""},
      {kCap.bytes + 1, false, kCap.message},
      {0, true, kCap.message},
  };
  for (const auto& c : cases) {
    CTestServer server([&](CTestConnection& s) {
      if (!c.endless) {
        s.Write(std::string(c.sent, 'b'));
        return;
      }
      const std::string chunk(65536, 's');
      while (!s.Stopping() && s.Write(chunk)) {
      }
    });
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    std::string received;
    EXPECT_EQ(ErrorOf([&] { received = connection->ReceiveAll(true, kCap); }), c.error) << c.sent;
    if (c.error.empty()) {
      EXPECT_EQ(received.size(), c.sent);
    } else {
      EXPECT_TRUE(Has(std::string("T: ") + c.error));
    }
  }
}

TEST_F(ConnectionTest, ExpectRefusesAReplyThatRunsPastSixtyFourKilobytes) {
  const std::string continuation = "250-" + std::string(200, 'x') + "\r\n";
  const std::string endless_line(4096, '2');
  for (const std::string* piece : {&continuation, &endless_line}) {
    CTestServer server([&](CTestConnection& s) {
      while (!s.Stopping() && s.Write(*piece)) {
      }
    });
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    EXPECT_EQ(ErrorOf([&] { connection->Expect(250); }), kReplyTooLongMessage);
    EXPECT_TRUE(Has(std::string("T: ") + kReplyTooLongMessage));
  }
}

TEST_F(ConnectionTest, PeerCloseEndsReceiveAllButBreaksExpect) {
  CTestServer server([](CTestConnection& c) { c.Write("250-more to come\r\n"); });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  EXPECT_EQ(ErrorOf([&] { connection->Expect(250); }), kDisconnectedMessage);
  EXPECT_TRUE(Has(std::string("T: ") + kDisconnectedMessage));

  CTestServer quiet([](CTestConnection&) {});
  auto other = Open();
  other->Connect(quiet.HostPort(), 1);
  EXPECT_EQ(other->ReceiveAll(false, kRoomyCap), "");
}

TEST_F(ConnectionTest, ResetByPeerWhileSendingIsADisconnectionNotASignal) {
  CTestServer server([](CTestConnection& c) {
    c.ReadExactly(1);
    c.Reset();
  });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  const std::string big(8 * 1024 * 1024, 'x');
  EXPECT_EQ(ErrorOf([&] {
              connection->Send(big);
              connection->Send(big);
            }),
            kDisconnectedMessage);
}

TEST_F(ConnectionTest, CancelFromAnotherThreadWakesAWaitingReceiveOnce) {
  CTestServer server([](CTestConnection& c) { c.Stall(); });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    connection->Cancel();
    connection->Cancel();  // already cancelled: writes nothing
  });
  EXPECT_EQ(ErrorOf([&] { connection->ReceiveAll(false, kRoomyCap); }), kDisconnectedMessage);
  canceller.join();
  connection.reset();
  const std::vector<std::string> texts = Texts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "T: Cancelling..."), 1);
  // The cancelled socket counts as closed: no closing lines follow.
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "T: Closed"), 0);
  EXPECT_EQ(texts.back(), std::string("T: ") + kDisconnectedMessage);
}

TEST_F(ConnectionTest, CancelFlagStopsSendAndReceive) {
  CTestServer server([](CTestConnection& c) { c.Stall(); });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  cancel_.Set(1);
  EXPECT_EQ(ErrorOf([&] { connection->Send("x"); }), kCanceledMessage);
  EXPECT_EQ(ErrorOf([&] { connection->ReceiveAll(false, kRoomyCap); }), kCanceledMessage);
  EXPECT_EQ(ErrorOf([&] { connection->Expect(250); }), kCanceledMessage);
}

TEST_F(ConnectionTest, LocalHostNameIsTheMachinesName) {
  char name[256] = "";
  ::gethostname(name, sizeof name);
  EXPECT_EQ(Open()->LocalHostName(), name);
}

TEST_F(ConnectionTest, WithoutFlowLogNothingIsWritten) {
  CTestServer server([](CTestConnection& c) { c.Write("x"); });
  CConnection connection(&cancel_, nullptr, "T: ");
  connection.Connect(server.HostPort(), 1);
  EXPECT_EQ(connection.ReceiveAll(false, kRoomyCap), "x");
  EXPECT_TRUE(Texts().empty());
}

}  // namespace
}  // namespace larkspire
