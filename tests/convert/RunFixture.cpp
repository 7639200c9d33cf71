#include "RunFixture.h"

#include "DemoServer.h"
#include "TableReader.h"
#include "TestPaths.h"

#include "report/ErrorReport.h"

#include <QString>

#include <stdexcept>

namespace runtest {

bool ScriptedFrontend::askOverwrite(const std::string& table)
{
    asked.push_back(table);
    for (const std::string& yes : overwrite)
        if (QString::fromStdString(yes).compare(QString::fromStdString(table), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

convert::RunSettings ScriptedFrontend::settings() const
{
    convert::RunSettings settings;
    settings.paradoxFolder = folder;
    settings.login = loginFields;
    settings.previewMode = preview;
    settings.wholeRunPreview = wholeRun;
    settings.perTablePreview = perTable;
    settings.verifiesTables = verify;
    settings.typeOptions = types;
    return settings;
}

convert::PreviewOutcome ScriptedFrontend::show()
{
    ++shows;
    outcome = {};
    if (onShow)
        onShow(*this);
    return outcome;
}

convert::RunResult RunHarness::run()
{
    convert::RunPorts ports{dialogs, frontend, frontend, frontend, frontend.check};
    return conversion.run(frontend.settings(), ports, report::locationText("Form1", "PushButton7_Click"));
}

testsupport::DemoServer& salesServer()
{
    // A static object, so the server stops at exit and CTest is not left waiting on its output.
    static const bool registered = (testsupport::registerSqlServerDriver(), true);
    static testsupport::DemoServer server;
    (void)registered;
    return server;
}

MSSQL::Login salesLogin()
{
    testsupport::DemoServer& server = salesServer();
    return MSSQL::Login{"127.0.0.1", std::to_string(server.port()), "Sales", server.user(), server.password(), false, {}};
}

std::filesystem::path samplesCopy(const std::string& name)
{
    const auto folder = testsupport::freshFolder(name);
    std::filesystem::copy(testsupport::binDir() / "Samples", folder, std::filesystem::copy_options::recursive);
    return folder;
}

namespace {

// RFC 4180 records: quoted cells may hold commas, doubled quotes and line ends.
std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(cell);
            cell.clear();
        } else if (c == '\n') {
            row.push_back(cell);
            cell.clear();
            rows.push_back(row);
            row.clear();
        } else {
            cell += c;
        }
    }
    if (!cell.empty() || !row.empty()) {
        row.push_back(cell);
        rows.push_back(row);
    }
    return rows;
}

} // namespace

ReadBack readBack(const std::filesystem::path& dbFile)
{
    const testsupport::Run reader = testsupport::readTable(dbFile);
    const std::string& out = reader.out;
    if (reader.status != 0)
        throw std::runtime_error("pxread found problems in " + dbFile.string() + ":\n" + out);
    ReadBack table;
    const auto recordsAt = out.find("\nrecords:\n");
    if (recordsAt == std::string::npos)
        throw std::runtime_error("pxread printed no records section:\n" + out);
    std::size_t pos = 0;
    while (pos < recordsAt) {
        const auto end = out.find('\n', pos);
        const std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("field ", 0) != 0)
            continue;
        const auto colon = line.find(": ");
        const auto typeAt = line.rfind(" type=");
        table.names.push_back(line.substr(colon + 2, typeAt - colon - 2));
        table.types.push_back(line[typeAt + 6]);
    }
    table.records = parseCsv(out.substr(recordsAt + 10));
    return table;
}

std::filesystem::path tableFile(const std::filesystem::path& folder, const std::string& table)
{
    const QString wanted = QString::fromStdString(table + ".db");
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (QString::fromStdString(entry.path().filename().string()).compare(wanted, Qt::CaseInsensitive) == 0)
            return entry.path();
    return {};
}

} // namespace runtest
