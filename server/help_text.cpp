// The text of --help.
#include "server/options.h"

namespace tarkeep::server {

const char* const kHelpText =
    "usage: tarkeep_server [options]\n"
    "The relay server of Morv's lockstep multiplayer: players connect over TCP, meet in its lobby and play\n"
    "through it. It runs until Ctrl+C (SIGINT or SIGTERM on POSIX) and then prints its statistics.\n"
    "\n"
    "Network:\n"
    "  --host ADDRESS       IPv4 address (or name) to listen on; default 0.0.0.0, every interface\n"
    "  --port N             TCP port; default 26200, the game's own; 0 lets the system choose\n"
    "  --motd TEXT          greeting every player gets at connect, at most 200 bytes; default \"Tarkeep relay\"\n"
    "  --deny-file PATH     IPv4 addresses and CIDR ranges (203.0.113.0/24) to shut out, one a line, '#' starts\n"
    "                       a comment; default none. Read at start (a bad line fails the start) and again when\n"
    "                       the file changes (checked each second) or on SIGHUP; a bad line then keeps the old list\n"
    "\n"
    "Limits:\n"
    "  --max-clients N      connections served at once; default 64 (8 at most from one address)\n"
    "  --max-games N        games at once, lobbies and running games together; default 16\n"
    "  --stop-after S       stop by itself after S seconds, as if told to; default 0, run until stopped\n"
    "\n"
    "Logging (to standard output):\n"
    "  --quiet              no log lines; the banner, errors and statistics still print; default off\n"
    "  --log-date           stamp log lines with the date as well as the time; default the time alone\n"
    "  --status-every S     log a status block (clients, games, what the limits turned away) every S seconds;\n"
    "                       default 0, never. SIGUSR1 asks for one at any time (POSIX)\n"
    "\n"
    "Test mode (a bad line for testing game clients; never for real games):\n"
    "  --sim-latency MS     delay every frame each way by MS; default 0\n"
    "  --sim-jitter MS      plus a random 0 to MS; default 0\n"
    "  --sim-hold MS        freeze one connection for MS now and then; default 0\n"
    "  --sim-hold-every MS  about every MS; default 0 (with --sim-hold)\n"
    "  --sim-seed N         random sequence of the delays and freezes; default 1\n"
    "\n"
    "  --help, -h           this text\n"
    "  --version            the version and the source digest\n"
    "\n"
    "Hosting it (the log, the limits, running it as a service): docs/hosting.md.\n";

}  // namespace tarkeep::server
