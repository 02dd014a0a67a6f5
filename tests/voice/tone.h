// Test signals for the codec.
#pragma once

#include <cstddef>
#include <span>

#include "support/sample_file.h"
#include "voice/voice_tone.h"
