#pragma once
// Item models behind the report lists of the workbench windows. The views draw only the rows in
// sight, so a list of a million statements costs its texts and a few bytes per row.

#include "convert/DatatypeRecord.h"
#include "preview/StatementStore.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <string_view>
#include <vector>

namespace preview {

// The statement list of the SQL Preview window: one column, one statement per row.
class StatementListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setHeading(const QString& heading);
    void clear();
    void append(std::string_view text);
    // 0-based; throw std::out_of_range outside the list.
    std::string_view text(int row) const;
    void setText(int row, std::string_view text);
    std::size_t bytesUsed() const { return store_.bytesUsed(); }

private:
    StatementStore store_;
    QString heading_;
};

// The datatype list of the Datatypes Conversion window: table, field, source and Paradox type.
class DatatypeListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Adds a column heading; a record has four cells, so at most four columns.
    void addColumn(const QString& heading);
    void clear();
    void append(const convert::DatatypeRecord& record);
    // 0-based; throws std::out_of_range outside the list.
    const convert::DatatypeRecord& record(int row) const;

private:
    std::vector<convert::DatatypeRecord> records_;
    QStringList headings_;
};

} // namespace preview
