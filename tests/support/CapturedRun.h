#pragma once
// A command of ornix-cli run in the test's process with what it prints on stdout and stderr.
#include <gtest/gtest.h>

#include <functional>
#include <string>

struct CapturedRun {
    int Exit;
    std::string Out, Err;
};

inline CapturedRun RunCaptured(const std::function<int()>& command) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int exit = command();
    std::string out = testing::internal::GetCapturedStdout();
    return {exit, out, testing::internal::GetCapturedStderr()};
}
