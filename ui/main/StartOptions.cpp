#include "ui/main/StartOptions.h"

#include "ui/main/LinkRules.h"

#include <algorithm>

#ifndef ORNIX_VERSION
#define ORNIX_VERSION "0"
#endif

namespace {

bool IsMenuRate(int rate) {
    return std::any_of(kBitRateMenu.begin(), kBitRateMenu.end(), [rate](const BitRateItem& i) { return i.rate == rate; });
}

}  // namespace

StartOptions ParseStartOptions(const std::vector<std::string>& args) {
    StartOptions o;
    // The first fault is reported; the scan goes on so that --help is seen wherever it stands.
    auto fail = [&o](const std::string& text) {
        if (o.error.empty()) o.error = text;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        // "--port=ttyUSB0" and "--port ttyUSB0" alike.
        const auto eq = name.find('=');
        const bool inlineValue = name.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        if (name == "--version") {
            o.version = true;
            continue;
        }
        if (name == "--poll-on-start" && !inlineValue) {
            o.pollOnStart = true;
            continue;
        }
        if (name == "--html-to-pdf" && !inlineValue) {
            if (i + 2 >= args.size()) fail("после --html-to-pdf нужны два файла: HTML и PDF");
            else o.htmlToPdf = std::pair{args[i + 1], args[i + 2]};
            i += 2;
            continue;
        }
        if (name != "--port" && name != "--baud" && name != "--address") {
            fail("неизвестный параметр " + args[i] + " (см. --help)");
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                fail("после " + name + " нужно значение");
                continue;
            }
            value = args[++i];
        }
        if (name == "--port") {
            if (value.empty()) fail("пустое имя порта");
            else o.port = value;
        } else if (name == "--baud") {
            const int rate = ParseDecimalOr(value);
            if (!IsMenuRate(rate)) fail("--baud: скорость " + value + " не из 4800, 9600, 19200, 38400, 57600, 115200");
            else o.baudRate = rate;
        } else {
            const auto address = AcceptedDevAddr(value);
            if (!address) fail("--address: адрес " + value + " не от 1 до 254");
            else o.devAddr = *address;
        }
    }
    return o;
}

std::string StartOptionsHelp() {
    return "Использование: ornix-tester [--port ИМЯ] [--baud СКОРОСТЬ] [--address АДРЕС] [--poll-on-start]\n"
           "       ornix-tester --html-to-pdf HTML PDF\n"
           "Сервисная программа контроллера ТРК Ornix.\n"
           "\n"
           "  --port ИМЯ          порт: имя в /dev (ttyUSB0, pts/3) или полный путь\n"
           "                      (/dev/serial/by-id/usb-...), или преобразователь в сети:\n"
           "                      rfc2217://ХОСТ:ПОРТ, tcp://ХОСТ:ПОРТ\n"
           "  --baud СКОРОСТЬ     4800 (VRX 2.0), 9600, 19200, 38400, 57600 или 115200\n"
           "  --address АДРЕС     сетевой адрес контроллера, 1..254\n"
           "  --poll-on-start     нажать \"Опрос\" сразу после запуска\n"
           "  --html-to-pdf HTML PDF  без окна: напечатать страницу HTML в файл PDF\n"
           "  --version           версия программы\n"
           "  -h, --help          эта справка\n"
           "\n"
           "Заданные здесь значения действуют на этот запуск; файл настроек меняется,\n"
           "только когда их меняют в окне.\n";
}

LinkSettings WithStartOptions(LinkSettings fromFile, const StartOptions& options) {
    if (options.port) fromFile.port = *options.port;
    if (options.baudRate) fromFile.baudRate = *options.baudRate;
    if (options.devAddr) fromFile.devAddr = uint8_t(*options.devAddr);
    return fromFile;
}

std::string VersionLine(const std::string& program) { return program + " " + ORNIX_VERSION; }
