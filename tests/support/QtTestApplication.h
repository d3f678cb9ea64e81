#pragma once
// The one QApplication of a window test program: made before its first test and gone before
// the process exits, since Qt's own statics must outlive it.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>

class QtTestApplication : public ::testing::Environment {
public:
    // `wanted` false: no application at all (a program whose tests all skip needs no display).
    explicit QtTestApplication(std::string name, bool wanted = true) : name_(std::move(name)), wanted_(wanted) {}
    void SetUp() override {
        if (!wanted_) return;
        // QApplication keeps references to argc and argv for its whole life.
        argv_[0] = name_.data();
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    std::string name_;
    bool wanted_;
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> app_;
};
