#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringView>

#include <vector>

// An MFN as typed into the MFN entry: decimal digits only, within the 32-bit signed range
// (leading zeros allowed). False for anything else, so a number out of range is never sent.
bool parseTypedMfn(QStringView text, qint32 *mfn);

// Width of the picker's running-number column: (digits of the row count + 1) × 8 pixels, the
// row count including the title row.
int lockedNumberColumnWidth(int gridRowCount);

// The locked records of the picker as a table: column 0 the running number, column 1 the mark
// ("+" when picked), column 2 the MFN. A million records cost two vectors, not a million rows of
// strings.
class LockedMfnsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NumberColumn = 0, MarkColumn = 1, MfnColumn = 2 };
    static constexpr int ColumnCount = 3;

    explicit LockedMfnsModel(QObject *parent = nullptr);

    // New list; every mark is cleared.
    void setMfns(const QList<qint32> &mfns);
    const QList<qint32> &mfns() const { return m_mfns; }

    bool isMarked(int row) const;
    void toggleMark(int row);
    void markAll();
    int markedCount() const { return m_markedCount; }
    // The MFNs of the marked rows, top to bottom.
    QList<qint32> markedMfns() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QList<qint32> m_mfns;
    std::vector<bool> m_marks;
    int m_markedCount = 0;
};
