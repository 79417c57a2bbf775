// Takes the user guide's pictures from the program itself: the main window at each step of the
// road, fed with a synthetic beacon (ident "DGU" on 1000 Hz every 9 s, in noise), and two of
// the dialogs. Run by hand after a change that alters what the window shows:
//   cmake --build build --target sorvantel_guide_shots
//   QT_QPA_PLATFORM=offscreen build/src/app/sorvantel_guide_shots docs/help/images
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <vector>

#include "app/main_frame.h"
#include "app/parameter_dialogs.h"
#include "audio/synth/receiver_audio.h"
#include "display/sorvantel_view.h"

namespace {

using sorv::CMainFrame;
using sorv::CSorvantelDoc;

// Five minutes of receiver audio straight into the spectrogram producer, as capture would.
void Listen(CSorvantelDoc& doc) {
    sorv::SynthSpec spec;
    spec.idents.push_back(sorv::SynthIdent{"DGU", 1000.0, 9.0, 8.0, 0.5, 0.0});
    spec.seconds = 300.0;
    spec.withNoise = true;
    spec.snrDb = 6.0;
    spec.seed = 7;
    sorv::ReceiverAudio audio(spec);
    doc.BuildFftTables();
    doc.m_bProcessing = 1;
    std::vector<uint8_t> block(48000);
    while (size_t n = audio.Fill(block.data(), block.size())) {
        for (size_t i = 0; i < n; ++i) doc.ProcessSample(block[i]);
    }
}

// The line of highest spectral density between two audio frequencies: the user's click.
int StrongestLine(const CSorvantelDoc& doc, double lowHz, double highHz) {
    int best = -1;
    for (int i = 0; i < sorv::kLines; ++i) {
        const double f = doc.LineFrequency(i);
        if (f < lowHz || f > highHz) continue;
        if (best < 0 || doc.m_specDensity[i] > doc.m_specDensity[best]) best = i;
    }
    return best;
}

// The strongest bin of the periodicity spectrum that the graph shows.
int StrongestPeriodBin(const CSorvantelDoc& doc) {
    const int shown = doc.m_nPeriodScale > 0 ? doc.m_nPeriodBins / doc.m_nPeriodScale : 0;
    int best = -1;
    for (int k = 1; k < shown && k < static_cast<int>(doc.m_pPeriodSpectrum.size()); ++k) {
        if (best < 0 || doc.m_pPeriodSpectrum[k] > doc.m_pPeriodSpectrum[best]) best = k;
    }
    return best;
}

bool Save(QWidget& w, const QDir& dir, const char* name) {
    QApplication::processEvents();
    const QString path = dir.filePath(name);
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    return ok;
}

template <typename Dialog>
bool SaveDialog(Dialog& dlg, const QDir& dir, const char* name) {
    dlg.show();
    const bool ok = Save(dlg, dir, name);
    dlg.reject();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc < 2) {
        std::fprintf(stderr, "usage: sorvantel_guide_shots <output directory>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    // Settings and logs of this run go to a directory of its own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());

    CMainFrame frame;
    // The pictures show the window at the size a new user first sees, where every caption
    // fits; the guide scales them to its page.
    frame.resize(frame.sizeHint());
    frame.show();
    CSorvantelDoc& doc = frame.Doc();
    bool ok = Save(frame, dir, "start.png");

    Listen(doc);
    frame.setWindowTitle("Sorvantel from KELD - processing audio data");
    frame.RefreshCommandStates();
    ok = Save(frame, dir, "signal.png") && ok;
    doc.OnViewSpectrum();
    frame.RefreshCommandStates();
    ok = Save(frame, dir, "spectrum.png") && ok;
    doc.OnSpectralDensity();
    doc.m_nLine = StrongestLine(doc, 900.0, 1100.0);
    frame.RefreshCommandStates();
    ok = Save(frame, dir, "density.png") && ok;
    doc.OnPeriodSearch();
    doc.m_nPeriodBin = StrongestPeriodBin(doc);
    frame.RefreshCommandStates();
    ok = Save(frame, dir, "periodicity.png") && ok;
    frame.View()->OnStep();
    frame.RefreshCommandStates();
    ok = Save(frame, dir, "integral.png") && ok;
    // Three double clicks on the crossover, where the keying stands upright, then Ident.
    for (int click = 0; click < 3; ++click) doc.NarrowRangeAround(9.0);
    doc.m_bLogCheck = 0;
    doc.OnIdent();
    frame.RefreshCommandStates();
    ok = Save(frame, dir, "ident.png") && ok;

    sorv::CSpectrumDlg spectrum(&frame);
    spectrum.m_values = {1000, 1};
    ok = SaveDialog(spectrum, dir, "dialog_spectrum.png") && ok;
    sorv::CCarrierDlg carrier(&frame);
    carrier.m_values = {404.0, 0};
    ok = SaveDialog(carrier, dir, "dialog_carrier.png") && ok;

    std::printf("ident decoded: \"%s\"\n", doc.m_strIdent.c_str());
    doc.m_bProcessing = 0;
    return ok ? 0 : 1;
}
