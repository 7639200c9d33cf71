#pragma once
// Pieces the workbench windows share: design measures in twips, the design fonts, and a progress
// bar that carries its own text.

#include <QProgressBar>
#include <QRect>
#include <QString>

class QPushButton;

class QPlainTextEdit;
class QWidget;

namespace preview {

// Layouts are measured in twips, 15 to the pixel.
QRect twips(int left, int top, int width, int height);
int twips(int measure);

// Window (and list and text) font Arial 9 pt bold; push buttons Arial 11.25 pt bold.
void applyDesignFonts(QWidget& window);

// A push button under its control name; never a default button, so Enter in a text box does not
// press it.
QPushButton* pushButton(QWidget* parent, const char* name, const char* caption, QRect where);

// A multi-line text box turns line breaks into paragraphs and no-break spaces into spaces on the way
// out. These keep a statement or error text exact: while it shows what was set, the box gives back
// exactly that text; edited, its no-break spaces stay and its line breaks take the style of that text (CR LF
// when it held one, else LF).
void setExactText(QPlainTextEdit& box, const QString& text);
QString exactText(const QPlainTextEdit& box);

// The progress bar of the SQL Preview window: value 0 to 100 and a text of its own.
class ProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit ProgressBar(QWidget* parent = nullptr);

    QString text() const override { return text_; }
    void setText(const QString& text);
    // Sets the value and leaves the painting to the event loop's next pass. setValue() paints the
    // bar at once whenever the percentage moves: a run that sets it for every row of every table
    // painted it up to a hundred times a table, which cost more than the rows of small tables.
    void setValuePaintedLater(int value);

signals:
    void textChanged(const QString& text);

private:
    QString text_;
};

} // namespace preview
