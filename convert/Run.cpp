#include "convert/Run.h"

#include "convert/Globals.h"
#include "convert/RowTransfer.h"
#include "convert/TableDefinition.h"
#include "db/MSSQL.h"
#include "db/Paradox.h"
#include "paradox/CaseFold.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <chrono>
#include <optional>

namespace convert {

namespace {

// ADO's text for a member used on an object that was never created.
db::Connection& existing(const std::unique_ptr<db::Connection>& connection)
{
    if (!connection)
        throw db::Error("Object variable or With block variable not set");
    return *connection;
}

bool listHolds(const platform::ListBox& list, const std::string& name)
{
    const std::string wanted = paradox::foldCase(name);
    for (const std::string& entry : list.items())
        if (paradox::foldCase(entry) == wanted)
            return true;
    return false;
}

std::string schemaNamesNotice(const std::vector<std::string>& names)
{
    std::string text = "Tables of the same name in several schemas are named schema_table in the Paradox folder:";
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? " " : ", ") + names[i];
    return text + ".";
}

enum class Answer { None, Yes, No };

class Run {
public:
    Run(RunState& state, RunPorts& ports)
        : s_(state), p_(ports), trap_(ports.messages, RunLocation())
    {
    }

    RunResult operator()()
    {
        bool running = false;
        trap_.when(100, [&] { return !s_.busy; }, [&] { running = true; });
        if (!running) {
            result_.outcome = RunOutcome::Busy;
            return result_;
        }
        trap_(102, [&] { s_.busy = true; });
        trap_(104, [&] { s_.mssql_conn = std::make_unique<db::Connection>(); });
        trap_(106, [&] { source_ = std::make_unique<db::Recordset>(); });
        trap_(108, [&] { s_.Paradox_conn = std::make_unique<db::Connection>(); });
        trap_(114, [&] { p_.questions.offerSpaceFreeCopy(); });

        bool usable = true;
        trap_.when(116, [&] { return !Paradox::HasParadoxTables(p_.settings.paradoxFolder()); }, [&] {
            usable = false;
            result_.outcome = RunOutcome::NoParadoxTables;
        });
        if (usable)
            trap_.when(118, [&] { return !MSSQL::CanConnectSqlServer(p_.settings.login()); }, [&] {
                usable = false;
                result_.outcome = RunOutcome::CannotConnect;
            });
        if (usable)
            convert();
        trap_(540, [&] { s_.busy = false; });
        result_.errorReports = trap_.reportsShown();
        return result_;
    }

private:
    void convert()
    {
        trap_(120, [&] { p_.progress.setBusyPointer(true); });
        trap_(122, [&] { s_.List1.Clear(); });
        trap_(124, [&] { s_.List2.Clear(); });
        trap_(126, [&] { sources_ = MSSQL::ListSqlServerTables(p_.settings.login(), s_.List1); });
        if (const std::vector<std::string> renamed = MSSQL::SchemaQualifiedNames(sources_); !renamed.empty())
            trap_(trap_.line(), [&] { p_.messages.information(schemaNamesNotice(renamed)); });
        trap_(128, [&] { Paradox::ListParadoxTables(p_.settings.paradoxFolder(), s_.List2, p_.messages); });
        trap_(130, [&] { existing(s_.Paradox_conn).CursorLocation = db::adUseClient; });
        trap_(132, [&] {
            existing(s_.Paradox_conn).Open(Paradox::BuildParadoxConnectionString(p_.settings.paradoxFolder()));
        });
        trap_(134, [&] { existing(s_.mssql_conn).CursorLocation = db::adUseServer; });
        trap_(136, [&] { existing(s_.mssql_conn).CommandTimeout = 5000; });
        trap_(138, [&] { existing(s_.mssql_conn).ConnectionTimeout = 5000; });
        trap_(140, [&] { connectionsOpen_ = true; });
        // Both strings come from the one builder, which leaves the port out for a local login.
        trap_.when(
            142, [&] { return p_.settings.login().localConnection; },
            [&] { trap_(144, [&] { existing(s_.mssql_conn).Open(MSSQL::BuildSqlServerConnectionString(p_.settings.login())); }); },
            [&] { trap_(146, [&] { existing(s_.mssql_conn).Open(MSSQL::BuildSqlServerConnectionString(p_.settings.login())); }); });
        trap_(trap_.line(), [&] {
            p_.preview.clearStatements();
            p_.preview.clearDatatypes();
        });

        // The index is 64-bit: a database may hold more tables than a 16-bit count could name.
        const std::optional<std::int64_t> count =
            trap_.value<std::int64_t>(148, [&] { return static_cast<std::int64_t>(s_.List1.ListCount()); });
        for (std::int64_t index = count.value_or(0) - 1; index >= 0 && !leaveTables_; --index)
            table(index);

        trap_.when(508, [&] { return p_.settings.previewMode(); }, [&] {
            trap_.when(510, [&] { return p_.settings.wholeRunPreview(); }, [&] {
                trap_(512, [&] { s_.SQLFormOK = false; });
                trap_(514, [&] { p_.preview.show(); });
                trap_.when(516, [&] { return !s_.SQLFormOK; }, [&] {
                    trap_(518, [&] { existing(s_.Paradox_conn).Close(); });
                    trap_(520, [&] { existing(s_.mssql_conn).Close(); });
                    trap_(522, [&] { connectionsOpen_ = false; });
                    trap_(524, [&] { p_.progress.setProgressText(""); });
                });
            });
        });
        trap_.when(526, [&] { return connectionsOpen_; }, [&] {
            trap_(528, [&] { existing(s_.mssql_conn).Close(); });
            trap_(530, [&] { existing(s_.Paradox_conn).Close(); });
        });
        trap_(532, [&] { p_.progress.setBusyPointer(false); });
        trap_(534, [&] { p_.progress.setProgressValue(0); });
        trap_(536, [&] { p_.progress.setProgressText("Progress Bar"); });
        trap_(538, [&] { p_.messages.information("Done."); });
    }

