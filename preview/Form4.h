#pragma once
// The Edit Line window: the text of one statement row, written back unchanged by "OK".

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace preview {

class Form2;

class Form4 : public QDialog {
    Q_OBJECT

public:
    // Created afresh for each opening; runs the load step.
    explicit Form4(Form2& owner);

    void Form_Load();
    void PushButton1_Click(); // Cancel
    void PushButton2_Click(); // OK
    void Text1_GotFocus();

    // 1-based row of the statement list being edited; set by the SQL Preview window.
    int ListLine = 0;

    QPlainTextEdit* Text1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Form2& owner_;
};

} // namespace preview
