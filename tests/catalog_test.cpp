#include "engine/CommandCatalog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "link/UserFormats.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedLine.h"

namespace {

struct Case {
    const char* request;  // request content in hex: address, code, parameters
    const char* text;
};

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = CurrentUserFormats();
        // The describer asks the port only for the bit rate of its line.
        port.SetLine(std::make_unique<TScriptedLine>());
        port.SetBitRate(9600);
    }
    void TearDown() override { SetUserFormats(saved_); }

    void UseSeparator(const char* separator) {
        UserFormats f = saved_;
        f.DecimalSeparator = separator;
        SetUserFormats(f);
    }

    std::string Describe(const char* hex) {
        const auto bytes = FromHex(hex);
        return DescribeRequest(port, bytes.data(), int(bytes.size()));
    }

    void ExpectRows(std::initializer_list<Case> cases) {
        for (const auto& c : cases) EXPECT_EQ(Describe(c.request), c.text) << c.request;
    }

    TECOMPort port;
    UserFormats saved_;
};

}  // namespace

TEST_F(CatalogTest, CommandsNamedByCodeAlone) {
    ExpectRows({
        {"01 00 00", "Чтение информации об устройстве"},
        {"01 00 05 07", "Чтение информации об устройстве"},
        {"01 08", "Чтение времени"},
        {"01 09 80 51 01 00", "Запись времени"},
        {"01 0A 0C 00", "Запись часового пояса"},
        {"01 D1 02 00", "Чтение блока данных"},
        {"01 D1 07 03", "Чтение блока данных"},
        {"01 D2 00", "Запись конфигурации ТРК"},
        {"01 D3 01", "Чтение конфигурации ТРК"},
        {"01 D4", "Запись доп.конфигурации ТРК"},
        {"01 D5", "Чтение доп.конфигурации ТРК"},
        {"01 D6 00 03 05", "Запись времени шага теста табло"},
        {"01 D6 09 01", "Запись времени шага теста табло"},
        {"01 D7 00", "Чтение времени шага теста табло"},
        {"01 D7 04 02", "Чтение времени шага теста табло"},
        {"01 DA F4 01", "Запись отсечки табло"},
        {"01 DB", "Чтение отсечки табло"},
        {"01 DC 05", "Запись ночной яркости табло"},
        {"01 DD", "Чтение ночной яркости табло"},
        {"01 DE 01 10 00", "Запись константы снижения расхода"},
        {"41 DF 01", "Чтение константы снижения расхода"},
        {"01 E0 00 64 00", "Запись времени разгона насоса"},
        {"01 E1 00", "Чтение времени разгона насоса"},
        {"01 F9 00", "Чтение суммарников"},
        {"01 F9 01 0E", "Чтение суммарников"},
        {"01 FA 00 0A", "Запись таймаута расходомера"},
        {"01 FB", "Чтение таймаута расходомера"},
        {"01 FC", "Чтение температур/напряжений"},
    });
}

TEST_F(CatalogTest, ChannelCommandsCountFromOne) {
    ExpectRows({
        {"01 C8 00 10 27 00 00", "Загрузка параметров дозы 1"},
        {"01 C9 02", "Запуск дозы 3"},
        {"01 CA 0E", "Остановка дозы 15"},
        {"01 CB 04", "Долив дозы 5"},
        {"01 CC 00 01", "Блокировка канала 1"},
        {"01 CC 00 FF", "Блокировка канала 1"},
        {"01 CC 00 00", "Разблокировка канала 1"},
        {"01 CC FF 01", "Блокировка канала 256"},
        {"01 CE 01", "Чтение цены топлива 2"},
        {"01 CF 03", "Подтверждение окончания налива 4"},
        {"01 D0 09", "Чтение данных о последней заправке 10"},
        {"01 E3 01", "Чтение цветов пистолета 2"},
        {"01 E6 05 02", "Запись типа расходомера 6"},
        {"01 E6 05 02 11", "Запись типа расходомера 6"},
        {"01 E7 07", "Чтение данных крипто-расходомера 8"},
        {"01 E7 07 01 FB", "Чтение данных крипто-расходомера 8"},
    });
}

