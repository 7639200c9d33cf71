#pragma once
// State shared between the conversion run and the SQL Preview window.

namespace Globals {

// True before each per-table preview; "Skip Table / Do Not Execute SQL" sets it to false.
extern bool SQLFormNotSkipped;

} // namespace Globals
