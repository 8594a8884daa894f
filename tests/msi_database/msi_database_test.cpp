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

const fs::path inputs = MSI_DATABASE_INPUTS;

std::string utf8(const std::u16string& text) {
    return encodeTextReplacing(65001, text);
}

// msiinfo COMMAND PACKAGE [NAME], in a folder of the inputs: exporting a
// table of binary cells writes their files beside.
std::string msiinfo(const std::string& command, const fs::path& path,
                    const std::string& name = "") {
    fs::create_directories(inputs / "work");
    std::string line = "cd '" + (inputs / "work").string() + "' && TZ=UTC msiinfo " + command +
                       " '" + path.string() + "'" + (name.empty() ? "" : " '" + name + "'");
    std::string out;
    if (FILE* pipe = popen(line.c_str(), "r")) {
        char buffer[65536];
        for (size_t count; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, count);
        pclose(pipe);
    }
    return out;
}

// Lines without their CR, empty ones left out.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out(1);
    for (char c : text)
        if (c == '\n')
            out.emplace_back();
        else if (c != '\r' && c != '\0') // msiinfo ends some exports with a NUL
            out.back() += c;
    out.erase(std::remove(out.begin(), out.end(), std::string()), out.end());
    return out;
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

// The table as `msiinfo export` writes it (rows sorted); a binary cell shows
// as the name of its stream, whose bytes must be the cell's.
std::vector<std::string> exported(const fs::path& path, const Table& table) {
    std::string names, types, keys = utf8(table.name);
    for (const Column& column : table.columns) {
        names += (names.empty() ? "" : "\t") + utf8(column.name);
        types += (types.empty() ? "" : "\t") + typeText(column.type);
        if (column.type & typeKey)
            keys += "\t" + utf8(column.name);
    }
    std::vector<std::string> rows;
    for (const auto& row : table.rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            const Cell& cell = row[c];
            std::string text = cell.kind == Cell::Integer  ? std::to_string(cell.number)
                               : cell.kind == Cell::String ? utf8(cell.text())
                               : cell.kind == Cell::Binary ? utf8(binaryStreamName(table, row))
                                                           : "";
            if (cell.kind == Cell::Binary)
                EXPECT_EQ(msiinfo("extract", path, text),
                          std::string(cell.data.begin(), cell.data.end()));
            line += (c ? "\t" : "") + text;
        }
        rows.push_back(line);
    }
    std::sort(rows.begin(), rows.end());
    rows.insert(rows.begin(), {names, types, keys});
    return rows;
}

// msiinfo's summary labels and the properties they show.
const std::map<std::string, uint32_t> summaryLabels = {
    {"Title", 2},        {"Subject", 3},     {"Author", 4},        {"Keywords", 5},
    {"Comments", 6},     {"Template", 7},    {"Last saved by", 8}, {"Revision number (UUID)", 9},
    {"Created", 12},     {"Last saved", 13}, {"Version", 14},      {"Source", 15},
    {"Application", 18}, {"Security", 19}};

void compareSummary(const fs::path& path, const compound_file::Reader& file) {
    std::optional<compound_file::Entry> entry = file.find(u"\005SummaryInformation");
    ASSERT_TRUE(entry);
    std::map<uint32_t, SummaryProperty> properties = readSummary(file.read(*entry));
    EXPECT_EQ(properties[1].kind, SummaryProperty::I2); // the code page
    std::vector<std::string> shown = lines(msiinfo("suminfo", path));
    EXPECT_GE(shown.size(), 10u);
    for (const std::string& line : shown) {
        size_t colon = line.find(": ");
        auto id = summaryLabels.find(line.substr(0, colon));
        ASSERT_NE(id, summaryLabels.end()) << line;
        ASSERT_EQ(properties.count(id->second), 1u) << line;
        const SummaryProperty& property = properties[id->second];
        std::string value = line.substr(colon + 2), ours;
        if (property.kind == SummaryProperty::String) {
            // Shown as stored: wixl writes UTF-8 whatever the set's code page.
            ours = property.text;
        } else if (property.kind == SummaryProperty::FileTime) {
            time_t seconds = static_cast<time_t>(property.fileTime / 10000000 - 11644473600ull);
            char text[64];
            strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", gmtime(&seconds));
            ours = text;
        } else {
            ours = std::to_string(property.number); // "200 (c8)"
            value = value.substr(0, value.find(' '));
        }
        EXPECT_EQ(ours, value) << line;
    }
    // Our writer's set reads back the same.
    common::Bytes written = summaryStream(properties);
    EXPECT_EQ(summaryStream(readSummary(written)), written);
}

