// SIGTERM and SIGINT (a session logout, a service manager, Ctrl+C) become an ordinary close
// request of the main window, so the run stops after its current entry and saves, instead of
// dying with unsaved work.
#pragma once

class QWidget;

namespace larkspire {

void RouteTerminationSignalsTo(QWidget* window);

}  // namespace larkspire
