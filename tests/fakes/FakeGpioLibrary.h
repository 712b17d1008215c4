#pragma once

#include "FakeGpioKernel.h"
#include "PortSelector.h"

// The GPIO library seam answered straight from a fake kernel, with the
// refusals the real backends give before open and after release. Every
// library it hands out acts on the one kernel, so a test keeps seeing the
// log after the port that used it is gone.
GpioLibraryFactory fakeGpioLibrary(FakeGpioKernel &kernel);