    // Sends one finished statement on: executed on Paradox_conn, or appended to the preview list.
    // True when it went through.
    bool route(int decide, int append, int execute, const std::string& statement)
    {
        const int before = trap_.reportsShown();
        trap_.when(
            decide, [&] { return p_.settings.previewMode(); },
            [&] { trap_(append, [&] { p_.preview.appendStatement(statement); }); },
            [&] { trap_(execute, [&] { existing(s_.Paradox_conn).Execute(statement); }); });
        const bool through = trap_.reportsShown() == before;
        if (!through)
            ++summary_.statementsRejected;
        return through;
    }

    void table(std::int64_t index)
    {
        const auto started = std::chrono::steady_clock::now();
        summary_ = TableSummary{};
        trap_(154, [&] { p_.progress.yield(); });
        trap_(156, [&] { s_.tbl = s_.List1.List(static_cast<int>(index)); });
        summary_.table = s_.tbl;

        Answer answer = Answer::None;
        trap_.when(
            158, [&] { return listHolds(s_.List2, s_.tbl); },
            [&] { trap_(160, [&] { answer = p_.questions.askOverwrite(s_.tbl) ? Answer::Yes : Answer::No; }); },
            [&] { trap_(162, [&] { answer = Answer::None; }); });

        bool skipped = false;
        trap_.when(164, [&] { return answer == Answer::No; }, [&] { skipped = true; });
        if (skipped) {
            summary_.skipped = true;
        } else {
            transferTable(index, answer);
        }
        summary_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        result_.tables.push_back(summary_);
        p_.progress.tableFinished(summary_);
        if (!leaveTables_)
            trap_(504, [&] { p_.progress.setProgressText(""); });
    }

    void transferTable(std::int64_t index, Answer answer)
    {
        trap_.when(166, [&] { return p_.settings.perTablePreview(); }, [&] {
            trap_(168, [&] { p_.preview.clearStatements(); });
            trap_(170, [&] { p_.preview.clearDatatypes(); });
        });
        trap_.when(172, [&] { return answer == Answer::Yes; },
                   [&] { route(174, 176, 178, DropTableStatement(s_.tbl)); });
        trap_(182, [&] { p_.progress.setProgressText("Please wait.. Processing table " + s_.tbl); });
        trap_(184, [&] {
            if (!source_)
                throw db::Error("Object variable or With block variable not set");
            source_->Open(MSSQL::SourceQuery(sourceTable(index)), existing(s_.mssql_conn), db::adOpenStatic,
                          db::adLockOptimistic);
        });
        // A source that could not be read is reported once at its opening; no empty copy is made.
        if (source_ && source_->isOpen()) {
            define();
            transferRows();
        }
        trap_(492, [&] {
            if (!source_)
                throw db::Error("Object variable or With block variable not set");
            source_->Close();
        });

        trap_(494, [&] { Globals::SQLFormNotSkipped = true; });
        trap_.when(496, [&] { return p_.settings.previewMode(); }, [&] {
            trap_.when(498, [&] { return p_.settings.perTablePreview(); }, [&] {
                // A complete "Execute SQL" sets SQLFormOK; like a skip it leads on to the next table.
                s_.SQLFormOK = false;
                trap_(500, [&] { p_.preview.show(); });
                trap_.when(502, [&] { return Globals::SQLFormNotSkipped && !s_.SQLFormOK; },
                           [&] { leaveTables_ = true; });
            });
        });
    }

