#pragma once
// Gives a test the decimal separator of a chosen desktop (a Russian one writes "12,5") and
// puts the previous formats back at the end of the scope.
#include <string>

#include "link/UserFormats.h"

class ScopedDecimalSeparator {
public:
    explicit ScopedDecimalSeparator(const std::string& separator) : saved_(CurrentUserFormats()) {
        UserFormats f = saved_;
        f.DecimalSeparator = separator;
        SetUserFormats(f);
    }
    ~ScopedDecimalSeparator() { SetUserFormats(saved_); }
    ScopedDecimalSeparator(const ScopedDecimalSeparator&) = delete;
    ScopedDecimalSeparator& operator=(const ScopedDecimalSeparator&) = delete;

private:
    UserFormats saved_;
};
