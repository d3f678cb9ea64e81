#pragma once
// Everything one worker knows about the controller: decoded readings, the
// already-read flags of the start-up synchronisation and the values windows
// stage for writers. Only the worker writes readings and flags; only the UI
// thread writes staged values, and only while the worker is blocked in a
// display step or before it reads the pending operation. A new worker starts
// zeroed, so each poll run reads the settings again.
#include <array>
#include <cstdint>
#include <string>

#include "engine/ConfigControls.h"
#include "engine/CounterRecords.h"

constexpr int kChannelCount = 15;         // 0..4 own board, 5..9 and 10..14 sub-controller boards
constexpr int kOwnChannelCount = 5;
constexpr int kDisplayDeviceCount = 7;    // 0..3 display boards, 4..6 keyboards
constexpr int kDisplayBoardCount = 4;
constexpr int kDeviceInfoSize = 24;
constexpr int kTrkCfgSize = 33;
constexpr int kSubTrkCfgSize = 8;
constexpr int kChannelStateSize = 86;
constexpr int kFlowmeterStateSize = 46;
constexpr int kFlowmeterParamsSize = 18;
constexpr int kTabloColourCorrectionSize = 6;
constexpr int kTabloTestFrameSize = 30;    // 28 segment bytes, then the indicator word
constexpr int kFlowmeterDataSize = 33;      // command 229/1, answer bytes 5..37
constexpr int kCryptoDataSize = 38;         // command 231, answer bytes 4..41
constexpr int kValveControllerInfoSize = 8; // command 89, answer bytes 6..13
constexpr int kMcuPinCount = 76;           // tested processor pins, by test index
constexpr int kSdListingSize = 256;
constexpr int kRemoteInitGroups = 4;        // u16 groups of a request or operation code
constexpr int kRemoteInitOperationSize = 9; // type byte and four u16 groups

// Byte offsets of the identification record (little-endian).
namespace DeviceInfoAt {
constexpr int Type = 0;          // u16, bit 15 = boot loader running
constexpr int Firmware = 2;      // minor, major, day, month, year
constexpr int RtcTemperature = 15;
constexpr int HdwErrCode = 16;
constexpr int ProtocolType = 17; // 0xFF when not carried
constexpr int CpuTemperature = 18; // 0x80 when not carried
constexpr int VrxId = 19;        // u32
constexpr int DoorSensors = 23;
}  // namespace DeviceInfoAt

struct TDeviceState {
    // Indices chosen for the next reader / writer.
    int CurrentChannel = 0;
    int SelectedChannel = 0;

    // Link setup (identification, address, bit rate, host protocol).
    uint8_t NewAddress = 0;
    int32_t NewBitRate = 0;
    int32_t ProtocolType = 0;  // 0 AUTO, 1 ПК, 2 VRX 2.0
    std::array<uint8_t, kDeviceInfoSize> DeviceInfo{};
    int32_t DeviceInfoLength = 0;  // answer length of the last good identification
    std::string FirmwareMd5;       // 32 hex digits, as the main window shows it

    // Already-read flags, in the order the start-up synchronisation waits on them.
    uint8_t DeviceInfoRead = 0;
    uint8_t Md5Read = 0;
    uint8_t TrkCfgRead = 0;
    uint8_t FlowmeterTimeoutRead = 0;
    uint8_t TabloCutOffRead = 0;
    uint8_t NightBrightRead = 0;
    uint8_t TabloTestStepRead = 0;
    uint8_t FlowmeterParamsPresent = 0;  // not waited on: the longer answer carried the parameter block

    // Clock: read by ReadTime, staged for WriteTime / WriteTimeZone.
    uint32_t UtcTime = 0;       // seconds since 2000-01-01 00:00:00 UTC
    int8_t TimeZone = 0;        // quarter hours
    uint8_t SummerTimeMode = 0; // 0 none, 1 automatic, 2 always

