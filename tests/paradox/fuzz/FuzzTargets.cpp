#include "FuzzTargets.h"

#include "paradox/Database.h"
#include "paradox/Sql.h"
#include "paradox/Table.h"
#include "paradox/Encoding.h"
#include "paradox/Values.h"

#include <fstream>
#include <string>

namespace fuzz {

void statement(const std::uint8_t* data, std::size_t size)
{
    try {
        paradox::sql::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const paradox::Error&) {
    }
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
        db.execute("INSERT INTO f (" + std::string("\"") + paradox::cp1252ToUtf8(t.header().fields[0].name) + "\") VALUES (NULL)");
    } catch (const paradox::Error&) {
    }
}

}  // namespace fuzz
