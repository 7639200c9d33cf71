#include "preview/Execution.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

namespace preview {

namespace {

bool containsIgnoringCase(std::string_view text, std::string_view phrase)
{
    const auto equal = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    return std::search(text.begin(), text.end(), phrase.begin(), phrase.end(), equal) != text.end();
}

} // namespace

bool isRecognisedSqlError(std::string_view description)
{
    static constexpr std::array<std::string_view, 3> phrases{"SQLException", "SQL error", "unsuccessful metadata"};
    return std::any_of(phrases.begin(), phrases.end(),
                       [&](std::string_view phrase) { return containsIgnoringCase(description, phrase); });
}

bool isBlankStatement(std::string_view text)
{
    return text.find_first_not_of(' ') == std::string_view::npos;
}

bool isInsertStatement(std::string_view text)
{
    return containsIgnoringCase(text, "INSERT INTO");
}

int progressValue(int row, int count)
{
    if (count <= 0)
        return 0;
    // Rounds half to even, as a whole-number property takes a fractional value.
    return static_cast<int>(std::nearbyint(static_cast<double>(row) / count * 100.0));
}

QString progressText(int row, int count)
{
    return QStringLiteral("Please wait.. Processing row: %1 of %2").arg(row).arg(count);
}

std::optional<QString> replaceFirst(const QString& text, const QString& find, const QString& replacement)
{
    if (find.isEmpty())
        return std::nullopt;
    const qsizetype at = text.indexOf(find, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    return text.left(at) + replacement + text.mid(at + find.size());
}

} // namespace preview
