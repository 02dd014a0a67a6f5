// Polling helpers for tests that watch another thread or process.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Polls `done` until it holds or the time is up; its last answer.
bool WaitUntil(int timeoutMs, const std::function<bool()>& done);

// The lines, each ended by a line feed (how a test prints an answer).
std::string JoinedLines(const std::vector<std::string>& lines);
