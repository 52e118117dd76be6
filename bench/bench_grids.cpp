// Grid benchmark. Prints
//  (a) the export of a 2 000 000-row record list to CSV (UTF-8 and Windows-1251) through the grid's
//      own export path, and the file size;
//  (b) the time the find line takes to narrow those rows, and to show them all again;
//  (c) the time to copy 100 000 selected rows.
#include "shell/Dialogs.h"
#include "shell/GridText.h"
#include "shell/StringGrid.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// A record list as the record-list window keeps it: MFNs in a vector, the note computed.
class MfnList : public QAbstractTableModel
{
public:
    explicit MfnList(int count)
    {
        m_mfns.resize(count);
        for (int i = 0; i < count; ++i)
            m_mfns[i] = i + 1;
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_mfns.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        if (index.column() == 0)
            return QString::number(m_mfns.at(index.row()));
        return index.row() % 3 ? u"удалена"_s : u"логически удалена"_s;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return section == 0 ? u"MFN"_s : u"Отметка"_s;
    }

private:
    QList<qint32> m_mfns;
};

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 2000000;
    QTemporaryDir dir;
    Dialogs::setTestMode(true);

    MfnList list(rows);
    TStringGrid grid;
    grid.setRowSelect(true);
    grid.setFilterEnabled(true);
    grid.useModel(&list);
    grid.resize(400, 300);
    grid.show();
    QCoreApplication::processEvents();

    std::printf("(0) grid shown\n");
    std::printf("(a) export of a %d-row record list\n", rows);
    for (const auto encoding : { Dialogs::Encoding::Utf8Bom, Dialogs::Encoding::Windows1251 }) {
        const QString path = dir.filePath(u"list.csv"_s);
        Dialogs::queueSaveFile(path, encoding);
        QElapsedTimer t;
        t.start();
        grid.exportToFile();
        const double took = ms(t);
        std::printf("    %-12s %8.0f ms  %6.1f MB\n",
            encoding == Dialogs::Encoding::Utf8Bom ? "UTF-8+BOM" : "Windows-1251", took,
            double(QFile(path).size()) / 1e6);
    }

    std::printf("(b) find line over %d rows\n", rows);
    for (const QString &needle : { u"1999"_s, u"ЛОГИЧЕСКИ"_s, QString() }) {
        QElapsedTimer t;
        t.start();
        grid.setFilterText(needle);
        QCoreApplication::processEvents();
        std::printf("    \"%s\" %8.0f ms  %d rows shown\n", qPrintable(needle), ms(t),
            grid.filterModel()->rowCount());
    }

    std::printf("(c) copy of 100000 selected rows\n");
    grid.selectionModel()->select(
        QItemSelection(grid.filterModel()->index(0, 0), grid.filterModel()->index(99'999, 1)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QElapsedTimer t;
    t.start();
    grid.copySelection();
    std::printf(
        "    %8.0f ms  %lld characters\n", ms(t), (long long)QGuiApplication::clipboard()->text().size());
    return 0;
}
