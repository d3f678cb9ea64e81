#include "tests/support/SoakFigures.h"

#include <filesystem>

std::vector<std::string> SoakSimFaults() {
    return {"--seed", "7",         "--drop",    "1",   "--bad-crc",    "1", "--cut",    "1",
            "--late", "1",         "--late-ms", "300", "--wrong-echo", "1", "--result", "252:196"};
}

std::string ErrorKind(const std::string& text) {
    static const char* kinds[] = {"Нет ответа", "Не сошлось CRC", "Нет конца пакета", "Буфер приёмника переполнен",
                                  "Неверный код команды в ответе", "Неверная длина ответа",
                                  "Не могу записать данные в COM-порт"};
    for (const char* kind : kinds)
        if (text.find(kind) != std::string::npos) return kind;
    const size_t at = text.find("Ошибка ");
    if (at != std::string::npos) return text.substr(at, text.find(':', at) - at);
    return "";
}

long OpenDescriptors(const std::string& process) {
    namespace fs = std::filesystem;
    std::error_code ec;
    long n = 0;
    for (auto it = fs::directory_iterator("/proc/" + process + "/fd", ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        ++n;
    // Listing our own descriptors opens one more.
    return process == "self" ? n - 1 : n;
}
