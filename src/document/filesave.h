#pragma once

// Saving goes through the program's one way of writing files: a temporary file beside the
// target, checked writes, and a rename only when everything succeeded.
#include "settings/atomicfile.h"
