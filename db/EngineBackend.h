#pragma once
// The backend for the Paradox driver's connection strings: statements run in the folder the
// string names, on the Paradox engine (paradox::Database).

#include "db/AdoBackend.h"
#include "paradox/Database.h"

#include <filesystem>
#include <memory>
#include <string>

namespace db {

// The driver name that selects this backend, as Paradox connection strings name the driver.
inline constexpr const char* kParadoxDriverName = "Microsoft Paradox Driver (*.db )";

bool isParadoxDriver(const std::string& driverName);

// The folder of "…;DefaultDir=<folder>\;Dbq=<folder>\;…": Dbq, else DefaultDir, with the one
// separator the string puts after the folder dropped. db::Error when neither is given.
std::filesystem::path paradoxFolder(const std::string& connectionString);

// The engine's text options for a connection's.
paradox::TextOptions engineTextOptions(const ParadoxText& text);

std::unique_ptr<Backend> openEngineBackend(const std::string& connectionString, const ParadoxText& text = {});

} // namespace db
