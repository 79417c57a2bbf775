// File > "Analyse recording...": a recording chosen in the file dialog is fed through the
// engine while the window stays live, then the road is walked as after a capture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <fstream>

#include "app/command_ids.h"
#include "app/recording_analysis.h"
#include "audio/synth/receiver_audio.h"
#include "audio/synth/wav_file_writer.h"
#include "shell_fixture.h"

namespace sorv::test {
namespace {

using AnalyseRecording = ShellTest;

std::unique_ptr<ModalAnswer> ChooseFile(const std::string& path) {
    return ModalAnswer::On<QFileDialog>([path](QFileDialog* d) {
        d->selectFile(QString::fromStdString(path));
        static_cast<QDialog*>(d)->accept();
    });
}

void WriteIdentWav(const std::string& path, double seconds) {
    SynthSpec spec;
    SynthIdent id;
    id.toneHz = 1015;
    id.periodSeconds = 8;
    spec.idents.push_back(id);
    spec.withNoise = true;
    spec.snrDb = 10;
    spec.seconds = seconds;
    ReceiverAudio audio(spec);
    WavFileWriter w;
    std::string error;
    ASSERT_TRUE(w.Open(path, error)) << error;
    std::vector<uint8_t> block(48000);
    while (size_t n = audio.Fill(block.data(), block.size())) ASSERT_TRUE(w.Write(block.data(), n, error)) << error;
    ASSERT_TRUE(w.Close(error)) << error;
}

// Turns the event loop until the document stops processing, for at most a minute.
bool WaitUntilIdle(CSorvantelDoc& doc) {
    QElapsedTimer t;
    t.start();
    while (doc.m_bProcessing && t.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    return !doc.m_bProcessing;
}

TEST_F(AnalyseRecording, FeedsTheFileWithTheRowCountInTheTitleAndThenWalksTheRoad) {
    TempDir dir;
    const std::string wav = dir.file("night.wav");
    WriteIdentWav(wav, 240);
    ASSERT_TRUE(Enabled(cmd::kAnalyseRecording, true));
    auto chosen = ChooseFile(wav);
    Frame().Execute(cmd::kAnalyseRecording);
    ASSERT_TRUE(chosen->Ran());

    // Fed between events: the window is live and shows the engine as busy.
    EXPECT_EQ(Doc().m_bProcessing, 1);
    EXPECT_TRUE(Enabled(cmd::kStop, true));
    EXPECT_TRUE(Enabled(cmd::kAnalyseRecording, false));
    EXPECT_TRUE(Enabled(cmd::kRecord, false));
    EXPECT_TRUE(Enabled(cmd::kStart, false));
    QStringList titles;
    QObject::connect(&Frame(), &QWidget::windowTitleChanged, [&titles](const QString& t) { titles << t; });
    ASSERT_TRUE(WaitUntilIdle(Doc()));
    Frame().RefreshCommandStates();

    EXPECT_EQ(Doc().m_nRows, 240 * 48000 / 1536);
    EXPECT_TRUE(titles.filter("processing audio data (").size() > 0) << titles.join("\n").toStdString();
    EXPECT_EQ(Frame().windowTitle().toStdString().find("idle") != std::string::npos, true)
        << Frame().windowTitle().toStdString();
    EXPECT_TRUE(Enabled(cmd::kAnalyseRecording, true));
    EXPECT_TRUE(Enabled(cmd::kStop, false));
    // As after a Load, the road starts from the Spectrum.
    EXPECT_EQ(Doc().m_nViewMode, 1);

    // The road: the sensitive detector finds the ident's line and reads it (the designed
    // search would also log garbage from its neighbours at this strength).
    Frame().Execute(cmd::kSensitiveDetection);
    ASSERT_EQ(Doc().m_bSensitiveDetection, 1);
    Frame().Execute(cmd::kAutoSearch);
    EXPECT_EQ(Doc().m_nLine, 64);
    EXPECT_EQ(Doc().m_strIdent, "DGU");
}

TEST_F(AnalyseRecording, StopEndsTheFeedWithTheRowsSoFar) {
    TempDir dir;
    const std::string wav = dir.file("night.wav");
    WriteIdentWav(wav, 1200);
    auto chosen = ChooseFile(wav);
    Frame().Execute(cmd::kAnalyseRecording);
    ASSERT_EQ(Doc().m_bProcessing, 1);
    QApplication::processEvents();
    Frame().Execute(cmd::kStop);
    EXPECT_EQ(Doc().m_bProcessing, 0);
    const int rows = Doc().m_nRows;
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 1200 * 48000 / 1536);
    // The feed notices at its next turn and takes nothing more, without a message.
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(Doc().m_nRows, rows);
    Frame().RefreshCommandStates();
    EXPECT_TRUE(Enabled(cmd::kAnalyseRecording, true));
}

TEST_F(AnalyseRecording, LoranCModeIsRefusedWithAMessageBeforeAnyFileIsChosen) {
    Doc().m_bLoran = 1;
    Doc().m_nRows = 100;
    Doc().m_nViewMode = 2;
    auto dialog = ModalAnswer::On<QFileDialog>([](QFileDialog* d) { d->reject(); });
    QString message;
    auto box = AnswerMessageBox(message);
    Frame().Execute(cmd::kAnalyseRecording);
    ASSERT_TRUE(box->Ran());
    EXPECT_EQ(message, RecordingAnalysis::kLoranRefusal);
    dialog.reset();
    // Nothing was started or thrown away.
    EXPECT_EQ(Doc().m_nRows, 100);
    EXPECT_EQ(Doc().m_bProcessing, 0);
    EXPECT_EQ(Doc().m_nViewMode, 2);
    EXPECT_TRUE(Enabled(cmd::kAnalyseRecording, true));
}

TEST_F(AnalyseRecording, AFileThatCannotBeReadSaysWhyAndKeepsTheStore) {
    TempDir dir;
    const std::string notes = dir.file("notes.wav");
    std::ofstream(notes) << "these are my notes, not a recording\n";
    Doc().m_nRows = 100;
    QString message;
    // The message box opens inside the command, once the file dialog has closed.
    std::unique_ptr<ModalAnswer> box;
    auto shown = ModalAnswer::On<QFileDialog>([&](QFileDialog* d) {
        d->selectFile(QString::fromStdString(notes));
        static_cast<QDialog*>(d)->accept();
        box = AnswerMessageBox(message);
    });
    Frame().Execute(cmd::kAnalyseRecording);
    EXPECT_TRUE(shown->Ran());
    ASSERT_TRUE(box && box->Ran());
    EXPECT_TRUE(message.startsWith(QString::fromStdString("Cannot analyse " + notes + ": "))) << message.toStdString();
    EXPECT_EQ(Doc().m_nRows, 100);
    EXPECT_EQ(Doc().m_bProcessing, 0);
}

}  // namespace
}  // namespace sorv::test
