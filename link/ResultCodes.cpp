#include "link/ResultCodes.h"

namespace {

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kControllerReasons[] = {
    {13, "Неизвестный запрос"},
    {18, "Неверные данные в запросе"},
    {29, "Неверная длина запроса"},
    {33, "Требуется подтверждение окончания налива"},
    {179, "ТРК в ручном режиме"},
    {181, "Табло занято"},
    {182, "Пистолет заблокирован"},
    {185, "Пистолет занят"},
    {186, "Параметры дозы не загружены"},
    {187, "Доза уже подтверждена"},
    {188, "Доза уже налита полностью"},
    {189, "Неправильный номер пистолета"},
    {190, "Напряжение питания расходомера слишком низкое"},
    {191, "Напряжение питания 220V слишком низкое"},
    {193, "Ошибка SD-карты"},
    {194, "Крипто-расходомер не используется"},
    {195, "Крипто-расходомер обновляет прошивку"},
    {196, "Крипто-расходомер не отвечает"},
    {197, "Крипто-расходомер без прошивки"},
    {198, "Журнал событий повреждён"},
    {199, "Нет связи с расходомером LPGmass"},
    {200, "В нескольких заправках подряд скорость налива была меньше минимальной, возможно расходомер неисправен"},
    {201, "Устаревший запрос. Необходимо обновить прогррамму"},
    {202, "Нажата кнопка аварийного останова"},
};

// -2 and -7 of the VRX 2.0 framing carry their own text (VrxErrorText); -7 only occurs there.
constexpr CodeText kLinkErrors[] = {
    {kNoAnswer, "Нет ответа"},
    {kBadCrc, "Не сошлось CRC"},
    {kNoFrameEnd, "Нет конца пакета"},
    {kReceiverOverflow, "Буфер приёмника переполнен"},
    {kWrongLength, kShortWrongLengthText},
    {kWriteFailed, kWriteFailedText},
    {kBadVrxByte, "Ошибка -7: "},
    {kWrongEcho, "Неверный код команды в ответе"},
};

constexpr char kUnknownError[] = "Неизвестная ошибка";

template <size_t N>
const char* Find(const CodeText (&table)[N], int code) {
    for (const auto& row : table)
        if (row.code == code) return row.text;
    return kUnknownError;
}

}  // namespace

std::string ControllerReason(int code) { return Find(kControllerReasons, code); }

std::string ResultCodeText(int code) {
    if (code == 0) return "OK";
    if (code > 0) return "Ошибка " + std::to_string(code) + ": " + ControllerReason(code);
    return Find(kLinkErrors, code);
}

std::string VrxErrorText(int code) { return "Ошибка " + std::to_string(code) + ": "; }

std::string WrongLengthText(int answerLength, int required) {
    std::string text = "Неверная длина ответа: " + std::to_string(answerLength) + " байт.";
    if (required != 0) text += " Должно быть " + std::to_string(required) + " байт.";
    return text;
}
