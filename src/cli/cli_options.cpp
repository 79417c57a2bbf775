#include "cli/cli_options.h"

#include <cmath>
#include <functional>
#include <map>

#include "audio/file/wav_metadata.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

bool WholeDouble(const std::string& text, double& v) {
    size_t used = 0;
    return !text.empty() && ScanDouble(text.c_str(), v, &used) && used == text.size() && std::isfinite(v);
}

bool WholeInt(const std::string& text, int& v) {
    size_t used = 0;
    return !text.empty() && ScanInt(text.c_str(), v, &used) && used == text.size();
}

// Walks the arguments, handing "--name value" and "--name=value" pairs and flags to the
// handlers and everything else to the positional list.
class ArgWalker {
public:
    using ValueHandler = std::function<bool(const std::string& value, std::string& error)>;
    using FlagHandler = std::function<bool(std::string& error)>;

    void Value(const std::string& name, ValueHandler h) { values_[name] = std::move(h); }
    void Flag(const std::string& name, FlagHandler h) { flags_[name] = std::move(h); }

    bool Walk(const std::vector<std::string>& args, size_t from, std::vector<std::string>& positional,
              std::string& error) {
        for (size_t i = from; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--") {
                positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
                return true;
            }
            if (a.size() < 2 || a[0] != '-' || a == "-") {
                positional.push_back(a);
                continue;
            }
            std::string name = a, value;
            bool inlineValue = false;
            if (const size_t eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
                inlineValue = true;
            }
            if (auto f = flags_.find(name); f != flags_.end() && !inlineValue) {
                if (!f->second(error)) return false;
                continue;
            }
            auto v = values_.find(name);
            if (v == values_.end()) {
                error = "unknown option " + name;
                return false;
            }
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    error = "option " + name + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (!v->second(value, error)) {
                if (error.empty()) error = "bad value for " + name + ": \"" + value + "\"";
                return false;
            }
        }
        return true;
    }

private:
    std::map<std::string, ValueHandler> values_;
    std::map<std::string, FlagHandler> flags_;
};

ArgWalker::ValueHandler DoubleInto(std::optional<double>& out) {
    return [&out](const std::string& v, std::string&) {
        double d;
        if (!WholeDouble(v, d)) return false;
        out = d;
        return true;
    };
}

ArgWalker::ValueHandler DoubleInto(double& out) {
    return [&out](const std::string& v, std::string&) { return WholeDouble(v, out); };
}

// ---- synth --iq: the I/Q synthesiser's options, kept apart from the audio synthesiser's.

// "2025-01-01T00:00:00Z" (or with a space, without the Z): always UTC.
bool ParseUtcTime(const std::string& v, int64_t& utc) {
    const std::string t = !v.empty() && (v.back() == 'Z' || v.back() == 'z') ? v.substr(0, v.size() - 1) : v;
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || (t[10] != 'T' && t[10] != ' ') || t[13] != ':' || t[16] != ':')
        return false;
    int f[6];
    const size_t at[6] = {0, 5, 8, 11, 14, 17}, len[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i) {
        f[i] = 0;
        for (size_t k = 0; k < len[i]; ++k) {
            const char c = t[at[i] + k];
            if (c < '0' || c > '9') return false;
            f[i] = f[i] * 10 + (c - '0');
        }
    }
    const CivilTime c{f[0], f[1], f[2], f[3], f[4], f[5], 0};
    if (!IsPlausibleCivilTime(c)) return false;
    utc = CivilToUtcSeconds(c);
    return true;
}

