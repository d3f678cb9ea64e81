#pragma once
// What both soaks share: the simulator's faults, the kinds of errors they count, and the
// descriptors of a process.
#include <string>
#include <vector>

// ornix-sim's options for a soak: a few answers of every kind spoiled, 1 % each, repeatable.
std::vector<std::string> SoakSimFaults();
// The kind of error a status or result text names ("" for a good result or an announcement).
std::string ErrorKind(const std::string& text);
// Open descriptors of a process ("self" or its pid), the listing's own not counted.
long OpenDescriptors(const std::string& process);
