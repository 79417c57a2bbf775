// File > "Analyse recording..." on an I/Q recording: the carriers of its average spectrum are
// listed, the one chosen is fed as its receiver's audio with the carrier and sideband set, and
// the road is walked on it with the mouse to the ident and its log entry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/carrier_choice_dlg.h"
#include "app/command_ids.h"
#include "display/sorvantel_view.h"
#include "display/view_geometry.h"
#include "shell_fixture.h"
#include "support/iq_beacons.h"
#include "survey/channel_layout.h"

namespace sorv::test {
namespace {

using SurveyWindow = ShellTest;

bool WaitUntilIdle(CSorvantelDoc& doc) {
    QElapsedTimer t;
    t.start();
    while (doc.m_bProcessing && t.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    return !doc.m_bProcessing;
}

// 160 s at 48 kHz around 400 kHz: DGU on 1020 Hz in both sidebands of 402 kHz, a carrier
// without ident at 396 kHz.
void WriteBand(const std::string& path) {
    IqScene scene;
    scene.rate = 48000.0;
    scene.centreHz = 400000.0;
    scene.seconds = 160.0;
    IqBeacon dgu;
    dgu.offsetHz = 2000.0;
    dgu.ident = "DGU";
    dgu.toneHz = 1020.0;
    dgu.periodSeconds = 8.0;
    dgu.toneDb = 12.0;
    dgu.carrierDb = 20.0;
    scene.beacons = {dgu};
    scene.carriers = {{-4000.0, 10.0}};
    ASSERT_TRUE(WriteIqWav(path, scene));
}

TEST_F(SurveyWindow, ListsTheCarriersAndFeedsTheChosenChannelForTheRoadByMouse) {
    TempDir dir;
    const std::string wav = dir.file("band_400kHz.wav");
    WriteBand(wav);
    Doc().m_strLogDirectory = dir.file("logs");
    Doc().m_bLogCheck = 1;
    QStringList listed;
    std::unique_ptr<ModalAnswer> pick;
    auto chosen = ModalAnswer::On<QFileDialog>([&](QFileDialog* d) {
        d->selectFile(QString::fromStdString(wav));
        static_cast<QDialog*>(d)->accept();
        pick = ModalAnswer::On<CCarrierChoiceDlg>([&](CCarrierChoiceDlg* c) {
            for (int i = 0; i < c->List()->count(); ++i) listed << c->List()->item(i)->text();
            c->List()->setCurrentRow(1);
            for (QPushButton* b : c->findChildren<QPushButton*>())
                if (b->text() == "OK") QTest::mouseClick(b, Qt::LeftButton);
        });
    });
    Frame().Execute(cmd::kAnalyseRecording);
    ASSERT_TRUE(chosen->Ran());
    ASSERT_TRUE(pick && pick->Ran());
    ASSERT_EQ(listed.size(), 2) << listed.join("\n").toStdString();
    EXPECT_TRUE(listed[0].contains("396.00 kHz")) << listed[0].toStdString();
    EXPECT_TRUE(listed[1].contains("402.00 kHz")) << listed[1].toStdString();

    ASSERT_EQ(Doc().m_bProcessing, 1);
    ASSERT_TRUE(WaitUntilIdle(Doc()));
    Frame().RefreshCommandStates();
    EXPECT_EQ(Doc().m_nRows, static_cast<int>(160.0 * kChannelRowRate));
    EXPECT_EQ(Doc().m_nBandLow, kChannelBandLow);
    EXPECT_EQ(Doc().m_nBandHigh, kChannelBandHigh);
    EXPECT_EQ(Doc().m_nRowsPerFrame, kChannelRowsPerFrame);
    // The dial of the receiver whose audio this is: every line reads at its radio frequency.
    EXPECT_NEAR(Doc().m_dCarrierKHz, 402.0 - kChannelToneHz / 1000.0, 0.003);
    EXPECT_EQ(Doc().m_nRxMode, 0);

    // The road, by mouse: from the Spectrum to the Spectral Density; the upper 1020 Hz line; its
    // periodicity; the period bin of 8 s; then Ident writes the log entry.
    Frame().resize(1400, 800);
    Frame().show();
    QApplication::processEvents();
    CSorvantelView& view = *Frame().View();
    auto doubleClick = [&](int x) { QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(x, view.height() / 2)); };
    const view::PlotRect plot = view::PlotRect::ForClient(view.width(), view.height());
    ASSERT_EQ(Doc().m_nViewMode, 1);  // the rows grew in the Spectrum
    doubleClick(view.width() / 2);
    ASSERT_EQ(Doc().m_nViewMode, 2) << view.width() << "x" << view.height();
    int line = -1;
    for (int l = 0; l < kLines; ++l)
        if (std::abs(Doc().LineFrequency(l) - (kChannelToneHz + 1020.0)) < 40.0 &&
            (line < 0 || Doc().m_specDensity[l] > Doc().m_specDensity[line]))
            line = l;
    ASSERT_GE(line, 0);
    int x = plot.L;
    while (x < plot.R && view::LineUnderX(x, plot) != line) ++x;
    doubleClick(x + 1);
    ASSERT_EQ(Doc().m_nViewMode, 3);
    ASSERT_EQ(Doc().m_nLine, line);
    const view::PeriodAxis axis = view::PeriodAxis::Of(Doc());
    int bin = -1;
    for (int k = 1; k < axis.M; ++k)
        if (axis.PeriodOfBin(k) > 6.0 && axis.PeriodOfBin(k) < 15.0 &&
            (bin < 0 || Doc().m_pPeriodSpectrum[k] > Doc().m_pPeriodSpectrum[bin]))
            bin = k;
    ASSERT_GE(bin, 1);
    EXPECT_NEAR(axis.PeriodOfBin(bin), 8.0, 0.5);
    int bx = plot.L;
    while (bx < plot.R && view::PeriodBinUnderX(bx, plot, axis) != bin) ++bx;
    doubleClick(bx);
    ASSERT_EQ(Doc().m_nViewMode, 4);
    // The Integral graph's picture row at 8 s, where the ident stands sharp: a double click
    // there narrows the range around it and integrates again.
    ASSERT_LT(Doc().m_dPeriodMin, 8.0);
    ASSERT_GT(Doc().m_dPeriodMax, 8.0);
    int y = 0;
    while (y < view.height() && view::PeriodUnderY(y, view.height(), Doc()) < 8.0) ++y;
    QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(view.width() / 4, y));
    ASSERT_EQ(Doc().m_nViewMode, 4);
    EXPECT_LT(Doc().m_dPeriodMax - Doc().m_dPeriodMin, 0.5);
    Frame().Execute(cmd::kIdent);
    EXPECT_EQ(Doc().m_strIdent, "DGU");
    std::vector<std::string> entries;
    for (const auto& f : std::filesystem::directory_iterator(Doc().m_strLogDirectory)) {
        std::ifstream in(f.path());
        for (std::string l; std::getline(in, l);) entries.push_back(l);
    }
    ASSERT_EQ(entries.size(), 1u);
    // The sideband's radio frequency is the tone's, 402 + 1.02 kHz, within the line and a half
    // by which the designed labels stand beside the producer's lines.
    const size_t at = entries[0].find("sideband ");
    ASSERT_NE(at, std::string::npos) << entries[0];
    EXPECT_NEAR(std::stod(entries[0].substr(at + 9)), 403.02, 0.03) << entries[0];
}

TEST_F(SurveyWindow, AnIqRecordingWithoutCarriersSaysSo) {
    TempDir dir;
    const std::string wav = dir.file("quiet_400kHz.wav");
    IqScene scene;
    scene.seconds = 5.0;
    ASSERT_TRUE(WriteIqWav(wav, scene));
    QString message;
    std::unique_ptr<ModalAnswer> box;
    auto chosen = ModalAnswer::On<QFileDialog>([&](QFileDialog* d) {
        d->selectFile(QString::fromStdString(wav));
        static_cast<QDialog*>(d)->accept();
        box = AnswerMessageBox(message);
    });
    Frame().Execute(cmd::kAnalyseRecording);
    ASSERT_TRUE(box && box->Ran());
    EXPECT_EQ(message.toStdString(), "No carrier stands above the noise in " + wav + ".");
    EXPECT_EQ(Doc().m_bProcessing, 0);
}

}  // namespace
}  // namespace sorv::test
