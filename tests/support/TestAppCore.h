// The test run with the process around it, for the application layer's tests.
#pragma once

#include "app/AppCore.h"
#include "support/TestApp.h"

namespace larkspire {

using CTestAppCore = CTestAppOf<AppCore>;

}  // namespace larkspire
