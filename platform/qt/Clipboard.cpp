#include "platform/qt/Clipboard.h"

#include "platform/qt/Yield.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace platform {

namespace {

class QtClipboard : public ClipboardAccess {
public:
    bool tryClear() override
    {
        QClipboard* clipboard = board();
        clipboard->clear();
        const QMimeData* held = clipboard->mimeData();
        return !held || held->formats().isEmpty();
    }

    bool trySetText(const QString& text, int format) override
    {
        QClipboard* clipboard = board();
        if (format == 0) {
            clipboard->setText(text);
            return clipboard->text() == text;
        }
        const QString mime = QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(format);
        auto* data = new QMimeData;
        data->setData(mime, text.toUtf8());
        clipboard->setMimeData(data);
        const QMimeData* held = clipboard->mimeData();
        return held && held->hasFormat(mime);
    }

private:
    static QClipboard* board()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard)
            throw std::runtime_error("The clipboard needs the application's window system.");
        return clipboard;
    }
};

template <class Attempt>
bool retry(Attempt&& attempt)
{
    for (int i = 0; i < kClipboardAttempts; ++i)
        if (attempt())
            return true;
    return false;
}

bool rowCounts(const QAbstractItemModel& list, int row)
{
    const QVariant state = list.index(row, 0).data(Qt::CheckStateRole);
    return !state.isValid() || state.value<Qt::CheckState>() == Qt::Checked;
}

QString cellText(const QAbstractItemModel& list, int row, int column)
{
    return list.index(row, column).data(Qt::DisplayRole).toString();
}

} // namespace

ClipboardAccess& systemClipboard()
{
    static QtClipboard clipboard;
    return clipboard;
}

void ClearClipboard(ClipboardAccess& clipboard)
{
    retry([&] { return clipboard.tryClear(); });
}

bool SetClipboardText(const QString& text, int format, ClipboardAccess& clipboard)
{
    return retry([&] { return clipboard.trySetText(text, format); });
}

QString checkedRowsText(const QAbstractItemModel& list)
{
    const int rows = list.rowCount();
    const int columns = list.columnCount();
    std::vector<qsizetype> widths(static_cast<std::size_t>(columns), 0);
    PacedEvents events; // a pass per cell would cost more than the cells
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            widths[static_cast<std::size_t>(column)]
                = std::max(widths[static_cast<std::size_t>(column)], cellText(list, row, column).size());
            events.letRun();
        }
    }
    QString text;
    if (columns == 0)
        return text;
    for (int row = 0; row < rows; ++row) {
        if (!rowCounts(list, row))
            continue;
        for (int column = 0; column < columns; ++column) {
            const QString cell = cellText(list, row, column);
            text += cell;
            text += QString(widths[static_cast<std::size_t>(column)] - cell.size(), QLatin1Char(' '));
            text += QLatin1Char('\t');
            events.letRun();
        }
        text.chop(1);
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == QLatin1Char(' '))
            --end;
        text.truncate(end);
        text += QStringLiteral("\r\n");
    }
    return text;
}

void CopyCheckedRowsToClipboard(const QAbstractItemModel& list, ClipboardAccess& clipboard)
{
    if (list.rowCount() == 0)
        return;
    const QString text = checkedRowsText(list);
    ClearClipboard(clipboard);
    SetClipboardText(text, 0, clipboard);
}

} // namespace platform
