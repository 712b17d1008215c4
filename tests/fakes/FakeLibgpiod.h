#pragma once

#include "FakeGpioKernel.h"

// libgpiod's C API, of the major this tree is configured with, answered from
// a fake kernel as the real library answers: linked in place of libgpiod, so
// the real backend runs on it unchanged. A C API carries no context, so the
// kernel it answers from is set for the whole process.
void useFakeLibgpiod(FakeGpioKernel *kernel);
int fakeLibgpiodMajor();
