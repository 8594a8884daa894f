#include "msi_transform/transform_streams.h"

#include <optional>

#include "common/utf8.h"
#include "msi_database/stream_name.h"
#include "msi_database/string_pool.h"
#include "msi_database/system_tables.h"

namespace msi_transform {

namespace {

using msi_database::Field;

struct Writer {
    msi_database::StringPoolWriter pool;
    const Encoder& encode;
    std::vector<Stream> cells; // the binary cells' streams

    uint32_t reference(const std::u16string& text) {
        std::string bytes;
        if (!encode(text, bytes))
            throw Refusal("the code page of the transform cannot hold the text \"" +
                          common::toUtf8(text) + "\"");
        return pool.reference(bytes);
    }

    Field field(const Cell& cell) {
        return {static_cast<Field::Kind>(cell.kind), cell.number,
                cell.kind == Cell::String ? reference(cell.text()) : 0};
    }
};

struct EncodedRow {
    uint16_t mask;
    std::vector<std::optional<Field>> fields; // in column order; none for a cell not carried
};

Stream packed(const std::u16string& name, bool table, common::Bytes bytes) {
    Stream stream{{}, std::move(bytes)};
    msi_database::packStreamName(name, table, stream.name);
    return stream;
}

} // namespace

std::vector<Stream> transformStreams(const std::vector<TableChange>& changes, uint32_t codePage,
                                     const Encoder& encode) {
    Writer writer{msi_database::StringPoolWriter(codePage), encode, {}};
    struct Pending {
        std::u16string name;
        std::vector<Column> columns;
        std::vector<EncodedRow> rows;
    };
    std::vector<Pending> tables;
    const std::u16string tablesName = msi_database::tablesTableName,
                         columnsName = msi_database::columnsTableName;
    Pending tablesTable{tablesName, msi_database::systemColumns(tablesName), {}};
    Pending columnsTable{columnsName, msi_database::systemColumns(columnsName), {}};

    // Pool ids first, in the order the rows reference them; the streams are
    // encoded afterwards, when the width of a reference is known.
    for (const TableChange& change : changes) {
        const Table& table = *change.table;
        if (change.added) {
            uint32_t nameId = writer.reference(table.name);
            tablesTable.rows.push_back({0x0101, {Field{Field::String, 0, nameId}}});
            for (size_t i = 0; i < table.columns.size(); ++i) {
                uint32_t tableId = writer.reference(table.name);
                uint32_t columnId = writer.reference(table.columns[i].name);
                columnsTable.rows.push_back({0x0401,
                                             {Field{Field::String, 0, tableId},
                                              Field{Field::Integer, static_cast<int32_t>(i + 1), 0},
                                              Field{Field::String, 0, columnId},
                                              Field{Field::Integer, table.columns[i].type, 0}}});
            }
        }
        Pending pending{table.name, table.columns, {}};
        for (const RowChange& row : change.rows) {
            size_t count = table.columns.size();
            EncodedRow encoded{row.op == RowChange::Insert
                                   ? static_cast<uint16_t>(0x0001 | (count << 8))
                               : row.op == RowChange::Update ? row.mask
                                                             : uint16_t(0),
                               std::vector<std::optional<Field>>(count)};
            for (size_t i = 0; i < count; ++i) {
                bool key = (table.columns[i].type & msi_database::typeKey) != 0;
                bool present = row.op == RowChange::Insert || key ||
                               (row.op == RowChange::Update && (row.mask & (1u << i)));
                if (!present)
                    continue;
                encoded.fields[i] = writer.field(row.cells[i]);
                if (row.op != RowChange::Delete &&
                    msi_database::isBinaryType(table.columns[i].type) &&
                    row.cells[i].kind == Cell::Binary)
                    writer.cells.push_back(packed(msi_database::binaryStreamName(table, row.cells),
                                                  false, row.cells[i].data));
            }
            pending.rows.push_back(std::move(encoded));
        }
        tables.push_back(std::move(pending));
    }
    if (!tablesTable.rows.empty()) {
        tables.insert(tables.begin(), std::move(columnsTable));
        tables.insert(tables.begin(), std::move(tablesTable));
    }

    std::vector<Stream> streams = {
        packed(msi_database::poolStreamName, true, writer.pool.poolStream()),
        packed(msi_database::poolDataStreamName, true, writer.pool.dataStream())};
    int refBytes = writer.pool.referenceBytes();
    for (const Pending& table : tables) {
        common::Bytes bytes;
        for (const EncodedRow& row : table.rows) {
            common::appendLe16(bytes, row.mask);
            for (size_t i = 0; i < table.columns.size(); ++i)
                if (row.fields[i])
                    msi_database::appendField(bytes, table.columns[i].type, *row.fields[i],
                                              refBytes);
        }
        streams.push_back(packed(table.name, true, std::move(bytes)));
    }
    for (Stream& cell : writer.cells)
        streams.push_back(std::move(cell));
    return streams;
}

} // namespace msi_transform
