#pragma once
// Command codes of the controller's bus protocol (byte 1 of a request), named once for the
// operations, the command catalog and the simulator.
#include <cstdint>

namespace Cmd {
constexpr uint8_t DeviceInfo = 0;            // sub-code 3: firmware MD5
constexpr uint8_t ReadTime = 8;
constexpr uint8_t WriteTime = 9;
constexpr uint8_t WriteTimeZone = 10;
constexpr uint8_t WriteBusAddress = 34;      // controller, or a nozzle's VRX address
constexpr uint8_t ValveControllerInfo = 89;
constexpr uint8_t ClearMemory = 141;
constexpr uint8_t LinkSettings = 145;        // bit rate or host protocol
constexpr uint8_t LoadDose = 200;
constexpr uint8_t StartDose = 201;
constexpr uint8_t StopDose = 202;
constexpr uint8_t ContinueDose = 203;
constexpr uint8_t BlockChannel = 204;
constexpr uint8_t WritePrice = 205;
constexpr uint8_t ReadPrice = 206;
constexpr uint8_t ConfirmFillEnd = 207;
constexpr uint8_t ReadLastFill = 208;
constexpr uint8_t ReadDataBlock = 209;       // sub-codes: channel state, ramp-up, flowmeter state
constexpr uint8_t WriteCfg = 210;
constexpr uint8_t ReadCfg = 211;
constexpr uint8_t WriteExtCfg = 212;
constexpr uint8_t ReadExtCfg = 213;
constexpr uint8_t WriteTabloTest = 214;      // test step, colour correction, offsets, test frames
constexpr uint8_t ReadTabloTest = 215;       // test step, display-board state
constexpr uint8_t WriteTabloCutOff = 218;
constexpr uint8_t ReadTabloCutOff = 219;
constexpr uint8_t WriteNightBright = 220;
constexpr uint8_t ReadNightBright = 221;
constexpr uint8_t WriteReductionConst = 222;
constexpr uint8_t ReadReductionConst = 223;
constexpr uint8_t WritePumpRampUp = 224;
constexpr uint8_t ReadPumpRampUp = 225;
constexpr uint8_t WriteNozzle = 226;         // fuel name or nozzle colours
constexpr uint8_t ReadNozzleColours = 227;
constexpr uint8_t Service = 228;             // pins, SD card, remote init, memory
constexpr uint8_t FlowmeterData = 229;
constexpr uint8_t WriteFlowmeterType = 230;
constexpr uint8_t CryptoFlowmeter = 231;
constexpr uint8_t Peripheral = 232;          // sound generator, valve controller
constexpr uint8_t ReadTotals = 249;
constexpr uint8_t WriteFlowmeterParams = 250;
constexpr uint8_t ReadFlowmeterParams = 251;
constexpr uint8_t ReadTemps = 252;
}  // namespace Cmd