TEST_F(CatalogTest, FuelNameAndColoursShareACode) {
    ExpectRows({
        {"01 E2 02 41 49 2D 39 35 00 00 00 00 00 00 00 00 00", "Запись названия топлива 3"},
        {"01 E2 02 41 49 2D 39 35 00 00 00 00 00 00 00 00", "Запись цветов пистолета 3"},
        {"01 E2 02 41 49 2D 39 35 00 00 00 00 00 00 00 00 00 00", "Запись цветов пистолета 3"},
        {"01 E2 00 01 02 03 04 05 06", "Запись цветов пистолета 1"},
    });
}

TEST_F(CatalogTest, BusAddressByLengthAndKind) {
    ExpectRows({
        {"01 22 11", "Запись сетевого адреса контроллера 17"},
        {"01 22 11 00", "Запись сетевого адреса"},
        {"01 22 03 00 05", "Запись сетевого адреса контроллера 5"},
        {"01 22 03 01 05", "Запись сетевого адреса пистолета 5 в канал 3"},
        {"01 22 03 01 05 00 00", "Запись сетевого адреса пистолета 5 в канал 3"},
        {"01 22 03 02 05", "Запись сетевого адреса"},
        {"01 22", "Запись сетевого адреса"},
    });
}

TEST_F(CatalogTest, LineSwitchNamesTheOldAndTheNewRate) {
    ExpectRows({
        {"01 91 4F 52 4E 58 08", "Установка скорости обмена 9600 -> 115200"},
        {"01 91 4F 52 4E 58 30", "Установка скорости обмена 9600 -> 19200"},
        {"01 91 4F 52 4E 58 18", "Установка скорости обмена 9600 -> 38400"},
        {"01 91 4F 52 4E 58 10", "Установка скорости обмена 9600 -> 57600"},
        {"01 91 4F 52 4E 58 60", "Установка скорости обмена 9600 -> 9600"},
        {"01 91 4F 52 4E 58 03", "Установка скорости обмена 9600 -> 307200"},
        {"01 91 4F 52 4E 58 FF", "Установка скорости обмена 9600 -> 3614"},
        {"01 91 4F 52 4E 58 00", "Установка типа протокола : AUTO"},
        {"01 91 4F 52 4E 58 01", "Установка типа протокола : ПК"},
        {"01 91 4F 52 4E 58 02", "Установка типа протокола : VRX 2.0"},
    });
    port.SetBitRate(57600);
    EXPECT_EQ(Describe("01 91 4F 52 4E 58 60"), "Установка скорости обмена 57600 -> 9600");
}

TEST_F(CatalogTest, PriceWithTheUsersSeparator) {
    const Case rows[] = {
        {"01 CD 00 C6 11 00 00", "Запись цены топлива 1 45,5 руб."},
        {"01 CD 01 94 11 00 00", "Запись цены топлива 2 45 руб."},
        {"01 CD 02 F7 11 00 00", "Запись цены топлива 3 45,99 руб."},
        {"01 CD 00 01 00 00 00", "Запись цены топлива 1 0,01 руб."},
        {"01 CD 00 00 00 00 00", "Запись цены топлива 1 0 руб."},
        {"01 CD 00 FF FF FF FF", "Запись цены топлива 1 42949672,95 руб."},
    };
    UseSeparator(",");
    for (const auto& c : rows) EXPECT_EQ(Describe(c.request), c.text) << c.request;
    UseSeparator(".");
    EXPECT_EQ(Describe("01 CD 00 C6 11 00 00"), "Запись цены топлива 1 45.5 руб.");
    EXPECT_EQ(Describe("01 CD 02 F7 11 00 00"), "Запись цены топлива 3 45.99 руб.");
}