bool ParseIqSynth(const std::vector<std::string>& args, IqSynthCommand& c, std::string& error) {
    ArgWalker w;
    IqSynthSpec& s = c.spec;
    s.seconds = 300.0;
    bool haveCentre = false;
    // The per-beacon options describe the beacon named last, the level of a steady carrier the
    // carrier named last.
    auto beacon = [&s](std::string& error) -> IqBeacon* {
        if (s.beacons.empty()) {
            error = "give --beacon KHZ before the options that describe it";
            return nullptr;
        }
        return &s.beacons.back();
    };
    auto beaconNumber = [&beacon](double IqBeacon::*field) {
        return [&beacon, field](const std::string& v, std::string& error) {
            IqBeacon* b = beacon(error);
            return b && WholeDouble(v, b->*field);
        };
    };
    w.Flag("--iq", [](std::string&) { return true; });
    w.Value("--rate", DoubleInto(s.sampleRate));
    w.Value("--centre-khz", [&s, &haveCentre](const std::string& v, std::string&) {
        haveCentre = true;
        return WholeDouble(v, s.centreKHz);
    });
    w.Value("--format", [&c](const std::string& v, std::string& error) {
        if (v != "s16" && v != "f32") {
            error = "--format must be s16 or f32";
            return false;
        }
        c.format = v == "s16" ? IqSampleFormat::S16 : IqSampleFormat::F32;
        return true;
    });
    w.Value("--start", [&s](const std::string& v, std::string& error) {
        if (ParseUtcTime(v, s.startUtc)) return true;
        error = "--start takes a UTC time as 2025-01-01T00:00:00Z";
        return false;
    });
    w.Value("--beacon", [&s](const std::string& v, std::string&) {
        IqBeacon b;
        if (!WholeDouble(v, b.carrierKHz)) return false;
        s.beacons.push_back(b);
        return true;
    });
    w.Value("--ident", [&beacon](const std::string& v, std::string& error) {
        IqBeacon* b = beacon(error);
        if (b) b->ident = v;
        return b != nullptr;
    });
    w.Value("--tone", beaconNumber(&IqBeacon::toneHz));
    w.Value("--period", beaconNumber(&IqBeacon::periodSeconds));
    w.Value("--wpm", beaconNumber(&IqBeacon::wpm));
    w.Value("--offset", beaconNumber(&IqBeacon::offsetSeconds));
    w.Value("--level", beaconNumber(&IqBeacon::levelDb));
    w.Value("--carrier-level", beaconNumber(&IqBeacon::carrierLevelDb));
    w.Value("--keying", [&beacon](const std::string& v, std::string& error) {
        IqBeacon* b = beacon(error);
        if (!b) return false;
        if (v == "upper") b->keying = IqKeying::Upper;
        else if (v == "lower") b->keying = IqKeying::Lower;
        else if (v == "both") b->keying = IqKeying::Both;
        else if (v == "carrier") b->keying = IqKeying::Carrier;
        else error = "--keying must be upper, lower, both or carrier";
        return error.empty();
    });
    w.Value("--steady", [&s](const std::string& v, std::string&) {
        IqSteadyCarrier carrier;
        if (!WholeDouble(v, carrier.kHz)) return false;
        s.carriers.push_back(carrier);
        return true;
    });
    w.Value("--steady-level", [&s](const std::string& v, std::string& error) {
        if (s.carriers.empty()) {
            error = "give --steady before --steady-level";
            return false;
        }
        return WholeDouble(v, s.carriers.back().levelDb);
    });
    w.Value("--snr", [&s](const std::string& v, std::string&) {
        s.withNoise = true;
        return WholeDouble(v, s.snrDb);
    });
    w.Value("--minutes", [&s](const std::string& v, std::string&) {
        double m;
        if (!WholeDouble(v, m)) return false;
        s.seconds = m * 60.0;
        return true;
    });
    w.Value("--seconds", DoubleInto(s.seconds));
    w.Value("--fade-depth", DoubleInto(s.fadeDepthDb));
    w.Value("--fade-period", DoubleInto(s.fadePeriodSeconds));
    w.Value("--drift", DoubleInto(s.driftHzPerMinute));
    w.Value("--seed", [&s](const std::string& v, std::string&) {
        int seed;
        if (!WholeInt(v, seed) || seed < 0) return false;
        s.seed = static_cast<uint32_t>(seed);
        return true;
    });
    std::vector<std::string> positional;
    if (!w.Walk(args, 1, positional, error)) return false;
    if (positional.size() != 1) {
        error = "synth --iq needs exactly one output file";
        return false;
    }
    c.output = positional[0];
    if (!haveCentre) {
        error = "synth --iq needs --centre-khz, the receiver's centre frequency";
        return false;
    }
    error = CheckIqSynthSpec(s);
    return error.empty();
}

