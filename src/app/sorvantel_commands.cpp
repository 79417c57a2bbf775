#include "app/sorvantel_commands.h"

#include <QAction>

#include "app/command_ids.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

// File, Process and the data-handling commands of the document.
void AddFileAndProcess(CommandTable& t, CSorvantelDoc& d, const FrameCommands& f) {
    auto analysing = [busy = f.analysingRecording] { return busy && busy(); };
    t.Add({cmd::kFileSave, "&Save", "Save the current sampled data to file", "", "", [&d] { d.OnSave(); },
           [&d] { return d.HasRows(); }, {}, {}});
    t.Add({cmd::kFileLoad, "&Load", "Load sample data from file", "", ":/icons/load.svg", [&d] { d.OnLoad(); },
           [&d] { return d.CanStart(); }, {}, {}});
    t.Add({cmd::kAnalyseRecording, "&Analyse recording...", "Analyse an audio recording as if it came from the sound card",
           "", "", f.analyseRecording, [&d, analysing] { return d.CanStart() && !analysing(); }, {}, {}});
    t.Add({cmd::kStart, "Start", "Start processing audio", "Start", ":/icons/start.svg", [&d] { d.OnStart(); },
           [&d] { return d.CanStart(); }, {}, {}});
    t.Add({cmd::kStop, "Stop", "Stop processing audio", "Stop", ":/icons/stop.svg", [&d] { d.OnStop(); },
           [&d] { return d.CanStop(); }, {}, {}});
    t.Add({cmd::kRecord, "Record", "Record a wave file of the current audio input", "Record", ":/icons/record.svg",
           [&d] { d.OnRecord(); }, [&d, analysing] { return d.CanStop() && !analysing(); }, [&d] { return d.IsRecordChecked(); }, {}});
    t.Add({cmd::kPurge, "Purge data", "Purge the recorded data", "Purge", ":/icons/purge.svg",
           [&d] { d.OnPurge(); }, [&d] { return d.HasRows(); }, {}, {}});
    t.Add({cmd::kPlayback, "Playback", "Play the integrated audio", "Playback", ":/icons/playback.svg",
           [&d] { d.OnPlayback(); }, [&d] { return d.IsPlaybackEnabled(); },
           [&d] { return d.IsPlaybackChecked(); }, {}});
    t.Add({cmd::kScript, "Script", "Execute commands from a text file", "", "", [&d] { d.OnScript(); },
           [&d] { return d.CanScript(); }, {}, {}});
    t.Add({cmd::kLogIdents, "Log idents", "Send successful identifications to a log file", "", "",
           [&d] { d.OnLogIdents(); }, {}, [&d] { return d.m_bLogCheck != 0; }, {}});
    t.Add({cmd::kLogFiles, "Log files", "Specify the directory for log files", "", "", [&d] { d.OnLogDirectory(); },
           {}, {}, {}});
}

// The audio source: Mixer and the four cards, whose items show the devices' names.
void AddAudioSource(CommandTable& t, CSorvantelDoc& d) {
    t.Add({cmd::kMixer, "Mixer", "Setup audio mixer", "", "", [&d] { d.OnMixer(); }, {}, {}, {}});
    for (int i = 0; i < 4; ++i) {
        Command c{cmd::Card(i), QString("Card %1").arg(i + 1), "", "", "", [&d, i] { d.OnCard(i); },
                  [&d, i] { return d.IsCardEnabled(i); }, {}, {}};
        // A disabled card keeps its text and its check, so the card in use stays marked while
        // processing runs; a card without a device is never checked.
        c.refresh = [&d, i](QAction& a) {
            const bool enabled = d.IsCardEnabled(i);
            a.setEnabled(enabled);
            if (enabled) {
                a.setText(CardMenuText(d.m_strCardName[i]));
                a.setChecked(d.IsCardChecked(i));
            } else if (d.m_strCardName[i].empty()) {
                a.setChecked(false);
            }
        };
        t.Add(std::move(c));
    }
}

// The receiver and search parameters, each with its dialog, and the Loran-C mode.
void AddParameters(CommandTable& t, CSorvantelDoc& d) {
    t.Add({cmd::kSpectralRange, "Spectral range", "Define the frequency range of the spectral analysis", "", "",
           [&d] { d.OnSpectralRange(); }, {}, {}, {}});
    t.Add({cmd::kPeriodRange, "Period range", "Define the search range for the ident period", "", "",
           [&d] { d.OnPeriodRange(); }, {}, {}, {}});
    t.Add({cmd::kPeriodScale, "Period scale", "Set the scale of the periodicity graph", "", "",
           [&d] { d.OnPeriodScale(); }, {}, {}, {}});
    t.Add({cmd::kNominalCarrier, "Nominal carrier", "Specify the nominal carrier", "", "",
           [&d] { d.OnNominalCarrier(); }, {}, {}, {}});
    t.Add({cmd::kIdentWpm, "Ident wpm", "Define the expected morse ident words per minute", "", "",
           [&d] { d.OnIdentWpm(); }, {}, {}, {}});
    t.Add({cmd::kLoranMode, "Loran-C mode", "Loran-C", "Loran-C", ":/icons/loran.svg", [&d] { d.OnLoranMode(); },
           [&d] { return d.CanLoranMode(); }, [&d] { return d.IsLoranChecked(); }, {}});
    t.Add({cmd::kGri, "GRI", "", "", "", [&d] { d.OnGri(); }, {}, {}, {}});
    t.Add({cmd::kAutoSetup, "Setup", "Setup auto search parameters", "", "", [&d] { d.OnAutoSetup(); }, {}, {}, {}});
}

