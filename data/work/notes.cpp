#include "data/work/notes.h"
#include "data/db/dataset.h"

namespace Notes {

void openNotebook(DataSet &table)
{
    table.setTableName(QStringLiteral("SHMEIWSEIS"));
    table.close();
    table.open();
    table.setSort(QStringLiteral("TITLOS ASC"));
}

void selectAll(DataSet &print)
{
    print.close();
    print.setSql(QStringLiteral("SELECT TITLOS,PERIGRAFH FROM SHMEIWSEIS ORDER BY TITLOS ASC"));
    print.open();
}

void selectOne(DataSet &print, qint64 id)
{
    print.close();
    print.setSql(QStringLiteral("SELECT TITLOS,PERIGRAFH FROM SHMEIWSEIS WHERE ID=") + QString::number(id));
    print.open();
}

}   // namespace Notes