bool AsksForIq(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--") return false;
        if (a == "--iq") return true;
    }
    return false;
}

// ---- end of synth --iq

void AddAnalysisOptions(ArgWalker& w, AnalysisSettings& s, bool& json) {
    w.Value("--centre", [&s](const std::string& v, std::string&) {
        int hz;
        if (!WholeInt(v, hz) || hz < -100000 || hz > 100000) return false;
        s.centreHz = hz;
        return true;
    });
    w.Value("--bandwidth", [&s](const std::string& v, std::string& error) {
        double bw;
        if (!WholeDouble(v, bw) || (bw != 3000 && bw != 1500 && bw != 750 && bw != 375 && bw != 187.5)) {
            error = "--bandwidth must be 3000, 1500, 750, 375 or 187.5";
            return false;
        }
        s.bandwidthHz = bw;
        return true;
    });
    w.Value("--tone-min", DoubleInto(s.toneMin));
    w.Value("--tone-max", DoubleInto(s.toneMax));
    w.Value("--period-min", DoubleInto(s.periodMin));
    w.Value("--period-max", DoubleInto(s.periodMax));
    w.Value("--carrier", [&s](const std::string& v, std::string&) {
        double khz;
        if (!WholeDouble(v, khz) || khz <= 0.0 || khz > 1e6) return false;
        s.carrierKHz = khz;
        return true;
    });
    w.Flag("--usb", [&s](std::string& error) {
        if (s.rxMode == 1) error = "give --usb or --lsb, not both";
        s.rxMode = 0;
        return error.empty();
    });
    w.Flag("--lsb", [&s](std::string& error) {
        if (s.rxMode == 0) error = "give --usb or --lsb, not both";
        s.rxMode = 1;
        return error.empty();
    });
    w.Value("--wpm", [&s](const std::string& v, std::string& error) {
        int wpm;
        if (!WholeInt(v, wpm) || wpm < 1 || wpm > 60) {
            error = "--wpm must be a whole number from 1 to 60";
            return false;
        }
        s.wpm = wpm;
        return true;
    });
    w.Value("--period-scale", [&s](const std::string& v, std::string& error) {
        int scale;
        if (!WholeInt(v, scale) || (scale != 8 && scale != 16 && scale != 32 && scale != 64)) {
            error = "--period-scale must be 8, 16, 32 or 64";
            return false;
        }
        s.periodScale = scale;
        return true;
    });
    w.Value("--detector", [&s](const std::string& v, std::string& error) {
        if (v != "sensitive" && v != "classic") {
            error = "--detector must be sensitive or classic";
            return false;
        }
        s.sensitive = v == "sensitive";
        return true;
    });
    w.Value("--log-dir", [&s](const std::string& v, std::string&) {
        s.logDir = v;
        return !v.empty();
    });
    w.Flag("--json", [&json](std::string&) {
        json = true;
        return true;
    });
}

// A reversed range would search nothing and say nothing: refused, each bound taken with its
// start-up default where only the other is given.
std::string CheckSearchRanges(const AnalysisSettings& s) {
    const double toneMin = s.toneMin.value_or(900.0), toneMax = s.toneMax.value_or(1100.0);
    const double periodMin = s.periodMin.value_or(6.0), periodMax = s.periodMax.value_or(15.0);
    if (toneMin > toneMax)
        return FormatC("the tone range is reversed: --tone-min %g Hz is above --tone-max %g Hz", toneMin, toneMax);
    if (periodMin > periodMax)
        return FormatC("the period range is reversed: --period-min %g s is above --period-max %g s", periodMin,
                       periodMax);
    return {};
}