// The road of one identification and the searches that walk it.
void AddAnalysis(CommandTable& t, CSorvantelDoc& d) {
    t.Add({cmd::kViewSignal, "Signal", "View raw audio signal", "Signal", ":/icons/signal.svg",
           [&d] { d.OnViewSignal(); }, {}, [&d] { return d.m_nViewMode == 0; }, {}});
    t.Add({cmd::kViewSpectrum, "Spectrum", "View audio spectrum", "Spectrum", ":/icons/spectrum.svg",
           [&d] { d.OnViewSpectrum(); }, {}, [&d] { return d.m_nViewMode == 1; }, {}});
    t.Add({cmd::kSpectralDensity, "Spectral density", "Calculate the spectral density of the recording",
           "Spectral density", ":/icons/density.svg", [&d] { d.OnSpectralDensity(); },
           [&d] { return d.CanSpectralDensity(); },
           [&d] { return d.CanSpectralDensity() && d.m_nViewMode == 2; }, {}});
    t.Add({cmd::kPeriodSearch, "Period search", "Display the periodicity of the designated spectral line", "Period",
           ":/icons/period.svg", [&d] { d.OnPeriodSearch(); }, [&d] { return d.CanPeriodSearch(); }, {}, {}});
    t.Add({cmd::kIntegrate, "Integrate data", "Integrate the current data at the defined periodicity", "Integrate",
           ":/icons/integrate.svg", [&d] { d.OnIntegrate(); }, [&d] { return d.CanIntegrate(); }, {}, {}});
    t.Add({cmd::kIdent, "Ident", "Determine the ident in the current integrand", "Ident", ":/icons/ident.svg",
           [&d] { d.OnIdent(); }, [&d] { return d.CanIdent(); }, {}, {}});
    t.Add({cmd::kNextSpec, "Next spec", "Explore periodicity in the next spectral line", "", "",
           [&d] { d.OnNextSpec(); }, [&d] { return d.CanNextSpec(); }, {}, {}});
    t.Add({cmd::kPrevSpec, "Prev spec", "Explore periodicity in the previous spectral line", "", "",
           [&d] { d.OnPrevSpec(); }, [&d] { return d.CanPrevSpec(); }, {}, {}});
    t.Add({cmd::kAutoSearch, "Auto search", "Perform automatic search", "", "", [&d] { d.OnAutoSearch(); },
           [&d] { return d.HasRows(); }, {}, {}});
    // Loading rows while capture writes them would run the store past its end.
    t.Add({cmd::kBatchAutoSearch, "Batch auto search", "Perform automatic search on a batch of SVL files", "", "",
           [&d] { d.OnBatchAutoSearch(); }, [&d] { return d.CanStart(); }, {}, {}});
    t.Add({cmd::kSemiAutoFwd, "Semi auto search fwd", "", "", "", [&d] { d.OnSemiAutoFwd(); }, {}, {}, {}});
    t.Add({cmd::kSemiAutoBack, "Semi auto search back", "", "", "", [&d] { d.OnSemiAutoBack(); }, {}, {}, {}});
    t.Add({cmd::kSensitiveDetection, "Sensitive detection",
           "Let the automatic search judge keying against each line's own noise, for weak beacons", "", "",
           [&d] { d.OnSensitiveDetection(); }, {}, [&d] { return d.IsSensitiveDetectionChecked(); }, {}});
}

void AddFrameCommands(CommandTable& t, const FrameCommands& f) {
    t.Add({cmd::kAppExit, "E&xit", "Quit the application; prompts to save documents", "", "", f.exit, {}, {}, {}});
    t.Add({cmd::kViewToolbar, "&Toolbar", "Show or hide the toolbar", "", "", f.toggleToolbar, {}, f.toolbarVisible,
           {}});
    t.Add({cmd::kViewStatusBar, "&Status Bar", "Show or hide the status bar", "", "", f.toggleStatusBar, {},
           f.statusBarVisible, {}});
    t.Add({cmd::kStep, "Step", "", "", "", f.step, {}, {}, {}});
    t.Add({cmd::kAbout, "&About Sorvantel...", "", "About", ":/icons/about.svg", f.about, {}, {}, {}});
    t.Add({cmd::kHelpTopics, "&Help Topics", "List Help topics", "", "", f.help, {}, {}, {}});
    t.Add({cmd::kHelpDefault, "Help Topics", "List Help topics", "", "", f.help, {}, {}, {}});
    t.Add({cmd::kHelp, "Help", "Display help for current task or command", "", "", f.help, {}, {}, {}});
    t.Add({cmd::kContextHelp, "Context help", "Display help for clicked on buttons, menus and windows", "Help",
           ":/icons/help.svg", f.help, {}, {}, {}});
}

}  // namespace

QString CardMenuText(const std::string& name) {
    QString text = QString::fromStdString(name);
    text.replace("&", "&&");
    return text;
}

void FillCommandTable(CommandTable& table, CSorvantelDoc& doc, const FrameCommands& frame) {
    AddFileAndProcess(table, doc, frame);
    AddAudioSource(table, doc);
    AddParameters(table, doc);
    AddAnalysis(table, doc);
    AddFrameCommands(table, frame);
}

}  // namespace sorv
