#include "data/work/phones.h"
#include "data/db/dataset.h"

namespace Phones {

void openList(DataSet &table)
{
    table.setTableName(QStringLiteral("XRHSIMA_THLEFWNA"));
    table.close();
    table.open();
    table.setSort(QStringLiteral("ONOMATEPWNYMO ASC"));
}

}   // namespace Phones
