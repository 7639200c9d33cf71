#pragma once
// The Find and Replace window: one press of "Replace" replaces the first occurrence of the find
// text (letter case ignored) in every row of the SQL Preview window's statement list.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace preview {

class Form2;

class Form3 : public QDialog {
    Q_OBJECT

public:
    // Created afresh for each opening; runs the load step.
    explicit Form3(Form2& owner);

    void Form_Load();
    void PushButton1_Click(); // Cancel
    void PushButton2_Click(); // Replace

    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton1 = nullptr;

private:
    Form2& owner_;
};

} // namespace preview
