// ornix-cli: the tester's operations for scripts. Same worker, same requests, same exchange
// log as the window; what the windows would show goes to stdout, or JSON with --json.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <clocale>
#include <iostream>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "cli/CliCommands.h"
#include "cli/CliRecord.h"
#include "cli/CliReport.h"
#include "cli/CliRun.h"
#include "cli/CliSettings.h"
#include "cli/CliSettingsFile.h"
#include "cli/CliUsage.h"
#include "link/UserFormats.h"

#ifndef ORNIX_VERSION
#define ORNIX_VERSION "0"
#endif

namespace {

std::atomic<int> gStopSignal{0};

// SIGINT and SIGTERM end the command through the normal close: the worker stops, the port is
// closed (its exclusive flag with it), and the exit status tells the signal as a shell would.
// Blocked before any worker starts, so they inherit the mask and only this thread takes them.
void StopOnSignals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::thread([stop] {
        int signal = 0;
        if (sigwait(&stop, &signal) != 0) return;
        gStopSignal.store(signal);
        StopCliOperations();
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    StopOnSignals();
    std::setlocale(LC_ALL, "");
    LoadUserFormatsFromSystem();
    UseWindowExchangeLog();
    SayExchangeLogProblemsOnStderr();

    CliContext c;
    c.Link = WindowLinkSettings();
    int address = c.Link.Address;

    CLI::App app{"ornix-cli: сервисные операции контроллера Ornix для сценариев, без окна.\n"
                 "Порт, скорость и адрес по умолчанию берутся из ornix-tester.ini окна.\n"
                 "Код выхода: 0 выполнено, 1 контроллер отказал, 2 нет ответа или ошибка порта,\n"
                 "64 неверный вызов (тогда ничего не отправлено).",
                 "ornix-cli"};
    app.set_help_flag("-h,--help", "эта справка");
    app.set_version_flag("--version", std::string("ornix-cli ") + ORNIX_VERSION, "версия программы")
        ->group("Параметры");
    app.require_subcommand(1);
    app.option_defaults()->always_capture_default()->group("Параметры");
    app.add_option("--port", c.Link.Port, 
                   "последовательный порт в /dev (\"ttyUSB0\", \"pts/3\"), путь или преобразователь в сети "
                   "(rfc2217://ХОСТ:ПОРТ, tcp://ХОСТ:ПОРТ)");
    app.add_option("--baud", c.Link.BitRate, "скорость обмена, бит/с")
        ->check(OneOfCheck({4800, 9600, 19200, 38400, 57600, 115200}));
    app.add_option("--address", address, "сетевой адрес контроллера")->check(RangeCheck(1, 254));
    app.add_flag("--json", c.Json, "вывод в JSON для программ");
    app.add_option("--extra-timeout", c.Link.ExtraTimeoutMs,
                   "мс к каждому ожиданию ответа по сетевой линии (по умолчанию измеренная задержка туда и обратно)")
        ->check(RangeCheck(0, 60000));

    int status = kExitDone;
    auto run = [&](auto command) { return [&, command] { c.Link.Address = uint8_t(address); status = command(); }; };

    app.add_subcommand("identify", "тип и прошивка контроллера")->callback(run([&] { return CliIdentify(c); }));

    uint32_t passes = 1;
    auto* poll = app.add_subcommand("poll", "всё, что показывают окна, после N проходов опроса");
    poll->add_option("--passes", passes, "число проходов")->check(RangeCheck(1, 100000));
    poll->callback(run([&] { return CliPoll(c, passes); }));

    int seconds = 0;
    std::string csvFile, jsonFile;
    auto* record = app.add_subcommand("record", "опрашивать и записывать налив каждого канала строками по мере чтения");
    record->add_option("--seconds", seconds, "сколько секунд записывать; 0: до Ctrl+C")->check(CLI::Range(0, 31 * 86400));
    record->add_option("--csv", csvFile, "файл CSV (\"-\": стандартный вывод)");
    record->add_option("--json", jsonFile, "файл JSON Lines (\"-\": стандартный вывод)");
    // Ctrl+C is how a recording without --seconds ends: its status is the recording's own.
    bool signalEndsCommand = false;
    record->callback(run([&] {
        signalEndsCommand = true;
        return CliRecord(c, seconds, csvFile, jsonFile);
    }));

    auto* time = app.add_subcommand("time", "часы контроллера")->require_subcommand(1);
    time->add_subcommand("get", "прочитать время (по Гринвичу и местное)")->callback(run([&] { return CliTimeGet(c); }));
    std::string when;
    auto* timeSet = time->add_subcommand("set", "установить время по Гринвичу: now или \"дд.мм.гггг чч:мм:сс\"");
    timeSet->add_option("when", when, "now или время по Гринвичу \"дд.мм.гггг чч:мм:сс\"")->required();
    timeSet->callback(run([&] { return CliTimeSet(c, when); }));

    int newAddress = 0, rate = 0;
    auto* addressCmd = app.add_subcommand("address", "сетевой адрес контроллера")->require_subcommand(1);
    addressCmd->add_subcommand("set", "записать новый сетевой адрес")->callback(run([&] { return CliAddressSet(c, newAddress); }))
        ->add_option("N", newAddress, "новый адрес, 1…127 (1…225 при 4800 бит/с)")->required();
    auto* rateCmd = app.add_subcommand("rate", "скорость обмена контроллера")->require_subcommand(1);
    rateCmd->add_subcommand("set", "перевести контроллер на новую скорость")->callback(run([&] { return CliRateSet(c, rate); }))
        ->add_option("N", rate, "новая скорость, бит/с")->required();

    int channel = 0;
    std::string value;
    auto* price = app.add_subcommand("price", "цена топлива канала")->require_subcommand(1);
    price->add_subcommand("get", "прочитать цену канала CH")->callback(run([&] { return CliPriceGet(c, channel); }))
        ->add_option("CH", channel, "канал, с 1")->required();
    auto* priceSet = price->add_subcommand("set", "записать цену канала CH");
    priceSet->add_option("CH", channel, "канал, с 1")->required();
    priceSet->add_option("VALUE", value, "цена за литр, до 2 знаков после запятой")->required();
    priceSet->callback(run([&] { return CliPriceSet(c, channel, value); }));

    std::string litres, money;
    auto* dose = app.add_subcommand("dose", "загрузить и запустить дозу на канале CH, или stop|continue|confirm CH");
    dose->add_option("CH", channel, "канал, с 1");
    dose->add_option("--litres", litres, "доза в литрах, до 3 знаков после запятой");
    dose->add_option("--money", money, "доза в деньгах, до 2 знаков после запятой");
    const std::pair<const char*, const char*> steps[] = {
        {"stop", "остановить налив на канале CH"}, {"continue", "долить дозу на канале CH"},
        {"confirm", "подтвердить окончание налива на канале CH"}};
    for (const auto& [step, what] : steps) {
        const std::string name = step;
        dose->add_subcommand(name, what)
            ->callback(run([&, name] { return CliDoseStep(c, name, channel); }))
            ->add_option("CH", channel, "канал, с 1")->required();
    }
    dose->callback([&] {
        if (dose->get_subcommands().empty()) {
            c.Link.Address = uint8_t(address);
            status = CliDose(c, channel, litres, money);
        }
    });

    std::vector<std::string> settings;
    auto* config = app.add_subcommand("config", "конфигурация ТРК, как в окне \"Настройки\"")->require_subcommand(1);
    config->add_subcommand("get", "все настройки в виде КЛЮЧ=ЗНАЧЕНИЕ")->callback(run([&] { return CliConfigGet(c); }));
    config->add_subcommand("set", "изменить настройки; при одной неверной не отправляется ничего")
        ->callback(run([&] { return CliConfigSet(c, settings); }))
        ->add_option("KEY=VALUE", settings, "настройки, как их печатает config get")->required();

    int from = 1, to = 127;
    auto* search = app.add_subcommand("search", "поиск устройств на линии на всех скоростях");
    search->add_option("--from", from, "первый адрес")->check(RangeCheck(1, 254));
    search->add_option("--to", to, "последний адрес")->check(RangeCheck(1, 254));
    search->callback(run([&] { return CliSearch(c, from, to); }));

    std::string file, name;
    auto* memory = app.add_subcommand("memory", "записанные контроллером кадры")->require_subcommand(1);
    memory->add_subcommand("dump", "выгрузить их в FILE, по кадру в строке")
        ->callback(run([&] { return CliMemoryDump(c, file); }))
        ->add_option("FILE", file, "файл для записи")->required();

    auto* sd = app.add_subcommand("sd", "SD-карта контроллера")->require_subcommand(1);
    sd->add_subcommand("ls", "список файлов в корне карты")->callback(run([&] { return CliSdList(c); }));
    auto* sdGet = sd->add_subcommand("get", "прочитать файл NAME карты в FILE");
    sdGet->add_option("NAME", name, "файл на карте")->required();
    sdGet->add_option("FILE", file, "файл для записи")->required();
    sdGet->callback(run([&] { return CliSdGet(c, name, file); }));

    std::string settingsFile;
    bool force = false;
    auto* settingsCmd = app.add_subcommand("settings", "все настройки контроллера в файле JSON: сохранить, сравнить, восстановить; отчёт")
                            ->require_subcommand(1);
    settingsCmd->add_subcommand("save", "прочитать все настройки в FILE")
        ->callback(run([&] { return CliSettingsSave(c, settingsFile); }))
        ->add_option("FILE", settingsFile, "файл настроек (JSON)")->required();
    settingsCmd->add_subcommand("diff", "сравнить контроллер с FILE; код выхода 0 совпадает, 1 отличается, 2 нет связи")
        ->callback(run([&] { return CliSettingsDiff(c, settingsFile); }))
        ->add_option("FILE", settingsFile, "файл настроек (JSON)")->required();
    auto* restore = settingsCmd->add_subcommand("restore", "записать из FILE всё, что отличается, и проверить чтением");
    restore->add_option("FILE", settingsFile, "файл настроек (JSON)")->required();
    restore->add_flag("--force", force, "записать и в контроллер другого типа или с другим числом каналов");
    restore->callback(run([&] { return CliSettingsRestore(c, settingsFile, force); }));
    settingsCmd->add_subcommand("report", "отчёт о настройке контроллера в FILE.html или FILE.pdf")
        ->callback(run([&] { return CliSettingsReport(c, settingsFile, std::string("ornix-cli ") + ORNIX_VERSION); }))
        ->add_option("FILE", settingsFile, "файл отчёта: .html или .pdf")->required();

    UseRussianHelp(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);  // --help, --version
    } catch (const CLI::ParseError& e) {
        std::cerr << "ornix-cli: " << UsageErrorText(app, e) << "\nСправка: ornix-cli --help\n";
        return kExitUsage;
    }
    if (const int signal = gStopSignal.load(); signal && !signalEndsCommand) return 128 + signal;
    return status;
}
