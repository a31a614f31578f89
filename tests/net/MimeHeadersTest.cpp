// The MIME header lines of messages sent over STARTTLS or TLS.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "net/MimeHeaders.h"
#include "support/MultipartReader.h"

namespace larkspire {
namespace {

// Decodes RFC 2047 "Q" encoded words of a header value: what a mail reader would show, as the
// charset's bytes.
std::string DecodeEncodedWords(const std::string& value, std::string& charset) {
  static const std::regex word(R"(=\?([^?]+)\?Q\?([^?]*)\?=)");
  std::string bytes;
  for (auto it = std::sregex_iterator(value.begin(), value.end(), word);
       it != std::sregex_iterator(); ++it) {
    charset = (*it)[1];
    const std::string text = (*it)[2];
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '_') {
        bytes += ' ';
      } else if (text[i] == '=' && i + 2 < text.size()) {
        bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        bytes += text[i];
      }
    }
  }
  return bytes;
}

TEST(MimeHeaders, CharsetIsWhatTheBytesAre) {
  const struct {
    std::string text;
    const char* charset;
  } cases[] = {
      {"Subject: plain\r\n\r\nOnly ASCII.\r\n", "us-ascii"},
      {"", "us-ascii"},
      {"Larkspire\xAE notice: Caf\xE9\r\n", "windows-1252"},
      {"Larkspire\xC2\xAE notice: Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x84\r\n", "utf-8"},
      // Not UTF-8: an overlong form, a surrogate, past U+10FFFF, a cut sequence.
      {"\xC0\xAF", "windows-1252"},
      {"\xED\xA0\x80", "windows-1252"},
      {"\xF4\x90\x80\x80", "windows-1252"},
      {"ok \xE2\x82", "windows-1252"},
  };
  for (const auto& c : cases) EXPECT_STREQ(TextCharset(c.text), c.charset) << c.text;
}

TEST(MimeHeaders, HeaderLinesNameCharsetAndEncoding) {
  EXPECT_EQ(MimeHeaderLines("Subject: s\r\n\r\nbody\r\n"),
            "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n"
            "Content-Transfer-Encoding: 7bit\r\n");
  EXPECT_EQ(MimeHeaderLines("Subject: s\r\n\r\nReference 12\xAE\r\n"),
            "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=windows-1252\r\n"
            "Content-Transfer-Encoding: 8bit\r\n");
}

TEST(MimeHeaders, MessageIdsAreUniqueAndWellFormed) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    const std::string line = MessageIdLine("office.example");
    EXPECT_TRUE(
        std::regex_match(line, std::regex("Message-ID: <[0-9a-f]{32}@office\\.example>\r\n")))
        << line;
    seen.insert(line);
  }
  EXPECT_EQ(seen.size(), 50u);
}

