// The teachers' CSVs, of games and of keys: their columns as teachers' tools expect them, every
// text quoted, nothing a spreadsheet would run as a formula, and no CSV at all when the records
// cannot be read.

#include "records/CsvExport.h"
#include "records/RecordStore.h"
#include "records/SampleGames.h"
#include "records/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace keyfall::records {
namespace {

using test::GameOf;
using test::SampleGame;
using test::TempFolder;

std::vector<std::string> Lines(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(CsvExport, OneLinePerGameWithEveryTextQuoted)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), {});
    const std::string player = "bruno, \"il grande\"";
    ASSERT_TRUE(store.Save(SampleGame(player, 1234, 25, 4, true, "2026-12-01T10:00:00Z")));
    ASSERT_TRUE(store.Save(SampleGame(player, -60, 100, 1, false, "2026-12-02T10:00:00Z")));
    std::ostringstream out;
    std::string problem;
    ASSERT_TRUE(WriteCsv(store, player, out, problem)) << problem;
    const auto rows = Lines(out.str());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "giocatore,inizio,livello,giri,giri_giocati,tasti,punti,colpiti,errori,caduti,durata_s,"
                       "caratteri_al_minuto,precisione_percento,finita\r");
    // 40 hits in 60 s of falling: 40 a minute; 40 of 43 events: 93.0 %.
    EXPECT_EQ(rows[1], "\"bruno, \"\"il grande\"\"\",\"2026-12-01T10:00:00Z\",\"Difficile\",8,8,"
                       "\"maiuscole, minuscole e numeri\",1234,40,1,2,95.0,40.0,93.0,\"si\"\r");
    EXPECT_EQ(rows[2].substr(rows[2].size() - 6), ",\"no\"\r");
}

TEST(CsvExport, TextsThatASpreadsheetWouldRunAreNeutralised)
{
    for (const std::string formula : {"=1+1", "+1", "-2+3", "@SUM(A1)", "\tx", "\rx", "=HYPERLINK(\"http://x\")"}) {
        const std::string field = CsvText(formula);
        ASSERT_GE(field.size(), 3u);
        EXPECT_EQ(field.substr(0, 2), "\"'") << formula;
        EXPECT_EQ(field.back(), '"') << formula;
    }
    EXPECT_EQ(CsvText("anna"), "\"anna\"");
    EXPECT_EQ(CsvText("a=b"), "\"a=b\"") << "only a leading sign makes a formula";
    EXPECT_EQ(CsvText("2026,12\r\n13"), "\"2026,12\r\n13\"");
    EXPECT_EQ(CsvText(""), "\"\"");

    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), {});
    ASSERT_TRUE(store.Save(SampleGame("=cmd|' /C calc'!A0", 10)));
    std::ostringstream out;
    std::string problem;
    ASSERT_TRUE(WriteCsv(store, "=cmd|' /C calc'!A0", out, problem));
    EXPECT_EQ(Lines(out.str()).at(1).rfind("\"'=cmd|' /C calc'!A0\",", 0), 0u) << out.str();
}

TEST(CsvExport, AGameInWhichNothingFellHasEmptySpeedAndAccuracy)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), {});
    GameRecord stopped = SampleGame("anna", -20, 50, 0, false, "2026-12-01T10:00:00Z", 0);
    stopped.landed = 0;
    stopped.keys.clear();
    stopped.keys["#"].wrong = 1;
    ASSERT_TRUE(store.Save(stopped));
    std::ostringstream out;
    std::string problem;
    ASSERT_TRUE(WriteCsv(store, "anna", out, problem));
    const std::string row = Lines(out.str()).at(1);
    EXPECT_NE(row.find(",95.0,,,\"no\""), std::string::npos) << row;
}

TEST(CsvExport, RecordsThatCannotBeReadGiveNoCsvAndAReason)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        std::ofstream(path) << std::string(4096, 'x');
    }
    RecordStore::Options options;
    options.readOnly = true;
    RecordStore store(path, options);
    std::ostringstream out;
    std::string problem;
    EXPECT_FALSE(WriteCsv(store, "anna", out, problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_TRUE(out.str().empty()) << "not even a header";
    // The teacher's per-key export alike.
    problem.clear();
    EXPECT_FALSE(WriteKeysCsv(store, out, problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_TRUE(out.str().empty());
}

KeyCounts Counts(int launched, int hits, int landed, int wrong, std::int64_t ticks)
{
    KeyCounts counts;
    counts.launched = launched;
    counts.hits = hits;
    counts.landed = landed;
    counts.wrong = wrong;
    counts.reactionTicks = ticks;
    return counts;
}

TEST(KeysCsv, OneLinePerPlayerAndKeyWithEveryFigure)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), {});
    // anna: "a" hit twice in 500 ms each at the medium level; "b" landed once.
    ASSERT_TRUE(store.Save(GameOf("anna", 50, {{"a", Counts(2, 2, 0, 0, 20)}, {"b", Counts(1, 0, 1, 0, 0)}})));
    // bruno: "x" hit 12 times in 1000 ms: mastered at the first target (3000 ms); "y" hit three
    // times of four in 250 ms, then once in 1000 ms: smoothed to 325 ms, best 250 ms, its
    // weighted accuracy 3.7 / 4.6.
    ASSERT_TRUE(store.Save(GameOf("bruno", 50, {{"x", Counts(12, 12, 0, 0, 240)}}, "2026-12-02T10:00:00Z")));
    ASSERT_TRUE(store.Save(GameOf("bruno", 25, {{"y", Counts(4, 3, 1, 0, 30)}}, "2026-12-03T10:00:00Z")));
    ASSERT_TRUE(store.Save(GameOf("bruno", 25, {{"y", Counts(1, 1, 0, 0, 40)}}, "2026-12-04T10:00:00Z")));
    std::ostringstream out;
    std::string problem;
    ASSERT_TRUE(WriteKeysCsv(store, out, problem)) << problem;
    EXPECT_EQ(out.str(),
              "player,character,games,launched,hits,errors,accuracy,smoothed_ms,best_ms,confidence,mastered\r\n"
              "\"anna\",\"a\",1,2,2,0,1.000,500,500,1.000,0\r\n"
              "\"anna\",\"b\",1,1,0,1,0.000,,,0.000,0\r\n"
              "\"bruno\",\"x\",1,12,12,0,1.000,1000,1000,1.000,1\r\n"
              "\"bruno\",\"y\",2,5,4,1,0.804,325,250,0.676,0\r\n");
}

TEST(KeysCsv, HostileCharactersAndNamesAreWrittenSafely)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), {});
    ASSERT_TRUE(store.Save(
        GameOf("@carla, \"la\"", 25,
               {{"\"", Counts(0, 0, 0, 1, 0)}, {",", Counts(1, 1, 0, 0, 4)}, {"=1+1", Counts(1, 0, 1, 0, 0)}})));
    std::ostringstream out;
    std::string problem;
    ASSERT_TRUE(WriteKeysCsv(store, out, problem)) << problem;
    const auto rows = Lines(out.str());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1], "\"'@carla, \"\"la\"\"\",\"\"\"\",1,0,0,1,0.000,,,0.000,0\r");
    EXPECT_EQ(rows[2], "\"'@carla, \"\"la\"\"\",\",\",1,1,1,0,1.000,100,100,1.000,0\r");
    EXPECT_EQ(rows[3], "\"'@carla, \"\"la\"\"\",\"'=1+1\",1,1,0,1,0.000,,,0.000,0\r");
}

} // namespace
} // namespace keyfall::records