void AddImportOptions(ArgWalker& w, AudioImportOptions& import) {
    w.Value("--channel", [&import](const std::string& v, std::string& error) {
        if (v == "mix") {
            import.mix = true;
            return true;
        }
        int ch;
        if (!WholeInt(v, ch) || ch < 1) {
            error = "--channel takes a channel number from 1, or mix";
            return false;
        }
        import.mix = false;
        import.channel = ch;
        return true;
    });
    w.Value("--gain", [&import](const std::string& v, std::string& error) {
        if (v == "auto") {
            import.autoGain = true;
            return true;
        }
        double db;
        if (!WholeDouble(v, db) || db < -200.0 || db > 200.0) {
            error = "--gain takes a number of dB from -200 to 200, or auto";
            return false;
        }
        import.autoGain = false;
        import.gainDb = db;
        return true;
    });
}

bool ParseAnalyse(const std::vector<std::string>& args, AnalyseCommand& c, std::string& error) {
    ArgWalker w;
    AddAnalysisOptions(w, c.settings, c.json);
    AddImportOptions(w, c.import);
    w.Value("--save-svl", [&c](const std::string& v, std::string&) {
        c.saveSvl = v;
        return !v.empty();
    });
    w.Flag("--segments", [&c](std::string&) {
        c.segments = true;
        return true;
    });
    if (!w.Walk(args, 1, c.files, error)) return false;
    error = CheckSearchRanges(c.settings);
    if (c.files.empty()) error = "analyse needs at least one file";
    size_t audioFiles = 0;
    for (const std::string& f : c.files) audioFiles += IsSpectrumFileName(f) ? 0 : 1;
    if (!c.saveSvl.empty() && audioFiles != 1) error = "--save-svl needs exactly one audio file";
    return error.empty();
}

bool ParseSearch(const std::vector<std::string>& args, SearchCommand& c, std::string& error) {
    ArgWalker w;
    AddAnalysisOptions(w, c.settings, c.json);
    if (!w.Walk(args, 1, c.files, error)) return false;
    error = CheckSearchRanges(c.settings);
    if (c.files.empty()) error = "search needs at least one .svl file";
    return error.empty();
}

bool ParseRun(const std::vector<std::string>& args, RunCommand& c, std::string& error) {
    ArgWalker w;
    AddAnalysisOptions(w, c.settings, c.json);
    AddImportOptions(w, c.import);
    w.Value("--input", [&c](const std::string& v, std::string&) {
        c.input = v;
        return !v.empty();
    });
    w.Flag("--realtime", [&c](std::string&) {
        c.realtime = true;
        return true;
    });
    w.Value("--timeout", [&c](const std::string& v, std::string& error) {
        double seconds = 0.0;
        if (!WholeDouble(v, seconds) || seconds <= 0.0 || seconds > 1e9) {
            error = "--timeout takes a number of seconds above 0";
            return false;
        }
        c.timeoutSeconds = seconds;
        return true;
    });
    std::vector<std::string> positional;
    if (!w.Walk(args, 1, positional, error)) return false;
    if (positional.size() != 1) {
        error = "run needs exactly one script file";
        return false;
    }
    c.script = positional[0];
    error = CheckSearchRanges(c.settings);
    if (c.input.empty()) error = "run needs --input FILE";
    return error.empty();
}

// The receiver's noise beyond white noise, and the output format.
void AddSynthNoiseOptions(ArgWalker& w, SynthSpec& s) {
    w.Value("--noise-rms", DoubleInto(s.noiseRmsCounts));
    w.Value("--crashes", DoubleInto(s.crashes.perSecond));
    w.Value("--crash-level", DoubleInto(s.crashes.levelDb));
    w.Value("--crash-spread", DoubleInto(s.crashes.spreadDb));
    w.Value("--crash-ms", DoubleInto(s.crashes.milliseconds));
    w.Value("--noise-drift", DoubleInto(s.noiseDriftDb));
    w.Value("--noise-wander", DoubleInto(s.noiseWanderDb));
    w.Value("--noise-wander-time", DoubleInto(s.noiseWanderSeconds));
    w.Value("--noise-tilt", DoubleInto(s.noiseTiltDbPerOctave));
    w.Value("--hum", DoubleInto(s.humHz));
    w.Value("--hum-level", DoubleInto(s.humLevelDb));
    w.Value("--qsb", DoubleInto(s.qsbDb));
    w.Value("--qsb-time", DoubleInto(s.qsbSeconds));
    w.Flag("--agc", [&s](std::string&) {
        s.agc.on = true;
        return true;
    });
    w.Value("--agc-attack", DoubleInto(s.agc.attackMs));
    w.Value("--agc-decay", DoubleInto(s.agc.decayMs));
    w.Value("--agc-threshold", DoubleInto(s.agc.thresholdDb));
    w.Value("--format", [&s](const std::string& v, std::string& error) {
        if (v == "u8-mono-48k")
            s.format = SynthFormat::Mono8Bit48k;
        else if (v == "s16-stereo-44k")
            s.format = SynthFormat::Stereo16Bit44k;
        else
            error = "--format must be u8-mono-48k or s16-stereo-44k";
        return error.empty();
    });
}

