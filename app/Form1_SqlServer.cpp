// "Test Connection" of the group "MS SQL Server Login".

#include "app/Form1.h"
#include "app/Settings.h"

#include "platform/qt/Appearance.h"
#include "db/Ado.h"
#include "db/MSSQL.h"

#include <QCheckBox>
#include <QLineEdit>

// The command has a trap of its own: every failure, whatever its cause, ends in one message and
// the driver's text is never shown, so the common error report does not appear here.
void Form1::PushButton6_Click()
{
    try {
        appearance::setMousePointer(*this, appearance::Busy);
        db::Connection connection;
        const MSSQL::Login login{Text5->text().toStdString(), Text6->text().toStdString(),
                                 Text8->text().toStdString(), Text3->text().toStdString(),
                                 Text4->text().toStdString(), Check4->isChecked(),
                                 settings::StoredEncryption()};
        connection.Open(MSSQL::BuildSqlServerConnectionString(login));
        dialogs().information("Connection successful.");
        appearance::setMousePointer(*this, appearance::Default);
    } catch (...) {
        dialogs().information("Could not connect. Please check with your administrator.");
        appearance::setMousePointer(*this, appearance::Default);
    }
}
