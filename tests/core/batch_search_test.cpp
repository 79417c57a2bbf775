#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "automation/spectrum_file.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

class BatchSearchTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};

    // A file of `rows` rows whose first value tells the files apart.
    std::string MakeFile(const std::string& name, int rows, double mark) {
        std::unique_ptr<double[][128]> p(new double[std::max(rows, 1)][128]());
        p[0][0] = mark;
        const std::string path = platform.dir.file(name);
        EXPECT_EQ(WriteSpectrumFile(path, p.get(), rows), SpectrumFileStatus::Ok);
        return path;
    }
    // How many automatic searches ran: each sweeps lines 58..70 and names 906.2 Hz first.
    int SearchesRun() const {
        return static_cast<int>(std::count(platform.titles.begin(), platform.titles.end(),
                                           "Sorvantel from KELD - analysing 906.2 Hz"));
    }
};

TEST_F(BatchSearchTest, TwoHundredFilesAreAllSearchedWithoutAMessage) {
    const std::string path = MakeFile("a.svl", 1, 1.0);
    platform.multiOpenAnswers.push_back(std::vector<std::string>(200, path));
    doc.OnBatchAutoSearch();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(SearchesRun(), 200);
    ASSERT_EQ(platform.fileDialogs.size(), 1u);
    EXPECT_EQ(platform.fileDialogs[0].title, "Select files to analyse");
    EXPECT_EQ(platform.fileDialogs[0].defaultSuffix, "svl");
}

TEST_F(BatchSearchTest, TwoHundredAndOneFilesWarnOnceFirstAndSearchTwoHundred) {
    const std::string path = MakeFile("a.svl", 1, 1.0);
    int searchesBeforeMessage = -1;
    platform.onMessage = [&](const std::string&) { searchesBeforeMessage = SearchesRun(); };
    platform.multiOpenAnswers.push_back(std::vector<std::string>(201, path));
    doc.OnBatchAutoSearch();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "Only 200 files can be handled.  The remainer are ignored");
    EXPECT_EQ(searchesBeforeMessage, 0);
    EXPECT_EQ(SearchesRun(), 200);
}

TEST_F(BatchSearchTest, CarrierAndStampCarryOverAndUnopenableFilesAreSkipped) {
    const std::string recognised = MakeFile("sorvantel_20090315142530_404_0.svl", 2, 1.0);
    const std::string plain = MakeFile("night-3.svl", 3, 3.0);
    doc.m_dCarrierKHz = 77.0;
    platform.multiOpenAnswers.push_back(std::vector<std::string>{
        recognised, platform.dir.file("sorvantel_20090316010203_999_0.svl"), plain});
    doc.OnBatchAutoSearch();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(SearchesRun(), 2);
    // The missing file's name was read before it failed to open; the plain name keeps it.
    EXPECT_EQ(doc.m_dCarrierKHz, 999.0);
    EXPECT_EQ(doc.m_strTimeStamp, "20090316 0102 ");
    EXPECT_EQ(doc.m_nRows, 3);
    EXPECT_EQ(doc.m_power[0][0], 3.0);
    // No title or view change of its own; no timers.
    EXPECT_EQ(doc.m_nViewMode, 3);  // the searches' periodicity graph
    EXPECT_TRUE(platform.timersCreated.empty());
}

TEST_F(BatchSearchTest, HostileFileIsReportedAndTheBatchGoesOn) {
    const std::string bad = platform.dir.file("bad.svl");
    std::ofstream(bad, std::ios::binary) << std::string("\xff\xff\xff\x7f", 4);
    const std::string good = MakeFile("good.svl", 2, 5.0);
    platform.multiOpenAnswers.push_back(std::vector<std::string>{bad, good});
    doc.OnBatchAutoSearch();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find(bad), std::string::npos);
    EXPECT_EQ(SearchesRun(), 1);
    EXPECT_EQ(doc.m_power[0][0], 5.0);
}

TEST_F(BatchSearchTest, NothingHappensWhileProcessingOrOnCancel) {
    platform.multiOpenAnswers.push_back(std::nullopt);
    doc.OnBatchAutoSearch();
    EXPECT_EQ(SearchesRun(), 0);
    doc.m_bProcessing = 1;
    doc.OnBatchAutoSearch();
    EXPECT_EQ(platform.fileDialogs.size(), 1u);
    doc.m_bProcessing = 0;
}

}  // namespace
}  // namespace sorv::test
