// Identification and link setup: how answers of every length fill the record and the
// views, and (against the virtual controller) what goes over the line.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "engine/ComThreadUnit.h"
#include "commands/LinkSetup.h"
#include "link/ComPortUnit.h"
#include "link/Cp1251.h"
#include "link/ExchangeLog.h"
#include "tests/support/HexBytes.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimHarness.h"

namespace {

// An answer whose data bytes count up from 0x10 so each record byte shows where it came from.
std::vector<uint8_t> CountingAnswer(int length) {
    std::vector<uint8_t> answer(size_t(length), 0);
    answer[0] = 1;
    for (int i = 3; i < length; ++i) answer[size_t(i)] = uint8_t(0x10 + i - 3);
    return answer;
}

TEST(FillDeviceInfo, EachAnswerLengthFillsWhatItCarries) {
    struct Case {
        int length;
        const char* record;  // starting from a record of AA bytes
    };
    const Case cases[] = {
        {19, "AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA"},
        {20, "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 FF 80 00 00 00 00 AA"},
        {21, "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 80 00 00 00 00 AA"},
        {25, "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 80 00 00 00 00 AA"},
        {26, "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 AA"},
        {27, "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27"},
        {40, "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> record(kDeviceInfoSize, 0xAA);
        const auto answer = CountingAnswer(c.length);
        FillDeviceInfo(record.data(), answer.data(), c.length);
        EXPECT_EQ(c.record, ToHex(record)) << "answer of " << c.length << " bytes";
    }
}

TEST(LinkSetupRules, BitRateDivisorsAndProtocolNames) {
    const std::pair<int32_t, int> divisors[] = {
        {9600, 96}, {19200, 48}, {38400, 24}, {57600, 16}, {115200, 8},
        {0, 0}, {-9600, 0}, {1200, 0} /* 768 does not fit a byte */, {1843200, 0},
    };
    for (const auto& [rate, divisor] : divisors) EXPECT_EQ(divisor, BitRateDivisor(rate)) << rate;

    EXPECT_EQ("AUTO", ProtocolTypeName(0));
    EXPECT_EQ("ПК", ProtocolTypeName(1));
    EXPECT_EQ("VRX 2.0", ProtocolTypeName(2));
    EXPECT_EQ("", ProtocolTypeName(3));
    EXPECT_EQ("", ProtocolTypeName(-1));

    const std::pair<uint8_t, int> combo[] = {{0, 0}, {1, 1}, {2, 2}, {3, -1}, {0xFF, -1}};
    for (const auto& [byte, index] : combo) EXPECT_EQ(index, ProtocolComboIndexFor(byte)) << int(byte);
}

class ShowDeviceInfoTest : public ::testing::Test {
protected:
    void Show(uint16_t type, int length) {
        auto answer = CountingAnswer(length);
        answer[3] = uint8_t(type);
        answer[4] = uint8_t(type >> 8);
        if (length > 20) answer[20] = 1;  // protocol type ПК
        FillDeviceInfo(worker.DeviceInfo.data(), answer.data(), length);
        worker.DeviceInfoLength = length;
        ShowDeviceInfo(worker);
    }
    TRecordingViews views;
    TComThread worker{views.Bundle()};
};

TEST_F(ShowDeviceInfoTest, ControllerShowsTemperaturesIdAndDoors) {
    Show(33, 27);
    EXPECT_EQ("5-канальная ТРК", views.Trk(0));
    EXPECT_EQ(0x20, views.Window.HdwErrCode);  // record byte 16
    EXPECT_EQ(1, views.ProtocolComboIndex);
    EXPECT_TRUE(views.ProtocolComboEnabled);
    EXPECT_FALSE(views.Trk(4).empty());
    EXPECT_FALSE(views.Trk(6).empty());
    EXPECT_EQ(std::to_string(0x26252423u), views.Trk(7));
    EXPECT_TRUE(views.Called("SetDoorSensors 39"));  // 0x27
}

TEST_F(ShowDeviceInfoTest, ShortestAnswerShowsNoCpuDataAndDisablesProtocolChoice) {
    Show(33, 20);
    EXPECT_EQ("---", views.Trk(6));
    EXPECT_EQ("0", views.Trk(7));
    EXPECT_EQ(-1, views.ProtocolComboIndex);
    EXPECT_FALSE(views.ProtocolComboEnabled);
    EXPECT_TRUE(views.Called("SetDoorSensors 0"));  // a new worker's door byte
}

TEST_F(ShowDeviceInfoTest, OtherDevicesShowOnlyTypeAndFirmware) {
    struct Case {
        uint16_t type;
        const char* text;
    };
    const Case cases[] = {
        {0x8000 | 33, "5-канальная ТРК (Загрузчик)"},
        {40, "Неизвестное устройство 40"},
        {38, "Звукогенератор"},
    };
    for (const Case& c : cases) {
        TRecordingViews fresh;
        TComThread w(fresh.Bundle());
        auto answer = CountingAnswer(27);
        answer[3] = uint8_t(c.type);
        answer[4] = uint8_t(c.type >> 8);
        FillDeviceInfo(w.DeviceInfo.data(), answer.data(), 27);
        ShowDeviceInfo(w);
        EXPECT_EQ(c.text, fresh.Trk(0));
        EXPECT_FALSE(fresh.Trk(1).empty());
        for (int row : {4, 6, 7}) EXPECT_EQ("", fresh.Trk(row)) << c.text << " row " << row;
        EXPECT_FALSE(fresh.Called("SetDoorSensors"));
        EXPECT_EQ(0, fresh.Window.HdwErrCode);
        EXPECT_EQ(-2, fresh.ProtocolComboIndex);  // untouched
    }
}

// Against the virtual controller on a pseudo-terminal, one worker called directly.
class LinkSetupSimTest : public ::testing::Test {
protected:
    void Connect(const SimConfig& config, int rate = 9600, uint8_t address = 1) {
        sim = std::make_unique<SimHarness>(config);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        ComPort.PortName = sim->PortName();
        ASSERT_EQ(0, ComPort.Open());
        ComPort.SetBitRate(rate);
        ComPort.Error = 0;
        worker.DeviceAddress = address;
        worker.BitRate = rate;
    }
    void TearDown() override { ComPort.Close(); }
    static SimConfig WithController(const std::function<void(ControllerState&)>& change) {
        SimConfig config;
        change(config.Controller);
        return config;
    }

    TRecordingViews views;
    TComThread worker{views.Bundle()};
    std::unique_ptr<SimHarness> sim;
};

TEST_F(LinkSetupSimTest, IdentificationOfEveryFirmwareLength) {
    struct Case {
        int length;
        bool cpuTail, doors;
        int combo;
    };
    const Case cases[] = {{20, false, false, -1}, {21, false, false, 2}, {26, true, false, 2}, {27, true, true, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        TRecordingViews fresh;
        TComThread w(fresh.Bundle());
        Connect(WithController([&](ControllerState& s) {
            s.IdentityAnswerLength = c.length;
            s.ProtocolType = 2;
            s.DoorSensors = 2;
            s.CpuTemperature = -5;
            s.HardwareError = 30;
        }));
        const uint32_t vrxId = sim->MainState().VrxId;
        w.DeviceAddress = 1;
        ReadDeviceInfo(w);
        ComPort.Close();
        EXPECT_EQ(1, w.DeviceInfoRead);
        EXPECT_EQ("Чтение информации об устройстве...OK", fresh.LastStatus());
        EXPECT_EQ("5-канальная ТРК", fresh.Trk(0));
        EXPECT_EQ("v3.7 от 14.05.2024", fresh.Trk(1));
        EXPECT_EQ("27°C", fresh.Trk(4));
        EXPECT_EQ(c.cpuTail ? "-5°C" : "---", fresh.Trk(6));
        EXPECT_EQ(c.cpuTail ? std::to_string(vrxId) : "0", fresh.Trk(7));
        EXPECT_TRUE(fresh.Called(c.doors ? "SetDoorSensors 2" : "SetDoorSensors 0"));
        EXPECT_EQ(c.combo, fresh.ProtocolComboIndex);
        EXPECT_EQ(c.length >= 21, fresh.ProtocolComboEnabled);
        EXPECT_EQ(30, fresh.Window.HdwErrCode);
    }
}

TEST_F(LinkSetupSimTest, IdentificationFailuresShowTheirTextAndChangeNothing) {
    struct Case {
        const char* name;
        std::function<void(ControllerState&)> change;
        const char* statusEnd;
    };
    const Case cases[] = {
        {"too short", [](ControllerState& s) { s.IdentityAnswerLength = 19; },
         "Неверная длина ответа: 19 байт. Должно быть 20 байт."},
        {"other address", [](ControllerState& s) { s.Address = 9; }, "Нет ответа"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRecordingViews fresh;
        TComThread w(fresh.Bundle());
        Connect(WithController(c.change));
        w.DeviceAddress = 1;
        ReadDeviceInfo(w);
        ComPort.Close();
        EXPECT_EQ(0, w.DeviceInfoRead);
        EXPECT_EQ(std::string("Чтение информации об устройстве...") + c.statusEnd, fresh.LastStatus());
        EXPECT_TRUE(fresh.TrkCells.empty());
        EXPECT_EQ(-2, fresh.ProtocolComboIndex);
    }
}

TEST_F(LinkSetupSimTest, BootLoaderAndUnknownDevicesShowOnlyTheirName) {
    const std::pair<uint16_t, const char*> cases[] = {
        {0x8000 | 33, "5-канальная ТРК (Загрузчик)"},
        {40, "Неизвестное устройство 40"},
    };
    for (const auto& [type, text] : cases) {
        TRecordingViews fresh;
        TComThread w(fresh.Bundle());
        Connect(WithController([type = type](ControllerState& s) { s.DeviceType = type; s.HardwareError = 5; }));
        w.DeviceAddress = 1;
        ReadDeviceInfo(w);
        ComPort.Close();
        EXPECT_EQ(1, w.DeviceInfoRead) << text;
        EXPECT_EQ(text, fresh.Trk(0));
        EXPECT_EQ("", fresh.Trk(4)) << text;
        EXPECT_FALSE(fresh.Called("SetDoorSensors")) << text;
        EXPECT_EQ(0, fresh.Window.HdwErrCode) << text;
    }
}

TEST_F(LinkSetupSimTest, NewAddressIsUsedByTheNextRequest) {
    Connect({});
    worker.NewAddress = 17;
    WriteBusAddress(worker);
    EXPECT_EQ("Установка сетевого адреса 17...OK", views.LastStatus());
    EXPECT_EQ(17, worker.DeviceAddress);
    EXPECT_EQ(17, views.Window.DevAddr);
    EXPECT_EQ(17, sim->MainState().Address);
    ReadDeviceInfo(worker);
    EXPECT_EQ(1, worker.DeviceInfoRead);
    EXPECT_EQ("Чтение информации об устройстве...OK", views.LastStatus());
}

TEST_F(LinkSetupSimTest, RefusedAddressKeepsTheOldOneAndIsLogged) {
    const std::string log = ::testing::TempDir() + "link_setup_exchange.log";
    std::remove(log.c_str());
    SetExchangeLogPath(log);
    Connect(WithController([](ControllerState& s) { s.RefuseAddressChange = true; }));
    worker.NewAddress = 17;
    WriteBusAddress(worker);
    SetExchangeLogPath("");
    EXPECT_EQ(1, worker.DeviceAddress);
    EXPECT_FALSE(views.Called("SetDevAddr"));
    EXPECT_EQ(0u, views.LastStatus().find("Установка сетевого адреса 17...Ошибка 18: "));
    EXPECT_EQ(1, sim->MainState().Address);
    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(std::string::npos, Cp1251ToUtf8(text.str()).find("Установка сетевого адреса 17\r\n"));
}

TEST_F(LinkSetupSimTest, BitRateAndProtocolSwitches) {
    Connect({});
    worker.NewBitRate = 115200;
    WriteBitRate(worker);
    EXPECT_EQ("Установка скорости обмена 115200...OK", views.LastStatus());
    EXPECT_EQ(115200, sim->MainState().BitRate);

    // The controller now listens at the new rate, and so does the tool.
    ComPort.SetBitRate(115200);
    worker.BitRate = 115200;
    worker.ProtocolType = 1;
    WriteProtocolType(worker);
    EXPECT_EQ("Установка типа протокола : ПК...OK", views.LastStatus());
    EXPECT_EQ(1, sim->MainState().ProtocolType);
}

TEST_F(LinkSetupSimTest, ProtocolSwitchInVrxFramingAt4800) {
    Connect(WithController([](ControllerState& s) { s.BitRate = 4800; }), 4800);
    worker.ProtocolType = 2;
    WriteProtocolType(worker);
    EXPECT_EQ("Установка типа протокола : VRX 2.0...OK", views.LastStatus());
    EXPECT_EQ(2, sim->MainState().ProtocolType);

    // A controller listening elsewhere stays silent; the tool says so instead of "OK".
    worker.DeviceAddress = 9;
    worker.ProtocolType = 0;
    WriteProtocolType(worker);
    EXPECT_EQ("Установка типа протокола : AUTO...Нет ответа", views.LastStatus());
    EXPECT_EQ(2, sim->MainState().ProtocolType);
}

TEST_F(LinkSetupSimTest, InvalidSettingsAreNotSent) {
    Connect({});
    worker.NewBitRate = 0;
    WriteBitRate(worker);
    EXPECT_EQ("Установка скорости обмена 0...Недопустимая скорость обмена", views.LastStatus());
    worker.ProtocolType = -1;
    WriteProtocolType(worker);
    EXPECT_EQ("Установка типа протокола : ...Не выбран тип протокола", views.LastStatus());
    const ControllerState after = sim->MainState();
    EXPECT_EQ(9600, after.BitRate);
    EXPECT_EQ(0, after.ProtocolType);
}

}  // namespace
