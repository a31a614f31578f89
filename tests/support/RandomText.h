// Random text for robustness tests, drawn from pieces that matter to the rules engine
// (brackets, modifier characters, tags, line ends) so the odd combinations actually occur.
#pragma once

#include <random>
#include <string>

namespace larkspire {

class CRandomText {
 public:
  explicit CRandomText(unsigned seed) : engine_(seed) {}

  std::string Next(std::size_t max_pieces) {
    static const char* const kPieces[] = {
        "[",       "]",       "[*",       "[-]",         "[--]", "[*]",        "[[]",    "[]]",
        "#",       "=",       "'",        "?",           "|",    "%Cur%",      "%Old%",  "\r\n",
        "\n",      "\r",      " ",        ":",           "a",    "b",          "<td>",   "</td>",
        "<tr>",    "*1",      "*9",       "#mm?dd?yyyy", "#mdy", "01-05-2007", "Old",    "Status",
        "AppNum2", "AppName", "Fequency", "x:",          " k: ", ";",          "\\r\\n", "\\\\",
        "\0",      "\xA0",    "\xFF"};
    constexpr std::size_t kCount = sizeof kPieces / sizeof kPieces[0];
    std::uniform_int_distribution<std::size_t> length(0, max_pieces);
    std::uniform_int_distribution<std::size_t> pick(0, kCount - 1);
    std::string text;
    for (std::size_t n = length(engine_); n > 0; --n) {
      const std::size_t i = pick(engine_);
      // The NUL piece is one byte, not an empty C string.
      if (kPieces[i][0] == '\0') {
        text.push_back('\0');
      } else {
        text += kPieces[i];
      }
    }
    return text;
  }

 private:
  std::mt19937 engine_;
};

}  // namespace larkspire