TEST_F(CatalogTest, ServiceSubCodes) {
    ExpectRows({
        {"01 E4 05", "Тест ног процессора"},
        {"01 E4 06 00", "Просмотр SD-карты"},
        {"01 E4 08 00 00", "Чтение файла SD-карты"},
        {"01 E4 0A", "Чтение запросного кода"},
        {"01 E4 0B 01", "Обнуление суммарников"},
        {"01 E4 0B 02 12 34", "Полная инициализация ТРК"},
        {"01 E4 0B 03", "Очистка журнала событий"},
        {"01 E4 0B 00", "Неизвестная операция"},
        {"01 E4 0B 04", "Неизвестная операция"},
        {"01 E4 07 00 00 00 00", ""},
        {"01 E4 00", ""},
        {"01 E4 FF", ""},
    });
}

TEST_F(CatalogTest, FlowmeterReadsByLength) {
    ExpectRows({
        {"01 E5 04", "Чтение типа расходомера 5"},
        {"01 E5 01 0D", "Чтение данных расходомера 14"},
        {"01 E5 00 0D", ""},
        {"01 E5 01 0D 00", ""},
        {"01 E5", ""},
    });
}

TEST_F(CatalogTest, SoundGeneratorSubCodes) {
    ExpectRows({
        {"01 E8 00", "Чтение состояния звукогенератора"},
        {"01 E8 01 07", "Установка сетевого адреса звукогенератора 7"},
        {"01 E8 02 03", "Установка скорости обмена звукогенератора 3"},
        {"01 E8 03 1E", "Установка громкости звукогенератора 30"},
        {"01 E8 04 02", "Установка эквалайзера звукогенератора 2"},
        {"01 E8 05 00 00", "Неизвестная команда звукогенератора 5"},
        {"01 E8 06", "Чтение состояния контроллера клапанов"},
        {"01 E8 07", "Неизвестная команда звукогенератора 7"},
    });
}

TEST_F(CatalogTest, UndescribedCommands) {
    ExpectRows({
        {"01 8D", "Неописанная команда"},
        {"01 59 00", "Неописанная команда"},
        {"01 59 05 03 00", "Чтение информации о контроллере клапанов"},
        {"01 59 05 04 00", "Неописанная команда"},
        {"01 01", "Неописанная команда"},
        {"01 FF", "Неописанная команда"},
        {"01 E9", "Неописанная команда"},
        {"01", "Неописанная команда"},
        {"", "Неописанная команда"},
    });
    EXPECT_EQ(DescribeRequest(port, nullptr, 5), "Неописанная команда");
    const uint8_t cut[] = {0x01, 0x08};
    EXPECT_EQ(DescribeRequest(port, cut, -1), "Неописанная команда");
}

// Requests cut before the bytes a row looks at must not be read beyond their end.
TEST_F(CatalogTest, ShortRequestsReadOnlyTheirOwnBytes) {
    // The bytes after the given length hold values that would change the text if read.
    const uint8_t bytes[] = {0x01, 0xCD, 0x02, 0xC6, 0x11, 0x00, 0x00};
    EXPECT_EQ(DescribeRequest(port, bytes, 3), "Запись цены топлива 3 0 руб.");
    const uint8_t block[] = {0x01, 0xCC, 0x00, 0x01};
    EXPECT_EQ(DescribeRequest(port, block, 3), "Разблокировка канала 1");
    const uint8_t dose[] = {0x01, 0xC9, 0x04};
    EXPECT_EQ(DescribeRequest(port, dose, 2), "Запуск дозы 1");
    const uint8_t rate[] = {0x01, 0x91, 0x4F, 0x52, 0x4E, 0x58, 0x08};
    EXPECT_EQ(DescribeRequest(port, rate, 6), "Установка типа протокола : AUTO");
}

TEST_F(CatalogTest, DescribeBufferUsesThePortsOwnBytes) {
    const auto bytes = FromHex("01 C9 02");
    std::memcpy(port.Buffer, bytes.data(), bytes.size());
    EXPECT_EQ(DescribeBuffer(port, 3), "Запуск дозы 3");
    port.Buffer[1] = 0xE2;
    EXPECT_EQ(DescribeBuffer(port, 17), "Запись названия топлива 3");
    EXPECT_EQ(DescribeBuffer(port, 100000), "Запись цветов пистолета 3");
}