void compareDatabase(const fs::path& path) {
    SCOPED_TRACE(path.string());
    common::Bytes bytes = readFile(path);
    compound_file::Reader file(bytes);
    EXPECT_EQ(fileKind(file), FileKind::Package);
    Database database = readDatabase(file);

    std::set<std::string> theirTables, ourTables;
    for (const std::string& name : lines(msiinfo("tables", path)))
        if (name != "_SummaryInformation" && name != "_ForceCodepage")
            theirTables.insert(name);
    for (const Table& table : database.tables) {
        ourTables.insert(utf8(table.name));
        std::vector<std::string> theirs = lines(msiinfo("export", path, utf8(table.name)));
        ASSERT_GE(theirs.size(), 3u) << utf8(table.name);
        std::sort(theirs.begin() + 3, theirs.end());
        EXPECT_EQ(exported(path, table), theirs);
    }
    EXPECT_EQ(ourTables, theirTables);
    EXPECT_EQ(lines(msiinfo("export", path, "_ForceCodepage")).back(),
              std::to_string(database.codePage) + "\t_ForceCodepage");

    // Streams: all msiinfo lists but the summary and the binary cells.
    std::set<std::string> theirStreams, ourStreams;
    for (const std::string& name : lines(msiinfo("streams", path)))
        if (name[0] >= 0x20)
            theirStreams.insert(name);
    for (const Table& table : database.tables)
        for (const auto& row : table.rows)
            for (const Cell& cell : row)
                if (cell.kind == Cell::Binary)
                    theirStreams.erase(utf8(binaryStreamName(table, row)));
    for (const auto& stream : database.streams) {
        ourStreams.insert(utf8(stream.first));
        EXPECT_EQ(msiinfo("extract", path, utf8(stream.first)),
                  std::string(stream.second.begin(), stream.second.end()));
    }
    EXPECT_EQ(ourStreams, theirStreams);

    // Packing reads a few tables only: the same rows, no stream read.
    Database few = readTables(file, {u"Binary", u"NoSuchTable", u"Property"});
    ASSERT_EQ(few.tables.size(), 2u);
    for (const auto& row : few.tables[0].rows)
        EXPECT_TRUE(row[1].kind == Cell::Binary && row[1].data.empty());
    for (const Table& table : database.tables)
        if (table.name == u"Property")
            EXPECT_EQ(few.tables[1].rows, table.rows);
    EXPECT_EQ(few.codePage, database.codePage);

    compareSummary(path, file);
}

TEST(MsiDatabase, ReadsWhatMsiinfoReads) {
    std::vector<fs::path> paths;
    for (const fs::path& folder : {inputs, inputs / "pairs"})
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".msi" && entry.path().filename() != "not_database.msi")
                paths.push_back(entry.path());
    ASSERT_GE(paths.size(), 20u);
    for (const fs::path& path : paths)
        compareDatabase(path);
}

