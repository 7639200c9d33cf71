#include "convert/Run.h"

#include "convert/RejectedRows.h"
#include "convert/RowTransfer.h"
#include "convert/TableDefinition.h"
#include "convert/WrittenRows.h"
#include "db/AdoBackend.h"
#include "db/MSSQL.h"
#include "db/Paradox.h"
#include "paradox/CaseFold.h"
#include "report/ErrorTrap.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>

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

// A key value as its user reads it; text as it stands, binary as hex.
std::string KeyValueText(const db::Value& value)
{
    if (const auto* whole = std::get_if<std::int64_t>(&value))
        return std::to_string(*whole);
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* decimal = std::get_if<db::Decimal>(&value))
        return DecimalText(decimal->text);
    if (const auto* guid = std::get_if<db::Guid>(&value))
        return guid->text;
    if (const auto* number = std::get_if<double>(&value))
        return NumberText(*number);
    if (const auto* date = std::get_if<db::DateTime>(&value))
        return DateRuleText(*date);
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? "1" : "0";
    if (const auto* bytes = std::get_if<db::Bytes>(&value)) {
        static const char digits[] = "0123456789ABCDEF";
        std::string hex = "0x";
        for (const std::uint8_t byte : *bytes) {
            hex += digits[byte >> 4];
            hex += digits[byte & 15];
        }
        return hex;
    }
    return "NULL";
}

enum class Answer { None, Yes, No };

class Run {
public:
    Run(RunState& state, RunSettings settings, RunPorts& ports, const std::string& errorLocation)
        : s_(state), settings_(std::move(settings)), p_(ports), trap_(ports.messages, errorLocation)
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
        trap_(106, [&] {
            source_ = std::make_unique<db::Recordset>();
            // The next rows come from the server while the ones before are written.
            source_->readsAhead = true;
            source_->needsValue = [this](const db::Field& field) { return !writtenAsPlaceholder(field) || isKeyColumn(field.name); };
        });
        trap_(108, [&] { s_.Paradox_conn = std::make_unique<db::Connection>(); });
        trap_(114, [&] { settings_.paradoxFolder = p_.questions.offerSpaceFreeCopy(settings_.paradoxFolder); });

        bool usable = true;
        trap_.when(116, [&] { return settings_.needsParadoxTables && !Paradox::HasParadoxTables(settings_.paradoxFolder); }, [&] {
            usable = false;
            result_.outcome = RunOutcome::NoParadoxTables;
        });
        if (usable)
            trap_.when(118, [&] { return !MSSQL::CanConnectSqlServer(settings_.login); }, [&] {
                usable = false;
                result_.outcome = RunOutcome::CannotConnect;
            });
        if (usable)
            convert();
        if (rejections_) {
            result_.statementsRejected = rejections_->count();
            result_.rejectedRowsPath = rejections_->path();
        }
        trap_(540, [&] { s_.busy = false; });
        result_.errorReports = trap_.reportsShown();
        return result_;
    }

