// Flowmeter, sound-generator and valve-controller operations against the virtual controller
// over a pseudo-terminal, with the simulator's clock in the test's hand so that fills pour
// exactly as far as the test says.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "commands/FlowmeterCommands.h"
#include "commands/PeripheralCommands.h"
#include "engine/ComThreadUnit.h"
#include "engine/DeviceTypes.h"
#include "link/ComPortUnit.h"
#include "sim/SimBus.h"
#include "sim/SimOptions.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/ScopedUserFormats.h"
#include "tests/support/SimHarness.h"

namespace {

class FlowE2eTest : public ::testing::Test {
protected:
    void TearDown() override { ComPort.Close(); }

    // Flowmeter 2 is a crypto meter, 4 an LPGmass meter; no customers, only the fills a test starts.
    void Start(const std::vector<std::string>& options = {"--crypto", "2", "--lpgmass", "4"}) {
        SimConfig config;
        std::string error;
        ASSERT_TRUE(ParseSimArguments(options, config, error)) << error;
        config.Controller.Pouring.Customers = false;
        sim = std::make_unique<SimHarness>(config, [this] { return nowMs.load(); });
        ASSERT_TRUE(sim->Started()) << sim->Error();
        ComPort.SetLine(nullptr);  // the real serial line, whatever an earlier test put there
        ComPort.PortName = sim->PortName();
        ASSERT_EQ(0, ComPort.Open());
        ComPort.SetBitRate(9600);
        worker.DeviceAddress = 1;
        worker.BitRate = 9600;
        Run(ReadSoundGenStatus);  // the first look at the clock starts the fills' time
    }

    void Pour(int channel, uint32_t doseMl) {
        ASSERT_TRUE(sim->WithBus([&](SimBus& bus) { return StartFill(bus.Main(), channel, doseMl, 0); }));
    }

    void Run(Op op, int channel = 0) {
        worker.CurrentChannel = channel;
        worker.SelectedChannel = channel;
        op(worker);
    }
    std::string Flow(int row, int flowmeter) const { return views.FlowCell(row, flowmeter); }