// base.msi's streams, changed one at a time and written anew: the reason
// readDatabase gives, empty when it reads the database.
TEST(MsiDatabase, RefusesBrokenDatabases) {
    common::Bytes original = readFile(inputs / "pairs" / "base.msi");
    compound_file::Reader file(original);
    std::vector<compound_file::StreamData> streams;
    for (const compound_file::Entry& entry : file.children())
        streams.push_back({entry.name, file.read(entry)});
    auto stream = [&](const std::u16string& name, bool table) -> common::Bytes& {
        std::u16string packed;
        packStreamName(name, table, packed);
        auto found = std::find_if(streams.begin(), streams.end(),
                                  [&](const auto& stream) { return stream.name == packed; });
        if (found == streams.end())
            throw std::runtime_error("no stream " + utf8(name));
        return found->bytes;
    };
    auto refusal = [&]() -> std::string {
        common::Bytes bytes = compound_file::write(file.rootClass(), streams);
        try {
            readDatabase(compound_file::Reader(bytes));
        } catch (const common::FormatError& error) {
            return error.what();
        }
        return "";
    };
    auto refused = [&](const char* reason) {
        std::string text = refusal();
        EXPECT_NE(text.find(reason), std::string::npos) << "got \"" << text << "\"";
    };
    EXPECT_EQ(refusal(), ""); // rewritten unchanged, it reads

    common::Bytes& property = stream(u"Property", true);
    common::Bytes saved = property;
    common::putLe16(&property[0], 0xFFFF); // the first name's string id
    refused("past the pool");
    property = saved;
    property.push_back(0);
    refused("no whole number of rows");
    property = saved;

    common::Bytes& data = stream(u"_StringData", true);
    const common::Bytes savedData = data, savedProperty = property;
    saved = data;
    data.resize(saved.size() / 2);
    refused("past the end of its data");
    data = saved;

    // The last column of the last table numbered 40.
    common::Bytes& columns = stream(u"_Columns", true);
    saved = columns;
    common::putLe16(&columns[columns.size() / 2 - 2], 0x8000 + 40);
    refused("not numbered 1 to");
    columns = saved;

    common::Bytes& tables = stream(u"_Tables", true);
    tables.insert(tables.end(), {tables[0], tables[1]});
    refused("twice");
    tables.resize(tables.size() - 2);

    common::Bytes& pool = stream(u"_StringPool", true);
    saved = pool;
    pool.resize(6);
    refused("no whole number of entries");
    pool = saved;
    // One long string that every cell of a table refers to: read once, not
    // copied into each cell (400 copies would take 800 MB).
    uint32_t strings = 0;
    for (size_t at = 4; at < pool.size(); at += 4, ++strings)
        if (common::readLe16(&pool[at]) == 0 && common::readLe16(&pool[at + 2]) != 0)
            at += 4; // a long string's length takes a second entry
    common::Bytes longEntry = {0, 0, 1, 0, 0, 0, 0, 0};
    common::putLe32(&longEntry[4], 1u << 20);
    pool.insert(pool.end(), longEntry.begin(), longEntry.end());
    data.insert(data.end(), size_t(1) << 20, 'x');
    property.assign(2 * 2 * 200, 0); // 200 rows of two string columns
    for (size_t at = 0; at < property.size(); at += 2)
        common::putLe16(&property[at], static_cast<uint16_t>(strings + 1));
    {
        common::Bytes bytes = compound_file::write(file.rootClass(), streams);
        Database read = readDatabase(compound_file::Reader(bytes));
        const Table* table = findTable(read, u"Property");
        ASSERT_TRUE(table != nullptr);
        ASSERT_EQ(table->rows.size(), 200u);
        const std::u16string& first = table->rows[0][0].text();
        EXPECT_EQ(first, std::u16string(size_t(1) << 20, u'x'));
        for (const auto& row : table->rows)
            for (const Cell& cell : row)
                EXPECT_EQ(&cell.text(), &first);
    }
    pool = saved;
    data = savedData;
    property = savedProperty;

    std::u16string logo;
    packStreamName(u"Binary.Logo", false, logo);
    streams.erase(std::remove_if(streams.begin(), streams.end(),
                                 [&](const auto& stream) { return stream.name == logo; }),
                  streams.end());
    refused("has no stream");
}

} // namespace
