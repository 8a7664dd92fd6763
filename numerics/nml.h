// Public routines of the numerical library (mathematics side and the statistics side's
// seed setter), with the run time and the kernels they stand on.
#pragma once

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"