    // The catalog entry behind List1's entry; a name the catalog did not give is read as it stands.
    MSSQL::SourceTable sourceTable(std::int64_t index) const
    {
        const std::string& listed = s_.List1.List(static_cast<int>(index));
        const auto at = static_cast<std::size_t>(index);
        if (at < sources_.size() && sources_[at].paradoxName == listed)
            return sources_[at];
        return {"", listed, listed};
    }

    void define()
    {
        std::optional<TableDefinition> definition;
        trap_(186, [&] { definition.emplace(s_.tbl); });
        const std::vector<db::Field>* fields = nullptr;
        trap_(188, [&] { fields = &source_->Fields(); });
        if (definition && fields) {
            for (const db::Field& field : *fields) {
                if (!field.notice.empty())
                    trap_(trap_.line(), [&] { p_.messages.information(field.notice); });
                trap_(190, [&] { p_.progress.yield(); });
                trap_(192, [&] { p_.preview.appendDatatype(definition->addColumn(field)); });
            }
        }
        std::optional<std::string> createTable;
        trap_(340, [&] { createTable = definition.value().createTableStatement(); });
        if (createTable)
            route(342, 344, 346, *createTable);
        if (definition) {
            numericPositions_ = definition->numericPositions();
            binaryPositions_ = definition->binaryPositions();
        }
        std::optional<std::string> createIndex;
        trap_(348, [&] { createIndex = CreateIndexStatement(s_.tbl); });
        if (createIndex)
            route(352, 354, 356, *createIndex);
    }

    void transferRows()
    {
        bool hasRows = false;
        trap_.when(358, [&] { return !source_->Eof() && !source_->bof(); }, [&] { hasRows = true; });
        if (!hasRows)
            return;
        std::int64_t rowCount = -1;
        std::int64_t rowCounter = 0;
        trap_(360, [&] { rowCount = source_->RecordCount(); });
        trap_(362, [&] { rowCounter = 0; });
        RowStatementBuilder builder(s_.tbl, numericPositions_, binaryPositions_);
        // A cursor that cannot move ends the table instead of repeating its last row forever.
        bool moved = true;
        trap_.loop(364, [&] { return moved && !source_->Eof(); }, [&] {
            trap_(366, [&] { p_.progress.yield(); });
            trap_(368, [&] { ++rowCounter; });
            trap_(370, [&] { p_.progress.setProgressValue(RowProgress(rowCounter, rowCount)); });
            trap_(372, [&] { builder.begin(rowNumber_); });
            const std::vector<db::Field>* fields = nullptr;
            trap_(374, [&] { fields = &source_->Fields(); });
            if (fields) {
                for (std::size_t position = 0; position < fields->size(); ++position) {
                    trap_(376, [&] { p_.progress.yield(); });
                    trap_(378, [&] { builder.addValue(position, (*fields)[position]); });
                }
            }
            const std::string* insert = nullptr;
            trap_(470, [&] { insert = &builder.finish(); });
            if (insert && route(472, 474, 484, *insert))
                ++summary_.rowsWritten;
            else
                ++summary_.rowsRejected;
            moved = false;
            trap_(486, [&] {
                source_->MoveNext();
                moved = true;
            });
            trap_(488, [&] { ++rowNumber_; });
        });
    }

    RunState& s_;
    RunPorts& p_;
    report::ErrorTrap trap_;
    RunResult result_;
    TableSummary summary_;
    std::unique_ptr<db::Recordset> source_;
    std::vector<MSSQL::SourceTable> sources_;
    bool connectionsOpen_ = false;
    bool leaveTables_ = false;
    std::string numericPositions_;
    std::string binaryPositions_;
    // The key value: counts the rows of the whole run, not reset between tables.
    std::int64_t rowNumber_ = 0;
};

} // namespace

std::string RunLocation() { return report::locationText("Form1", "PushButton7_Click"); }

RunResult RunConversion(RunState& state, RunPorts& ports) { return Run(state, ports)(); }

} // namespace convert
