// Quillmere: copies the user tables of a SQL Server database into Paradox tables.
#include "app/Form1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    platform::QtDialogService dialogs;
    Form1 form(dialogs);
    form.Form_Load();
    form.show();
    return app.exec();
}
