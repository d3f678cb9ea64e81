// Identification and link setup: how answers of every length fill the record and the
// views, and (against the virtual controller) what goes over the line.
#include <gtest/gtest.h>

#include <numeric>

#include "engine/ComThreadUnit.h"
#include "engine/LinkSetup.h"
#include "tests/support/HexBytes.h"
#include "tests/support/RecordingViews.h"

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

}  // namespace
