// The main window's size and place: the default size on a first start, kept in the settings
// file after the original values, and fitted to a screen that cannot hold it.
#include <gtest/gtest.h>

#include <QApplication>
#include <fstream>
#include <sstream>

#include "app/window_placement.h"
#include "display/graphs.h"
#include "display/sorvantel_view.h"
#include "gui/view_fixture.h"
#include "shell_fixture.h"

namespace sorv::test {
namespace {

using WindowPlacement = ShellTest;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(WindowPlacement, FirstStartShowsTheIntegralCaptionsWholeOverOnePixelRowPerTrial) {
    Frame().show();
    QApplication::processEvents();
    CSorvantelView& view = *Frame().View();
    EXPECT_EQ(view.size(), CSorvantelView::DefaultSize());
    ASSERT_EQ(view.height(), kTrials);

    // The widest picture there can be: every trial 512 rows long, its values a ramp.
    CSorvantelDoc& doc = Doc();
    doc.m_nViewMode = 4;
    doc.m_nLine = 64;
    doc.m_nPeriodBin = 5;
    for (int r = 0; r < kTrials; ++r) {
        doc.m_nTrialRows[r] = kPhaseBins;
        for (int j = 0; j < kPhaseBins; ++j) doc.m_integral[r][j] = (j + r) % kPhaseBins;
    }
    const QImage img = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(img.size(), view.size());
    const int x = view::IntegralTextColumn(kPhaseBins);
    const QString captions[] = {"Designated line 1000.0 Hz", "Designated period 9.50 secs",
                                view::IntegralCrossoverCaption(), "Right click to decode the ident"};
    for (int k = 0; k < 4; ++k) {
        EXPECT_LE(x + TextWidth(captions[k]), img.width()) << captions[k].toStdString();
        EXPECT_TRUE(TextAt(img, x, 1 + 16 * k, captions[k], view::kGreen));
    }
    // No empty stripes: every pixel row carries its own trial, which starts at grey r.
    for (int y = 0; y < kTrials; ++y) {
        const int first = (y * 255) / (kPhaseBins - 1);
        ASSERT_EQ(At(img, 0, y), view::Grey(first)) << y;
    }
}

TEST_F(WindowPlacement, PlaceAndSizeAreKeptInTheSettingsAfterTheOriginalValues) {
    Frame().show();
    Frame().resize(1200, 700);
    Frame().move(200, 150);
    QApplication::processEvents();
    Frame().close();
    ASSERT_FALSE(Frame().HasDocument());

    const std::string saved = ReadText(home_.path() + "/config/KELD/Sorvantel/settings.reg");
    size_t pos = saved.find("\"SensitiveDetection\"=");
    ASSERT_NE(pos, std::string::npos) << saved;
    for (const char* item : {"\"WindowLeft\"=dword:000000c8", "\"WindowTop\"=dword:00000096",
                             "\"WindowWidth\"=dword:000004b0", "\"WindowHeight\"=dword:000002bc",
                             "\"WindowMaximized\"=dword:00000000"}) {
        const size_t at = saved.find(item, pos);
        ASSERT_NE(at, std::string::npos) << item << "\n" << saved;
        pos = at;
    }

    CMainFrame next;
    next.show();
    QApplication::processEvents();
    EXPECT_EQ(next.size(), QSize(1200, 700));
    EXPECT_EQ(next.pos(), QPoint(200, 150));
}

TEST_F(WindowPlacement, AWindowThatWasNeverShownKeepsNoPlace) {
    frame_.reset();  // closed without ever being shown
    const std::string saved = ReadText(home_.path() + "/config/KELD/Sorvantel/settings.reg");
    EXPECT_NE(saved.find("\"SensitiveDetection\"="), std::string::npos);
    EXPECT_EQ(saved.find("\"Window"), std::string::npos) << saved;
}

TEST(FitInside, ShrinksOnlyWhatTheScreenCannotHoldAndKeepsItOnTheScreen) {
    const QRect laptop(0, 0, 1366, 720);
    // Fits: unchanged.
    EXPECT_EQ(FitInside(QRect(100, 50, 800, 590), laptop), QRect(100, 50, 800, 590));
    // Too wide: as wide as the screen, the height kept.
    EXPECT_EQ(FitInside(QRect(-160, 65, 1700, 590), laptop), QRect(0, 65, 1366, 590));
    // Left on a screen that is gone: brought back whole.
    EXPECT_EQ(FitInside(QRect(3000, 900, 800, 590), laptop), QRect(566, 130, 800, 590));
    // A second screen to the left, with negative coordinates.
    EXPECT_EQ(FitInside(QRect(-1500, 10, 800, 600), QRect(-1920, 0, 1920, 1080)), QRect(-1500, 10, 800, 600));
}

}  // namespace
}  // namespace sorv::test
