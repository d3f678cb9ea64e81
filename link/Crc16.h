#pragma once
// CRC-16 that protects every frame of the controller bus.
#include <cstddef>
#include <cstdint>

// CRC-16/MODBUS: width 16, polynomial 0x8005 processed reflected (0xA001), initial value
// 0xFFFF, input and output reflected, no final XOR. Check value of "123456789" is 0x4B37;
// over a frame body with its own CRC appended (low byte first) the result is 0.
uint16_t Crc16(const uint8_t* data, size_t length, uint16_t crc = 0xFFFF);
