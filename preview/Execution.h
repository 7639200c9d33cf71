#pragma once
// The decisions of statement execution and replacement, apart from the windows that use them.

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace preview {

// An execution failure that stops the pass: its description holds "SQLException", "SQL error" or
// "unsuccessful metadata", in any letter case.
bool isRecognisedSqlError(std::string_view description);

// Empty once leading and trailing spaces are removed; such rows are passed over.
bool isBlankStatement(std::string_view text);

// Contains "INSERT INTO" in any letter case.
bool isInsertStatement(std::string_view text);

// Progress while at `row` of `count` rows: row / count * 100, rounded as the progress bar takes it.
int progressValue(int row, int count);
// "Please wait.. Processing row: <row> of <count>"
QString progressText(int row, int count);

// The row with the first occurrence of `find` (letter case ignored) replaced by `replacement`
// exactly as typed; nothing when `find` is empty or does not occur.
std::optional<QString> replaceFirst(const QString& text, const QString& find, const QString& replacement);

} // namespace preview
