#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "net/Connection.h"
#include "net/ConnectionTestFixture.h"
#include "support/TempDir.h"
#include "support/TestServer.h"
#include "support/TlsTestSupport.h"

namespace larkspire {
namespace {

class TlsTest : public ConnectionTest {
 protected:
  TlsTest() { authority_.WritePem(ca_file_); }

  // A server that completes the handshake when it can and then waits for the client to end
  // the session; accepted tells how its handshake went, server_name what the client asked for.
  CTestServer::Handler Serving(const TestServerIdentity& identity, bool& accepted,
                               std::string* server_name = nullptr) {
    return [&identity, &accepted, server_name](CTestConnection& c) {
      CTestTlsSession tls(c, identity);
      accepted = tls.Accepted();
      if (server_name != nullptr) *server_name = tls.ServerName();
      if (accepted) tls.ReceivesCloseNotice();
    };
  }

  // The flow-log lines from "Starting TLS" on.
  std::vector<std::string> TextsFromTls() {
    std::vector<std::string> texts = Texts();
    const auto start = std::find_if(texts.begin(), texts.end(), [](const std::string& text) {
      return text.rfind("T: Starting TLS", 0) == 0;
    });
    return std::vector<std::string>(start, texts.end());
  }

  CTempDir dir_;
  const std::string ca_file_ = dir_.File("office-ca.pem");
  const CTestCertificateAuthority authority_{"Larkspire Test Office CA"};
  const TestServerIdentity good_ = authority_.Issue({});
};

TEST_F(TlsTest, DialogueGoesOnInClearTextThroughTlsStartedOnAConnectedSocket) {
  std::string received;
  bool close_notice = false;
  CTestServer server([&](CTestConnection& c) {
    c.Write("220 ready\r\n");
    if (!c.ReadUntil("STARTTLS\r\n")) return;
    c.Write("220 go ahead\r\n");
    CTestTlsSession tls(c, good_);
    if (!tls.Accepted()) return;
    tls.Write("220-secure\r\n220 hello\r\n");
    if (auto line = tls.ReadUntil("\r\n")) received = *line;
    tls.Write("250 ok\r\n");
    close_notice = tls.ReceivesCloseNotice();
  });
  {
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    EXPECT_TRUE(connection->Expect(220));
    connection->Send("STARTTLS\r\n");
    EXPECT_TRUE(connection->Expect(220));
    connection->StartTls("localhost", ca_file_);
    EXPECT_TRUE(connection->Expect(220));
    connection->Send("EHLO me\r\n");
    EXPECT_TRUE(connection->Expect(250));
  }
  ASSERT_TRUE(server.WaitForFinished(1));
  EXPECT_EQ(received, "EHLO me\r\n");
  // Closing the connection ends the session properly.
  EXPECT_TRUE(close_notice);

  const std::vector<std::string> texts = TextsFromTls();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0], "T: Starting TLS with localhost ...");
  EXPECT_EQ(texts[1].rfind("T: TLS started (TLSv1.3, TLS_", 0), 0u) << texts[1];
  const std::vector<std::string> dialogue = {
      "T: Expecting '220' ...",
      "T: Received '220-secure\\r\\n220 hello\\r\\n'",
      "T: Received 23 bytes",
      "T: Sending 'EHLO me\\r\\n' ...",
      "T: Sent",
      "T: Expecting '250' ...",
      "T: Received '250 ok\\r\\n'",
      "T: Received 8 bytes",
      "T: Shutdown...",
      "T: Closing...",
      "T: Closed",
  };
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 2, texts.end()), dialogue);
}

TEST_F(TlsTest, LongTextsCrossTlsWholeBothWays) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += static_cast<char>('a' + i % 23);
  // More reply than one read takes, arriving in one TLS record: the rest waits decrypted in
  // the channel while the socket has nothing more, and the reply must still complete.
  std::string reply;
  for (int i = 0; i < 100; ++i)
    reply += "250-" + std::string(60, static_cast<char>('A' + i % 26)) + "\r\n";
  reply += "250 end\r\n";
  std::string received;
  bool quit = false;  // the client saw the reply end while the server waited for it
  CTestServer server([&](CTestConnection& c) {
    CTestTlsSession tls(c, good_);
    if (!tls.Accepted()) return;
    if (auto all = tls.ReadExactly(text.size())) received = *all;
    tls.Write(reply);
    quit = tls.ReadUntil("QUIT\r\n").has_value();
    tls.Write(text);
    tls.SendCloseNotice();
  });
  auto connection = Open();
  connection->Connect(server.HostPort(), 1);
  connection->StartTls("localhost", ca_file_);
  connection->Send(text);
  EXPECT_TRUE(connection->Expect(250));
  connection->Send("QUIT\r\n");
  EXPECT_EQ(connection->ReceiveAll(true, kRoomyCap), text);
  ASSERT_TRUE(server.WaitForFinished(1));
  EXPECT_EQ(received, text);
  EXPECT_TRUE(quit);
}

