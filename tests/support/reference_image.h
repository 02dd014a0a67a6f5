// Pictures compared pixel for pixel with the references committed under
// tests/reference/<name>.png. On a mismatch <name>.actual.png and
// <name>.diff.png (differing pixels in red on a dimmed copy) are written to
// $TK_REFERENCE_OUT (default: reference-out in the build tree); with
// TK_UPDATE_REFERENCES=1 the reference is written instead and the check passes.
// With TK_PICTURES_OUT set, every picture compared is also written there as <name>.png.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "win/gdi_handles.h"

::testing::AssertionResult MatchesReference(HBITMAP image, std::string_view name);
