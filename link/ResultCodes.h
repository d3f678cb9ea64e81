#pragma once
// Result codes of the controller (positive) and error codes of the link (negative), with the
// texts the tool shows for them.
#include <string>

enum LinkError : int {
    kNoAnswer = -1,
    kBadCrc = -2,
    kNoFrameEnd = -3,
    kReceiverOverflow = -4,
    kWrongLength = -5,
    kWriteFailed = -6,
    kBadVrxByte = -7,
    kWrongEcho = -8,
};

inline constexpr char kShortWrongLengthText[] = "Неверная длина ответа";
inline constexpr char kWriteFailedText[] = "Не могу записать данные в COM-порт\r\n";

// The controller's reason for a positive result code; "Неизвестная ошибка" when unlisted.
std::string ControllerReason(int code);

// The text shown for any code: "OK" for 0, "Ошибка <code>: <reason>" for a positive code,
// the link's own text for a negative one (-5 in its short form).
std::string ResultCodeText(int code);

// The text of a VRX 2.0 reception that ended with a framing error: "Ошибка <code>: ".
std::string VrxErrorText(int code);

// "Неверная длина ответа: <length> байт." and, when `required` is not 0,
// " Должно быть <required> байт.".
std::string WrongLengthText(int answerLength, int required);
