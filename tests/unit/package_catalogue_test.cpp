// The firmware image test and the catalogue lookup, on real files in a
// temporary program folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/utf8_text.h"
#include "package/catalogue.h"
#include "package/srecord_check.h"
#include "package/version_text.h"

namespace {

const std::string kKey = "Bin\\App_K40.SBIN";

// A program folder under /tmp with its Bin folder; removed afterwards.
class ProgramFolder {
public:
    ProgramFolder() {
        char pattern[] = "/tmp/pkg_catalogue_XXXXXX";
        root_ = mkdtemp(pattern);
        folder_ = root_ + "/";
    }
    ~ProgramFolder() { std::system(("rm -rf '" + root_ + "'").c_str()); }

    // Makes a nested folder under the root and uses it as the program folder.
    void descend(const std::string& name) {
        folder_ += name + "/";
        mkdir(folder_.c_str(), 0700);
    }
    void write(const std::string& name, const std::string& bytes) const {
        mkdir((folder_ + "Bin").c_str(), 0700);
        std::FILE* f = std::fopen((folder_ + "Bin/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    void writeCatalogue(const std::string& bytes) const { write("Firmware.csv", bytes); }
    const std::string& path() const { return folder_; }

private:
    std::string root_;
    std::string folder_;
};

struct CatalogueCase {
    const char* name;
    std::string text;
    bool found;
    std::string version;
};

void PrintTo(const CatalogueCase& c, std::ostream* os) { *os << c.name; }

class CatalogueLookup : public testing::TestWithParam<CatalogueCase> {};

TEST_P(CatalogueLookup, GivesTheVersionOfTheFirstRecord) {
    const CatalogueCase& c = GetParam();
    ProgramFolder folder;
    folder.writeCatalogue(c.text);
    char destination[80];
    std::memset(destination, 'z', sizeof destination);
    EXPECT_EQ(package::ReadCatalogueVersion(folder.path(), destination, package::kImageName), c.found);
    ASSERT_NE(std::memchr(destination, '\0', sizeof destination), nullptr);
    EXPECT_EQ(std::string(destination), c.version);
}

const std::string k99(99, 'x');

INSTANTIATE_TEST_SUITE_P(
    Rules, CatalogueLookup,
    testing::Values(
        CatalogueCase{"HeaderThenRecord", "Image,Version\n" + kKey + ",2.05\n", true, "2.05"},
        CatalogueCase{"LaterFieldsIgnored", kKey + ",2.05,beta\n", true, "2.05"},
        CatalogueCase{"EmptyFieldsAfterFirstCommaSkipped", kKey + ",,2.05\n", true, "2.05"},
        CatalogueCase{"LeadingSpaceKept", kKey + ", 2.05\n", true, " 2.05"},
        CatalogueCase{"CarriageReturnsDropped", "Image,Version\r\n" + kKey + ",2.\r05\r\n", true, "2.05"},
        CatalogueCase{"LastLineWithoutLineFeed", "Image,Version\n" + kKey + ",2.05", true, "2.05"},
        CatalogueCase{"KeyAfterFirstCommaGivesTheKey", "Model," + kKey + ",2.05\n", true, kKey},
        CatalogueCase{"OtherCaseIsNoRecord", "bin\\app_k40.sbin,2.05\n", false, "Unknown"},
        CatalogueCase{"ForwardSlashIsNoRecord", "Bin/App_K40.SBIN,2.05\n", false, "Unknown"},
        CatalogueCase{"UpperRecordWins", kKey + ",1.00\n" + kKey + ",2.00\n", true, "1.00"},
        CatalogueCase{"EmptyField", kKey + ",\nnext,line\n", true, ""},
        CatalogueCase{"EmptyFieldAtEndOfText", kKey + ",", true, ""},
        CatalogueCase{"OnlyCommas", kKey + ",,,\n", true, ""},
        CatalogueCase{"QuotesAreOrdinary", kKey + ",\"2.05\"\n", true, "\"2.05\""},
        CatalogueCase{"EmptyFile", "", false, "Unknown"},
        CatalogueCase{"NoRecord", "Image,Version\nOther.bin,1.0\n", false, "Unknown"},
        // Ctrl-Z ends the text wherever it stands.
        CatalogueCase{"CtrlZBeforeRecord", "Image,Version\n\x1a" + kKey + ",2.05\n", false, "Unknown"},
        CatalogueCase{"CtrlZEndsField", kKey + ",2.05\x1a" "9,beta\n", true, "2.05"},
        CatalogueCase{"CtrlZInsideKey", "Bin\\App_K40\x1a.SBIN,2.05\n", false, "Unknown"},
        // A line holding the key but no comma has no version field: it is
        // passed over, and a later record still counts.
        CatalogueCase{"KeyWithoutCommaAlone", kKey + " 2.05\n", false, "Unknown"},
        CatalogueCase{"KeyWithoutCommaThenRecord", kKey + " 2.05\n" + kKey + ",3.00\n", true, "3.00"},
        // Lines are taken 99 characters at a time.
        CatalogueCase{"RestOfLongLineIsALine", k99 + kKey + ",3.1\n", true, "3.1"},
        CatalogueCase{"KeySplitByChunkIsNoRecord", std::string(90, 'x') + kKey + ",3.1\n", false, "Unknown"},
        CatalogueCase{"FieldEndsWithChunk", std::string(72, 'p') + kKey + "," + std::string(10, 'v') + "wwwww\n",
                      true, std::string(10, 'v')},
        CatalogueCase{"LineFeedCountsInChunk", std::string(82, 'p') + kKey + "\n,7\n", false, "Unknown"},
        CatalogueCase{"CarriageReturnsNotCounted",
                      std::string(82, 'p') + std::string(10, '\r') + kKey + ",7\n", true, ""},
        CatalogueCase{"LongFieldCutTo79", kKey + "," + std::string(82, 'v') + "\n", true, std::string(79, 'v')},
        CatalogueCase{"FieldOf79Kept", kKey + "," + std::string(79, 'v') + "\n", true, std::string(79, 'v')},
        // The cut drops a UTF-8 character it would split; Latin-1 bytes are characters of their own.
        CatalogueCase{"Utf8CutBeforeTheSplitCharacter", kKey + "," + std::string(78, 'v') + "\xC3\xA9\n", true,
                      std::string(78, 'v')},
        CatalogueCase{"Latin1CutAt79", kKey + "," + std::string(78, 'v') + "\xB0\xB0\n", true,
                      std::string(78, 'v') + "\xB0"}),
    [](const testing::TestParamInfo<CatalogueCase>& info) { return std::string(info.param.name); });

TEST(CatalogueFile, MissingCatalogueLeavesTheDestination) {
    ProgramFolder folder;
    folder.write("App_K40.SBIN", "S0");
    char destination[80] = "keep";
    EXPECT_FALSE(package::ReadCatalogueVersion(folder.path(), destination, package::kImageName));
    EXPECT_STREQ(destination, "keep");
}

TEST(CatalogueFile, FoundOnlyInTheProgramFolder) {
    ProgramFolder folder;
    folder.writeCatalogue(kKey + ",2.05\n");
    char destination[80] = "keep";
    // Another folder, e.g. the working directory, is not looked at.
    EXPECT_FALSE(package::ReadCatalogueVersion(folder.path() + "Other/", destination, package::kImageName));
    EXPECT_STREQ(destination, "keep");
}

TEST(FirmwareImage, ZeroLengthImageOpensAndGivesItsPath) {
    ProgramFolder folder;
    folder.write("App_K40.SBIN", "");
    char path[256] = "";
    ASSERT_TRUE(package::OpenFirmwareImage(package::StandardImageFiles(), folder.path(), path).opened());
    EXPECT_EQ(std::string(path), folder.path() + "Bin/App_K40.SBIN");
}

TEST(FirmwareImage, MissingImageLeavesThePath) {
    ProgramFolder folder;
    folder.writeCatalogue(kKey + ",2.05\n");
    char path[256] = "untouched";
    EXPECT_FALSE(package::OpenFirmwareImage(package::StandardImageFiles(), folder.path(), path).opened());
    EXPECT_STREQ(path, "untouched");
}

// The image path fills the 256-byte buffer at 255 characters; one more
// counts as an image that cannot be opened, even though the file is there.
// The limit counts bytes: a folder named in Cyrillic (two bytes a letter in
// UTF-8) reaches it with fewer letters.
TEST(FirmwareImage, PathLengthLimit) {
    for (const std::size_t length : {std::size_t{255}, std::size_t{256}}) {
      for (const bool cyrillic : {false, true}) {
        ProgramFolder folder;
        const std::size_t fixed = folder.path().size() + std::strlen("/Bin/App_K40.SBIN");
        std::string name;
        while (cyrillic && name.size() + 2 <= length - fixed) name += "\xD0\x96";  // Ж
        name.resize(length - fixed, 'd');
        folder.descend(name);
        folder.write("App_K40.SBIN", "S0");
        ASSERT_EQ(folder.path().size() + kKey.size(), length);
        char path[256] = "untouched";
        const bool fits = length <= 255;
        EXPECT_EQ(package::OpenFirmwareImage(package::StandardImageFiles(), folder.path(), path).opened(), fits)
            << length << (cyrillic ? " cyrillic" : "");
        EXPECT_EQ(std::strlen(path), fits ? length : std::strlen("untouched"));
      }
    }
}

// A version text is shown as it was written: in UTF-8, or in a Western
// single-byte code page (a catalogue saved as Latin-1), never as marks.
TEST(CatalogueVersionText, ShownAsWrittenInUtf8OrLatin1) {
    const struct {
        const char* name;
        std::string bytes;
        std::u16string shown;
    } rows[] = {
        {"plain", "2.05", u"2.05"},
        {"utf-8 e acute", "2.05-\xC3\xA9", u"2.05-\u00E9"},
        {"latin-1 e acute", "2.05-\xE9", u"2.05-\u00E9"},
        {"cyrillic", "\xD0\x92\xD0\xB5\xD1\x80 2", u"\u0412\u0435\u0440 2"},
        {"chinese", "\xE7\x89\x88 3", u"\u7248 3"},
        {"beyond the basic plane", "\xF0\x9F\x9A\xA2", u"\U0001F6A2"},
        {"windows-1252 euro", "\x80 9", u"\u20AC 9"},
        {"overlong form", "\xC0\x80", u"\u00C0\u20AC"},
        {"encoded surrogate", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC"},
        {"cut sequence", "1.\xE5\x8D", u"1.\u00E5\u008D"},
        {"stray continuation", "\xA9 1", u"\u00A9 1"},
    };
    for (const auto& row : rows) EXPECT_EQ(base::DisplayText(row.bytes), row.shown) << row.name;
}

// What the transponder reports after its restart against the catalogue.
TEST(CatalogueVersionText, ComparedAsAPersonReadsIt) {
    const struct {
        const char* device;
        const char* catalogue;
        bool same;
    } rows[] = {
        {"2.05.118", "2.05.118", true},   {"2.5.118", "2.05.118", true},   {" 2.05.118 ", "2.05.118", true},
        {"V2.05", "v2.5", true},          {"2.00", "2.0", true},           {"2.0.1", "2.05.118", false},
        {"2.5", "2.5.0", false},          {"2-5", "2.5", false},           {"2.05.118", "2.05.119", false},
        {"20.5", "2.05", false},          {"", "", false},                 {"  ", "2.05", false},
        {"2.05.118x", "2.05.118", false}, {"1.0.7 beta", "1.0.7 BETA", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(package::SameVersion(row.device, row.catalogue), row.same) << row.device << " / " << row.catalogue;
}

// One S-record of `type` holding `hex` (address, data), with its byte count
// and checksum.
std::string Record(char type, const std::string& hex) {
    unsigned sum = static_cast<unsigned>(hex.size() / 2 + 1);
    for (std::size_t i = 0; i < hex.size(); i += 2) sum += std::stoul(hex.substr(i, 2), nullptr, 16);
    char text[600];
    std::snprintf(text, sizeof text, "S%c%02X%s%02X", type, static_cast<unsigned>(hex.size() / 2 + 1), hex.c_str(),
                  ~sum & 0xFF);
    return text;
}

// Lines 1-5: header, two data records, the count record, the termination record.
const std::string kLines[] = {Record('0', "0000484452"), Record('1', "00000102030405"), Record('1', "00050607"),
                              Record('5', "0002"), Record('9', "0000")};
std::string Joined(const std::string& end, int upTo = 5) {
    std::string text;
    for (int i = 0; i < upTo; ++i) text += kLines[i] + end;
    return text;
}
const std::string kGood = Joined("\n");

// Each text is fed whole and byte by byte; line 0: it passes.
TEST(SRecordCheck, FindsTheFirstLineThatFails) {
    std::string lower = kGood, wrongSum = kGood, wrongCount = kGood;
    for (char& c : lower) c = c == 'S' ? c : static_cast<char>(std::tolower(c));
    wrongSum[kGood.find('\n', kLines[0].size() + 1) - 1] ^= 1;  // the checksum of line 2
    wrongCount[kLines[0].size() + 4] = '9';
    const struct {
        const char* name;
        std::string text;
        bool checked;
        std::size_t line;
        std::string reason;
    } rows[] = {
        {"good image", kGood, true, 0, ""},
        {"CRLF line ends", Joined("\r\n"), true, 0, ""},
        {"CR line ends, no line end at the end", Joined("\r").substr(0, Joined("\r").size() - 1), true, 0, ""},
        {"lower-case hex", lower, true, 0, ""},
        {"blanks at line ends and after the end", Joined(" \t\n") + " \n\r\n", true, 0, ""},
        {"a trailing end-of-file byte", kGood + "\x1a", true, 0, ""},
        {"24-bit records and count", kLines[0] + "\n" + Record('2', "00000011") + "\n" + Record('3', "0000000022") +
             "\n" + Record('6', "000002") + "\n" + Record('8', "000000") + "\n", true, 0, ""},
        {"a binary image", std::string("\x7f" "ELF\x01S0\0\n", 10), false, 0, ""},
        {"a binary image that begins with S", std::string("SZ\0\x01\n", 5), false, 0, ""},
        {"one checksum wrong", wrongSum, true, 2, "the checksum is E9, its bytes give E8"},
        {"a byte count wrong", wrongCount, true, 2, "its byte count says 9 bytes, 8 follow"},
        {"cut mid-line", kGood.substr(0, kGood.find(kLines[2]) + 5), true, 3,
         "the file ends in the middle of a record: it was cut short"},
        {"cut before the termination record", Joined("\n", 4), true, 5,
         "the file ends before its last record: it was cut short"},
        {"a data record after it", kGood + kLines[2] + "\n", true, 6, "more follows the termination record of line 5"},
        {"a count that is not the data records'", Joined("\n", 3) + Record('5', "0003") + "\n" + kLines[4], true, 4,
         "the count record gives 3 data records, 2 come before it"},
        {"an end-of-file byte before the end", kGood + "\x1a\n", true, 6,
         "an end-of-file byte (1A) stands before the end of the file"},
        {"S4", kLines[0] + "\nS4030000FC\n", true, 2, "S4 is no record type"},
        {"a digit dropped", kLines[0] + "\n" + std::string(kLines[1]).erase(6, 1) + "\n", true, 2,
         "an odd number of hex digits"},
        {"a termination record with data", Joined("\n", 4) + Record('9', "000000"), true, 5,
         "an S9 record holds only its address, but its byte count says 4 bytes"},
        {"a letter that is no hex digit", kLines[0] + "\nS1G3\n", true, 2, "'G' is no hex digit"},
        {"an empty line between records", kLines[0] + "\n\n" + kLines[4], true, 2,
         "an empty line where a record belongs"},
        {"an S5 record with data", Joined("\n", 3) + Record('5', "000200") + "\n" + kLines[4], true, 4,
         "an S5 record holds only its address, but its byte count says 4 bytes"},
        {"a data record shorter than its address", kLines[0] + "\n" + Record('1', "00") + "\n", true, 2,
         "too short for an S1 record"},
        {"a wrong S6 count", Joined("\n", 3) + Record('6', "000003") + "\n" + kLines[4], true, 4,
         "the count record gives 3 data records, 2 come before it"},
        {"an S3 image ended by S7", kLines[0] + "\n" + Record('3', "0000000011") + "\n" + Record('7', "00000000"), true,
         0, ""},
    };
    for (const auto& row : rows) {
        for (const std::size_t piece : {row.text.size(), std::size_t{1}}) {
            SCOPED_TRACE(std::string(row.name) + (piece == 1 ? ", byte by byte" : ""));
            package::SRecordCheck check;
            for (std::size_t i = 0; i < row.text.size() && check.feed(std::string_view(row.text).substr(i, piece));)
                i += piece;
            const auto fault = check.finish();
            EXPECT_EQ(check.checked(), row.checked);
            EXPECT_EQ(fault ? fault->line : 0u, row.line);
            EXPECT_EQ(fault ? fault->reason : "", row.reason);
        }
    }
}

TEST(SampleFiles, ShippedCatalogueNamesTheShippedImage) {
    // This file lies in tests/unit of the source tree.
    std::string resources = __FILE__;
    resources = resources.substr(0, resources.rfind("tests/unit/")) + "resources/";
    char path[256] = "";
    ASSERT_TRUE(package::OpenFirmwareImage(package::StandardImageFiles(), resources, path).opened());
    char version[80] = "";
    EXPECT_TRUE(package::ReadCatalogueVersion(resources, version, package::kImageName));
    EXPECT_STRNE(version, "");
    const auto verdict = package::CheckImage(package::StandardImageFiles(), path);
    EXPECT_TRUE(verdict.checked && !verdict.trouble) << (verdict.trouble ? verdict.trouble->reason : "");
}

}  // namespace