TEST_F(TlsTest, TheBodyEndsWhereTheServerClosesWithOrWithoutTheCloseNotice) {
  for (const bool notice : {true, false}) {
    CTestServer server([&](CTestConnection& c) {
      CTestTlsSession tls(c, good_);
      if (!tls.Accepted()) return;
      tls.Write("HTTP/1.0 200 OK\r\n\r\nbody");
      if (notice) tls.SendCloseNotice();
    });
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    connection->StartTls("localhost", ca_file_);
    EXPECT_EQ(connection->ReceiveAll(false, kRoomyCap), "HTTP/1.0 200 OK\r\n\r\nbody") << notice;
  }
}

TEST_F(TlsTest, HostNamesAreCheckedAgainstTheCertificate) {
  const struct {
    const char* names;  // the certificate's subjectAltName
    const char* host;   // the name the connection asks for
    const char* refusal;
  } cases[] = {
      {"DNS:localhost", "localhost", nullptr},
      {"DNS:LocalHost", "localhost", nullptr},
      {"IP:127.0.0.1", "127.0.0.1", nullptr},
      {"DNS:*.office.test", "mail.office.test", nullptr},
      {"DNS:localhost", "mail.example.com",
       "TLS: certificate of mail.example.com not accepted (wrong host name: the certificate is "
       "for localhost)."},
      {"DNS:localhost,IP:127.0.0.2", "127.0.0.1",
       "TLS: certificate of 127.0.0.1 not accepted (wrong host name: the certificate is for "
       "localhost, 127.0.0.2)."},
      {"DNS:*.office.test", "office.test",
       "TLS: certificate of office.test not accepted (wrong host name: the certificate is for "
       "*.office.test)."},
      {"DNS:m*.office.test", "mail.office.test",
       "TLS: certificate of mail.office.test not accepted (wrong host name: the certificate is "
       "for m*.office.test)."},
      {"DNS:a.test,DNS:b.test,DNS:c.test,DNS:d.test,DNS:e.test", "f.test",
       "TLS: certificate of f.test not accepted (wrong host name: the certificate is for a.test, "
       "b.test, c.test, d.test, ...)."},
      {"IP:::1", "::1", nullptr},
      {"IP:::1", "0:0:0:0:0:0:0:1", nullptr},
      {"DNS:localhost,IP:::2", "::1",
       "TLS: certificate of ::1 not accepted (wrong host name: the certificate is for localhost, "
       "::2)."},
      // No subjectAltName: the common name ("localhost") is not taken for one.
      {"", "localhost",
       "TLS: certificate of localhost not accepted (wrong host name: the certificate names "
       "localhost only as its common name, not as a subject alternative name)."},
  };
  for (const auto& c : cases) {
    CertificateFields fields;
    fields.alternative_names = c.names;
    const TestServerIdentity identity = authority_.Issue(fields);
    bool accepted = false;
    std::string server_name;
    {
      CTestServer server(Serving(identity, accepted, &server_name));
      auto connection = Open();
      connection->Connect(server.HostPort(), 1);
      EXPECT_EQ(ErrorOf([&] { connection->StartTls(c.host, ca_file_); }),
                c.refusal ? c.refusal : "")
          << c.names << " " << c.host;
    }
    EXPECT_EQ(accepted, c.refusal == nullptr) << c.names << " " << c.host;
    // A name goes out as SNI; an address never does.
    const bool address =
        std::string_view(c.host).find_first_not_of("0123456789.:") == std::string_view::npos;
    EXPECT_EQ(server_name, address ? "" : c.host) << c.host;
    if (c.refusal != nullptr) {
      EXPECT_TRUE(Has(std::string("T: ") + c.refusal));
    }
  }
}

