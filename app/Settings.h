#pragma once
// The per-user settings store: text values under application "Wrenmoor", section "Quillmere".
// QUILLMERE_SETTINGS_DIR names the folder of the store (tests and the demo); otherwise it is the
// user's configuration folder. The store holds the SQL Server password, so its file is readable
// and writable by its owner only, from its first write on.

#include "convert/TypeOptions.h"
#include "db/MSSQL.h"

#include <string>

namespace settings {

// The stored text, or `fallback` when the key is missing.
std::string GetSetting(const std::string& key, const std::string& fallback);
// Creates or replaces the key and writes the store to disk at once.
void SaveSetting(const std::string& key, const std::string& value);
// The encryption choices under Encrypt (off, request, require), TrustServerCertificate (1, true
// or yes) and CaFile. An Encrypt value that is none of the three counts as require: whoever wrote
// it wanted more than the default.
MSSQL::Encryption StoredEncryption();
// The column types and code pages of a run, under LongText (text or memo), Binary (placeholder or
// blob), BigInt (int or decimal), Unmappable (reject or replace) and CodePage: a code page for
// every table and TABLE=N for single ones, separated by commas ("1250,Orders=1251"). A value that
// is none of its choices, or a code page tables cannot be written in, counts as the default.
convert::TypeOptions StoredTypeOptions();
void SaveTypeOptions(const convert::TypeOptions& options);
// The file that holds the store.
std::string storeFile();

} // namespace settings