bool ParseSynth(const std::vector<std::string>& args, SynthCommand& c, std::string& error) {
    ArgWalker w;
    SynthSpec& s = c.spec;
    s.seconds = 300.0;
    // The per-ident options describe the ident named last, the level of a steady carrier the
    // carrier named last.
    auto identOption = [&s](double SynthIdent::*field) {
        return [&s, field](const std::string& v, std::string& error) {
            if (s.idents.empty()) {
                error = "give --ident before the options that describe it";
                return false;
            }
            return WholeDouble(v, s.idents.back().*field);
        };
    };
    w.Value("--ident", [&s](const std::string& v, std::string&) {
        SynthIdent id;
        id.ident = v;
        s.idents.push_back(id);
        return true;
    });
    w.Value("--tone", identOption(&SynthIdent::toneHz));
    w.Value("--period", identOption(&SynthIdent::periodSeconds));
    w.Value("--wpm", identOption(&SynthIdent::wpm));
    w.Value("--offset", identOption(&SynthIdent::offsetSeconds));
    w.Value("--level", identOption(&SynthIdent::levelDb));
    w.Value("--steady", [&s](const std::string& v, std::string&) {
        SynthCarrier c;
        if (!WholeDouble(v, c.toneHz)) return false;
        s.carriers.push_back(c);
        return true;
    });
    w.Value("--steady-level", [&s](const std::string& v, std::string& error) {
        if (s.carriers.empty()) {
            error = "give --steady before --steady-level";
            return false;
        }
        return WholeDouble(v, s.carriers.back().levelDb);
    });
    w.Value("--snr", [&s](const std::string& v, std::string&) {
        s.withNoise = true;
        return WholeDouble(v, s.snrDb);
    });
    w.Value("--minutes", [&s](const std::string& v, std::string&) {
        double m;
        if (!WholeDouble(v, m)) return false;
        s.seconds = m * 60.0;
        return true;
    });
    w.Value("--seconds", DoubleInto(s.seconds));
    w.Value("--fade-depth", DoubleInto(s.fadeDepthDb));
    w.Value("--fade-period", DoubleInto(s.fadePeriodSeconds));
    w.Value("--drift", DoubleInto(s.driftHzPerMinute));
    AddSynthNoiseOptions(w, s);
    w.Value("--seed", [&s](const std::string& v, std::string&) {
        int seed;
        if (!WholeInt(v, seed) || seed < 0) return false;
        s.seed = static_cast<uint32_t>(seed);
        return true;
    });
    std::vector<std::string> positional;
    if (!w.Walk(args, 1, positional, error)) return false;
    if (positional.size() != 1) {
        error = "synth needs exactly one output file";
        return false;
    }
    c.output = positional[0];
    error = CheckSynthSpec(s);
    return error.empty();
}

// "404,412.5,1020" -> radio frequencies in kHz, each above 0.
bool CarrierList(const std::string& text, std::vector<double>& out) {
    out.clear();
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        double khz;
        if (!WholeDouble(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from), khz) ||
            !(khz > 0.0) || khz > 1e7)
            return false;
        out.push_back(khz);
        if (comma == std::string::npos) return true;
        from = comma + 1;
    }
}

