#include "settings/IniDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace keyfall {
namespace {

std::string ValueOf(std::string_view text, std::string_view group, std::string_view name)
{
    return IniDocument::Parse(text).Value(group, name).value_or("(absent)");
}

TEST(IniDocument, ReadsTheLayoutQSettingsWrote)
{
    const std::string text = "\xEF\xBB\xBF[FallRates]\r\nEasyLow=7\r\n  EasyHigh  =  11  \r\n\r\n"
                             "; a comment\n[Rounds]\nMax=12 ; after the value\n[Selezione]\nMaiu=True";
    EXPECT_EQ(ValueOf(text, "FallRates", "EasyLow"), "7");
    EXPECT_EQ(ValueOf(text, "FallRates", "EasyHigh"), "11");
    EXPECT_EQ(ValueOf(text, "Rounds", "Max"), "12");
    EXPECT_EQ(ValueOf(text, "Selezione", "Maiu"), "True");
    EXPECT_EQ(ValueOf(text, "Selezione", "Minu"), "(absent)");
    EXPECT_EQ(ValueOf(text, "Nowhere", "Maiu"), "(absent)");
    // Names are exact, as they always were on Linux.
    EXPECT_EQ(ValueOf(text, "rounds", "Max"), "(absent)");
    EXPECT_EQ(ValueOf(text, "Rounds", "max"), "(absent)");
}

TEST(IniDocument, QuotesEscapesAndContinuedLines)
{
    const std::string text = "[G]\n"
                             "quoted=\" 11 \"\n"
                             "inner=\"1\\\"6\"\n"
                             "hex=\"\\x38\"\n"
                             "octal=\\101\n"
                             "semicolon=\"a;b\"\n"
                             "continued=\\\n20\n"
                             "spanning=\"two\nlines\"\n"
                             "after=1\n";
    EXPECT_EQ(ValueOf(text, "G", "quoted"), " 11 ");
    EXPECT_EQ(ValueOf(text, "G", "inner"), "1\"6");
    EXPECT_EQ(ValueOf(text, "G", "hex"), "8");
    EXPECT_EQ(ValueOf(text, "G", "octal"), "A");
    EXPECT_EQ(ValueOf(text, "G", "semicolon"), "a;b");
    EXPECT_EQ(ValueOf(text, "G", "continued"), "20");
    EXPECT_EQ(ValueOf(text, "G", "spanning"), "two\nlines");
    EXPECT_EQ(ValueOf(text, "G", "after"), "1");
}

TEST(IniDocument, ListsAndTypedValuesReadAsNoText)
{
    const std::string text = "[G]\nlist=1, 2\ntrailing=3,\nquotedComma=\"1, 2\"\n"
                             "variant=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\fQStringList\\xff\\xff\\xff\\xf0)\n"
                             "bytes=@ByteArray(7)\nspaced=  @Invalid()\n";
    EXPECT_EQ(ValueOf(text, "G", "list"), "");
    EXPECT_EQ(ValueOf(text, "G", "trailing"), "");
    EXPECT_EQ(ValueOf(text, "G", "quotedComma"), "1, 2");
    EXPECT_EQ(ValueOf(text, "G", "variant"), "");
    EXPECT_EQ(ValueOf(text, "G", "bytes"), "");
    EXPECT_EQ(ValueOf(text, "G", "spaced"), "");
}

TEST(IniDocument, RepeatedGroupsMergeAndTheLastValueCounts)
{
    const std::string text = "[Rounds]\nMax=3\n[FallRates]\nEasyLow=8\n[Rounds]\nMax=4\n[General]\nfree=1\n"
                             "[]\nalso=2\n";
    const IniDocument document = IniDocument::Parse("top=0\n" + text);
    EXPECT_EQ(document.Value("Rounds", "Max"), "4");
    EXPECT_EQ(document.Value("FallRates", "EasyLow"), "8");
    EXPECT_EQ(document.Value("", "top"), "0");
    EXPECT_EQ(document.Value("", "free"), "1");
    EXPECT_EQ(document.Value("General", "also"), "2");
    EXPECT_EQ(document.Text(), "also=2\nfree=1\ntop=0\n\n[FallRates]\nEasyLow=8\n\n[Rounds]\nMax=4\n");
}

TEST(IniDocument, WritesOurValuesBareAndInQSettingsOrder)
{
    IniDocument document;
    document.SetValue("Selezione", "Nume", "True");
    document.SetValue("Rounds", "Max", "12");
    document.SetValue("FallRates", "EasyLow", "-5");
    document.SetValue("FallRates", "EasyHigh", "10");
    document.SetValue("Selezione", "Maiu", "False");
    EXPECT_EQ(document.Text(), "[FallRates]\nEasyHigh=10\nEasyLow=-5\n\n[Rounds]\nMax=12\n\n"
                               "[Selezione]\nMaiu=False\nNume=True\n");
}

TEST(IniDocument, AnyTextSetReadsBackUnchanged)
{
    for (const std::string& text :
         {std::string(""), std::string(" padded "), std::string("a, b"), std::string("@Variant(x)"),
          std::string("quote \" and \\ backslash"), std::string("line\nbreaks\r"), std::string("semi;colon = sign"),
          std::string("nul \0 byte", 10), std::string("caf\xC3\xA9")}) {
        IniDocument document;
        document.SetValue("G", "name", text);
        EXPECT_EQ(IniDocument::Parse(document.Text()).Value("G", "name"), text) << document.Text();
    }
}

TEST(IniDocument, SavingKeepsOtherEntriesAsTheyWereWithoutGrowing)
{
    // Damage as a disk or an editor leaves it: control bytes, a line that is no entry, a
    // value Qt would have re-escaped.
    const std::string damaged = "[FallRates]\nEasyLow=9\n\x01\x02 no entry\nNotes=caf\xC3\xA9 \\\"\x7f\\x41\n";
    IniDocument document = IniDocument::Parse(damaged);
    document.SetValue("FallRates", "EasyLow", "7");
    const std::string once = document.Text();
    EXPECT_EQ(once, "[FallRates]\nEasyLow=7\nNotes=caf\xC3\xA9 \\\"\x7f\\x41\n");
    IniDocument again = IniDocument::Parse(once);
    again.SetValue("FallRates", "EasyLow", "7");
    EXPECT_EQ(again.Text(), once);
}

TEST(IniDocument, AValueCutOffByTheEndOfTheFileDoesNotSwallowWhatIsWrittenAfterIt)
{
    // The last line of a file may end inside quotes or after a backslash; written before
    // other entries, it must still end where it did.
    for (const std::string& tail : {std::string("\"open quote"), std::string("trailing\\"), std::string("\"both\\"),
                                    std::string("escaped break\\\r"), std::string("escaped break\\\n")}) {
        const IniDocument read = IniDocument::Parse("[A]\ncut=" + tail);
        const auto before = read.Value("A", "cut");
        IniDocument document = read;
        document.SetValue("B", "after", "1");
        document.SetValue("A", "zz", "2");
        const IniDocument reread = IniDocument::Parse(document.Text());
        EXPECT_EQ(reread.Value("A", "cut"), before) << document.Text();
        EXPECT_EQ(reread.Value("A", "zz"), "2") << document.Text();
        EXPECT_EQ(reread.Value("B", "after"), "1") << document.Text();
    }
}

TEST(IniDocument, OddGroupHeadersReadBackAsTheSameGroup)
{
    for (const std::string& header : {std::string("[no closing bracket"), std::string("[\"open]\""),
                                      std::string("[back\\]"), std::string("[  spaced  ]")}) {
        IniDocument document = IniDocument::Parse(header + "\nkey=1\n");
        ASSERT_EQ(document.Groups().size(), 2U) << header;
        const std::string name = document.Groups().back().name;
        document.SetValue("Z", "next", "2");
        const IniDocument reread = IniDocument::Parse(document.Text());
        EXPECT_EQ(reread.Value(name, "key"), "1") << document.Text();
        EXPECT_EQ(reread.Value("Z", "next"), "2") << document.Text();
    }
}

} // namespace
} // namespace keyfall
