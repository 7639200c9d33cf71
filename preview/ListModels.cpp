#include "preview/ListModels.h"

#include <limits>
#include <stdexcept>
#include <string>

namespace preview {

namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

int StatementListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(store_.size());
}

int StatementListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant StatementListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() != 0 || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return fromUtf8(store_.at(static_cast<std::size_t>(index.row())));
    return {};
}

QVariant StatementListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 0)
        return heading_;
    return {};
}

void StatementListModel::setHeading(const QString& heading)
{
    heading_ = heading;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void StatementListModel::clear()
{
    beginResetModel();
    store_.clear();
    endResetModel();
}

void StatementListModel::append(std::string_view text)
{
    if (store_.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::length_error("The statement list cannot hold more rows.");
    const int row = static_cast<int>(store_.size());
    beginInsertRows({}, row, row);
    store_.append(text);
    endInsertRows();
}

std::string_view StatementListModel::text(int row) const
{
    if (row < 0)
        throw std::out_of_range("Index out of bounds: row " + std::to_string(row + 1) + ".");
    return store_.at(static_cast<std::size_t>(row));
}

void StatementListModel::setText(int row, std::string_view text)
{
    if (row < 0)
        throw std::out_of_range("Index out of bounds: row " + std::to_string(row + 1) + ".");
    store_.set(static_cast<std::size_t>(row), text);
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

int DatatypeListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int DatatypeListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant DatatypeListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const convert::DatatypeRecord& r = records_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case 0:
        return QString::fromStdString(r.table);
    case 1:
        return QString::fromStdString(r.field);
    case 2:
        return QString::fromStdString(r.sourceType);
    default:
        return QString::fromStdString(r.paradoxType);
    }
}

QVariant DatatypeListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headings_.size())
        return headings_[section];
    return {};
}

void DatatypeListModel::addColumn(const QString& heading)
{
    if (headings_.size() >= 4)
        throw std::out_of_range("The datatype list has four columns.");
    const int column = static_cast<int>(headings_.size());
    beginInsertColumns({}, column, column);
    headings_.append(heading);
    endInsertColumns();
}

void DatatypeListModel::clear()
{
    beginResetModel();
    records_.clear();
    endResetModel();
}

void DatatypeListModel::append(const convert::DatatypeRecord& record)
{
    const int row = static_cast<int>(records_.size());
    beginInsertRows({}, row, row);
    records_.push_back(record);
    endInsertRows();
}

const convert::DatatypeRecord& DatatypeListModel::record(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= records_.size())
        throw std::out_of_range("Index out of bounds: row " + std::to_string(row + 1) + " of "
                                + std::to_string(records_.size()) + ".");
    return records_[static_cast<std::size_t>(row)];
}

} // namespace preview