bool ParseSurvey(const std::vector<std::string>& args, SurveyCommand& c, std::string& error) {
    ArgWalker w;
    w.Value("--carriers", [&c](const std::string& v, std::string& e) {
        if (CarrierList(v, c.carriersKHz)) return true;
        e = "--carriers takes radio frequencies in kHz separated by commas, such as 404,412.5";
        return false;
    });
    w.Value("--centre-khz", [&c](const std::string& v, std::string&) {
        double khz;
        if (!WholeDouble(v, khz) || !(khz > 0.0) || khz > 1e7) return false;
        c.centreKHz = khz;
        return true;
    });
    w.Value("--rate", [&c](const std::string& v, std::string&) {
        double hz;
        if (!WholeDouble(v, hz) || !(hz > 0.0)) return false;
        c.rateHz = hz;
        return true;
    });
    w.Value("--period-min", DoubleInto(c.periodMin));
    w.Value("--period-max", DoubleInto(c.periodMax));
    w.Value("--log-dir", [&c](const std::string& v, std::string&) {
        c.logDir = v;
        return !v.empty();
    });
    w.Value("--png", [&c](const std::string& v, std::string&) {
        c.png = v;
        return !v.empty();
    });
    w.Flag("--single-sideband", [&c](std::string&) {
        c.combineSidebands = false;
        return true;
    });
    w.Flag("--tune-transforms", [&c](std::string&) {
        c.tuneTransforms = true;
        return true;
    });
    auto format = [&c](SurveyCommand::Format f) {
        return [&c, f](std::string& e) {
            if (c.format != SurveyCommand::Format::Text && c.format != f) e = "give --json or --csv, not both";
            c.format = f;
            return e.empty();
        };
    };
    w.Flag("--json", format(SurveyCommand::Format::Json));
    w.Flag("--csv", format(SurveyCommand::Format::Csv));
    if (!w.Walk(args, 1, c.files, error)) return false;
    if (c.files.empty()) error = "survey needs at least one I/Q recording";
    else if (!(c.periodMin > 0.0) || c.periodMax <= c.periodMin) error = "--period-min must be above 0 and below --period-max";
    else if (!c.png.empty() && c.files.size() != 1) error = "--png needs exactly one recording";
    return error.empty();
}

Subcommand SubcommandNamed(const std::string& name) {
    if (name == "analyse" || name == "analyze") return Subcommand::Analyse;
    if (name == "search") return Subcommand::Search;
    if (name == "run") return Subcommand::Run;
    if (name == "synth") return Subcommand::Synth;
    if (name == "survey") return Subcommand::Survey;
    return Subcommand::None;
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--") return false;
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

}  // namespace

bool IsSpectrumFileName(const std::string& path) {
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".svl") == 0;
}

bool ParseCommandLine(const std::vector<std::string>& args, CliCommand& command, std::string& error) {
    if (args.empty()) {
        error = "missing command";
        return false;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        command.which = Subcommand::Help;
        command.helpFor = args.size() > 1 ? SubcommandNamed(args[1]) : Subcommand::None;
        return true;
    }
    const Subcommand which = SubcommandNamed(args[0]);
    if (which == Subcommand::None) {
        error = "unknown command \"" + args[0] + "\"";
        return false;
    }
    if (AsksForHelp(args)) {
        command.which = Subcommand::Help;
        command.helpFor = which;
        return true;
    }
    command.which = which;
    switch (which) {
        case Subcommand::Analyse: return ParseAnalyse(args, command.analyse, error);
        case Subcommand::Search: return ParseSearch(args, command.search, error);
        case Subcommand::Run: return ParseRun(args, command.run, error);
        case Subcommand::Synth:
            if (AsksForIq(args)) {
                command.which = Subcommand::SynthIq;
                return ParseIqSynth(args, command.iqSynth, error);
            }
            return ParseSynth(args, command.synth, error);
        case Subcommand::Survey: return ParseSurvey(args, command.survey, error);
        default: return false;
    }
}

}  // namespace sorv