    // Configuration records, verbatim.
    std::array<uint8_t, kTrkCfgSize> TrkCfg{};
    std::array<uint8_t, kSubTrkCfgSize> SubTrkCfg{};
    uint8_t SubTrk1AddressToWrite = 0;
    uint8_t SubTrk2AddressToWrite = 0;
    uint8_t SubTrkBitRateDivisorToWrite = 0;

    // Controller parameters, read and staged in place.
    uint32_t FlowmeterTimeout = 0;  // s
    std::array<uint8_t, kFlowmeterParamsSize> FlowmeterParams{};
    uint32_t TabloCutOff = 0;       // ml
    uint32_t NightBright = 0;       // %
    uint32_t TabloTestStep = 0;     // tens of ms

    // Per-channel and per-device readings.
    std::array<std::array<uint8_t, kChannelStateSize>, kChannelCount> ChannelState{};
    std::array<std::array<uint8_t, kFlowmeterStateSize>, kChannelCount> FlowmeterState{};
    std::array<uint16_t, kChannelCount> PumpRampUpTime{};       // ms
    std::array<uint8_t, kDisplayDeviceCount> TabloType{};
    std::array<uint32_t, kChannelCount> Price{};                // kopecks (or whole units) per litre
    std::array<uint32_t, kOwnChannelCount> DoseVolumeReadback{};// ml
    std::array<uint32_t, kOwnChannelCount> DoseMoneyReadback{}; // kopecks
    std::array<uint16_t, kChannelCount> ReductionConst{};       // ml, as last read

    // Staged by windows for writers; never overwritten by a poll reading.
    // Every poll pass reads the reduction constants again, so the one to write stands apart.
    std::array<uint16_t, kChannelCount> ReductionConstToWrite{};  // ml
    std::array<uint8_t, kChannelCount> VrxAddress{};
    // Every displayed channel column has a ramp-up editor, so all fifteen can stage a value.
    std::array<uint16_t, kChannelCount> PumpRampUpTimeToWrite{};
    // Colours as the window keeps them: red + green * 256 + blue * 65536 (0x00BBGGRR).
    std::array<uint32_t, kChannelCount> LiftedNozzleColourToWrite{};
    std::array<uint32_t, kChannelCount> RestingNozzleColourToWrite{};
    std::array<std::string, kChannelCount> FuelNameToWrite{};
    uint8_t BlockFlag = 0;   // 1 block, 0 unblock
    uint8_t DoseKind = 0;    // 0 volume, 1 money
    uint32_t DoseAmount = 0; // ml or kopecks
    // Apart from Price: the sell test reads prices while the engineer may be writing one.
    std::array<uint32_t, kChannelCount> PriceToWrite{};  // kopecks (or whole units) per litre
    std::array<std::array<uint8_t, kTabloColourCorrectionSize>, kDisplayBoardCount> TabloColourCorrection{};
    // As the devices last reported them, apart from what a window stages above.
    std::array<std::array<uint8_t, kTabloColourCorrectionSize>, kDisplayBoardCount> TabloColourCorrectionRead{};
    std::array<int8_t, kDisplayDeviceCount> TabloTempOffsetRead{};  // °C, -128 no value
    std::array<int8_t, kDisplayDeviceCount> TabloTempOffsetToWrite{};  // °C
    // The manual display-board test's picture, sent as it stands.
    std::array<uint8_t, kTabloTestFrameSize> TabloTestFrame{};

    // Counters and last fills.
    std::array<uint8_t, LastFillSize> LastFill{};  // the channel read last, verbatim
    std::array<uint8_t, DataBlockStatusSize> DataBlockStatus{};    // bit n = channel n
    std::array<uint8_t, DataBlockRecordsSize> DataBlockRecords{};  // kept, never shown
    uint32_t FlowmeterBase = 0;  // ml, from either layout of the totals
    std::array<ChannelTotals, kChannelCount> ChannelTotalsRead{};
    std::array<FlowmeterCounters, kChannelCount> FlowmeterCountersRead{};
    TempsAndVoltage Temps{};

