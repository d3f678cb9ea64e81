// Byte-exact vectors for the bus framing: CRC, stuffing, unstuffing and the answer rules.
#include "link/Crc16.h"
#include "link/FrameCodec.h"
#include "link/ResultCodes.h"
#include "tests/support/HexBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

uint16_t CrcOf(const std::vector<uint8_t>& bytes) { return Crc16(bytes.data(), bytes.size()); }

TEST(Crc16, KnownValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0x4B37);
    EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
    EXPECT_EQ(CrcOf(FromHex("01 00 00")), 0x0020);
    EXPECT_EQ(CrcOf(FromHex("C0 08")), 0x7650);
    // A body followed by its own CRC sums to zero: how a received frame is checked.
    EXPECT_EQ(CrcOf(FromHex("C0 08 50 76")), 0);
}

struct FrameCase {
    const char* content;
    const char* frame;
};

TEST(BuildFrame, StuffsContentAndCrcAndAppendsTerminator) {
    const FrameCase cases[] = {
        {"01 00 00", "01 00 00 20 00 C0"},            // nothing to escape
        {"C0 08", "D0 C1 08 50 76 C0"},               // C0 in the content
        {"01 D0 05", "01 D0 D1 05 BD C3 C0"},         // D0 in the content
        {"01 42 81", "01 42 81 D0 D1 D0 C1 C0"},      // CRC 0xC0D0: both CRC bytes escaped
        {"01 08 00", "01 08 00 27 D0 C1 C0"},         // CRC 0xC027: high byte escaped
        {"D0 C0 D1 C1", "D0 D1 D0 C1 D1 C1 A5 18 C0"},// escapes next to their own second bytes
    };
    for (const auto& c : cases) EXPECT_EQ(ToHex(BuildFrame(FromHex(c.content))), c.frame) << c.content;
}

// Feeds bytes the way the port does: ask before each byte, time out when the bytes run out.
struct Received {
    std::vector<uint8_t> body;
    FrameEnd end;
    size_t consumed;
};

Received Unstuff(const std::vector<uint8_t>& wire, int capacity) {
    std::vector<uint8_t> buffer(capacity + 1);
    FrameUnstuffer rx(buffer.data(), capacity);
    size_t i = 0;
    while (rx.WantsByte()) {
        if (i == wire.size()) rx.NoByte();
        else rx.Push(wire[i++]);
    }
    return {{buffer.begin(), buffer.begin() + rx.Stored()}, rx.End(), i};
}

TEST(FrameUnstuffer, UndoesStuffingByteByByte) {
    struct Case {
        const char* wire;
        const char* body;
        FrameEnd end;
    };
    const Case cases[] = {
        {"01 00 00 20 00 C0", "01 00 00 20 00", FrameEnd::Terminator},
        {"D0 C1 08 50 76 C0", "C0 08 50 76", FrameEnd::Terminator},
        {"D0 D1 C0", "D0", FrameEnd::Terminator},
        {"D0 C0 C0", "D0", FrameEnd::Terminator},       // C0 after an escape does not end the frame
        {"D0 05 C0", "D0", FrameEnd::Terminator},        // neither does any other second byte
        {"C0", "", FrameEnd::Terminator},
        {"", "", FrameEnd::TimeOut},
        {"01 02", "01 02", FrameEnd::TimeOut},
        {"01 D0", "01", FrameEnd::TimeOut},              // escape whose second byte never came
    };
    for (const auto& c : cases) {
        const Received r = Unstuff(FromHex(c.wire), 256);
        EXPECT_EQ(ToHex(r.body), c.body) << c.wire;
        EXPECT_EQ(r.end, c.end) << c.wire;
    }
}

TEST(FrameUnstuffer, StopsBeforeTheBufferFillsButCompletesAnEscapePair) {
    // Capacity 4: room is checked before each byte, so at most 3 bytes are stored.
    Received r = Unstuff(FromHex("01 02 03 04 05 C0"), 4);
    EXPECT_EQ(r.end, FrameEnd::Overflow);
    EXPECT_EQ(ToHex(r.body), "01 02 03");
    EXPECT_EQ(r.consumed, 3u);  // the fourth byte stays on the line

    r = Unstuff(FromHex("01 02 D0 C1 C0"), 4);
    EXPECT_EQ(r.end, FrameEnd::Overflow);
    EXPECT_EQ(ToHex(r.body), "01 02 C0");

    // The longest body a 256-byte buffer accepts is 254 bytes.
    std::vector<uint8_t> wire(254, 0x11);
    wire.push_back(kFrameEnd);
    EXPECT_EQ(Unstuff(wire, 256).end, FrameEnd::Terminator);
    wire.insert(wire.begin(), 0x11);
    EXPECT_EQ(Unstuff(wire, 256).end, FrameEnd::Overflow);
}

AnswerCheck Check(const char* wire, int capacity = 256) {
    const Received r = Unstuff(FromHex(wire), capacity);
    return CheckAnswer(r.body.data(), static_cast<int>(r.body.size()), r.end);
}

std::string Framed(const char* content) { return ToHex(BuildFrame(FromHex(content))); }

