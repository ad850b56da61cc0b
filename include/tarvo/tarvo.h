// The whole library.
#pragma once

#include "tarvo/calibration.h"
#include "tarvo/cells.h"
#include "tarvo/clusters.h"
#include "tarvo/convergence.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"
#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/limits.h"
#include "tarvo/patterns.h"
#include "tarvo/power.h"
#include "tarvo/rng.h"
#include "tarvo/scan.h"
#include "tarvo/scorer.h"
#include "tarvo/simulation.h"
#include "tarvo/standard_errors.h"
