#pragma once
// The per-user settings store: text values under application "Wrenmoor", section "Quillmere".
// QUILLMERE_SETTINGS_DIR names the folder of the store (tests and the demo); otherwise it is the
// user's configuration folder. The store holds the SQL Server password, so its file is readable
// and writable by its owner only, from its first write on.

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
// The file that holds the store.
std::string storeFile();

} // namespace settings
