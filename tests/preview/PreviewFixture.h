#pragma once
// A SQL Preview window over a scripted Paradox target, shown through the recording dialog service.

#include "RecordingDialogs.h"
#include "db/Ado.h"
#include "preview/Form2.h"
#include "preview/ListModels.h"

#include <QApplication>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace previewtest {

// The main window's side: statements land in `executed`, those named in `failures` raise
// db::Error with the given description instead.
class ScriptedParadox : public preview::Host {
public:
    void executeOnParadox(const std::string& statement) override
    {
        attempted.push_back(statement);
        if (onExecute)
            onExecute(statement);
        const auto failure = failures.find(statement);
        if (failure != failures.end())
            throw db::Error(failure->second);
        executed.push_back(statement);
    }
    void setSQLFormOK(bool ok) override { sqlFormOK = ok; }
    void skipTable() override { skipped = true; }
    // Keeps what the pass hands over; rows beyond `rowReports` are kept without a report.
    bool keepRejected(const std::string& statement, const std::string& reason, bool row) override
    {
        kept.push_back({statement, reason, row});
        return !row || ++rowsKept <= rowReports;
    }

    struct Kept {
        std::string statement;
        std::string reason;
        bool row = false;
        bool operator==(const Kept&) const = default;
    };

    std::vector<std::string> attempted;
    std::vector<std::string> executed;
    std::map<std::string, std::string> failures;
    std::function<void(const std::string&)> onExecute;
    std::optional<bool> sqlFormOK;
    bool skipped = false;
    std::vector<Kept> kept;
    int rowReports = 1000;
    int rowsKept = 0;
};

class PreviewTest : public ::testing::Test {
protected:
    void fill(const std::vector<std::string>& rows)
    {
        form.clearStatements();
        for (const std::string& row : rows)
            form.appendStatement(row);
    }

    // Shows the window modally; `act` runs while it is shown. Returns the window's result.
    int show(std::function<void()> act)
    {
        dialogs.modalHandlers.push_back([act](QDialog& window) {
            window.show();
            QApplication::processEvents();
            act();
            return window.result();
        });
        return form.showModal();
    }

    // Queues what to do with the next window opened over the shown one.
    template <class Window>
    void onNextModal(std::function<void(Window&)> act)
    {
        dialogs.modalHandlers.push_back([act](QDialog& window) {
            auto* typed = dynamic_cast<Window*>(&window);
            EXPECT_NE(typed, nullptr) << "unexpected window " << window.windowTitle().toStdString();
            if (typed)
                act(*typed);
            return window.result();
        });
    }

    std::vector<int> selectedRows() const
    {
        std::vector<int> rows;
        for (const QModelIndex& index : form.ListView1->selectionModel()->selectedRows())
            rows.push_back(index.row() + 1);
        return rows;
    }

    bool rowVisible(int row) const
    {
        const QRect cell = form.ListView1->visualRect(form.ListView1->model()->index(row - 1, 0));
        return cell.isValid() && form.ListView1->viewport()->rect().intersects(cell);
    }

    QWidget owner;
    testsupport::RecordingDialogs dialogs;
    ScriptedParadox paradox;
    preview::Form2 form{&owner, dialogs, paradox};
};

} // namespace previewtest