    // Flowmeter settings and crypto-flowmeter diagnostics, verbatim. Kept for all 15
    // flowmeters because the poll walks up to 15 of them, although only 0..4 are asked.
    std::array<std::array<uint8_t, kFlowmeterDataSize>, kChannelCount> FlowmeterData{};
    // Staged apart from the record: every poll pass reads the record again, and a read that
    // came between staging and the write would send the old type or address back.
    std::array<uint8_t, kChannelCount> FlowmeterTypeToWrite{};
    std::array<uint8_t, kChannelCount> LpgAddressToWrite{};  // 1..254
    std::array<std::array<uint8_t, kCryptoDataSize>, kChannelCount> CryptoData{};
    std::array<int8_t, kChannelCount> FlowmeterTempOffsetToWrite{};  // °C, -126..126
    std::array<double, kChannelCount> LpgDensity{};       // shown x 1000 for LPGmass
    std::array<double, kChannelCount> LpgTemperature{};   // °C

    // Sound generator (command 232/0) and what the editor stages for its writers.
    struct TSoundGenStatus {
        uint8_t State = 0;     // 0 off .. 5 no card, 255 no link
        uint8_t Volume = 0;
        uint16_t FileCount = 0;
        uint16_t CurrentFile = 0;
        uint8_t FolderCount = 0;
        uint16_t DeviceType = 0;
        std::array<uint8_t, 5> Firmware{};  // minor, major, day, month, year - 2000
    } SoundGen;
    uint8_t SoundGenAddress = 0;  // the generator's bus address, as last reported
    uint8_t SoundGenAddressToWrite = 0;
    uint8_t SoundGenVolumeToWrite = 0;

    // Valve controller: identity (command 89) and the values staged for command 232/5.
    std::array<uint8_t, kValveControllerInfoSize> ValveControllerInfo{};  // type, minor, major, date
    // Its settings as last reported (232/6): address, bit-rate divisor, opening, and whether it
    // reported them (the temperature byte says "no data" when the controller cannot reach it).
    std::array<uint8_t, 3> ValveControllerSettings{};
    bool ValveControllerReached = false;
    uint8_t ValveAddressToWrite = 0;
    uint8_t ValveBitRateDivisorToWrite = 0;  // 921600 / rate - 1
    uint8_t ValveOpeningToWrite = 0;         // percent during flow reduction

    // Service functions: the pin test's answer, the SD card listing (request and answer
    // share this buffer) and the path of the file the explorer asks for.
    std::array<uint8_t, kMcuPinCount> McuPinResult{};
    std::array<uint8_t, kSdListingSize> SdListing{};
    int32_t SdListingLength = 0;  // answer content length of the last good listing
    std::string SdFilePath;       // UTF-8; sent in Windows-1251

    // The channel count the poll schedule walks: sub-controller view first.
    int LogicalChannelCount() const;
    // Bus search: the address range the configuration window staged, and the memo line of
    // the last address that answered.
    uint8_t SearchFrom = 1;
    uint8_t SearchTo = 127;
    std::string FoundLine;
    // Remote initialisation: the request code the controller handed out (four groups) and the
    // operation the configuration window prepared (type, then four u16 code groups).
    std::array<uint16_t, kRemoteInitGroups> RemoteInitRequestCode{};
    std::array<uint8_t, kRemoteInitOperationSize> RemoteInitOperation{};
    // What the configuration window's controls show, to be laid over the record as last read
    // (TrkCfg), so that bits and fields the window does not set go back as the controller has them.
    TrkCfgControls TrkCfgControlsToWrite{};

};

// A channel count the controller reports, held to the 15 channels every table has room for.
int CappedChannelCount(int count);

// Tables the main window keeps for other windows; touched only on the UI thread.
struct TMainWindowTables {
    std::array<uint32_t, kChannelCount> KnownPrices{};
    uint32_t KnownPriceMask = 0;  // bit n: KnownPrices[n] came from the controller; never cleared
    int TimeErrCode = 0;          // 0 ok, 1 time differs, 2 zone differs, 3 clock stands still

    // Records a price read from the controller for the dose window.
    void RememberPrice(int channel, uint32_t price);
    // Whether the channel's price was ever read; an unread one must not be used to convert amounts.
    bool PriceKnown(int channel) const;
};