TEST(MimeHeaders, EightBitSubjectsBecomeEncodedWordsThatDecodeToTheSameBytes) {
  const struct {
    std::string subject;
    const char* charset;
  } cases[] = {
      {"Status update for 10/123,456 (Caf\xE9 M\xFCller\xAE)", "windows-1252"},
      {"Status update for 10/123,456 (Caf\xC3\xA9 \xE2\x82\xAC)", "utf-8"},
      // Long enough to be folded; the UTF-8 characters must not be split between words.
      {std::string("Statusmeldung ") +
           [] {
             std::string many;
             for (int i = 0; i < 40; ++i) many += "\xC3\xA4\xE2\x82\xAC ";
             return many;
           }(),
       "utf-8"},
      {std::string(100, '\xE9'), "windows-1252"},
  };
  for (const auto& c : cases) {
    // The charset is the whole message's: its body is ASCII here.
    const std::string message = "Subject: " + c.subject + "\r\n\r\nThe body stays.\r\n";
    const std::string encoded = EncodeSubjectLine(message);
    const std::size_t header_end = encoded.find("\r\n\r\n");
    ASSERT_NE(header_end, std::string::npos);
    EXPECT_EQ(encoded.substr(header_end), "\r\n\r\nThe body stays.\r\n");
    const std::string header = encoded.substr(0, header_end);
    std::string charset;
    for (std::size_t start = 0, end; start <= header.size(); start = end + 2) {
      end = header.find("\r\n", start);
      if (end == std::string::npos) end = header.size();
      const std::string line = header.substr(start, end - start);
      EXPECT_LE(line.size(), 76u) << line;
      for (char ch : line) EXPECT_LT(static_cast<unsigned char>(ch), 0x80) << line;
      if (start > 0) {
        EXPECT_EQ(line[0], ' ') << "a folded line starts with a blank";
      }
      if (c.charset == std::string("utf-8")) {
        // Each encoded word holds whole characters: its bytes are UTF-8 by themselves.
        std::string word_charset;
        const std::string bytes = DecodeEncodedWords(line, word_charset);
        EXPECT_STREQ(TextCharset(bytes), HasEightBitBytes(bytes) ? "utf-8" : "us-ascii") << line;
      }
    }
    EXPECT_EQ(header.rfind("Subject: =?", 0), 0u) << header;
    EXPECT_EQ(DecodeEncodedWords(header, charset), c.subject);
    EXPECT_EQ(charset, c.charset);
  }
}

TEST(MimeHeaders, OtherMessagesAreLeftAlone) {
  for (const std::string& message :
       {std::string("Subject: plain ASCII\r\n\r\nBody \xAE\r\n"),
        std::string("X-Other: caf\xE9\r\nSubject: caf\xE9\r\n\r\n"), std::string("")}) {
    EXPECT_EQ(EncodeSubjectLine(message), message);
  }
}

TEST(MimeHeaders, MultipartPartsReadBackAsWrittenWithinTheirBound) {
  const struct {
    std::string plain;
    std::string html;
    const char* plain_encoding;
    const char* html_encoding;
  } cases[] = {
      {"Only ASCII.\r\n", "<p>Only ASCII.</p>\r\n", "7bit", "7bit"},
      {"Caf\xC3\xA9 \xE2\x82\xAC\r\n", "<p>Caf\xC3\xA9</p>\r\n", "base64", "base64"},
      {"Windows \xAE\r\n", "<p>ok</p>\r\n", "base64", "7bit"},
      // A line no server has to take, and text that looks like a boundary.
      {std::string(1200, 'x') + "\r\n", "--=_0123\r\n--=_\r\n", "base64", "7bit"},
      {".\r\n..\r\n", "", "7bit", "7bit"},
  };
  for (const auto& c : cases) {
    const std::string body = MultipartAlternative(c.plain, c.html);
    const std::string message = "Subject: s\r\n" + body;
    std::optional<CReadMultipart> read = ReadMultipart(message);
    ASSERT_TRUE(read.has_value()) << c.plain;
    EXPECT_EQ(read->parts["text/plain"], c.plain);
    EXPECT_EQ(read->parts["text/html"], c.html);
    EXPECT_EQ(read->encodings["text/plain"], c.plain_encoding) << c.plain;
    EXPECT_EQ(read->encodings["text/html"], c.html_encoding) << c.html;
    EXPECT_LE(body.size(), MultipartAlternativeBound(c.plain.size(), c.html.size()));
    // The message names its own form: no text/plain header lines are put before it.
    EXPECT_EQ(MimeHeaderLines(message), "");
    std::size_t longest = 0;
    for (std::size_t at = 0, end; (end = body.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
      longest = std::max(longest, end - at);
    }
    EXPECT_LE(longest, 998u);
  }
  // Every message has a boundary of its own.
  EXPECT_NE(ReadMultipart("Subject: s\r\n" + MultipartAlternative("a", "b"))->boundary,
            ReadMultipart("Subject: s\r\n" + MultipartAlternative("a", "b"))->boundary);
}

}  // namespace
}  // namespace larkspire
