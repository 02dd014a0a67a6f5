// The small utilities used across the client, in one include.
#pragma once

#include "app/fixed16.h"
#include "app/remote_file.h"
#include "app/screen_metrics.h"
#include "app/sim_version.h"
#include "app/text_utils.h"
#include "app/tsc_clock.h"
