#pragma once
// One converted column as the Datatypes Conversion window lists it.

#include <string>

namespace convert {

struct DatatypeRecord {
    std::string table;       // source table name
    std::string field;       // source column name
    std::string sourceType;  // the matched rule's search text ("char", "int", ...) or "OTHER TYPES"
    std::string paradoxType; // the Paradox type written into CREATE TABLE
    int adoType = 0;         // the source column's ADO type code
};

} // namespace convert
