// The installer database reader against msitools' msiinfo, a reader we did
// not write: every table of databases made by wixl and msibuild, cell by
// cell with its column types, the pool's code page, the streams and the
// summary; then broken databases, each refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "compound_file/compound_file.h"
#include "msi_database/code_page.h"
#include "msi_database/database.h"
#include "msi_database/stream_name.h"
#include "msi_database/summary.h"

namespace {

using namespace msi_database;
namespace fs = std::filesystem;

std::string utf8(const std::u16string& text) {
    return encodeTextReplacing(65001, text);
}

// Runs in a folder of the inputs: exporting a table of binary cells writes
// their files beside.
std::string run(const std::string& command) {
    static const fs::path folder = fs::path(MSI_DATABASE_INPUTS) / "work";
    fs::create_directories(folder);
    std::string out;
    FILE* pipe = popen(("cd '" + folder.string() + "' && " + command).c_str(), "r");
    if (!pipe)
        return out;
    char buffer[65536];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, count);
    pclose(pipe);
    return out;
}

std::string quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text)
        if (c == separator)
            parts.emplace_back();
        else if (c != '\r')
            parts.back() += c;
    return parts;
}

common::Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return common::Bytes(std::istreambuf_iterator<char>(in), {});
}

// The column type as an exported table gives it: s72, L0, I2, v0...
std::string typeText(int type) {
    char letter = isBinaryType(type)         ? 'v'
                  : !(type & typeString)     ? 'i'
                  : (type & typeLocalizable) ? 'l'
                                             : 's';
    int size = isBinaryType(type) ? 0 : (type & typeString) ? type & 0xFF : integerBytes(type);
    if (type & typeNullable)
        letter = static_cast<char>(letter - 'a' + 'A');
    return letter + std::to_string(size);
}

std::string cellText(const Table& table, const std::vector<Cell>& row, size_t column) {
    const Cell& cell = row[column];
    switch (cell.kind) {
    case Cell::Integer:
        return std::to_string(cell.number);
    case Cell::String:
        return utf8(cell.text);
    case Cell::Binary:
        return utf8(binaryStreamName(table, row)); // exported as the name of its stream
    default:
        return std::string();
    }
}

void compareTable(const std::string& path, const Table& table) {
    std::vector<std::string> lines =
        split(run("msiinfo export " + quote(path) + " " + quote(utf8(table.name))), '\n');
    ASSERT_GE(lines.size(), 3u) << utf8(table.name);
    std::vector<std::string> names = split(lines[0], '\t'), types = split(lines[1], '\t'),
                             keys = split(lines[2], '\t');
    ASSERT_EQ(names.size(), table.columns.size()) << utf8(table.name);
    ASSERT_EQ(types.size(), table.columns.size()) << utf8(table.name);
    EXPECT_EQ(keys[0], utf8(table.name));
    std::vector<std::string> ourKeys{utf8(table.name)};
    for (size_t c = 0; c < table.columns.size(); ++c) {
        EXPECT_EQ(names[c], utf8(table.columns[c].name)) << utf8(table.name);
        EXPECT_EQ(types[c], typeText(table.columns[c].type)) << utf8(table.name) << "." << names[c];
        if (table.columns[c].type & typeKey)
            ourKeys.push_back(names[c]);
    }
    EXPECT_EQ(keys, ourKeys);

    std::vector<std::string> theirs(lines.begin() + 3, lines.end()), ours;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), std::string()), theirs.end());
    for (const auto& row : table.rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c)
            line += (c ? "\t" : "") + cellText(table, row, c);
        ours.push_back(line);
        for (size_t c = 0; c < row.size(); ++c)
            if (row[c].kind == Cell::Binary) {
                std::string data = run("msiinfo extract " + quote(path) + " " +
                                       quote(utf8(binaryStreamName(table, row))));
                EXPECT_EQ(data, std::string(row[c].data.begin(), row[c].data.end()))
                    << utf8(binaryStreamName(table, row));
            }
    }
    std::sort(theirs.begin(), theirs.end());
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(ours, theirs) << utf8(table.name);
}

