#pragma once
// One converted column as the Datatypes Conversion window lists it.

#include <string>

namespace convert {

struct DatatypeRecord {
    std::string table;       // source table name
    std::string field;       // source column name
    std::string sourceType;  // lower-cased ADO type name of the source column
    std::string paradoxType; // the Paradox type written into CREATE TABLE
};

} // namespace convert
