// Whether the office's details may go to the publisher: the welcome, activity and upgrade
// reports carry the organisation's name, its mail server and addresses, the system and the
// installation identifier. The user is asked once, at the first configuration; the answer is
// kept in the settings.
#pragma once

#include <string>

namespace larkspire {

class CRun;

inline constexpr const char* kPublisherReportsYes = "Yes";
inline constexpr const char* kPublisherReportsNo = "No";

// The user said yes: the only answer that lets the welcome report go.
bool PublisherReportsAgreed(const CRun& app);
// The user said no: no report of the office's details goes to the publisher at all. An
// installation configured before the question existed has neither answer and keeps its
// activity and upgrade reports as they were.
bool PublisherReportsRefused(const CRun& app);
// The question, showing the welcome report exactly as it would be queued.
std::string PublisherReportsQuestion(CRun& app);

}  // namespace larkspire