// msiinfo's summary labels and the properties they show.
const std::map<std::string, uint32_t> summaryLabels = {
    {"Title", 2},        {"Subject", 3},     {"Author", 4},        {"Keywords", 5},
    {"Comments", 6},     {"Template", 7},    {"Last saved by", 8}, {"Revision number (UUID)", 9},
    {"Created", 12},     {"Last saved", 13}, {"Version", 14},      {"Source", 15},
    {"Application", 18}, {"Security", 19}};

void compareSummary(const std::string& path, const compound_file::Reader& file) {
    std::optional<compound_file::Entry> entry = file.find(u"\005SummaryInformation");
    ASSERT_TRUE(entry);
    common::Bytes stream = file.read(*entry);
    std::map<uint32_t, SummaryProperty> properties = readSummary(stream);
    EXPECT_EQ(properties[1].kind, SummaryProperty::I2);
    int compared = 0;
    for (const std::string& line : split(run("TZ=UTC msiinfo suminfo " + quote(path)), '\n')) {
        size_t colon = line.find(": ");
        if (colon == std::string::npos)
            continue;
        std::string label = line.substr(0, colon), value = line.substr(colon + 2);
        auto id = summaryLabels.find(label);
        ASSERT_NE(id, summaryLabels.end()) << "msiinfo shows " << label;
        ASSERT_EQ(properties.count(id->second), 1u) << label;
        const SummaryProperty& property = properties[id->second];
        if (property.kind == SummaryProperty::String) {
            // msiinfo shows the bytes as stored, which wixl writes in UTF-8
            // whatever code page the set gives.
            EXPECT_EQ(property.text, value) << label;
        } else if (property.kind == SummaryProperty::FileTime) {
            time_t seconds = static_cast<time_t>(property.fileTime / 10000000 - 11644473600ull);
            char text[64];
            strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", gmtime(&seconds));
            EXPECT_EQ(text, value) << label;
        } else {
            EXPECT_EQ(value.substr(0, value.find(' ')), std::to_string(property.number)) << label;
        }
        ++compared;
    }
    EXPECT_GE(compared, 10);

    // Our writer's set reads back the same.
    std::map<uint32_t, SummaryProperty> again = readSummary(summaryStream(properties));
    ASSERT_EQ(again.size(), properties.size());
    for (const auto& property : properties) {
        const SummaryProperty& other = again[property.first];
        EXPECT_EQ(other.kind, property.second.kind);
        EXPECT_EQ(other.number, property.second.number);
        EXPECT_EQ(other.text, property.second.text);
        EXPECT_EQ(other.fileTime, property.second.fileTime);
    }
}

void compareDatabase(const fs::path& path) {
    SCOPED_TRACE(path.string());
    common::Bytes bytes = readFile(path);
    compound_file::Reader file(bytes);
    EXPECT_EQ(fileKind(file), FileKind::Package);
    Database database = readDatabase(file);

    std::set<std::string> theirTables, ourTables;
    for (const std::string& name : split(run("msiinfo tables " + quote(path.string())), '\n'))
        if (!name.empty() && name != "_SummaryInformation" && name != "_ForceCodepage")
            theirTables.insert(name);
    for (const Table& table : database.tables) {
        ourTables.insert(utf8(table.name));
        compareTable(path.string(), table);
    }
    EXPECT_EQ(ourTables, theirTables);

    std::vector<std::string> codePage =
        split(run("msiinfo export " + quote(path.string()) + " _ForceCodepage"), '\n');
    ASSERT_GE(codePage.size(), 3u);
    EXPECT_EQ(codePage[2], std::to_string(database.codePage) + "\t_ForceCodepage");

    // Streams: all msiinfo lists but the summary and the binary cells.
    std::set<std::string> theirStreams, ourStreams;
    for (const std::string& name : split(run("msiinfo streams " + quote(path.string())), '\n'))
        if (!name.empty() && name[0] >= 0x20) // not the summary
            theirStreams.insert(name);
    for (const Table& table : database.tables)
        for (const auto& row : table.rows)
            for (const Cell& cell : row)
                if (cell.kind == Cell::Binary)
                    theirStreams.erase(utf8(binaryStreamName(table, row)));
    for (const auto& stream : database.streams) {
        ourStreams.insert(utf8(stream.first));
        EXPECT_EQ(run("msiinfo extract " + quote(path.string()) + " " + quote(utf8(stream.first))),
                  std::string(stream.second.begin(), stream.second.end()));
    }
    EXPECT_EQ(ourStreams, theirStreams);

    // Packing reads a few tables only: the same rows, no stream read.
    Database few = readTables(file, {u"Binary", u"NoSuchTable", u"Property"});
    ASSERT_EQ(few.tables.size(), 2u);
    EXPECT_EQ(few.tables[0].name, u"Binary");
    for (const auto& row : few.tables[0].rows)
        EXPECT_TRUE(row[1].kind == Cell::Binary && row[1].data.empty());
    for (const Table& table : database.tables)
        if (table.name == u"Property")
            EXPECT_EQ(few.tables[1].rows, table.rows);
    EXPECT_EQ(few.codePage, database.codePage);

    compareSummary(path.string(), file);
}