TEST_F(TlsTest, CertificatesTheOfficeDoesNotTrustAreRefusedWithTheReason) {
  CertificateFields expired;
  expired.valid_from_days = -60;
  expired.valid_to_days = -1;
  CertificateFields early;
  early.valid_from_days = 2;
  early.valid_to_days = 30;
  const CTestCertificateAuthority stranger("Someone Else's CA");
  const struct {
    const char* name;
    TestServerIdentity identity;
    bool with_ca_file;
    const char* reason;
  } cases[] = {
      {"good certificate, CA file not given", authority_.Issue({}), false,
       "unknown issuer: unable to get local issuer certificate"},
      {"issued by another CA", stranger.Issue({}), true,
       "unknown issuer: unable to get local issuer certificate"},
      {"self-signed", SelfSignedIdentity({}), true, "unknown issuer: self-signed certificate"},
      {"expired", authority_.Issue(expired), true, "certificate has expired"},
      {"not yet valid", authority_.Issue(early), true, "certificate is not yet valid"},
  };
  for (const auto& c : cases) {
    bool accepted = true;
    {
      CTestServer server(Serving(c.identity, accepted));
      auto connection = Open();
      connection->Connect(server.HostPort(), 1);
      EXPECT_EQ(ErrorOf([&] { connection->StartTls("localhost", c.with_ca_file ? ca_file_ : ""); }),
                std::string("TLS: certificate of localhost not accepted (") + c.reason + ").")
          << c.name;
    }
    EXPECT_FALSE(accepted) << c.name;
  }
}

TEST_F(TlsTest, HandshakesThatCannotWorkSayWhy) {
  const std::string handshake_failed = "TLS: handshake with localhost failed (";
  const struct {
    const char* name;
    CTestServer::Handler server;
    const char* reason;  // null: any reason OpenSSL gives
  } cases[] = {
      {"server speaks no TLS",
       [](CTestConnection& c) {
         c.DataArrives(10000);
         c.Write("220 plain text here\r\n");
         c.Stall();
       },
       nullptr},
      {"server hangs up", [](CTestConnection& c) { c.DataArrives(10000); },
       "the connection ended during the handshake"},
      {"server offers only TLS 1.1",
       [this](CTestConnection& c) { CTestTlsSession tls(c, good_, TLS1_1_VERSION); }, nullptr},
  };
  for (const auto& c : cases) {
    CTestServer server(c.server);
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    const std::string error = ErrorOf([&] { connection->StartTls("localhost", ca_file_); });
    EXPECT_EQ(error.rfind(handshake_failed, 0), 0u) << c.name << ": " << error;
    if (c.reason != nullptr) {
      EXPECT_EQ(error, handshake_failed + c.reason + ").") << c.name;
    }
  }
}

TEST_F(TlsTest, SettingsThatCannotWorkAreRefusedBeforeTheHandshake) {
  std::ofstream(dir_.File("garbage.pem")) << "not a certificate\n";
  const struct {
    std::string host;
    std::string ca_file;
    std::string error;
  } cases[] = {
      {"localhost", dir_.File("missing.pem"),
       "TLS: CA file " + dir_.File("missing.pem") +
           " could not be used (No such file or directory)."},
      {"localhost", dir_.File("garbage.pem"),
       "TLS: CA file " + dir_.File("garbage.pem") +
           " could not be used (no certificate or crl found)."},
      // No name would turn the name check off: never allowed.
      {"", ca_file_, "TLS: no server name to check the certificate against."},
  };
  for (const auto& c : cases) {
    bool accepted = false;
    {
      CTestServer server(Serving(good_, accepted));
      auto connection = Open();
      connection->Connect(server.HostPort(), 1);
      EXPECT_EQ(ErrorOf([&] { connection->StartTls(c.host, c.ca_file); }), c.error);
      EXPECT_EQ(Texts().back(), "T: " + c.error);
    }
    EXPECT_FALSE(accepted) << c.error;
  }
}

