// The --help texts of sorvantel-cli.
#include "cli/cli_options.h"

namespace sorv {

namespace {

const char kMain[] =
    "Usage: sorvantel-cli COMMAND [OPTIONS] ...\n"
    "Finds the Morse idents of weak NDB beacons in receiver recordings, without a window.\n"
    "\n"
    "Commands:\n"
    "  analyse [options] FILE|DIR...  search audio recordings or .svl spectrum files\n"
    "  search  [options] FILE.svl|DIR...  the batch search over saved spectrum files\n"
    "  run SCRIPT --input FILE        run a script; \"start\" captures from FILE\n"
    "  synth [options] OUT.wav        make receiver audio with keyed idents in noise\n"
    "  synth --iq [options] OUT.wav   make an SDR's I/Q recording of a band of beacons\n"
    "  survey [options] IQFILE...     every beacon of a band from I/Q recordings\n"
    "\n"
    "Run 'sorvantel-cli COMMAND --help' for the options of a command.\n"
    "\n"
    "Example:\n"
    "  sorvantel-cli synth --ident DGU --tone 1015 --period 8 --snr -3 --minutes 5 demo.wav\n"
    "  sorvantel-cli analyse demo.wav\n"
    "\n"
    "Exit status: 0 when every file was analysed (found or not), 1 when a file could not be\n"
    "read (or a script did not end by itself), 2 for a wrong command line.\n";

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
    "from their name). The automatic search then runs over the rows. The sensitive detector\n"
    "reads a recording as a whole, however long, and reports each beacon once; the classic\n"
    "search (and --segments) searches a recording longer than the store (65536 rows, about\n"
    "46.6 minutes) in consecutive segments.\n"
    "\n"
    "A directory stands for the recordings in it, in name order.\n"
    "\n"
    "Each identification is a line on stdout: the file name (with the segment's start when\n"
    "it is not 0), then the ident-log entry. Progress, and a summary line at the end, go to\n"
    "stderr.\n"
    "\n";

const char kAnalyseSave[] =
    "  --save-svl FILE      save the spectrogram made from the (one) audio file; a second\n"
    "                       segment goes to FILE-2.svl, and so on\n"
    "  --segments           search a long recording one store at a time, as the classic\n"
    "                       search does, instead of as a whole\n";

const char kSearch[] =
    "Usage: sorvantel-cli search [OPTIONS] FILE.svl...\n"
    "The batch search: each spectrum file is loaded without questions (its name's carrier\n"
    "and time carry over to the files after it, as in the program) and searched. A\n"
    "directory stands for the .svl files in it, in name order.\n"
    "\n";

const char kRun[] =
    "Usage: sorvantel-cli run SCRIPT --input FILE [--realtime] [--timeout S] [OPTIONS]\n"
    "Runs a script of the program's commands. \"start\" captures from the audio FILE instead\n"
    "of a sound card, one second at a time, as fast as possible (--realtime: at the pace of\n"
    "the clock). Waits follow the recording's clock, which starts now and advances with\n"
    "the audio delivered. \"save\" writes into --log-dir, or the current directory.\n"
    "Identifications of \"autosearch\" are printed as analyse prints them.\n"
    "A wait that nothing can end any more (rows awaited with no capture running or the\n"
    "input used up, a \"repeat\" loop in which nothing changes) ends the script, naming the\n"
    "line; --timeout S ends the whole run after S seconds of the wall clock. Either, and\n"
    "any error of the script, gives exit status 1.\n"
    "\n";

const char kSynth[] =
    "Usage: sorvantel-cli synth [OPTIONS] OUT.wav\n"
    "Writes receiver audio (8-bit, 48000 Hz, mono WAV): keyed Morse idents, steady carriers,\n"
    "white noise and the noise of real receivers, the same for the same options and seed.\n"
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
    "  --format F           u8-mono-48k (the default) or s16-stereo-44k: 16-bit stereo at\n"
    "                       44100 Hz, as SDR programs write, at the same level of full\n"
    "                       scale (analyse reads it at its default gain)\n"
    "\n"
    "Receiver noise, each with --snr, combinable; levels in dB over the white noise:\n"
    "  --noise-rms C        the white noise's rms in 8-bit counts (16); less leaves room\n"
    "                       for crashes (8 bits hold 18 dB over 16 counts rms)\n"
    "  --crashes N          static crashes, N a second at random (Poisson) (0)\n"
    "    --crash-level DB   their rms at the start over the noise's (25), spread evenly\n"
    "    --crash-spread DB  over this many dB around it (10); they clip in the file\n"
    "    --crash-ms MS      each decays by 30 dB over MS ms (5)\n"
    "  --noise-drift DB     the noise level ramps by DB over the recording, from -DB/2\n"
    "                       to +DB/2 around its level (the SNR holds at the middle) (0)\n"
    "  --noise-wander DB    the noise level wanders at random, DB standard deviation (0)\n"
    "    --noise-wander-time S  correlation time of the wander (300)\n"
    "  --noise-tilt DB      coloured noise: DB per octave (-3 is pink), -6 to 6, from\n"
    "                       50 Hz to 10 kHz, the white noise's density at 1000 Hz (0)\n"
    "  --hum HZ             mains hum at 50 or 60 Hz with its harmonics up to 3 kHz,\n"
    "    --hum-level DB     the fundamental at DB over the noise in 2500 Hz (10)\n"
    "  --qsb DB             each ident fades at random on its own, log-normal with DB\n"
    "                       standard deviation around its level (0)\n"
    "    --qsb-time S       correlation time of the fading (180)\n"
    "  --agc                the receiver's AGC: the gain follows the total level, so\n"
    "                       crashes and strong signals turn the noise down\n"
    "    --agc-attack MS    attack time constant (2)\n"
    "    --agc-decay MS     decay time constant (500)\n"
    "    --agc-threshold DB the level, over the noise's rms, above which it acts (6)\n"
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
    "  --tune-transforms    first find the fastest plans for the transforms of each\n"
    "                       recording's rate (a minute or two at 192 kHz, once per machine\n"
    "                       and rate) and keep them in ~/.cache/KELD/Sorvantel: every later\n"
    "                       survey at the rate then takes about a fifth less time\n"
    "  --log-dir DIR        append each beacon to the daily ident log in DIR\n"
    "  --png FILE           a picture of the band: the average spectrum, every carrier\n"
    "                       marked and its ident written beside it (one recording only)\n"
    "  --json               one JSON object per beacon\n"
    "  --csv                comma-separated values with a header line\n"
    "  -h, --help           this text\n";
// ---- synth --iq
const char kSynthIq[] =
    "\n"
    "Usage: sorvantel-cli synth --iq --centre-khz KHZ [OPTIONS] OUT.wav\n"
    "Writes an I/Q recording of a band as an SDR program does: two channels (I, Q), an auxi\n"
    "chunk with the centre frequency and the start time, RF64 when over 4 GiB. The same\n"
    "options and seed give the same file.\n"
    "\n"
    "  --centre-khz KHZ     the receiver's centre frequency (required)\n"
    "  --rate HZ            complex samples per second, 48000 to 2400000 (192000)\n"
    "  --format s16|f32     16-bit integer (s16) or 32-bit float samples\n"
    "  --start TIME         UTC time of the first sample (2025-01-01T00:00:00Z)\n"
    "  --beacon KHZ         a beacon on this carrier; repeat for more. The options below\n"
    "                       describe the --beacon before them:\n"
    "    --ident TEXT       its ident in Morse (DGU)\n"
    "    --tone HZ          its keyed tone's distance from the carrier (1020)\n"
    "    --keying MODE      both: the tone on both sidebands over a steady carrier, as\n"
    "                       beacons send (A2A; the default); upper or lower: on one side\n"
    "                       only; carrier: the carrier itself keyed, no tone (A1A)\n"
    "    --period S         it starts again every S seconds (8)\n"
    "    --wpm N            its speed, dot 1.2/N seconds (7)\n"
    "    --offset S         its first start (0.5)\n"
    "    --level DB         its level relative to 0 dB (0)\n"
    "    --carrier-level DB its steady carrier over each keyed tone (6)\n"
    "  --steady KHZ         a steady carrier without an ident; --steady-level DB (0)\n"
    "  --snr DB             white noise, with a 0 dB beacon at this SNR; without it no\n"
    "                       noise, and a 0 dB tone is 0.05 of full scale\n"
    "  --minutes M          length (5); or --seconds S\n"
    "  --fade-depth DB      slow fading of every signal by up to DB (0), each beacon at its\n"
    "  --fade-period S      own phase of one fade every S seconds (600)\n"
    "  --drift HZ           the receiver drifts: every signal moves by HZ per minute (0)\n"
    "  --seed N             the noise's seed (1)\n"
    "\n"
    "Levels: a beacon's SNR is the power of its keyed tone (each tone, with both sidebands),\n"
    "or of its keyed carrier, over the noise power in 2500 Hz around it -- the convention of\n"
    "the audio synth's --snr, so that a beacon at --snr -18 here is as far below the noise\n"
    "as a receiver's audio made with --snr -18. The noise is -40 dBFS across the band.\n";
// ---- end of synth --iq

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
        case Subcommand::SynthIq:
            return std::string(kSynth) + kSynthIq;
        case Subcommand::Survey:
            return kSurvey;
        default:
            return kMain;
    }
}

}  // namespace sorv
