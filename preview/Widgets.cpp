#include "preview/Widgets.h"

#include <QAbstractButton>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QWidget>

#include <cmath>

namespace preview {

int twips(int measure)
{
    return static_cast<int>(std::lround(measure / 15.0));
}

QPushButton* pushButton(QWidget* parent, const char* name, const char* caption, QRect where)
{
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(where);
    b->setAutoDefault(false);
    return b;
}

QRect twips(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

void applyDesignFonts(QWidget& window)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    window.setFont(font);
    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPointSizeF(11.25);
    buttonFont.setBold(true);
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        button->setFont(buttonFont);
}

namespace {

const char* const kExactTextProperty = "quillmereExactText";
const char* const kShownTextProperty = "quillmereShownText";

} // namespace

void setExactText(QPlainTextEdit& box, const QString& text)
{
    box.setPlainText(text);
    box.setProperty(kExactTextProperty, text);
    box.setProperty(kShownTextProperty, box.document()->toRawText());
}

QString exactText(const QPlainTextEdit& box)
{
    const QString original = box.property(kExactTextProperty).toString();
    QString text = box.document()->toRawText();
    if (text == box.property(kShownTextProperty).toString())
        return original;
    const QString lineBreak = original.contains(QStringLiteral("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    text.replace(QChar::ParagraphSeparator, lineBreak);
    text.replace(QChar::LineSeparator, lineBreak);
    return text;
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void ProgressBar::setValuePaintedLater(int value)
{
    if (value == this->value() || !updatesEnabled()) {
        setValue(value);
        return;
    }
    setUpdatesEnabled(false);
    setValue(value);
    // Enabling updates again asks for one paint, which the next pass makes.
    setUpdatesEnabled(true);
}

void ProgressBar::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    update();
    emit textChanged(text_);
}

} // namespace preview