    // The simulator's ripple follows tenths of a second modulo 7; whole 700 ms steps keep it at zero.
    ScopedDecimalSeparator comma{","};
    std::atomic<int64_t> nowMs{0};
    TRecordingViews views;
    TComThread worker{views.Bundle()};
    std::unique_ptr<SimHarness> sim;
};

TEST_F(FlowE2eTest, FlowmetersCountWhatTheChannelsPour) {
    Start();
    Pour(1, 10000);
    nowMs += 1400;  // 840 ml at 600 ml/s
    Run(ReadFlowmeterData, 1);
    Run(ReadCryptoFlowmeterData, 1);
    EXPECT_EQ(Flow(FlowRow::Type, 1), "Крипто");
    EXPECT_EQ(Flow(FlowRow::Rate, 1), "36");
    EXPECT_EQ(Flow(FlowRow::Coefficient, 1), "10000");
    EXPECT_EQ(Flow(FlowRow::Voltage, 1), "12");
    EXPECT_EQ(Flow(FlowRow::GasDensity, 1), "---");
    EXPECT_EQ(Flow(FlowRow::CryptoTotal, 1), "1250840");
    EXPECT_EQ(Flow(FlowRow::CryptoBackup, 1), "1250840");
    EXPECT_EQ(Flow(FlowRow::Status, 1), "0");
    EXPECT_EQ(Flow(FlowRow::Firmware, 1), "v3 от 21.05.2024");
    EXPECT_EQ(views.ReportedFlowmeterTypes[1], 3);

    nowMs += 1400;
    Run(ReadCryptoFlowmeterData, 1);
    EXPECT_EQ(Flow(FlowRow::CryptoTotal, 1), "1251680");

    // Once the dose is out the flow stops and the total stays.
    nowMs += 70000;
    Run(ReadFlowmeterData, 1);
    Run(ReadCryptoFlowmeterData, 1);
    EXPECT_EQ(Flow(FlowRow::Rate, 1), "0");
    EXPECT_EQ(Flow(FlowRow::CryptoTotal, 1), "1260000");
    EXPECT_EQ(views.LastStatus(), "Чтение данных крипто-расходомера 2...OK");
}

TEST_F(FlowE2eTest, ChannelsWithoutCryptoMeterAnswerThatTheMeterIsSilent) {
    Start();
    Run(ReadCryptoFlowmeterData, 0);
    EXPECT_EQ(Flow(FlowRow::Status, 0), "ГИР не отвечает");
    EXPECT_EQ(Flow(FlowRow::Gain, 0), "---");
    EXPECT_NE(views.LastStatus().find("Крипто-расходомер не отвечает"), std::string::npos) << views.LastStatus();
}

TEST_F(FlowE2eTest, TypeWriteMakesAChannelCrypto) {
    Start();
    worker.FlowmeterTypeToWrite[2] = kCryptoFlowmeterType;
    Run(WriteFlowmeterType, 2);
    EXPECT_EQ(views.LastError(), "Запись типа расходомера 3...OK");
    Run(ReadFlowmeterData, 2);
    Run(ReadCryptoFlowmeterData, 2);
    EXPECT_EQ(Flow(FlowRow::Type, 2), "Крипто");
    EXPECT_EQ(Flow(FlowRow::Status, 2), "0");
    EXPECT_EQ(Flow(FlowRow::Strength, 2), "70%");
    EXPECT_EQ(Flow(FlowRow::GainFlags, 2), "LF ");
}

TEST_F(FlowE2eTest, LpgMassTypeAddressAndMass) {
    Start();
    Pour(3, 2000);
    nowMs += 7000;  // the whole dose
    Run(ReadFlowmeterData, 3);
    EXPECT_EQ(Flow(FlowRow::Type, 3), "LPGmass");
    EXPECT_EQ(Flow(FlowRow::LpgAddress, 3), "1");
    EXPECT_EQ(Flow(FlowRow::MassTotal, 3), "1,02");  // 2 l at 0.51 kg/l
    EXPECT_EQ(Flow(FlowRow::GasDensity, 3), "0,000");

    worker.FlowmeterTypeToWrite[3] = kLpgMassFlowmeterType;
    worker.LpgAddressToWrite[3] = 17;
    Run(WriteFlowmeterTypeAndAddress, 3);
    EXPECT_EQ(views.LastError(), "Запись типа расходомера 4...OK");
    Run(ReadFlowmeterData, 3);
    EXPECT_EQ(Flow(FlowRow::LpgAddress, 3), "17");

    // Address 0 is refused and the read-back keeps the old one.
    worker.LpgAddressToWrite[3] = 0;
    Run(WriteFlowmeterTypeAndAddress, 3);
    EXPECT_NE(views.LastError().find("Ошибка 18"), std::string::npos) << views.LastError();
    Run(ReadFlowmeterData, 3);
    EXPECT_EQ(Flow(FlowRow::LpgAddress, 3), "17");
}

TEST_F(FlowE2eTest, SilentLpgMassMeterShowsNoLink) {
    Start({"--lpgmass", "4", "--silent-flowmeter", "4"});
    Run(ReadFlowmeterData, 3);
    EXPECT_EQ(Flow(FlowRow::GasDensity, 3), "Нет связи");
    EXPECT_EQ(Flow(FlowRow::GasTemperature, 3), "Нет связи");
    EXPECT_NE(views.LastStatus().find("Нет связи с расходомером LPGmass"), std::string::npos) << views.LastStatus();
}

TEST_F(FlowE2eTest, TemperatureOffsetOfACryptoMeter) {
    Start();
    worker.FlowmeterTempOffsetToWrite[1] = -5;
    Run(WriteFlowmeterTempOffset, 1);
    EXPECT_EQ(views.LastError(), "Чтение данных крипто-расходомера 2...OK");
    Run(ReadCryptoFlowmeterData, 1);
    EXPECT_EQ(Flow(FlowRow::TempOffset, 1), "-5");
    EXPECT_EQ(Flow(FlowRow::Temperature, 1), "12");

    // A meter that is not a crypto meter has no offset to set.
    worker.FlowmeterTempOffsetToWrite[0] = 3;
    Run(WriteFlowmeterTempOffset, 0);
    EXPECT_NE(views.LastError().find("Ошибка 196"), std::string::npos) << views.LastError();
}

TEST_F(FlowE2eTest, SoundGeneratorPlaysWhileFuelFlowsAndTakesItsSettings) {
    Start();
    EXPECT_EQ(views.Trk(PeripheralRow::SoundState), "Стоп");
    EXPECT_EQ(views.Trk(PeripheralRow::SoundDeviceType), DeviceTypeText(38));
    EXPECT_EQ(views.Trk(PeripheralRow::SoundFirmware), "v1.2 от 15.03.2023");
    Pour(0, 5000);
    nowMs += 700;
    Run(ReadSoundGenStatus);
    EXPECT_EQ(views.Trk(PeripheralRow::SoundState), "Проигрывание");
    EXPECT_EQ(views.Trk(PeripheralRow::CurrentFile), "2");

    worker.SoundGenVolumeToWrite = 25;
    Run(WriteSoundGenVolume);
    EXPECT_EQ(views.LastStatus(), "Установка громкости звукогенератора 25...OK");
    worker.SoundGenAddressToWrite = 9;
    Run(WriteSoundGenAddress);
    Run(ReadSoundGenStatus);
    EXPECT_EQ(views.Trk(PeripheralRow::Volume), "25");
    EXPECT_EQ(views.Trk(PeripheralRow::SoundAddress), "9");

    worker.SoundGenVolumeToWrite = 31;
    Run(WriteSoundGenVolume);
    EXPECT_NE(views.LastStatus().find("Ошибка 18"), std::string::npos) << views.LastStatus();
}

TEST_F(FlowE2eTest, ValveControllerStatusSettingsAndIdentity) {
    Start();
    Pour(2, 5000);
    nowMs += 1400;
    Run(ReadValveControllerStatus);
    const std::pair<int, std::string> rows[] = {
        {PeripheralRow::ValveAddress, "7"},      {PeripheralRow::ValveBitRate, "115200"},
        {PeripheralRow::ValveOpening, "40"},     {PeripheralRow::ValveTemperature, "31°C"},
        {PeripheralRow::ValveVoltage, "24,1"},
    };
    for (const auto& [row, text] : rows) EXPECT_EQ(views.Trk(row), text) << row;
    const std::string currents[] = {"0", "0", "1,5", "0", "0"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(views.Valve(PeripheralRow::ValveCurrent, i), currents[i]) << i;

    worker.ValveAddressToWrite = 9;
    worker.ValveBitRateDivisorToWrite = 95;
    worker.ValveOpeningToWrite = 100;
    Run(WriteValveControllerParams);
    EXPECT_EQ(views.LastStatus(), "Неизвестная команда звукогенератора 5...OK");
    Run(ReadValveControllerStatus);
    EXPECT_EQ(views.Trk(PeripheralRow::ValveAddress), "9");
    EXPECT_EQ(views.Trk(PeripheralRow::ValveBitRate), "9600");
    EXPECT_EQ(views.Trk(PeripheralRow::ValveOpening), "100");

    Run(ReadValveControllerInfo);
    EXPECT_EQ(views.Trk(PeripheralRow::ValveDeviceType), DeviceTypeText(39));
    EXPECT_EQ(views.Trk(PeripheralRow::ValveFirmware), "v1.4 от 01.01.2024 14:30:45");
    EXPECT_EQ(views.LastStatus(), "Чтение информации о контроллере клапанов...OK");
}

TEST_F(FlowE2eTest, AbsentPeripheralsShowDashes) {
    Start({"--no-sound-generator", "--no-valve-controller"});
    EXPECT_EQ(views.Trk(PeripheralRow::SoundState), "Нет связи");
    EXPECT_EQ(views.Trk(PeripheralRow::SoundFirmware), "---");
    Run(ReadValveControllerStatus);
    Run(ReadValveControllerInfo);
    for (int row : {PeripheralRow::ValveTemperature, PeripheralRow::ValveVoltage, PeripheralRow::ValveDeviceType,
                    PeripheralRow::ValveFirmware})
        EXPECT_EQ(views.Trk(row), "---") << row;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(views.Valve(PeripheralRow::ValveCurrent, i), "---") << i;
}

TEST(FlowSimOptions, ChannelListsAreCheckedWhole) {
    struct Case {
        std::vector<std::string> Args;
        bool Accepted;
    };
    const Case cases[] = {
        {{"--crypto", "1,5"}, true},
        {{"--crypto", "0"}, false},
        {{"--crypto", "6"}, false},
        {{"--crypto", "2,x"}, false},
        {{"--crypto", ""}, false},
        {{"--lpgmass", "3", "--silent-flowmeter", "3,4"}, true},
    };
    for (const Case& c : cases) {
        SimConfig config;
        std::string error;
        EXPECT_EQ(ParseSimArguments(c.Args, config, error), c.Accepted) << c.Args[1] << ": " << error;
    }
    SimConfig config;
    std::string error;
    ASSERT_TRUE(ParseSimArguments({"--crypto", "1,5", "--lpgmass", "3", "--silent-flowmeter", "3"}, config, error));
    const auto& meters = config.Controller.Status.Flowmeters;
    EXPECT_EQ(meters[0].Type, 3);
    EXPECT_EQ(meters[4].Type, 3);
    EXPECT_EQ(meters[2].Type, 4);
    EXPECT_EQ(meters[1].Type, 1);
    EXPECT_FALSE(config.Controller.Peripherals.Meters[2].Answers);
    EXPECT_TRUE(config.Controller.Peripherals.Meters[1].Answers);
}

}  // namespace
