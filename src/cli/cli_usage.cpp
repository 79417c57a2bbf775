// The --help texts of sorvantel-cli.
#include "cli/cli_options.h"

namespace sorv {

namespace {

const char kMain[] =
    "Usage: sorvantel-cli COMMAND [OPTIONS] ...\n"
    "Finds the Morse idents of weak NDB beacons in receiver recordings, without a window.\n"
    "\n"
    "Commands:\n"
    "  analyse [options] FILE...      search audio recordings or .svl spectrum files\n"
    "  search  [options] FILE.svl...  the batch search over saved spectrum files\n"
    "  run SCRIPT --input FILE        run a script; \"start\" captures from FILE\n"
    "  synth [options] OUT.wav        make receiver audio with keyed idents in noise\n"
    "  survey [options] IQFILE...     every beacon of a band from I/Q recordings\n"
    "\n"
    "Run 'sorvantel-cli COMMAND --help' for the options of a command.\n"
    "\n"
    "Example:\n"
    "  sorvantel-cli synth --ident DGU --tone 1015 --period 8 --snr -3 --minutes 5 demo.wav\n"
    "  sorvantel-cli analyse demo.wav\n"
    "\n"
    "Exit status: 0 when every file was analysed (found or not), 1 when a file could not be\n"
    "read, 2 for a wrong command line.\n";

const char kSearchOptions[] =
    "Search options (the program's start-up defaults otherwise):\n"
    "  --centre HZ          centre of the analysed band (default 1000 with --bandwidth)\n"
    "  --bandwidth HZ       3000, 1500, 750, 375 or 187.5 (default 1500 with --centre);\n"
    "                       without either, the start-up band 0..2000 Hz\n"
    "  --tone-min HZ        lowest subcarrier searched (900)\n"
    "  --tone-max HZ        highest subcarrier searched (1100)\n"
    "  --period-min S       shortest ident period accepted (6)\n"
    "  --period-max S       longest ident period accepted (15)\n"
    "  --carrier KHZ        the receiver's nominal carrier, for the radio frequency\n"
    "  --usb | --lsb        the sideband received (needed for the radio frequency)\n"
    "  --wpm N              decode at N words per minute (automatic otherwise)\n"
    "  --period-scale N     8, 16, 32 or 64 (32): the period bins searched\n"
    "  --detector NAME      sensitive (the default): judges keying in units of each\n"
    "                       line's own noise, finds idents far below the designed\n"
    "                       threshold and checks them on each half of the recording;\n"
    "                       classic: the designed automatic search, bit for bit\n"
    "  --log-dir DIR        append identifications to the daily log in DIR, as the\n"
    "                       program does (no log otherwise)\n"
    "  --json               one JSON object per identification instead of text\n"
    "  -h, --help           this text\n";

const char kImportOptions[] =
    "Audio options:\n"
    "  --channel N|mix      the channel to analyse, from 1 (1), or the mix of all\n"
    "  --gain DB|auto       scale before the conversion to 8 bits (0); auto sets the\n"
    "                       noise to about 16 counts rms, for recordings made quietly\n";

const char kAnalyse[] =
    "Usage: sorvantel-cli analyse [OPTIONS] FILE...\n"
    "Analyses each file: audio recordings in any format libsndfile reads (WAV, FLAC, AIFF,\n"
    "...; other rates are resampled to 48000 Hz) are turned into spectrogram rows as live\n"
    "capture does, and .svl spectrum files are loaded as Load does (with the carrier and time\n"
    "from their name). The automatic search then runs over the rows. A recording longer than\n"
    "the store (65536 rows, about 46.6 minutes) is searched in consecutive segments.\n"
    "\n"
    "Each identification is a line on stdout: the file name (with the segment's start when\n"
    "it is not 0), then the ident-log entry. Progress goes to stderr.\n"
    "\n";

const char kAnalyseSave[] =
    "  --save-svl FILE      save the spectrogram made from the (one) audio file; a second\n"
    "                       segment goes to FILE-2.svl, and so on\n";

const char kSearch[] =
    "Usage: sorvantel-cli search [OPTIONS] FILE.svl...\n"
    "The batch search: each spectrum file is loaded without questions (its name's carrier\n"
    "and time carry over to the files after it, as in the program) and searched.\n"
    "\n";

const char kRun[] =
    "Usage: sorvantel-cli run SCRIPT --input FILE [--realtime] [OPTIONS]\n"
    "Runs a script of the program's commands. \"start\" captures from the audio FILE instead\n"
    "of a sound card, one second at a time, as fast as possible (--realtime: at the pace of\n"
    "the clock). Waits follow the recording's clock, which starts now and advances with\n"
    "the audio delivered. \"save\" writes into --log-dir, or the current directory.\n"
    "Identifications of \"autosearch\" are printed as analyse prints them.\n"
    "\n";

const char kSynth[] =
    "Usage: sorvantel-cli synth [OPTIONS] OUT.wav\n"
    "Writes receiver audio (8-bit, 48000 Hz, mono WAV): keyed Morse idents, steady carriers\n"
    "and white noise, the same for the same options and seed.\n"
    "\n"
    "  --ident TEXT         an ident keyed in Morse; repeat for more idents. The options\n"
    "                       below describe the --ident before them:\n"
    "    --tone HZ          its audio tone (1000)\n"
    "    --period S         it starts again every S seconds (9)\n"
    "    --wpm N            its speed, dot 1.2/N seconds (8)\n"
    "    --offset S         its first start (0.5)\n"
    "    --level DB         its level relative to 0 dB (0)\n"
    "  --steady HZ          a steady carrier; --steady-level DB sets its level (0)\n"
    "  --snr DB             white noise (16 counts rms) with a 0 dB signal at this SNR in\n"
    "                       2500 Hz; without it no noise, and 0 dB is 40 counts peak\n"
    "  --minutes M          length (5); or --seconds S\n"
    "  --fade-depth DB      slow fading of every signal by up to DB (0)\n"
    "  --fade-period S      one fade every S seconds (600)\n"
    "  --drift HZ           every tone moves by HZ per minute (0)\n"
    "  --seed N             the noise's seed (1)\n"
    "  -h, --help           this text\n";

const char kSurvey[] =
    "Usage: sorvantel-cli survey [OPTIONS] IQFILE...\n"
    "Finds every beacon of a band in a software-defined receiver's I/Q recording: the\n"
    "carriers that stand above the noise in the recording's average spectrum (0.73 Hz\n"
    "resolution or better), and for each the audio of a receiver in upper sideband with the\n"
    "carrier at 1800 Hz, searched as analyse searches a recording (band 600-3000 Hz, 18.75 Hz\n"
    "lines) for idents keyed on the carrier itself or on a tone of 370-430 Hz or 970-1070 Hz\n"
    "on either side of it, and on both sides combined against the carrier.\n"
    "\n"
    "One line per beacon on stdout: carrier, ident, tone offset from the carrier and the\n"
    "sideband it was read in, period, score in noise units, and the stretch of the recording\n"
    "it was found in. Progress goes to stderr.\n"
    "\n"
    "  --carriers LIST      search these carriers (kHz, comma-separated) instead of finding\n"
    "                       them; each is moved onto a peak within 25 Hz when there is one\n"
    "  --centre-khz KHZ     the centre frequency, for a file that does not give it\n"
    "  --rate HZ            the sample rate of a raw file (.cu8, .cs16, .cf32)\n"
    "  --period-min S       shortest ident period accepted (6)\n"
    "  --period-max S       longest ident period accepted (15)\n"
    "  --single-sideband    do not combine the two sidebands (each is still searched)\n"
    "  --log-dir DIR        append each beacon to the daily ident log in DIR\n"
    "  --png FILE           a picture of the band: the average spectrum, every carrier\n"
    "                       marked and its ident written beside it (one recording only)\n"
    "  --json               one JSON object per beacon\n"
    "  --csv                comma-separated values with a header line\n"
    "  -h, --help           this text\n";

}  // namespace

std::string UsageText(Subcommand which) {
    switch (which) {
        case Subcommand::Analyse:
            return std::string(kAnalyse) + kSearchOptions + kImportOptions + kAnalyseSave;
        case Subcommand::Search:
            return std::string(kSearch) + kSearchOptions;
        case Subcommand::Run:
            return std::string(kRun) + kSearchOptions + kImportOptions;
        case Subcommand::Synth:
            return kSynth;
        case Subcommand::Survey:
            return kSurvey;
        default:
            return kMain;
    }
}

}  // namespace sorv
