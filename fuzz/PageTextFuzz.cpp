// Page normalisation and the plain-text helpers over arbitrary page bytes.
#include <cstdlib>

#include "FuzzInput.h"
#include "platform/Markup.h"
#include "rules/PageText.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view page = fuzz::AsText(data, size);
  const std::string normal = NormalizePage(page);
  const std::string plain = PlainText(normal);
  const std::string collapsed = CollapseSpace(plain);
  // Collapsed text has no white space left to fold.
  if (CollapseSpace(collapsed) != collapsed) std::abort();
  TrimDash(collapsed);
  EncodeEntities(plain);
  UpperAnsi(page);
  RemoveComments(page);
  return 0;
}
