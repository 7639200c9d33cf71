#include "FuzzTargets.h"

#include "paradox/Database.h"
#include "paradox/Sql.h"
#include "paradox/Table.h"
#include "paradox/Encoding.h"
#include "paradox/Values.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace fuzz {

std::string parsedForm(std::string_view text, bool shortcut)
{
    static paradox::sql::Statement reused;
    paradox::sql::Statement fresh;
    paradox::sql::Statement& st = shortcut ? reused : fresh;
    try {
        if (shortcut) paradox::sql::parse(text, st);
        else paradox::sql::detail::parseInFull(text, st);
    } catch (const paradox::Error& e) {
        return std::string("error: ") + e.what();
    }
    const auto* in = std::get_if<paradox::sql::Insert>(&st);
    if (!in) return "statement " + std::to_string(st.index());
    auto name = [](const paradox::sql::Name& n) { return "\"" + n.text + "\"@" + std::to_string(n.pos) + "/" + std::to_string(n.textPos); };
    std::string out = "INSERT " + name(in->table) + " (";
    for (const auto& c : in->columns) out += name(c) + " ";
    out += ") VALUES@" + std::to_string(in->valuesPos) + " (";
    for (const auto& v : in->values)
        out += std::to_string(int(v.kind)) + ":" + std::string(v.text()) + "@" + std::to_string(v.pos) + " ";
    return out + ")";
}

void statement(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (parsedForm(text, true) != parsedForm(text, false)) std::abort();
}

void tableFile(const std::filesystem::path& folder, const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(folder / "f.db", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    std::filesystem::remove(folder / "f.px");
    try {
        paradox::Database db(folder);
        paradox::Table& t = db.table("f");
        t.forEach([&](const unsigned char* r) {
            for (std::size_t i = 0; i < t.header().fields.size(); ++i) {
                try {
                    paradox::fieldText(t, int(i), r);
                } catch (const paradox::Error&) {
                }
            }
        });
        try {
            db.execute("INSERT INTO f (" + std::string("\"") + paradox::tableText(t.header(), t.header().fields[0].name) + "\") VALUES (NULL)");
        } catch (const paradox::Error&) {
        }
        // Values for every memo and blob field, large enough for the .MB file, shared blocks
        // and blocks of their own.
        std::string columns, values;
        for (std::size_t i = 0; i < t.header().fields.size(); ++i) {
            const paradox::Field& f = t.header().fields[i];
            if (!f.isBlob()) continue;
            const bool text = f.type == paradox::FieldType::Memo || f.type == paradox::FieldType::FormattedMemo;
            columns += std::string(columns.empty() ? "" : ", ") + "\"" + paradox::tableText(t.header(), f.name) + "\"";
            values += std::string(values.empty() ? "" : ", ") + (text ? "'" + std::string(i % 2 ? 3000 : 40, 'm') + "'"
                                                                      : "X'" + std::string(i % 2 ? 6000 : 80, 'A') + "'");
        }
        if (!columns.empty()) db.execute("INSERT INTO f (" + columns + ") VALUES (" + values + ")");
    } catch (const paradox::Error&) {
    }
}

}  // namespace fuzz
