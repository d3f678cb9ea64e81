#pragma once
// Short Russian descriptions of the requests the tool sends, for the status line and
// the exchange log ("Чтение времени", "Запуск дозы 3").
#include <cstdint>
#include <string>

#include "link/ComPortUnit.h"

// `request` is the request content (address, command code, parameters) of `length` bytes.
// Never fails: an unknown command gives "Неописанная команда", and parameter bytes
// beyond `length` read as 0. `port` is asked only for its bit rate (command 145).
std::string DescribeRequest(TECOMPort& port, const uint8_t* request, int length);
// The same with the rate the line runs at given (only the rate switch of command 145
// names it); this is the describer the worker hands to the port.
std::string DescribeRequestAtRate(const uint8_t* request, int length, int bitRate);
// The description of the first `length` bytes of the port's own Buffer.
std::string DescribeBuffer(TECOMPort& port, int length);
