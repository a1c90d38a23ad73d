// SPDX-License-Identifier: GPL-3.0-or-later
// Measures one run of a windowed program under the X server of $DISPLAY and
// prints "key value" lines, one scenario at a time.
#include "options.h"
#include "scenarios.h"

#include <cstdio>
#include <exception>
#include <map>
#include <string>

namespace {

void usage()
{
    std::fputs("usage: sorabune_probe SCENARIO [--name value]... [-- PROGRAM [ARGUMENT]...]\n"
               "  calibrate  plays a test tone --rounds (5) times; each time, when SoundOnset heard it\n"
               "          on --source less when PulseAudio says it played it\n"
               "  start   exec to MapNotify; VmRSS and RssAnon --settle-ms (2000) after it\n"
               "  idle    CPU time and voluntary context switches over --seconds (10) untouched,\n"
               "          then over as long while a countdown of --minutes (1) runs\n"
               "  midi    chooses --file through the dialog of the MIDI option, starts a zero-length\n"
               "          countdown --rounds (2) times; each time, expiry to the first sample at or\n"
               "          above --threshold (0.001) played on --source; then, stopped, as idle\n"
               "  memory  VmRSS --settle-ms after mapping, then as long after choosing --file through the\n"
               "          MIDI option; a countdown of --minutes (1) started: VmRSS --waiting-ms (10000) after\n"
               "          the press, expiry to the first audible sample on --source, VmRSS 1 s later, and\n"
               "          --settle-ms after the stop button\n"
               "  phase   a countdown of --hours and --minutes; press to the first XKB bell; --speed F\n"
               "          when the program runs F times fast under libfaketime; printed as --figure\n",
        stderr);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace sorabune::bench;
    if (argc < 2) {
        usage();
        return 2;
    }
    const std::map<std::string, void (*)(const Options &)> scenarios{{"calibrate", calibrate}, {"start", start},
        {"idle", idle}, {"midi", midi}, {"memory", memory}, {"phase", phase}};
    const auto scenario = scenarios.find(argv[1]);
    if (scenario == scenarios.end()) {
        usage();
        return 2;
    }
    try {
        scenario->second(Options(argc, argv));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "sorabune_probe %s: %s\n", argv[1], error.what());
        return 1;
    }
    return 0;
}
