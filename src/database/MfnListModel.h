#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

// A record list as two columns, the MFN and a note, computed per shown row from the lists it
// shares (implicitly) with the open step, so a list of millions costs no copy and no strings.
class MfnListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit MfnListModel(QObject *parent = nullptr);

    struct Part
    {
        QList<qint32> mfns;
        QString note;
    };

    // Header of a column (row 0 of the grid).
    void setHeader(int col, const QString &text);

    // The parts one after another, each row with its part's note.
    void showParts(const QList<Part> &parts);
    // Every MFN of the list; the note is `markedNote` when the MFN is also in `marked`, else
    // `otherNote`. Looked up by binary search in a sorted copy (none when already sorted).
    void showMarked(const QList<qint32> &mfns, const QList<qint32> &marked, const QString &markedNote,
        const QString &otherNote);

    qint32 mfnAt(int row) const;
    QString noteAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // Part of a row and the row's place in it.
    int partOf(int row, int *offset) const;

    QString m_header[2];
    QList<Part> m_parts;
    QList<qint32> m_marked; // sorted
    QString m_markedNote;
    bool m_useMarked = false;
    int m_rows = 0;
};
