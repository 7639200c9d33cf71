// The sample Sales database converted in direct mode through the real FreeTDS driver: every value
// that pxread reads back from the Paradox files equals the source value, as far as the Paradox
// column can hold it (text columns are Alpha 255, date-times keep whole seconds, long binaries are
// written as the placeholder). Rows the engine refuses (values beyond a column's range, text
// outside code page 1252) are the only ones missing, each with its report.
#include "DemoServer.h"
#include "RunFixture.h"
#include "convert/RowTransfer.h"
#include "convert/TableDefinition.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <map>

namespace {

std::string two(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string isoDate(const db::DateTime& t)
{
    char b[16];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", t.year, t.month, t.day);
    return b;
}

std::string firstCharacters(const std::string& utf8, std::size_t count)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && chars++ == count)
            return utf8.substr(0, i);
    return utf8;
}

// What an Alpha column shows for a source value.
std::string alphaText(const db::Field& f)
{
    const db::Value& v = f.value;
    if (const auto* s = std::get_if<std::string>(&v))
        return firstCharacters(*s, 255);
    if (const auto* g = std::get_if<db::Guid>(&v))
        return "{" + g->text + "}";
    if (const auto* b = std::get_if<db::Bytes>(&v)) {
        std::string hex;
        for (std::uint8_t byte : *b) {
            char two[3];
            std::snprintf(two, sizeof two, "%02X", byte);
            hex += two;
        }
        return hex;
    }
    if (const auto* t = std::get_if<db::DateTime>(&v))
        return two(t->hour) + ":" + two(t->minute) + ":" + two(t->second);
    if (const auto* n = std::get_if<std::int64_t>(&v))
        return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&v))
        return convert::NumberText(*d);
    if (const auto* d = std::get_if<db::Decimal>(&v))
        return convert::DecimalText(d->text);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "True" : "False";
    return "?";
}

double sourceNumber(const db::Value& v)
{
    if (const auto* n = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*n);
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    if (const auto* d = std::get_if<db::Decimal>(&v))
        return std::strtod(d->text.c_str(), nullptr);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    ADD_FAILURE() << "not a number";
    return 0;
}

void expectCell(const db::Field& f, char type, const std::string& cell, const std::string& where)
{
    SCOPED_TRACE(where + " column " + f.name);
    if (convert::TypeRuleForType(f.Type).columnClass == convert::ColumnClass::Binary) {
        EXPECT_EQ(cell, "<OLEOBJECT>");
        return;
    }
    const auto* text = std::get_if<std::string>(&f.value);
    if (db::isNull(f.value) || (text && text->empty())) {
        EXPECT_EQ(cell, "");
        return;
    }
    switch (type) {
    case 'I':
    case 'S':
        EXPECT_EQ(cell, std::to_string(std::get<std::int64_t>(f.value)));
        break;
    case 'L':
        EXPECT_EQ(cell, std::get<bool>(f.value) ? "true" : "false");
        break;
    case '$':
    case 'N':
        // pxread prints the stored double with 15 significant digits.
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.15g", sourceNumber(f.value));
        EXPECT_EQ(cell, printed);
        break;
    case '@': {
        const auto& t = std::get<db::DateTime>(f.value);
        EXPECT_EQ(cell, isoDate(t) + " " + two(t.hour) + ":" + two(t.minute) + ":" + two(t.second));
        break;
    }
    case 'D':
        EXPECT_EQ(cell, isoDate(std::get<db::DateTime>(f.value)));
        break;
    case 'A':
        EXPECT_EQ(cell, alphaText(f));
        break;
    default:
        ADD_FAILURE() << "unexpected Paradox type " << type;
    }
}

TEST(ValuesEndToEnd, EverySalesValueReadsBackAsTheSourceValue)
{
    runtest::RunHarness h;
    h.frontend.folder = runtest::samplesCopy("sales").string();
    h.frontend.loginFields = runtest::salesLogin();
    h.frontend.overwrite = {"Orders"};
    const convert::RunResult result = h.run();
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);

    for (const std::string& report : h.dialogs.errorReports())
        EXPECT_TRUE(report.find("is out of range") != std::string::npos ||
                    report.find("is not in code page 1252") != std::string::npos)
            << report;

    db::Connection source;
    source.Open(runtest::salesServer().connectionString());
    long key = 0;
    long compared = 0;
    for (const convert::TableSummary& summary : result.tables) {
        const runtest::ReadBack table = runtest::readBack(runtest::tableFile(h.frontend.folder, summary.table));
        std::map<long, const std::vector<std::string>*> byKey;
        for (const auto& record : table.records)
            byKey[std::stol(record.at(0))] = &record;

        db::Recordset rows;
        rows.Open("SELECT * FROM [" + summary.table + "]", source);
        long missing = 0;
        for (; !rows.Eof(); rows.MoveNext(), ++key) {
            const auto found = byKey.find(key);
            if (found == byKey.end()) {
                ++missing;
                continue;
            }
            const std::vector<db::Field>& fields = rows.Fields();
            ASSERT_EQ(found->second->size(), fields.size() + 1) << summary.table;
            ASSERT_EQ(table.names.size(), fields.size() + 1);
            for (std::size_t i = 0; i < fields.size(); ++i) {
                EXPECT_EQ(table.names[i + 1], fields[i].name);
                expectCell(fields[i], table.types[i + 1], (*found->second)[i + 1],
                           summary.table + " SBSID " + std::to_string(key));
                ++compared;
            }
        }
        rows.Close();
        EXPECT_EQ(missing, summary.rowsRejected) << summary.table;
        EXPECT_EQ(static_cast<long>(table.records.size()), summary.rowsWritten) << summary.table;
    }
    EXPECT_GT(compared, 150);
}

} // namespace