private:
    void convert()
    {
        trap_(trap_.line(), [&] {
            rejections_.emplace(settings_.paradoxFolder, settings_.rowFailureReports);
            p_.preview.shareRejections(*rejections_);
        });
        trap_(120, [&] { p_.progress.setBusyPointer(true); });
        trap_(122, [&] { s_.List1.Clear(); });
        trap_(124, [&] { s_.List2.Clear(); });
        trap_(126, [&] { sources_ = MSSQL::ListSqlServerTables(settings_.login, s_.List1, [&] { p_.progress.yield(); }); });
        trap_(trap_.line(), [&] { keepSelectedTables(); });
        if (const std::vector<std::string> renamed = MSSQL::SchemaQualifiedNames(sources_); !renamed.empty())
            trap_(trap_.line(), [&] { p_.messages.information(schemaNamesNotice(renamed)); });
        trap_(128, [&] {
            Paradox::ListParadoxTables(settings_.paradoxFolder, s_.List2, p_.messages);
            Paradox::ListOwnParadoxTables(settings_.paradoxFolder, ownTables_);
        });
        trap_(130, [&] { existing(s_.Paradox_conn).CursorLocation = db::adUseClient; });
        trap_(trap_.line(), [&] {
            options_ = settings_.typeOptions;
            existing(s_.Paradox_conn).Text = ParadoxTextFor(options_);
        });
        // A folder another program writes refuses every statement: the run ends at its one report.
        // A check writes nothing, so it takes no writer's lock and may run beside a writer.
        trap_(132, [&] {
            if (!p_.statementCheck)
                stopsTheRun([&] { existing(s_.Paradox_conn).Open(Paradox::BuildParadoxConnectionString(settings_.paradoxFolder)); });
        });
        trap_(134, [&] { existing(s_.mssql_conn).CursorLocation = db::adUseServer; });
        // A stalled read ends after this time instead of waiting for the server for ever.
        trap_(136, [&] { existing(s_.mssql_conn).CommandTimeout = settings_.readTimeoutSeconds; });
        trap_(138, [&] { existing(s_.mssql_conn).ConnectionTimeout = 5000; });
        trap_(140, [&] { connectionsOpen_ = true; });
        // Both strings come from the one builder, which leaves the port out for a local login.
        trap_.when(
            142, [&] { return settings_.login.localConnection; },
            [&] { trap_(144, [&] { existing(s_.mssql_conn).Open(MSSQL::BuildSqlServerConnectionString(settings_.login)); }); },
            [&] { trap_(146, [&] { existing(s_.mssql_conn).Open(MSSQL::BuildSqlServerConnectionString(settings_.login)); }); });
        trap_(trap_.line(), [&] {
            p_.preview.clearStatements();
            p_.preview.clearDatatypes();
        });

        // The index is 64-bit: a database may hold more tables than a 16-bit count could name.
        const std::optional<std::int64_t> count =
            trap_.value<std::int64_t>(148, [&] { return static_cast<std::int64_t>(s_.List1.ListCount()); });
        for (std::int64_t index = count.value_or(0) - 1; index >= 0 && !leaveTables_ && !stopped_; --index)
            table(index);

        trap_.when(508, [&] { return settings_.previewMode; }, [&] {
            trap_.when(510, [&] { return settings_.wholeRunPreview; }, [&] {
                trap_(512, [&] { s_.SQLFormOK = false; });
                trap_(514, [&] { s_.SQLFormOK = p_.preview.show().executed; });
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
            trap_(530, [&] {
                if (!p_.statementCheck)
                    existing(s_.Paradox_conn).Close();
            });
        });
        trap_(532, [&] { p_.progress.setBusyPointer(false); });
        trap_(534, [&] { p_.progress.setProgressValue(0); });
        trap_(536, [&] { p_.progress.setProgressText("Progress Bar"); });
        if (rejections_ && rejections_->unreported() > 0 && settings_.rowFailureReports > 0)
            trap_(trap_.line(), [&] { p_.messages.information(UnreportedRowsNotice(rejections_->unreported(), rejections_->path())); });
        // A character written as '?' is never altered silently.
        result_.valuesAltered = alteredSoFar();
        if (result_.valuesAltered > 0)
            trap_(trap_.line(), [&] { p_.messages.information(AlteredValuesNotice(result_.valuesAltered)); });
        if (stopped_)
            result_.outcome = RunOutcome::Stopped;
        else
            trap_(538, [&] { p_.messages.information("Done."); });
    }

    // Drops the tables the settings leave out from List1 and the catalog; the others keep their
    // order and their Paradox names.
    void keepSelectedTables()
    {
        if (!settings_.convertsTable ||
            std::erase_if(sources_, [&](const MSSQL::SourceTable& table) { return !settings_.convertsTable(table); }) == 0)
            return;
        s_.List1.Clear();
        for (const MSSQL::SourceTable& table : sources_)
            s_.List1.AddItem(table.paradoxName);
    }

    // Sends one finished statement on: executed on Paradox_conn, or appended to the preview list.
    // True when it went through. `row` marks an insert statement, `parsed` what the engine's
    // parser makes of it where its maker knows that.
    bool route(int decide, int append, int execute, const std::string& statement, bool row = false,
               const paradox::sql::Insert* parsed = nullptr)
    {
        const int before = trap_.reportsShown();
        bool unreported = false;
        trap_.when(
            decide, [&] { return settings_.previewMode; },
            [&] { trap_(append, [&] { p_.preview.appendStatement(statement); }); },
            [&] { trap_(execute, [&] { unreported = executeOnParadox(statement, row, parsed); }); });
        const bool through = trap_.reportsShown() == before && !unreported;
        if (!through)
            ++summary_.statementsRejected;
        return through;
    }

    // Executes one statement; a refused one goes to the rejected-rows file, and its failure rises
    // to the trap unless the row reports of the run are used up. True when it failed unreported.
    bool executeOnParadox(const std::string& statement, bool row, const paradox::sql::Insert* parsed)
    {
        if (StatementCheck* check = p_.statementCheck)
            return !check->statement(statement, row ? std::function<std::string()>([this] { return rowKey(); }) : nullptr,
                                     parsed);
        try {
            stopsTheRun([&] { existing(s_.Paradox_conn).Execute(statement, parsed); });
        } catch (const db::LastingError&) {
            // The folder itself failed (gone, full): nothing can be kept there, and the run ends
            // at this one report.
            throw;
        } catch (...) {
            const std::exception_ptr failure = std::current_exception();
            const std::string reason = report::ErrorTrap::describe(failure);
            bool reported = true;
            if (rejections_) {
                try {
                    reported = rejections_->keep(s_.tbl, reason, statement, row);
                } catch (const std::runtime_error& fileFailure) {
                    // Reported once; from here on every refused row is reported on its own, as
                    // without the file it would be missing unseen.
                    trap_(trap_.line(), [&] { throw fileFailure; });
                }
            }
            if (row)
                p_.progress.rowRejected({s_.tbl, rowKey(), reason});
            if (!reported)
                return true;
            std::rethrow_exception(failure);
        }
        if (row && verifying_)
            keepChecksum();
        return false;
    }

    void keepChecksum()
    {
        const std::optional<std::uint64_t> checksum = existing(s_.Paradox_conn).backend().lastRowChecksum();
        if (!checksum) {
            verifying_ = false;
            return;
        }
        try {
            written_.add(*checksum);
        } catch (const std::bad_alloc&) {
            dropChecksums();
        }
    }

    // Room for a checksum of each of the table's rows, taken at once where it is there.
    void keepRoomForChecksums(std::int64_t rows)
    {
        try {
            written_.reserve(rows);
        } catch (const std::bad_alloc&) {
            dropChecksums();
        } catch (const std::length_error&) {
            dropChecksums();
        }
    }

    // Memory ran out for the checksums: the rows the table took are its rows all the same, so
    // the table goes on without them and is reported once as not verified, at its read-back.
    void dropChecksums()
    {
        verifying_ = false;
        checksumsDropped_ = true;
        written_ = WrittenRows{};
    }

    // Runs `step`; a failure that every later step would meet as well ends the run after its
    // one report. A failed read names the table and how many of its rows were read.
    template <class Step>
    void stopsTheRun(Step&& step, std::optional<std::int64_t> rowsRead = std::nullopt)
    {
        try {
            step();
        } catch (const db::LastingError& failure) {
            stopped_ = true;
            if (!rowsRead)
                throw;
            throw db::LastingError("Reading the table " + s_.tbl + " stopped after " + std::to_string(*rowsRead) +
                                   " rows; the rows before are kept. " + failure.what());
        }
    }

    // Values the Paradox connection wrote with '?' so far; kept after it closed.
    std::int64_t alteredSoFar() const { return s_.Paradox_conn ? s_.Paradox_conn->AlteredValues() : 0; }

    void table(std::int64_t index)
    {
        const auto started = std::chrono::steady_clock::now();
        const std::int64_t alteredBefore = alteredSoFar();
        summary_ = TableSummary{};
        written_.clear();
        checksumsDropped_ = false;
        // A check writes no table to read back.
        trap_(trap_.line(), [&] { verifying_ = settings_.verifiesTables && !p_.statementCheck; });
        trap_(154, [&] { p_.progress.yield(); });
        trap_(156, [&] { s_.tbl = s_.List1.List(static_cast<int>(index)); });
        summary_.table = s_.tbl;

        Answer answer = Answer::None;
        trap_.when(
            158, [&] { return listHolds(ownTables_, s_.tbl); },
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
        summary_.valuesAltered = alteredSoFar() - alteredBefore;
        result_.tables.push_back(summary_);
        p_.progress.tableFinished(summary_);
        if (!leaveTables_)
            trap_(504, [&] { p_.progress.setProgressText(""); });
    }

    void transferTable(std::int64_t index, Answer answer)
    {
        trap_.when(166, [&] { return settings_.perTablePreview; }, [&] {
            trap_(168, [&] { p_.preview.clearStatements(); });
            trap_(170, [&] { p_.preview.clearDatatypes(); });
        });
        trap_(182, [&] {
            p_.progress.setProgressText((p_.statementCheck ? "Checking table " : "Please wait.. Processing table ") + s_.tbl);
        });
        keyColumns_.clear();
        if (!settings_.previewMode) {
            try {
                keyColumns_ = MSSQL::PrimaryKeyColumns(existing(s_.mssql_conn), sourceTable(index));
            } catch (const std::exception&) {
                // Refused rows are then named by their number in the table.
            }
        }
        trap_(184, [&] {
            if (!source_)
                throw db::Error("Object variable or With block variable not set");
            stopsTheRun([&] {
                readingSource([&] {
                    source_->Open(MSSQL::SourceQuery(sourceTable(index)), existing(s_.mssql_conn), db::adOpenStatic,
                                  db::adLockOptimistic);
                });
            }, 0);
        });
        // A source that could not be read is reported once at its opening; no empty copy is made
        // and no existing table dropped, as the drop waits for the opened source. Rows into a
        // table whose definition failed would fail one by one, or land in the table that was to
        // be replaced; the definition's report is the one report.
        if (source_ && source_->isOpen()) {
            trap_.when(172, [&] { return answer == Answer::Yes; },
                       [&] { route(174, 176, 178, DropTableStatement(s_.tbl)); });
            if (define()) {
                transferRows();
                verify();
            }
        }
        trap_(492, [&] {
            if (!source_)
                throw db::Error("Object variable or With block variable not set");
            source_->Close();
        });

        trap_(494, [&] { s_.SQLFormNotSkipped = true; });
        trap_.when(496, [&] { return settings_.previewMode; }, [&] {
            trap_.when(498, [&] { return settings_.perTablePreview; }, [&] {
                // A complete "Execute SQL" sets SQLFormOK; like a skip it leads on to the next table.
                s_.SQLFormOK = false;
                trap_(500, [&] {
                    const PreviewOutcome outcome = p_.preview.show();
                    s_.SQLFormOK = outcome.executed;
                    s_.SQLFormNotSkipped = !outcome.skipped;
                });
                trap_.when(502, [&] { return s_.SQLFormNotSkipped && !s_.SQLFormOK; },
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

    // True when the table is ready for its rows.
    bool define()
    {
        std::optional<TableDefinition> definition;
        trap_(186, [&] { definition.emplace(s_.tbl, options_); });
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
        bool defined = createTable && route(342, 344, 346, *createTable);
        if (definition) {
            numericPositions_ = definition->numericPositions();
            binaryPositions_ = definition->binaryPositions();
        }
        std::optional<std::string> createIndex;
        trap_(348, [&] { createIndex = CreateIndexStatement(s_.tbl); });
        if (defined)
            defined = createIndex && route(352, 354, 356, *createIndex);
        return defined;
    }

    void transferRows()
    {
        bool hasRows = false;
        trap_.when(358, [&] { return !source_->Eof() && !source_->bof(); }, [&] { hasRows = true; });
        if (!hasRows)
            return;
        std::int64_t rowCount = -1;
        std::int64_t rowCounter = 0;
        trap_(360, [&] { summary_.sourceRows = rowCount = source_->RecordCount(); });
        if (verifying_ && rowCount > 0)
            trap_(trap_.line(), [&] { keepRoomForChecksums(rowCount); });
        trap_(362, [&] { rowCounter = 0; });
        RowStatementBuilder builder(s_.tbl, numericPositions_, binaryPositions_, options_.binary);
        // A cursor that cannot move ends the table instead of repeating its last row forever.
        bool moved = true;
        trap_.loop(364, [&] { return moved && !stopped_ && !source_->Eof(); }, [&] {
            trap_(366, [&] { p_.progress.yield(); });
            trap_(368, [&] { ++rowCounter; });
            trap_(370, [&] {
                p_.progress.setProgressValue(RowProgress(rowCounter, rowCount));
                p_.progress.rowsDone(s_.tbl, rowCounter - 1, rowCount);
            });
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
            rowInTable_ = rowCounter;
            if (insert && route(472, 474, 484, *insert, true, builder.parsed()))
                ++summary_.rowsWritten;
            else
                ++summary_.rowsRejected;
            moved = false;
            trap_(486, [&] {
                summary_.rowsRead = rowCounter;
                stopsTheRun([&] { readingSource([&] { source_->MoveNext(); }); }, rowCounter);
                moved = true;
            });
            trap_(488, [&] { ++rowNumber_; });
        });
        summary_.droppedFractions = builder.droppedFractions();
    }

    // Reads the table back after its last row and compares it with the rows it accepted; the
    // first difference becomes the table's error report. A run that stopped has nothing to compare;
    // a table whose checksums did not fit in memory is reported as not verified.
    void verify()
    {
        trap_.when(trap_.line(), [&] { return verifying_ && !stopped_ && !settings_.previewMode; }, [&] {
            trap_(trap_.line(), [&] { p_.progress.beforeVerifying(s_.tbl); });
            trap_(trap_.line(), [&] { compareReadBack(); });
        });
        trap_.when(trap_.line(), [&] { return checksumsDropped_ && !stopped_ && !settings_.previewMode; }, [&] {
            trap_(trap_.line(), [&] {
                summary_.verifyError = "Table " + s_.tbl +
                                       ": the Paradox table was not read back to verify it: there was not enough memory "
                                       "for a checksum of each of its rows";
                throw db::Error(summary_.verifyError);
            });
        });
    }

    void compareReadBack()
    {
        const std::string table = "Table " + s_.tbl + ": ";
        std::int64_t matched = 0;
        std::int64_t read = 0;
        std::string difference;
        bool readBack = false;
        try {
            stopsTheRun([&] {
                readBack = existing(s_.Paradox_conn).backend().readBack(
                    s_.tbl, [&](std::uint64_t checksum, const std::function<std::string()>& name) {
                        ++read;
                        if (written_.take(checksum))
                            ++matched;
                        else if (difference.empty())
                            difference = "the row with " + name() + " read back from the Paradox table differs from the rows written";
                    });
            });
        } catch (const db::LastingError&) {
            throw;
        } catch (const std::exception& failure) {
            summary_.rowsVerified = matched;
            summary_.verifyError = table + "the Paradox table could not be read back to verify it: " + failure.what();
            throw db::Error(summary_.verifyError);
        }
        if (!readBack)
            return;
        summary_.rowsVerified = matched;
        if (difference.empty() && written_.untaken() > 0)
            difference = std::to_string(written_.untaken()) + " of the " + std::to_string(written_.size()) +
                         " rows written are missing when the Paradox table is read back (it holds " +
                         std::to_string(read) + ")";
        if (difference.empty())
            return;
        summary_.verifyError = table + difference;
        throw db::Error(summary_.verifyError);
    }

    // A binary column whose every value becomes the placeholder text: its values are not used,
    // except to name rows when it is part of the key.
    bool writtenAsPlaceholder(const db::Field& field) const
    {
        return options_.binary == BinaryColumns::Placeholder && TypeRuleForField(field, options_).columnClass == ColumnClass::Binary;
    }

    bool isKeyColumn(const std::string& name) const
    {
        return std::ranges::any_of(keyColumns_, [&](const std::string& column) { return paradox::foldCase(column) == paradox::foldCase(name); });
    }

    // The source row being written as its user finds it: its primary-key value, the values in
    // parentheses for a key of several columns, where the table has one; else its number.
    std::string rowKey() const
    {
        if (keyColumns_.empty() || !source_ || !source_->isOpen())
            return std::to_string(rowInTable_);
        const std::vector<db::Field>& fields = source_->Fields();
        std::string key;
        for (const std::string& column : keyColumns_) {
            const auto field = std::ranges::find_if(
                fields, [&](const db::Field& f) { return paradox::foldCase(f.name) == paradox::foldCase(column); });
            if (field == fields.end())
                return std::to_string(rowInTable_);
            key += (key.empty() ? "" : ", ") + KeyValueText(field->value);
        }
        return keyColumns_.size() == 1 ? key : "(" + key + ")";
    }

    // Runs a step that reads the source. A failure there (a server error partway through a
    // table) ends the table's rows: it is kept for the summary, and its report names the table
    // and how far reading got.
    template <class Read>
    void readingSource(Read&& read)
    {
        try {
            read();
        } catch (const db::LastingError& failure) {
            // The run ends here; its one report says how far reading got.
            summary_.readError = failure.what();
            throw;
        } catch (const std::exception& failure) {
            summary_.readError = failure.what();
            std::string where = "Table " + s_.tbl + ": ";
            if (summary_.rowsRead > 0)
                where += "reading stopped after row " + std::to_string(summary_.rowsRead) +
                         (summary_.sourceRows >= 0 ? " of " + std::to_string(summary_.sourceRows) : std::string()) + ": ";
            else
                where += "could not be read: ";
            throw db::Error(where + failure.what());
        }
    }

    RunState& s_;
    RunSettings settings_;
    RunPorts& p_;
    report::ErrorTrap trap_;
    RunResult result_;
    TableSummary summary_;
    std::unique_ptr<db::Recordset> source_;
    // The tables of the folder itself: only these can be replaced. List2 also names those of
    // its sub-folders, which a table written into the folder leaves alone.
    platform::ListBox ownTables_;
    std::vector<MSSQL::SourceTable> sources_;
    TypeOptions options_;
    bool connectionsOpen_ = false;
    bool leaveTables_ = false;
    bool stopped_ = false;
    std::string numericPositions_;
    std::string binaryPositions_;
    std::optional<RunRejections> rejections_;
    std::vector<std::string> keyColumns_; // the source table's primary key; empty when it has none
    std::int64_t rowInTable_ = 0;         // the source row being written, 1 for the table's first
    // The checksums of the rows the table accepted, while its verification is on.
    WrittenRows written_;
    bool verifying_ = false;
    bool checksumsDropped_ = false; // memory ran out for them: the table is not verified
    // The key value: counts the rows of the whole run, not reset between tables.
    std::int64_t rowNumber_ = 0;
};

} // namespace

std::string UnreportedRowsNotice(std::int64_t count, const std::string& path)
{
    return std::to_string(count) + " more rows were rejected without a report of their own; every rejected statement is in " +
           path + ".";
}

std::string AlteredValuesNotice(std::int64_t count)
{
    return std::to_string(count) + (count == 1 ? " value held" : " values held") +
           " characters that their table's code page lacks; each such character was written as '?'.";
}

RunResult Conversion::run(RunSettings settings, RunPorts& ports, const std::string& errorLocation)
{
    return Run(state_, std::move(settings), ports, errorLocation)();
}

} // namespace convert
