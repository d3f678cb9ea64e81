// ornix-cli: the tester's operations for scripts. Same worker, same requests, same exchange
// log as the window; what the windows would show goes to stdout, or JSON with --json.
#include <clocale>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/CliCommands.h"
#include "cli/CliSettings.h"
#include "link/UserFormats.h"

#ifndef ORNIX_VERSION
#define ORNIX_VERSION "0"
#endif

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    LoadUserFormatsFromSystem();
    UseWindowExchangeLog();

    CliContext c;
    c.Link = WindowLinkSettings();
    int address = c.Link.Address;

    CLI::App app{"ornix-cli: the Ornix controller's service operations for scripts.\n"
                 "Exit status: 0 done, 1 the controller refused, 2 no answer or port error, 64 bad usage."};
    app.set_version_flag("--version", std::string("ornix-cli ") + ORNIX_VERSION);
    app.require_subcommand(1);
    app.option_defaults()->always_capture_default();
    app.add_option("--port", c.Link.Port,
                   "serial port below /dev (\"ttyUSB0\", \"pts/3\"), a path, or a converter: "
                   "rfc2217://HOST:PORT, tcp://HOST:PORT");
    app.add_option("--baud", c.Link.BitRate, "bit rate")
        ->check(CLI::IsMember({4800, 9600, 19200, 38400, 57600, 115200}));
    app.add_option("--address", address, "bus address of the controller")->check(CLI::Range(1, 254));
    app.add_option("--extra-timeout", c.Link.ExtraTimeoutMs,
                   "ms added to every answer time-out on a network line (default: its measured round trip)")
        ->check(CLI::Range(0, 60000));
    app.add_flag("--json", c.Json, "machine-readable output");

    int status = kExitDone;
    auto run = [&](auto command) { return [&, command] { c.Link.Address = uint8_t(address); status = command(); }; };

    app.add_subcommand("identify", "who the controller is")->callback(run([&] { return CliIdentify(c); }));

    uint32_t passes = 1;
    auto* poll = app.add_subcommand("poll", "the decoded state after N poll passes");
    poll->add_option("--passes", passes, "passes to run")->check(CLI::Range(1u, 100000u));
    poll->callback(run([&] { return CliPoll(c, passes); }));

    auto* time = app.add_subcommand("time", "the controller's clock")->require_subcommand(1);
    time->add_subcommand("get", "read the clock")->callback(run([&] { return CliTimeGet(c); }));
    std::string when;
    auto* timeSet = time->add_subcommand("set", "set the clock (UTC): now or \"dd.mm.yyyy hh:mm:ss\"");
    timeSet->add_option("when", when, "now, or the UTC time \"dd.mm.yyyy hh:mm:ss\"")->required();
    timeSet->callback(run([&] { return CliTimeSet(c, when); }));

    int newAddress = 0, rate = 0;
    auto* addressCmd = app.add_subcommand("address", "the controller's bus address")->require_subcommand(1);
    addressCmd->add_subcommand("set", "set the bus address")->callback(run([&] { return CliAddressSet(c, newAddress); }))
        ->add_option("N", newAddress, "new address, 1..254")->required();
    auto* rateCmd = app.add_subcommand("rate", "the controller's bit rate")->require_subcommand(1);
    rateCmd->add_subcommand("set", "set the bit rate")->callback(run([&] { return CliRateSet(c, rate); }))
        ->add_option("N", rate, "new bit rate")->required();

    int channel = 0;
    std::string value;
    auto* price = app.add_subcommand("price", "a channel's price")->require_subcommand(1);
    price->add_subcommand("get", "read the price of channel CH")->callback(run([&] { return CliPriceGet(c, channel); }))
        ->add_option("CH", channel, "channel, from 1")->required();
    auto* priceSet = price->add_subcommand("set", "write the price of channel CH");
    priceSet->add_option("CH", channel, "channel, from 1")->required();
    priceSet->add_option("VALUE", value, "price per litre, up to 2 decimals")->required();
    priceSet->callback(run([&] { return CliPriceSet(c, channel, value); }));

    std::string litres, money;
    auto* dose = app.add_subcommand("dose", "load and start a dose on CH, or stop|continue|confirm CH");
    dose->add_option("CH", channel, "channel, from 1");
    dose->add_option("--litres", litres, "dose in litres, up to 3 decimals");
    dose->add_option("--money", money, "dose in money, up to 2 decimals");
    for (const char* step : {"stop", "continue", "confirm"}) {
        const std::string name = step;
        dose->add_subcommand(name, name + " the fill on CH")
            ->callback(run([&, name] { return CliDoseStep(c, name, channel); }))
            ->add_option("CH", channel, "channel, from 1")->required();
    }
    dose->callback([&] {
        if (dose->get_subcommands().empty()) {
            c.Link.Address = uint8_t(address);
            status = CliDose(c, channel, litres, money);
        }
    });

    std::vector<std::string> settings;
    auto* config = app.add_subcommand("config", "the controller's configuration page")->require_subcommand(1);
    config->add_subcommand("get", "every setting as KEY=VALUE")->callback(run([&] { return CliConfigGet(c); }));
    config->add_subcommand("set", "change settings; one refused and nothing is sent")
        ->callback(run([&] { return CliConfigSet(c, settings); }))
        ->add_option("KEY=VALUE", settings, "settings as config get prints them")->required();

    int from = 1, to = 127;
    auto* search = app.add_subcommand("search", "devices on the bus at every bit rate");
    search->add_option("--from", from, "first address");
    search->add_option("--to", to, "last address");
    search->callback(run([&] { return CliSearch(c, from, to); }));

    std::string file, name;
    auto* memory = app.add_subcommand("memory", "the controller's recorded frame memory")->require_subcommand(1);
    memory->add_subcommand("dump", "dump it, one line per frame, into FILE")
        ->callback(run([&] { return CliMemoryDump(c, file); }))
        ->add_option("FILE", file, "file to write")->required();

    auto* sd = app.add_subcommand("sd", "the controller's SD card")->require_subcommand(1);
    sd->add_subcommand("ls", "list the card's root")->callback(run([&] { return CliSdList(c); }));
    auto* sdGet = sd->add_subcommand("get", "read file NAME into FILE");
    sdGet->add_option("NAME", name, "file on the card")->required();
    sdGet->add_option("FILE", file, "file to write")->required();
    sdGet->callback(run([&] { return CliSdGet(c, name, file); }));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }
    return status;
}