TEST(CheckAnswer, RulesApplyInOrder) {
    struct Case {
        std::string wire;
        int capacity;
        int error;
        int answerLength;
        bool detailed;
    };
    const Case cases[] = {
        {"", 256, kNoAnswer, 0, false},                         // silence
        {"C0", 256, kNoAnswer, 0, false},                       // only the terminator
        {"D0", 256, kNoAnswer, 0, false},                       // escape at the start, then silence
        {"01 08 00", 256, kNoFrameEnd, 1, false},               // no terminator
        {"01 08 D0", 256, kNoFrameEnd, 0, false},               // stuck inside an escape
        {"01 08 00 00 C0", 4, kReceiverOverflow, 1, false},     // buffer runs out
        {"01 C0", 256, kWrongLength, 0, false},                 // 1 byte
        {"01 08 C0", 256, kWrongLength, 0, false},              // 2 bytes
        {"01 08 00 C0", 256, kWrongLength, 1, true},            // 3 bytes, CRC wrong as well
        {"01 08 00 00 C0", 256, kWrongLength, 2, true},         // 4 bytes
        {Framed("01 08"), 256, kWrongLength, 2, true},          // 4 bytes with a good CRC
        {"01 08 00 00 00 C0", 256, kBadCrc, 3, false},          // 5 bytes, CRC wrong
        {"01 08 00 27 D0 C1 C0", 256, 0, 3, false},             // success, escaped CRC byte
        {Framed("01 08 00 11 22 C0"), 256, 0, 6, false},        // success, C0 in the data
        {Framed("01 08 BA"), 256, 186, 3, false},               // the controller's result code
        {Framed("01 09 00"), 256, 0, 3, false},                 // echo is the port's job
    };
    for (const auto& c : cases) {
        const AnswerCheck check = Check(c.wire.c_str(), c.capacity);
        EXPECT_EQ(check.error, c.error) << c.wire;
        EXPECT_EQ(check.answerLength, c.answerLength) << c.wire;
        EXPECT_EQ(check.detailedLength, c.detailed) << c.wire;
    }
}

TEST(ResultCodes, TextsForEveryCode) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {0, "OK"},
        {13, "Ошибка 13: Неизвестный запрос"},
        {18, "Ошибка 18: Неверные данные в запросе"},
        {29, "Ошибка 29: Неверная длина запроса"},
        {33, "Ошибка 33: Требуется подтверждение окончания налива"},
        {179, "Ошибка 179: ТРК в ручном режиме"},
        {181, "Ошибка 181: Табло занято"},
        {182, "Ошибка 182: Пистолет заблокирован"},
        {185, "Ошибка 185: Пистолет занят"},
        {186, "Ошибка 186: Параметры дозы не загружены"},
        {187, "Ошибка 187: Доза уже подтверждена"},
        {188, "Ошибка 188: Доза уже налита полностью"},
        {189, "Ошибка 189: Неправильный номер пистолета"},
        {190, "Ошибка 190: Напряжение питания расходомера слишком низкое"},
        {191, "Ошибка 191: Напряжение питания 220V слишком низкое"},
        {193, "Ошибка 193: Ошибка SD-карты"},
        {194, "Ошибка 194: Крипто-расходомер не используется"},
        {195, "Ошибка 195: Крипто-расходомер обновляет прошивку"},
        {196, "Ошибка 196: Крипто-расходомер не отвечает"},
        {197, "Ошибка 197: Крипто-расходомер без прошивки"},
        {198, "Ошибка 198: Журнал событий повреждён"},
        {199, "Ошибка 199: Нет связи с расходомером LPGmass"},
        {200, "Ошибка 200: В нескольких заправках подряд скорость налива была меньше минимальной, "
              "возможно расходомер неисправен"},
        {201, "Ошибка 201: Устаревший запрос. Необходимо обновить прогррамму"},
        {202, "Ошибка 202: Нажата кнопка аварийного останова"},
        {1, "Ошибка 1: Неизвестная ошибка"},
        {192, "Ошибка 192: Неизвестная ошибка"},
        {250, "Ошибка 250: Неизвестная ошибка"},
        {-1, "Нет ответа"},
        {-2, "Не сошлось CRC"},
        {-3, "Нет конца пакета"},
        {-4, "Буфер приёмника переполнен"},
        {-5, "Неверная длина ответа"},
        {-6, "Не могу записать данные в COM-порт\r\n"},
        {-7, "Ошибка -7: "},
        {-8, "Неверный код команды в ответе"},
        {-9, "Неизвестная ошибка"},
        {-100, "Неизвестная ошибка"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResultCodeText(c.code), c.text) << c.code;
}

TEST(ResultCodes, WrongLengthTexts) {
    EXPECT_EQ(WrongLengthText(1, 0), "Неверная длина ответа: 1 байт.");
    EXPECT_EQ(WrongLengthText(2, 0), "Неверная длина ответа: 2 байт.");
    EXPECT_EQ(WrongLengthText(5, 20), "Неверная длина ответа: 5 байт. Должно быть 20 байт.");
    EXPECT_EQ(VrxErrorText(-2), "Ошибка -2: ");
}

}  // namespace
