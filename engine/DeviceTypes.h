#pragma once
// Names of the devices that answer the identification request, by their type code.
#include <cstdint>
#include <string>

// The name of the type; bit 15 marks a device running its boot loader.
std::string DeviceTypeText(uint16_t type);