TEST_F(TlsTest, CancelEndsAStalledHandshakeReadOrSendLikeAPlainOne) {
  enum Stage { kHandshake, kRead, kSend };
  const struct {
    const char* name;
    Stage stalled;
    bool by_flag;  // the task's cancel flag, else a cancel from another thread
    const char* message;
  } cases[] = {
      {"handshake, flag", kHandshake, true, kCanceledMessage},
      {"handshake, cancel", kHandshake, false, kDisconnectedMessage},
      {"read, flag", kRead, true, kCanceledMessage},
      {"read, cancel", kRead, false, kDisconnectedMessage},
      {"send, flag", kSend, true, kCanceledMessage},
      // The shut-down socket refuses the next write: an error, never a process-ending signal.
      {"send, cancel", kSend, false, kDisconnectedMessage},
  };
  for (const auto& c : cases) {
    cancel_.Set(0);
    CTestServer server([&](CTestConnection& s) {
      if (c.stalled == kHandshake) return s.Stall();
      CTestTlsSession tls(s, good_);
      if (c.stalled == kRead) tls.ReceivesCloseNotice();
      // Reads nothing, so the client's sending stalls once the socket buffers are full.
      while (c.stalled == kSend && !s.Stopping()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    std::thread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (c.by_flag) {
        cancel_.Set(1);
      } else {
        connection->Cancel();
      }
    });
    const std::string error = ErrorOf([&] {
      connection->StartTls("localhost", ca_file_);
      if (c.stalled == kSend) connection->Send(std::string(64 * 1024 * 1024, 'x'));
      connection->Expect(220);
    });
    stopper.join();
    EXPECT_EQ(error, c.message) << c.name;
  }
}

// The CPU time this process has spent so far, in seconds.
double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A server that stops answering in the middle of the handshake costs the wait, not a core: the
// connection waits for the socket whenever TLS asks for more, also when TLS already holds part
// of a record (which it counts as pending).
TEST_F(TlsTest, AHandshakeThatStallsWaitsForTheSocketInsteadOfSpinning) {
  constexpr auto kStall = std::chrono::seconds(3);
  const struct {
    const char* name;
    std::string said;  // what the server sends after the ClientHello before it falls silent
  } cases[] = {
      {"nothing", ""},
      // A handshake record header announcing 64 bytes, and only ten of them.
      {"half a record", std::string("\x16\x03\x03\x00\x40", 5) + std::string(10, '\x02')},
  };
  for (const auto& c : cases) {
    cancel_.Set(0);
    CTestServer server([&](CTestConnection& s) {
      if (!s.DataArrives(5000)) return;
      s.Write(c.said);
      s.Stall();
    });
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    std::thread stopper([&] {
      std::this_thread::sleep_for(kStall);
      cancel_.Set(1);
    });
    const double before = ProcessCpuSeconds();
    const std::string error = ErrorOf([&] { connection->StartTls("localhost", ca_file_); });
    const double spent = ProcessCpuSeconds() - before;
    stopper.join();
    EXPECT_EQ(error, kCanceledMessage) << c.name;
    EXPECT_LT(spent, 0.3) << c.name << ": CPU seconds over a 3 s stall";
  }
}

TEST_F(TlsTest, ServerGoingAwayIsADisconnectionNotASignal) {
  const struct {
    const char* name;
    CTestServer::Handler server;
    bool gone_before_sending;
  } cases[] = {
      {"reset while reading",
       [this](CTestConnection& c) {
         CTestTlsSession tls(c, good_);
         tls.ReadExactly(1);
         c.Reset();
       },
       false},
      // Writing on after the server has closed meets a broken pipe: the case where a transport
      // without MSG_NOSIGNAL would end the program.
      {"closed after the handshake", [this](CTestConnection& c) { CTestTlsSession tls(c, good_); },
       true},
  };
  for (const auto& c : cases) {
    CTestServer server(c.server);
    auto connection = Open();
    connection->Connect(server.HostPort(), 1);
    connection->StartTls("localhost", ca_file_);
    if (c.gone_before_sending) {
      ASSERT_TRUE(server.WaitForFinished(1)) << c.name;
    }
    const std::string big(8 * 1024 * 1024, 'x');
    EXPECT_EQ(ErrorOf([&] {
                connection->Send(big);
                connection->Send(big);
              }),
              kDisconnectedMessage)
        << c.name;
  }

  // A session ended in the middle of a reply breaks Expect as a plain close does.
  CTestServer closing([this](CTestConnection& c) {
    CTestTlsSession tls(c, good_);
    tls.Write("250-more to come\r\n");
    tls.SendCloseNotice();
  });
  auto second = Open();
  second->Connect(closing.HostPort(), 1);
  second->StartTls("localhost", ca_file_);
  EXPECT_EQ(ErrorOf([&] { second->Expect(250); }), kDisconnectedMessage);
}

}  // namespace
}  // namespace larkspire
