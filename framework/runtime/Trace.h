#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The run time keeps a trace of the calls that start-up and shut-down make, and of each
// document handed to the program, in order, so that tests can read what the framework saw. An
// observer sees each call as it is made; a test's observer may throw to make that call fail.
void RuntimeTrace(std::string call);
const std::vector<std::string>& RuntimeTraceLog();
void RuntimeClearTrace();
void RuntimeSetTraceObserver(std::function<void(std::string_view call)> observer);
