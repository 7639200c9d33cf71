// Start Converting: the conversion run wired to the main window, the SQL Preview window, the
// Datatypes Conversion window and, for the check before the run, the window "Data Paradox cannot
// hold".

#include "app/DataLossWindow.h"
#include "app/Form1.h"
#include "app/Settings.h"

#include "convert/CheckedRun.h"
#include "convert/Run.h"
#include "db/Ado.h"
#include "platform/qt/Appearance.h"
#include "platform/qt/Yield.h"
#include "preview/Form2.h"
#include "preview/Form5.h"
#include "preview/Widgets.h"
#include "report/ErrorReport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <optional>

struct Form1::ConvertLinks final : convert::RunQuestions,
                                   convert::RunPreview,
                                   convert::RunProgress,
                                   convert::LossChoice,
                                   preview::Host {
    explicit ConvertLinks(Form1& form) : form(form) {}

    Form1& form;
    std::unique_ptr<preview::Form2> sqlPreview;

    // Created at its first access, owned by the main window.
    preview::Form2& Form2()
    {
        if (!sqlPreview)
            sqlPreview = std::make_unique<preview::Form2>(&form, form.dialogs(), *this);
        return *sqlPreview;
    }

    static std::string text(const QLineEdit* edit) { return edit->text().toStdString(); }

    // A greyed box counts as checked for Qt; the run asks for the checked state only.
    static bool inStateOne(const QCheckBox* box) { return box->checkState() == Qt::Checked; }

    // The run's settings: the window's fields as they are at the click.
    convert::RunSettings settings() const
    {
        convert::RunSettings fields;
        fields.paradoxFolder = text(form.Text1);
        fields.login = MSSQL::Login{text(form.Text5), text(form.Text6), text(form.Text8),
                                    text(form.Text3), text(form.Text4), inStateOne(form.Check4),
                                    settings::StoredEncryption()};
        fields.previewMode = inStateOne(form.Check1);
        fields.wholeRunPreview = form.Option1->isChecked();
        fields.perTablePreview = form.Option2->isChecked();
        fields.typeOptions = settings::StoredTypeOptions();
        return fields;
    }

    // convert::RunQuestions
    std::string offerSpaceFreeCopy(const std::string&) override
    {
        form.offerSpaceFreeCopy(false);
        return text(form.Text1);
    }
    bool askOverwrite(const std::string& table) override
    {
        return form.dialogs().question("Would you like to overwrite " + table + "?", "Overwrite?");
    }

    // convert::RunPreview
    void clearStatements() override { Form2().clearStatements(); }
    void appendStatement(const std::string& statement) override { Form2().appendStatement(statement); }
    void clearDatatypes() override { Form2().form5().clearDatatypes(); }
    void appendDatatype(const convert::DatatypeRecord& record) override { Form2().form5().appendDatatype(record); }
    convert::PreviewOutcome show() override
    {
        outcome = {};
        Form2().showModal();
        return outcome;
    }
    // What the preview's buttons decided while it was shown.
    convert::PreviewOutcome outcome;
    void shareRejections(convert::RunRejections& run) override { rejections = &run; }
    // The run's, while it lasts.
    convert::RunRejections* rejections = nullptr;

    // convert::RunProgress
    void setProgressText(const std::string& progressText) override
    {
        form.ProgressBar1->setText(QString::fromStdString(progressText));
    }
    void setProgressValue(double percent) override
    {
        form.ProgressBar1->setValuePaintedLater(static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0))));
    }
    void setBusyPointer(bool busy) override
    {
        appearance::setMousePointer(form, busy ? appearance::Busy : appearance::Default);
    }
    // The run yields per table, row and field, each more often than a pass of the event loop is
    // worth; the passes are paced.
    void yield() override { events.letRun(); }
    platform::PacedEvents events;
    void tableFinished(const convert::TableSummary&) override {}

    // convert::LossChoice: the window "Data Paradox cannot hold"; the options it converts with
    // become the stored ones.
    std::optional<convert::TypeOptions> choose(convert::CheckedRun& run) override
    {
        DataLossWindow window(&form, form.dialogs(), run);
        if (form.dialogs().execModal(window) != QDialog::Accepted)
            return std::nullopt;
        const convert::TypeOptions chosen = window.chosenOptions();
        settings::SaveTypeOptions(chosen);
        return chosen;
    }

    // preview::Host
    void executeOnParadox(const std::string& statement) override
    {
        const std::unique_ptr<db::Connection>& paradox = form.conversion.state().Paradox_conn;
        if (!paradox)
            throw db::Error("Object variable or With block variable not set");
        paradox->Execute(statement);
    }
    void setSQLFormOK(bool ok) override { outcome.executed = ok; }
    void skipTable() override { outcome.skipped = true; }
    bool keepRejected(const std::string& statement, const std::string& reason, bool row) override
    {
        if (!rejections)
            return true;
        // A whole-run list holds every table's statements: the statement names its own.
        std::string table = convert::StatementTable(statement);
        return rejections->keep(table.empty() ? form.conversion.state().tbl : table, reason, statement, row);
    }
};

void Form1::PushButton7_Click()
{
    if (!convertLinks_)
        convertLinks_ = std::make_shared<ConvertLinks>(*this);
    // Held for the run: a click meanwhile (through the yields) finds the busy flag and returns.
    const std::shared_ptr<ConvertLinks> links = convertLinks_;
    convert::RunPorts ports{dialogs(), *links, *links, *links};
    const std::string location = report::locationText("Form1", "PushButton7_Click");
    if (settings::ChecksBeforeConverting())
        convert::RunCheckingFirst(conversion, links->settings(), ports, location, *links);
    else
        conversion.run(links->settings(), ports, location);
    links->rejections = nullptr;
}
