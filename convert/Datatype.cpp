#include "convert/Datatype.h"

#include <array>
#include <utility>

namespace Datatype {

namespace {

// ADO's DataTypeEnum without its array flag (8192).
constexpr std::array<std::pair<std::int16_t, const char*>, 39> kNames{{
    {0, "adEmpty"},
    {2, "adSmallInt"},
    {3, "adInteger"},
    {4, "adSingle"},
    {5, "adDouble"},
    {6, "adCurrency"},
    {7, "adDate"},
    {8, "adBSTR"},
    {9, "adIDispatch"},
    {10, "adError"},
    {11, "adBoolean"},
    {12, "adVariant"},
    {13, "adIUnknown"},
    {14, "adDecimal"},
    {16, "adTinyInt"},
    {17, "adUnsignedTinyInt"},
    {18, "adUnsignedSmallInt"},
    {19, "adUnsignedInt"},
    {20, "adBigInt"},
    {21, "adUnsignedBigInt"},
    {64, "adFileTime"},
    {72, "adGUID"},
    {128, "adBinary"},
    {129, "adChar"},
    {130, "adWChar"},
    {131, "adNumeric"},
    {132, "adUserDefined"},
    {133, "adDBDate"},
    {134, "adDBTime"},
    {135, "adDBTimeStamp"},
    {136, "adChapter"},
    {138, "adPropVariant"},
    {139, "adVarNumeric"},
    {200, "adVarChar"},
    {201, "adLongVarChar"},
    {202, "adVarWChar"},
    {203, "adLongVarWChar"},
    {204, "adVarBinary"},
    {205, "adLongVarBinary"},
}};

} // namespace

std::optional<std::string> AdoTypeName(std::int16_t code)
{
    for (const auto& [value, name] : kNames)
        if (value == code)
            return std::string(name);
    return std::nullopt;
}

} // namespace Datatype