TEST(MsiDatabase, ReadsWhatMsiinfoReads) {
    std::vector<fs::path> paths;
    for (const fs::path& folder :
         {fs::path(MSI_DATABASE_INPUTS), fs::path(MSI_DATABASE_INPUTS) / "pairs"})
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".msi" && entry.path().filename() != "not_database.msi")
                paths.push_back(entry.path());
    ASSERT_GE(paths.size(), 20u);
    for (const fs::path& path : paths)
        compareDatabase(path);
}

// The streams of base.msi, one of them changed, written anew.
class BrokenDatabase : public ::testing::Test {
  protected:
    void SetUp() override {
        original_ = readFile(fs::path(MSI_DATABASE_INPUTS) / "pairs" / "base.msi");
        compound_file::Reader file(original_);
        rootClass_ = file.rootClass();
        for (const compound_file::Entry& entry : file.children())
            streams_.push_back({entry.name, file.read(entry)});
    }
    common::Bytes& stream(const std::u16string& name, bool table) {
        std::u16string packed;
        packStreamName(name, table, packed);
        for (auto& stream : streams_)
            if (stream.name == packed)
                return stream.bytes;
        throw std::runtime_error("no stream " + utf8(name));
    }
    void remove(const std::u16string& name, bool table) {
        std::u16string packed;
        packStreamName(name, table, packed);
        streams_.erase(std::remove_if(streams_.begin(), streams_.end(),
                                      [&](const auto& stream) { return stream.name == packed; }),
                       streams_.end());
    }
    // The reason readDatabase gives; empty when it reads the database.
    std::string refusal() {
        common::Bytes bytes = compound_file::write(rootClass_, streams_);
        compound_file::Reader file(bytes);
        try {
            readDatabase(file);
        } catch (const common::FormatError& error) {
            return error.what();
        }
        return std::string();
    }

    common::Bytes original_;
    compound_file::Guid rootClass_;
    std::vector<compound_file::StreamData> streams_;
};

TEST_F(BrokenDatabase, EachIsRefused) {
    EXPECT_EQ(refusal(), ""); // rewritten unchanged, it reads
    auto expectRefusal = [this](const char* reason) {
        std::string text = refusal();
        EXPECT_NE(text.find(reason), std::string::npos) << "got \"" << text << "\"";
    };
    common::Bytes saved = stream(u"Property", true);
    stream(u"Property", true)[0] = 0xFF; // the first name's string id
    stream(u"Property", true)[1] = 0xFF;
    expectRefusal("past the pool");
    stream(u"Property", true) = saved;
    stream(u"Property", true).push_back(0);
    expectRefusal("no whole number of rows");
    stream(u"Property", true) = saved;

    saved = stream(u"_StringData", true);
    stream(u"_StringData", true).resize(saved.size() / 2);
    expectRefusal("past the end of its data");
    stream(u"_StringData", true) = saved;

    // The last column of the last table numbered 40.
    common::Bytes& columns = stream(u"_Columns", true);
    saved = columns;
    size_t rows = columns.size() / 8;
    common::putLe16(&columns[2 * rows + 2 * (rows - 1)], 0x8000 + 40);
    expectRefusal("not numbered 1 to");
    stream(u"_Columns", true) = saved;

    common::Bytes& tables = stream(u"_Tables", true);
    tables.push_back(tables[0]);
    tables.push_back(tables[1]);
    expectRefusal("twice");
    tables.resize(tables.size() - 2);

    remove(u"Binary.Logo", false);
    expectRefusal("has no stream");
    remove(u"_StringPool", true);
    expectRefusal("no string pool");
}

} // namespace
