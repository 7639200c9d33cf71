#include "platform/qt/Appearance.h"

#include "platform/FileSystem.h"

#include <QCheckBox>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>

#include <stdexcept>

namespace appearance {

namespace {

const char* const kPointerProperty = "quillmereMousePointer";
const char* const kHandCursorProperty = "quillmereHandCursor";

QColor faceColor()
{
    return QPalette().color(QPalette::Button);
}

// The hot spot of a Windows cursor file: the first image entry's planes and bit-count fields.
QPoint cursorHotSpot(const QByteArray& bytes)
{
    if (bytes.size() < 14)
        return {0, 0};
    auto u16 = [&](int at) { return int(quint8(bytes[at])) | (int(quint8(bytes[at + 1])) << 8); };
    if (u16(2) != 2)
        return {0, 0};
    return {u16(10), u16(12)};
}

// Qt tells of a style sheet it cannot parse only by a warning while it polishes the widget. The
// warning is taken here, so a skin file the style engine rejects fails the skin step.
QString styleSheetRejection(QWidget& widget, const QString& styleSheet)
{
    static QString rejection;
    static QtMessageHandler previous = nullptr;
    rejection.clear();
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtWarningMsg && message.startsWith(QLatin1String("Could not parse")))
            rejection = message;
        else if (previous)
            previous(type, context, message);
    });
    widget.setStyleSheet(styleSheet);
    widget.ensurePolished();
    qInstallMessageHandler(previous);
    return rejection;
}

class PointerRule : public QObject {
public:
    PointerRule(QWidget& window, int value) : QObject(&window), window_(window), value_(value) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter
            || event->type() == QEvent::HoverMove) {
            // A move that a child control ignores travels on to its parent; only the control
            // actually under the pointer applies its rule.
            if (event->type() != QEvent::Enter && watched->isWidgetType()
                && static_cast<QWidget*>(watched)->childAt(
                    static_cast<QSinglePointEvent*>(event)->position().toPoint()))
                return false;
            if (mousePointer(window_) != Busy)
                setMousePointer(window_, value_);
        }
        return false;
    }

private:
    QWidget& window_;
    int value_;
};

} // namespace

void paintBackground(QWidget& widget, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    // Buttons (check boxes and option buttons among them) fill with the Button role otherwise.
    widget.setBackgroundRole(QPalette::Window);
    widget.setAutoFillBackground(true);
}

QString applicationFolder()
{
    return QString::fromStdString(platform::ApplicationDataFolder());
}

void ApplyFaceColor(QWidget& window)
{
    const QColor colour = faceColor();
    paintBackground(window, colour);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child)
            || qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            paintBackground(*child, colour);
    }
}

bool ApplySkinFile(QWidget& mainWindow)
{
    const QFileInfo skin(applicationFolder() + "/x/o.cjs");
    // Only an ordinary, visible file counts; a folder or hidden file of that name is absent.
    if (!skin.exists() || !skin.isFile() || skin.isHidden())
        return false;
    ApplyFaceColor(mainWindow);
    QFile file(skin.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open the skin file " + skin.absoluteFilePath().toStdString() + ": "
                                 + file.errorString().toStdString());
    if (!styleSheetRejection(mainWindow, QString::fromUtf8(file.readAll())).isEmpty()) {
        mainWindow.setStyleSheet(QString());
        throw std::runtime_error("The skin file " + skin.absoluteFilePath().toStdString() + " cannot be parsed.");
    }
    return true;
}

void LoadHandCursor(QWidget& window)
{
    const QString path = applicationFolder() + "/HAND-M.CUR";
    if (!QFileInfo::exists(path))
        return;
    // A file that is there but cannot be read or is no cursor is a failure of the load step.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open the cursor file " + path.toStdString() + ": "
                                 + file.errorString().toStdString());
    const QByteArray bytes = file.readAll();
    QImage image;
    if (!image.loadFromData(bytes, "ICO") || image.isNull())
        throw std::runtime_error("Invalid picture: " + path.toStdString());
    const QPoint hot = cursorHotSpot(bytes);
    window.setProperty(kHandCursorProperty, QVariant::fromValue(QCursor(QPixmap::fromImage(image), hot.x(), hot.y())));
}

int mousePointer(const QWidget& window)
{
    const QVariant v = window.property(kPointerProperty);
    return v.isValid() ? v.toInt() : Default;
}

void setMousePointer(QWidget& window, int value)
{
    window.setProperty(kPointerProperty, value);
    switch (value) {
    case Busy:
        window.setCursor(Qt::WaitCursor);
        break;
    case Custom: {
        const QVariant hand = window.property(kHandCursorProperty);
        if (hand.canConvert<QCursor>())
            window.setCursor(hand.value<QCursor>());
        else
            window.setCursor(Qt::ArrowCursor);
        break;
    }
    default:
        window.unsetCursor();
        break;
    }
}

void installPointerRule(QWidget& window, std::initializer_list<QWidget*> customControls,
                        std::initializer_list<QWidget*> defaultControls)
{
    auto* toCustom = new PointerRule(window, Custom);
    auto* toDefault = new PointerRule(window, Default);
    for (QWidget* w : customControls) {
        w->setMouseTracking(true);
        w->installEventFilter(toCustom);
    }
    for (QWidget* w : defaultControls) {
        w->setMouseTracking(true);
        w->installEventFilter(toDefault);
    }
}

} // namespace appearance
