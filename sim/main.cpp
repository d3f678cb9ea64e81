// ornix-sim: a virtual Ornix controller on a pseudo-terminal, for the tester to talk to.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "sim/SimOptions.h"
#include "sim/SimServer.h"

namespace {
void LogLine(const std::string& line) {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    int ms = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&t));
    std::fprintf(stderr, "%s.%03d %s\n", stamp, ms, line.c_str());
}
}  // namespace

int main(int argc, char** argv) {
    SimConfig config;
    // A controller set up for this site: its zone matches the PC's unless told otherwise.
    config.Controller.Clock.Zone = HostZoneQuarters();
    std::string error;
    if (!ParseSimArguments(std::vector<std::string>(argv + 1, argv + argc), config, error)) {
        std::fprintf(stderr, "ornix-sim: %s\n", error.c_str());
        return 2;
    }
    if (config.Help) {
        std::fputs(SimHelpText().c_str(), stdout);
        return 0;
    }
    if (config.Version) {
        std::fputs(SimVersionText().c_str(), stdout);
        return 0;
    }
    // The serving thread inherits this mask, so the signals reach only sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, s);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimServer server(config);
    if (config.Verbose) server.Log = LogLine;
    if (!server.Start(error)) {
        std::fprintf(stderr, "ornix-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.PortName().c_str());
    std::fflush(stdout);
    // A replay has no controller of its own: it answers whatever address and rate the log holds.
    const std::string who = config.ReplayPath.empty()
                                ? "controller " + std::to_string(config.Controller.Address) + " at " +
                                      std::to_string(config.Controller.BitRate) + " bit/s"
                                : "replaying " + config.ReplayPath;
    std::fprintf(stderr, "ornix-sim: %s on %s%s%s; Ctrl+C stops it\n", who.c_str(), server.SlavePath().c_str(),
                 config.LinkPath.empty() ? "" : ", linked from ", config.LinkPath.c_str());
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    return 0;
}
